// Checks 10 and 11: threads at work on one instance at once, and the editor's lifetime.
#include <atomic>
#include <cmath>
#include <thread>

#include <fmt/core.h>

#include "AAX_IACFEffectGUI.h"
#include "Checks.h"

namespace marovex::validate {

namespace {

constexpr int32_t kStereo = AAX_eStemFormat_Stereo;

CheckResult Fail(std::string figure) { return CheckResult{false, false, std::move(figure)}; }
CheckResult Pass(std::string figure) { return CheckResult{true, false, std::move(figure)}; }

bool ClaimsEditor(MarovexModule& module) {
    return module.Effect() != nullptr && module.Effect()->FindProcPtr(1) != nullptr;
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
    const bool editor = !env.skipEditor && ClaimsEditor(rig.Module());
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
                    processed.load(), sets.load(), states.load(), editors.load(), editor ? "" : env.skipEditor ? " (editor left out)" : " (no editor claimed)",
                    counts.Text());
    if (failures != 0) {
        return Fail(figure + "; failed: " + audioError + paramError + stateError + editorError);
    }
    return counts.nan + counts.inf == 0 ? Pass(figure) : Fail(figure);
}

// --- Check 11 ----------------------------------------------------------------------------------

CheckResult CheckEditor(const CheckEnv& env) {
    Rig rig(env.plugin, kStereo, 48000.0f, 256);
    if (!rig.Ok()) return Fail(rig.Error());
    if (!ClaimsEditor(rig.Module())) {
        CheckResult r;
        r.notApplicable = true;
        r.figure = "the module registers no editor";
        return r;
    }
    std::string error;
    const int cycles = Scaled(env, 50, 5);
    const std::vector<MarovexParameterInfo>& params = rig.Parameters();
    const int32_t liveBefore = rig.Module().LiveObjectCount();
    std::vector<uint8_t> stateBefore, stateAfter;
    if (!rig.Instance().SaveState(&stateBefore, &error)) return Fail("saving failed: " + error);

    // Before any processing. The first cycles settle the allocator; growth is measured after them.
    size_t heapMark = 0;
    const int warmUp = std::max(2, cycles / 10);
    for (int i = 0; i < cycles; ++i) {
        if (!DriveEditor(rig.Instance(), params[size_t(i) % params.size()].id, &error)) {
            return Fail(fmt::format("opening {} before processing: {}", i + 1, error));
        }
        if (i + 1 == warmUp) heapMark = HeapInUse();
    }
    const size_t heapEnd = HeapInUse();
    const double growth = double(heapEnd > heapMark ? heapEnd - heapMark : 0) / std::max(1, cycles - warmUp);
    if (rig.Module().LiveObjectCount() != liveBefore) {
        return Fail(fmt::format("{} component object(s) outlive the closed editors",
                                rig.Module().LiveObjectCount() - liveBefore));
    }
    if (!rig.Instance().SaveState(&stateAfter, &error)) return Fail("saving failed: " + error);
    if (stateAfter != stateBefore) return Fail("opening and closing the editor changed the state");

    // While another thread processes.
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
    for (int i = 0; i < std::max(5, cycles / 5); ++i) {
        if (!DriveEditor(rig.Instance(), params[size_t(i) % params.size()].id, &error)) break;
        ++whileProcessing;
    }
    stop = true;
    audio.join();
    if (!audioError.empty()) return Fail("processing while an editor opened failed: " + audioError);
    if (whileProcessing < std::max(5, cycles / 5)) return Fail("opening while processing: " + error);

    // Parameter sweeps with the editor open: it hears of every change.
    const int sweeps = Scaled(env, 1000, 50);
    {
        std::unique_ptr<MarovexGui> gui = rig.Instance().CreateGui(&error);
        if (gui == nullptr) return Fail("opening for the sweeps: " + error);
        for (int s = 0; s < sweeps; ++s) {
            const double v = double(s % 101) / 100.0;
            for (const MarovexParameterInfo& p : params) {
                if (p.id == rig.BypassID()) continue;
                if (!rig.Set(p.id, v)) return Fail(rig.Error());
            }
            gui->Interface()->TimerWakeup();
        }
        for (const MarovexParameterInfo& p : params) {
            const double want = p.id == rig.BypassID() ? p.normalized : double((sweeps - 1) % 101) / 100.0;
            if (static_cast<float>(rig.Get(p.id)) != static_cast<float>(want)) {
                return Fail(fmt::format("after the sweeps \"{}\" reads {} instead of {}", p.id, rig.Get(p.id), want));
            }
        }
    }
    const std::string figure =
        fmt::format("{} openings before processing, {} while processing, {} sweeps of {} parameters while open; heap "
                    "growth {:.0f} B per opening (limit 256), state unchanged",
                    cycles, whileProcessing, sweeps, params.size(), growth);
    return growth < 256.0 ? Pass(figure) : Fail(figure);
}

}  // namespace marovex::validate
