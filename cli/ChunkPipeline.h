// Reading and writing an audio file on a second thread while the caller processes it: the input is
// read in large chunks into a small ring of preallocated slots, the caller takes each chunk in order,
// processes it in place and hands it back, and the same thread writes the processed chunks in order.
// Reading ahead and writing behind overlap with the processing; nothing is allocated per chunk.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace marovex::cli {

// One slot of the ring: interleaved input (and the integers it was read from, when kept), the
// interleaved output, planar room for the caller (its sections `chunkFrames` apart), and the frames it
// holds. The fill and drain functions run on the pipeline's thread, so work they do on a chunk (such as
// converting between interleaved and planar samples) overlaps with the caller's processing.
struct AudioChunk {
    float* in = nullptr;
    int32_t* originals = nullptr;  // null unless kept
    double* doubles = nullptr;     // the 64-bit float samples as read; null unless kept
    float* out = nullptr;
    float* planar = nullptr;
    int64_t frames = 0;
};

class ChunkPipeline {
public:
    // Fills a chunk's `in` and `originals` with up to `capacity` frames and returns how many; fewer than
    // `capacity` only at the end of the input, 0 there. May throw.
    using Fill = std::function<int64_t(AudioChunk& chunk, int64_t capacity)>;
    // Writes a processed chunk (and may use its `out` and `planar` for that). May throw.
    using Drain = std::function<void(AudioChunk& chunk)>;

    // Starts the thread, which begins reading at once. The buffers are mapped and their pages made
    // present in one call, not faulted in one by one as they are first touched. Throws std::bad_alloc
    // when there is no room for them. Chunks hold `chunkFrames` frames of `channels`
    // channels; `originals` has room only with `keepOriginals`, `doubles` only with `keepDoubles`,
    // `planar` for `planarSections` sections of `chunkFrames` frames.
    ChunkPipeline(int64_t chunkFrames, int channels, bool keepOriginals, size_t planarSections, Fill fill,
                  Drain drain, size_t slots = 3, bool keepDoubles = false);
    // Stops the thread without writing what is left.
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    // The next chunk of the input, in order, or null at its end. A failed read is thrown here, in its
    // place in the input, once every chunk before it has been written; a failed write is thrown at the
    // next call.
    AudioChunk* Next();
    // Hands back the chunk Next gave, with its output filled in, to be written.
    void Done(AudioChunk* chunk);
    // Waits until every chunk handed back is written and the thread has ended; throws a failed write.
    void Finish();

private:
    enum class State { Free, Filled, Processed };
    struct Slot {
        AudioChunk chunk;
        State state = State::Free;
    };

    void Run();
    void Join();

    int64_t mChunkFrames;
    void* mMemory = nullptr;  // every slot's buffers, in one mapping
    size_t mMemoryBytes = 0;
    Fill mFill;
    Drain mDrain;
    std::vector<Slot> mSlots;
    std::mutex mMutex;
    std::condition_variable mChanged;
    size_t mReadAt = 0, mTakeAt = 0, mWriteAt = 0;  // next slot to fill, to hand out, to write
    bool mInputEnded = false;                       // the last chunk was filled (or the read failed)
    bool mFinishing = false;                        // the caller takes no more chunks
    bool mStop = false;                             // end now, writing nothing more
    bool mThreadEnded = false;
    std::exception_ptr mReadError, mWriteError;
    std::thread mThread;
};

}  // namespace marovex::cli
