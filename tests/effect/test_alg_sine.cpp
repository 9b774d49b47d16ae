// The vector sine against the C library's sinf, over every float bit pattern: not one result may
// differ. The optimised build runs all 2^32 inputs on two threads (about half a minute); builds
// without optimisation or with sanitizers, where that would take far too long, run every 1021st
// pattern. Also: the registered process functions use the vector form on this CPU when it can.
#include <gtest/gtest.h>
#include <math.h>
#include <xmmintrin.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "Tandrel_AlgKernel.h"

namespace {

#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
constexpr uint64_t kStride = 1;
#else
constexpr uint64_t kStride = 1021;
#endif

float (*volatile gSinf)(float) = ::sinf;  // the library's own, never folded at build time

// Counts differences between the vector sine and sinf over the bit patterns start, start + stride,
// ... below 2^32, split over two threads; keeps the first few differing patterns.
uint64_t CountDifferences(uint64_t stride, std::vector<uint32_t>& firstDifferences) {
    constexpr int kBatch = 4096;
    std::atomic<uint64_t> differences{0};
    std::vector<uint32_t> found[2];
    const uint64_t total = ((uint64_t{1} << 32) + stride - 1) / stride;  // patterns i * stride
    const unsigned csr = _mm_getcsr();
    auto sweep = [&](int half) {
        _mm_setcsr(csr);  // the caller's rounding and flush modes, in both threads
        float in[kBatch], vector[kBatch];
        const uint64_t from = total * uint64_t(half) / 2, to = total * uint64_t(half + 1) / 2;
        for (uint64_t i = from; i < to; i += kBatch) {
            const int32_t n = int32_t(to - i < kBatch ? to - i : kBatch);
            for (int32_t k = 0; k < n; ++k) {
                const uint32_t bits = uint32_t((i + uint64_t(k)) * stride);
                std::memcpy(&in[k], &bits, 4);
            }
            Tandrel_SineAvx2(in, vector, n);
            for (int32_t k = 0; k < n; ++k) {
                const float library = gSinf(in[k]);
                if (std::memcmp(&library, &vector[k], 4) != 0) {
                    differences.fetch_add(1, std::memory_order_relaxed);
                    if (found[half].size() < 8) found[half].push_back(uint32_t((i + uint64_t(k)) * stride));
                }
            }
        }
    };
    std::thread other(sweep, 1);
    sweep(0);
    other.join();
    firstDifferences = found[0];
    firstDifferences.insert(firstDifferences.end(), found[1].begin(), found[1].end());
    return differences.load();
}

std::string Hex(const std::vector<uint32_t>& bits) {
    std::string s;
    char one[16];
    for (uint32_t b : bits) {
        std::snprintf(one, sizeof one, " %08x", b);
        s += one;
    }
    return s;
}

TEST(VectorSine, EqualsTheLibraryOnEveryFloat) {
    if (!Tandrel_CpuHasAvx2Fma()) GTEST_SKIP() << "this CPU runs the library's sinf; there is no vector form";
    std::vector<uint32_t> first;
    EXPECT_EQ(CountDifferences(kStride, first), 0u) << "first differing inputs:" << Hex(first);

    // With flush-to-zero and denormals-are-zero set, as hosts run their audio threads: a sample.
    const unsigned csr = _mm_getcsr();
    _mm_setcsr(csr | 0x8040);
    const uint64_t flushed = CountDifferences(kStride * 251, first);
    _mm_setcsr(csr);
    EXPECT_EQ(flushed, 0u) << "with flush-to-zero; first differing inputs:" << Hex(first);
}

TEST(VectorSine, ShortAndUnalignedRunsAndTheLibraryOnlyRanges) {
    if (!Tandrel_CpuHasAvx2Fma()) GTEST_SKIP() << "no vector form on this CPU";
    // Tiny, polynomial, large-argument and non-finite inputs mixed within one group of eight, in
    // runs of every length up to 19 and at an odd offset.
    const float inputs[] = {0.0f, -0.0f, 1e-40f, -3e-4f, 0.5f, -0.74f, 1.6f, -53.42252f, 119.99f, 120.0f,
                            -1e6f, 3e38f, INFINITY, -INFINITY, NAN, -NAN, 7.0f, 1e-38f, 100.0f, 0.25f};
    for (int32_t n = 0; n < 20; ++n) {
        std::vector<float> out(size_t(n) + 2, 42.0f);
        Tandrel_SineAvx2(inputs + 1, out.data() + 1, n);
        for (int32_t k = 0; k < n; ++k) {
            const float library = gSinf(inputs[k + 1]);
            EXPECT_EQ(std::memcmp(&library, &out[size_t(k) + 1], 4), 0) << inputs[k + 1];
        }
        EXPECT_EQ(out[0], 42.0f);
        EXPECT_EQ(out[size_t(n) + 1], 42.0f) << "wrote past the end, n = " << n;
    }
}

TEST(VectorSine, RegisteredKernelUsesTheVectorFormWhereTheCpuHasIt) {
    EXPECT_EQ(Tandrel_ChosenSineForm() == Tandrel_SineForm::kVectorAvx2, Tandrel_CpuHasAvx2Fma());
}

}  // namespace
