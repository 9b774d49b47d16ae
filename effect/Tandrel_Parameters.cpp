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

namespace {

struct SFloatParameterRow {
    const char* mID;  // also the display name
    float mDefault;
    uint32_t mSteps;
};

// In creation order, which is also the control index order (the bypass is index 0).
constexpr SFloatParameterRow kFloatParameters[] = {
    {"InGain", 0.5f, 131}, {"FreqW", 0.5f, 131}, {"Width", 1.0f, 131}, {"FreqA", 0.5f, 131},
    {"Action", 1.0f, 131}, {"Dyn", 1.0f, 131},   {"Adj", 0.5f, 9},     {"OutGain", 0.5f, 131},
};

}  // namespace

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
    for (const SFloatParameterRow& row : kFloatParameters) {
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
    return UpdateFrequencyPacket("FreqW", 900.0f, 100.0f, eTandrelField_CoefsW, packet);
}

AAX_Result Tandrel_Parameters::UpdatePacket_Par3(AAX_CPacket& packet) {
    return UpdateFrequencyPacket("FreqA", 5000.0f, 1000.0f, eTandrelField_CoefsA, packet);
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

    // Bilinear first-order low-pass with its -3 dB corner at f = value * k1 + k0 Hz: with the half
    // angle h = pi f / sr, K = tan(h) = s / c and the section evaluates
    // y[n] = (s x[n] + s x[n-1] - (s - c) y[n-1]) / (s + c). Single precision, in this order.
    const float halfAngle = ((value * k1 + k0) * 6.2831855f / sampleRate) * 0.5f;
    const float s = static_cast<float>(std::sin(static_cast<double>(halfAngle)));
    const float c = static_cast<float>(std::cos(static_cast<double>(halfAngle)));
    STandrel_FilterCoefs coefs;
    coefs.b0 = s;
    coefs.b1 = s;
    coefs.b2 = 0.0f;
    coefs.scale = 1.0f / (s + c);
    coefs.a1 = s - c;
    coefs.a2 = 0.0f;

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
