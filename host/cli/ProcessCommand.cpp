// `marovex process [IN [OUT]]`: runs an audio file, or the built-in demo signal, through the plug-in.
//
// Order of work: check the command line; open the input and settle the output format; read and check
// the state and preset files; check that no output would be overwritten without --overwrite; load the
// plug-in and apply --load-state, then --preset, then each --set in order; only then create the
// outputs (as temporary files), process block by block with --automate applied at block boundaries,
// save the state and the preset, and move every output into place. Any failure before the last step
// leaves no output behind.
#include <signal.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>

#include <fmt/core.h>

#include "AudioFiles.h"
#include "CliError.h"
#include "Commands.h"
#include "DemoSignal.h"
#include "Envelope.h"
#include "MarovexPresetText.h"
#include "PluginSession.h"
#include "Progress.h"
#include "StateFile.h"

namespace marovex::cli {

namespace fs = std::filesystem;

namespace {

struct Assignment {
    std::string key;
    std::string value;
};

Assignment SplitAssignment(const std::string& option, const std::string& text, const char* form) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw UsageError(option + " expects " + form + ", not '" + text + "'");
    }
    return {text.substr(0, equals), text.substr(equals + 1)};
}

struct Automation {
    std::string key;
    std::string id;
    Envelope envelope;
    double lastApplied = std::nan("");
};

// Set by SIGINT, SIGHUP and SIGTERM while audio is processed: the run then stops at the next block
// and fails like any other, so its temporary outputs are removed.
volatile sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) { gInterrupted = 1; }

// Routes the stop signals to OnInterrupt while it lives.
class InterruptScope {
public:
    InterruptScope() {
        struct sigaction action = {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < kCount; ++i) sigaction(kSignals[i], &action, &mPrevious[i]);
    }
    ~InterruptScope() {
        for (size_t i = 0; i < kCount; ++i) sigaction(kSignals[i], &mPrevious[i], nullptr);
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    static constexpr size_t kCount = 3;
    static constexpr int kSignals[kCount] = {SIGINT, SIGHUP, SIGTERM};
    struct sigaction mPrevious[kCount];
};

// The gain starts at full reduction in a fresh instance and releases with a time constant of about
// 40 ms; five time constants later it is within 1% of where the audio puts it.
constexpr double kStartUpSeconds = 0.2;

// An output file and whether an existing file there may be replaced.
struct OutputTarget {
    const char* role;
    std::string path;
    bool mayReplace;
};

void CheckOutputs(const std::vector<OutputTarget>& outputs) {
    std::error_code ec;
    for (size_t i = 0; i < outputs.size(); ++i) {
        const OutputTarget& out = outputs[i];
        if (fs::is_directory(out.path, ec)) throw Failure("the " + std::string(out.role) + " '" + out.path + "' is a folder");
        const bool exists = fs::exists(fs::symlink_status(out.path, ec));
        if (exists && !out.mayReplace) {
            throw Failure("the " + std::string(out.role) + " '" + out.path +
                          "' already exists (use --overwrite to replace it)");
        }
        for (size_t j = 0; j < i; ++j) {
            if (fs::weakly_canonical(out.path, ec) == fs::weakly_canonical(outputs[j].path, ec)) {
                throw UsageError("the " + std::string(out.role) + " and the " + outputs[j].role + " are the same file '" +
                                 out.path + "'");
            }
        }
    }
}

// A gain in decibels, with a sign when `signed` is set ("+3.7 dB").
std::string Decibels(double gain, bool withSign) {
    if (!(gain > 0.0)) return "-inf dB";
    const double db = 20.0 * std::log10(gain);
    return withSign ? fmt::format("{:+.1f} dB", db) : fmt::format("{:.1f} dB", db);
}

// Where the audio comes from: an input file or the demo signal in memory.
class Source {
public:
    virtual ~Source() = default;
    virtual int64_t Read(float* interleaved, int64_t frames) = 0;
};

class FileSource : public Source {
public:
    explicit FileSource(AudioReader& reader) : mReader(reader) {}
    int64_t Read(float* interleaved, int64_t frames) override { return mReader.Read(interleaved, frames); }

private:
    AudioReader& mReader;
};

class MemorySource : public Source {
public:
    MemorySource(const std::vector<float>& samples, int channels) : mSamples(samples), mChannels(channels) {}
    int64_t Read(float* interleaved, int64_t frames) override {
        const int64_t total = int64_t(mSamples.size()) / mChannels;
        const int64_t n = std::min(frames, total - mFrame);
        std::copy_n(mSamples.data() + mFrame * mChannels, n * mChannels, interleaved);
        mFrame += n;
        return n;
    }

private:
    const std::vector<float>& mSamples;
    int mChannels;
    int64_t mFrame = 0;
};

}  // namespace

