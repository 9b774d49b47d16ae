// Drawing the level and gain-reduction history of a processed file.
#include "PlotLevels.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include <fmt/core.h>

namespace marovex::cli {

namespace {

// Bins kept at most before neighbours are merged: far more than any picture has columns.
constexpr size_t kMaxBins = 1u << 15;

double Db(double linear) { return linear > 0 ? 20.0 * std::log10(linear) : -1e9; }

}  // namespace

LevelHistory::LevelHistory(int channels, int sampleRate) : mChannels(channels), mSampleRate(sampleRate) {}

void LevelHistory::Add(const float* const* in, const float* const* out, int64_t frames, float reduction) {
    const float r = reduction == reduction ? std::clamp(reduction, 0.0f, 1.0f) : 1.0f;
    for (int64_t f = 0; f < frames; ++f, ++mFrames) {
        size_t index = size_t(mFrames / mBinFrames);
        while (index >= kMaxBins) {
            Merge();
            index = size_t(mFrames / mBinFrames);
        }
        if (index >= mBins.size()) mBins.resize(index + 1);
        Bin& b = mBins[index];
        b.reduction = std::max(b.reduction, r);
        for (int c = 0; c < mChannels; ++c) {
            const float x = in[c][f];
            const float y = out[c][f];
            if (std::isfinite(x)) {
                b.inPeak = std::max(b.inPeak, std::fabs(x));
                b.inSquares += double(x) * x;
            }
            if (std::isfinite(y)) {
                b.outPeak = std::max(b.outPeak, std::fabs(y));
                b.outSquares += double(y) * y;
                if (std::fabs(y) > 1.0f) ++b.clipped;
            } else {
                ++b.nonFinite;
            }
            ++b.samples;
        }
    }
}

void LevelHistory::Merge() {
    std::vector<Bin> merged((mBins.size() + 1) / 2);
    for (size_t i = 0; i < mBins.size(); ++i) {
        Bin& m = merged[i / 2];
        const Bin& b = mBins[i];
        m.inPeak = std::max(m.inPeak, b.inPeak);
        m.outPeak = std::max(m.outPeak, b.outPeak);
        m.reduction = std::max(m.reduction, b.reduction);
        m.inSquares += b.inSquares;
        m.outSquares += b.outSquares;
        m.samples += b.samples;
        m.clipped += b.clipped;
        m.nonFinite += b.nonFinite;
    }
    mBins.swap(merged);
    mBinFrames *= 2;
}

LevelHistory::Column LevelHistory::Range(int64_t first, int64_t last) const {
    Column c;
    if (mBins.empty()) return c;
    const size_t a = std::min(size_t(std::max<int64_t>(first, 0) / mBinFrames), mBins.size() - 1);
    const size_t b = std::min(size_t(std::max(last - 1, first) / mBinFrames), mBins.size() - 1);
    double inSquares = 0, outSquares = 0;
    int64_t samples = 0;
    for (size_t i = a; i <= b; ++i) {
        const Bin& bin = mBins[i];
        c.inPeak = std::max(c.inPeak, double(bin.inPeak));
        c.outPeak = std::max(c.outPeak, double(bin.outPeak));
        c.reduction = std::max(c.reduction, double(bin.reduction));
        inSquares += bin.inSquares;
        outSquares += bin.outSquares;
        samples += bin.samples;
        c.clipped += bin.clipped;
        c.nonFinite += bin.nonFinite;
    }
    if (samples > 0) {
        c.inRms = std::sqrt(inSquares / double(samples));
        c.outRms = std::sqrt(outSquares / double(samples));
    }
    return c;
}

LevelPlotLayout::LevelPlotLayout(PlotSize size, int64_t frames, int sampleRate, double floorDb)
    : reductionFloorDb(floorDb) {
    const double u = std::min(size.width / 800.0, size.height / 450.0);
    left = std::round(64 * u);
    right = size.width - std::round(18 * u);
    const double top = std::round(34 * u);
    const double bottom = size.height - std::round(44 * u);
    const double gap = std::round(12 * u);
    // Input and output three parts each, the reduction two.
    const double part = (bottom - top - 2 * gap) / 8.0;
    inTop = top;
    inBottom = std::round(top + 3 * part);
    outTop = inBottom + gap;
    outBottom = std::round(outTop + 3 * part);
    grTop = outBottom + gap;
    grBottom = bottom;
    seconds = sampleRate > 0 ? double(frames) / sampleRate : 0.0;
}

double LevelPlotLayout::LevelY(double top, double bottom, double db) const {
    const double d = std::clamp(db, kLevelFloorDb, kLevelTopDb);
    return top + (bottom - top) * (kLevelTopDb - d) / (kLevelTopDb - kLevelFloorDb);
}

double LevelPlotLayout::ReductionY(double db) const {
    const double d = std::clamp(db, reductionFloorDb, 0.0);
    return grTop + (grBottom - grTop) * d / reductionFloorDb;
}

double ReductionFloorDb(const LevelHistory& history) {
    const int64_t startUp = int64_t(std::ceil(kPlotStartUpSeconds * history.SampleRate()));
    const double largest = history.Frames() > startUp ? history.Range(startUp, history.Frames()).reduction : 0.0;
    const double db = largest < 1.0 ? -Db(1.0 - largest) : 48.0;
    return -std::clamp(6.0 * std::ceil(db / 6.0 - 1e-9), 6.0, 48.0);
}

namespace {

std::string Seconds(double s) { return fmt::format("{:g} s", std::round(s * 1000.0) / 1000.0); }

void Frame(PlotCanvas& canvas, double left, double top, double right, double bottom) {
    cairo_t* cr = canvas.Cr();
    canvas.SetColour(kMarovexDarkGrey);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
    cairo_stroke(cr);
}

void HorizontalLine(PlotCanvas& canvas, double left, double right, double y, MarovexRgb colour, double alpha) {
    cairo_t* cr = canvas.Cr();
    canvas.SetColour(colour, alpha);
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, left, std::round(y) + 0.5);
    cairo_line_to(cr, right, std::round(y) + 0.5);
    cairo_stroke(cr);
}

// One level panel: grid and labels in dB, then per column the peak (light) and the RMS (solid).
void LevelPanel(PlotCanvas& canvas, const LevelPlotLayout& l, const std::vector<LevelHistory::Column>& columns,
                bool output, MarovexRgb colour) {
    cairo_t* cr = canvas.Cr();
    const double u = canvas.Unit();
    const double top = output ? l.outTop : l.inTop;
    const double bottom = output ? l.outBottom : l.inBottom;
    for (double db = 0; db >= LevelPlotLayout::kLevelFloorDb; db -= 12) {
        const double y = l.LevelY(top, bottom, db);
        HorizontalLine(canvas, l.left, l.right, y, db == 0 ? kMarovexMidGrey : kMarovexDarkGrey, db == 0 ? 0.8 : 0.5);
        canvas.Text(l.left - 6 * u, y, fmt::format("{:g} dB", db), kMarovexFontSmall, kMarovexMidGrey,
                    TextAlign::Right);
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        const LevelHistory::Column& c = columns[i];
        const double x = l.left + double(i);
        const double peak = output ? c.outPeak : c.inPeak;
        const double rms = output ? c.outRms : c.inRms;
        if (peak > 0) {
            canvas.SetColour(colour, 0.45);
            const double y = l.LevelY(top, bottom, Db(peak));
            cairo_rectangle(cr, x, y, 1, bottom - y);
            cairo_fill(cr);
        }
        if (rms > 0) {
            canvas.SetColour(colour);
            const double y = l.LevelY(top, bottom, Db(rms));
            cairo_rectangle(cr, x, y, 1, bottom - y);
            cairo_fill(cr);
        }
    }
    Frame(canvas, l.left, top, l.right, bottom);
}

void PanelTitle(PlotCanvas& canvas, const LevelPlotLayout& l, double top, const char* name) {
    const double u = canvas.Unit();
    canvas.BoxedText(l.left + 8 * u, top + 10 * u, name, kMarovexFontNormal, kMarovexWhite, true);
}

}  // namespace

