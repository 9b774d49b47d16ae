// The audio algorithm's records: the per-instance context that the host fills, the 24-byte
// coefficient block of one recursive section, the 840-byte private block, the reset of that block
// and the process function. Context, coefficient block and private block are fixed-layout formats
// shared with the host's DSP loader, so every size and offset is asserted here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "AAX.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the private block is stored little-endian");

// One recursive section, evaluated as
// y = scale * (b0*x[n] + b1*x[n-1] + b2*x[n-2] - a1*y[n-1] - a2*y[n-2]).
struct STandrel_FilterCoefs {
    float b0, b1, b2, scale, a1, a2;
};
static_assert(sizeof(STandrel_FilterCoefs) == 24, "coefficient block is 24 bytes");
static_assert(offsetof(STandrel_FilterCoefs, b0) == 0 && offsetof(STandrel_FilterCoefs, b1) == 4 &&
                  offsetof(STandrel_FilterCoefs, b2) == 8 && offsetof(STandrel_FilterCoefs, scale) == 12 &&
                  offsetof(STandrel_FilterCoefs, a1) == 16 && offsetof(STandrel_FilterCoefs, a2) == 20,
              "coefficient block field offsets");

// History of one section on one channel: the last two inputs and the last two outputs.
struct STandrel_SectionState {
    float mX1, mX2, mY1, mY2;
};
static_assert(sizeof(STandrel_SectionState) == 16, "section history is four floats");

// The private block the host allocates for each instance. The native kernel uses bytes 100-175;
// everything else belongs to the DSP modules and is kept opaque so the block stays byte-compatible.
struct STandrel_Alg_PrivateData {
    uint8_t mReserved0[40];          // 0-39, never written
    uint8_t mDspWords[32];           // 40-71, written by the reset only
    uint8_t mReserved1[28];          // 72-99
    STandrel_SectionState mW1;       // 100: section W, channel 1
    STandrel_SectionState mW2;       // 116: section W, channel 2
    STandrel_SectionState mA1;       // 132: section A, channel 1
    STandrel_SectionState mA2;       // 148: section A, channel 2
    float mDetector;                 // 164: detector level of the last sample (written, never read)
    float mGain;                     // 168: smoothed gain g
    float mGainCopy;                 // 172: g again, stored at the end of each block (never read)
    uint8_t mDspTableA[36];          // 176-211: nine floats, written by the reset only
    uint8_t mReserved2[124];         // 212-335
    uint8_t mDspTableB[36];          // 336-371: nine floats, written by the reset only
    uint8_t mReserved3[124];         // 372-495
    uint8_t mDspFlag;                // 496: written by the reset only
    uint8_t mReserved4[3];           // 497-499
    uint8_t mDspZeros[320];          // 500-819: written by the reset only
    uint8_t mReserved5[20];          // 820-839
};
constexpr uint32_t kTandrel_PrivateDataSize = 840;
static_assert(sizeof(STandrel_Alg_PrivateData) == kTandrel_PrivateDataSize, "private block is 840 bytes");
static_assert(alignof(STandrel_Alg_PrivateData) == 4, "private block needs only float alignment");
static_assert(offsetof(STandrel_Alg_PrivateData, mDspWords) == 40, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mReserved1) == 72, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mW1) == 100, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mW2) == 116, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mA1) == 132, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mA2) == 148, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mDetector) == 164, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mGain) == 168, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mGainCopy) == 172, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mDspTableA) == 176, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mReserved2) == 212, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mDspTableB) == 336, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mReserved3) == 372, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mDspFlag) == 496, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mReserved4) == 497, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mDspZeros) == 500, "");
static_assert(offsetof(STandrel_Alg_PrivateData, mReserved5) == 820, "");

// The algorithm context: seventeen pointer-sized fields; the field index names a field in the
// component description and the packet registration.
struct STandrel_Alg_Context {
    int32_t* mBypassP;                      // 0: non-zero means bypass
    float* mInGainP;                        // 1
    float* mFreqWP;                         // 2: parameter value, not read by the kernel
    float* mWidthP;                         // 3
    float* mFreqAP;                         // 4: parameter value, not read by the kernel
    float* mActionP;                        // 5
    float* mDynP;                           // 6
    float* mAdjP;                           // 7
    float* mOutGainP;                       // 8
    float** mInputPP;                       // 9: one buffer per input channel
    float** mOutputPP;                      // 10: one buffer per output channel
    int32_t* mBufferLengthP;                // 11: samples in this block
    float* mSampleRateP;                    // 12: Hz
    float** mMetersPP;                      // 13: one tap per meter (one meter)
    STandrel_FilterCoefs* mCoefsWP;         // 14
    STandrel_FilterCoefs* mCoefsAP;         // 15
    STandrel_Alg_PrivateData* mPrivateDataP;  // 16
};

