// The ring that carries packets from the posting thread to the audio thread.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "host/PacketRing.h"

using marovex_host::PacketRing;

namespace {

struct Received {
    int32_t field;
    std::vector<uint8_t> bytes;
};

std::vector<Received> DrainAll(PacketRing& ring) {
    std::vector<Received> got;
    ring.Drain([&](int32_t field, const uint8_t* data, uint32_t size) {
        got.push_back({field, std::vector<uint8_t>(data, data + size)});
    });
    return got;
}

}  // namespace

TEST(PacketRing, RefusesUnusableSizes) {
    PacketRing ring;
    EXPECT_FALSE(ring.Init(0, 8));
    EXPECT_FALSE(ring.Init(1, 8));
    EXPECT_FALSE(ring.Init(3, 8));
    EXPECT_FALSE(ring.Init(4, 0));
    EXPECT_FALSE(ring.Push(0, "x", 1));  // never initialised
    EXPECT_TRUE(ring.Init(4, 8));
    EXPECT_EQ(ring.Capacity(), 4u);
}

TEST(PacketRing, DeliversInPostingOrderUpToItsCapacity) {
    PacketRing ring;
    ASSERT_TRUE(ring.Init(4, 28));
    const uint8_t big[28] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28};
    const uint8_t bigger[29] = {};
    EXPECT_FALSE(ring.Push(14, bigger, 29));  // larger than a slot
    EXPECT_TRUE(ring.Push(14, big, 28));
    EXPECT_TRUE(ring.Push(3, big, 4));
    EXPECT_TRUE(ring.Push(0, nullptr, 0));
    EXPECT_TRUE(ring.Push(7, big + 8, 8));
    EXPECT_EQ(ring.FreeSlots(), 0u);
    EXPECT_FALSE(ring.Push(8, big, 4));  // full
    const std::vector<Received> got = DrainAll(ring);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].field, 14);
    EXPECT_EQ(got[0].bytes, std::vector<uint8_t>(big, big + 28));
    EXPECT_EQ(got[1].field, 3);
    EXPECT_EQ(got[1].bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(got[2].field, 0);
    EXPECT_TRUE(got[2].bytes.empty());
    EXPECT_EQ(got[3].field, 7);
    EXPECT_EQ(got[3].bytes, (std::vector<uint8_t>{9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_EQ(ring.FreeSlots(), 4u);
    EXPECT_TRUE(DrainAll(ring).empty());
}

TEST(PacketRing, KeepsOrderAcrossManyWrapArounds) {
    PacketRing ring;
    ASSERT_TRUE(ring.Init(8, 8));
    uint32_t next = 0;
    uint32_t expected = 0;
    for (int round = 0; round < 100; ++round) {
        const uint32_t n = 1 + uint32_t(round % 8);
        for (uint32_t i = 0; i < n; ++i, ++next) ASSERT_TRUE(ring.Push(int32_t(next), &next, 4));
        for (const Received& r : DrainAll(ring)) {
            uint32_t v;
            std::memcpy(&v, r.bytes.data(), 4);
            ASSERT_EQ(v, expected);
            ASSERT_EQ(r.field, int32_t(expected));
            ++expected;
        }
    }
    EXPECT_EQ(expected, next);
}

// One thread posts a numbered sequence, another drains concurrently: every number arrives once, in
// order, with its payload intact (also a data-race check under the thread sanitizer).
TEST(PacketRing, CarriesASequenceBetweenTwoThreadsIntact) {
    PacketRing ring;
    ASSERT_TRUE(ring.Init(16, 24));
    constexpr uint32_t kCount = 200000;
    std::thread producer([&] {
        for (uint32_t i = 0; i < kCount;) {
            uint32_t payload[6] = {i, ~i, i * 3u, i ^ 0xA5A5A5A5u, i + 7u, i * 11u};
            if (ring.Push(int32_t(i & 0xFF), payload, sizeof payload)) {
                ++i;
            } else {
                std::this_thread::yield();
            }
        }
    });
    uint32_t expected = 0;
    bool intact = true;
    while (expected < kCount) {
        const uint32_t n = ring.Drain([&](int32_t field, const uint8_t* data, uint32_t size) {
            uint32_t p[6];
            std::memcpy(p, data, sizeof p);
            intact = intact && size == sizeof p && field == int32_t(expected & 0xFF) && p[0] == expected &&
                     p[1] == ~expected && p[2] == expected * 3u && p[3] == (expected ^ 0xA5A5A5A5u) &&
                     p[4] == expected + 7u && p[5] == expected * 11u;
            ++expected;
        });
        if (n == 0) std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(intact);
    EXPECT_EQ(expected, kCount);
}
