// Inside the kernel: the reference evaluation, the fast evaluation that the registered process
// functions run, and the waveshaper's vector stage in its two forms. Everything here gives the same
// bits as the reference evaluation; the forms differ only in speed.
#pragma once

#include <cstdint>

#include "Tandrel_Alg.h"

// The waveshaper's pi/2, in single precision.
constexpr float kTandrel_HalfPi = 1.5707964f;

// Four passes of v <- v*m + sin(v*pi/2)*oneMinusM over v[0, count), in place, each a separate
// multiply and add in single precision, with the C library's single-precision sine.
using Tandrel_ShapeFunction = void (*)(float* v, int32_t count, float m, float oneMinusM);

// The same four passes with the library's sinf, one call per value: runs on any CPU.
void Tandrel_ShapeScalar(float* v, int32_t count, float m, float oneMinusM);

// True when the CPU (and the operating system) offer AVX2 and FMA, which the library's sine also
// needs to pick the variant that Tandrel_SineAvx2 repeats. Decided once, when the module loads.
bool Tandrel_CpuHasAvx2Fma();

// The vector forms. Call them only when Tandrel_CpuHasAvx2Fma() is true: they are compiled for AVX2.
// Tandrel_SineAvx2: out[i] = sinf(in[i]) for i in [0, count), bit for bit as the library's FMA variant.
void Tandrel_SineAvx2(const float* in, float* out, int32_t count);
// Tandrel_ShapeAvx2: as Tandrel_ShapeScalar; count must be a multiple of 8.
void Tandrel_ShapeAvx2(float* v, int32_t count, float m, float oneMinusM);

// The shaper the registered process functions use: the vector form when the CPU has AVX2 and FMA and
// the library's sinf gives what the vector form gives on inputs where the library's variants differ;
// the scalar form otherwise. Fixed when the module loads; never changes afterwards.
Tandrel_ShapeFunction Tandrel_ChosenShape();

// The fast evaluation: per chunk of frames, a serial stage (gain, sections, detector, smoothing,
// blend, low-band width, meter) writes the shaper's inputs into a buffer on the stack, then `shape`
// runs the waveshaper over the buffer and the output stage writes the outputs. Input and output
// buffers are either the same buffer or do not overlap. Real-time safe.
template <int kNumInputs, int kNumOutputs>
void Tandrel_FastProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd,
                                 Tandrel_ShapeFunction shape);

// The reference evaluation: every written step per sample, in order, with the library's sinf. Kept
// for the tests and the benchmark, which compare the fast evaluation against it; not linked into
// the plug-in.
template <int kNumInputs, int kNumOutputs>
void Tandrel_ReferenceProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd);
