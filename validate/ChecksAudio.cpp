// Checks 2, 3, 4, 9 and 12: what comes out of the process function at every rate and block length,
// split blocks against one block, bad input, real-time safety of the processing thread, and the
// golden renders.
#include <dlfcn.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>

#include <fmt/core.h>

#include <sndfile.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "AAX_IACFEffectParameters.h"
#include "AudioFiles.h"
#include "Checks.h"
#include "CliError.h"
#include "RealtimeWatch.h"

namespace marovex::validate {

namespace {

constexpr int32_t kMono = AAX_eStemFormat_Mono;
constexpr int32_t kStereo = AAX_eStemFormat_Stereo;

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

// --- Check 9 -----------------------------------------------------------------------------------

namespace {

MarovexWatchThreadFn gMark = nullptr;

// Feeds the owned audio thread from a buffer and keeps what comes out; marks the thread watched from
// the end of Fill to the start of Consume, that is while the engine processes the block.
class WatchedSource : public MarovexAudioSource {
public:
    WatchedSource(std::vector<std::vector<float>> input, size_t capacity)
        : mInput(std::move(input)), mOutput(mInput.size(), std::vector<float>(capacity)) {}
    void Fill(float* const* in, int32_t channels, int32_t frames) noexcept override {
        for (int32_t c = 0; c < channels; ++c) {
            const std::vector<float>& src = mInput[std::min<size_t>(size_t(c), mInput.size() - 1)];
            for (int32_t n = 0; n < frames; ++n) in[c][n] = src[(mRead + size_t(n)) % src.size()];
        }
        mRead += size_t(frames);
        gMark(1);
    }
    void Consume(const float* const* out, int32_t channels, int32_t frames) noexcept override {
        gMark(0);
        for (int32_t c = 0; c < channels && size_t(c) < mOutput.size(); ++c) {
            for (int32_t n = 0; n < frames && mWritten + size_t(n) < mOutput[size_t(c)].size(); ++n) {
                mOutput[size_t(c)][mWritten + size_t(n)] = out[c][n];
            }
        }
        mWritten += size_t(frames);
        mBlocks.fetch_add(1, std::memory_order_release);
    }
    uint64_t Blocks() const { return mBlocks.load(std::memory_order_acquire); }
    const std::vector<std::vector<float>>& Output() const { return mOutput; }

private:
    std::vector<std::vector<float>> mInput, mOutput;
    size_t mRead = 0, mWritten = 0;
    std::atomic<uint64_t> mBlocks{0};
};

std::string CountsText(const MarovexWatchCounts& c, uint64_t* sum) {
    std::string text;
    *sum = 0;
    for (int k = 0; k < kWatchKinds; ++k) {
        text += fmt::format("{}{} {}", k ? ", " : "", c.calls[k], MarovexWatchKindName(k));
        *sum += c.calls[k];
    }
    return text;
}

}  // namespace

CheckResult CheckRealtimeSafety(const CheckEnv& env) {
    const auto arm = reinterpret_cast<MarovexWatchArmFn>(dlsym(RTLD_DEFAULT, "marovex_watch_arm"));
    const auto disarm = reinterpret_cast<MarovexWatchDisarmFn>(dlsym(RTLD_DEFAULT, "marovex_watch_disarm"));
    gMark = reinterpret_cast<MarovexWatchThreadFn>(dlsym(RTLD_DEFAULT, "marovex_watch_thread"));
    if (arm == nullptr || disarm == nullptr || gMark == nullptr) {
        const char* preload = std::getenv("LD_PRELOAD");
        return Fail(fmt::format("the interposer library libmarovex_rtwatch.so is not loaded (looked for at {})",
                                preload != nullptr ? preload : "nothing: LD_PRELOAD is not set"));
    }
    // The watch must see what it is meant to count, on this thread and on another one.
    MarovexWatchCounts self{}, other{};
    arm();
    gMark(1);
    void* volatile probe = std::malloc(24);
    std::free(probe);
    gMark(0);
    disarm(&self);
    arm();
    std::thread([] {
        gMark(1);
        int* volatile p = new int(1);
        delete p;
        gMark(0);
    }).join();
    disarm(&other);
    if (self.calls[kWatchMalloc] == 0 || self.calls[kWatchFree] == 0 || other.calls[kWatchNew] == 0 ||
        other.calls[kWatchDelete] == 0) {
        return Fail("the interposer library counts nothing (is another interposer preloaded before it?)");
    }

    // Every run of check 2's matrix goes through both processing paths of the engine, each watched:
    // first on the audio thread of a twin instance (the same settings; unpaced, so that a block of a
    // second at 8000 Hz costs no second), then in the caller's thread. The two outputs must agree
    // bit for bit.
    MarovexWatchCounts inCaller{}, owned{};
    std::string firstInCaller, firstOwned, mismatch;
    uint64_t ownedBlocks = 0;
    const auto tally = [](const MarovexWatchCounts& c, MarovexWatchCounts* total, std::string* first, Rig& rig,
                          int32_t block) {
        for (int k = 0; k < kWatchKinds; ++k) {
            if (c.calls[k] != 0 && first->empty()) {
                *first = fmt::format("first at {} Hz, {} channel(s), blocks of {}", rig.Instance().SampleRate(),
                                     rig.Channels(), block);
            }
            total->calls[k] += c.calls[k];
        }
    };
    const MatrixProcess watched = [&](Rig& rig, std::vector<std::vector<float>>& io, int32_t block, size_t blocks) {
        Rig twin(rig.ModulePtr(), static_cast<int32_t>(rig.Instance().StemFormat()), rig.Instance().SampleRate(), block);
        for (size_t i = 0; twin.Ok() && i < rig.Parameters().size(); ++i) {
            if (!twin.Set(rig.Parameters()[i].id, rig.Get(rig.Parameters()[i].id))) break;
        }
        if (!twin.Error().empty()) {
            mismatch = "the twin instance for the audio thread: " + twin.Error();
            return false;
        }
        auto source = std::make_shared<WatchedSource>(io, blocks * size_t(block));
        MarovexWatchCounts c{};
        std::string error;
        arm();
        if (!twin.Instance().StartAudioThread(source, block, &error, MarovexPacing::Unpaced)) {
            disarm(&c);
            mismatch = "cannot start the instance's audio thread: " + error;
            return false;
        }
        while (source->Blocks() < blocks && twin.Instance().AudioThreadRunning()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        twin.Instance().StopAudioThread();
        disarm(&c);
        tally(c, &owned, &firstOwned, rig, block);
        if (source->Blocks() < blocks) {
            mismatch = fmt::format("the audio thread stopped after {} of {} blocks at {} Hz", source->Blocks(), blocks,
                                   rig.Instance().SampleRate());
            return false;
        }
        ownedBlocks += blocks;

        c = MarovexWatchCounts{};
        arm();
        bool ok = true;
        for (size_t b = 0; b < blocks && ok; ++b) ok = rig.ProcessMarked(io, b * size_t(block), block, gMark);
        disarm(&c);
        tally(c, &inCaller, &firstInCaller, rig, block);
        for (size_t ch = 0; ok && ch < io.size() && mismatch.empty(); ++ch) {
            const std::vector<float>& got = source->Output()[ch];
            for (size_t n = 0; n < io[ch].size(); ++n) {
                if (std::memcmp(&got[n], &io[ch][n], sizeof(float)) != 0) {
                    mismatch = fmt::format("the audio thread's output differs from the caller's thread's at {} Hz, "
                                           "blocks of {}, channel {}, frame {} ({:.9g} against {:.9g})",
                                           rig.Instance().SampleRate(), block, ch, n, got[n], io[ch][n]);
                    break;
                }
            }
        }
        return ok;
    };
    MatrixFigures f;
    std::string why;
    if (!RunRateBlockMatrix(env, &f, &why, watched)) return Fail(mismatch.empty() ? why : mismatch);
    if (!mismatch.empty()) return Fail(mismatch);
    uint64_t sumInCaller = 0, sumOwned = 0;
    const std::string textInCaller = CountsText(inCaller, &sumInCaller);
    const std::string textOwned = CountsText(owned, &sumOwned);
    const std::string figure =
        fmt::format("in the caller's thread, {} runs, {} blocks: {}{}; on the owned audio thread, {} runs, {} blocks: "
                    "{}{}; outputs bit-identical",
                    f.runs, f.blocks, textInCaller, sumInCaller ? " (" + firstInCaller + ")" : "", f.runs,
                    ownedBlocks, textOwned, sumOwned ? " (" + firstOwned + ")" : "");
    return sumInCaller == 0 && sumOwned == 0 ? Pass(figure) : Fail(figure);
}

// --- Check 12 ----------------------------------------------------------------------------------

namespace {

struct GoldenCase {
    int32_t stem;
    int bits;  // 16, 24 or 32 (float)
    double rate;
};

const GoldenCase kGolden[] = {{kMono, 16, 22050}, {kMono, 24, 37800},     {kMono, 32, 44123.45},
                              {kStereo, 16, 32000}, {kStereo, 24, 44123.45}, {kStereo, 32, 88200}};
constexpr size_t kGoldenFrames = 2048;
constexpr int32_t kGoldenBlock = 256;

std::string GoldenName(const GoldenCase& g) {
    return fmt::format("render-{}-{}{}-{}.f32", g.stem == kMono ? "mono" : "stereo", g.bits, g.bits == 32 ? "f" : "",
                       static_cast<long>(std::lround(g.rate * 100)));
}

// A fixed input (independent of the run's seed): three sines and, in the first half, some noise.
std::vector<std::vector<float>> GoldenSignal(const GoldenCase& g, int channels) {
    std::mt19937_64 rng(12345);
    auto s = Sines(rng, channels, kGoldenFrames, g.rate);
    auto n = Noise(rng, channels, kGoldenFrames);
    for (size_t c = 0; c < s.size(); ++c) {
        for (size_t i = 0; i < kGoldenFrames; ++i) {
            s[c][i] = 0.8f * s[c][i] + 0.2f * n[c][i] * (i > kGoldenFrames / 2 ? 0.0f : 1.0f);
        }
    }
    return s;
}

// A folder of its own under the temporary folder, removed with what it holds.
class TemporaryFolder {
public:
    TemporaryFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/marovex-golden-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) mPath = pattern;
    }
    ~TemporaryFolder() {
        if (mPath.empty()) return;
        for (const std::string& f : mFiles) std::remove(f.c_str());
        rmdir(mPath.c_str());
    }
    const std::string& Path() const { return mPath; }
    std::string File(const std::string& name) {
        mFiles.push_back(mPath + "/" + name);
        return mFiles.back();
    }

private:
    std::string mPath;
    std::vector<std::string> mFiles;
};

// Writes the case's signal as a WAV file in the case's sample format, as another program would:
// integer formats hold the samples rounded to nearest at full scale 2^(bits-1) - 1, float files the
// samples themselves. The header holds the rate rounded to whole hertz. Empty, or what went wrong.
std::string WriteGoldenInput(const GoldenCase& g, const std::vector<std::vector<float>>& signal, const std::string& path) {
    SF_INFO info{};
    info.channels = static_cast<int>(signal.size());
    info.samplerate = static_cast<int>(std::lround(g.rate));
    info.format = SF_FORMAT_WAV | (g.bits == 16 ? SF_FORMAT_PCM_16 : g.bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return "cannot write " + path + ": " + sf_strerror(nullptr);
    std::vector<float> floats;
    std::vector<int32_t> integers;  // left-justified in 32 bits, as libsndfile takes them
    const double full = g.bits == 16 ? 32767.0 : 8388607.0;
    for (size_t i = 0; i < kGoldenFrames; ++i) {
        for (const auto& ch : signal) {
            floats.push_back(ch[i]);
            const double q = std::clamp(std::nearbyint(double(ch[i]) * full), -full, full);
            integers.push_back(static_cast<int32_t>(q) * (g.bits == 16 ? 65536 : 256));
        }
    }
    const sf_count_t written = g.bits == 32 ? sf_writef_float(file, floats.data(), sf_count_t(kGoldenFrames))
                                            : sf_writef_int(file, integers.data(), sf_count_t(kGoldenFrames));
    const std::string why = sf_strerror(file);
    if (sf_close(file) != 0 || written != sf_count_t(kGoldenFrames)) return "cannot write " + path + ": " + why;
    return std::string();
}

// Decodes the file as the program decodes a user's input, into deinterleaved channels.
std::string ReadGoldenInput(const std::string& path, int channels, std::vector<std::vector<float>>* io) {
    try {
        marovex::cli::AudioReader reader(path);
        if (reader.Channels() != channels || reader.Frames() != int64_t(kGoldenFrames)) {
            return fmt::format("{} reads back as {} channel(s) of {} frames", path, reader.Channels(), reader.Frames());
        }
        std::vector<float> interleaved(kGoldenFrames * size_t(channels));
        if (reader.Read(interleaved.data(), int64_t(kGoldenFrames)) != int64_t(kGoldenFrames)) {
            return path + " reads back short";
        }
        io->assign(size_t(channels), std::vector<float>(kGoldenFrames));
        for (size_t i = 0; i < interleaved.size(); ++i) (*io)[i % size_t(channels)][i / size_t(channels)] = interleaved[i];
    } catch (const marovex::cli::CliError& e) {
        return e.what();
    }
    return std::string();
}

// Settings away from the defaults, the same for every render.
bool GoldenSettings(Rig& rig) {
    const std::pair<const char*, double> settings[] = {{"InGain", 0.7},  {"FreqW", 0.35}, {"Width", 0.2},
                                                       {"FreqA", 0.6},   {"Action", 0.3}, {"Dyn", 0.45},
                                                       {"Adj", 0.65},    {"OutGain", 0.55}};
    for (const auto& s : settings) {
        if (!rig.Set(s.first, s.second)) return false;
    }
    return true;
}

bool Render(Rig& rig, std::vector<std::vector<float>>& io) {
    for (size_t at = 0; at < io[0].size(); at += kGoldenBlock) {
        if (!rig.Process(io, at, kGoldenBlock)) return false;
    }
    return true;
}

}  // namespace

CheckResult CheckGoldenRenders(const CheckEnv& env) {
    int matched = 0;
    TemporaryFolder folder;
    if (folder.Path().empty()) return Fail("cannot make a temporary folder for the input files");
    for (const GoldenCase& g : kGolden) {
        Rig rig(env.plugin, g.stem, static_cast<float>(g.rate), kGoldenBlock);
        if (!rig.Ok()) return Fail(rig.Error());
        if (!GoldenSettings(rig)) return Fail("the golden renders need the effect's own parameters: " + rig.Error());
        // The input goes through a file of its sample format and comes back decoded, as a user's does.
        const std::string input = folder.File(GoldenName(g) + ".wav");
        std::vector<std::vector<float>> io;
        std::string why = WriteGoldenInput(g, GoldenSignal(g, rig.Channels()), input);
        if (why.empty()) why = ReadGoldenInput(input, rig.Channels(), &io);
        if (!why.empty()) return Fail(why);
        if (!Render(rig, io)) return Fail(rig.Error());
        std::vector<float> interleaved;
        for (size_t i = 0; i < kGoldenFrames; ++i) {
            for (const auto& ch : io) interleaved.push_back(ch[i]);
        }
        const std::string path = env.goldenDir + "/" + GoldenName(g);
        const size_t bytes = interleaved.size() * sizeof(float);
        if (env.writeGolden) {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(interleaved.data()), std::streamsize(bytes));
            if (!out) return Fail("cannot write " + path);
            ++matched;
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        std::vector<float> kept(interleaved.size() + 1);
        in.read(reinterpret_cast<char*>(kept.data()), std::streamsize(bytes + sizeof(float)));
        if (static_cast<size_t>(in.gcount()) != bytes) {
            return Fail(fmt::format("no golden render of {} bytes at {}", bytes, path));
        }
        for (size_t i = 0; i < interleaved.size(); ++i) {
            if (std::memcmp(&kept[i], &interleaved[i], sizeof(float)) != 0) {
                return Fail(fmt::format("{} differs from its golden render at frame {} channel {} ({:.9g} against "
                                        "{:.9g})",
                                        GoldenName(g), i / io.size(), i % io.size(), interleaved[i], kept[i]));
            }
        }
        ++matched;
    }

    // Nulls: the bypass gives the input back bit for bit; neutral settings come within a whisper of it.
    double worstNeutral = 0.0;
    for (const int32_t stem : {kMono, kStereo}) {
        Rig bypassed(env.plugin, stem, 48000.0f, 512);
        if (!bypassed.Ok()) return Fail(bypassed.Error());
        std::mt19937_64 rng = Rng(env, 12);
        if (!bypassed.Randomise(rng) || !bypassed.Set(bypassed.BypassID(), 1.0)) return Fail(bypassed.Error());
        const auto input = Noise(rng, bypassed.Channels(), 48000);
        auto io = input;
        for (size_t at = 0; at < 48000; at += 512) {
            if (!bypassed.Process(io, at, static_cast<int32_t>(std::min<size_t>(512, 48000 - at)))) {
                return Fail(bypassed.Error());
            }
        }
        if (io != input) return Fail(std::string("the bypass does not give the input back bit for bit (") +
                                     LayoutName(stem) + ")");

        Rig neutral(env.plugin, stem, 48000.0f, 512);
        if (!neutral.Ok()) return Fail(neutral.Error());
        const std::pair<const char*, double> flat[] = {{"InGain", 0.5}, {"Width", 1.0}, {"Action", 1.0},
                                                       {"Dyn", 1.0},    {"Adj", 0.5},   {"OutGain", 0.5}};
        for (const auto& s : flat) {
            if (!neutral.Set(s.first, s.second)) return Fail(neutral.Error());
        }
        auto quiet = Noise(rng, neutral.Channels(), 96000);
        for (auto& ch : quiet) {
            for (float& x : ch) x *= 0.1f;
        }
        auto out = quiet;
        for (size_t at = 0; at < 96000; at += 500) {
            if (!neutral.Process(out, at, 500)) return Fail(neutral.Error());
        }
        // The detector's gain settles within the first second; measure the second.
        double peak = 0.0;
        for (size_t c = 0; c < out.size(); ++c) {
            for (size_t n = 48000; n < 96000; ++n) peak = std::max(peak, double(std::fabs(out[c][n] - quiet[c][n])));
        }
        worstNeutral = std::max(worstNeutral, peak);
    }
    const double neutralDb = worstNeutral > 0.0 ? 20.0 * std::log10(worstNeutral) : -999.0;
    const std::string figure =
        fmt::format("{} of {} renders of 16-bit, 24-bit and float WAV input bit-identical{} in {}; bypass null exact; neutral null peak {:.1f} dBFS (limit -100)",
                    matched, std::size(kGolden), env.writeGolden ? " (written)" : "", env.goldenDir, neutralDb);
    return neutralDb <= -100.0 ? Pass(figure) : Fail(figure);
}

}  // namespace marovex::validate
