// A loadable module that misbehaves on request, for checking how the host library copes. It uses
// the effect's data model and the module glue; only its description and its process procedure are
// its own. The value of "InGain" picks the misbehaviour at the start of each block:
//   0.1 write one sample past the end of each output buffer
//   0.2 change the block length in the context
//   0.3 throw from the process procedure
//   anything else: copy the input to the output
#include <cstring>
#include <stdexcept>

#include "AAX_ICollection.h"
#include "AAX_IComponentDescriptor.h"
#include "AAX_IEffectDescriptor.h"
#include "AAX_IPropertyMap.h"
#include "AAX_Init.h"
#include "Tandrel_Alg.h"
#include "Tandrel_Parameters.h"

namespace {

void Misbehave(void* const begin[], const void* end) {
    for (void* const* p = begin; p != end; ++p) {
        auto* ctx = static_cast<STandrel_Alg_Context*>(*p);
        const int32_t n = *ctx->mBufferLengthP;
        const int mode = int(*ctx->mInGainP * 10.0f + 0.5f);
        for (int c = 0; c < 2; ++c) std::memcpy(ctx->mOutputPP[c], ctx->mInputPP[c], sizeof(float) * size_t(n));
        if (mode == 1) {
            for (int c = 0; c < 2; ++c) ctx->mOutputPP[c][n] = 1.0f;
        } else if (mode == 2) {
            *ctx->mBufferLengthP = n + 1;
        } else if (mode == 3) {
            throw std::runtime_error("misbehaving process procedure");
        }
    }
}

}  // namespace

AAX_Result GetEffectDescriptions(AAX_ICollection* collection) {
    AAX_IEffectDescriptor* effect = collection->NewDescriptor();
    AAX_IComponentDescriptor* component = effect ? effect->NewComponentDescriptor() : nullptr;
    AAX_IPropertyMap* props = component ? component->NewPropertyMap() : nullptr;
    if (props == nullptr) return AAX_ERROR_NULL_OBJECT;
    component->AddAudioIn(eTandrelField_Input);
    component->AddAudioOut(eTandrelField_Output);
    component->AddAudioBufferLength(eTandrelField_BufferLength);
    component->AddSampleRate(eTandrelField_SampleRate);
    component->AddMeters(eTandrelField_Meters, cTandrel_MeterID, 1);
    for (AAX_CFieldIndex i = 0; i <= 8; ++i) component->AddDataInPort(i, 4, 1);
    component->AddDataInPort(eTandrelField_CoefsW, 24, 1);
    component->AddDataInPort(eTandrelField_CoefsA, 24, 1);
    component->AddPrivateData(eTandrelField_PrivateData, kTandrel_PrivateDataSize, 0);
    props->AddProperty(51, AAX_eStemFormat_Stereo);
    props->AddProperty(52, AAX_eStemFormat_Stereo);
    component->AddProcessProc_Native(&Misbehave, props, nullptr, nullptr, nullptr);
    effect->AddComponent(component);
    effect->AddProcPtr(reinterpret_cast<void*>(&Tandrel_Parameters::Create), 0);
    return collection->AddEffect("Bad", effect);
}
