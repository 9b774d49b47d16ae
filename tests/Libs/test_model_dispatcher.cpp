// The packet dispatcher on one thread: packets, handlers, dirty marking, dispatch order and contents,
// failing handlers and posts, and the re-entrant mutex.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AAX_CBinaryDisplayDelegate.h"
#include "AAX_CBinaryTaperDelegate.h"
#include "AAX_CEffectParameters.h"
#include "AAX_CLinearTaperDelegate.h"
#include "AAX_CMutex.h"
#include "AAX_CNumberDisplayDelegate.h"
#include "AAX_CPacketDispatcher.h"
#include "AAX_CParameter.h"
#include "AAX_VController.h"
#include "Libs/test_model_fake_host.h"

namespace {

// A data model holding the nine parameters of the effect (bypass on, every control at 0.5), used
// only as the source the default handler reads values from.
class NineParameters : public AAX_CEffectParameters {
public:
    AAX_Result EffectInit() override {
        auto bypass = std::make_unique<AAX_CParameter<bool>>(
            "MasterBypassID", AAX_CString("Master Bypass"), true, AAX_CBinaryTaperDelegate<bool>(),
            AAX_CBinaryDisplayDelegate<bool>("bypass", "on"), true);
        mParameterManager.AddParameter(bypass.release());
        for (const char* id : {"InGain", "FreqW", "Width", "FreqA", "Action", "Dyn", "Adj", "OutGain"}) {
            mParameterManager.AddParameter(new AAX_CParameter<float>(id, AAX_CString(id), 0.5f,
                                                                     AAX_CLinearTaperDelegate<float, 0>(0.0f, 1.0f),
                                                                     AAX_CNumberDisplayDelegate<float, 2, 0>(), true));
        }
        return AAX_SUCCESS;
    }
    AAX_IParameter* Parameter(const char* id) { return mParameterManager.GetParameterByID(id); }
};

constexpr const char* kIDs[] = {"MasterBypassID", "InGain", "FreqW", "Width", "FreqA",
                                "Action",         "Dyn",    "Adj",   "OutGain"};

using fakehost::FloatPacket;
using fakehost::IntPacket;

// Nine packets on fields 0-8, in the effect's registration order, all with the default handler.
class DispatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(model.Initialize(nullptr), AAX_SUCCESS);
        dispatcher.Initialize(&controller, &model);
        const AAX_CPacketHandler<AAX_CPacketDispatcher> single(&dispatcher,
                                                               &AAX_CPacketDispatcher::GenerateSingleValuePacket);
        for (int field = 0; field < 9; ++field) {
            ASSERT_EQ(dispatcher.RegisterPacket(kIDs[field], field, &single), AAX_SUCCESS);
        }
    }
    void TearDown() override { model.Uninitialize(); }

    NineParameters model;
    fakehost::Host host;
    AAX_VController controller{&host};
    AAX_CPacketDispatcher dispatcher;
};

// A handler owner whose results and calls the test controls.
struct HandlerOwner {
    AAX_Result result = AAX_SUCCESS;
    std::vector<std::string> calls;
    AAX_CPacketDispatcher* dispatcher = nullptr;
    const char* markWhileHandling = nullptr;

    AAX_Result WithID(const char* id, AAX_CPacket& packet) {
        calls.push_back(id);
        *packet.GetPtr<float>() = 0.25f;
        if (dispatcher != nullptr && markWhileHandling != nullptr) {
            dispatcher->SetDirty(markWhileHandling, true);  // re-enters the dispatcher on this thread
        }
        return result;
    }
    AAX_Result PacketOnly(AAX_CPacket& packet) {
        calls.push_back("<packet>");
        *packet.GetPtr<int32_t>() = 7;
        return result;
    }
};

// A dispatcher on the fake host's controller without a data model, with a handler whose results and
// calls the test controls.
class Dispatcher : public ::testing::Test {
protected:
    Dispatcher() { dispatcher.Initialize(&controller, nullptr); }

    fakehost::Host host;
    AAX_VController controller{&host};
    AAX_CPacketDispatcher dispatcher;
    HandlerOwner owner;
    const AAX_CPacketHandler<HandlerOwner> handler{&owner, &HandlerOwner::WithID};
};

}  // namespace

TEST(Packet, TypedAccessSetsTheSizeAndRegrowsWithZeros) {
    AAX_CPacket packet(0);
    *packet.GetPtr<double>() = -1.0;  // fills all eight bytes
    EXPECT_EQ(packet.GetSize(), 8u);
    *packet.GetPtr<float>() = 0.5f;  // shrinks to four bytes
    EXPECT_EQ(packet.GetSize(), 4u);
    // Growing back to the posted size must give zeros, not the old double's tail.
    const auto* bytes = static_cast<const unsigned char*>(packet.GetRawPtr(8));
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 8), FloatPacket(0.5f));
}

