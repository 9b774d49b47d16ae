// One input of `marovex process` through the plug-in (see ProcessRun.h).
#include "ProcessRun.h"

#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>

#include <fmt/core.h>
#include <nlohmann/json.hpp>

#include "AudioFormat.h"
#include "AudioReader.h"
#include "AudioWriter.h"
#include "ChunkPipeline.h"
#include "CliError.h"
#include "DemoSignal.h"
#include "Graphics.h"
#include "InterleavedSamples.h"
#include "Interrupt.h"
#include "MarovexReadout.h"
#include "Messages.h"
#include "OutputPlace.h"
#include "PendingFile.h"
#include "PlotLevels.h"
#include "PluginSession.h"
#include "Progress.h"
#include "Text.h"

namespace marovex::cli {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

constexpr const char kBypassID[] = "MasterBypassID";

// Along a ramp the parameter is updated at least this often, whatever --block says.
constexpr int64_t kRampUpdateFrames = 64;

// The file is read and written in chunks of about this many frames (whole blocks), whatever --block says.
constexpr int64_t kChunkFrames = 16384;

// With --plot, the meter is read at least this often (a column of a long file's picture spans more).
constexpr int64_t kPlotMeterFrames = 32;

// Frame positions are counted in 64-bit integers and compared as doubles: every point lies where both
// are exact (2^53 frames, some 5900 years at 48 kHz).
constexpr double kLastCountableFrame = 9007199254740992.0;

// Whether `path` holds what an earlier demo run wrote: a file of its own (no link, no other hard link,
// the user's), read as audio with the demo's channels, rate and length.
bool IsEarlierDemoOutput(const std::string& path, int channels, int sampleRate, int64_t frames) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_uid != ::geteuid()) {
        return false;
    }
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return false;
    sf_close(file);
    return info.channels == channels && info.samplerate == sampleRate && int64_t(info.frames) == frames;
}

// Where the audio comes from: an input file or the demo signal in memory.
class Source {
public:
    virtual ~Source() = default;
    virtual int64_t Read(float* interleaved, int64_t frames, int32_t* originals, double* doubles) = 0;
};

class FileSource : public Source {
public:
    explicit FileSource(AudioReader& reader) : mReader(reader) {}
    int64_t Read(float* interleaved, int64_t frames, int32_t* originals, double* doubles) override {
        return mReader.Read(interleaved, frames, originals, doubles);
    }

private:
    AudioReader& mReader;
};

