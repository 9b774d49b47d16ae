// What the checks share: the registry, the layouts, the answers, seeds, sample counts, the rig around
// one instance, signals.
#include <malloc.h>

#include <cmath>
#include <cstdio>

#include "AAX_IACFEffectParameters.h"
#include "Checks.h"
#include "ValidateString.h"

namespace marovex::validate {

const std::vector<CheckInfo>& Checks() {
    static const std::vector<CheckInfo> checks = {
        {1, "load", "load, instantiate and unload", false, false, 60, CheckLoadUnload},
        {2, "rates", "sample rates x block lengths", false, false, 120, CheckRatesAndBlocks},
        {3, "blocks", "random block lengths against one block", false, false, 60, CheckBlockSplits},
        {4, "bad-input", "NaN, infinity, huge, DC and decaying input", false, false, 60, CheckBadInput},
        {5, "param-fuzz", "parameter fuzz while processing", false, false, 120, CheckParameterFuzz},
        {6, "text", "parameter text round trip in three locales", false, false, 60, CheckTextRoundTrip},
        {7, "state", "state save, load, compare", false, false, 60, CheckState},
        {8, "hostile-state", "hostile state chunks", false, false, 120, CheckHostileState},
        {9, "realtime", "real-time safety of the processing thread", false, true, 180, CheckRealtimeSafety},
        {10, "concurrency", "audio, parameter, state and editor threads", false, false, 120, CheckConcurrency},
        {11, "editor", "editor open, close and sweeps", true, false, 120, CheckEditor},
        {12, "golden", "golden renders and nulls", false, false, 60, CheckGoldenRenders},
    };
    return checks;
}

const char* LayoutName(int32_t stem) { return stem == kMono ? "mono" : "stereo"; }

CheckResult Fail(std::string figure) {
    CheckResult r;
    r.passed = false;
    r.figure = std::move(figure);
    return r;
}

CheckResult Pass(std::string figure) {
    CheckResult r;
    r.passed = true;
    r.figure = std::move(figure);
    return r;
}

int Scaled(const CheckEnv& env, int full, int least) {
    const int n = static_cast<int>((static_cast<int64_t>(full) * env.strictness + 9) / 10);
    return n < least ? least : n;
}

std::mt19937_64 Rng(const CheckEnv& env, uint64_t stream) {
    std::seed_seq seq{static_cast<uint32_t>(env.seed), static_cast<uint32_t>(env.seed >> 32),
                      static_cast<uint32_t>(stream), static_cast<uint32_t>(stream >> 32)};
    return std::mt19937_64(seq);
}

void SampleCounts::Add(const float* samples, size_t n) {
    total += n;
    for (size_t i = 0; i < n; ++i) {
        switch (std::fpclassify(samples[i])) {
            case FP_NAN: ++nan; break;
            case FP_INFINITE: ++inf; break;
            case FP_SUBNORMAL: ++subnormal; break;
            default: break;
        }
    }
}

std::string SampleCounts::Text() const {
    char text[160];
    std::snprintf(text, sizeof text, "%llu NaN, %llu inf, %llu subnormal in %llu samples",
                  static_cast<unsigned long long>(nan), static_cast<unsigned long long>(inf),
                  static_cast<unsigned long long>(subnormal), static_cast<unsigned long long>(total));
    return text;
}

Rig::Rig(const std::string& plugin, int32_t stemFormat, float sampleRate, int32_t maxBlock) {
    mModule = MarovexModule::Load(plugin, &mError);
    if (mModule == nullptr) {
        mError = "cannot load the module: " + mError;
        return;
    }
    Start(stemFormat, sampleRate, maxBlock);
}

Rig::Rig(const std::shared_ptr<MarovexModule>& module, int32_t stemFormat, float sampleRate, int32_t maxBlock)
    : mModule(module) {
    Start(stemFormat, sampleRate, maxBlock);
}

void Rig::Start(int32_t stemFormat, float sampleRate, int32_t maxBlock) {
    mInstance = MarovexInstance::Create(mModule, stemFormat, sampleRate, maxBlock, &mError);
    if (mInstance == nullptr) {
        mError = "cannot create an instance: " + mError;
        return;
    }
    mChannels = mInstance->OutputChannels();
    for (int32_t i = 0; i < mInstance->ParameterCount(); ++i) {
        MarovexParameterInfo info;
        if (mInstance->GetParameterInfo(i, &info, &mError)) {
            mParams.push_back(info);
        }
    }
    mPtrs.resize(static_cast<size_t>(std::max(mChannels, mInstance->InputChannels())));
}

std::string Rig::BypassID() const {
    ValidateString id;
    if (mInstance->EffectParameters()->GetMasterBypassParameter(&id) != AAX_SUCCESS) return {};
    return id.Get();
}

bool Rig::Process(std::vector<std::vector<float>>& io, size_t offset, int32_t frames) {
    for (size_t c = 0; c < mPtrs.size(); ++c) {
        mPtrs[c] = io[std::min(c, io.size() - 1)].data() + offset;
    }
    return mInstance->Process(mPtrs.data(), mPtrs.data(), frames, &mError);
}

bool Rig::ProcessMarked(std::vector<std::vector<float>>& io, size_t offset, int32_t frames, void (*mark)(int)) {
    for (size_t c = 0; c < mPtrs.size(); ++c) {
        mPtrs[c] = io[std::min(c, io.size() - 1)].data() + offset;
    }
    mark(1);
    const MarovexProcessStatus status = mInstance->ProcessInCaller(mPtrs.data(), mPtrs.data(), frames);
    mark(0);
    if (status != MarovexProcessStatus::Done) {
        mError = "ProcessInCaller answered status " + std::to_string(static_cast<int>(status));
        return false;
    }
    return true;
}

bool Rig::Set(const std::string& id, double normalized) {
    return mInstance->SetParameter(id, normalized, &mError);
}

double Rig::Get(const std::string& id) const {
    double v = std::nan("");
    std::string ignored;
    mInstance->GetParameterValue(id, &v, &ignored);
    return v;
}

bool Rig::Randomise(std::mt19937_64& rng) {
    const std::string bypass = BypassID();
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const MarovexParameterInfo& p : mParams) {
        if (p.id == bypass) continue;
        const double pick = unit(rng);
        const double v = pick < 0.05 ? 0.0 : pick > 0.95 ? 1.0 : unit(rng);
        if (!Set(p.id, v)) return false;
    }
    return true;
}

