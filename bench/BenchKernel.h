// One kernel instance as the benchmarks drive it: default parameter values, coefficient blocks from
// the effect's own formula, a reset private block and a meter tap, for a stereo call of the
// registered process function. The caller points `inputs` and `outputs` at its buffers and sets
// `length` before each call.
#pragma once

#include "Tandrel_Alg.h"
#include "Tandrel_Coefs.h"

struct BenchKernel {
    int32_t bypass = 0, length = 0;
    float inGain = 0.5f, freqW = 0.5f, width = 1.0f, freqA = 0.5f, action = 1.0f, dyn = 1.0f, adj = 0.5f,
          outGain = 0.5f, sampleRate, meter = 0.0f;
    STandrel_FilterCoefs coefsW, coefsA;
    STandrel_Alg_PrivateData priv{};
    float* meters[1] = {&meter};
    float* inputs[2] = {nullptr, nullptr};
    float* outputs[2] = {nullptr, nullptr};
    STandrel_Alg_Context ctx{&bypass, &inGain,  &freqW,  &width,      &freqA, &action, &dyn,    &adj,  &outGain,
                             inputs,  outputs, &length, &sampleRate, meters, &coefsW, &coefsA, &priv};
    STandrel_Alg_Context* const instances[1] = {&ctx};

    explicit BenchKernel(float rate)
        : sampleRate(rate),
          coefsW(Tandrel_LowPassCoefs(freqW, kTandrel_FreqW_K1, kTandrel_FreqW_K0, rate)),
          coefsA(Tandrel_LowPassCoefs(freqA, kTandrel_FreqA_K1, kTandrel_FreqA_K0, rate)) {
        Tandrel_ResetFieldData(eTandrelField_PrivateData, &priv, sizeof priv);
    }
    BenchKernel(const BenchKernel&) = delete;
    BenchKernel& operator=(const BenchKernel&) = delete;

    void Process() { Tandrel_AlgorithmProcessFunction<2, 2>(instances, instances + 1); }
};