TEST(PacketHandler, CallsEitherCallbackAndClonesKeepTheBinding) {
    HandlerOwner owner;
    AAX_CPacket packet(0);
    const AAX_CPacketHandler<HandlerOwner> withID(&owner, &HandlerOwner::WithID);
    const AAX_CPacketHandler<HandlerOwner> packetOnly(&owner, &HandlerOwner::PacketOnly);
    std::unique_ptr<AAX_IPacketHandler> clone(withID.Clone());
    EXPECT_EQ(clone->Call("Dyn", packet), AAX_SUCCESS);
    EXPECT_EQ(packetOnly.Call("Dyn", packet), AAX_SUCCESS);
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"Dyn", "<packet>"}));
    const AAX_CPacketHandler<HandlerOwner> unbound(&owner, AAX_CPacketHandler<HandlerOwner>::CallbackOneArg(nullptr));
    EXPECT_EQ(unbound.Call("Dyn", packet), AAX_ERROR_NULL_OBJECT);
}

TEST_F(DispatcherTest, FirstDispatchPostsEveryPacketOnceInIdentifierOrder) {
    model.Parameter("MasterBypassID")->UpdateNormalizedValue(1.0);  // bypass on
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    // Ascending byte order of the identifiers, each packet on its own field.
    EXPECT_EQ(host.controller.Fields(), (std::vector<AAX_CFieldIndex>{5, 7, 6, 4, 2, 1, 0, 8, 3}));
    for (const auto& post : host.controller.posts) {
        SCOPED_TRACE(post.field);
        EXPECT_EQ(post.bytes, post.field == 0 ? IntPacket(1) : FloatPacket(0.5f));
    }
    host.controller.posts.clear();
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    EXPECT_TRUE(host.controller.posts.empty());
}

TEST_F(DispatcherTest, OnlyPacketsMarkedDirtyArePostedAgainWithTheCurrentValue) {
    dispatcher.Dispatch();
    host.controller.posts.clear();
    model.Parameter("Adj")->UpdateNormalizedValue(0.125);
    dispatcher.SetDirty("Adj", true);
    dispatcher.SetDirty("Width", true);
    dispatcher.SetDirty("Width", false);  // cleared again before the dispatch
    dispatcher.SetDirty("Nothing", true);  // no registration: changes nothing
    dispatcher.SetDirty(nullptr, true);
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    ASSERT_EQ(host.controller.posts.size(), 1u);
    EXPECT_EQ(host.controller.posts[0].field, 7);
    EXPECT_EQ(host.controller.posts[0].bytes, FloatPacket(0.125f));
}

TEST_F(DispatcherTest, RefusedPostIsReportedEvenWhenLaterPostsSucceed) {
    host.controller.postResultByField[1] = -5;  // InGain, posted before MasterBypassID, OutGain, Width
    EXPECT_EQ(dispatcher.Dispatch(), -5);       // later successful posts do not hide the refusal
    EXPECT_EQ(host.controller.posts.size(), 9u);  // the other packets were still posted
    // The refused packet is clean like every visited one: nothing is posted again without a change.
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    EXPECT_EQ(host.controller.posts.size(), 9u);

    host.controller.postResultByField[3] = -6;  // Width is posted last: the last refusal is reported
    for (const char* id : kIDs) dispatcher.SetDirty(id, true);
    EXPECT_EQ(dispatcher.Dispatch(), -6);
    EXPECT_EQ(host.controller.posts.size(), 18u);

    host.controller.postResultByField.clear();
    for (const char* id : kIDs) dispatcher.SetDirty(id, true);
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    EXPECT_EQ(host.controller.posts.size(), 27u);
}

TEST_F(DispatcherTest, WithoutControllerNothingIsPostedAndPacketsStayDirty) {
    dispatcher.Initialize(nullptr, &model);  // detached, as after the data model's Uninitialize
    EXPECT_EQ(dispatcher.Dispatch(), AAX_ERROR_NULL_OBJECT);
    EXPECT_TRUE(host.controller.posts.empty());
    dispatcher.Initialize(&controller, &model);
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    EXPECT_EQ(host.controller.posts.size(), 9u);
}

// A data model initialised a second time registers its parameters again: the new registration
// replaces the old one's handler and makes the packet due, instead of piling up beside it.
TEST_F(Dispatcher, RegisteringAParameterOnItsFieldAgainReplacesTheHandler) {
    HandlerOwner after;
    const AAX_CPacketHandler<HandlerOwner> second(&after, &HandlerOwner::WithID);
    ASSERT_EQ(dispatcher.RegisterPacket("Dyn", 6, &handler), AAX_SUCCESS);
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    ASSERT_EQ(dispatcher.RegisterPacket("Dyn", 6, &second), AAX_SUCCESS);
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    dispatcher.SetDirty("Dyn", true);
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    EXPECT_EQ(owner.calls.size(), 1u);
    EXPECT_EQ(after.calls.size(), 2u);
    EXPECT_EQ(host.controller.posts.size(), 3u);
}

