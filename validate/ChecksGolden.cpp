// Check 12: the golden renders, the bypass null and the neutral null.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <fmt/core.h>

#include <sndfile.h>

#include "AudioReader.h"
#include "Checks.h"
#include "CliError.h"

namespace marovex::validate {

// --- Check 12 ----------------------------------------------------------------------------------

namespace {

struct GoldenCase {
    int32_t stem;
    int bits;  // 16, 24 or 32 (float)
    double rate;
};

const GoldenCase kGolden[] = {{kMono, 16, 22050}, {kMono, 24, 37800},     {kMono, 32, 44123.45},
                              {kStereo, 16, 32000}, {kStereo, 24, 44123.45}, {kStereo, 32, 88200}};
constexpr size_t kGoldenFrames = 2048;
constexpr int32_t kGoldenBlock = 256;

std::string GoldenName(const GoldenCase& g) {
    return fmt::format("render-{}-{}{}-{}.f32", g.stem == kMono ? "mono" : "stereo", g.bits, g.bits == 32 ? "f" : "",
                       static_cast<long>(std::lround(g.rate * 100)));
}

// A fixed input (independent of the run's seed): three sines and, in the first half, some noise.
std::vector<std::vector<float>> GoldenSignal(const GoldenCase& g, int channels) {
    std::mt19937_64 rng(12345);
    auto s = Sines(rng, channels, kGoldenFrames, g.rate);
    auto n = Noise(rng, channels, kGoldenFrames);
    for (size_t c = 0; c < s.size(); ++c) {
        for (size_t i = 0; i < kGoldenFrames; ++i) {
            s[c][i] = 0.8f * s[c][i] + 0.2f * n[c][i] * (i > kGoldenFrames / 2 ? 0.0f : 1.0f);
        }
    }
    return s;
}

// A folder of its own under the temporary folder, removed with what it holds.
class TemporaryFolder {
public:
    TemporaryFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/marovex-golden-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) mPath = pattern;
    }
    ~TemporaryFolder() {
        if (mPath.empty()) return;
        for (const std::string& f : mFiles) std::remove(f.c_str());
        rmdir(mPath.c_str());
    }
    const std::string& Path() const { return mPath; }
    std::string File(const std::string& name) {
        mFiles.push_back(mPath + "/" + name);
        return mFiles.back();
    }

private:
    std::string mPath;
    std::vector<std::string> mFiles;
};

// Writes the case's signal as a WAV file in the case's sample format, as another program would:
// integer formats hold the samples rounded to nearest at full scale 2^(bits-1) - 1, float files the
// samples themselves. The header holds the rate rounded to whole hertz. Empty, or what went wrong.
std::string WriteGoldenInput(const GoldenCase& g, const std::vector<std::vector<float>>& signal, const std::string& path) {
    SF_INFO info{};
    info.channels = static_cast<int>(signal.size());
    info.samplerate = static_cast<int>(std::lround(g.rate));
    info.format = SF_FORMAT_WAV | (g.bits == 16 ? SF_FORMAT_PCM_16 : g.bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return "cannot write " + path + ": " + sf_strerror(nullptr);
    std::vector<float> floats;
    std::vector<int32_t> integers;  // left-justified in 32 bits, as libsndfile takes them
    const double full = g.bits == 16 ? 32767.0 : 8388607.0;
    for (size_t i = 0; i < kGoldenFrames; ++i) {
        for (const auto& ch : signal) {
            floats.push_back(ch[i]);
            const double q = std::clamp(std::nearbyint(double(ch[i]) * full), -full, full);
            integers.push_back(static_cast<int32_t>(q) * (g.bits == 16 ? 65536 : 256));
        }
    }
    const sf_count_t written = g.bits == 32 ? sf_writef_float(file, floats.data(), sf_count_t(kGoldenFrames))
                                            : sf_writef_int(file, integers.data(), sf_count_t(kGoldenFrames));
    const std::string why = sf_strerror(file);
    if (sf_close(file) != 0 || written != sf_count_t(kGoldenFrames)) return "cannot write " + path + ": " + why;
    return std::string();
}

// Decodes the file as the program decodes a user's input, into deinterleaved channels.
std::string ReadGoldenInput(const std::string& path, int channels, std::vector<std::vector<float>>* io) {
    try {
        marovex::cli::AudioReader reader(path);
        if (reader.Channels() != channels || reader.Frames() != int64_t(kGoldenFrames)) {
            return fmt::format("{} reads back as {} channel(s) of {} frames", path, reader.Channels(), reader.Frames());
        }
        std::vector<float> interleaved(kGoldenFrames * size_t(channels));
        if (reader.Read(interleaved.data(), int64_t(kGoldenFrames)) != int64_t(kGoldenFrames)) {
            return path + " reads back short";
        }
        io->assign(size_t(channels), std::vector<float>(kGoldenFrames));
        for (size_t i = 0; i < interleaved.size(); ++i) (*io)[i % size_t(channels)][i / size_t(channels)] = interleaved[i];
    } catch (const marovex::cli::CliError& e) {
        return e.what();
    }
    return std::string();
}

// Settings away from the defaults, the same for every render.
bool GoldenSettings(Rig& rig) {
    const std::pair<const char*, double> settings[] = {{"InGain", 0.7},  {"FreqW", 0.35}, {"Width", 0.2},
                                                       {"FreqA", 0.6},   {"Action", 0.3}, {"Dyn", 0.45},
                                                       {"Adj", 0.65},    {"OutGain", 0.55}};
    for (const auto& s : settings) {
        if (!rig.Set(s.first, s.second)) return false;
    }
    return true;
}

bool Render(Rig& rig, std::vector<std::vector<float>>& io) {
    for (size_t at = 0; at < io[0].size(); at += kGoldenBlock) {
        if (!rig.Process(io, at, kGoldenBlock)) return false;
    }
    return true;
}

}  // namespace

