// Offline throughput of the host's in-caller processing path against the bare kernel, measured in
// one run (a benchmark, not a test): stereo at 48 kHz over the demo mix, in blocks of 4096 and 32
// frames, flush-to-zero and denormals-are-zero on in both (the host sets them itself).
// Counter ns_per_frame comes from the thread's CPU time over the timed loop. After the runs a
// summary gives the ratios: host / kernel per block size, and the throughput of 32-frame blocks
// as a share of 4096-frame blocks.
#include <benchmark/benchmark.h>
#include <time.h>
#include <xmmintrin.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "DemoSignal.h"
#include "MarovexHost.h"
#include "BenchKernel.h"

namespace {

constexpr int32_t kRate = 48000;

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

const std::vector<std::vector<float>>& Source() {
    static const std::vector<std::vector<float>> src = [] {
        const MarovexDemoSignal demo = MakeMarovexDemoSignal(kRate);
        std::vector<std::vector<float>> s(2, std::vector<float>(demo.samples.size() / 2));
        for (size_t i = 0; i < s[0].size(); ++i) {
            s[0][i] = demo.samples[2 * i];
            s[1][i] = demo.samples[2 * i + 1];
        }
        return s;
    }();
    return src;
}

std::map<std::string, double>& Results() {
    static std::map<std::string, double> results;
    return results;
}

// Runs `process(in, out)` once per iteration over consecutive blocks of the source.
template <class F>
void Measure(benchmark::State& state, const std::string& name, int32_t block, F&& process) {
    const auto& src = Source();
    std::vector<std::vector<float>> out(2, std::vector<float>(static_cast<size_t>(block)));
    float* outputs[2] = {out[0].data(), out[1].data()};
    size_t pos = 0;
    const double cpuStart = ThreadCpuSeconds();
    for (auto _ : state) {
        if (pos + static_cast<size_t>(block) > src[0].size()) pos = 0;
        const float* inputs[2] = {&src[0][pos], &src[1][pos]};
        process(inputs, outputs);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::ClobberMemory();
        pos += static_cast<size_t>(block);
    }
    const double cpu = ThreadCpuSeconds() - cpuStart;
    const double frames = static_cast<double>(state.iterations()) * block;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.counters["ns_per_frame"] = cpu * 1e9 / frames;
    Results()[name] = cpu * 1e9 / frames;
}

void BM_Kernel(benchmark::State& state, int32_t block) {
    BenchKernel k(static_cast<float>(kRate));
    k.length = block;
    const unsigned savedCsr = _mm_getcsr();
    _mm_setcsr(savedCsr | 0x8040u);
    Measure(state, "kernel/" + std::to_string(block), block, [&](const float* const* in, float* const* out) {
        k.inputs[0] = const_cast<float*>(in[0]);
        k.inputs[1] = const_cast<float*>(in[1]);
        k.outputs[0] = out[0];
        k.outputs[1] = out[1];
        k.meter = 0.0f;
        k.Process();
    });
    _mm_setcsr(savedCsr);
}

void BM_Host(benchmark::State& state, int32_t block) {
    std::string error;
    static std::shared_ptr<MarovexModule> module = MarovexModule::Load(MAROVEX_MODULE_PATH, &error);
    std::unique_ptr<MarovexInstance> instance =
        module ? MarovexInstance::Create(module, AAX_eStemFormat_Stereo, float(kRate), block, &error) : nullptr;
    if (instance == nullptr) {
        state.SkipWithError(error.c_str());
        return;
    }
    bool ok = true;
    Measure(state, "host/" + std::to_string(block), block, [&](const float* const* in, float* const* out) {
        ok = instance->ProcessInCaller(in, out, block) == MarovexProcessStatus::Done && ok;
    });
    if (!ok) state.SkipWithError("processing failed");
}

}  // namespace

int main(int argc, char** argv) {
    for (const int32_t block : {4096, 32}) {
        benchmark::RegisterBenchmark(("kernel/stereo/48000/" + std::to_string(block)).c_str(), BM_Kernel, block);
        benchmark::RegisterBenchmark(("host/stereo/48000/" + std::to_string(block)).c_str(), BM_Host, block);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    auto& r = Results();
    std::printf("\nns per frame        kernel     host   host/kernel\n");
    for (const int32_t block : {4096, 32}) {
        const std::string b = std::to_string(block);
        if (r.count("kernel/" + b) && r.count("host/" + b)) {
            std::printf("block %-5d     %9.2f %9.2f   %.3f\n", block, r["kernel/" + b], r["host/" + b],
                        r["host/" + b] / r["kernel/" + b]);
        }
    }
    if (r.count("host/32") && r.count("host/4096")) {
        std::printf("host throughput, blocks of 32 / blocks of 4096: %.1f %%\n", 100.0 * r["host/4096"] / r["host/32"]);
    }
    return 0;
}
