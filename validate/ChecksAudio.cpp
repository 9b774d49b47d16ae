// Checks 2, 3 and 4: what comes out of the process function at every rate and block length, split
// blocks against one block, and bad input.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <fmt/core.h>

#include "Checks.h"

namespace marovex::validate {

namespace {

// Seconds of processor time used by the whole process (the audio thread included); unlike wall
// time it does not count time the machine gave to other programs.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

}  // namespace

// --- Check 2 -----------------------------------------------------------------------------------

bool RunRateBlockMatrix(const CheckEnv& env, MatrixFigures* f, std::string* why, const MatrixProcess& process) {
    static const double kRates[] = {8000, 22050, 44100, 48000, 96000, 192000, 384000, 44123.45};
    static const int32_t kBlocks[] = {1, 17, 64, 512, 2027, 4096, 16384};
    std::string error;
    std::shared_ptr<MarovexModule> module = MarovexModule::Load(env.plugin, &error);
    if (module == nullptr) {
        *why = "cannot load the module: " + error;
        return false;
    }
    std::mt19937_64 rng = Rng(env, 2);
    for (const double rate : kRates) {
        for (const int32_t block : kBlocks) {
            for (const int32_t stem : {kMono, kStereo}) {
                for (int signal = 0; signal < 2; ++signal) {
                    Rig rig(module, stem, static_cast<float>(rate), block);
                    if (!rig.Ok()) {
                        *why = rig.Error();
                        return false;
                    }
                    // Noise with random settings; sines with every control at its top (the highest
                    // corners and gains): the corner case a random draw rarely meets.
                    if (signal == 0) {
                        if (!rig.Randomise(rng)) {
                            *why = rig.Error();
                            return false;
                        }
                    } else {
                        for (const MarovexParameterInfo& p : rig.Parameters()) {
                            if (p.id != rig.BypassID() && !rig.Set(p.id, 1.0)) {
                                *why = rig.Error();
                                return false;
                            }
                        }
                    }
                    const size_t want = static_cast<size_t>(Scaled(env, static_cast<int>(rate * 0.05), 1));
                    const size_t blocks = std::max<size_t>(3, (want + size_t(block) - 1) / size_t(block));
                    const size_t frames = blocks * size_t(block);
                    auto io = signal == 0 ? Noise(rng, rig.Channels(), frames)
                                          : Sines(rng, rig.Channels(), frames, rate);
                    bool ok = true;
                    if (process) {
                        ok = process(rig, io, block, blocks);
                    } else {
                        for (size_t b = 0; b < blocks && ok; ++b) ok = rig.Process(io, b * size_t(block), block);
                    }
                    if (!ok) {
                        *why = fmt::format("{} Hz, blocks of {}, {}: {}", rate, block, LayoutName(stem), rig.Error());
                        return false;
                    }
                    const SampleCounts before = f->counts;
                    for (const auto& ch : io) f->counts.Add(ch.data(), ch.size());
                    if (f->firstBad.empty() && !(f->counts.nan == before.nan && f->counts.inf == before.inf &&
                                                 f->counts.subnormal == before.subnormal)) {
                        f->firstBad = fmt::format("first at {} Hz, blocks of {}, {} {}", rate, block, LayoutName(stem),
                                                  signal == 0 ? "noise" : "sines, every control at 1");
                    }
                    ++f->runs;
                    f->blocks += blocks;
                }
            }
        }
    }
    return true;
}

CheckResult CheckRatesAndBlocks(const CheckEnv& env) {
    MatrixFigures f;
    std::string why;
    if (!RunRateBlockMatrix(env, &f, &why)) return Fail(why);
    const std::string figure = fmt::format("{} runs, {} blocks: {}", f.runs, f.blocks, f.counts.Text());
    return f.counts.Clean() ? Pass(figure) : Fail(figure + "; " + f.firstBad);
}

// --- Check 3 -----------------------------------------------------------------------------------

CheckResult CheckBlockSplits(const CheckEnv& env) {
    std::mt19937_64 rng = Rng(env, 3);
    const int rounds = Scaled(env, 10, 2);
    const size_t frames = 48000;
    uint64_t calls = 0, zeros = 0, ones = 0;
    for (int round = 0; round < rounds; ++round) {
        const int32_t stem = round % 2 == 0 ? kStereo : kMono;
        Rig whole(env.plugin, stem, 44100.0f, static_cast<int32_t>(frames));
        Rig split(env.plugin, stem, 44100.0f, 4096);
        if (!whole.Ok() || !split.Ok()) return Fail(whole.Ok() ? split.Error() : whole.Error());
        std::mt19937_64 settings = rng;  // the same settings for both
        if (!whole.Randomise(settings)) return Fail(whole.Error());
        settings = rng;
        if (!split.Randomise(settings)) return Fail(split.Error());
        rng.discard(64);
        auto a = Noise(rng, whole.Channels(), frames);
        auto sines = Sines(rng, whole.Channels(), frames, 44100.0);
        for (size_t c = 0; c < a.size(); ++c) {
            for (size_t n = 0; n < frames; ++n) a[c][n] = 0.5f * a[c][n] + sines[c][n];
        }
        auto b = a;
        if (!whole.Process(a)) return Fail(whole.Error());
        std::uniform_int_distribution<int> pick(0, 9), length(2, 4096);
        for (size_t at = 0; at < frames;) {
            const int kind = pick(rng);
            int32_t n = kind == 0 ? 0 : kind == 1 ? 1 : kind == 2 ? 2 : length(rng);
            n = static_cast<int32_t>(std::min<size_t>(size_t(n), frames - at));
            if (!split.Process(b, at, n)) return Fail(split.Error());
            zeros += n == 0;
            ones += n == 1;
            ++calls;
            at += size_t(n);
        }
        for (size_t c = 0; c < a.size(); ++c) {
            if (std::memcmp(a[c].data(), b[c].data(), frames * sizeof(float)) != 0) {
                size_t n = 0;
                while (std::memcmp(&a[c][n], &b[c][n], sizeof(float)) == 0) ++n;
                return Fail(fmt::format("round {} ({}): channel {} differs from one long block at frame {} "
                                        "({:.9g} against {:.9g})",
                                        round + 1, LayoutName(stem), c, n, b[c][n], a[c][n]));
            }
        }
    }
    return Pass(fmt::format("{} rounds, {} calls ({} of 0 frames, {} of 1): bit-identical to one block", rounds, calls,
                            zeros, ones));
}

// --- Check 4 -----------------------------------------------------------------------------------

CheckResult CheckBadInput(const CheckEnv& env) {
    std::mt19937_64 rng = Rng(env, 4);
    constexpr int32_t kBlock = 512;
    const float nan = std::nanf(""), inf = INFINITY;
    struct Bad {
        const char* name;
        float value;   // written into 64 samples of the block
        bool dc;       // the whole block
    };
    const Bad bads[] = {{"NaN", nan, false},      {"+inf", inf, false},   {"-inf", -inf, false},
                        {"+1e30", 1e30f, false},  {"-1e30", -1e30f, false}, {"DC 1.0", 1.0f, true},
                        {"DC -1e30", -1e30f, true}, {"loud burst", 1e4f, false}};
    int episodes = 0;
    for (const int32_t stem : {kMono, kStereo}) {
        Rig rig(env.plugin, stem, 48000.0f, kBlock);
        if (!rig.Ok()) return Fail(rig.Error());
        for (int round = 0; round < Scaled(env, 5, 1); ++round) {
            if (!rig.Randomise(rng)) return Fail(rig.Error());
            for (const Bad& bad : bads) {
                auto io = Noise(rng, rig.Channels(), kBlock * 4);
                for (auto& ch : io) {
                    for (int32_t n = bad.dc ? 0 : 200; n < (bad.dc ? kBlock : 264); ++n) ch[size_t(kBlock + n)] = bad.value;
                }
                for (int b = 0; b < 4; ++b) {
                    if (!rig.Process(io, size_t(b) * kBlock, kBlock)) return Fail(rig.Error());
                }
                // Blocks 2 and 3 come after the bad one: every sample must be finite again.
                for (size_t c = 0; c < io.size(); ++c) {
                    for (size_t n = 2 * kBlock; n < 4 * kBlock; ++n) {
                        if (!std::isfinite(io[c][n])) {
                            return Fail(fmt::format("{}, {}: output {} at frame {} of the block after the bad one",
                                                    LayoutName(stem), bad.name, io[c][n], n - 2 * kBlock));
                        }
                    }
                }
                ++episodes;
            }
        }
    }

    // A loud burst into silence: the decaying tail must be as cheap as a steady signal and free of
    // subnormal samples. Processor time, the best of several interleaved tries of each.
    constexpr int32_t kTailBlock = 4096;
    const int tailBlocks = 24;
    const int tries = Scaled(env, 7, 3);
    Rig rig(env.plugin, kStereo, 48000.0f, kTailBlock);
    if (!rig.Ok()) return Fail(rig.Error());
    for (const MarovexParameterInfo& p : rig.Parameters()) {
        if (p.id != rig.BypassID() && !rig.Set(p.id, p.defaultNormalized)) return Fail(rig.Error());
    }
    double bestTail = 1e30, bestSteady = 1e30;
    SampleCounts tailCounts;
    auto steady = Noise(rng, rig.Channels(), size_t(kTailBlock) * tailBlocks);
    for (int t = 0; t < tries; ++t) {
        auto burst = Noise(rng, rig.Channels(), kTailBlock);
        for (auto& ch : burst) {
            for (float& x : ch) x *= 2000.0f;
        }
        if (!rig.Process(burst)) return Fail(rig.Error());
        std::vector<std::vector<float>> tail(size_t(rig.Channels()), std::vector<float>(size_t(kTailBlock) * tailBlocks));
        double start = CpuSeconds();
        for (int b = 0; b < tailBlocks; ++b) {
            if (!rig.Process(tail, size_t(b) * kTailBlock, kTailBlock)) return Fail(rig.Error());
        }
        bestTail = std::min(bestTail, CpuSeconds() - start);
        for (const auto& ch : tail) tailCounts.Add(ch.data(), ch.size());
        auto work = steady;
        start = CpuSeconds();
        for (int b = 0; b < tailBlocks; ++b) {
            if (!rig.Process(work, size_t(b) * kTailBlock, kTailBlock)) return Fail(rig.Error());
        }
        bestSteady = std::min(bestSteady, CpuSeconds() - start);
    }
    const double ratio = bestTail / std::max(bestSteady, 1e-9);
    const std::string figure =
        fmt::format("{} bad-input episodes finite from the next block; decaying tail costs {:.2f} x a steady signal "
                    "(limit 1.2), tail {}",
                    episodes, ratio, tailCounts.Text());
    return (ratio <= 1.2 && tailCounts.Clean()) ? Pass(figure) : Fail(figure);
}

}  // namespace marovex::validate