class MemorySource : public Source {
public:
    MemorySource(const std::vector<float>& samples, int channels) : mSamples(samples), mChannels(channels) {}
    int64_t Read(float* interleaved, int64_t frames, int32_t*, double*) override {
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

// The readout of a parameter value: "FreqA 0.25 = Xover Frequency 2250.00 Hz" ("MasterBypassID 1 = on").
std::string ReadoutLine(const std::string& id, double value, const std::string& valueText) {
    const std::string readout = MarovexReadoutText(id, value);
    if (readout.empty()) return fmt::format("{} {} = {}", id, value, EscapeText(valueText));
    return fmt::format("{} {:.2f} = {}", id, value, readout);
}

}  // namespace

void Automation::Place(double sampleRate) {
    frames.clear();
    for (const EnvelopePoint& p : envelope.Points()) {
        const double x = p.seconds * sampleRate;
        if (!(x <= kLastCountableFrame)) {
            throw UsageError(fmt::format("--automate {}: the time {} s lies beyond the {:.0f} s that frames can "
                                         "be counted to at {} Hz",
                                         id, p.seconds, std::floor(kLastCountableFrame / sampleRate), sampleRate));
        }
        const double nearest = std::nearbyint(x);
        frames.push_back(std::fabs(x - nearest) <= 1e-9 * std::max(1.0, x) ? nearest : x);
    }
}

double Automation::ValueAt(int64_t frame) const {
    const std::vector<EnvelopePoint>& p = envelope.Points();
    const double f = double(frame);
    size_t i = 0;
    while (i + 1 < p.size() && frames[i + 1] <= f) ++i;
    if (f <= frames[i] || i + 1 == p.size()) return p[i].value;
    return p[i].value + (p[i + 1].value - p[i].value) * ((f - frames[i]) / (frames[i + 1] - frames[i]));
}

int64_t Automation::Run(int64_t frame) const {
    const std::vector<EnvelopePoint>& p = envelope.Points();
    const double f = double(frame);
    int64_t run = INT64_MAX;
    for (size_t i = 0; i < p.size(); ++i) {
        const double start = std::ceil(frames[i]);
        if (start > f) {
            run = int64_t(start - f);
            if (i > 0 && !(p[i - 1].value == p[i].value)) run = std::min(run, kRampUpdateFrames);
            break;
        }
    }
    return run;
}

Summary ProcessOne(const ProcessOptions& o, Plan& plan, const std::string& inputPath, const std::string& outputArg,
                   bool demo) {
    Summary summary;
    // Input and output format.
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
        outPath = outputArg.empty() ? kDemoOutputName : outputArg;
        // The demo's own output is remade on every run, but only a file an earlier demo run wrote.
        outMayReplace = o.overwrite || (outputArg.empty() && IsEarlierDemoOutput(outPath, channels, sampleRate, frames));
    } else {
        reader = std::make_unique<AudioReader>(inputPath);
        channels = reader->Channels();
        sampleRate = reader->SampleRate();
        frames = reader->Frames();
        inputFormat = reader->Format();
        outPath = outputArg.empty() ? DefaultOutputPath(inputPath, inputFormat) : outputArg;
        Container named;
        if (!o.outputDir.empty() && !plan.formatGiven && !ContainerOfExtension(outPath, &named)) {
            // Batch: an input whose extension names no container written here keeps its container.
            outPath = fs::path(outPath).replace_extension(fs::path(DefaultOutputPath(inputPath, inputFormat)).extension()).string();
        }
        outMayReplace = o.overwrite;
    }
    Container container = Container::Wav;
    if (plan.formatGiven) {
        container = plan.format;
    } else if (outPath != "-" && !ContainerOfExtension(outPath, &container)) {
        throw UsageError("cannot tell the output format from " + Quote(outPath) + ": give it one of the extensions " +
                         ContainerExtensions() + " or use --format");
    }
    const int outFormat = ChooseOutputFormat(container, inputFormat, plan.bits, channels, sampleRate);
    const OutputPlace outPlace = ClassifyOutput(outPath);
    if (outPlace.kind == OutputKind::Stream && !ContainerStreams(container)) {
        throw UsageError("cannot write " + std::string(ContainerName(container)) + " to a stream (" +
                         (outPath == "-" ? std::string("standard output") : Quote(outPath)) +
                         "); use wav, flac or ogg there");
    }
    if (outPlace.kind == OutputKind::Stream && outPath == "-" && ::isatty(STDOUT_FILENO) == 1) {
        throw UsageError("standard output is a terminal; redirect it to a file or a pipe");
    }
    summary.input = demo ? "(demo signal)" : inputPath;
    summary.output = outPath;
    summary.sampleRate = sampleRate;
    summary.channels = channels;

    // Outputs.
    std::vector<FileUse> inputs;
    if (!demo) inputs.push_back({"input audio", inputPath});
    inputs.push_back({"plug-in module", o.plugin});
    if (!o.loadState.empty()) inputs.push_back({"state loaded", o.loadState});
    if (!o.preset.empty()) inputs.push_back({"preset loaded", o.preset});
    std::vector<OutputTarget> outputs = {{"output", outPlace, outMayReplace}};
    if (!o.saveState.empty()) outputs.push_back({"state file", ClassifyOutput(o.saveState), o.overwrite});
    if (!o.savePreset.empty()) outputs.push_back({"preset file", ClassifyOutput(o.savePreset), o.overwrite});
    const size_t presetIndex = outputs.size() - 1;
    if (!o.plot.empty()) outputs.push_back({"picture", ClassifyOutput(o.plot), o.overwrite});
    CheckOutputs(outputs, inputs, reader.get());

