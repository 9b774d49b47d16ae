// The module's entry points: the seven exported functions the host finds by name, the functions they
// forward to, and the effect's description function that registration runs.
//
// Every export catches any exception escaping its counterpart and answers 0x8000FFFF instead, so
// nothing crosses the host boundary as an exception.
#pragma once

#include <cstdint>

#include "AAX.h"
#include "ACFBase.h"

class AAX_ICollection;

#define AAX_EXPORT extern "C" __attribute__((visibility("default")))

// Builds the plug-in definition from the effect's description and hands it back in *out (a null
// out is answered with -20004 after describing). Threading: the host's registration thread.
AAX_EXPORT ACFRESULT ACFRegisterPlugin(IACFUnknown* host, IACFPluginDefinition** out);
// Offers no component definitions: *out becomes null, result 0 (-20004 when out is null).
// Threading: the host's registration thread.
AAX_EXPORT ACFRESULT ACFRegisterComponent(IACFUnknown* host, uint32_t index, IACFComponentDefinition** out);
// Offers no class factory: *out becomes null, result -20009 (-20004 when out is null).
// Threading: any thread.
AAX_EXPORT ACFRESULT ACFGetClassFactory(IACFUnknown* host, const _acfUID& classID, const _acfUID& interfaceID,
                                        void** out);
// The number of live component objects; 0 means the module may be unloaded. Threading: any thread.
AAX_EXPORT ACFRESULT ACFCanUnloadNow(IACFUnknown* host);
// Keeps the host's services for tracing (a second start-up keeps the first). Threading: module load.
AAX_EXPORT ACFRESULT ACFStartup(IACFUnknown* host);
// Drops the host's services. Threading: module unload, after every object is released.
AAX_EXPORT ACFRESULT ACFShutdown(IACFUnknown* host);
// Writes the interface version this module was built against (-20004 when version is null).
// Threading: any thread.
AAX_EXPORT ACFRESULT ACFGetSDKVersion(uint64_t* version);

// The counterparts (they may throw; the exports above catch).
ACFRESULT AAXRegisterPlugin(IACFUnknown* host, IACFPluginDefinition** out);
ACFRESULT AAXRegisterComponent(IACFUnknown* host, uint32_t index, IACFComponentDefinition** out);
ACFRESULT AAXGetClassFactory(IACFUnknown* host, const _acfUID& classID, const _acfUID& interfaceID, void** out);
ACFRESULT AAXCanUnloadNow(IACFUnknown* host);
ACFRESULT AAXStartup(IACFUnknown* host);
ACFRESULT AAXShutdown(IACFUnknown* host);
ACFRESULT AAXGetSDKVersion(uint64_t* version);

// The interface version ACFGetSDKVersion reports.
constexpr uint64_t cAAXInterfaceVersion = 0x00000202009816E6ull;

// Describes the module's effects into the collection (written by the effect). Result 0 or the code
// of the first object that could not be created or of AddEffect.
AAX_Result GetEffectDescriptions(AAX_ICollection* collection);