int RunProcess(const ProcessOptions& o) {
    // The command line on its own.
    if (o.block < 1 || size_t(o.block) > kMaxBlock) {
        throw UsageError("--block must be from 1 to " + std::to_string(kMaxBlock));
    }
    const OutputBits bits = o.bits.empty() ? OutputBits::Default : ParseOutputBits(o.bits);
    std::vector<Assignment> sets;
    for (const std::string& text : o.sets) sets.push_back(SplitAssignment("--set", text, "ID=VALUE"));
    std::vector<Automation> automations;
    for (const std::string& text : o.automations) {
        const Assignment a = SplitAssignment("--automate", text, "ID=TIME:VALUE,TIME:VALUE,...");
        automations.push_back({a.key, "", Envelope::Parse(a.value), std::nan("")});
    }

    // Input and output format.
    const bool demo = o.input.empty();
    std::unique_ptr<AudioReader> reader;
    MarovexDemoSignal demoSignal{};
    int channels, sampleRate, inputFormat;
    int64_t frames;
    std::string outPath;
    bool outMayReplace;
    if (demo) {
        demoSignal = MakeMarovexDemoSignal(48000);
        channels = demoSignal.channels;
        sampleRate = demoSignal.sampleRate;
        frames = int64_t(demoSignal.samples.size()) / channels;
        inputFormat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        outPath = kDemoOutputName;
        outMayReplace = true;  // the demo's own output is remade on every run
    } else {
        reader = std::make_unique<AudioReader>(o.input);
        channels = reader->Channels();
        sampleRate = reader->SampleRate();
        frames = reader->Frames();
        inputFormat = reader->Format();
        outPath = o.output.empty() ? DefaultOutputPath(o.input) : o.output;
        outMayReplace = o.overwrite;
    }
    const int outFormat = ChooseOutputFormat(inputFormat, outPath, bits, channels, sampleRate);

    // State and preset files.
    std::vector<uint8_t> stateRecord;
    if (!o.loadState.empty()) {
        stateRecord = ReadWholeFile(o.loadState, kMaxStateFileBytes);
        try {
            ParseStateRecord(stateRecord);
        } catch (const CliError& e) {
            throw Failure("'" + o.loadState + "': " + e.what());
        }
    }
    MarovexPresetScan preset;
    if (!o.preset.empty()) {
        const std::vector<uint8_t> bytes = ReadFilePrefix(o.preset, kMarovexPresetMaxInputLength + 1);
        if (bytes.size() > kMarovexPresetMaxInputLength) {
            throw Failure("'" + o.preset + "' is not a valid preset: it is longer than the " +
                          std::to_string(kMarovexPresetMaxInputLength) + " bytes a preset may hold");
        }
        preset = MarovexScanPresetText(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), MarovexPresetSource::File);
        if (!preset.valid) throw Failure("'" + o.preset + "' is not a valid preset: " + preset.reason);
    }

    // Outputs.
    std::vector<OutputTarget> outputs = {{"output", outPath, outMayReplace}};
    if (!o.saveState.empty()) outputs.push_back({"state file", o.saveState, o.overwrite});
    if (!o.savePreset.empty()) outputs.push_back({"preset file", o.savePreset, o.overwrite});
    CheckOutputs(outputs);

    // The plug-in and its settings.
    PluginSession session(o.plugin, channels == 1 ? AAX_eStemFormat_Mono : AAX_eStemFormat_Stereo,
                          float(sampleRate), o.block);
    MarovexInstance& instance = session.Instance();
    std::string error;
    if (!stateRecord.empty() && !instance.LoadState(stateRecord, &error)) {
        throw Failure("cannot load the state '" + o.loadState + "': " + error);
    }
    if (preset.valid) {
        for (size_t i = 0; i < kMarovexPresetValueCount; ++i) {
            session.SetAsEditor(kMarovexPresetIdentifiers[i], double(preset.values[i]));
        }
    }
    for (const Assignment& a : sets) session.SetFromText(session.Resolve(a.key), a.value);
    for (Automation& a : automations) a.id = session.Resolve(a.key);

    // Processing into the temporary output.
    InterruptScope interrupts;
    PendingFile audioFile(outPath);
    std::optional<PendingFile> stateFile, presetFile;
    if (!o.saveState.empty()) stateFile.emplace(o.saveState);
    if (!o.savePreset.empty()) presetFile.emplace(o.savePreset);
    AudioWriter writer(audioFile, outFormat, channels, sampleRate);
    std::unique_ptr<Source> source;
    if (demo) source = std::make_unique<MemorySource>(demoSignal.samples, channels);
    else source = std::make_unique<FileSource>(*reader);

    const size_t block = size_t(o.block);
    std::vector<float> interleaved(block * channels);
    std::vector<std::vector<float>> planarIn(channels, std::vector<float>(block));
    std::vector<std::vector<float>> planarOut(channels, std::vector<float>(block));
    std::vector<const float*> in(channels);
    std::vector<float*> out(channels);
    for (int c = 0; c < channels; ++c) {
        in[c] = planarIn[c].data();
        out[c] = planarOut[c].data();
    }
    ProgressBar progress(stderr, !o.quiet && ProgressBar::Wanted(stderr, frames, sampleRate), frames);
    double peak = 0.0;
    int64_t beyondFullScale = 0;
    float settledReduction = 0.0f;  // meter peak over the blocks after the start-up
    int64_t done = 0;
    const auto started = std::chrono::steady_clock::now();
    while (true) {
        if (gInterrupted) throw Failure("interrupted; nothing was written");
        const int64_t n = source->Read(interleaved.data(), int64_t(block));
        if (n <= 0) break;
        // Envelopes take effect at the start of the block.
        const double seconds = double(done) / double(sampleRate);
        for (Automation& a : automations) {
            const double value = a.envelope.ValueAt(seconds);
            if (!(value == a.lastApplied)) {
                session.Set(a.id, value);
                a.lastApplied = value;
            }
        }
        for (int64_t f = 0; f < n; ++f) {
            for (int c = 0; c < channels; ++c) planarIn[c][f] = interleaved[f * channels + c];
        }
        if (!instance.Process(in.data(), out.data(), int32_t(n), &error)) {
            throw Failure("processing failed: " + error);
        }
        for (int64_t f = 0; f < n; ++f) {
            for (int c = 0; c < channels; ++c) {
                const float x = planarOut[c][f];
                interleaved[f * channels + c] = x;
                const double magnitude = std::fabs(double(x));
                if (magnitude > peak) peak = magnitude;
                if (!(magnitude <= 1.0)) ++beyondFullScale;  // NaN counts too
            }
        }
        if (seconds >= kStartUpSeconds && instance.MeterCount() > 0) {
            settledReduction = std::max(settledReduction, instance.MeterValue(0));
        }
        writer.Write(interleaved.data(), n);
        done += n;
        progress.Update(done);
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    progress.Finish();
    writer.Close();

    // Saved state and preset, after processing.
    if (stateFile) {
        std::vector<uint8_t> record;
        if (!instance.SaveState(&record, &error)) throw Failure("cannot save the state: " + error);
        stateFile->WriteAll(record);
    }
    if (presetFile) {
        std::array<double, kMarovexPresetValueCount> values{};
        for (size_t i = 0; i < kMarovexPresetValueCount; ++i) values[i] = session.Get(kMarovexPresetIdentifiers[i]);
        const std::string text = MarovexComposePresetText(values);
        presetFile->WriteAll(std::vector<uint8_t>(text.begin(), text.end()));
    }

    if (gInterrupted) throw Failure("interrupted; nothing was written");
    audioFile.Commit(outMayReplace);
    if (stateFile) stateFile->Commit(o.overwrite);
    if (presetFile) presetFile->Commit(o.overwrite);

    if (!o.quiet) {
        const double seconds = double(done) / double(sampleRate);
        const std::string speed = elapsed > 0.0 ? fmt::format("{:.1f}x real time", seconds / elapsed) : "real time n/a";
        // A fresh instance starts at full gain reduction and releases from there, so the meter's peak
        // over the whole run says nothing about the audio: report the blocks after the start-up.
        std::string reduction;
        if (seconds > kStartUpSeconds) {
            reduction = fmt::format("peak gain reduction {:.3f} ({}) after the {} s start-up", settledReduction,
                                    Decibels(1.0 - double(settledReduction), false), kStartUpSeconds);
        } else {
            const float whole = instance.MeterCount() > 0 ? instance.MeterPeak(0) : 0.0f;
            reduction = fmt::format("peak gain reduction {:.3f} ({}) within the start-up", whole,
                                    Decibels(1.0 - double(whole), false));
        }
        fmt::print(stderr, "marovex: {} frames at {} Hz ({:.2f} s, {}), {}, {} -> {}\n", done, sampleRate, seconds,
                   channels == 1 ? "mono" : "stereo", speed, reduction, outPath);
    }
    if (beyondFullScale > 0) {
        const bool integer = (outFormat & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT &&
                             (outFormat & SF_FORMAT_SUBMASK) != SF_FORMAT_DOUBLE;
        fmt::print(stderr, "warning: the output clips: {} samples beyond full scale (peak {:.3f}, {}FS){}\n",
                   beyondFullScale, peak, Decibels(peak, true), integer ? ", clipped in the file" : "");
    }
    return kExitSuccess;
}

}  // namespace marovex::cli
