// The real-time part of an instance: the algorithm context laid out from the component's declared
// fields, the delivery of posted packets into it, and the processing of blocks.
//
// Contract (this is the only real-time code of the host library):
// - Layout() runs once, before any other call, on a non-audio thread; it allocates everything.
// - Post() may be called from any non-audio thread; posting threads are serialised among themselves
//   by the posting lock, which the processing side never takes.
// - Run() is the processing side: one caller at a time (the caller guarantees it through Claim()).
//   It never allocates, locks, blocks, logs or does I/O, and uses no container that might.
//   Misbehaviour of the plug-in it sees is counted and flagged in atomics; TakeFlags() hands the
//   flags to a non-audio thread, which writes the reports.
// - Meter values, peaks and counters are atomics: readable from any thread while Run() runs.
//
// Each data-in port is a mailbox of three slots (a triple buffer): the poster writes the packet
// into its own slot and swaps it with the middle slot in one atomic exchange; before each block
// the processing side swaps a freshly published middle slot for its own and copies it into the
// context's field buffer. Only a field's latest bytes reach the context, so a packet replaced by a
// newer one of its field before a block is never lost to it, whatever the number of posts between
// two blocks.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AAX.h"
#include "MarovexHost.h"

namespace marovex_host {

class Engine {
public:
    // What Run() saw go wrong, for TakeFlags().
    enum Flag : uint32_t {
        kContextChanged = 1u << 0,  // the procedure changed the context, its block length or rate
        kPrivateOverrun = 1u << 1,  // it wrote past the private data
        kThrew = 1u << 2,           // it threw; the engine processes no further block
    };

    Engine() = default;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Lays out the context and allocates every buffer. Not real-time.
    bool Layout(const MarovexComponentDescription& component, int32_t inChannels, int32_t outChannels,
                int32_t maxBlock, float sampleRate, AAX_CProcessProc proc, std::string* error);

    // Producer side. Returns the host's answer; `why` (may be null) gets a reason for a refusal
    // (no allocation when it is null).
    AAX_Result Post(AAX_CFieldIndex field, const void* data, uint32_t size, std::string* why);
    // The bytes of the latest packet posted to a data-in port, delivered or not; false when the
    // field is no data-in port or nothing was posted to it. Not real-time (takes the posting lock).
    bool LatestPacket(AAX_CFieldIndex field, std::vector<uint8_t>* bytes);

    // Consumer side: only the holder of the claim may call Run().
    bool Claim() { return !mClaimed.exchange(true, std::memory_order_acquire); }
    void Unclaim() { mClaimed.store(false, std::memory_order_release); }

    // Processes `frames` samples in blocks of at most MaxBlock(): before each block the pending
    // packets go into the context, then the procedure runs and the meters are published. Sets
    // flush-to-zero and denormals-are-zero for its duration and restores the caller's MXCSR.
    // in/out may be the same buffers. Real-time safe. Laid out with a sample rate of 0, it runs
    // nothing and answers NoSampleRate.
    MarovexProcessStatus Run(const float* const* in, float* const* out, int32_t frames) noexcept;

    bool Failed() const { return mFailed.load(std::memory_order_acquire); }

    int32_t InputChannels() const { return mInChannels; }
    int32_t OutputChannels() const { return mOutChannels; }
    int32_t MaxBlock() const { return mMaxBlock; }
    float SampleRate() const { return mSampleRate; }

    // Meters, in declaration order.
    int32_t MeterCount() const { return static_cast<int32_t>(mMeterIDs.size()); }
    AAX_CTypeID MeterID(int32_t index) const { return mMeterIDs[static_cast<size_t>(index)]; }
    int32_t MeterIndex(AAX_CTypeID id) const;
    float MeterValue(int32_t index) const { return mMeterValues[index].load(std::memory_order_relaxed); }
    float MeterPeak(int32_t index) const { return mMeterPeaks[index].load(std::memory_order_relaxed); }
    void ClearMeterPeaks();

