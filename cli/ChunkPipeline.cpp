#include "ChunkPipeline.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>
#include <utility>

namespace marovex::cli {

ChunkPipeline::ChunkPipeline(int64_t chunkFrames, int channels, bool keepOriginals, size_t planarSections, Fill fill,
                             Drain drain, size_t slots, bool keepDoubles)
    : mChunkFrames(chunkFrames), mFill(std::move(fill)), mDrain(std::move(drain)), mSlots(slots) {
    // Every buffer starts on a 64-byte boundary.
    const auto rounded = [](size_t bytes) { return (bytes + 63) & ~size_t(63); };
    const size_t samples = size_t(chunkFrames) * size_t(channels);
    const size_t samplesBytes = rounded(samples * sizeof(float));
    const size_t originalsBytes = keepOriginals ? rounded(samples * sizeof(int32_t)) : 0;
    const size_t planarBytes = rounded(size_t(chunkFrames) * planarSections * sizeof(float));
    const size_t doublesBytes = keepDoubles ? rounded(samples * sizeof(double)) : 0;
    const size_t slotBytes = 2 * samplesBytes + originalsBytes + planarBytes + doublesBytes;
    mMemoryBytes = std::max<size_t>(1, slotBytes * slots);
    // Populated at once: a page faulted in on first touch costs far more, above all in a virtual machine.
    mMemory = ::mmap(nullptr, mMemoryBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (mMemory == MAP_FAILED) {
        mMemory = nullptr;
        throw std::bad_alloc();
    }
    uint8_t* at = static_cast<uint8_t*>(mMemory);
    for (Slot& slot : mSlots) {
        slot.chunk.in = reinterpret_cast<float*>(at);
        slot.chunk.out = reinterpret_cast<float*>(at + samplesBytes);
        slot.chunk.planar = reinterpret_cast<float*>(at + 2 * samplesBytes);
        if (keepOriginals) slot.chunk.originals = reinterpret_cast<int32_t*>(at + 2 * samplesBytes + planarBytes);
        if (keepDoubles) {
            slot.chunk.doubles = reinterpret_cast<double*>(at + 2 * samplesBytes + planarBytes + originalsBytes);
        }
        at += slotBytes;
    }
    try {
        mThread = std::thread([this] { Run(); });
    } catch (...) {
        ::munmap(mMemory, mMemoryBytes);
        throw;
    }
}

ChunkPipeline::~ChunkPipeline() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStop = true;
    }
    mChanged.notify_all();
    Join();
    if (mMemory != nullptr) ::munmap(mMemory, mMemoryBytes);
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
