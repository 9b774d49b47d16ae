// libmarovex_rtwatch.so: counts calls to allocation, locking, sleeping and file functions on watched
// threads (see RealtimeWatch.h). Every interposed function forwards to the next definition
// (dlsym(RTLD_NEXT)); before that is known (dlsym itself may allocate) allocations come from a small
// static arena that is never freed.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "RealtimeWatch.h"

#define WATCH_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::atomic<int> gArmed{0};
std::atomic<uint64_t> gCounts[kWatchKinds];
__thread int tWatched __attribute__((tls_model("initial-exec"))) = 0;
__thread int tInside __attribute__((tls_model("initial-exec"))) = 0;   // inside an interposer

void Count(int kind) {
    if (tWatched == 0 || tInside != 0 || gArmed.load(std::memory_order_relaxed) == 0) return;
    gCounts[kind].fetch_add(1, std::memory_order_relaxed);
}

// Keeps the counting of nested interposed calls (an operator new calling malloc) to the outer one.
struct Inside {
    Inside() { ++tInside; }
    ~Inside() { --tInside; }
};

alignas(64) char gArena[64 * 1024];
std::atomic<size_t> gArenaUsed{0};
__thread int tResolving __attribute__((tls_model("initial-exec"))) = 0;

void* ArenaAlloc(size_t size) {
    const size_t n = (size + 63) & ~size_t(63);
    const size_t at = gArenaUsed.fetch_add(n);
    if (at + n > sizeof gArena) abort();
    return gArena + at;
}

bool InArena(const void* p) {
    return p >= static_cast<const void*>(gArena) && p < static_cast<const void*>(gArena + sizeof gArena);
}

template <typename Fn>
Fn Next(const char* name) {
    ++tResolving;
    void* f = dlsym(RTLD_NEXT, name);
    --tResolving;
    if (f == nullptr) abort();
    return reinterpret_cast<Fn>(f);
}

#define NEXT(type, name)                                   \
    using NextFn = type;                                   \
    static NextFn next_ = nullptr;                         \
    if (next_ == nullptr) next_ = Next<NextFn>(name);

using MallocFn = void* (*)(size_t);
using FreeFn = void (*)(void*);
using CallocFn = void* (*)(size_t, size_t);
using ReallocFn = void* (*)(void*, size_t);
using MemalignFn = int (*)(void**, size_t, size_t);
using AlignedFn = void* (*)(size_t, size_t);

MallocFn RealMalloc() { NEXT(MallocFn, "malloc") return next_; }
FreeFn RealFree() { NEXT(FreeFn, "free") return next_; }
AlignedFn RealAligned() { NEXT(AlignedFn, "aligned_alloc") return next_; }