std::vector<uint8_t> RenderLevelPlot(const LevelHistory& history, PlotSize size, const std::string& title) {
    PlotCanvas canvas(size);
    cairo_t* cr = canvas.Cr();
    const double u = canvas.Unit();
    const LevelPlotLayout l(size, history.Frames(), history.SampleRate(), ReductionFloorDb(history));

    // Per pixel column, the frames it covers.
    const int width = int(l.right - l.left);
    std::vector<LevelHistory::Column> columns;
    const int64_t frames = history.Frames();
    if (frames > 0) {
        columns.resize(size_t(width));
        for (int i = 0; i < width; ++i) {
            const int64_t first = frames * i / width;
            const int64_t last = std::max(frames * (i + 1) / width, first + 1);
            columns[size_t(i)] = history.Range(first, last);
        }
    }

    // Time grid through all panels.
    const double step = NiceStep(std::max(l.seconds, 1e-3) / std::max(1.0, (l.right - l.left) / (90 * u)));
    for (int k = 0; k * step <= l.seconds + 1e-9; ++k) {
        const double x = std::round(l.X(k * step)) + 0.5;
        canvas.SetColour(kMarovexDarkGrey, 0.5);
        cairo_set_line_width(cr, 1.0);
        for (const auto& [t, b] : {std::pair{l.inTop, l.inBottom}, {l.outTop, l.outBottom}, {l.grTop, l.grBottom}}) {
            cairo_move_to(cr, x, t);
            cairo_line_to(cr, x, b);
        }
        cairo_stroke(cr);
        canvas.Text(x, l.grBottom + 10 * u, Seconds(k * step), kMarovexFontSmall, kMarovexMidGrey, TextAlign::Centre);
    }
    canvas.Text((l.left + l.right) / 2, l.grBottom + 28 * u, "time", kMarovexFontSmall, kMarovexMidGrey,
                TextAlign::Centre);

    LevelPanel(canvas, l, columns, false, kMarovexMidGrey);
    LevelPanel(canvas, l, columns, true, kMarovexCyan);

    // Output markers: clipping as an amber tick above full scale, non-finite samples as a white band.
    bool anyClip = false, anyNonFinite = false;
    for (size_t i = 0; i < columns.size(); ++i) {
        const double x = l.left + double(i);
        if (columns[i].nonFinite > 0) {
            anyNonFinite = true;
            canvas.SetColour(kMarovexWhite, 0.8);
            cairo_rectangle(cr, x, l.outTop, 1, l.outBottom - l.outTop);
            cairo_fill(cr);
        }
        if (columns[i].clipped > 0) {
            anyClip = true;
            canvas.SetColour(kMarovexLogo);
            cairo_rectangle(cr, x - 1, l.outTop + 1, 3, l.LevelY(l.outTop, l.outBottom, 0) - l.outTop);
            cairo_fill(cr);
        }
    }

    // Gain reduction, from 0 dB at the top downwards.
    for (double db = 0; db >= l.reductionFloorDb - 1e-9; db += l.reductionFloorDb / 3) {
        const double y = l.ReductionY(db);
        HorizontalLine(canvas, l.left, l.right, y, kMarovexDarkGrey, 0.5);
        canvas.Text(l.left - 6 * u, y, fmt::format("{:g} dB", db), kMarovexFontSmall, kMarovexMidGrey,
                    TextAlign::Right);
    }
    canvas.SetColour(kMarovexMeterGreen);
    for (size_t i = 0; i < columns.size(); ++i) {
        const double r = columns[i].reduction;
        if (r <= 0) continue;
        const double y = l.ReductionY(Db(1.0 - r));
        cairo_rectangle(cr, l.left + double(i), l.grTop, 1, y - l.grTop);
    }
    cairo_fill(cr);
    const double startUpEnd = std::min(l.X(kPlotStartUpSeconds), l.right);
    canvas.SetColour(kMarovexBackground, 0.6);
    cairo_rectangle(cr, l.left, l.grTop, startUpEnd - l.left, l.grBottom - l.grTop);
    cairo_fill(cr);
    PanelTitle(canvas, l, l.inTop, "Input level: peak (dim), RMS (bright)");
    PanelTitle(canvas, l, l.outTop, "Output level: peak (dim), RMS (bright)");
    PanelTitle(canvas, l, l.grTop, "Gain reduction (meter)");
    canvas.Text(l.left + 8 * u, l.grBottom - 10 * u, "start-up", kMarovexFontSmall, kMarovexMidGrey);
    Frame(canvas, l.left, l.grTop, l.right, l.grBottom);

    // Title and the markers' key.
    canvas.Text(l.left, 17 * u, title, kMarovexFontBig, kMarovexLogo, TextAlign::Left, true);
    std::string key;
    if (anyClip) key += "amber: output clipped";
    if (anyNonFinite) key += std::string(key.empty() ? "" : "   ") + "white: output not finite";
    if (key.empty()) key = "output never clipped";
    canvas.Text(l.right, 17 * u, key, kMarovexFontSmall, kMarovexGrey, TextAlign::Right);
    return canvas.Png();
}

}  // namespace marovex::cli
