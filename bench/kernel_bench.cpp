// Speed of the mono and stereo process functions, the fast evaluation that the plug-in runs against
// the reference evaluation (one plain pass per sample), over block sizes, sample rates and three
// signals: "drive", the demo mix whose bursts make the detector act, "loud", the same mix 12 dB
// louder (so that most waveshaper arguments need the sine's full argument reduction), and "decay",
// a short burst followed by silence, in which the recursive sections decay into subnormal numbers. Each case runs with the
// floating-point unit's flush-to-zero and denormals-are-zero modes off and on (most hosts set them).
// Counters, from the thread's CPU time over the timed loop: ns_per_frame, and x_realtime, seconds
// of audio at the case's sample rate processed per second of CPU time (the real-time factor).
// After the runs, a table gives for every case ns per frame of both evaluations, measured in this
// one run, and their ratio (how many times faster the fast evaluation is); with repetitions, the
// best repetition of each.
#include <benchmark/benchmark.h>
#include <time.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "DemoSignal.h"
#include "Tandrel_AlgKernel.h"

namespace {

constexpr unsigned kFlushToZero = 0x8000;      // MXCSR bit 15
constexpr unsigned kDenormalsAreZero = 0x0040;  // MXCSR bit 6

enum class Signal { kDrive, kLoud, kDecay };

STandrel_FilterCoefs LowPassCoefs(float value, float k1, float k0, float sampleRate) {
    const float h = ((value * k1 + k0) * 6.2831855f / sampleRate) * 0.5f;
    const float s = static_cast<float>(std::sin(static_cast<double>(h)));
    const float c = static_cast<float>(std::cos(static_cast<double>(h)));
    return STandrel_FilterCoefs{s, s, 0.0f, 1.0f / (s + c), s - c, 0.0f};
}

// Two channels of source material, long enough to stream through blocks and wrap around.
std::vector<std::vector<float>> MakeSourceUncached(Signal signal, int32_t rate) {
    if (signal != Signal::kDecay) {
        const MarovexDemoSignal demo = MakeMarovexDemoSignal(rate);
        const float gain = signal == Signal::kLoud ? 4.0f : 1.0f;
        std::vector<std::vector<float>> src(2, std::vector<float>(demo.samples.size() / 2));
        for (size_t i = 0; i < src[0].size(); ++i) {
            src[0][i] = demo.samples[2 * i] * gain;
            src[1][i] = demo.samples[2 * i + 1] * gain;
        }
        return src;
    }
    std::vector<std::vector<float>> src(2, std::vector<float>(2 * static_cast<size_t>(rate), 0.0f));
    uint32_t seed = 12345;
    for (size_t i = 0; i < static_cast<size_t>(rate) / 50; ++i) {  // 20 ms of noise, then silence
        for (auto& channel : src) {
            seed = seed * 1664525u + 1013904223u;
            channel[i] = 0.8f * (static_cast<float>(seed >> 8) * 0x1p-23f - 1.0f);
        }
    }
    return src;
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

std::vector<std::vector<float>>& Source(Signal signal, int32_t rate) {
    static std::map<std::pair<Signal, int32_t>, std::vector<std::vector<float>>> cache;
    auto found = cache.find({signal, rate});
    if (found == cache.end()) {
        found = cache.emplace(std::make_pair(signal, rate), MakeSourceUncached(signal, rate)).first;
    }
    return found->second;
}

using ProcessFunction = void (*)(STandrel_Alg_Context* const[], const void*);

template <int kChannels>
void BM_Kernel(benchmark::State& state, ProcessFunction process, Signal signal, int32_t rate, int32_t block,
               bool flushToZero) {
    std::vector<std::vector<float>>& src = Source(signal, rate);
    std::vector<std::vector<float>> out(2, std::vector<float>(static_cast<size_t>(block)));
    int32_t bypass = 0, length = block;
    float inGain = 0.5f, freqW = 0.5f, width = 1.0f, freqA = 0.5f, action = 1.0f, dyn = 1.0f, adj = 0.5f,
          outGain = 0.5f, sampleRate = static_cast<float>(rate), meter = 0.0f;
    STandrel_FilterCoefs coefsW = LowPassCoefs(freqW, 900.0f, 100.0f, sampleRate);
    STandrel_FilterCoefs coefsA = LowPassCoefs(freqA, 5000.0f, 1000.0f, sampleRate);
    STandrel_Alg_PrivateData priv{};
    Tandrel_ResetFieldData(eTandrelField_PrivateData, &priv, sizeof priv);
    float* meters[1] = {&meter};
    float* inputs[2] = {nullptr, nullptr};
    float* outputs[2] = {out[0].data(), out[1].data()};
    STandrel_Alg_Context ctx{&bypass, &inGain,  &freqW,  &width,      &freqA, &action, &dyn,    &adj,  &outGain,
                             inputs,  outputs, &length, &sampleRate, meters, &coefsW, &coefsA, &priv};
    STandrel_Alg_Context* const instances[1] = {&ctx};

    const unsigned savedCsr = _mm_getcsr();
    const unsigned modes = kFlushToZero | kDenormalsAreZero;
    _mm_setcsr(flushToZero ? (savedCsr | modes) : (savedCsr & ~modes));
    size_t pos = 0;
    const double cpuStart = ThreadCpuSeconds();
    for (auto _ : state) {
        if (pos + static_cast<size_t>(block) > src[0].size()) {
            pos = 0;
        }
        inputs[0] = &src[0][pos];
        inputs[1] = &src[1][pos];
        meter = 0.0f;
        process(instances, instances + 1);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::ClobberMemory();
        pos += static_cast<size_t>(block);
    }
    const double cpu = ThreadCpuSeconds() - cpuStart;
    _mm_setcsr(savedCsr);

    const double frames = static_cast<double>(state.iterations()) * block;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.counters["ns_per_frame"] = cpu * 1e9 / frames;
    state.counters["x_realtime"] = frames / rate / cpu;
}

// Prints the usual console report, keeps every case's ns per frame, and ends with the table of
// reference against fast.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto counter = run.counters.find("ns_per_frame");
            if (run.run_type != Run::RT_Iteration || counter == run.counters.end()) continue;
            const std::string name = run.benchmark_name();
            const size_t slash = name.find('/');
            // With --benchmark_repetitions, the best repetition of each case: the one least
            // disturbed by other work on the machine.
            double& best = nsPerFrame_[name.substr(slash + 1)][name.substr(0, slash)];
            if (best == 0.0 || counter->second.value < best) best = counter->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-36s %14s %14s %8s\n", "case", "reference ns", "fast ns", "ratio");
        for (const auto& [name, byKind] : nsPerFrame_) {
            const auto ref = byKind.find("reference"), fast = byKind.find("fast");
            if (ref == byKind.end() || fast == byKind.end()) continue;
            std::printf("%-36s %14.2f %14.2f %7.2fx\n", name.c_str(), ref->second, fast->second, ref->second / fast->second);
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> nsPerFrame_;
};

}  // namespace

int main(int argc, char** argv) {
    for (const bool ftz : {false, true}) {
        for (const Signal signal : {Signal::kDrive, Signal::kLoud, Signal::kDecay}) {
            for (const int32_t rate : {44100, 48000, 96000}) {
                for (const int32_t block : {64, 512, 4096}) {
                    const std::string suffix = std::string(signal == Signal::kDrive  ? "drive"
                                                           : signal == Signal::kLoud ? "loud"
                                                                                     : "decay") + "/" +
                                               std::to_string(rate) + "/" + std::to_string(block) +
                                               (ftz ? "/ftz" : "/no_ftz");
                    for (const bool reference : {true, false}) {
                        const std::string kind = reference ? "reference/" : "fast/";
                        benchmark::RegisterBenchmark((kind + "stereo/" + suffix).c_str(), BM_Kernel<2>,
                                                     reference ? &Tandrel_ReferenceProcessFunction<2, 2>
                                                               : &Tandrel_AlgorithmProcessFunction<2, 2>,
                                                     signal, rate, block, ftz);
                        benchmark::RegisterBenchmark((kind + "mono/" + suffix).c_str(), BM_Kernel<1>,
                                                     reference ? &Tandrel_ReferenceProcessFunction<1, 1>
                                                               : &Tandrel_AlgorithmProcessFunction<1, 1>,
                                                     signal, rate, block, ftz);
                    }
                }
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
