// The host's component descriptor: the context fields and process procedures of one component.
// AddComponent takes a copy, so a descriptor that the plug-in clears and describes again afterwards
// leaves the first copy as it was.
#pragma once

#include "AAX_IComponentDescriptor.h"
#include "HostInternal.h"
#include "MarovexHost.h"

namespace marovex_host {

class HostComponentDescriptor final : public AAX_IACFComponentDescriptor_V2 {
public:
    HostComponentDescriptor() = default;
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override;

    AAX_Result Clear() override;
    AAX_Result AddReservedField(AAX_CFieldIndex field, uint32_t fieldType) override;
    AAX_Result AddAudioIn(AAX_CFieldIndex field) override;
    AAX_Result AddAudioOut(AAX_CFieldIndex field) override;
    AAX_Result AddAudioBufferLength(AAX_CFieldIndex field) override;
    AAX_Result AddSampleRate(AAX_CFieldIndex field) override;
    AAX_Result AddClock(AAX_CFieldIndex field) override;
    AAX_Result AddSideChainIn(AAX_CFieldIndex field) override;
    AAX_Result AddDataInPort(AAX_CFieldIndex field, uint32_t packetSize, int32_t portType) override;
    AAX_Result AddPrivateData(AAX_CFieldIndex field, int32_t dataSize, int32_t options) override;
    AAX_Result AddMeters(AAX_CFieldIndex field, const AAX_CTypeID* meterIDs, uint32_t meterCount) override;
    AAX_Result AddProcessProc_Native(AAX_CProcessProc processProc, IACFUnknown* properties,
                                     AAX_CInstanceInitProc instanceInitProc, AAX_CBackgroundProc backgroundProc,
                                     AAX_CTypeID* outProcID) override;
    AAX_Result AddProcessProc_TI(const char* dllFileName, const char* processProcSymbol, IACFUnknown* properties,
                                 const char* instanceInitProcSymbol, const char* backgroundProcSymbol,
                                 AAX_CTypeID* outProcID) override;
    AAX_Result AddTemporaryData(AAX_CFieldIndex field, uint32_t dataElementSize) override;

    const MarovexComponentDescription& Description() const { return mDesc; }

private:
    ~HostComponentDescriptor() = default;
    AAX_Result AddField(MarovexField field);
    RefCount mRefs;
    MarovexComponentDescription mDesc;
    AAX_CTypeID mNextProcID = 1;
};

}  // namespace marovex_host
