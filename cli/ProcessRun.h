// One input of `marovex process` through the plug-in: open it and settle the output's format, check
// the outputs, load the plug-in with its settings, then read, process in chunks and write, save the
// state, the preset and the picture, and move every output into place. Any failure before the last
// step leaves no file behind.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Arguments.h"
#include "AudioFormat.h"
#include "Commands.h"
#include "Envelope.h"
#include "MarovexPresetText.h"
#include "PlotCanvas.h"
#include "ProcessReport.h"

namespace marovex::cli {

// An envelope on the frame grid of one file: each point at the first frame at or after its time.
struct Automation {
    std::string key;
    std::string id;
    Envelope envelope;
    std::vector<double> frames;  // point positions in frames (exact where the time falls on a frame)
    double lastApplied = std::nan("");

    // Throws a usage CliError for a point beyond the frames that can be counted.
    void Place(double sampleRate);
    double ValueAt(int64_t frame) const;
    // Frames from `frame` until the next point or, along a ramp, the next update.
    int64_t Run(int64_t frame) const;
};

// What the command line settles once for every file.
struct Plan {
    OutputBits bits;
    bool formatGiven = false;
    Container format = Container::Wav;
    std::vector<Assignment> sets;
    std::vector<Automation> automations;
    std::vector<uint8_t> stateRecord;
    MarovexPresetScan preset;
    PlotSize plotSize;
};

// Runs one input (`inputPath`, or the demo signal when `demo`) into `outputArg` (empty: the default
// output beside it) and answers what the run found. Throws a CliError.
Summary ProcessOne(const ProcessOptions& o, Plan& plan, const std::string& inputPath, const std::string& outputArg,
                   bool demo);

}  // namespace marovex::cli