TEST_F(Dispatcher, FailingHandlerLeavesItsPacketCleanAndUnposted) {
    owner.result = -42;
    dispatcher.RegisterPacket("Dyn", 6, &handler);
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);  // nothing posted: 0
    EXPECT_TRUE(host.controller.posts.empty());
    owner.result = AAX_SUCCESS;
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    EXPECT_TRUE(host.controller.posts.empty()) << "the failed packet must have been cleaned";
    EXPECT_EQ(owner.calls.size(), 1u);
    dispatcher.SetDirty("Dyn", true);
    dispatcher.Dispatch();
    ASSERT_EQ(host.controller.posts.size(), 1u);
    EXPECT_EQ(host.controller.posts[0].bytes, FloatPacket(0.25f));
}

TEST_F(Dispatcher, DefaultHandlerWithoutParameterFailsAndLeavesThePacket) {
    NineParameters model;
    ASSERT_EQ(model.Initialize(nullptr), AAX_SUCCESS);
    dispatcher.Initialize(&controller, &model);
    AAX_CPacket packet(0);
    EXPECT_EQ(dispatcher.GenerateSingleValuePacket("Missing", packet), AAX_ERROR_NULL_OBJECT);
    EXPECT_EQ(packet.GetSize(), 0u);
    EXPECT_EQ(dispatcher.GenerateSingleValuePacket("Dyn", packet), AAX_SUCCESS);
    EXPECT_EQ(packet.GetSize(), 4u);
    AAX_CPacketDispatcher detached;  // no data model to ask
    EXPECT_EQ(detached.GenerateSingleValuePacket("Dyn", packet), AAX_ERROR_NULL_OBJECT);
    model.Uninitialize();
}

TEST_F(Dispatcher, SharedFieldIsPostedOncePerDispatchByTheFirstIdentifier) {
    dispatcher.RegisterPacket("b", 4, &handler);
    dispatcher.RegisterPacket("a", 4, &handler);
    dispatcher.RegisterPacket("c", -1, &handler);  // no packet: never handled
    dispatcher.RegisterPacket(nullptr, 2, &handler);
    EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"a"}));
    EXPECT_EQ(host.controller.Fields(), (std::vector<AAX_CFieldIndex>{4}));
    dispatcher.SetDirty("b", true);  // marks the shared packet
    dispatcher.SetDirty("c", true);
    dispatcher.Dispatch();
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"a", "a"}));
}

TEST_F(Dispatcher, HandlerMayCallBackIntoTheDispatcherOnItsThread) {
    owner.dispatcher = &dispatcher;
    dispatcher.RegisterPacket("first", 0, &handler);
    dispatcher.RegisterPacket("second", 1, &handler);
    dispatcher.Dispatch();
    host.controller.posts.clear();
    owner.calls.clear();
    // While "first" is handled (lock held) it marks "second", which comes later in the same pass.
    owner.markWhileHandling = "second";
    dispatcher.SetDirty("first", true);
    dispatcher.Dispatch();
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(host.controller.Fields(), (std::vector<AAX_CFieldIndex>{0, 1}));
}

TEST_F(Dispatcher, GuardLetsItsOwnThreadUseTheDispatcher) {
    {
        const AAX_CPacketDispatcher::Guard outer(dispatcher);
        EXPECT_EQ(dispatcher.RegisterPacket("Dyn", 6, &handler), AAX_SUCCESS);
        {
            const AAX_CPacketDispatcher::Guard inner(dispatcher);  // nested: neither blocks nor takes
            EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
        }
        EXPECT_EQ(dispatcher.SetDirty("Dyn", true), AAX_SUCCESS);
        EXPECT_EQ(dispatcher.Dispatch(), AAX_SUCCESS);
    }
    EXPECT_EQ(host.controller.Fields(), (std::vector<AAX_CFieldIndex>{6, 6}));
    EXPECT_EQ(owner.calls, (std::vector<std::string>{"Dyn", "Dyn"}));
}

TEST(Mutex, OwnerRelockReturnsFalseWithoutBlockingAndOneUnlockReleases) {
    AAX_CMutex mutex;
    EXPECT_TRUE(mutex.Lock());
    EXPECT_FALSE(mutex.Lock());
    mutex.Unlock();
    // Released: the owner acquires it afresh.
    EXPECT_TRUE(mutex.Lock());
    mutex.Unlock();
    mutex.Unlock();  // not held: nothing happens
    EXPECT_TRUE(mutex.Lock());
    mutex.Unlock();
}
