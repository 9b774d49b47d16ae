// CACFUnknown: reference counting, interface queries and the process-wide count of live objects,
// including many threads adding and releasing references at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "AAX_UIDs.h"
#include "CACFUnknown.h"

namespace {

struct Tally {
    std::atomic<int> finalReleases{0};
    std::atomic<int> destructions{0};
    std::atomic<int> destroyedWithoutFinalRelease{0};
};

// Records its teardown so tests can see FinalRelease run once, before the destructor.
class CountedObject : public CACFUnknown {
public:
    explicit CountedObject(Tally* tally) : mTally(tally) {}
    ~CountedObject() override {
        if (!mFinalReleased) ++mTally->destroyedWithoutFinalRelease;
        ++mTally->destructions;
    }
    void FinalRelease() override {
        mFinalReleased = true;
        ++mTally->finalReleases;
    }

private:
    Tally* mTally;
    bool mFinalReleased = false;
};

// A subclass that offers one more interface and defers the rest, as the data model and GUI do.
class ExtendedObject : public CACFUnknown {
public:
    ACFRESULT InternalQueryInterface(const acfIID& iid, void** out) override {
        if (out != nullptr && iid == IID_IAAXEffectGUIV1) {
            *out = this;
            InternalAddRef();
            return ACF_OK;
        }
        return CACFUnknown::InternalQueryInterface(iid, out);
    }
};

}  // namespace

TEST(ComponentObject, ReferenceCountingAndLiveObjectCount) {
    const int32_t before = CACFUnknown::GetActiveObjectCount();
    Tally tally;
    auto* object = new CountedObject(&tally);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), before + 1);
    auto* second = new CountedObject(&tally);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), before + 2);

    EXPECT_EQ(object->GetOuterUnknown(), object->GetInnerUnknown());  // not aggregated
    EXPECT_EQ(object->InitializeInstance(nullptr), ACF_OK);
    IACFUnknown* unknown = object->GetInnerUnknown();
    EXPECT_EQ(unknown->AddRef(), 1u);
    EXPECT_EQ(object->InternalAddRef(), 2u);
    EXPECT_EQ(unknown->Release(), 1u);
    EXPECT_EQ(tally.destructions.load(), 0);
    EXPECT_EQ(unknown->Release(), 0u);  // the last reference destroys the object
    EXPECT_EQ(tally.finalReleases.load(), 1);
    EXPECT_EQ(tally.destructions.load(), 1);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), before + 1);

    second->InternalAddRef();
    second->InternalRelease();
    EXPECT_EQ(tally.destructions.load(), 2);
    EXPECT_EQ(tally.destroyedWithoutFinalRelease.load(), 0);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), before);
}

TEST(ComponentObject, InterfaceQueries) {
    auto* object = new ExtendedObject;
    object->InternalAddRef();

    // An unknown identifier: no interface, null output, no reference taken.
    void* out = object;
    EXPECT_EQ(object->GetInnerUnknown()->QueryInterface(IID_IAAXEffectParametersV1, &out), ACF_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    // One byte away from the root identifier is a different identifier.
    _acfUID nearlyRoot = IID_IACFUnknown;
    nearlyRoot.Data4[7] ^= 0x01;
    out = object;
    EXPECT_EQ(object->InternalQueryInterface(nearlyRoot, &out), ACF_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->InternalAddRef(), 2u);  // still only the one reference from above, plus this
    object->InternalRelease();

    // The root identifier gives the inner unknown with a reference added.
    EXPECT_EQ(object->InternalQueryInterface(IID_IACFUnknown, &out), ACF_OK);
    EXPECT_EQ(out, object->GetInnerUnknown());
    EXPECT_EQ(static_cast<IACFUnknown*>(out)->Release(), 1u);

    // The subclass's own interface, and the base's answer behind it.
    EXPECT_EQ(object->GetInnerUnknown()->QueryInterface(IID_IAAXEffectGUIV1, &out), ACF_OK);
    EXPECT_EQ(out, object);
    EXPECT_EQ(object->InternalRelease(), 1u);
    EXPECT_EQ(object->InternalQueryInterface(IID_IACFUnknown, nullptr), ACF_E_FAIL);  // no output at all

    EXPECT_EQ(object->InternalRelease(), 0u);
}

TEST(ComponentObject, CountsStayExactUnderManyThreads) {
    constexpr int kThreads = 8;
    constexpr int kIterations = 20000;
    constexpr int kShared = 4;
    const int32_t before = CACFUnknown::GetActiveObjectCount();

    Tally sharedTally;
    Tally localTally;
    std::vector<CountedObject*> shared;
    for (int i = 0; i < kShared; ++i) {
        shared.push_back(new CountedObject(&sharedTally));
        shared.back()->InternalAddRef();  // the test's own reference
        for (int t = 0; t < kThreads; ++t) shared.back()->InternalAddRef();  // one per thread, released there
    }

    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            for (int i = 0; i < kIterations; ++i) {
                CountedObject* object = shared[static_cast<size_t>((i + t) % kShared)];
                object->GetInnerUnknown()->AddRef();
                // Objects created and destroyed while others are being counted.
                auto* local = new CountedObject(&localTally);
                local->InternalAddRef();
                local->InternalRelease();
                object->GetInnerUnknown()->Release();
            }
            for (CountedObject* object : shared) object->InternalRelease();
        });
    }
    go = true;
    for (auto& thread : threads) thread.join();

    EXPECT_EQ(localTally.destructions.load(), kThreads * kIterations);
    EXPECT_EQ(localTally.finalReleases.load(), kThreads * kIterations);
    EXPECT_EQ(sharedTally.destructions.load(), 0);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), before + kShared);
    for (CountedObject* object : shared) {
        EXPECT_EQ(object->InternalAddRef(), 2u);  // exactly the test's reference was left
        object->InternalRelease();
    }

    // The last references are released on several threads at once: each object dies exactly once.
    for (CountedObject* object : shared) {
        for (int t = 1; t < kThreads; ++t) object->InternalAddRef();
    }
    go = false;
    threads.clear();
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            while (!go.load()) std::this_thread::yield();
            for (CountedObject* object : shared) object->InternalRelease();
        });
    }
    go = true;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(sharedTally.destructions.load(), kShared);
    EXPECT_EQ(sharedTally.finalReleases.load(), kShared);
    EXPECT_EQ(sharedTally.destroyedWithoutFinalRelease.load() + localTally.destroyedWithoutFinalRelease.load(), 0);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), before);
}
