#include "Lv2Features.h"

#include <lv2/options/options.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace marovex_lv2 {
namespace {

// Pieces are split at multiples of this, so that a range running into an unmapped page still gives
// the part before it (the kernel transfers whole pieces only); every x86-64 page size is a multiple.
constexpr size_t kPiece = 4096;
// The longest URI looked for, plus its NUL, fits in this.
constexpr size_t kUriBuffer = 128;

// Where process_vm_readv is not allowed: each piece is written into a pipe (the kernel reports
// EFAULT for an unreadable one) and read back. A pipe that cannot be made reads as nothing.
size_t ThroughPipe(void* dst, const void* src, const size_t pieceLength[2]) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return 0;
    size_t got = 0;
    for (int k = 0; k < 2 && pieceLength[k] > 0; ++k) {
        const ssize_t w = write(fds[1], static_cast<const char*>(src) + got, pieceLength[k]);
        if (w != ssize_t(pieceLength[k])) break;
        got += pieceLength[k];
    }
    size_t read_ = 0;
    while (read_ < got) {
        const ssize_t r = read(fds[0], static_cast<char*>(dst) + read_, got - read_);
        if (r <= 0) break;
        read_ += size_t(r);
    }
    close(fds[0]);
    close(fds[1]);
    return read_;
}

}  // namespace

size_t ReadableCopy(void* dst, const void* src, size_t n) {
    if (src == nullptr || n == 0) return 0;
    n = std::min(n, kPiece);
    const uintptr_t at = reinterpret_cast<uintptr_t>(src);
    size_t lengths[2];
    lengths[0] = std::min(n, kPiece - at % kPiece);
    lengths[1] = n - lengths[0];
    iovec local[2] = {{dst, lengths[0]}, {static_cast<char*>(dst) + lengths[0], lengths[1]}};
    iovec remote[2] = {{const_cast<void*>(src), lengths[0]}, {reinterpret_cast<void*>(at + lengths[0]), lengths[1]}};
    const unsigned long pieces = lengths[1] > 0 ? 2 : 1;
    const ssize_t got = process_vm_readv(getpid(), local, pieces, remote, pieces, 0);
    if (got >= 0) return size_t(got);
    if (errno == EFAULT) return 0;
    return ThroughPipe(dst, src, lengths);
}

bool SameUri(const char* hostUri, const char* ours) {
    char bytes[kUriBuffer];
    const size_t length = std::strlen(ours) + 1;
    if (hostUri == nullptr || length > sizeof bytes) return false;
    return ReadableCopy(bytes, hostUri, length) == length && std::memcmp(bytes, ours, length) == 0;
}

void FindFeatures(const LV2_Feature* const* features, WantedFeature* wanted, size_t count) {
    if (features == nullptr) return;
    size_t missing = count;
    // Longest wanted URI with its NUL: what is copied of each host URI.
    size_t longest = 0;
    for (size_t w = 0; w < count; ++w) longest = std::max(longest, std::strlen(wanted[w].uri) + 1);
    if (longest > kUriBuffer) return;
    for (int i = 0; i < kMaxFeatureEntries && missing > 0; ++i) {
        const LV2_Feature* entry = nullptr;
        if (!CopyFromHost(&entry, features + i, sizeof entry) || entry == nullptr) return;
        LV2_Feature feature;
        if (!CopyFromHost(&feature, entry, sizeof feature)) continue;
        if (feature.URI == nullptr || feature.data == nullptr) continue;
        char uri[kUriBuffer];
        const size_t got = ReadableCopy(uri, feature.URI, longest);
        for (size_t w = 0; w < count; ++w) {
            const size_t length = std::strlen(wanted[w].uri) + 1;
            if (wanted[w].found || got < length || std::memcmp(uri, wanted[w].uri, length) != 0) continue;
            wanted[w].found = true;
            wanted[w].data = feature.data;
            --missing;
        }
    }
}

bool ReadOption(const void* options, uint32_t key, uint32_t type, void* value, uint32_t size) {
    const auto* records = static_cast<const LV2_Options_Option*>(options);
    for (int i = 0; options != nullptr && i < kMaxOptionRecords; ++i) {
        LV2_Options_Option o;
        if (!CopyFromHost(&o, records + i, sizeof o) || o.key == 0) return false;
        if (o.key == key && o.type == type && o.size == size && CopyFromHost(value, o.value, size)) return true;
    }
    return false;
}

}  // namespace marovex_lv2
