// The owned audio thread, paced in real time or unpaced.
#include "AudioThread.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "InstanceEngine.h"

namespace marovex_host {

namespace {

void AddNanoseconds(timespec* t, int64_t ns) {
    const int64_t total = t->tv_nsec + ns;
    t->tv_sec += static_cast<time_t>(total / 1000000000);
    t->tv_nsec = static_cast<long>(total % 1000000000);
}

bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

}  // namespace

bool AudioThread::Start(Engine& engine, std::shared_ptr<MarovexAudioSource> source, int32_t blockFrames,
                        MarovexPacing pacing, std::string* error) {
    auto fail = [&](const char* text) {
        if (error != nullptr) *error = text;
        return false;
    };
    if (source == nullptr) return fail("no audio source was given");
    if (pacing != MarovexPacing::RealTime && pacing != MarovexPacing::Unpaced) return fail("unknown pacing");
    if (blockFrames < 1 || blockFrames > engine.MaxBlock()) return fail("the block size is outside 1 to the instance's largest block");
    if (mThread.joinable()) return fail("the audio thread is already running");
    if (engine.Failed()) return fail("the instance no longer processes");
    // The pacing divides by the rate; an instance without one does not process anyway.
    if (!(engine.SampleRate() > 0.0f)) return fail("the instance was made without a sample rate; it does not process");
    if (!engine.Claim()) return fail("another thread is processing the instance");
    mEngine = &engine;
    mSource = std::move(source);
    mBlock = blockFrames;
    mPacing = pacing;
    mIn.assign(static_cast<size_t>(engine.InputChannels()), std::vector<float>(static_cast<size_t>(blockFrames)));
    mOut.assign(static_cast<size_t>(engine.OutputChannels()), std::vector<float>(static_cast<size_t>(blockFrames)));
    mInPtrs.clear();
    mOutPtrs.clear();
    for (auto& c : mIn) mInPtrs.push_back(c.data());
    for (auto& c : mOut) mOutPtrs.push_back(c.data());
    if (!mStopReady) {
        if (sem_init(&mStop, 0, 0) != 0) {
            engine.Unclaim();
            return fail("cannot create the audio thread's semaphore");
        }
        mStopReady = true;
    }
    mEnded.store(false);
    try {
        mThread = std::thread([this] { Loop(); });
    } catch (...) {
        engine.Unclaim();
        return fail("cannot start the audio thread");
    }
    return true;
}

void AudioThread::Stop() {
    if (mThread.joinable()) {
        sem_post(&mStop);
        mThread.join();
        while (sem_trywait(&mStop) == 0) {
        }
        mEngine->Unclaim();
        mSource.reset();
    }
    if (mStopReady) {
        sem_destroy(&mStop);
        mStopReady = false;
    }
}

// Fill, process, hand back, then wait for the next block's time; the wait on the stop semaphore
// with an absolute deadline is the pacing. A thread that falls behind by more than a few blocks
// starts counting from now instead of racing to catch up. Unpaced, the loop only looks whether a
// stop was asked for (without waiting) before it goes on with the next block.
void AudioThread::Loop() {
    const int64_t period = static_cast<int64_t>(1.0e9 * mBlock / mEngine->SampleRate());
    const int32_t inChannels = mEngine->InputChannels();
    const int32_t outChannels = mEngine->OutputChannels();
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
        mSource->Fill(mInPtrs.data(), inChannels, mBlock);
        if (mEngine->Run(mInPtrs.data(), mOutPtrs.data(), mBlock) != MarovexProcessStatus::Done) break;
        mSource->Consume(mOutPtrs.data(), outChannels, mBlock);
        if (mPacing == MarovexPacing::Unpaced) {
            if (sem_trywait(&mStop) == 0) break;  // stopped
            continue;
        }
        AddNanoseconds(&next, period);
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        timespec late = next;
        AddNanoseconds(&late, 4 * period);
        if (Before(late, now)) next = now;
        int r;
        while ((r = sem_clockwait(&mStop, CLOCK_MONOTONIC, &next)) != 0 && errno == EINTR) {
        }
        if (r == 0) break;  // stopped
    }
    mEnded.store(true, std::memory_order_release);
}

}  // namespace marovex_host

MarovexLoopingSource::MarovexLoopingSource(std::vector<std::vector<float>> channels)
    : mChannels(std::move(channels)) {
    mLength = mChannels.empty() ? 0 : mChannels.front().size();
    for (const auto& c : mChannels) mLength = std::min(mLength, c.size());
}

void MarovexLoopingSource::Fill(float* const* in, int32_t channels, int32_t frames) noexcept {
    size_t position = mPosition;
    for (int32_t c = 0; c < channels; ++c) {
        float* dst = in[c];
        if (mLength == 0) {
            std::fill(dst, dst + frames, 0.0f);
            continue;
        }
        const std::vector<float>& src = mChannels[std::min<size_t>(static_cast<size_t>(c), mChannels.size() - 1)];
        size_t p = mPosition;
        for (int32_t i = 0; i < frames; ++i) {
            dst[i] = src[p];
            if (++p == mLength) p = 0;
        }
        position = p;
    }
    mPosition = position;
    mPlayed.fetch_add(static_cast<uint64_t>(frames), std::memory_order_relaxed);
}
