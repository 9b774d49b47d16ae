// Holds the platform's autorelease pool for the lifetime of the object, around editor teardown.
// On this platform there is no such pool and the holder does nothing; it keeps the teardown code
// the same on every platform. Threading: the user-interface thread.
#pragma once

class AAX_CAutoreleasePool {
public:
    AAX_CAutoreleasePool();
    ~AAX_CAutoreleasePool();
    AAX_CAutoreleasePool(const AAX_CAutoreleasePool&) = delete;
    AAX_CAutoreleasePool& operator=(const AAX_CAutoreleasePool&) = delete;

private:
    void* mPool;  // the platform's pool; always null here
};