void* NewImpl(size_t size) {
    Count(kWatchNew);
    Inside in;
    void* p = RealMalloc()(size ? size : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* NewAligned(size_t size, size_t align) {
    Count(kWatchNew);
    Inside in;
    size = (size + align - 1) / align * align;
    void* p = RealAligned()(align, size ? size : align);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void DeleteImpl(void* p) {
    Count(kWatchDelete);
    Inside in;
    if (p != nullptr && !InArena(p)) RealFree()(p);
}

// Looks the allocation functions up once, when the library is loaded, rather than on first use.
__attribute__((constructor)) void ResolveEarly() {
    RealMalloc();
    RealFree();
    RealAligned();
}

}  // namespace

WATCH_EXPORT void marovex_watch_arm() {
    for (auto& c : gCounts) c.store(0);
    gArmed.store(1);
}

WATCH_EXPORT void marovex_watch_disarm(MarovexWatchCounts* counts) {
    gArmed.store(0);
    for (int k = 0; k < kWatchKinds; ++k) counts->calls[k] = gCounts[k].load();
}

WATCH_EXPORT void marovex_watch_thread(int on) { tWatched = on; }

// --- Allocation ---

WATCH_EXPORT void* malloc(size_t size) {
    if (tResolving) return ArenaAlloc(size);
    Count(kWatchMalloc);
    Inside in;
    return RealMalloc()(size);
}

WATCH_EXPORT void free(void* p) {
    // While the next definitions are being looked up, a block the look-up lets go of is left alone:
    // looking up free from inside free would never end.
    if (InArena(p) || tResolving) return;
    Count(kWatchFree);
    Inside in;
    RealFree()(p);
}

WATCH_EXPORT void* calloc(size_t n, size_t size) {
    if (tResolving) {
        void* p = ArenaAlloc(n * size);  // the arena is zero and never reused
        return p;
    }
    Count(kWatchMalloc);
    Inside in;
    NEXT(CallocFn, "calloc")
    return next_(n, size);
}

WATCH_EXPORT void* realloc(void* p, size_t size) {
    Count(kWatchMalloc);
    Inside in;
    NEXT(ReallocFn, "realloc")
    if (InArena(p)) {
        void* q = next_(nullptr, size);
        const size_t left = static_cast<size_t>(gArena + sizeof gArena - static_cast<char*>(p));
        if (q != nullptr) __builtin_memcpy(q, p, size < left ? size : left);
        return q;
    }
    return next_(p, size);
}

WATCH_EXPORT int posix_memalign(void** out, size_t align, size_t size) {
    Count(kWatchMalloc);
    Inside in;
    NEXT(MemalignFn, "posix_memalign")
    return next_(out, align, size);
}

WATCH_EXPORT void* aligned_alloc(size_t align, size_t size) {
    Count(kWatchMalloc);
    Inside in;
    return RealAligned()(align, size);
}

WATCH_EXPORT void* memalign(size_t align, size_t size) {
    Count(kWatchMalloc);
    Inside in;
    NEXT(AlignedFn, "memalign")
    return next_(align, size);
}

// --- The C++ allocation functions (the runtime's own forward to malloc and free) ---

#define WATCH_CPP __attribute__((visibility("default")))
WATCH_CPP void* operator new(size_t size) { return NewImpl(size); }
WATCH_CPP void* operator new[](size_t size) { return NewImpl(size); }
WATCH_CPP void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return NewImpl(size);
    } catch (...) {
        return nullptr;
    }
}
WATCH_CPP void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return NewImpl(size);
    } catch (...) {
        return nullptr;
    }
}
WATCH_CPP void* operator new(size_t size, std::align_val_t a) { return NewAligned(size, size_t(a)); }
WATCH_CPP void* operator new[](size_t size, std::align_val_t a) { return NewAligned(size, size_t(a)); }
WATCH_CPP void operator delete(void* p) noexcept { DeleteImpl(p); }
WATCH_CPP void operator delete[](void* p) noexcept { DeleteImpl(p); }
WATCH_CPP void operator delete(void* p, size_t) noexcept { DeleteImpl(p); }
WATCH_CPP void operator delete[](void* p, size_t) noexcept { DeleteImpl(p); }
WATCH_CPP void operator delete(void* p, const std::nothrow_t&) noexcept { DeleteImpl(p); }
WATCH_CPP void operator delete[](void* p, const std::nothrow_t&) noexcept { DeleteImpl(p); }
WATCH_CPP void operator delete(void* p, std::align_val_t) noexcept { DeleteImpl(p); }
WATCH_CPP void operator delete[](void* p, std::align_val_t) noexcept { DeleteImpl(p); }
WATCH_CPP void operator delete(void* p, size_t, std::align_val_t) noexcept { DeleteImpl(p); }
WATCH_CPP void operator delete[](void* p, size_t, std::align_val_t) noexcept { DeleteImpl(p); }

// --- Locks ---

