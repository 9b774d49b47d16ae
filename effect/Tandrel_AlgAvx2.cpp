// The kernel's part for CPUs with AVX2 and FMA: the waveshaper's sine, eight values at a time, and a
// block runner that uses it.
//
// The sine works in four double-precision lanes at a time. It repeats, step for step, the
// evaluation that the C library's single-precision sine runs on such CPUs (its FMA variant), so
// every float input gives the library's own result, bit for bit:
//   |y| < 2^-12     the result is y itself (this keeps -0.0 and subnormals);
//   |y| < 120       x = (double)y is reduced by n quarter turns, n = ((int32)(x * 2^24 * 2/pi)
//                   + 2^23) >> 24, xr = x - n * pi/2 in one fused rounding; the sine polynomial
//                   (even n) or the cosine polynomial (odd n) on xr, negated when n & 2, is
//                   rounded once to float. For |y| < 0.75 this is the same as n = 0.
//   otherwise       (|y| >= 120, infinities, NaN) the library's sinf itself, lane by lane.
// Fused multiply-adds appear exactly where the library fuses, as explicit intrinsics; every other
// step is a separate multiply or add (the build forbids contraction). Only this file is compiled
// for AVX2 and FMA, and nothing here may run unless Tandrel_CpuHasAvx2Fma() says so. It uses no
// inline function of the standard library, whose out-of-line copies the linker could share with
// the portable code.
#include <immintrin.h>
#include <math.h>

#include "Tandrel_AlgBlock.h"
#include "Tandrel_AlgKernel.h"

namespace {

constexpr double kQuarterTurnsPerRadian = 0x1.45F306DC9C883p+23;  // 2/pi scaled by 2^24
constexpr double kHalfPi = 0x1.921FB54442D18p0;
constexpr double kS1 = -0x1.555545995a603p-3, kS2 = 0x1.1107605230bc4p-7, kS3 = -0x1.994eb3774cf24p-13;
constexpr double kC0 = 1.0, kC1 = -0x1.ffffffd0c621cp-2, kC2 = 0x1.55553e1068f19p-5,
                 kC3 = -0x1.6c087e89a359dp-10, kC4 = 0x1.99343027bf8c3p-16;
constexpr int kTinyBits = 0x39800000;   // |y| below 2^-12: the result is y
constexpr int kSmallBits = 0x3F400000;  // |y| below 0.75: no reduction (n = 0)
constexpr int kLargeBits = 0x42F00000;  // |y| from 120 up, infinities and NaN: the library's sinf

// The sine polynomial on x (double), fused where the library fuses:
// x + x^3*S1 + x^7*(S2 + x^2*S3).
inline __m256d SinePolynomial(__m256d x, __m256d x2) {
    const __m256d x3 = _mm256_mul_pd(x, x2);
    const __m256d s1 = _mm256_fmadd_pd(x2, _mm256_set1_pd(kS3), _mm256_set1_pd(kS2));
    const __m256d x7 = _mm256_mul_pd(x3, x2);
    const __m256d s = _mm256_fmadd_pd(x3, _mm256_set1_pd(kS1), x);
    return _mm256_fmadd_pd(x7, s1, s);
}

// Sine of four floats below 0.75 in magnitude (widened to double): the polynomial on x itself,
// as the library evaluates that range (the same as a reduction with n = 0).
inline __m256d SineLanesSmall(__m128 y) {
    const __m256d x = _mm256_cvtps_pd(y);
    return SinePolynomial(x, _mm256_mul_pd(x, x));
}

// Sine of four floats (widened to double), before the final rounding to float.
inline __m256d SineLanes(__m128 y) {
    const __m256d x = _mm256_cvtps_pd(y);
    const __m256d r = _mm256_mul_pd(x, _mm256_set1_pd(kQuarterTurnsPerRadian));
    // n = ((int32_t)r + 0x800000) >> 24, the library's truncating conversion and arithmetic shift,
    // evaluated exactly in double: |r| < 2^31 here, so trunc(r) + 2^23 is an exact integer and the
    // shift is a floor of the exact quotient by 2^24.
    const __m256d nd = _mm256_floor_pd(_mm256_mul_pd(
        _mm256_add_pd(_mm256_round_pd(r, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC), _mm256_set1_pd(0x1p23)),
        _mm256_set1_pd(0x1p-24)));
    const __m256d xr = _mm256_fnmadd_pd(nd, _mm256_set1_pd(kHalfPi), x);
    const __m256d x2 = _mm256_mul_pd(xr, xr);
    const __m256d sine = SinePolynomial(xr, x2);
    // Cosine polynomial: (C0 + x^2*C1) + x^4*C2 + x^6*(C3 + x^2*C4).
    const __m256d x4 = _mm256_mul_pd(x2, x2);
    const __m256d c2 = _mm256_fmadd_pd(x2, _mm256_set1_pd(kC4), _mm256_set1_pd(kC3));
    const __m256d c1 = _mm256_fmadd_pd(x2, _mm256_set1_pd(kC1), _mm256_set1_pd(kC0));
    const __m256d x6 = _mm256_mul_pd(x4, x2);
    const __m256d c = _mm256_fmadd_pd(x4, _mm256_set1_pd(kC2), c1);
    const __m256d cosine = _mm256_fmadd_pd(x6, c2, c);

    // Odd n takes the cosine; n & 2 flips the sign (negation is exact, so flipping the result
    // equals the library's flipping of the argument or of the coefficients). Adding 1.5 * 2^52
    // puts n in two's complement into the low bits of the sum.
    const __m256i nBits = _mm256_castpd_si256(_mm256_add_pd(nd, _mm256_set1_pd(0x1.8p52)));
    const __m256d odd = _mm256_castsi256_pd(_mm256_slli_epi64(nBits, 63));  // blendv reads the top bit
    const __m256d flip = _mm256_castsi256_pd(
        _mm256_and_si256(_mm256_slli_epi64(nBits, 62), _mm256_set1_epi64x(static_cast<long long>(0x8000000000000000ull))));
    return _mm256_xor_pd(_mm256_blendv_pd(sine, cosine, odd), flip);
}

// Sine of eight floats; lanes outside the polynomial's range go to the library.
inline __m256 Sine8(__m256 y) {
    const __m256i bits = _mm256_and_si256(_mm256_castps_si256(y), _mm256_set1_epi32(0x7fffffff));
    const __m256i tiny = _mm256_cmpgt_epi32(_mm256_set1_epi32(kTinyBits), bits);
    const __m256i large = _mm256_cmpgt_epi32(bits, _mm256_set1_epi32(kLargeBits - 1));
    if (_mm256_testc_si256(tiny, _mm256_set1_epi32(-1))) {
        return y;  // all eight lanes tiny, as in silence
    }
    __m128 lo, hi;
    if (_mm256_testc_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(kSmallBits), bits), _mm256_set1_epi32(-1))) {
        lo = _mm256_cvtpd_ps(SineLanesSmall(_mm256_castps256_ps128(y)));  // all eight below 0.75
        hi = _mm256_cvtpd_ps(SineLanesSmall(_mm256_extractf128_ps(y, 1)));
    } else {
        lo = _mm256_cvtpd_ps(SineLanes(_mm256_castps256_ps128(y)));
        hi = _mm256_cvtpd_ps(SineLanes(_mm256_extractf128_ps(y, 1)));
    }
    __m256 result = _mm256_blendv_ps(_mm256_set_m128(hi, lo), y, _mm256_castsi256_ps(tiny));
    int largeMask = _mm256_movemask_ps(_mm256_castsi256_ps(large));
    if (largeMask != 0) {
        alignas(32) float in[8], out[8];
        _mm256_store_ps(in, y);
        _mm256_store_ps(out, result);
        for (; largeMask != 0; largeMask &= largeMask - 1) {
            const int lane = __builtin_ctz(static_cast<unsigned>(largeMask));
            out[lane] = sinf(in[lane]);
        }
        result = _mm256_load_ps(out);
    }
    return result;
}

}  // namespace

