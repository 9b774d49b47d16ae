// Initial values of the private block.
#include <cstring>

#include "Tandrel_Alg.h"

namespace {

// Fixed values the DSP modules expect; the native kernel does not read them.
constexpr double kDspLevel = 6.30957344480193e-06;  // 10^-5.2, that is -104 dB
constexpr uint64_t kDspNegativeZeroBits = 0x8000000000000000ull;
constexpr float kDspTableA[9] = {-1.0f,           5.656637191772461f,   -15.06276798248291f,
                                 24.34426498413086f, -25.960777282714844f, 18.640485763549805f,
                                 -8.786409378051758f, 2.4853153228759766f,  -0.3234422504901886f};
constexpr float kDspTableB[9] = {0.0009299485827796161f,  -0.0005963771254755557f, 0.002155852038413286f,
                                 -0.0003243942919652909f, 0.0022128659766167402f,  -0.0003243942919652909f,
                                 0.002155852038413286f,   -0.0005963771254755557f, 0.0009299485827796161f};

void ResetOneBlock(unsigned char* block) {
    const double zero = 0.0;
    const uint64_t zeroBits = 0;
    std::memcpy(block + 40, &zero, 8);
    std::memcpy(block + 48, &kDspLevel, 8);
    std::memcpy(block + 56, &zeroBits, 8);
    std::memcpy(block + 64, &kDspNegativeZeroBits, 8);
    std::memset(block + offsetof(STandrel_Alg_PrivateData, mW1), 0, 76);  // kernel state, 100-175
    std::memcpy(block + offsetof(STandrel_Alg_PrivateData, mDspTableA), kDspTableA, sizeof kDspTableA);
    std::memcpy(block + offsetof(STandrel_Alg_PrivateData, mDspTableB), kDspTableB, sizeof kDspTableB);
    block[offsetof(STandrel_Alg_PrivateData, mDspFlag)] = 1;
    std::memset(block + offsetof(STandrel_Alg_PrivateData, mDspZeros), 0, 320);
}

}  // namespace

AAX_Result Tandrel_ResetFieldData(AAX_CFieldIndex field, void* data, uint32_t dataSize) {
    if (field != eTandrelField_PrivateData || data == nullptr) {
        return AAX_RESULT_FIELD_DATA_RESET;
    }
    const uint32_t count = dataSize / kTandrel_PrivateDataSize;
    unsigned char* bytes = static_cast<unsigned char*>(data);
    for (uint32_t i = 0; i < count; ++i) {
        ResetOneBlock(bytes + std::size_t(i) * kTandrel_PrivateDataSize);
    }
    return AAX_RESULT_FIELD_DATA_RESET;
}