    // The plug-in and its settings.
    PluginSession session(o.plugin, channels == 1 ? AAX_eStemFormat_Mono : AAX_eStemFormat_Stereo,
                          float(sampleRate), o.block);
    MarovexInstance& instance = session.Instance();
    std::string error;
    if (!plan.stateRecord.empty()) {
        std::vector<std::string> problems;
        try {
            problems = session.LoadStateAndReport(plan.stateRecord);
        } catch (const CliError& e) {
            throw Failure("cannot load the state " + Quote(o.loadState) + ": " + e.what());
        }
        for (const std::string& problem : problems) Warn(summary, "the state " + Quote(o.loadState) + ": " + problem);
        if (o.strict && !problems.empty()) {
            throw Failure("--strict: the state " + Quote(o.loadState) + " could not be applied whole; nothing was written");
        }
    }
    if (plan.preset.valid) {
        for (size_t i = 0; i < kMarovexPresetValueCount; ++i) {
            session.SetAsEditor(kMarovexPresetIdentifiers[i], double(plan.preset.values[i]));
        }
    }
    std::vector<std::string> setIds;
    for (const Assignment& a : plan.sets) {
        const std::string id = session.Resolve(a.key);
        session.SetFromText(id, a.value);
        if (std::find(setIds.begin(), setIds.end(), id) == setIds.end()) setIds.push_back(id);
    }
    if (o.bypass) {
        session.Set(kBypassID, 1.0);
        if (std::find(setIds.begin(), setIds.end(), kBypassID) == setIds.end()) setIds.push_back(kBypassID);
    }
    std::vector<Automation> automations = plan.automations;
    std::vector<std::string> automatedIds;
    for (Automation& a : automations) {
        a.id = session.Resolve(a.key);
        a.envelope.Resolve([&](const std::string& text) { return session.ValueOfText(a.id, text); });
        a.Place(double(sampleRate));
        if (std::find(automatedIds.begin(), automatedIds.end(), a.id) != automatedIds.end()) {
            Warn(summary, a.id + " is automated twice; the later --automate wins where they differ");
        }
        automatedIds.push_back(a.id);
        if (frames >= 0 && a.frames.back() >= double(frames) && a.envelope.Points().size() > 1) {
            Warn(summary, fmt::format("the --automate {} points from {:.3f} s on lie at or after the end of the audio "
                                      "({:.3f} s)",
                                      a.id, a.envelope.Points().back().seconds, double(frames) / sampleRate));
        }
    }
    for (const std::string& id : setIds) {
        const double value = session.Get(id);
        const std::string line = ReadoutLine(id, value, session.TextOf(id));
        summary.settings.push_back({{"id", id}, {"value", value}, {"readout", line}});
    }
    const bool bypassAutomated = std::find(automatedIds.begin(), automatedIds.end(), kBypassID) != automatedIds.end();
    summary.bypassed = !bypassAutomated && session.Get(kBypassID) >= 0.5;

    // Processing into the temporary output.
    StopSignalScope interrupts;
    PendingFile audioFile(outPlace);
    std::optional<PendingFile> stateFile, presetFile, plotFile;
    if (!o.saveState.empty()) stateFile.emplace(outputs[1].place);
    if (!o.savePreset.empty()) presetFile.emplace(outputs[presetIndex].place);
    if (!o.plot.empty()) plotFile.emplace(outputs.back().place);
    // The picture's history; its meter readings come from stretches of at most kPlotMeterFrames.
    std::optional<LevelHistory> history;
    if (plotFile) history.emplace(channels, sampleRate);
    WriterOptions writerOptions;
    writerOptions.dither = o.dither;
    writerOptions.inputIntegerBits = reader ? reader->IntegerBits() : 0;
    writerOptions.expectedFrames = frames;
    writerOptions.metadata = reader ? &reader->Metadata() : nullptr;
    AudioWriter writer(audioFile, outFormat, channels, sampleRate, writerOptions);
    summary.format = writer.Format();
    std::unique_ptr<Source> source;
    if (demo) source = std::make_unique<MemorySource>(demoSignal.samples, channels);
    else source = std::make_unique<FileSource>(*reader);

