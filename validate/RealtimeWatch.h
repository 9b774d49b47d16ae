// The control interface of libmarovex_rtwatch.so, the validator's interposer library. Preloaded
// (LD_PRELOAD), it stands in front of the C library's and the C++ runtime's allocation, locking,
// sleeping and file functions and counts the calls made while a watch is armed. The validator looks
// these functions up at run time; without the library preloaded they are absent.
#pragma once

#include <cstdint>

extern "C" {

enum MarovexWatchKind {
    kWatchMalloc,  // malloc, calloc, realloc, the aligned allocators
    kWatchFree,
    kWatchNew,     // every operator new
    kWatchDelete,  // every operator delete
    kWatchLock,    // mutex and read-write-lock locking
    kWatchSleep,   // sleep, usleep, nanosleep, clock_nanosleep
    kWatchFileIO,  // open, read, write, close and the stdio stream functions
    kWatchKinds
};

struct MarovexWatchCounts {
    uint64_t calls[kWatchKinds];
};

// Clears the counts and arms the watch: from now on the calls made on watched threads count.
typedef void (*MarovexWatchArmFn)();
// Disarms the watch and hands back the counts.
typedef void (*MarovexWatchDisarmFn)(MarovexWatchCounts* counts);
// Marks the calling thread as watched (on != 0) or not. Real-time safe: it only sets a thread-local flag.
typedef void (*MarovexWatchThreadFn)(int on);
}

// Readable names of the kinds, in order.
inline const char* MarovexWatchKindName(int kind) {
    static const char* const names[kWatchKinds] = {"malloc", "free", "new", "delete", "lock", "sleep", "file I/O"};
    return kind >= 0 && kind < kWatchKinds ? names[kind] : "?";
}
