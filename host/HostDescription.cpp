// The description the host records of a module: helpers of the public records that the description
// objects (HostCollection, HostEffectDescriptor, HostComponentDescriptor, HostPropertyMap) fill.
//
// Every description call is recorded by value at the moment it is made: a component descriptor that
// the plug-in clears and describes again after AddComponent leaves the first copy as it was, and a
// property map handed to a procedure keeps the properties it held at that call.
#include "MarovexHost.h"

bool MarovexPropertyMap::Get(AAX_EProperty id, AAX_CPropertyValue* value) const {
    for (const auto& p : properties) {
        if (p.id == id) {
            if (value != nullptr) {
                *value = p.value;
            }
            return true;
        }
    }
    return false;
}

int32_t MarovexComponentDescription::StemFormat() const {
    AAX_CPropertyValue v = 0;
    for (const auto& p : nativeProcesses) {
        if (p.properties.Get(51, &v)) {
            return v;
        }
    }
    for (const auto& p : dspProcesses) {
        if (p.properties.Get(51, &v)) {
            return v;
        }
    }
    return 0;
}

const MarovexField* MarovexComponentDescription::FindField(AAX_CFieldIndex index) const {
    for (const auto& f : fields) {
        if (f.index == index) {
            return &f;
        }
    }
    return nullptr;
}

void* MarovexEffectDescription::FindProcPtr(AAX_CProcPtrID id) const {
    for (const auto& p : procPtrs) {
        if (p.id == id) {
            return p.proc;
        }
    }
    return nullptr;
}

const MarovexComponentDescription* MarovexEffectDescription::FindComponent(int32_t stemFormat) const {
    for (const auto& c : components) {
        if (c.StemFormat() == stemFormat) {
            return &c;
        }
    }
    return nullptr;
}

const char* MarovexFieldKindName(MarovexFieldKind kind) {
    switch (kind) {
        case MarovexFieldKind::Reserved: return "reserved";
        case MarovexFieldKind::AudioIn: return "audio input";
        case MarovexFieldKind::AudioOut: return "audio output";
        case MarovexFieldKind::BufferLength: return "buffer length";
        case MarovexFieldKind::SampleRate: return "sample rate";
        case MarovexFieldKind::Clock: return "clock";
        case MarovexFieldKind::SideChainIn: return "side-chain input";
        case MarovexFieldKind::DataInPort: return "data-in port";
        case MarovexFieldKind::PrivateData: return "private data";
        case MarovexFieldKind::Meters: return "meters";
        case MarovexFieldKind::TemporaryData: return "temporary data";
    }
    return "unknown";
}
