// A test rig for the process functions: one instance as a host would hold it (parameter values,
// coefficient blocks built with the data model's own formula, private block, meter tap).
#pragma once

#include <cstring>
#include <vector>

#include "Tandrel_Alg.h"
#include "Tandrel_Coefs.h"

namespace kernel_test {

using Buffer = std::vector<float>;

// Parameter values start at their defaults; the private block starts reset.
struct Rig {
    int32_t bypass = 0, length = 0;
    float inGain = 0.5f, freqW = 0.5f, width = 1.0f, freqA = 0.5f, action = 1.0f, dyn = 1.0f, adj = 0.5f,
          outGain = 0.5f, rate = 48000.0f, meter = 0.0f;
    float b2 = 0.0f, a2 = 0.0f;  // second-order terms, zero in the blocks the data model builds
    STandrel_FilterCoefs cW{}, cA{};
    STandrel_Alg_PrivateData priv;
    float* meters[1] = {&meter};
    float* ins[2] = {nullptr, nullptr};
    float* outs[2] = {nullptr, nullptr};
    STandrel_Alg_Context ctx{&bypass, &inGain, &freqW, &width,  &freqA, &action, &dyn, &adj,  &outGain,
                             ins,     outs,    &length, &rate, meters, &cW,     &cA,  &priv};

    Rig() {
        std::memset(&priv, 0xA5, sizeof priv);  // reserved bytes hold a pattern the kernel must keep
        Tandrel_ResetFieldData(eTandrelField_PrivateData, &priv, sizeof priv);
    }
    Rig(const Rig&) = delete;
    void Prepare(int32_t n) {
        cW = Tandrel_LowPassCoefs(freqW, kTandrel_FreqW_K1, kTandrel_FreqW_K0, rate);
        cA = Tandrel_LowPassCoefs(freqA, kTandrel_FreqA_K1, kTandrel_FreqA_K0, rate);
        cW.b2 = cA.b2 = b2, cW.a2 = cA.a2 = a2;
        length = n;
    }
    void RunRaw(int channels, float* i1, float* i2, float* o1, float* o2, int32_t n) {
        Prepare(n);
        ins[0] = i1, ins[1] = i2, outs[0] = o1, outs[1] = o2;
        Call(channels);
    }
    // One call of the registered process function on the context as it stands.
    void Call(int channels) {
        STandrel_Alg_Context* const list[1] = {&ctx};
        if (channels == 1) {
            Tandrel_AlgorithmProcessFunction<1, 1>(list, list + 1);
        } else {
            Tandrel_AlgorithmProcessFunction<2, 2>(list, list + 1);
        }
    }
    // Out of place; returns {out1, out2} (out2 stays empty for mono).
    std::vector<Buffer> Run(int channels, Buffer in1, Buffer in2 = {}) {
        if (in2.empty()) in2 = in1;
        std::vector<Buffer> out{Buffer(in1.size()), channels == 2 ? Buffer(in1.size()) : Buffer()};
        RunRaw(channels, in1.data(), in2.data(), out[0].data(), channels == 2 ? out[1].data() : nullptr,
               int32_t(in1.size()));
        return out;
    }
    Buffer KernelState() const {
        Buffer s(19);
        std::memcpy(s.data(), &priv.mW1, sizeof(float) * 19);
        return s;
    }
};

}  // namespace kernel_test
