// The port layout of the two LV2 plug-ins, mono and stereo, and the URIs they are published under.
//
// Port indices and symbols are a stored format: hosts save sessions, automation and presets by them.
// They are fixed here once and must never be renumbered or given a new meaning; a new port goes at
// the end (with a minor-version bump), a changed meaning needs a new plug-in URI.
//
// Control inputs 0 to 8 carry the data model's nine parameters in its own index order, each under its
// identifier as symbol; the description generator and the tests check that the module agrees. The
// bypass parameter is published as the host's "enabled" port: 1 processes, 0 passes the input
// through (the bypass parameter is its inverse).
#pragma once

#include <cstdint>

namespace marovex_lv2 {

constexpr const char kStereoUri[] = "urn:halvik:marovex:stereo";
constexpr const char kMonoUri[] = "urn:halvik:marovex:mono";
constexpr const char kUiUri[] = "urn:halvik:marovex:ui";
// What the user-interface library asks the plug-in library's extension_data for (not a host
// interface): the plug-in library's SharedModule (Lv2Module.h).
constexpr const char kSharedModuleUri[] = "urn:halvik:marovex:shared-module";
// The state property that carries the saved chunk record (the bytes `marovex process --save-state`
// writes), stored as an atom:Chunk.
constexpr const char kChunkKeyUri[] = "urn:halvik:marovex:chunk";

// The bundle's own files, relative to the bundle folder.
constexpr const char kModuleInBundle[] = "Contents/x86_64-linux/Marovex.so";

constexpr uint32_t kParameterCount = 9;
constexpr uint32_t kEnabledPort = 0;  // the bypass parameter, inverted
constexpr uint32_t kMeterPort = 9;     // gain-reduction meter, control output
constexpr uint32_t kFirstAudioPort = 10;

// Symbols of ports 0 to 8 = the data model's parameter identifiers, in its index order.
constexpr const char* kParameterSymbols[kParameterCount] = {
    "MasterBypassID", "InGain", "FreqW", "Width", "FreqA", "Action", "Dyn", "Adj", "OutGain"};
constexpr const char kBypassId[] = "MasterBypassID";
// The meter port's symbol is the meter's four-character identifier.
constexpr const char kMeterSymbol[] = "mGR1";
constexpr uint32_t kMeterId = 0x6D475231;  // 'mGR1'

// Audio ports: stereo 10 in_l, 11 in_r, 12 out_l, 13 out_r; mono 10 in, 11 out.
constexpr const char* kStereoAudioSymbols[4] = {"in_l", "in_r", "out_l", "out_r"};
constexpr const char* kMonoAudioSymbols[2] = {"in", "out"};

constexpr uint32_t PortCount(uint32_t channels) { return kFirstAudioPort + 2 * channels; }

// The enabled port's value as the bypass parameter's normalized value: above 0 processes, 0 and
// below (and NaN) bypass.
constexpr double BypassFromEnabled(float enabled) { return enabled > 0.0f ? 0.0 : 1.0; }
constexpr float EnabledFromBypass(double bypass) { return bypass >= 0.5 ? 0.0f : 1.0f; }

}  // namespace marovex_lv2
