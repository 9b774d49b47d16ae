// `marovex process [IN [OUT]]` and `marovex process IN... -o DIR`: runs audio files, or the built-in
// demo signal, through the plug-in.
//
// Order of work: check the command line; read and check the state and preset files; then for each
// input: open it and settle the output's container and sample format; check that no output is an
// input and none would be overwritten without --overwrite; load the plug-in and apply --load-state,
// then --preset, each --set in order and --bypass; only then create the outputs (as temporary files,
// or streams), process with --automate applied at its exact frames, save the state and the preset,
// and move every output into place. Any failure before the last step leaves no file behind.
//
// This file holds the command's options: their registration and the checks of what the user gave,
// which settle a plan for every input; ProcessRun.cpp runs each input and ProcessReport.cpp tells
// what the run found.
#include <algorithm>
#include <filesystem>
#include <memory>

#include <CLI/CLI.hpp>
#include <fmt/core.h>
#include <nlohmann/json.hpp>

#include "Arguments.h"
#include "AudioFormat.h"
#include "CliError.h"
#include "Commands.h"
#include "Envelope.h"
#include "Interrupt.h"
#include "MarovexPresetText.h"
#include "Messages.h"
#include "PlotCanvas.h"
#include "ProcessReport.h"
#include "ProcessRun.h"
#include "StateFile.h"
#include "Text.h"

namespace marovex::cli {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

Command AddProcess(CLI::App& app, const Common& common) {
    auto o = std::make_shared<ProcessOptions>();
    CLI::App* cmd = app.add_subcommand(
        "process",
        "Process an audio file into OUT ('-' is standard input or output), several files with -o DIR, or\n"
        "without IN the built-in demo signal into marovex-demo.wav. OUT's extension chooses its container\n"
        "(.wav .flac .ogg .aiff .aif .caf .w64 .rf64; --format overrides); OUT defaults to <stem>-marovex.<ext>\n"
        "beside IN. Integer input keeps its bit depth, float input stays float, unless --bits says otherwise.\n"
        "Order: --load-state, --preset, --set, --bypass, processing with --automate, then --save-state and\n"
        "--save-preset.");
    cmd->add_option("FILES", o->files, "IN [OUT], or with -o the inputs")->type_name("FILE");
    cmd->add_option("-o,--output-dir", o->outputDir, "Process every FILE into this folder under its own name")
        ->type_name("DIR");
    cmd->add_option("--format", o->format, "Output container: wav, flac, ogg, aiff, caf, w64 or rf64")
        ->type_name("NAME");
    cmd->add_option("--set", o->sets,
                    "Set a parameter (identifier or index) to a normalized value 0..1 or to its value text, "
                    "e.g. --set FreqA=0.25 --set MasterBypassID=on")
        ->type_name("ID=VALUE")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    cmd->add_option("--automate", o->automations,
                    "Piecewise-linear envelope in seconds, each point at its exact frame, updated at least every "
                    "64 frames along a ramp, e.g. --automate OutGain=0:0.5,2:0.25 --automate MasterBypassID=0:bypass,1:on")
        ->type_name("ID=T:V,...")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    cmd->add_flag("--bypass", o->bypass, "Bypass the effect (the master bypass on)");
    cmd->add_option("--preset", o->preset, "Apply a preset file (.mrv) as the editor's LOAD does")->type_name("FILE");
    cmd->add_option("--save-preset", o->savePreset, "Save the settings after processing as a preset")->type_name("FILE");
    cmd->add_option("--load-state", o->loadState, "Load a saved state first")->type_name("FILE");
    cmd->add_option("--save-state", o->saveState, "Save the state after processing")->type_name("FILE");
    cmd->add_option("--bits", o->bits, "Output sample format: 8, 16, 24, 32 (integer), 32f or 64f (float)")
        ->type_name("BITS");
    cmd->add_flag("--dither", o->dither, "Add TPDF dither when writing 8, 16 or 24-bit integer samples");
    cmd->add_option_function<std::string>(
           "--block",
           [o](const std::string& text) { o->block = int(ReadWholeNumber("--block", text, 1, kMaxBlock)); },
           "Frames per processing block (1 to 1048576)")
        ->type_name("N")
        ->default_str(std::to_string(o->block));
    cmd->add_flag("--overwrite", o->overwrite, "Replace existing output files");
    cmd->add_flag("--json", o->json, "Print a summary as JSON on standard output");
    cmd->add_option("--plot", o->plot, "Draw input and output level and the gain reduction over time (PNG)")
        ->type_name("FILE.png")
        ->each([](const std::string& path) { CheckPictureName("--plot", path); });
    cmd->add_option("--plot-size", o->plotSize, "The picture's size in pixels")->type_name("WxH")->capture_default_str();
    cmd->add_flag("--strict", o->strict, "Exit with status 3 when the output clips or holds NaN or infinity");
    cmd->add_flag("--quiet,-q", o->quiet, "No progress and no summary (warnings stay)");
    return {cmd, [o, &common] {
                o->plugin = common.plugin;
                return RunProcess(*o);
            }};
}

int RunProcess(const ProcessOptions& o) {
    // The command line on its own.
    if (o.block < 1 || size_t(o.block) > kMaxBlock) {
        throw UsageError("--block must be from 1 to " + std::to_string(kMaxBlock));
    }
    Plan plan;
    plan.bits = o.bits.empty() ? OutputBits{} : ParseOutputBits(o.bits);
    plan.plotSize = ParsePlotSize(o.plotSize);
    if (!o.format.empty()) {
        plan.formatGiven = true;
        if (!ContainerOfName(o.format, &plan.format)) {
            throw UsageError("--format must be one of " + ContainerNames() + ", not '" + EscapeText(o.format) + "'");
        }
    }
    for (const std::string& text : o.sets) plan.sets.push_back(ParseAssignment("--set", text));
    for (const std::string& text : o.automations) {
        const Assignment a = ParseAssignment("--automate", text, "ID=TIME:VALUE,TIME:VALUE,...");
        Automation automation;
        automation.key = a.key;
        automation.envelope = Envelope::Parse(a.value);
        plan.automations.push_back(std::move(automation));
    }
    for (const std::string& file : o.files) {
        if (file.empty()) throw UsageError("an empty file name was given; leave IN out to process the demo signal");
    }
    const bool batch = !o.outputDir.empty();
    if (!batch && o.files.size() > 2) {
        throw UsageError("process takes IN and OUT; for several inputs give -o DIR");
    }
    if (batch) {
        if (o.files.empty()) throw UsageError("-o DIR needs at least one input");
        std::error_code ec;
        if (!fs::is_directory(o.outputDir, ec)) throw UsageError("-o " + Quote(o.outputDir) + " is not a folder");
        if (o.files.size() > 1 && (!o.saveState.empty() || !o.savePreset.empty() || !o.plot.empty())) {
            throw UsageError("--save-state, --save-preset and --plot take one input, not several");
        }
        if (std::count(o.files.begin(), o.files.end(), "-") > 0) {
            throw UsageError("standard input cannot be one of several inputs");
        }
    }
    const bool toStandardOutput = !batch && o.files.size() == 2 && o.files[1] == "-";
    if (o.json && (toStandardOutput || o.saveState == "-" || o.savePreset == "-" || o.plot == "-")) {
        throw UsageError("--json prints on standard output, which already carries an output");
    }
    // State and preset files.
    if (!o.loadState.empty()) {
        plan.stateRecord = ReadWholeFile(o.loadState, kMaxStateFileBytes);
        try {
            ParseStateRecord(plan.stateRecord);
        } catch (const CliError& e) {
            throw Failure(Quote(o.loadState) + ": " + e.what());
        }
    }
    if (!o.preset.empty()) {
        const std::vector<uint8_t> bytes = ReadFilePrefix(o.preset, kMarovexPresetMaxInputLength + 1);
        if (bytes.size() > kMarovexPresetMaxInputLength) {
            throw Failure(Quote(o.preset) + " is not a valid preset: it is longer than the " +
                          std::to_string(kMarovexPresetMaxInputLength) + " bytes a preset may hold");
        }
        plan.preset = MarovexScanPresetText(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), MarovexPresetSource::File);
        if (!plan.preset.valid) {
            throw Failure(Quote(o.preset) + " is not a valid preset: " + EscapeText(plan.preset.reason));
        }
    }

