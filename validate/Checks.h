// The checks of `marovex validate` and what they share. Each check runs in a child process of its
// own (see Battery.cpp); it loads the module itself, does its work and answers passed or
// failed with one line of figures.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "MarovexHost.h"

namespace marovex::validate {

// What a check is given: the module, the strictness (1 to 10: how many repetitions, never how strict
// a limit is) and the seed every random choice comes from.
struct CheckEnv {
    std::string plugin;
    std::string goldenDir;  // where check 12 finds (or, when writeGolden, writes) its renders
    bool writeGolden = false;
    bool skipEditor = false;  // leave the editor out of the checks that also drive it
    int strictness = 10;
    uint64_t seed = 0;
};

// A check's answer. `notApplicable` leaves the check out of the count (an editor check of a module
// that registers no editor); everything a check cannot do otherwise is a failure.
struct CheckResult {
    bool passed = false;
    bool notApplicable = false;
    std::string figure;  // one line: what was measured
};

struct CheckInfo {
    int number;
    const char* name;   // for --only
    const char* title;  // for the report
    bool editor;        // left out by --skip-editor
    bool preload;       // runs with the real-time interposer preloaded
    double seconds;     // time limit at strictness 10 (release build)
    CheckResult (*run)(const CheckEnv& env);
};

// Every check, in number order.
const std::vector<CheckInfo>& Checks();

// The two layouts the checks run.
inline constexpr int32_t kMono = AAX_eStemFormat_Mono;
inline constexpr int32_t kStereo = AAX_eStemFormat_Stereo;
const char* LayoutName(int32_t stem);  // "mono" or "stereo"

// A failed or passed answer with its figure.
CheckResult Fail(std::string figure);
CheckResult Pass(std::string figure);

// Repetitions at a strictness: `full` at 10, in proportion below, never fewer than `least`.
int Scaled(const CheckEnv& env, int full, int least = 1);

// A random generator for one purpose of one check, derived from the run's seed.
std::mt19937_64 Rng(const CheckEnv& env, uint64_t stream);

// Counts of unusable samples.
struct SampleCounts {
    uint64_t total = 0, nan = 0, inf = 0, subnormal = 0;
    void Add(const float* samples, size_t n);
    bool Clean() const { return nan == 0 && inf == 0 && subnormal == 0; }
    std::string Text() const;  // "0 NaN, 0 inf, 0 subnormal in N samples"
};

// One module and one instance of it, with the parameter identifiers. Any failure is kept in Error().
class Rig {
public:
    Rig(const std::string& plugin, int32_t stemFormat, float sampleRate, int32_t maxBlock);
    Rig(const std::shared_ptr<MarovexModule>& module, int32_t stemFormat, float sampleRate, int32_t maxBlock);
    bool Ok() const { return mInstance != nullptr; }
    const std::string& Error() const { return mError; }
    MarovexModule& Module() { return *mModule; }
    const std::shared_ptr<MarovexModule>& ModulePtr() { return mModule; }
    MarovexInstance& Instance() { return *mInstance; }
    int Channels() const { return mChannels; }
    const std::vector<MarovexParameterInfo>& Parameters() const { return mParams; }
    std::string BypassID() const;  // the data model's master bypass, or empty

    // Processes deinterleaved channels (frames per channel), in place allowed. False and Error() on failure.
    bool Process(std::vector<std::vector<float>>& io, size_t offset, int32_t frames);
    bool Process(std::vector<std::vector<float>>& io) {
        return Process(io, 0, io.empty() ? 0 : static_cast<int32_t>(io[0].size()));
    }
    // Only MarovexInstance::ProcessInCaller, between mark(1) and mark(0): nothing else of the rig runs
    // in between.
    bool ProcessMarked(std::vector<std::vector<float>>& io, size_t offset, int32_t frames, void (*mark)(int));
    bool Set(const std::string& id, double normalized);
    double Get(const std::string& id) const;
    // Every parameter except the bypass to a random value (now and then a bound).
    bool Randomise(std::mt19937_64& rng);
    void Release() { mInstance.reset(); mModule.reset(); }

private:
    void Start(int32_t stemFormat, float sampleRate, int32_t maxBlock);
    std::shared_ptr<MarovexModule> mModule;
    std::unique_ptr<MarovexInstance> mInstance;
    std::vector<MarovexParameterInfo> mParams;
    std::vector<float*> mPtrs;
    int mChannels = 0;
    std::string mError;
};

// Test signals. Noise: uniform white at -6 dBFS. Sines: three partials with random phases.
std::vector<std::vector<float>> Noise(std::mt19937_64& rng, int channels, size_t frames);
std::vector<std::vector<float>> Sines(std::mt19937_64& rng, int channels, size_t frames, double rate);

// The current heap in use (bytes), for leak figures; 0 where the allocator does not tell.
size_t HeapInUse();

// Check bodies, by file.
CheckResult CheckLoadUnload(const CheckEnv& env);
CheckResult CheckRatesAndBlocks(const CheckEnv& env);
CheckResult CheckBlockSplits(const CheckEnv& env);
CheckResult CheckBadInput(const CheckEnv& env);
CheckResult CheckParameterFuzz(const CheckEnv& env);
CheckResult CheckTextRoundTrip(const CheckEnv& env);
CheckResult CheckState(const CheckEnv& env);
CheckResult CheckHostileState(const CheckEnv& env);
CheckResult CheckRealtimeSafety(const CheckEnv& env);
CheckResult CheckConcurrency(const CheckEnv& env);
CheckResult CheckEditor(const CheckEnv& env);
CheckResult CheckGoldenRenders(const CheckEnv& env);

// The matrix of check 2 (rates x block lengths x layouts x signals). `around` wraps each run's
// processing (check 9 counts what happens inside it). Returns false with a reason in *why.
struct MatrixFigures {
    int runs = 0;
    uint64_t blocks = 0;
    SampleCounts counts;
    std::string firstBad;  // the first run with an unusable sample
};
// `process` runs one run's blocks in place (default: Rig::Process block by block).
using MatrixProcess = std::function<bool(Rig&, std::vector<std::vector<float>>& io, int32_t block, size_t blocks)>;
bool RunRateBlockMatrix(const CheckEnv& env, MatrixFigures* figures, std::string* why,
                        const MatrixProcess& process = nullptr);

}  // namespace marovex::validate