std::vector<std::vector<float>> Noise(std::mt19937_64& rng, int channels, size_t frames) {
    std::uniform_real_distribution<float> d(-0.5f, 0.5f);
    std::vector<std::vector<float>> s(static_cast<size_t>(channels), std::vector<float>(frames));
    for (auto& ch : s) {
        for (float& x : ch) x = d(rng);
    }
    return s;
}

std::vector<std::vector<float>> Sines(std::mt19937_64& rng, int channels, size_t frames, double rate) {
    std::uniform_real_distribution<double> phase(0.0, 6.283185307179586);
    const double freqs[3] = {55.0, 1000.0, 0.45 * rate};  // low, mid, near the top of the band
    std::vector<std::vector<float>> s(static_cast<size_t>(channels), std::vector<float>(frames));
    for (auto& ch : s) {
        double ph[3];
        for (double& p : ph) p = phase(rng);
        for (size_t n = 0; n < frames; ++n) {
            double v = 0.0;
            for (int k = 0; k < 3; ++k) v += 0.3 * std::sin(ph[k] + 6.283185307179586 * freqs[k] * double(n) / rate);
            ch[n] = static_cast<float>(v);
        }
    }
    return s;
}

size_t HeapInUse() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 33)
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#else
    return 0;
#endif
}

}  // namespace marovex::validate
