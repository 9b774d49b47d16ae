// A mutex that the thread holding it may take again without blocking.
//
// Lock() returns true only for the call that actually acquired the mutex; a nested Lock() by the
// owner returns false, and the caller must then not call Unlock(). This lets a packet handler that
// runs under the dispatcher's lock call back into the dispatcher on the same thread.
#pragma once

class AAX_CMutex {
public:
    AAX_CMutex();
    ~AAX_CMutex();
    AAX_CMutex(const AAX_CMutex&) = delete;
    AAX_CMutex& operator=(const AAX_CMutex&) = delete;

    // Acquires the mutex (blocking while another thread holds it) and returns true. Returns false
    // without blocking when the calling thread already holds it, or when the platform mutex could
    // not be created. Threading: any non-audio thread; it may block.
    bool Lock();
    // Releases the mutex if the calling thread holds it; otherwise does nothing.
    void Unlock();

private:
    struct SRecord;
    SRecord* mRecord;  // null when the platform mutex could not be created
};
