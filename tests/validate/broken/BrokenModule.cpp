// Deliberately broken variants of the Marovex module, for proving that `marovex validate` catches
// each fault with the right check. Test-only: built from the module's own sources with one
// MAROVEX_BROKEN_* definition, never part of the shipped module.
//
// This file stands in for the module's description source: it defines a broken process function,
// data-model factory or editor factory in front of the real ones and then compiles the real
// description with its three names redirected to them. Everything not broken is the real module.
#include <unistd.h>
#include <xmmintrin.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <mutex>
#include <thread>

#include "Tandrel_Alg.h"
#include "Tandrel_GUI.h"
#include "Tandrel_Parameters.h"

#if defined(MAROVEX_BROKEN_DENORMAL_TAIL)
namespace {

// The state of the denormal tail (one per channel; the validator runs one such instance at a time).
float gTail[2] = {0.0f, 0.0f};

}  // namespace
#endif

template <int kIn, int kOut>
void BrokenProcess(STandrel_Alg_Context* const begin[], const void* end) {
#if defined(MAROVEX_BROKEN_ALLOC)
    // Per block, what the processing thread must never do: by default a buffer made and freed (kept
    // in a volatile global, so that the compiler cannot leave the pair out); with MAROVEX_BROKEN_HOW
    // "blocking" a mutex, a zero sleep and a write of nothing instead.
    static const char* const how = std::getenv("MAROVEX_BROKEN_HOW");
    static std::mutex mutex;
    static float* volatile scratch;
    if (how == nullptr) {
        scratch = new float[64];
        delete[] scratch;
    } else if (std::strcmp(how, "blocking") == 0) {
        mutex.lock();
        mutex.unlock();
        std::this_thread::sleep_for(std::chrono::nanoseconds(0));
        usleep(0);
        static_cast<void>(write(-1, "", 0));
    }
#endif
    Tandrel_AlgorithmProcessFunction<kIn, kOut>(begin, end);
    for (STandrel_Alg_Context* const* it = begin; it < static_cast<STandrel_Alg_Context* const*>(end); ++it) {
        const STandrel_Alg_Context& ctx = **it;
        const int32_t frames = *ctx.mBufferLengthP;
        (void)frames;
#if defined(MAROVEX_BROKEN_NAN_BLOCK)
        // Blocks of exactly 17 frames end in NaN.
        if (frames == 17) ctx.mOutputPP[0][16] = std::nanf("");
#endif
#if defined(MAROVEX_BROKEN_DENORMAL_TAIL)
        // A feedback tail computed without flushing denormals: after a loud signal stops, the tail
        // sinks into the subnormal range and sticks there (rounding keeps it from reaching zero),
        // and every sample pays for arithmetic on subnormal numbers.
        const unsigned int mxcsr = _mm_getcsr();
        _mm_setcsr(mxcsr & ~0x8040u);
        for (int c = 0; c < kOut; ++c) {
            float* out = ctx.mOutputPP[c];
            float s = gTail[c];
            for (int32_t n = 0; n < frames; ++n) {
                for (int k = 0; k < 16; ++k) s = s * 0.99f + out[n] * 0.000625f;
                out[n] += s;
            }
            gTail[c] = std::isfinite(s) ? s : 0.0f;  // bad input is not this variant's fault
        }
        _mm_setcsr(mxcsr);
#endif
#if defined(MAROVEX_BROKEN_MISBEHAVE)
        // Crashes or hangs on blocks of 64 frames, as the environment asks.
        if (frames == 64) {
            const char* how = std::getenv("MAROVEX_BROKEN_HOW");
            if (how != nullptr && std::strcmp(how, "hang") == 0) {
                for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
            }
            std::raise(SIGSEGV);
        }
#endif
    }
}

class BrokenModel : public Tandrel_Parameters {
public:
    static AAX_IEffectParameters* Create() {
#if defined(MAROVEX_BROKEN_LEAK_OBJECT)
        // A second data model made and forgotten: a component object that is never released.
        static_cast<void>(Tandrel_Parameters::Create());
#endif
        return new BrokenModel();
    }

    AAX_Result EffectInit() override {
        const AAX_Result r = Tandrel_Parameters::EffectInit();
#if defined(MAROVEX_BROKEN_CHUNK_DROP)
        FilterParameterIDOnSave("Adj");  // the saved state loses one parameter
#endif
        return r;
    }

#if defined(MAROVEX_BROKEN_MISBEHAVE)
    // With MAROVEX_BROKEN_HOW "refuse" every chunk is applied and then refused as unreadable.
    AAX_Result SetChunk(AAX_CTypeID chunkID, const AAX_SPlugInChunk* chunk) override {
        const AAX_Result r = Tandrel_Parameters::SetChunk(chunkID, chunk);
        static const char* const how = std::getenv("MAROVEX_BROKEN_HOW");
        return how != nullptr && std::strcmp(how, "refuse") == 0 ? AAX_ERROR_INCORRECT_CHUNK_SIZE : r;
    }
#endif

    AAX_Result GetParameterValueFromString(AAX_CParamID id, double* value, const AAX_IString& text) const override {
        const AAX_Result r = Tandrel_Parameters::GetParameterValueFromString(id, value, text);
#if defined(MAROVEX_BROKEN_TEXT)
        // "Width" reads its own text back as half the value.
        if (r == AAX_SUCCESS && std::strcmp(id, "Width") == 0) *value *= 0.5;
#endif
        return r;
    }
};

class BrokenGui : public Tandrel_GUI {
public:
    static AAX_IEffectGUI* Create() { return new BrokenGui(); }

    AAX_Result Uninitialize() override {
#if defined(MAROVEX_BROKEN_EDITOR_LEAK)
        // Closing forgets the view's 64 KB back buffer.
        char* buffer = new char[65536];
        std::memset(buffer, 1, 65536);
        std::atomic_signal_fence(std::memory_order_seq_cst);
#endif
        return Tandrel_GUI::Uninitialize();
    }

#if defined(MAROVEX_BROKEN_MISBEHAVE)
    // With MAROVEX_BROKEN_HOW "rate0" the editor's timer scales its display by the sample rate in
    // whole hertz, unguarded: a host that tells it 0 Hz makes it divide by zero.
    AAX_Result TimerWakeup() override {
        static const char* const how = std::getenv("MAROVEX_BROKEN_HOW");
        if (how != nullptr && std::strcmp(how, "rate0") == 0 && GetController() != nullptr) {
            float rate = 0.0f;
            GetController()->GetSampleRate(&rate);
            const volatile int32_t hz = static_cast<int32_t>(rate);
            const volatile int32_t pixelsPerKHz = 400000 / hz;
            static_cast<void>(pixelsPerKHz);
        }
        return Tandrel_GUI::TimerWakeup();
    }

    // With MAROVEX_BROKEN_HOW "update-leak" every parameter notice forgets 48 bytes: too little for
    // one opening to show, plenty over a sweep of every parameter.
    AAX_Result ParameterUpdated(AAX_CParamID id) override {
        static const char* const how = std::getenv("MAROVEX_BROKEN_HOW");
        if (how != nullptr && std::strcmp(how, "update-leak") == 0) {
            char* forgotten = new char[48];
            std::memset(forgotten, 1, 48);
            std::atomic_signal_fence(std::memory_order_seq_cst);
        }
        return Tandrel_GUI::ParameterUpdated(id);
    }
#endif
};

#define Tandrel_AlgorithmProcessFunction BrokenProcess
#define Tandrel_Parameters BrokenModel
#define Tandrel_GUI BrokenGui
#include "Tandrel_Describe.cpp"
