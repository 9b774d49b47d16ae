// A test rig for the process functions: one instance as a host would hold it (parameter values,
// coefficient blocks built as the data model builds them, private block, meter tap).
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include "Tandrel_Alg.h"

namespace kernel_test {

using Buffer = std::vector<float>;

// The first-order low-pass block for a corner of (v * k1 + k0) Hz.
inline STandrel_FilterCoefs LowPass(float v, float k1, float k0, float rate) {
    const float h = ((v * k1 + k0) * 6.2831855f / rate) * 0.5f;
    const float s = float(std::sin(double(h))), c = float(std::cos(double(h)));
    return {s, s, 0.0f, 1.0f / (s + c), s - c, 0.0f};
}

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
        cW = LowPass(freqW, 900.0f, 100.0f, rate);
        cA = LowPass(freqA, 5000.0f, 1000.0f, rate);
        cW.b2 = cA.b2 = b2, cW.a2 = cA.a2 = a2;
        length = n;
    }
    void RunRaw(int channels, float* i1, float* i2, float* o1, float* o2, int32_t n) {
        Prepare(n);
        ins[0] = i1, ins[1] = i2, outs[0] = o1, outs[1] = o2;
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