#define FORWARD_LOCK(name, type)                    \
    WATCH_EXPORT int name(type* lock) {             \
        Count(kWatchLock);                          \
        Inside in;                                  \
        NEXT(int (*)(type*), #name)                 \
        return next_(lock);                         \
    }
FORWARD_LOCK(pthread_mutex_lock, pthread_mutex_t)
FORWARD_LOCK(pthread_mutex_trylock, pthread_mutex_t)
FORWARD_LOCK(pthread_rwlock_rdlock, pthread_rwlock_t)
FORWARD_LOCK(pthread_rwlock_wrlock, pthread_rwlock_t)
FORWARD_LOCK(pthread_spin_lock, pthread_spinlock_t)

WATCH_EXPORT int pthread_mutex_timedlock(pthread_mutex_t* lock, const struct timespec* until) {
    Count(kWatchLock);
    Inside in;
    NEXT(int (*)(pthread_mutex_t*, const struct timespec*), "pthread_mutex_timedlock")
    return next_(lock, until);
}

// --- Sleeping ---

WATCH_EXPORT unsigned int sleep(unsigned int seconds) {
    Count(kWatchSleep);
    Inside in;
    NEXT(unsigned int (*)(unsigned int), "sleep")
    return next_(seconds);
}

WATCH_EXPORT int usleep(useconds_t us) {
    Count(kWatchSleep);
    Inside in;
    NEXT(int (*)(useconds_t), "usleep")
    return next_(us);
}

WATCH_EXPORT int nanosleep(const struct timespec* req, struct timespec* rem) {
    Count(kWatchSleep);
    Inside in;
    NEXT(int (*)(const struct timespec*, struct timespec*), "nanosleep")
    return next_(req, rem);
}

WATCH_EXPORT int clock_nanosleep(clockid_t clock, int flags, const struct timespec* req, struct timespec* rem) {
    Count(kWatchSleep);
    Inside in;
    NEXT(int (*)(clockid_t, int, const struct timespec*, struct timespec*), "clock_nanosleep")
    return next_(clock, flags, req, rem);
}

// --- File I/O ---

WATCH_EXPORT int open(const char* path, int flags, ...) {
    Count(kWatchFileIO);
    Inside in;
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;
    va_end(ap);
    NEXT(int (*)(const char*, int, ...), "open")
    return next_(path, flags, mode);
}

WATCH_EXPORT int open64(const char* path, int flags, ...) {
    Count(kWatchFileIO);
    Inside in;
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;
    va_end(ap);
    NEXT(int (*)(const char*, int, ...), "open64")
    return next_(path, flags, mode);
}

WATCH_EXPORT int openat(int dir, const char* path, int flags, ...) {
    Count(kWatchFileIO);
    Inside in;
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;
    va_end(ap);
    NEXT(int (*)(int, const char*, int, ...), "openat")
    return next_(dir, path, flags, mode);
}

#define FORWARD_IO(ret, name, params, args)   \
    WATCH_EXPORT ret name params {            \
        Count(kWatchFileIO);                  \
        Inside in;                            \
        NEXT(ret(*) params, #name)            \
        return next_ args;                    \
    }
FORWARD_IO(int, close, (int fd), (fd))
FORWARD_IO(ssize_t, read, (int fd, void* buf, size_t n), (fd, buf, n))
FORWARD_IO(ssize_t, write, (int fd, const void* buf, size_t n), (fd, buf, n))
FORWARD_IO(ssize_t, pread, (int fd, void* buf, size_t n, off_t at), (fd, buf, n, at))
FORWARD_IO(ssize_t, pwrite, (int fd, const void* buf, size_t n, off_t at), (fd, buf, n, at))
FORWARD_IO(ssize_t, readv, (int fd, const struct iovec* v, int n), (fd, v, n))
FORWARD_IO(ssize_t, writev, (int fd, const struct iovec* v, int n), (fd, v, n))
FORWARD_IO(int, fsync, (int fd), (fd))
FORWARD_IO(FILE*, fopen, (const char* path, const char* mode), (path, mode))
FORWARD_IO(FILE*, fopen64, (const char* path, const char* mode), (path, mode))
FORWARD_IO(int, fclose, (FILE * f), (f))
FORWARD_IO(size_t, fread, (void* buf, size_t size, size_t n, FILE* f), (buf, size, n, f))
FORWARD_IO(size_t, fwrite, (const void* buf, size_t size, size_t n, FILE* f), (buf, size, n, f))
FORWARD_IO(int, fputs, (const char* s, FILE* f), (s, f))
FORWARD_IO(int, puts, (const char* s), (s))
FORWARD_IO(int, fputc, (int c, FILE* f), (c, f))
FORWARD_IO(int, putchar, (int c), (c))
FORWARD_IO(int, fflush, (FILE * f), (f))
FORWARD_IO(int, vfprintf, (FILE * f, const char* format, va_list ap), (f, format, ap))
FORWARD_IO(int, vprintf, (const char* format, va_list ap), (format, ap))

WATCH_EXPORT int fprintf(FILE* f, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    const int n = vfprintf(f, format, ap);
    va_end(ap);
    return n;
}

WATCH_EXPORT int printf(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    const int n = vfprintf(stdout, format, ap);
    va_end(ap);
    return n;
}