CheckResult CheckGoldenRenders(const CheckEnv& env) {
    int matched = 0;
    TemporaryFolder folder;
    if (folder.Path().empty()) return Fail("cannot make a temporary folder for the input files");
    for (const GoldenCase& g : kGolden) {
        Rig rig(env.plugin, g.stem, static_cast<float>(g.rate), kGoldenBlock);
        if (!rig.Ok()) return Fail(rig.Error());
        if (!GoldenSettings(rig)) return Fail("the golden renders need the effect's own parameters: " + rig.Error());
        // The input goes through a file of its sample format and comes back decoded, as a user's does.
        const std::string input = folder.File(GoldenName(g) + ".wav");
        std::vector<std::vector<float>> io;
        std::string why = WriteGoldenInput(g, GoldenSignal(g, rig.Channels()), input);
        if (why.empty()) why = ReadGoldenInput(input, rig.Channels(), &io);
        if (!why.empty()) return Fail(why);
        if (!Render(rig, io)) return Fail(rig.Error());
        std::vector<float> interleaved;
        for (size_t i = 0; i < kGoldenFrames; ++i) {
            for (const auto& ch : io) interleaved.push_back(ch[i]);
        }
        const std::string path = env.goldenDir + "/" + GoldenName(g);
        const size_t bytes = interleaved.size() * sizeof(float);
        if (env.writeGolden) {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(interleaved.data()), std::streamsize(bytes));
            if (!out) return Fail("cannot write " + path);
            ++matched;
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        std::vector<float> kept(interleaved.size() + 1);
        in.read(reinterpret_cast<char*>(kept.data()), std::streamsize(bytes + sizeof(float)));
        if (static_cast<size_t>(in.gcount()) != bytes) {
            return Fail(fmt::format("no golden render of {} bytes at {}", bytes, path));
        }
        for (size_t i = 0; i < interleaved.size(); ++i) {
            if (std::memcmp(&kept[i], &interleaved[i], sizeof(float)) != 0) {
                return Fail(fmt::format("{} differs from its golden render at frame {} channel {} ({:.9g} against "
                                        "{:.9g})",
                                        GoldenName(g), i / io.size(), i % io.size(), interleaved[i], kept[i]));
            }
        }
        ++matched;
    }

    // Nulls: the bypass gives the input back bit for bit; neutral settings come within a whisper of it.
    double worstNeutral = 0.0;
    for (const int32_t stem : {kMono, kStereo}) {
        Rig bypassed(env.plugin, stem, 48000.0f, 512);
        if (!bypassed.Ok()) return Fail(bypassed.Error());
        std::mt19937_64 rng = Rng(env, 12);
        if (!bypassed.Randomise(rng) || !bypassed.Set(bypassed.BypassID(), 1.0)) return Fail(bypassed.Error());
        const auto input = Noise(rng, bypassed.Channels(), 48000);
        auto io = input;
        for (size_t at = 0; at < 48000; at += 512) {
            if (!bypassed.Process(io, at, static_cast<int32_t>(std::min<size_t>(512, 48000 - at)))) {
                return Fail(bypassed.Error());
            }
        }
        if (io != input) return Fail(std::string("the bypass does not give the input back bit for bit (") +
                                     LayoutName(stem) + ")");

        Rig neutral(env.plugin, stem, 48000.0f, 512);
        if (!neutral.Ok()) return Fail(neutral.Error());
        const std::pair<const char*, double> flat[] = {{"InGain", 0.5}, {"Width", 1.0}, {"Action", 1.0},
                                                       {"Dyn", 1.0},    {"Adj", 0.5},   {"OutGain", 0.5}};
        for (const auto& s : flat) {
            if (!neutral.Set(s.first, s.second)) return Fail(neutral.Error());
        }
        auto quiet = Noise(rng, neutral.Channels(), 96000);
        for (auto& ch : quiet) {
            for (float& x : ch) x *= 0.1f;
        }
        auto out = quiet;
        for (size_t at = 0; at < 96000; at += 500) {
            if (!neutral.Process(out, at, 500)) return Fail(neutral.Error());
        }
        // The detector's gain settles within the first second; measure the second.
        double peak = 0.0;
        for (size_t c = 0; c < out.size(); ++c) {
            for (size_t n = 48000; n < 96000; ++n) peak = std::max(peak, double(std::fabs(out[c][n] - quiet[c][n])));
        }
        worstNeutral = std::max(worstNeutral, peak);
    }
    const double neutralDb = worstNeutral > 0.0 ? 20.0 * std::log10(worstNeutral) : -999.0;
    const std::string figure =
        fmt::format("{} of {} renders of 16-bit, 24-bit and float WAV input bit-identical{} in {}; bypass null exact; neutral null peak {:.1f} dBFS (limit -100)",
                    matched, std::size(kGolden), env.writeGolden ? " (written)" : "", env.goldenDir, neutralDb);
    return neutralDb <= -100.0 ? Pass(figure) : Fail(figure);
}

}  // namespace marovex::validate