void Tandrel_SineAvx2(const float* in, float* out, int32_t count) {
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        _mm256_storeu_ps(out + i, Sine8(_mm256_loadu_ps(in + i)));
    }
    if (i < count) {
        float rest[8] = {};
        for (int32_t k = i; k < count; ++k) rest[k - i] = in[k];
        _mm256_storeu_ps(rest, Sine8(_mm256_loadu_ps(rest)));
        for (int32_t k = i; k < count; ++k) out[k] = rest[k - i];
    }
}

namespace {

// One waveshaper pass over the eight values at v: v <- v*m + sin(v*pi/2)*(1 - m).
inline void ShapeGroup(float* v, __m256 m, __m256 oneMinusM) {
    const __m256 x = _mm256_load_ps(v);
    const __m256 s = Sine8(_mm256_mul_ps(x, _mm256_set1_ps(kTandrel_HalfPi)));
    _mm256_store_ps(v, _mm256_add_ps(_mm256_mul_ps(x, m), _mm256_mul_ps(s, oneMinusM)));
}

// The four passes over v[0, count), count a multiple of 8: pass after pass over the whole buffer,
// so that the groups of one pass are independent and keep the vector units busy.
void ShapeBuffer(float* v, int32_t count, __m256 m, __m256 oneMinusM) {
    for (int pass = 0; pass < 4; ++pass) {
        for (int32_t i = 0; i < count; i += 8) {
            ShapeGroup(v + i, m, oneMinusM);
        }
    }
}

template <bool kStereo>
void RunBlock(Tandrel_BlockJob& job) {
    const __m256 m = _mm256_set1_ps(job.m), oneMinusM = _mm256_set1_ps(job.oneMinusM);
    RunChunks<kStereo>(job, [m, oneMinusM](float* v, int32_t count) { ShapeBuffer(v, count, m, oneMinusM); });
}

}  // namespace

void Tandrel_RunBlockAvx2(Tandrel_BlockJob& job, bool stereo) {
    if (stereo) {
        RunBlock<true>(job);
    } else {
        RunBlock<false>(job);
    }
}
