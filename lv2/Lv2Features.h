// Reading what a host hands to instantiate (its feature array and options) without trusting it
// further than the host can be relied on.
//
// Hosts do pass broken arrays: null entries, entries whose URI or data is null, duplicates, and
// entries that were never filled in (lv2file 0.95 hands plug-ins that declare the worker interface
// a fourth entry that is uninitialised stack memory; its URI pointer has been seen as null and as
// 0x41564952). So every byte of the host's that is read here is first copied by the kernel, which
// reports an address that cannot be read instead of faulting: an entry or a URI that cannot be read
// is skipped, a URI is compared over at most the length of the one looked for plus its NUL, and the
// first readable entry with a wanted URI and non-null data wins (every feature looked for here needs
// its data, so a duplicate with data counts after one without). What an entry's data points to is
// the host's promise: it is copied the same way, so an unreadable record counts as not offered, but
// a readable pointer to something else cannot be told from the real thing.
//
// Threading: instantiate's thread (these make system calls; never on the audio thread).
#pragma once

#include <lv2/core/lv2.h>

#include <cstddef>
#include <cstdint>

namespace marovex_lv2 {

// Copies the longest readable prefix of the n bytes at the host's address src (at most 4096) into
// dst and returns its length; never faults. The kernel reads (process_vm_readv on this process, or,
// where a sandbox forbids that call, a write into a pipe), so an unmapped address gives 0.
size_t ReadableCopy(void* dst, const void* src, size_t n);
// True when all n bytes could be copied.
inline bool CopyFromHost(void* dst, const void* src, size_t n) { return ReadableCopy(dst, src, n) == n; }

// One feature looked for: its URI (ours, a literal) and, once found, the host's data pointer.
struct WantedFeature {
    const char* uri;
    const void* data = nullptr;
    bool found = false;
};

// Fills in `wanted` from the host's array: null array, null entries, unreadable entries, null data
// and null, unreadable or unknown URIs are skipped; the array ends at its null terminator, at an
// entry pointer that cannot be read, after kMaxFeatureEntries entries, or once all are found.
constexpr int kMaxFeatureEntries = 256;
void FindFeatures(const LV2_Feature* const* features, WantedFeature* wanted, size_t count);

// From the host's options array (options:options, records ending at a zero key): copies into `value`
// the value of the first record with `key` and `type` whose value is `size` bytes, and returns true;
// false when there is none. Each record and value is copied from the host as above; the array also
// ends at a record that cannot be read, or after kMaxOptionRecords records.
constexpr int kMaxOptionRecords = 64;
bool ReadOption(const void* options, uint32_t key, uint32_t type, void* value, uint32_t size);

// The host's null-terminated URI compared with ours without reading more than ours is long plus one.
bool SameUri(const char* hostUri, const char* ours);

}  // namespace marovex_lv2