enum ETandrel_AlgFieldIndex : int32_t {
    eTandrelField_Bypass = 0,
    eTandrelField_InGain,
    eTandrelField_FreqW,
    eTandrelField_Width,
    eTandrelField_FreqA,
    eTandrelField_Action,
    eTandrelField_Dyn,
    eTandrelField_Adj,
    eTandrelField_OutGain,
    eTandrelField_Input,
    eTandrelField_Output,
    eTandrelField_BufferLength,
    eTandrelField_SampleRate,
    eTandrelField_Meters,
    eTandrelField_CoefsW,
    eTandrelField_CoefsA,
    eTandrelField_PrivateData,
    eTandrelField_Count
};

static_assert(sizeof(STandrel_Alg_Context) == eTandrelField_Count * sizeof(void*), "context is 17 pointers");
#define TANDREL_ASSERT_FIELD(member, index) \
    static_assert(offsetof(STandrel_Alg_Context, member) == (index) * sizeof(void*), #member " offset")
TANDREL_ASSERT_FIELD(mBypassP, eTandrelField_Bypass);
TANDREL_ASSERT_FIELD(mInGainP, eTandrelField_InGain);
TANDREL_ASSERT_FIELD(mFreqWP, eTandrelField_FreqW);
TANDREL_ASSERT_FIELD(mWidthP, eTandrelField_Width);
TANDREL_ASSERT_FIELD(mFreqAP, eTandrelField_FreqA);
TANDREL_ASSERT_FIELD(mActionP, eTandrelField_Action);
TANDREL_ASSERT_FIELD(mDynP, eTandrelField_Dyn);
TANDREL_ASSERT_FIELD(mAdjP, eTandrelField_Adj);
TANDREL_ASSERT_FIELD(mOutGainP, eTandrelField_OutGain);
TANDREL_ASSERT_FIELD(mInputPP, eTandrelField_Input);
TANDREL_ASSERT_FIELD(mOutputPP, eTandrelField_Output);
TANDREL_ASSERT_FIELD(mBufferLengthP, eTandrelField_BufferLength);
TANDREL_ASSERT_FIELD(mSampleRateP, eTandrelField_SampleRate);
TANDREL_ASSERT_FIELD(mMetersPP, eTandrelField_Meters);
TANDREL_ASSERT_FIELD(mCoefsWP, eTandrelField_CoefsW);
TANDREL_ASSERT_FIELD(mCoefsAP, eTandrelField_CoefsA);
TANDREL_ASSERT_FIELD(mPrivateDataP, eTandrelField_PrivateData);
#undef TANDREL_ASSERT_FIELD
static_assert(eTandrelField_Count == 17, "seventeen context fields");

// The one meter: peak gain reduction (0 to 1).
inline constexpr AAX_CTypeID cTandrel_MeterID[1] = {AAX_FourCC("mGR1")};

// Gives every whole 840-byte private block in `data` its initial values: the kernel state
// (bytes 100-175) zero, and the fixed values the DSP modules expect; reserved bytes are not
// written. Writes nothing when `field` is not eTandrelField_PrivateData, when `data` is null or
// when `dataSize` holds no whole block. Always returns AAX_RESULT_FIELD_DATA_RESET (-20025).
// Threading: any thread; writes only the memory it is handed, keeps no state, never allocates.
AAX_Result Tandrel_ResetFieldData(AAX_CFieldIndex field, void* data, uint32_t dataSize);

// Processes one block for every context in [inInstancesBegin, inInstancesEnd), in order and each
// on its own. Only <1, 1> (mono) and <2, 2> (stereo) exist. A non-finite value left in the filter
// or gain state at the end of a block (from a NaN or infinity in the input) resets the kernel
// state to zero, so the next block starts clean; the detector level alone, which is not carried
// into the next block, resets nothing. Runs the fast evaluation (chunked, with a vector sine on
// CPUs with AVX2 and FMA); its results equal the plain per-sample evaluation bit for bit.
// Threading: the host's real-time audio thread; never allocates, locks, blocks or logs.
template <int kNumInputs, int kNumOutputs>
void Tandrel_AlgorithmProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd);

extern template void Tandrel_AlgorithmProcessFunction<1, 1>(STandrel_Alg_Context* const[], const void*);
extern template void Tandrel_AlgorithmProcessFunction<2, 2>(STandrel_Alg_Context* const[], const void*);
