// A fixed-capacity single-producer, single-consumer ring of fixed-size packet slots.
//
// The producer (the thread that holds the instance's posting lock) copies a packet into the next free
// slot; the consumer (the audio thread) copies the pending slots out in order. Neither side
// allocates, locks or blocks: all storage is allocated once by Init, and the two indices are atomics
// on separate cache lines (release on publish, acquire on read).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace marovex_host {

class PacketRing {
public:
    // Allocates `slots` (a power of two, at least 2) slots of `payloadBytes` each. Not real-time.
    bool Init(uint32_t slots, uint32_t payloadBytes) {
        if (slots < 2 || (slots & (slots - 1)) != 0 || payloadBytes == 0 || payloadBytes > (1u << 20)) {
            return false;
        }
        mStride = sizeof(SlotHeader) + ((payloadBytes + 7u) & ~7u);
        mStorage.reset(new (std::nothrow) uint8_t[size_t(mStride) * slots]());
        if (!mStorage) {
            return false;
        }
        mSlots = slots;
        mPayload = payloadBytes;
        mHead.store(0, std::memory_order_relaxed);
        mTail.store(0, std::memory_order_relaxed);
        return true;
    }

    uint32_t Capacity() const { return mSlots; }
    uint32_t PayloadBytes() const { return mPayload; }

    // Producer: false when the ring is full or the packet is larger than a slot.
    bool Push(int32_t field, const void* data, uint32_t size) {
        if (size > mPayload || mStorage == nullptr) {
            return false;
        }
        const uint32_t head = mHead.load(std::memory_order_relaxed);
        const uint32_t tail = mTail.load(std::memory_order_acquire);
        if (head - tail >= mSlots) {
            return false;
        }
        uint8_t* slot = SlotAt(head);
        SlotHeader h{field, size};
        std::memcpy(slot, &h, sizeof h);
        if (size > 0) {
            std::memcpy(slot + sizeof(SlotHeader), data, size);
        }
        mHead.store(head + 1, std::memory_order_release);
        return true;
    }

    // Producer: free slots right now (the consumer may free more at any time).
    uint32_t FreeSlots() const {
        return mSlots - (mHead.load(std::memory_order_relaxed) - mTail.load(std::memory_order_acquire));
    }

    // Consumer: hands every pending packet to deliver(field, data, size) in posting order and frees
    // its slot; returns how many were delivered. Real-time safe.
    template <class Deliver>
    uint32_t Drain(Deliver&& deliver) {
        uint32_t tail = mTail.load(std::memory_order_relaxed);
        const uint32_t head = mHead.load(std::memory_order_acquire);
        uint32_t n = 0;
        while (tail != head) {
            const uint8_t* slot = SlotAt(tail);
            SlotHeader h;
            std::memcpy(&h, slot, sizeof h);
            deliver(h.field, slot + sizeof(SlotHeader), h.size);
            ++tail;
            ++n;
        }
        mTail.store(tail, std::memory_order_release);
        return n;
    }

private:
    struct SlotHeader {
        int32_t field;
        uint32_t size;
    };
    static_assert(sizeof(SlotHeader) == 8, "slot header is two 32-bit words");

    uint8_t* SlotAt(uint32_t index) const { return mStorage.get() + size_t(index & (mSlots - 1)) * mStride; }

    std::unique_ptr<uint8_t[]> mStorage;
    uint32_t mSlots = 0;
    uint32_t mPayload = 0;
    uint32_t mStride = 0;
    alignas(64) std::atomic<uint32_t> mHead{0};  // written by the producer only
    alignas(64) std::atomic<uint32_t> mTail{0};  // written by the consumer only
};

}  // namespace marovex_host