    if (!batch) {
        const bool demo = o.files.empty();
        const Summary summary = ProcessOne(o, plan, demo ? std::string() : o.files[0],
                                           o.files.size() == 2 ? o.files[1] : std::string(), demo);
        if (o.json) fmt::print("{}\n", SummaryJson(summary).dump(2, ' ', false, ordered_json::error_handler_t::replace));
        else if (!o.quiet) PrintSummary(summary);
        if (o.strict && (summary.clipped > 0 || summary.nonFiniteOut > 0)) {
            Say(Voice::Error, "--strict: the output clips or holds non-finite samples");
            return kExitStrict;
        }
        return kExitSuccess;
    }

    // Batch: each input into the folder under its own name; one failure does not stop the others.
    ordered_json all = ordered_json::array();
    std::vector<std::string> failed, outputsSoFar;
    bool strictFailed = false;
    int failureStatus = kExitFailure;  // a usage error among the failures makes it 2
    for (const std::string& input : o.files) {
        std::string name = fs::path(input).filename().string();
        if (plan.formatGiven) name = fs::path(name).replace_extension(ContainerExtension(plan.format)).string();
        const std::string output = (fs::path(o.outputDir) / name).string();
        try {
            if (std::find(outputsSoFar.begin(), outputsSoFar.end(), output) != outputsSoFar.end()) {
                throw Failure("another input of this run already went to " + Quote(output));
            }
            const Summary summary = ProcessOne(o, plan, input, output, false);
            outputsSoFar.push_back(output);
            if (o.json) all.push_back(SummaryJson(summary));
            else if (!o.quiet) PrintSummary(summary);
            strictFailed |= o.strict && (summary.clipped > 0 || summary.nonFiniteOut > 0);
        } catch (const CliError& e) {
            if (IsInterruption(e)) throw;  // a stop signal ends the whole batch
            Say(Voice::Error, NameOf(input) + ": " + e.what());
            failed.push_back(input);
            if (e.ExitStatus() == kExitUsage) failureStatus = kExitUsage;
            if (o.json) all.push_back({{"input", input}, {"output", output}, {"error", e.what()}});
        }
    }
    if (o.json) fmt::print("{}\n", all.dump(2, ' ', false, ordered_json::error_handler_t::replace));
    if (!failed.empty()) {
        std::string names;
        for (const std::string& f : failed) names += (names.empty() ? "" : ", ") + NameOf(f);
        Say(Voice::Error, fmt::format("{} of {} inputs failed: {}", failed.size(), o.files.size(), names));
        return failureStatus;
    }
    if (strictFailed) {
        Say(Voice::Error, "--strict: an output clips or holds non-finite samples");
        return kExitStrict;
    }
    return kExitSuccess;
}

}  // namespace marovex::cli
