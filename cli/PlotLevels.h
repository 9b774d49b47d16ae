// The picture of what `marovex process --plot` did to a file: input and output level over time (peak
// and RMS per pixel column, in dB), the gain-reduction meter beneath on the same time axis, and
// markers where the output clipped or was not finite.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PlotCanvas.h"

namespace marovex::cli {

// What one stretch of frames held: filled while the audio is processed, in bins of a power-of-two
// number of frames that grow (neighbours merged) as the file goes on, so memory stays bounded
// whatever its length.
class LevelHistory {
public:
    LevelHistory(int channels, int sampleRate);

    // One processed stretch: `frames` samples of each channel in and out, and the meter's reading
    // for it (the largest gain reduction 1 - g, 0 to 1).
    void Add(const float* const* in, const float* const* out, int64_t frames, float reduction);

    int64_t Frames() const { return mFrames; }
    int SampleRate() const { return mSampleRate; }

    struct Column {
        double inPeak = 0, inRms = 0, outPeak = 0, outRms = 0;  // linear, largest channel / all channels
        double reduction = 0;                                   // largest meter reading
        int64_t clipped = 0, nonFinite = 0;                     // output samples
    };
    // The statistics of frames [first, last): peaks and reduction the largest of the bins they
    // touch, RMS over those bins' samples.
    Column Range(int64_t first, int64_t last) const;

private:
    struct Bin {
        float inPeak = 0, outPeak = 0, reduction = 0;
        double inSquares = 0, outSquares = 0;
        int64_t samples = 0, clipped = 0, nonFinite = 0;
    };
    void Merge();

    int mChannels;
    int mSampleRate;
    int64_t mBinFrames = 16;
    int64_t mFrames = 0;
    std::vector<Bin> mBins;
};

// Where things lie in the level picture (pixels), for drawing and for reading a picture back.
struct LevelPlotLayout {
    // `reductionFloorDb`: the bottom of the gain-reduction panel (ReductionFloorDb()).
    LevelPlotLayout(PlotSize size, int64_t frames, int sampleRate, double reductionFloorDb);

    double left, right;                 // the plot area's columns
    double inTop, inBottom;             // input level panel
    double outTop, outBottom;           // output level panel
    double grTop, grBottom;             // gain-reduction panel
    double seconds;                     // the file's length
    double reductionFloorDb;

    static constexpr double kLevelTopDb = 6.0, kLevelFloorDb = -60.0;

    double X(double secondsAt) const { return left + (right - left) * (seconds > 0 ? secondsAt / seconds : 0); }
    double LevelY(double top, double bottom, double db) const;
    double ReductionY(double db) const;
};

// The seconds of a fresh instance's start-up, shaded in the reduction panel: it starts at full
// reduction and releases from there, whatever the audio.
constexpr double kPlotStartUpSeconds = 0.2;

// The gain-reduction panel's floor: the largest reduction after the start-up, rounded up to a
// multiple of 6 dB, from -6 to -48 dB.
double ReductionFloorDb(const LevelHistory& history);

// Draws the picture; `title` names the input.
std::vector<uint8_t> RenderLevelPlot(const LevelHistory& history, PlotSize size, const std::string& title);

}  // namespace marovex::cli
