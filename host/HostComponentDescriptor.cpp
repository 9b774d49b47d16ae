// The host's component descriptor.
#include "HostComponentDescriptor.h"

#include "AAX_UIDs.h"
#include "HostPropertyMap.h"

namespace marovex_host {

ACFRESULT HostComponentDescriptor::QueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    if (iid == IID_IACFUnknown || iid == IID_IAAXComponentDescriptorV1 || iid == IID_IAAXComponentDescriptorV2 ||
        iid == kImplID_ComponentDescriptor) {
        return Answer(this, out);
    }
    return NoInterface(out);
}

uint32_t HostComponentDescriptor::Release() {
    const uint32_t n = mRefs.Drop();
    if (n == 0) {
        delete this;
    }
    return n;
}

AAX_Result HostComponentDescriptor::Clear() {
    mDesc = MarovexComponentDescription();
    return AAX_SUCCESS;
}

AAX_Result HostComponentDescriptor::AddField(MarovexField field) {
    if (field.index < 0) {
        Report(marovex_where::kDescription, "ignored", "context field %d declared with a negative index", field.index);
        return AAX_SUCCESS;
    }
    if (mDesc.FindField(field.index) != nullptr) {
        Report(marovex_where::kDescription, "the later declaration is ignored",
               "context field %d declared twice", field.index);
        return AAX_SUCCESS;
    }
    mDesc.fields.push_back(std::move(field));
    return AAX_SUCCESS;
}

AAX_Result HostComponentDescriptor::AddReservedField(AAX_CFieldIndex field, uint32_t fieldType) {
    return AddField({field, MarovexFieldKind::Reserved, 0, static_cast<int32_t>(fieldType), {}});
}
AAX_Result HostComponentDescriptor::AddAudioIn(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::AudioIn, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddAudioOut(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::AudioOut, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddAudioBufferLength(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::BufferLength, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddSampleRate(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::SampleRate, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddClock(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::Clock, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddSideChainIn(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::SideChainIn, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddDataInPort(AAX_CFieldIndex field, uint32_t packetSize, int32_t portType) {
    return AddField({field, MarovexFieldKind::DataInPort, packetSize, portType, {}});
}
AAX_Result HostComponentDescriptor::AddPrivateData(AAX_CFieldIndex field, int32_t dataSize, int32_t options) {
    if (dataSize < 0) {
        Report(marovex_where::kDescription, "recorded as 0",
               "private data of field %d declared with negative size %d", field,
               dataSize);
        dataSize = 0;
    }
    return AddField({field, MarovexFieldKind::PrivateData, static_cast<uint32_t>(dataSize), options, {}});
}
AAX_Result HostComponentDescriptor::AddMeters(AAX_CFieldIndex field, const AAX_CTypeID* meterIDs,
                                              uint32_t meterCount) {
    MarovexField f{field, MarovexFieldKind::Meters, meterCount, 0, {}};
    if (meterIDs == nullptr && meterCount > 0) {
        Report(marovex_where::kDescription, "refused", "meters of field %d declared without identifiers", field);
        return AAX_ERROR_NULL_OBJECT;
    }
    if (meterCount > 1024) {
        Report(marovex_where::kDescription, "refused: at most 1024 are accepted",
               "%u meters declared on field %d", meterCount, field);
        return AAX_ERROR_NULL_OBJECT;
    }
    f.meterIDs.assign(meterIDs, meterIDs + meterCount);
    return AddField(std::move(f));
}
AAX_Result HostComponentDescriptor::AddTemporaryData(AAX_CFieldIndex field, uint32_t dataElementSize) {
    return AddField({field, MarovexFieldKind::TemporaryData, dataElementSize, 0, {}});
}

AAX_Result HostComponentDescriptor::AddProcessProc_Native(AAX_CProcessProc processProc, IACFUnknown* properties,
                                                          AAX_CInstanceInitProc instanceInitProc,
                                                          AAX_CBackgroundProc backgroundProc,
                                                          AAX_CTypeID* outProcID) {
    MarovexNativeProcess p;
    p.proc = processProc;
    p.properties = SnapshotProperties(properties, "AddProcessProc_Native");
    p.instanceInit = instanceInitProc;
    p.background = backgroundProc;
    if (processProc == nullptr) {
        Report(marovex_where::kDescription, "recorded as given", "native process procedure registered as null");
    }
    mDesc.nativeProcesses.push_back(std::move(p));
    if (outProcID != nullptr) {
        *outProcID = mNextProcID;
    }
    ++mNextProcID;
    return AAX_SUCCESS;
}

AAX_Result HostComponentDescriptor::AddProcessProc_TI(const char* dllFileName, const char* processProcSymbol,
                                                      IACFUnknown* properties, const char* instanceInitProcSymbol,
                                                      const char* backgroundProcSymbol, AAX_CTypeID* outProcID) {
    MarovexDspProcess p;
    p.file = TextOf(dllFileName);
    p.entrySymbol = TextOf(processProcSymbol);
    p.instanceInitSymbol = TextOf(instanceInitProcSymbol);
    p.backgroundSymbol = TextOf(backgroundProcSymbol);
    p.properties = SnapshotProperties(properties, "AddProcessProc_TI");
    mDesc.dspProcesses.push_back(std::move(p));
    if (outProcID != nullptr) {
        *outProcID = mNextProcID;
    }
    ++mNextProcID;
    return AAX_SUCCESS;
}

}  // namespace marovex_host