    // The private data field (-1 when none), its buffer and size; reset before processing starts.
    AAX_CFieldIndex PrivateField() const { return mPrivateField; }
    uint8_t* PrivateData() const { return mPrivateData.get(); }
    uint32_t PrivateSize() const { return mPrivateSize; }
    // Re-arms the guard after the private data; false when something wrote past it.
    bool CheckPrivateGuard();

    // Counters and flags, readable from any thread.
    uint32_t Mxcsr() const { return mMxcsr.load(std::memory_order_relaxed); }
    uint64_t Delivered() const { return mDelivered.load(std::memory_order_relaxed); }
    uint64_t Blocks() const { return mBlocks.load(std::memory_order_relaxed); }
    int32_t Problems() const { return mProblems.load(std::memory_order_relaxed); }
    // Counts a problem found outside Run().
    void CountProblem() { mProblems.fetch_add(1, std::memory_order_relaxed); }
    // The flags raised since the last call, and the output channels written past (bit per channel).
    uint32_t TakeFlags(uint64_t* overrunChannels);

private:
    struct Port {
        AAX_CFieldIndex field = 0;
        uint32_t declared = 0;
        uint32_t capacity = 0;  // declared + 4, at least 8
        std::unique_ptr<uint8_t[]> buffer;  // the context's field buffer
        std::unique_ptr<uint8_t[]> slots;   // three slots of `capacity` bytes
        uint32_t sizes[3] = {0, 0, 0};
        uint32_t back = 0;   // the poster's slot (under the posting lock)
        uint32_t front = 1;  // the processing side's slot
        std::atomic<uint32_t> middle{2};  // the published slot, kFresh when not yet taken
        std::unique_ptr<uint8_t[]> latest;  // a copy of the latest post (under the posting lock)
        uint32_t latestSize = 0;
        bool posted = false;
    };
    static constexpr uint32_t kFresh = 4;

    void Deliver() noexcept;
    void RunBlock(const float* const* in, float* const* out, int32_t offset, int32_t n) noexcept;
    void Raise(uint32_t flag) noexcept;

    int32_t mInChannels = 0;
    int32_t mOutChannels = 0;
    int32_t mMaxBlock = 0;
    float mSampleRate = 0.0f;
    AAX_CProcessProc mProc = nullptr;

    std::vector<void*> mContext;
    std::vector<void*> mContextCopy;  // as laid out, to see whether the plug-in changed it
    void* mInstances[1] = {nullptr};
    std::vector<std::unique_ptr<float[]>> mInBuffers;
    std::vector<std::unique_ptr<float[]>> mOutBuffers;  // maxBlock samples + guard
    std::vector<float*> mInPtrs;
    std::vector<float*> mOutPtrs;
    int32_t mBlockLength = 0;
    float mSampleRateField = 0.0f;
    int64_t mClock = 0;

    std::vector<AAX_CTypeID> mMeterIDs;
    std::unique_ptr<float[]> mMeterTaps;
    std::vector<float*> mMeterTapPtrs;
    std::unique_ptr<std::atomic<float>[]> mMeterValues;
    std::unique_ptr<std::atomic<float>[]> mMeterPeaks;
    std::atomic<bool> mClearPeaks{false};

    std::unique_ptr<uint8_t[]> mPrivateData;  // declared size + guard
    uint32_t mPrivateSize = 0;
    AAX_CFieldIndex mPrivateField = -1;

    std::unique_ptr<Port[]> mPorts;
    int32_t mPortCount = 0;
    std::vector<int32_t> mPortOfField;  // field index -> port, -1 when the field is no data port
    std::mutex mPostMutex;              // serialises posting threads; never taken by Run()

    std::atomic<bool> mClaimed{false};
    std::atomic<bool> mFailed{false};
    std::atomic<uint32_t> mMxcsr{0};
    std::atomic<uint64_t> mDelivered{0};
    std::atomic<uint64_t> mBlocks{0};
    std::atomic<int32_t> mProblems{0};
    std::atomic<uint32_t> mFlags{0};
    std::atomic<uint64_t> mOverrunChannels{0};
};

}  // namespace marovex_host
