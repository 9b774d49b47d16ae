// The pictures of the marovex program read back pixel by pixel: where the gain-reduction panel shows
// reduction for a burst in silence, where the response curves cross -3 dB, and that the same input
// gives the same PNG bytes.
#include <gtest/gtest.h>

#include <cairo.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "CliError.h"
#include "Commands.h"
#include "MarovexHost.h"
#include "PlotLevels.h"
#include "PlotResponse.h"
#include "tests/TestFiles.h"

using namespace marovex::cli;
using testfiles::ReadAll;

namespace {

const char* const kModulePath = MAROVEX_MODULE_PATH;

class PlotTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return mFolder.Path(name); }
    testfiles::TempFolder mFolder;
};

// A decoded PNG: its pixels as RGB.
class Picture {
public:
    explicit Picture(const std::string& path) : mSurface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Picture() { cairo_surface_destroy(mSurface); }
    bool Ok() const { return cairo_surface_status(mSurface) == CAIRO_STATUS_SUCCESS; }
    int Width() const { return cairo_image_surface_get_width(mSurface); }
    int Height() const { return cairo_image_surface_get_height(mSurface); }
    MarovexRgb At(int x, int y) const {
        const uint8_t* row = cairo_image_surface_get_data(mSurface) + size_t(y) * cairo_image_surface_get_stride(mSurface);
        uint32_t p;
        std::memcpy(&p, row + 4 * x, 4);
        return {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
    }

private:
    cairo_surface_t* mSurface;
};

// How much of colour `c` a pixel holds over the background (0 to 1), or -1 when the pixel is no blend
// of the two (another colour).
double Share(MarovexRgb pixel, MarovexRgb c) {
    const double bg[3] = {kMarovexBackground.r, kMarovexBackground.g, kMarovexBackground.b};
    const double d[3] = {c.r - bg[0], c.g - bg[1], c.b - bg[2]};
    const double p[3] = {pixel.r - bg[0], pixel.g - bg[1], pixel.b - bg[2]};
    const double a = (p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / (d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const double r = std::hypot(p[0] - a * d[0], p[1] - a * d[1], p[2] - a * d[2]);
    return r < 40 && a > 0.3 ? std::min(a, 1.0) : -1;
}

// ---------------------------------------------------------------------------------------------------
// process --plot

// Stereo 48 kHz: silence, a loud 200 Hz burst from 1.0 to 1.5 s, silence to 3 s.
void WriteBurst(const std::string& path) {
    const int rate = 48000;
    std::vector<float> samples(size_t(rate) * 3 * 2, 0.0f);
    for (int n = rate; n < rate * 3 / 2; ++n) {
        const float x = float(0.9 * std::sin(2 * M_PI * 200.0 * n / rate));
        samples[2 * size_t(n)] = samples[2 * size_t(n) + 1] = x;
    }
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_writef_float(f, samples.data(), rate * 3);
    sf_close(f);
}

ProcessOptions PlotRun(const std::string& in, const std::string& out, const std::string& plot) {
    ProcessOptions o;
    o.plugin = kModulePath;
    o.files = {in, out};
    o.plot = plot;
    o.sets = {"Action=0.5"};
    o.quiet = true;
    return o;
}

TEST_F(PlotTest, BurstInSilenceShowsReductionOnlyDuringTheBurstAndTheSameInputGivesTheSameBytes) {
    WriteBurst(Path("burst.wav"));
    ASSERT_EQ(RunProcess(PlotRun(Path("burst.wav"), Path("a.wav"), Path("a.png"))), 0);
    ProcessOptions small = PlotRun(Path("burst.wav"), Path("b.wav"), Path("b.png"));
    small.plotSize = "800x450";
    ASSERT_EQ(RunProcess(small), 0);

    for (const PlotSize size : {PlotSize{1600, 900}, PlotSize{800, 450}}) {
        const Picture picture(size.width == 1600 ? Path("a.png") : Path("b.png"));
        ASSERT_TRUE(picture.Ok());
        ASSERT_EQ(picture.Width(), size.width);
        ASSERT_EQ(picture.Height(), size.height);
        const LevelPlotLayout l(size, 3 * 48000, 48000, -24);
        // Just inside the panel's top edge: green wherever the meter showed any real reduction.
        const int y = int(l.grTop) + 2;
        auto reduced = [&](double seconds) {
            return Share(picture.At(int(l.X(seconds)), y), kMarovexMeterGreen) > 0.9;
        };
        for (const double t : {1.05, 1.15, 1.25, 1.35, 1.45}) EXPECT_TRUE(reduced(t)) << t << " s, " << size.width;
        // Silence after the start-up, before the burst and after its release.
        for (const double t : {0.75, 0.85, 0.95, 1.85, 2.0, 2.25, 2.5, 2.75, 2.95}) {
            EXPECT_FALSE(reduced(t)) << t << " s, " << size.width;
        }
        // And the level panels show the burst in and out, nothing in the silence around it.
        const double loud = l.LevelY(l.outTop, l.outBottom, -12.0);
        EXPECT_GT(Share(picture.At(int(l.X(1.25)), int(loud)), kMarovexCyan), 0.9);
        EXPECT_LT(Share(picture.At(int(l.X(2.5)), int(l.outBottom) - 3), kMarovexCyan), 0.0);
    }

    // Deterministic: a second run of the same input and settings writes the same bytes.
    ASSERT_EQ(RunProcess(PlotRun(Path("burst.wav"), Path("c.wav"), Path("c.png"))), 0);
    const std::string first = ReadAll(Path("a.png")), again = ReadAll(Path("c.png"));
    ASSERT_GT(first.size(), 1000u);
    EXPECT_TRUE(first == again);
    // The picture changes nothing of the audio.
    ProcessOptions plain = PlotRun(Path("burst.wav"), Path("d.wav"), "");
    ASSERT_EQ(RunProcess(plain), 0);
    const std::vector<float> withPlot = testfiles::ReadAudio(Path("a.wav"));
    const std::vector<float> without = testfiles::ReadAudio(Path("d.wav"));
    ASSERT_EQ(withPlot.size(), size_t(3 * 48000 * 2));
    EXPECT_EQ(std::memcmp(withPlot.data(), without.data(), withPlot.size() * sizeof(float)), 0);
}

// A long file: the history merges its bins many times over and still places peaks, RMS, clipping and
// reduction where they were.
TEST(LevelHistory, KeepsEachStretchInPlaceAfterItsBinsMerge) {
    const int rate = 48000;
    LevelHistory history(1, rate);
    const int64_t total = int64_t(rate) * 60;  // far more frames than bins before a merge
    std::vector<float> in(4800), out(4800);
    for (int64_t at = 0; at < total; at += int64_t(in.size())) {
        const bool loud = at >= 30 * rate && at < 31 * rate;  // one second at 0.5, from 30 s
        std::fill(in.begin(), in.end(), loud ? 0.5f : 0.0f);
        std::fill(out.begin(), out.end(), loud ? 1.5f : 0.0f);
        const float* i[1] = {in.data()};
        const float* o[1] = {out.data()};
        history.Add(i, o, int64_t(in.size()), loud ? 0.25f : 0.0f);
    }
    ASSERT_EQ(history.Frames(), total);
    const LevelHistory::Column loud = history.Range(int64_t(30.25 * rate), int64_t(30.75 * rate));
    EXPECT_EQ(loud.inPeak, 0.5);
    EXPECT_NEAR(loud.inRms, 0.5, 1e-12);
    EXPECT_EQ(loud.outPeak, 1.5);
    EXPECT_FLOAT_EQ(float(loud.reduction), 0.25f);
    EXPECT_GT(loud.clipped, 0);
    for (const double t : {1.0, 29.5, 31.5, 59.0}) {
        const LevelHistory::Column quiet = history.Range(int64_t(t * rate), int64_t(t * rate) + 100);
        EXPECT_EQ(quiet.inPeak, 0.0) << t;
        EXPECT_EQ(quiet.reduction, 0.0) << t;
        EXPECT_EQ(quiet.clipped, 0) << t;
    }
    // The reduction panel's floor follows the largest reduction: 0.25 is 2.5 dB, so 6 dB.
    EXPECT_EQ(ReductionFloorDb(history), -6.0);
}

// ---------------------------------------------------------------------------------------------------
// plot-response

// The column (continuous, pixel centres at i + 0.5) where the curve of colour `c` crosses `db`
// going down, searched within `reach` columns of `around`; NaN when it is not found there.
double Crossing(const Picture& p, const ResponsePlotLayout& l, MarovexRgb c, double db, double around, int reach) {
    const double target = l.Y(db);
    double previous = NAN;
    for (int x = int(around) - reach; x <= int(around) + reach; ++x) {
        double weight = 0, sum = 0;
        for (int y = int(l.top) + 2; y < int(l.bottom) - 1; ++y) {
            const double a = Share(p.At(x, y), c);
            if (a > 0) {
                weight += a;
                sum += a * (y + 0.5);
            }
        }
        const double centre = weight > 0.5 ? sum / weight - target : NAN;
        if (previous <= 0 && centre > 0) return x - 0.5 + previous / (previous - centre);
        previous = centre;
    }
    return NAN;
}

TEST_F(PlotTest, ResponseCurvesCrossMinus3DbAtTheTabledCornersWithinOnePixel) {
    const PlotSize size{1600, 900};
    for (const double v : {0.0, 0.5, 1.0}) {
        PlotResponseOptions o;
        o.plugin = kModulePath;
        o.output = Path("response.png");
        o.sets = {"FreqW=" + std::to_string(v), "FreqA=" + std::to_string(v)};
        o.overwrite = true;
        ASSERT_EQ(RunPlotResponse(o), 0);
        const Picture picture(o.output);
        ASSERT_TRUE(picture.Ok());
        const ResponsePlotLayout l(size, 48000);
        const double cornerW = v * 900 + 100, cornerA = v * 5000 + 1000;
        const double w = Crossing(picture, l, kResponseColourW, -3.0103, l.X(cornerW), 40);
        const double a = Crossing(picture, l, kResponseColourA, -3.0103, l.X(cornerA), 40);
        EXPECT_NEAR(w, l.X(cornerW), 1.0) << "FreqW " << v;
        EXPECT_NEAR(a, l.X(cornerA), 1.0) << "FreqA " << v;
    }
    // Deterministic, and the settings reach the picture.
    const std::string last = ReadAll(Path("response.png"));
    PlotResponseOptions o;
    o.plugin = kModulePath;
    o.output = Path("again.png");
    o.sets = {"FreqW=1", "FreqA=1"};
    ASSERT_EQ(RunPlotResponse(o), 0);
    EXPECT_TRUE(ReadAll(o.output) == last);
    o.output = Path("other.png");
    o.sets = {"FreqW=1", "FreqA=0.9"};
    ASSERT_EQ(RunPlotResponse(o), 0);
    EXPECT_FALSE(ReadAll(o.output) == last);
    // An existing picture is kept without --overwrite.
    EXPECT_THROW(RunPlotResponse(o), CliError);
}

// The host hands out the latest packet of a data-in port, delivered to a block or not.
TEST(HostLatestPacket, CoefficientBlocksAsPostedAndNothingForOtherFields) {
    std::string error;
    const auto module = MarovexModule::Load(kModulePath, &error);
    ASSERT_TRUE(module) << error;
    auto instance = MarovexInstance::Create(module, AAX_eStemFormat_Stereo, 44100.0f, 64, &error);
    ASSERT_TRUE(instance) << error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(instance->LatestPacket(kSectionAField, &bytes));
    SectionCoefficients before;
    ASSERT_TRUE(ParseSectionCoefficients(bytes, &before));
    ASSERT_TRUE(instance->SetParameter("FreqA", 1.0, &error)) << error;
    ASSERT_TRUE(instance->LatestPacket(kSectionAField, &bytes));
    SectionCoefficients after;
    ASSERT_TRUE(ParseSectionCoefficients(bytes, &after));
    EXPECT_NEAR(SectionCorner(after, 44100), 6000.0, 0.5);
    EXPECT_NE(SectionCorner(before, 44100), SectionCorner(after, 44100));
    // The value packet of FreqA: 8 bytes, the raw value first.
    ASSERT_TRUE(instance->LatestPacket(4, &bytes));
    ASSERT_EQ(bytes.size(), 8u);
    float value;
    std::memcpy(&value, bytes.data(), 4);
    EXPECT_EQ(value, 1.0f);
    EXPECT_FALSE(instance->LatestPacket(9, &bytes));    // not a data-in port
    EXPECT_FALSE(instance->LatestPacket(-1, &bytes));
    EXPECT_FALSE(instance->LatestPacket(1000, &bytes));
}

}  // namespace
