// The audio thread an instance may own: it pulls blocks from a source, has the engine process them
// and hands the output back to the source, paced in real time (one block per block duration) or,
// unpaced, one block straight after the other.
#pragma once

#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MarovexHost.h"

namespace marovex_host {

class Engine;

class AudioThread {
public:
    AudioThread() = default;
    ~AudioThread() { Stop(); }
    AudioThread(const AudioThread&) = delete;
    AudioThread& operator=(const AudioThread&) = delete;

    // Starts the thread once the engine is claimed for it. Not real-time; from a non-audio thread.
    bool Start(Engine& engine, std::shared_ptr<MarovexAudioSource> source, int32_t blockFrames,
               MarovexPacing pacing, std::string* error);
    // Stops and joins the thread and releases the engine's claim; nothing when it is not running.
    void Stop();
    bool Running() const { return mThread.joinable() && !mEnded.load(std::memory_order_acquire); }
    bool Joinable() const { return mThread.joinable(); }

private:
    void Loop();

    Engine* mEngine = nullptr;
    std::shared_ptr<MarovexAudioSource> mSource;
    int32_t mBlock = 0;
    MarovexPacing mPacing = MarovexPacing::RealTime;
    std::vector<std::vector<float>> mIn, mOut;
    std::vector<float*> mInPtrs, mOutPtrs;
    std::thread mThread;
    sem_t mStop;  // posted once to end the loop; the loop's timed wait is also its pacing
    bool mStopReady = false;
    std::atomic<bool> mEnded{false};
};

}  // namespace marovex_host
