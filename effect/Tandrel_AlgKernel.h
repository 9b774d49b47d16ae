// Inside the kernel: the reference evaluation, the fast evaluation that the registered process
// functions run, and the waveshaper's vector stage in its two forms. Everything here gives the same
// bits as the reference evaluation; the forms differ only in speed.
#pragma once

#include <cstdint>

#include "Tandrel_Alg.h"

// The waveshaper's pi/2, in single precision.
constexpr float kTandrel_HalfPi = 1.5707964f;

// How the fast evaluation takes the waveshaper's sines: one call of the library's sinf per value
// (any CPU), or the vector sine of Tandrel_SineAvx2 (only where Tandrel_CpuHasAvx2Fma() is true).
// Both give the same bits; the vector form is several times faster.
enum class Tandrel_SineForm { kLibrary, kVectorAvx2 };

// True when the CPU (and the operating system) offer AVX2 and FMA, which the library's sine also
// needs to pick the variant that Tandrel_SineAvx2 repeats.
bool Tandrel_CpuHasAvx2Fma();

// out[i] = sinf(in[i]) for i in [0, count), bit for bit as the library's FMA variant gives it.
// Call only when Tandrel_CpuHasAvx2Fma() is true: compiled for AVX2 and FMA.
void Tandrel_SineAvx2(const float* in, float* out, int32_t count);

// The form the registered process functions use: the vector form when the CPU has AVX2 and FMA and
// the library's sinf gives what the vector form gives on the inputs where the library's own
// variants differ; the library call otherwise. Fixed when the module loads; never changes.
Tandrel_SineForm Tandrel_ChosenSineForm();

// The fast evaluation: per chunk of frames, a serial stage (gain, sections, detector, smoothing,
// blend, low-band width, meter) writes the shaper's inputs into a buffer on the stack, then a
// vector stage runs the waveshaper over the buffer and the output stage writes the outputs. Input
// and output buffers are either the same buffer or do not overlap. Real-time safe.
template <int kNumInputs, int kNumOutputs>
void Tandrel_FastProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd,
                                 Tandrel_SineForm form);

// The reference evaluation: every written step per sample, in order, with the library's sinf. Kept
// for the tests and the benchmark, which compare the fast evaluation against it; not linked into
// the plug-in.
template <int kNumInputs, int kNumOutputs>
void Tandrel_ReferenceProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd);
