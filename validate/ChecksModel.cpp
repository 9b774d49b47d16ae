// Checks 1, 5, 6, 7 and 8: loading and unloading, parameter fuzz, parameter text, state, and hostile
// state chunks.
#include <clocale>
#include <cmath>
#include <cstring>
#include <locale>

#include <fmt/core.h>

#include "AAX_IACFEffectParameters.h"
#include "AAX_SPlugInChunk.h"
#include "Checks.h"
#include "ValidateString.h"

namespace marovex::validate {

namespace {

double Clamp01(double v) { return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v; }

// A discrete parameter reads back one of its steps, and the step it takes does not go against the
// value set: never below a smaller value's step or above a larger one's (a switch may turn on for
// any value above 0).
bool DiscreteReadsBack(const MarovexParameterInfo& p, double set, double back) {
    const int32_t steps = p.steps > 1 ? p.steps : 2;
    const double k = back * double(steps - 1);
    if (std::fabs(k - std::nearbyint(k)) > 1e-6) return false;  // not a step
    const double step = 1.0 / double(steps - 1);
    return std::fabs(back - set) < step + 1e-9;
}

}  // namespace

// --- Check 1 -----------------------------------------------------------------------------------

CheckResult CheckLoadUnload(const CheckEnv& env) {
    const int loads = Scaled(env, 100, 5);
    const int instances = Scaled(env, 100, 5);
    std::string error;
    size_t heapAfterWarmUp = 0;
    const int warmUp = std::max(2, loads / 10);
    for (int i = 0; i < loads; ++i) {
        std::shared_ptr<MarovexModule> module = MarovexModule::Load(env.plugin, &error);
        if (module == nullptr) return Fail(fmt::format("load {} failed: {}", i + 1, error));
        {
            Rig rig(module, i % 2 ? kMono : kStereo, 48000.0f, 512);
            if (!rig.Ok()) return Fail(fmt::format("load {}: {}", i + 1, rig.Error()));
        }
        const int32_t live = module->LiveObjectCount();
        if (live != 0) {
            return Fail(fmt::format("load {}: ACFCanUnloadNow answers {} after the instance was released", i + 1, live));
        }
        module.reset();
        if (i + 1 == warmUp) heapAfterWarmUp = HeapInUse();
    }
    const size_t heapAfterLoads = HeapInUse();

    std::shared_ptr<MarovexModule> module = MarovexModule::Load(env.plugin, &error);
    if (module == nullptr) return Fail("load failed: " + error);
    size_t heapMark = 0;
    for (int i = 0; i < instances; ++i) {
        std::unique_ptr<MarovexInstance> instance =
            MarovexInstance::Create(module, i % 2 ? kMono : kStereo, 44100.0f, 256, &error);
        if (instance == nullptr) return Fail(fmt::format("instance {}: {}", i + 1, error));
        instance.reset();
        if (i + 1 == warmUp) heapMark = HeapInUse();
    }
    const int32_t live = module->LiveObjectCount();
    const size_t heapEnd = HeapInUse();
    // Growth per cycle after the warm-up; the allocator keeps a little for itself now and then.
    const double loadGrowth = double(heapAfterLoads > heapAfterWarmUp ? heapAfterLoads - heapAfterWarmUp : 0) /
                              std::max(1, loads - warmUp);
    const double instanceGrowth =
        double(heapEnd > heapMark ? heapEnd - heapMark : 0) / std::max(1, instances - warmUp);
    const std::string figure = fmt::format(
        "{} loads, {} instances; ACFCanUnloadNow {} at the end; heap growth {:.0f} B per load, {:.0f} B per instance",
        loads, instances, live, loadGrowth, instanceGrowth);
    return (live == 0 && loadGrowth < 512.0 && instanceGrowth < 256.0) ? Pass(figure) : Fail(figure);
}

// --- Check 5 -----------------------------------------------------------------------------------

CheckResult CheckParameterFuzz(const CheckEnv& env) {
    std::mt19937_64 rng = Rng(env, 5);
    Rig rig(env.plugin, kStereo, 48000.0f, 512);
    if (!rig.Ok()) return Fail(rig.Error());
    AAX_IACFEffectParameters* model = rig.Instance().EffectParameters();
    const int runs = Scaled(env, 50, 3);
    static const int kEvery[] = {1, 10, 100};
    static const double kOutside[] = {-0.5, 1.5, -1e9, 1e9, -1e-300, 1.0 + 1e-12};
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    uint64_t sets = 0, misreads = 0;
    SampleCounts counts;
    std::string firstMisread;
    for (int run = 0; run < runs; ++run) {
        const int every = kEvery[run % 3];
        auto io = Noise(rng, rig.Channels(), 5 * 512);
        for (size_t at = 0; at < io[0].size(); at += size_t(every)) {
            for (const MarovexParameterInfo& p : rig.Parameters()) {
                const double pick = unit(rng);
                const double v = pick < 0.05 ? 0.0 : pick < 0.1 ? 1.0 : pick < 0.15 ? kOutside[size_t(unit(rng) * 6) % 6] : unit(rng);
                if (model->SetParameterNormalizedValue(p.id.c_str(), v) != AAX_SUCCESS) {
                    return Fail(fmt::format("SetParameterNormalizedValue(\"{}\", {}) was refused", p.id, v));
                }
                ++sets;
                double back = -1.0;
                model->GetParameterNormalizedValue(p.id.c_str(), &back);
                // Parameters keep single precision; a discrete one holds one of its steps.
                const double want = Clamp01(v);
                const bool ok = p.type == AAX_eParameterType_Discrete
                                    ? DiscreteReadsBack(p, want, back)
                                    : static_cast<float>(back) == static_cast<float>(want);
                if (!ok) {
                    ++misreads;
                    if (firstMisread.empty()) firstMisread = fmt::format("\"{}\" set to {} reads back {}", p.id, v, back);
                }
            }
            const int32_t n = static_cast<int32_t>(std::min<size_t>(size_t(every), io[0].size() - at));
            if (!rig.Process(io, at, n)) return Fail(rig.Error());
        }
        for (const auto& ch : io) counts.Add(ch.data(), ch.size());
    }
    const uint64_t bad = counts.nan + counts.inf;
    const std::string figure = fmt::format("{} runs x 5 blocks, {} values set: {} non-finite of {} samples, {} misread",
                                           runs, sets, bad, counts.total, misreads) +
                               (firstMisread.empty() ? "" : " (" + firstMisread + ")");
    return (bad == 0 && misreads == 0) ? Pass(figure) : Fail(figure);
}

// --- Check 6 -----------------------------------------------------------------------------------

CheckResult CheckTextRoundTrip(const CheckEnv& env) {
    std::mt19937_64 rng = Rng(env, 6);
    Rig rig(env.plugin, kStereo, 48000.0f, 512);
    if (!rig.Ok()) return Fail(rig.Error());
    AAX_IACFEffectParameters* model = rig.Instance().EffectParameters();
    const std::string before = std::setlocale(LC_ALL, nullptr);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    uint64_t trips = 0;
    for (const char* name : {"C", "de_DE.UTF-8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) == nullptr) {
            std::setlocale(LC_ALL, before.c_str());
            return Fail(fmt::format("the locale {} is not installed (generate it to run this check)", name));
        }
        const std::string active = std::setlocale(LC_ALL, nullptr);
        const std::string point = std::localeconv()->decimal_point;
        for (const MarovexParameterInfo& p : rig.Parameters()) {
            const int32_t steps = p.steps > 1 ? p.steps : 101;
            const double step = 1.0 / double(steps - 1);
            std::vector<double> values;
            for (int32_t i = 0; i < std::min<int32_t>(steps, 101); ++i) values.push_back(double(i) / std::min(steps - 1, 100));
            for (int i = 0; i < Scaled(env, 50, 5); ++i) values.push_back(unit(rng));
            for (const double v : values) {
                ValidateString text;
                if (model->GetParameterStringFromValue(p.id.c_str(), v, &text, 32) != AAX_SUCCESS) {
                    std::setlocale(LC_ALL, before.c_str());
                    return Fail(fmt::format("{}: \"{}\" has no text for {}", name, p.id, v));
                }
                double back = -1.0;
                if (model->GetParameterValueFromString(p.id.c_str(), &back, text) != AAX_SUCCESS ||
                    !(std::fabs(back - v) <= step + 1e-9)) {
                    std::setlocale(LC_ALL, before.c_str());
                    return Fail(fmt::format("{}: \"{}\" at {} shows \"{}\", which reads back as {} (one step is {:.4g})",
                                            name, p.id, v, text.Get(), back, step));
                }
                ++trips;
            }
        }
        if (active != std::setlocale(LC_ALL, nullptr) || point != std::localeconv()->decimal_point) {
            std::setlocale(LC_ALL, before.c_str());
            return Fail(fmt::format("the plug-in changed the process locale (was {})", active));
        }
    }
    std::setlocale(LC_ALL, before.c_str());
    return Pass(fmt::format("{} round trips of {} parameters in C, de_DE.UTF-8, nl_NL.UTF-8 within one step; locale "
                            "unchanged",
                            trips, rig.Parameters().size()));
}

// --- Check 7 -----------------------------------------------------------------------------------

CheckResult CheckState(const CheckEnv& env) {
    std::mt19937_64 rng = Rng(env, 7);
    const int rounds = Scaled(env, 20, 2);
    std::string error;
    std::shared_ptr<MarovexModule> module = MarovexModule::Load(env.plugin, &error);
    if (module == nullptr) return Fail("cannot load the module: " + error);
    size_t chunkBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        Rig a(module, kStereo, 48000.0f, 256), b(module, round % 2 ? kMono : kStereo, 44100.0f, 256);
        if (!a.Ok() || !b.Ok()) return Fail(a.Ok() ? b.Error() : a.Error());
        const std::string bypass = a.BypassID();
        const double bBypass = round % 2 ? 1.0 : 0.0;
        if (!a.Randomise(rng) || (!bypass.empty() && !a.Set(bypass, 1.0 - bBypass))) return Fail(a.Error());
        if (!bypass.empty() && !b.Set(bypass, bBypass)) return Fail(b.Error());
        std::vector<uint8_t> saved, again, resaved;
        if (!a.Instance().SaveState(&saved, &error) || !a.Instance().SaveState(&again, &error)) {
            return Fail("saving failed: " + error);
        }
        if (saved != again) return Fail("two saves of one unchanged instance differ");
        chunkBytes = saved.size();
        if (!b.Instance().LoadState(saved, &error)) return Fail("loading failed: " + error);
        for (const MarovexParameterInfo& p : a.Parameters()) {
            const double va = a.Get(p.id), vb = b.Get(p.id);
            if (p.id == bypass) {
                if (vb != bBypass) return Fail(fmt::format("the master bypass travelled with the state ({} -> {})", bBypass, vb));
            } else if (static_cast<float>(va) != static_cast<float>(vb)) {
                return Fail(fmt::format("round {}: \"{}\" saved as {} loads as {}", round + 1, p.id, va, vb));
            }
        }
        if (!b.Instance().SaveState(&resaved, &error)) return Fail("saving failed: " + error);
        if (resaved != saved) return Fail(fmt::format("round {}: the re-saved state differs from the loaded one", round + 1));
        bool equal = false;
        if (!b.Instance().CompareState(saved, &equal, &error)) return Fail("comparing failed: " + error);
        if (!equal) return Fail("CompareActiveChunk finds the instance unequal to the state it just loaded");
        // One change must make it unequal.
        const std::vector<MarovexParameterInfo>& params = b.Parameters();
        std::vector<const MarovexParameterInfo*> controls;
        for (const MarovexParameterInfo& p : params) {
            if (p.id != bypass) controls.push_back(&p);
        }
        if (controls.empty()) return Fail("the module has no parameter that its state carries");
        const MarovexParameterInfo& changed = *controls[rng() % controls.size()];
        const double old = b.Get(changed.id);
        if (!b.Set(changed.id, old > 0.5 ? old - 0.25 : old + 0.25)) return Fail(b.Error());
        if (!b.Instance().CompareState(saved, &equal, &error)) return Fail("comparing failed: " + error);
        if (equal) return Fail(fmt::format("CompareActiveChunk still finds the state equal after \"{}\" changed", changed.id));
    }
    return Pass(fmt::format("{} rounds: values equal after loading, {}-byte records identical when re-saved, compare "
                            "equal then unequal, bypass stays",
                            rounds, chunkBytes));
}

