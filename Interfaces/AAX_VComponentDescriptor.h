// Wraps a host component descriptor (versions 1 and 2) behind AAX_IComponentDescriptor.
//
// The wrapper creates its host object through the host's component factory. Construction never
// fails: a missing host interface stays null; then each operation returns -20004 (version 1
// missing, AddTemporaryData included) or -20009 (AddTemporaryData on a host object without
// version 2). Property maps made by NewPropertyMap belong to this wrapper and live until it is
// destroyed; destruction releases the host object.
// Threading: the thread that describes the module.
#pragma once

#include <memory>
#include <vector>

#include "AAX_IComponentDescriptor.h"

class AAX_VPropertyMap;

class AAX_VComponentDescriptor : public AAX_IComponentDescriptor {
public:
    explicit AAX_VComponentDescriptor(IACFUnknown* host);
    ~AAX_VComponentDescriptor() override;
    AAX_VComponentDescriptor(const AAX_VComponentDescriptor&) = delete;
    AAX_VComponentDescriptor& operator=(const AAX_VComponentDescriptor&) = delete;

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
    // A new property map owned by this wrapper, or null when the host cannot make one.
    AAX_IPropertyMap* NewPropertyMap() override;
    AAX_Result AddProcessProc_Native(AAX_CProcessProc processProc, AAX_IPropertyMap* properties,
                                     AAX_CInstanceInitProc instanceInitProc, AAX_CBackgroundProc backgroundProc,
                                     AAX_CTypeID* outProcID) override;
    AAX_Result AddProcessProc_TI(const char* dllFileName, const char* processProcSymbol, AAX_IPropertyMap* properties,
                                 const char* instanceInitProcSymbol, const char* backgroundProcSymbol,
                                 AAX_CTypeID* outProcID) override;
    AAX_Result AddTemporaryData(AAX_CFieldIndex field, uint32_t dataElementSize) override;
    IACFUnknown* GetIUnknown() const override;

    AAX_IACFComponentDescriptor* GetV1() const { return mIComponentDescriptor; }
    AAX_IACFComponentDescriptor_V2* GetV2() const { return mIComponentDescriptorV2; }

private:
    IACFUnknown* mHost;  // one reference held, for the property maps this wrapper makes
    AAX_IACFComponentDescriptor* mIComponentDescriptor;
    AAX_IACFComponentDescriptor_V2* mIComponentDescriptorV2;
    std::vector<std::unique_ptr<AAX_VPropertyMap>> mPropertyMaps;
};
