#include "AAX_CMutex.h"

#include <pthread.h>

#include <atomic>
#include <new>
#include <thread>

// The owner is written only by the thread that holds the platform mutex and compared by any thread
// with its own identifier: a thread can only ever see its own identifier there if it stored it
// itself, so relaxed atomic accesses are enough to keep the comparison free of data races.
struct AAX_CMutex::SRecord {
    std::atomic<std::thread::id> mOwner{};
    pthread_mutex_t mMutex;
};

AAX_CMutex::AAX_CMutex() : mRecord(new (std::nothrow) SRecord) {
    if (mRecord != nullptr && pthread_mutex_init(&mRecord->mMutex, nullptr) != 0) {
        delete mRecord;
        mRecord = nullptr;
    }
}

AAX_CMutex::~AAX_CMutex() {
    if (mRecord != nullptr) {
        pthread_mutex_destroy(&mRecord->mMutex);
        delete mRecord;
    }
}

bool AAX_CMutex::Lock() {
    if (mRecord == nullptr) {
        return false;
    }
    const std::thread::id self = std::this_thread::get_id();
    if (mRecord->mOwner.load(std::memory_order_relaxed) == self) {
        return false;
    }
    if (pthread_mutex_lock(&mRecord->mMutex) != 0) {
        return false;
    }
    mRecord->mOwner.store(self, std::memory_order_relaxed);
    return true;
}

void AAX_CMutex::Unlock() {
    if (mRecord == nullptr || mRecord->mOwner.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
        return;
    }
    mRecord->mOwner.store(std::thread::id(), std::memory_order_relaxed);
    pthread_mutex_unlock(&mRecord->mMutex);
}
