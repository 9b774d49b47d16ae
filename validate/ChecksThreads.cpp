// Checks 10 and 11: threads at work on one instance at once, and the editor's lifetime.
#include <atomic>
#include <cmath>
#include <thread>

#include <fmt/core.h>

#include "AAX_IACFEffectGUI.h"
#include "Checks.h"

namespace marovex::validate {

namespace {

bool ClaimsEditor(MarovexModule& module) {
    return module.Effect() != nullptr && module.Effect()->FindProcPtr(1) != nullptr;
}

// Whether the module's editor can be opened on this machine: it registers one, and a first one made
// does not refuse with -20004, which says a needed object is missing (its editor library cannot be
// loaded, for example). Otherwise *why says what is missing, with what the module traced about it.
// Any other failure is left for the checks to find.
bool EditorAvailable(Rig& rig, std::string* why) {
    if (!ClaimsEditor(rig.Module())) {
        *why = "the module registers no editor";
        return false;
    }
    const size_t tracesBefore = rig.Module().Traces().size();
    std::string error;
    AAX_Result initResult = AAX_SUCCESS;
    if (rig.Instance().CreateGui(&error, &initResult) != nullptr || initResult != AAX_ERROR_NULL_OBJECT) return true;
    *why = "the module's editor cannot be opened here: " + error;
    const std::vector<std::string> traces = rig.Module().Traces();
    if (traces.size() > tracesBefore) *why += " (the module traced: " + traces.back() + ")";
    return false;
}

// Opens an editor, drives it a little (timer, a parameter notice, its size) and closes it.
bool DriveEditor(MarovexInstance& instance, const std::string& id, std::string* error) {
    std::unique_ptr<MarovexGui> gui = instance.CreateGui(error);
    if (gui == nullptr) return false;
    AAX_IACFEffectGUI* e = gui->Interface();
    AAX_Point size{};
    e->GetViewSize(&size);
    e->TimerWakeup();
    if (!id.empty()) e->ParameterUpdated(id.c_str());
    e->TimerWakeup();
    return true;
}

}  // namespace

// --- Check 10 ----------------------------------------------------------------------------------

CheckResult CheckConcurrency(const CheckEnv& env) {
    Rig rig(env.plugin, kStereo, 48000.0f, 256);
    if (!rig.Ok()) return Fail(rig.Error());
    std::string noEditor = env.skipEditor ? "editor left out" : "no editor claimed", why;
    bool editor = !env.skipEditor && ClaimsEditor(rig.Module());
    if (editor && !EditorAvailable(rig, &why)) {
        editor = false;
        noEditor = "the editor cannot be opened here";  // the editor check says why
    }
    const int blocks = Scaled(env, 500, 50);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::string audioError, paramError, stateError, editorError;
    std::atomic<uint64_t> sets{0}, states{0}, editors{0}, processed{0};
    SampleCounts counts;
    const std::vector<MarovexParameterInfo> params = rig.Parameters();

    std::thread audio([&] {
        std::mt19937_64 rng = Rng(env, 100);
        const auto input = Noise(rng, rig.Channels(), 256);
        // The blocks asked for, and on until every other thread has done some rounds of its work.
        for (int b = 0; b < blocks || ((sets < 10 || states < 10 || (editor && editors < 10)) && b < 50 * blocks); ++b) {
            auto io = input;
            if (!rig.Process(io, 0, 256)) {
                audioError = rig.Error();
                ++failures;
                break;
            }
            for (const auto& ch : io) counts.Add(ch.data(), ch.size());
            ++processed;
            std::this_thread::yield();
        }
        stop = true;
    });
    std::thread setter([&] {
        std::mt19937_64 rng = Rng(env, 101);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        while (!stop) {
            const MarovexParameterInfo& p = params[rng() % params.size()];
            if (!rig.Instance().SetParameter(p.id, unit(rng), &paramError)) {
                ++failures;
                return;
            }
            double v = 0.0;
            rig.Instance().GetParameterValue(p.id, &v, &paramError);
            ++sets;
        }
    });
    std::thread stater([&] {
        std::vector<uint8_t> record;
        while (!stop) {
            if (!rig.Instance().SaveState(&record, &stateError) || !rig.Instance().LoadState(record, &stateError)) {
                ++failures;
                return;
            }
            ++states;
        }
    });
    std::thread opener([&] {
        std::mt19937_64 rng = Rng(env, 102);
        while (editor && !stop) {
            if (!DriveEditor(rig.Instance(), params[rng() % params.size()].id, &editorError)) {
                ++failures;
                return;
            }
            ++editors;
        }
    });
    audio.join();
    setter.join();
    stater.join();
    opener.join();
    const std::string figure =
        fmt::format("{} blocks while {} parameter sets, {} state round trips and {} editor openings{}: {}",
                    processed.load(), sets.load(), states.load(), editors.load(), editor ? "" : " (" + noEditor + ")",
                    counts.Text());
    if (failures != 0) {
        return Fail(figure + "; failed: " + audioError + paramError + stateError + editorError);
    }
    return counts.nan + counts.inf == 0 ? Pass(figure) : Fail(figure);
}

// --- Check 11 ----------------------------------------------------------------------------------

namespace {

// Opens, drives and closes the instance's editor `cycles` times: afterwards the module has as many
// component objects and the instance the same state as before. The heap growth per opening after
// the first cycles (which settle the allocator) goes to *growth. Empty, or what went wrong.
std::string OpenAndClose(MarovexModule& module, MarovexInstance& instance, const std::vector<MarovexParameterInfo>& params,
                         int cycles, const char* where, double* growth) {
    std::string error;
    const int32_t liveBefore = module.LiveObjectCount();
    std::vector<uint8_t> stateBefore, stateAfter;
    if (!instance.SaveState(&stateBefore, &error)) return "saving failed: " + error;
    size_t heapMark = 0;
    const int warmUp = std::max(2, cycles / 10);
    for (int i = 0; i < cycles; ++i) {
        if (!DriveEditor(instance, params[size_t(i) % params.size()].id, &error)) {
            return fmt::format("opening {} {}: {}", i + 1, where, error);
        }
        if (i + 1 == warmUp) heapMark = HeapInUse();
    }
    const size_t heapEnd = HeapInUse();
    *growth = double(heapEnd > heapMark ? heapEnd - heapMark : 0) / std::max(1, cycles - warmUp);
    if (module.LiveObjectCount() != liveBefore) {
        return fmt::format("{} component object(s) outlive the editors closed {}", module.LiveObjectCount() - liveBefore,
                           where);
    }
    if (!instance.SaveState(&stateAfter, &error)) return "saving failed: " + error;
    if (stateAfter != stateBefore) return std::string("opening and closing the editor ") + where + " changed the state";
    return {};
}

// `sweeps` sweeps of every parameter but the bypass through their range with one editor open, which
// hears of every change; afterwards each reads back its last value and the bypass is untouched.
// The heap may not grow by more than 64 bytes per sweep after the first tenth of them (a leak of
// one small allocation per change the editor hears of grows it by several hundred); the growth per
// sweep goes to *growth.
std::string Sweep(MarovexInstance& instance, const std::vector<MarovexParameterInfo>& params, const std::string& bypass,
                  int sweeps, const char* where, double* growth) {
    std::string error;
    std::unique_ptr<MarovexGui> gui = instance.CreateGui(&error);
    if (gui == nullptr) return std::string("opening for the sweeps ") + where + ": " + error;
    const int warmUp = std::max(2, sweeps / 10);
    size_t heapMark = 0;
    for (int s = 0; s < sweeps; ++s) {
        const double v = double(s % 101) / 100.0;
        for (const MarovexParameterInfo& p : params) {
            if (p.id != bypass && !instance.SetParameter(p.id, v, &error)) return error;
        }
        gui->Interface()->TimerWakeup();
        if (s + 1 == warmUp) heapMark = HeapInUse();
    }
    const size_t heapEnd = HeapInUse();
    *growth = double(heapEnd > heapMark ? heapEnd - heapMark : 0) / std::max(1, sweeps - warmUp);
    if (*growth > 64.0) {
        return fmt::format("the heap grew by {:.0f} B per sweep with the editor open {} (limit 64)", *growth, where);
    }
    for (const MarovexParameterInfo& p : params) {
        const double want = p.id == bypass ? p.normalized : double((sweeps - 1) % 101) / 100.0;
        double got = std::nan("");
        instance.GetParameterValue(p.id, &got, &error);
        if (static_cast<float>(got) != static_cast<float>(want)) {
            return fmt::format("after the sweeps {} \"{}\" reads {} instead of {}", where, p.id, got, want);
        }
    }
    return {};
}

}  // namespace

CheckResult CheckEditor(const CheckEnv& env) {
    Rig rig(env.plugin, kStereo, 48000.0f, 256);
    if (!rig.Ok()) return Fail(rig.Error());
    std::string noEditor;
    if (!EditorAvailable(rig, &noEditor)) {
        CheckResult r;
        r.notApplicable = true;
        r.figure = noEditor;
        return r;
    }
    std::string error;
    const int cycles = Scaled(env, 50, 5);
    const int sweeps = Scaled(env, 1000, 50);
    const std::vector<MarovexParameterInfo>& params = rig.Parameters();
    const std::string bypass = rig.BypassID();

    // Before any processing.
    double growth = 0.0;
    std::string problem = OpenAndClose(rig.Module(), rig.Instance(), params, cycles, "before processing", &growth);
    if (!problem.empty()) return Fail(problem);

    // At a sample rate of 0: an instance of the same module whose host has no rate yet and tells the
    // plug-in 0 Hz (it never processes). Openings, then sweeps with the editor open; once it is
    // released every component object it made is gone.
    double unratedGrowth = 0.0, sweepGrowth = 0.0, unratedSweepGrowth = 0.0;
    {
        const int32_t liveBefore = rig.Module().LiveObjectCount();
        std::unique_ptr<MarovexInstance> unrated =
            MarovexInstance::CreateWithoutSampleRate(rig.ModulePtr(), kStereo, 256, &error);
        if (unrated == nullptr) return Fail("cannot make an instance without a sample rate: " + error);
        problem = OpenAndClose(rig.Module(), *unrated, params, cycles, "at 0 Hz", &unratedGrowth);
        if (problem.empty()) problem = Sweep(*unrated, params, bypass, sweeps, "at 0 Hz", &unratedSweepGrowth);
        if (!problem.empty()) return Fail(problem);
        unrated.reset();
        if (rig.Module().LiveObjectCount() != liveBefore) {
            return Fail(fmt::format("{} component object(s) outlive the instance without a sample rate",
                                    rig.Module().LiveObjectCount() - liveBefore));
        }
    }

    // While another thread processes.
    const int32_t liveBefore = rig.Module().LiveObjectCount();
    std::vector<uint8_t> stateBefore, stateAfter;
    if (!rig.Instance().SaveState(&stateBefore, &error)) return Fail("saving failed: " + error);
    std::atomic<bool> stop{false};
    std::string audioError;
    std::thread audio([&] {
        std::mt19937_64 rng = Rng(env, 110);
        auto io = Noise(rng, rig.Channels(), 256);
        while (!stop && rig.Process(io, 0, 256)) {
        }
        if (!stop) audioError = rig.Error();
    });
    int whileProcessing = 0;
    for (int i = 0; i < cycles; ++i) {
        if (!DriveEditor(rig.Instance(), params[size_t(i) % params.size()].id, &error)) break;
        ++whileProcessing;
    }
    stop = true;
    audio.join();
    if (!audioError.empty()) return Fail("processing while an editor opened failed: " + audioError);
    if (whileProcessing < cycles) return Fail("opening while processing: " + error);
    if (rig.Module().LiveObjectCount() != liveBefore) {
        return Fail(fmt::format("{} component object(s) outlive the editors closed while processing",
                                rig.Module().LiveObjectCount() - liveBefore));
    }
    if (!rig.Instance().SaveState(&stateAfter, &error)) return Fail("saving failed: " + error);
    if (stateAfter != stateBefore) return Fail("opening and closing the editor while processing changed the state");

    // Parameter sweeps with the editor open: it hears of every change.
    problem = Sweep(rig.Instance(), params, bypass, sweeps, "at 48000 Hz", &sweepGrowth);
    if (!problem.empty()) return Fail(problem);

    const double worst = std::max(growth, unratedGrowth);
    const std::string figure =
        fmt::format("{} openings before processing, {} at 0 Hz, {} while processing; {} sweeps of {} parameters "
                    "while open, at 48000 Hz and at 0 Hz; heap growth {:.0f} B per opening (limit 256), {:.0f} B "
                    "per sweep (limit 64); state unchanged",
                    cycles, cycles, whileProcessing, sweeps, params.size(), worst,
                    std::max(sweepGrowth, unratedSweepGrowth));
    return worst < 256.0 ? Pass(figure) : Fail(figure);
}

}  // namespace marovex::validate