// --- Check 8 -----------------------------------------------------------------------------------

namespace {

std::vector<uint8_t> Record(const std::vector<uint8_t>& header56, const uint8_t* data, size_t size) {
    std::vector<uint8_t> r(header56.begin(), header56.begin() + kAAX_ChunkHeaderSize);
    const int32_t n = static_cast<int32_t>(size);
    std::memcpy(r.data(), &n, 4);
    r.resize(kAAX_ChunkHeaderSize + size);
    if (size > 0) std::memcpy(r.data() + kAAX_ChunkHeaderSize, data, size);
    return r;
}

}  // namespace

CheckResult CheckHostileState(const CheckEnv& env) {
    std::mt19937_64 rng = Rng(env, 8);
    std::string error;
    std::shared_ptr<MarovexModule> module = MarovexModule::Load(env.plugin, &error);
    if (module == nullptr) return Fail("cannot load the module: " + error);
    Rig source(module, kStereo, 48000.0f, 256), rig(module, kStereo, 48000.0f, 256);
    if (!source.Ok() || !rig.Ok()) return Fail(source.Ok() ? rig.Error() : source.Error());
    std::vector<uint8_t> good;
    if (!source.Randomise(rng) || !source.Instance().SaveState(&good, &error)) return Fail("saving failed: " + error);
    const std::string bypass = rig.BypassID();

    // The instance's own values, set before each hostile load.
    std::vector<double> mine;
    const auto settle = [&]() {
        if (mine.empty()) {
            if (!rig.Randomise(rng)) return false;
            for (const MarovexParameterInfo& p : rig.Parameters()) mine.push_back(rig.Get(p.id));
            return true;
        }
        for (size_t i = 0; i < mine.size(); ++i) {
            if (!rig.Set(rig.Parameters()[i].id, mine[i])) return false;
        }
        return true;
    };
    // After a load: every value is its own or (when `fromGood`) the good state's; or, for flipped
    // bits, at least a normalized value.
    enum class Allow { Unchanged, OwnOrGood, AnyValid };
    std::string problem;
    const auto verify = [&](Allow allow, const char* what) {
        for (size_t i = 0; i < mine.size() && problem.empty(); ++i) {
            const MarovexParameterInfo& p = rig.Parameters()[i];
            const double v = rig.Get(p.id);
            const bool own = v == mine[i];
            const bool fromGood = static_cast<float>(v) == static_cast<float>(source.Get(p.id));
            const bool valid = v >= 0.0 && v <= 1.0;
            const bool ok = allow == Allow::Unchanged ? own : allow == Allow::OwnOrGood ? (own || fromGood) : valid;
            if (!ok) problem = fmt::format("{}: \"{}\" became {} (was {})", what, p.id, v, mine[i]);
        }
        return problem.empty();
    };
    // A refusal is a fine answer, but a refused chunk must change nothing.
    int refused = 0;
    const auto load = [&](const std::vector<uint8_t>& record, const std::string& what) {
        std::vector<double> before;
        for (const MarovexParameterInfo& p : rig.Parameters()) before.push_back(rig.Get(p.id));
        if (rig.Instance().LoadState(record, &error)) return true;
        ++refused;
        for (size_t i = 0; i < before.size(); ++i) {
            const double v = rig.Get(rig.Parameters()[i].id);
            if (!(v == before[i])) {
                problem = fmt::format("{} was refused ({}), yet \"{}\" became {} (was {})", what, error,
                                      rig.Parameters()[i].id, v, before[i]);
                return false;
            }
        }
        return true;
    };

    int loads = 0;
    if (!settle()) return Fail(rig.Error());
    if (!load(Record(good, nullptr, 0), "an empty chunk")) return Fail(problem);
    ++loads;
    if (!verify(Allow::Unchanged, "an empty chunk")) return Fail(problem);

    for (int i = 0; i < 3; ++i) {
        std::vector<uint8_t> noise(1u << 20);
        for (auto& byte : noise) byte = static_cast<uint8_t>(rng());
        if (!settle()) return Fail(rig.Error());
        if (!load(Record(good, noise.data(), noise.size()), "1 MB of random bytes")) return Fail(problem);
        ++loads;
        if (!verify(Allow::Unchanged, "1 MB of random bytes")) return Fail(problem);
    }

    const size_t dataSize = good.size() - kAAX_ChunkHeaderSize;
    for (size_t cut = 0; cut < dataSize; ++cut) {
        if (!settle()) return Fail(rig.Error());
        const std::string what = fmt::format("the chunk cut to {} of {} bytes", cut, dataSize);
        if (!load(Record(good, good.data() + kAAX_ChunkHeaderSize, cut), what)) return Fail(problem);
        ++loads;
        if (!verify(Allow::OwnOrGood, what.c_str())) return Fail(problem);
    }

    const int flips = Scaled(env, 1000, 50);
    for (int i = 0; i < flips; ++i) {
        std::vector<uint8_t> bad = good;
        const size_t bit = rng() % (dataSize * 8);
        bad[kAAX_ChunkHeaderSize + bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        const std::string what = fmt::format("bit {} flipped", bit);
        if (!load(bad, what)) return Fail(problem);
        ++loads;
        if (!verify(Allow::AnyValid, what.c_str())) return Fail(problem);
    }
    // And it still processes.
    auto io = Noise(rng, rig.Channels(), 4096);
    if (!rig.Process(io)) return Fail(rig.Error());
    SampleCounts counts;
    for (const auto& ch : io) counts.Add(ch.data(), ch.size());
    if (counts.nan + counts.inf != 0) return Fail("after the hostile chunks the output is not finite: " + counts.Text());
    return Pass(fmt::format("{} hostile loads (empty, 3 x 1 MB random, {} cuts, {} bit flips), {} refused: no "
                            "crash, nothing changed that could not be read",
                            loads, dataSize, flips, refused));
}

}  // namespace marovex::validate
