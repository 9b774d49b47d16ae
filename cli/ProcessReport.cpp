// The warnings, the summary line and the --json record of `marovex process`.
#include "ProcessReport.h"

#include <cmath>

#include <fmt/core.h>

#include "AudioFormat.h"
#include "Messages.h"
#include "Text.h"

namespace marovex::cli {

using nlohmann::ordered_json;

std::string NameOf(const std::string& path) { return path == "-" ? "standard input" : Quote(path); }

std::string Decibels(double gain, bool withSign) {
    if (!(gain > 0.0)) return "-inf dB";
    const double db = 20.0 * std::log10(gain);
    return withSign ? fmt::format("{:+.1f} dB", db) : fmt::format("{:.1f} dB", db);
}

void Warn(Summary& summary, const std::string& text) {
    summary.warnings.push_back(text);
    Say(Voice::Warning, text);
}

ordered_json SummaryJson(const Summary& s) {
    ordered_json json;
    json["input"] = s.input;
    json["output"] = s.output;
    json["format"] = DescribeFormat(s.format);
    json["frames"] = s.frames;
    json["sampleRate"] = s.sampleRate;
    json["channels"] = s.channels;
    json["seconds"] = s.sampleRate > 0 ? double(s.frames) / s.sampleRate : 0.0;
    json["peakIn"] = s.peakIn;
    json["peakOut"] = s.peakOut;
    json["clippedSamples"] = s.clipped;
    json["nonFiniteIn"] = s.nonFiniteIn;
    json["nonFiniteOut"] = s.nonFiniteOut;
    json["bypassed"] = s.bypassed;
    if (s.bypassed) json["peakGainReduction"] = nullptr;
    else json["peakGainReduction"] = double(s.reduction);
    json["gainReductionAfterStartUp"] = s.reductionSettled;
    json["settings"] = s.settings;
    json["warnings"] = s.warnings;
    return json;
}

void PrintSummary(const Summary& s) {
    const double seconds = double(s.frames) / double(s.sampleRate);
    const std::string speed = s.elapsed > 0.0 ? fmt::format("{:.1f}x real time", seconds / s.elapsed) : "real time n/a";
    std::string reduction;
    if (s.bypassed) {
        reduction = "bypassed, no gain reduction";
    } else if (s.reductionSettled) {
        // A fresh instance starts at full gain reduction and releases from there, so the meter's peak
        // over the whole run says nothing about the audio: report the frames after the start-up.
        reduction = fmt::format("peak gain reduction {:.3f} ({}) after the {} s start-up", s.reduction,
                                Decibels(1.0 - double(s.reduction), false), kStartUpSeconds);
    } else {
        reduction = fmt::format("peak gain reduction {:.3f} ({}) within the start-up", s.reduction,
                                Decibels(1.0 - double(s.reduction), false));
    }
    for (const auto& setting : s.settings) Message("marovex: {}\n", setting["readout"].get<std::string>());
    Message("marovex: {} frames at {} Hz ({:.2f} s, {}), {}, {} -> {}\n", s.frames, s.sampleRate, seconds,
               s.channels == 1 ? "mono" : "stereo", speed, reduction,
               s.output == "-" ? "standard output" : EscapeText(s.output));
}

}  // namespace marovex::cli
