// Host component descriptor wrapper.
#include "AAX_VComponentDescriptor.h"

#include "AAX_CUIDs.h"
#include "AAX_UIDs.h"
#include "AAX_VPropertyMap.h"

namespace {

IACFUnknown* UnknownOf(AAX_IPropertyMap* properties) { return properties ? properties->GetIUnknown() : nullptr; }

}  // namespace

AAX_VComponentDescriptor::AAX_VComponentDescriptor(IACFUnknown* host)
    : mHost(host),
      mIComponentDescriptor(static_cast<AAX_IACFComponentDescriptor*>(
          AAX_CreateHostComponent(host, AAXCompID_ComponentDescriptor, IID_IAAXComponentDescriptorV1))),
      mIComponentDescriptorV2(nullptr) {
    if (mHost != nullptr) mHost->AddRef();
    if (mIComponentDescriptor != nullptr &&
        mIComponentDescriptor->QueryInterface(IID_IAAXComponentDescriptorV2,
                                              reinterpret_cast<void**>(&mIComponentDescriptorV2)) != ACF_OK) {
        mIComponentDescriptorV2 = nullptr;
    }
}

AAX_VComponentDescriptor::~AAX_VComponentDescriptor() {
    mPropertyMaps.clear();
    if (mIComponentDescriptorV2 != nullptr) mIComponentDescriptorV2->Release();
    if (mIComponentDescriptor != nullptr) mIComponentDescriptor->Release();
    if (mHost != nullptr) mHost->Release();
}

AAX_Result AAX_VComponentDescriptor::Clear() {
    return mIComponentDescriptor ? mIComponentDescriptor->Clear() : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddReservedField(AAX_CFieldIndex field, uint32_t fieldType) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddReservedField(field, fieldType) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddAudioIn(AAX_CFieldIndex field) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddAudioIn(field) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddAudioOut(AAX_CFieldIndex field) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddAudioOut(field) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddAudioBufferLength(AAX_CFieldIndex field) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddAudioBufferLength(field) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddSampleRate(AAX_CFieldIndex field) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddSampleRate(field) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddClock(AAX_CFieldIndex field) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddClock(field) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddSideChainIn(AAX_CFieldIndex field) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddSideChainIn(field) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddDataInPort(AAX_CFieldIndex field, uint32_t packetSize, int32_t portType) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddDataInPort(field, packetSize, portType)
                                 : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddPrivateData(AAX_CFieldIndex field, int32_t dataSize, int32_t options) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddPrivateData(field, dataSize, options)
                                 : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddMeters(AAX_CFieldIndex field, const AAX_CTypeID* meterIDs,
                                               uint32_t meterCount) {
    return mIComponentDescriptor ? mIComponentDescriptor->AddMeters(field, meterIDs, meterCount)
                                 : AAX_ERROR_NULL_OBJECT;
}

AAX_IPropertyMap* AAX_VComponentDescriptor::NewPropertyMap() {
    std::unique_ptr<AAX_VPropertyMap> map(new AAX_VPropertyMap(mHost));
    if (map->GetV1() == nullptr) {
        return nullptr;
    }
    mPropertyMaps.push_back(std::move(map));
    return mPropertyMaps.back().get();
}

AAX_Result AAX_VComponentDescriptor::AddProcessProc_Native(AAX_CProcessProc processProc, AAX_IPropertyMap* properties,
                                                           AAX_CInstanceInitProc instanceInitProc,
                                                           AAX_CBackgroundProc backgroundProc,
                                                           AAX_CTypeID* outProcID) {
    return mIComponentDescriptor
               ? mIComponentDescriptor->AddProcessProc_Native(processProc, UnknownOf(properties), instanceInitProc,
                                                              backgroundProc, outProcID)
               : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddProcessProc_TI(const char* dllFileName, const char* processProcSymbol,
                                                       AAX_IPropertyMap* properties,
                                                       const char* instanceInitProcSymbol,
                                                       const char* backgroundProcSymbol, AAX_CTypeID* outProcID) {
    return mIComponentDescriptor
               ? mIComponentDescriptor->AddProcessProc_TI(dllFileName, processProcSymbol, UnknownOf(properties),
                                                          instanceInitProcSymbol, backgroundProcSymbol, outProcID)
               : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VComponentDescriptor::AddTemporaryData(AAX_CFieldIndex field, uint32_t dataElementSize) {
    if (mIComponentDescriptorV2 != nullptr) {
        return mIComponentDescriptorV2->AddTemporaryData(field, dataElementSize);
    }
    // No host object at all is a missing object; a host object without version 2 is too old.
    return mIComponentDescriptor ? AAX_ERROR_UNIMPLEMENTED : AAX_ERROR_NULL_OBJECT;
}

IACFUnknown* AAX_VComponentDescriptor::GetIUnknown() const { return mIComponentDescriptor; }
