#include "ChunkPipeline.h"

#include <utility>

namespace marovex::cli {

ChunkPipeline::ChunkPipeline(int64_t chunkFrames, int channels, bool keepOriginals, size_t planarSections, Fill fill,
                             Drain drain, size_t slots)
    : mChunkFrames(chunkFrames), mFill(std::move(fill)), mDrain(std::move(drain)), mSlots(slots) {
    const size_t samples = size_t(chunkFrames) * size_t(channels);
    for (Slot& slot : mSlots) {
        slot.chunk.in.resize(samples);
        if (keepOriginals) slot.chunk.originals.resize(samples);
        slot.chunk.out.resize(samples);
        slot.chunk.planar.resize(size_t(chunkFrames) * planarSections);
    }
    mThread = std::thread([this] { Run(); });
}

ChunkPipeline::~ChunkPipeline() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStop = true;
    }
    mChanged.notify_all();
    Join();
}

void ChunkPipeline::Join() {
    if (mThread.joinable()) mThread.join();
}

// The thread: writes the oldest processed chunk first (so that output never waits behind a read), else
// fills the next free slot, else waits.
void ChunkPipeline::Run() {
    std::unique_lock<std::mutex> lock(mMutex);
    while (true) {
        mChanged.wait(lock, [&] {
            return mStop || mFinishing || mSlots[mWriteAt].state == State::Processed ||
                   (!mInputEnded && mSlots[mReadAt].state == State::Free);
        });
        if (mStop) break;
        Slot& writing = mSlots[mWriteAt];
        if (writing.state == State::Processed) {
            lock.unlock();
            std::exception_ptr error;
            try {
                mDrain(writing.chunk);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            if (error) {
                mWriteError = error;
                break;
            }
            writing.state = State::Free;
            mWriteAt = (mWriteAt + 1) % mSlots.size();
            mChanged.notify_all();
            continue;
        }
        if (mFinishing) break;  // every chunk handed back is written
        if (mInputEnded || mSlots[mReadAt].state != State::Free) continue;
        Slot& reading = mSlots[mReadAt];
        lock.unlock();
        std::exception_ptr error;
        int64_t frames = 0;
        try {
            frames = mFill(reading.chunk, mChunkFrames);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error) {
            mReadError = error;
            mInputEnded = true;
        } else if (frames <= 0) {
            mInputEnded = true;
        } else {
            reading.chunk.frames = frames;
            reading.state = State::Filled;
            mReadAt = (mReadAt + 1) % mSlots.size();
        }
        mChanged.notify_all();
    }
    mThreadEnded = true;
    mChanged.notify_all();
}

AudioChunk* ChunkPipeline::Next() {
    std::unique_lock<std::mutex> lock(mMutex);
    mChanged.wait(lock, [&] {
        return mWriteError || mThreadEnded || mInputEnded || mSlots[mTakeAt].state == State::Filled;
    });
    if (mWriteError) {
        lock.unlock();
        Join();
        std::rethrow_exception(mWriteError);
    }
    if (mSlots[mTakeAt].state == State::Filled) return &mSlots[mTakeAt].chunk;
    const std::exception_ptr readError = mReadError;
    lock.unlock();
    if (readError) {
        // What came before the failed read is written first, as it would be without the thread.
        Finish();
        std::rethrow_exception(readError);
    }
    return nullptr;
}

void ChunkPipeline::Done(AudioChunk* chunk) {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        Slot& slot = mSlots[mTakeAt];
        if (&slot.chunk == chunk) {
            slot.state = State::Processed;
            mTakeAt = (mTakeAt + 1) % mSlots.size();
        }
    }
    mChanged.notify_all();
}

void ChunkPipeline::Finish() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mFinishing = true;
    }
    mChanged.notify_all();
    Join();
    if (mWriteError) std::rethrow_exception(mWriteError);
}

}  // namespace marovex::cli
