#include "Tandrel_Parameters.h"

#include <cmath>
#include <memory>

#include "AAX_CBinaryDisplayDelegate.h"
#include "AAX_CBinaryTaperDelegate.h"
#include "AAX_CLinearTaperDelegate.h"
#include "AAX_CNumberDisplayDelegate.h"
#include "AAX_CParameter.h"
#include "AAX_CString.h"
#include "Tandrel_Alg.h"
#include "Tandrel_Coefs.h"


Tandrel_Parameters::Tandrel_Parameters() = default;

Tandrel_Parameters::~Tandrel_Parameters() = default;

AAX_IEffectParameters* Tandrel_Parameters::Create() { return new Tandrel_Parameters(); }

AAX_Result Tandrel_Parameters::ResetFieldData(AAX_CFieldIndex field, void* data, uint32_t dataSize) const {
    if (field != eTandrelField_PrivateData) {
        return AAX_RESULT_FIELD_DATA_RESET;
    }
    if (const AAX_IController* controller = Controller()) {
        float sampleRate = 0.0f;
        controller->GetSampleRate(&sampleRate);  // asked for, not used by the reset
    }
    return Tandrel_ResetFieldData(field, data, dataSize);
}

AAX_Result Tandrel_Parameters::EffectInit() {
    // A parameter the manager rejects (a duplicate identifier) stays ours and is freed here.
    auto add = [this](std::unique_ptr<AAX_IParameter> parameter) {
        AAX_IParameter* raw = parameter.get();
        mParameterManager.AddParameter(raw);
        if (mParameterManager.GetParameterByID(raw->Identifier()) == raw) {
            parameter.release();
        }
    };

    {
        const AAX_CBinaryTaperDelegate<bool> taper;
        const AAX_CBinaryDisplayDelegate<bool> display("bypass", "on");
        auto bypass = std::make_unique<AAX_CParameter<bool>>(cDefaultMasterBypassID, AAX_CString("Master Bypass"),
                                                             false, taper, display, true);
        bypass->SetNumberOfSteps(2);
        bypass->SetType(AAX_eParameterType_Discrete);
        add(std::move(bypass));
    }
    const AAX_CLinearTaperDelegate<float, 0> taper(0.0f, 1.0f);
    const AAX_CNumberDisplayDelegate<float, 2, 0> display;
    for (const STandrel_ParameterRow& row : kTandrel_FloatParameters) {
        auto parameter = std::make_unique<AAX_CParameter<float>>(row.mID, AAX_CString(row.mID), row.mDefault, taper,
                                                                 display, true);
        parameter->SetNumberOfSteps(row.mSteps);
        add(std::move(parameter));
    }

    const AAX_CPacketHandler<AAX_CPacketDispatcher> singleValue(&mPacketDispatcher,
                                                                &AAX_CPacketDispatcher::GenerateSingleValuePacket);
    const AAX_CPacketHandler<Tandrel_Parameters> freqW(this, &Tandrel_Parameters::UpdatePacket_Par1);
    const AAX_CPacketHandler<Tandrel_Parameters> freqA(this, &Tandrel_Parameters::UpdatePacket_Par3);
    mPacketDispatcher.RegisterPacket(cDefaultMasterBypassID, eTandrelField_Bypass, &singleValue);
    mPacketDispatcher.RegisterPacket("InGain", eTandrelField_InGain, &singleValue);
    mPacketDispatcher.RegisterPacket("FreqW", eTandrelField_FreqW, &freqW);
    mPacketDispatcher.RegisterPacket("Width", eTandrelField_Width, &singleValue);
    mPacketDispatcher.RegisterPacket("FreqA", eTandrelField_FreqA, &freqA);
    mPacketDispatcher.RegisterPacket("Action", eTandrelField_Action, &singleValue);
    mPacketDispatcher.RegisterPacket("Dyn", eTandrelField_Dyn, &singleValue);
    mPacketDispatcher.RegisterPacket("Adj", eTandrelField_Adj, &singleValue);
    mPacketDispatcher.RegisterPacket("OutGain", eTandrelField_OutGain, &singleValue);
    return AAX_SUCCESS;
}

AAX_Result Tandrel_Parameters::UpdatePacket_Par1(AAX_CPacket& packet) {
    return UpdateFrequencyPacket("FreqW", kTandrel_FreqW_K1, kTandrel_FreqW_K0, eTandrelField_CoefsW, packet);
}

AAX_Result Tandrel_Parameters::UpdatePacket_Par3(AAX_CPacket& packet) {
    return UpdateFrequencyPacket("FreqA", kTandrel_FreqA_K1, kTandrel_FreqA_K0, eTandrelField_CoefsA, packet);
}

AAX_Result Tandrel_Parameters::UpdateFrequencyPacket(const char* parameterID, float k1, float k0,
                                                     AAX_CFieldIndex coefsField, AAX_CPacket& packet) {
    const AAX_IParameter* parameter = mParameterManager.GetParameterByID(parameterID);
    AAX_IController* controller = Controller();
    float sampleRate = 0.0f;
    if (controller != nullptr) {
        controller->GetSampleRate(&sampleRate);
    }
    float value = 0.0f;
    if (parameter == nullptr || !parameter->GetValueAsFloat(&value)) {
        return AAX_SUCCESS;
    }
    *packet.GetPtr<float>() = value;

    // The bilinear first-order low-pass with its -3 dB corner at value * k1 + k0 Hz, kept below the
    // Nyquist frequency.
    const STandrel_FilterCoefs coefs = Tandrel_LowPassCoefs(value, k1, k0, sampleRate);

    // A host that reports no usable sample rate would get a block of infinities or NaNs, which the
    // section's history would keep for the rest of the instance's life: post no block then, and the
    // section keeps its previous coefficients.
    const bool usable = sampleRate > 0.0f && std::isfinite(coefs.scale) && std::isfinite(coefs.a1) &&
                        std::isfinite(coefs.b0);
    if (controller != nullptr && usable) {
        controller->PostPacket(coefsField, &coefs, sizeof coefs);
    }
    return AAX_SUCCESS;
}
