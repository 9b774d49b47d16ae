// Check 9: real-time safety of the processing thread, on the owned audio thread and in the caller's
// thread.
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fmt/core.h>

#include "Checks.h"
#include "RealtimeWatch.h"

namespace marovex::validate {

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

}  // namespace marovex::validate
