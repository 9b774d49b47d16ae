// The dispatcher's lock across threads: the mutex and the dispatcher's guard exclude other threads,
// packets marked dirty on one thread while another dispatches are each posted whole, at most once
// per dispatch, in order, and never lost, and the data model's updates may race its dispatches.
// Run under ThreadSanitizer by scripts/test-extra.sh (label "threads").
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AAX_CEffectParameters.h"
#include "AAX_CLinearTaperDelegate.h"
#include "AAX_CMutex.h"
#include "AAX_CNumberDisplayDelegate.h"
#include "AAX_CPacketDispatcher.h"
#include "AAX_CParameter.h"
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

// A data model with one float parameter, "Gain", posted by the default handler to field 1.
class OneParameter : public AAX_CEffectParameters {
public:
    AAX_Result EffectInit() override {
        mParameterManager.AddParameter(new AAX_CParameter<float>("Gain", AAX_CString("Gain"), 0.0f,
                                                                 AAX_CLinearTaperDelegate<float, 0>(0.0f, 1.0f),
                                                                 AAX_CNumberDisplayDelegate<float, 2, 0>(), true));
        const AAX_CPacketHandler<AAX_CPacketDispatcher> single(&mPacketDispatcher,
                                                               &AAX_CPacketDispatcher::GenerateSingleValuePacket);
        mPacketDispatcher.RegisterPacket("Gain", 1, &single);
        return AAX_SUCCESS;
    }
};

}  // namespace

// The kernel's scheduling state of one of this process's threads ('R' running, 'S' sleeping ...).
char ThreadState(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() ? text[close + 2] : '?';
}

// Exclusion made observable without timing: the other thread announces itself, then calls Lock.
// The main thread holds the lock until the other thread either sleeps (blocked in Lock, the only
// call after its announcement that can sleep) or has come back from Lock; only then does it note
// its release and unlock. A Lock that does not exclude comes back before the release every time.
TEST(MutexThreads, AnotherThreadWaitsForTheOwnerAndCannotReleaseIt) {
    AAX_CMutex mutex;
    ASSERT_TRUE(mutex.Lock());
    std::atomic<pid_t> otherTid{0};
    std::atomic<bool> returned{false}, released{false}, releasedBeforeReturn{false};
    std::thread other([&] {
        mutex.Unlock();  // not the owner: must not release the main thread's hold
        otherTid = static_cast<pid_t>(::syscall(SYS_gettid));
        const bool locked = mutex.Lock();
        releasedBeforeReturn = released.load();
        returned = true;
        EXPECT_TRUE(locked);
        EXPECT_FALSE(mutex.Lock());  // now the owner itself
        mutex.Unlock();
    });
    while (otherTid.load() == 0) std::this_thread::yield();
    while (!returned.load() && ThreadState(otherTid.load()) != 'S') std::this_thread::yield();
    // Still the owner after the other thread's Unlock: a nested Lock is refused without blocking.
    EXPECT_FALSE(mutex.Lock());
    released = true;
    mutex.Unlock();
    other.join();
    EXPECT_TRUE(releasedBeforeReturn.load());
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

TEST(DispatcherThreads, GuardKeepsOtherThreadsOutUntilTheOutermostGuardEnds) {
    fakehost::Host host;
    AAX_VController controller(&host);
    AAX_CPacketDispatcher dispatcher;
    FieldValueHandler owner;
    dispatcher.Initialize(&controller, nullptr);
    const AAX_CPacketHandler<FieldValueHandler> handler(&owner, &FieldValueHandler::Fill);
    dispatcher.RegisterPacket("Dyn", 6, &handler);

    std::atomic<bool> started{false};
    std::atomic<bool> dispatched{false};
    std::thread other;
    {
        const AAX_CPacketDispatcher::Guard outer(dispatcher);
        { const AAX_CPacketDispatcher::Guard inner(dispatcher); }  // must not release the outer hold
        other = std::thread([&] {
            started = true;
            dispatcher.Dispatch();
            dispatched = true;
        });
        while (!started.load()) std::this_thread::yield();
        for (int i = 0; i < 1000; ++i) std::this_thread::yield();
        // Still held: the other thread's dispatch waits, so nothing has been posted.
        EXPECT_FALSE(dispatched.load());
        EXPECT_TRUE(host.controller.posts.empty());
    }
    other.join();
    EXPECT_TRUE(dispatched.load());
    EXPECT_EQ(host.controller.Fields(), (std::vector<AAX_CFieldIndex>{6}));
}

// The host may answer set requests on one thread while another generates coefficients. Each value is
// stored under the dispatcher's lock, so a dispatch reads only values that were written in full (the
// sanitizer run checks there is no unordered access), in the order they were written, and the last
// one always reaches the host.
TEST(DispatcherThreads, UpdatesOnOneThreadWhileAnotherGeneratesCoefficients) {
    fakehost::Host host;
    OneParameter model;
    ASSERT_EQ(model.Initialize(&host), AAX_SUCCESS);
    constexpr int kUpdates = 4000;
    std::atomic<bool> updatesDone{false};

    std::thread updating([&] {
        for (int i = 1; i <= kUpdates; ++i) {
            model.UpdateParameterNormalizedValue("Gain", double(i) / kUpdates, AAX_eUpdateSource_Unspecified);
        }
        updatesDone = true;
    });
    std::thread generating([&] {
        while (!updatesDone.load()) model.GenerateCoefficients();
        model.GenerateCoefficients();  // after the last update
    });
    updating.join();
    generating.join();

    ASSERT_FALSE(host.controller.posts.empty());
    float previous = -1.0f;
    bool ordered = true;
    bool written = true;
    for (const auto& post : host.controller.posts) {
        float value = -1.0f;
        std::memcpy(&value, post.bytes.data(), 4);
        // The default 0, or one of the values written: k / kUpdates rounded to float.
        const double k = double(value) * kUpdates;
        written = written && post.field == 1 && (value == 0.0f || value == float(std::round(k) / kUpdates));
        ordered = ordered && value >= previous;
        previous = value;
    }
    EXPECT_TRUE(written);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(previous, 1.0f);
    int32_t changes = 0;
    model.GetNumberOfChanges(&changes);
    EXPECT_EQ(changes, kUpdates);
    model.Uninitialize();
}
