// The dispatcher's lock across threads: the mutex excludes other threads, and packets marked dirty on
// one thread while another dispatches are each posted whole, at most once per dispatch, in order,
// and never lost. Run under ThreadSanitizer by scripts/test-extra.sh (label "threads").
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AAX_CMutex.h"
#include "AAX_CPacketDispatcher.h"
#include "AAX_VController.h"
#include "Libs/test_model_fake_host.h"

namespace {

// Fills each packet with its field index as a float.
struct FieldValueHandler {
    AAX_Result Fill(AAX_CPacket& packet) {
        *packet.GetPtr<float>() = static_cast<float>(packet.GetID());
        return AAX_SUCCESS;
    }
};

constexpr const char* kIDs[] = {"MasterBypassID", "InGain", "FreqW", "Width", "FreqA",
                                "Action",         "Dyn",    "Adj",   "OutGain"};

}  // namespace

TEST(MutexThreads, AnotherThreadWaitsForTheOwnerAndCannotReleaseIt) {
    AAX_CMutex mutex;
    ASSERT_TRUE(mutex.Lock());
    std::atomic<bool> otherHasLock{false};
    std::thread other([&] {
        mutex.Unlock();  // not the owner: must not release the main thread's hold
        EXPECT_TRUE(mutex.Lock());  // waits until the main thread unlocks
        otherHasLock = true;
        EXPECT_FALSE(mutex.Lock());  // now the owner itself
        mutex.Unlock();
    });
    // Still the owner after the other thread's Unlock: a nested Lock is refused without blocking.
    EXPECT_FALSE(mutex.Lock());
    EXPECT_FALSE(otherHasLock.load());
    mutex.Unlock();
    other.join();
    EXPECT_TRUE(otherHasLock.load());
    EXPECT_TRUE(mutex.Lock());
    mutex.Unlock();
}

TEST(DispatcherThreads, MarkingDirtyWhileAnotherThreadDispatches) {
    // The fake controller is only ever called by the dispatching thread, under the dispatcher's lock.
    fakehost::Host host;
    AAX_VController controller(&host);
    AAX_CPacketDispatcher dispatcher;
    FieldValueHandler owner;
    dispatcher.Initialize(&controller, nullptr);
    const AAX_CPacketHandler<FieldValueHandler> handler(&owner, &FieldValueHandler::Fill);
    for (int field = 0; field < 9; ++field) dispatcher.RegisterPacket(kIDs[field], field, &handler);

    // The order in which a single dispatch visits the fields (ascending identifier).
    const std::map<AAX_CFieldIndex, int> rank = {{5, 0}, {7, 1}, {6, 2}, {4, 3}, {2, 4},
                                                 {1, 5}, {0, 6}, {8, 7}, {3, 8}};
    constexpr int kMarks = 20000;
    std::atomic<bool> markerDone{false};
    bool perDispatchOk = true;
    int dispatches = 0;

    std::thread marker([&] {
        for (int i = 0; i < kMarks; ++i) dispatcher.SetDirty(kIDs[(i * 7) % 9], true);
        markerDone = true;
    });
    std::thread dispatching([&] {
        auto dispatchOnce = [&] {
            const size_t before = host.controller.posts.size();
            dispatcher.Dispatch();
            ++dispatches;
            // Within one dispatch: each field at most once, in identifier order, whole 8-byte packets.
            int lastRank = -1;
            for (size_t i = before; i < host.controller.posts.size(); ++i) {
                const auto& post = host.controller.posts[i];
                const int r = rank.at(post.field);
                float value = -1.0f;
                std::memcpy(&value, post.bytes.data(), 4);
                const bool tailZero = post.bytes[4] == 0 && post.bytes[5] == 0 && post.bytes[6] == 0 &&
                                      post.bytes[7] == 0;
                if (r <= lastRank || post.bytes.size() != 8 || value != float(post.field) || !tailZero) {
                    perDispatchOk = false;
                }
                lastRank = r;
            }
        };
        while (!markerDone.load()) dispatchOnce();
        dispatchOnce();  // after the last mark: picks up whatever is still dirty
    });
    marker.join();
    dispatching.join();

    EXPECT_TRUE(perDispatchOk);
    EXPECT_GE(dispatches, 1);
    // Every mark was consumed by the final dispatch: nothing is left dirty, nothing is lost.
    const size_t before = host.controller.posts.size();
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    EXPECT_EQ(host.controller.posts.size(), before);
    // The first dispatch posted all nine (every packet starts dirty).
    std::set<AAX_CFieldIndex> seen;
    for (size_t i = 0; i < host.controller.posts.size() && seen.size() < 9; ++i) seen.insert(host.controller.posts[i].field);
    EXPECT_EQ(seen.size(), 9u);
}
