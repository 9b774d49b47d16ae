// Runs the stereo kernel with every parameter at its default over the built-in demo signal, in
// blocks of 512 frames, and writes the result as a 32-bit float WAV file.
// Usage: marovex-kernel-demo [output.wav]   (default: marovex-demo.wav in the current directory)
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "DemoSignal.h"
#include "Tandrel_Alg.h"

namespace {

constexpr int32_t kBlock = 512;
constexpr double kStartupSeconds = 0.25;  // g rises from its reset value 0 during this time

// The first-order low-pass block for a corner of (value * k1 + k0) Hz, as the data model builds it.
STandrel_FilterCoefs LowPassCoefs(float value, float k1, float k0, float sampleRate) {
    const float h = ((value * k1 + k0) * 6.2831855f / sampleRate) * 0.5f;
    const float s = static_cast<float>(std::sin(static_cast<double>(h)));
    const float c = static_cast<float>(std::cos(static_cast<double>(h)));
    return STandrel_FilterCoefs{s, s, 0.0f, 1.0f / (s + c), s - c, 0.0f};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: %s [output.wav]\n", argv[0]);
        return 2;
    }
    const char* path = argc == 2 ? argv[1] : "marovex-demo.wav";

    const MarovexDemoSignal demo = MakeMarovexDemoSignal(48000);
    const int32_t frames = static_cast<int32_t>(demo.samples.size() / 2);
    std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
    for (int32_t i = 0; i < frames; ++i) {
        inL[i] = demo.samples[2 * i];
        inR[i] = demo.samples[2 * i + 1];
    }

    // Default parameter values: InGain 0.5, FreqW 0.5, Width 1, FreqA 0.5, Action 1, Dyn 1, Adj 0.5, OutGain 0.5.
    int32_t bypass = 0;
    float inGain = 0.5f, freqW = 0.5f, width = 1.0f, freqA = 0.5f, action = 1.0f, dyn = 1.0f, adj = 0.5f,
          outGain = 0.5f;
    float sampleRate = static_cast<float>(demo.sampleRate);
    STandrel_FilterCoefs coefsW = LowPassCoefs(freqW, 900.0f, 100.0f, sampleRate);
    STandrel_FilterCoefs coefsA = LowPassCoefs(freqA, 5000.0f, 1000.0f, sampleRate);
    STandrel_Alg_PrivateData priv{};
    Tandrel_ResetFieldData(eTandrelField_PrivateData, &priv, sizeof priv);
    float meter = 0.0f;
    float* meters[1] = {&meter};
    float* inputs[2] = {nullptr, nullptr};
    float* outputs[2] = {nullptr, nullptr};
    int32_t length = 0;
    STandrel_Alg_Context ctx{&bypass, &inGain,  &freqW,  &width,     &freqA,       &action,  &dyn,     &adj,  &outGain,
                             inputs,  outputs, &length, &sampleRate, meters, &coefsW, &coefsA, &priv};
    STandrel_Alg_Context* const instances[1] = {&ctx};

    float peakAfterStartup = 0.0f;
    for (int32_t start = 0; start < frames; start += kBlock) {
        length = std::min(kBlock, frames - start);
        inputs[0] = &inL[start];
        inputs[1] = &inR[start];
        outputs[0] = &outL[start];
        outputs[1] = &outR[start];
        meter = 0.0f;  // the host reads and clears the tap after every block
        Tandrel_AlgorithmProcessFunction<2, 2>(instances, instances + 1);
        if (start >= kStartupSeconds * demo.sampleRate) {
            peakAfterStartup = std::max(peakAfterStartup, meter);
        }
    }

    std::vector<float> interleaved(2 * static_cast<size_t>(frames));
    for (int32_t i = 0; i < frames; ++i) {
        interleaved[2 * i] = outL[i];
        interleaved[2 * i + 1] = outR[i];
    }
    SF_INFO info{};
    info.samplerate = demo.sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "cannot write %s: %s\n", path, sf_strerror(nullptr));
        return 1;
    }
    const sf_count_t written = sf_writef_float(file, interleaved.data(), frames);
    const int closed = sf_close(file);
    if (written != frames || closed != 0) {
        std::fprintf(stderr, "cannot write %s: incomplete\n", path);
        return 1;
    }

    std::printf("wrote %s\n", path);
    std::printf("frames: %d\n", frames);
    std::printf("sample rate: %d Hz\n", demo.sampleRate);
    std::printf("peak gain reduction: %.4f (%.2f dB), after the first %.2f s in which the gain rises from 0\n",
                peakAfterStartup, 20.0 * std::log10(1.0 - static_cast<double>(peakAfterStartup)), kStartupSeconds);
    return 0;
}
