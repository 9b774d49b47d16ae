// The picture of what the settings do to the spectrum: the magnitude response of the band split,
// computed from the coefficient blocks the data model posts, so that it cannot disagree with the
// processing. Curves: the two first-order low-pass sections, and the split with the band above the
// upper corner scaled by 0, 6 and 12 dB of gain reduction (what the dynamic blend does, for a signal
// alike in both channels, before the waveshaper and the output stages).
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "MarovexHost.h"
#include "PlotCanvas.h"

namespace marovex::cli {

// A first-order section's coefficient block as the data model posts it: 24 bytes, six 32-bit floats
// in host byte order. The kernel computes y = scale * ((b0 x + b1 x1 + b2 x2) - a1 y1 - a2 y2).
struct SectionCoefficients {
    float b0 = 0, b1 = 0, b2 = 0, scale = 0, a1 = 0, a2 = 0;
};
constexpr uint32_t kSectionBlockBytes = 24;

// The context fields the blocks are posted to: section W (lower corner) and section A (upper).
constexpr AAX_CFieldIndex kSectionWField = 14;
constexpr AAX_CFieldIndex kSectionAField = 15;

// Reads a posted block; false unless it is 24 bytes.
bool ParseSectionCoefficients(const std::vector<uint8_t>& bytes, SectionCoefficients* out);

// The section's frequency response at `hz`.
std::complex<double> SectionResponse(const SectionCoefficients& c, double hz, double sampleRate);

// The -3 dB corner a block stands for: for the bilinear low-pass b0 = b1 = sin h, a1 = sin h - cos h,
// the half angle h = atan(sin h / cos h) and f = h * rate / pi.
double SectionCorner(const SectionCoefficients& c, double sampleRate);

struct ResponseInput {
    SectionCoefficients w, a;
    double sampleRate = 48000;
    std::string caption;  // the settings in words
};

// The latest blocks the instance's data model posted to both fields. Throws a CliError when the
// fields are not declared 24-byte data-in ports or nothing was posted to them.
ResponseInput CaptureResponse(MarovexInstance& instance, const MarovexComponentDescription& component);

// The gain reductions drawn, in dB.
constexpr double kResponseReductionsDb[3] = {0.0, 6.0, 12.0};

// Where things lie in the response picture (pixels).
struct ResponsePlotLayout {
    ResponsePlotLayout(PlotSize size, double sampleRate);
    double left, right, top, bottom;
    double lowHz = 20, highHz;  // the axis: 20 Hz to Nyquist, logarithmic
    static constexpr double kTopDb = 6.0, kFloorDb = -30.0;
    double X(double hz) const;
    double Hz(double x) const;
    double Y(double db) const;
};

// The curves' colours, also for reading a picture back.
constexpr MarovexRgb kResponseColourW = kMarovexCyan;
constexpr MarovexRgb kResponseColourA = kMarovexLogo;

std::vector<uint8_t> RenderResponsePlot(const ResponseInput& input, PlotSize size);

// `marovex plot-response`.
struct PlotResponseOptions {
    std::string plugin;
    std::string output;
    std::vector<std::string> sets;
    double rate = 48000;
    std::string size = "1600x900";
    bool overwrite = false;
};
int RunPlotResponse(const PlotResponseOptions& options);

}  // namespace marovex::cli