    // The file is read ahead and written behind in chunks of whole blocks on a second thread, while
    // this thread processes: the blocks, and so every output bit, are those of reading block by block.
    // That thread also counts the samples and converts between the file's interleaved frames and the
    // planar channels the plug-in takes, so this thread only processes. The plug-in works on the
    // host's own buffers, so the chunk's channels are processed in place, unless the picture needs the
    // input beside the output.
    const int64_t block = o.block;
    // A short file takes no more room than it needs.
    int64_t chunkBlocks = std::max<int64_t>(1, kChunkFrames / block);
    if (frames >= 0) {  // (a stream may say it holds the largest count there is)
        chunkBlocks = std::max<int64_t>(1, std::min(chunkBlocks, frames / block + (frames % block != 0 ? 1 : 0)));
    }
    const int64_t chunkFrames = block * chunkBlocks;
    const int outSection = history ? channels : 0;  // the first output channel's section in `planar`
    const bool integerInput = reader && reader->IntegerBits() > 0;
    // 64-bit float input into 64-bit float output keeps its own values where the plug-in left them.
    const bool doubleInput = reader && reader->IsDouble() && (outFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE;
    std::vector<const float*> in(channels);
    std::vector<float*> out(channels);
    std::vector<const float*> partIn(channels);
    std::vector<float*> partOut(channels);
    ProgressBar progress(stderr, !o.quiet && !o.json && ProgressBar::Wanted(stderr, frames, sampleRate), frames,
                         sampleRate);
    int64_t done = 0;
    const int64_t startUpFrames = int64_t(std::ceil(kStartUpSeconds * sampleRate));
    const auto started = std::chrono::steady_clock::now();
    // The counts are kept by the second thread alone until Finish has joined it.
    ChunkPipeline pipeline(
        chunkFrames, channels, integerInput, size_t(channels + outSection),
        [&](AudioChunk& chunk, int64_t capacity) {
            int64_t filled = 0;
            while (filled < capacity) {
                const int64_t n = source->Read(chunk.in + filled * channels, capacity - filled,
                                               integerInput ? chunk.originals + filled * channels : nullptr,
                                               doubleInput ? chunk.doubles + filled * channels : nullptr);
                if (n <= 0) break;
                filled += n;
            }
            CountSamples(chunk.in, size_t(filled) * size_t(channels), &summary.peakIn, &summary.nonFiniteIn,
                         nullptr);
            Deinterleave(chunk.in, channels, filled, chunk.planar, chunkFrames);
            return filled;
        },
        [&](AudioChunk& chunk) {
            Interleave(chunk.planar + outSection * chunkFrames, chunkFrames, channels, chunk.frames,
                       chunk.out);
            CountSamples(chunk.out, size_t(chunk.frames) * size_t(channels), &summary.peakOut,
                         &summary.nonFiniteOut, &summary.clipped);
            writer.Write(chunk.out, chunk.frames, chunk.in,
                         integerInput ? chunk.originals : nullptr, doubleInput ? chunk.doubles : nullptr);
        },
        3, doubleInput);
    // Without envelopes and without a picture nothing happens between blocks, so a whole chunk goes to
    // the instance in one call, which splits it into the same blocks (at most `block` frames each, from
    // the chunk's start, a block boundary): the host's work per call is paid once per chunk. The call is
    // split where the start-up ends, and the meter's peak cleared there: the reduction reported is then
    // the instance's meter peak, the largest reading of the blocks that start after the start-up, as it
    // would be reading the meter after every block.
    const bool wholeChunks = automations.empty() && !history;
    bool peaksCleared = false;
    while (AudioChunk* chunk = pipeline.Next()) {
        float* const planar = chunk->planar;
        if (wholeChunks) {
            if (StopSignal() != 0) throw Interrupted(!audioFile.IsStream());
            for (int64_t at = 0; at < chunk->frames;) {
                const int64_t frame = done + at;
                int64_t length = chunk->frames - at;
                if (frame < startUpFrames) {
                    length = std::min(length, (startUpFrames - frame + block - 1) / block * block);
                } else if (!peaksCleared) {
                    instance.ClearMeterPeaks();
                    peaksCleared = true;
                }
                for (int c = 0; c < channels; ++c) {
                    in[c] = planar + c * chunkFrames + at;
                    out[c] = planar + (outSection + c) * chunkFrames + at;
                }
                if (!instance.Process(in.data(), out.data(), int32_t(length), &error)) {
                    throw Failure("processing failed: " + error);
                }
                at += length;
            }
            done += chunk->frames;
            progress.Update(done);
            pipeline.Done(chunk);
            continue;
        }
        for (int64_t offset = 0; offset < chunk->frames; offset += block) {
            if (StopSignal() != 0) throw Interrupted(!audioFile.IsStream());
            const int64_t n = std::min(block, chunk->frames - offset);
            // Envelopes take effect at their exact frames: the block is split at every point and, along a
            // ramp, every kRampUpdateFrames frames.
            for (int64_t at = 0; at < n;) {
                const int64_t frame = done + at;
                int64_t length = n - at;
                for (Automation& a : automations) {
                    const double value = a.ValueAt(frame);
                    if (!(value == a.lastApplied)) {
                        session.Set(a.id, value);
                        a.lastApplied = value;
                    }
                    length = std::min(length, a.Run(frame));
                }
                for (int c = 0; c < channels; ++c) {
                    in[c] = planar + c * chunkFrames + offset + at;
                    out[c] = planar + (outSection + c) * chunkFrames + offset + at;
                }
                // Without a picture, one call; with one, shorter calls for a finer meter history. Block
                // boundaries change no output sample (parameters change only between calls), and the
                // largest of the shorter calls' meter readings is the one call's reading.
                const int64_t step = history ? std::min<int64_t>(length, kPlotMeterFrames) : length;
                float meter = 0.0f;
                for (int64_t part = 0; part < length; part += step) {
                    const int64_t partLength = std::min(step, length - part);
                    for (int c = 0; c < channels; ++c) {
                        partIn[c] = in[c] + part;
                        partOut[c] = out[c] + part;
                    }
                    if (!instance.Process(partIn.data(), partOut.data(), int32_t(partLength), &error)) {
                        throw Failure("processing failed: " + error);
                    }
                    const float partMeter = instance.MeterCount() > 0 ? instance.MeterValue(0) : 0.0f;
                    meter = std::max(meter, partMeter);
                    if (history) history->Add(partIn.data(), partOut.data(), partLength, partMeter);
                }
                if (frame >= startUpFrames && instance.MeterCount() > 0) {
                    summary.reduction = std::max(summary.reduction, meter);
                }
                at += length;
            }
            done += n;
            progress.Update(done);
        }
        pipeline.Done(chunk);
    }
    pipeline.Finish();
    summary.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    summary.frames = done;
    progress.Finish();
    writer.Close();
    summary.reductionSettled = done > startUpFrames;
    if (peaksCleared && instance.MeterCount() > 0) summary.reduction = instance.MeterPeak(0);
    if (!summary.reductionSettled && instance.MeterCount() > 0) summary.reduction = instance.MeterPeak(0);

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
    if (plotFile) {
        const std::string title = demo ? "Demo signal" : fs::path(inputPath).filename().string();
        plotFile->WriteAll(Graphics().renderLevelPlot(*history, plan.plotSize, EscapeText(title)));
    }

    if (StopSignal() != 0) throw Interrupted(!audioFile.IsStream());
    audioFile.Commit(outMayReplace);
    if (stateFile) stateFile->Commit(o.overwrite);
    if (presetFile) presetFile->Commit(o.overwrite);
    if (plotFile) plotFile->Commit(o.overwrite);

    // What the run found.
    if (reader && !reader->DecodeFault().empty()) {
        const int64_t promised = reader->PromisedFrames();
        Warn(summary, fmt::format("{} is damaged or cut short: only {} frames ({:.3f} s){} could be decoded ({}); the "
                                  "output holds those",
                                  NameOf(inputPath), done, double(done) / sampleRate,
                                  promised > done ? fmt::format(" of the {} its header promises ({:.3f} s)", promised,
                                                                double(promised) / sampleRate)
                                                  : std::string(),
                                  reader->DecodeFault()));
    } else if (reader && reader->PromisedFrames() > done) {
        Warn(summary, fmt::format("{} is cut short: its header promises {} frames ({:.3f} s) but only {} frames "
                                  "({:.3f} s) could be read; the output holds those",
                                  NameOf(inputPath), reader->PromisedFrames(),
                                  double(reader->PromisedFrames()) / sampleRate, done, double(done) / sampleRate));
    }
    if (summary.nonFiniteIn > 0) {
        Warn(summary, fmt::format("the input holds {} non-finite samples (NaN or infinity)", summary.nonFiniteIn));
    }
    if (summary.nonFiniteOut > 0) {
        Warn(summary, fmt::format("the output holds {} non-finite samples (NaN or infinity){}", summary.nonFiniteOut,
                                  IsFloatFormat(summary.format) ? "" : ", written as 0 or full scale"));
    }
    if (summary.clipped > 0) {
        Warn(summary, fmt::format("the output clips: {} samples beyond full scale (peak {:.3f}, {}FS){}",
                                  summary.clipped, summary.peakOut, Decibels(summary.peakOut, true),
                                  IsFloatFormat(summary.format) ? "" : ", clipped in the file"));
    }
    return summary;
}

}  // namespace marovex::cli
