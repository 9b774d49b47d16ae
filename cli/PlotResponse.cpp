// The band split's magnitude response from the posted coefficient blocks, and `marovex plot-response`.
#include "PlotResponse.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include <fmt/core.h>

#include "CliError.h"
#include "MarovexReadout.h"
#include "OutputPlace.h"
#include "PluginSession.h"
#include "Text.h"

namespace marovex::cli {

namespace {

constexpr double kPi = 3.14159265358979323846;

double Db(double magnitude) { return magnitude > 0 ? 20.0 * std::log10(magnitude) : -1e9; }

std::string HzText(double hz) {
    if (hz >= 1000) return fmt::format("{:g}k", std::round(hz / 100.0) / 10.0);
    return fmt::format("{:g}", std::round(hz));
}

}  // namespace

bool ParseSectionCoefficients(const std::vector<uint8_t>& bytes, SectionCoefficients* out) {
    if (bytes.size() != kSectionBlockBytes || out == nullptr) return false;
    float v[6];
    std::memcpy(v, bytes.data(), sizeof v);
    *out = {v[0], v[1], v[2], v[3], v[4], v[5]};
    return true;
}

std::complex<double> SectionResponse(const SectionCoefficients& c, double hz, double sampleRate) {
    // H(z) = scale (b0 + b1 z^-1 + b2 z^-2) / (1 + scale (a1 z^-1 + a2 z^-2)).
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * hz / sampleRate);
    const std::complex<double> z2 = z1 * z1;
    const double s = c.scale;
    return s * (double(c.b0) + double(c.b1) * z1 + double(c.b2) * z2) /
           (1.0 + s * (double(c.a1) * z1 + double(c.a2) * z2));
}

double SectionCorner(const SectionCoefficients& c, double sampleRate) {
    // b0 = sin h and a1 = sin h - cos h, so cos h = b0 - a1.
    const double s = c.b0, co = double(c.b0) - double(c.a1);
    return std::atan2(s, co) * sampleRate / kPi;
}

ResponseInput CaptureResponse(MarovexInstance& instance, const MarovexComponentDescription& component) {
    ResponseInput input;
    input.sampleRate = instance.SampleRate();
    for (const AAX_CFieldIndex field : {kSectionWField, kSectionAField}) {
        const MarovexField* f = component.FindField(field);
        if (f == nullptr || f->kind != MarovexFieldKind::DataInPort || f->size != kSectionBlockBytes) {
            throw Failure(fmt::format("the plug-in declares no {}-byte coefficient port as field {}",
                                      kSectionBlockBytes, field));
        }
        std::vector<uint8_t> bytes;
        SectionCoefficients* target = field == kSectionWField ? &input.w : &input.a;
        if (!instance.LatestPacket(field, &bytes) || !ParseSectionCoefficients(bytes, target)) {
            throw Failure(fmt::format("the plug-in posted no coefficient block to field {}", field));
        }
    }
    return input;
}

ResponsePlotLayout::ResponsePlotLayout(PlotSize size, double sampleRate) {
    const double u = std::min(size.width / 800.0, size.height / 450.0);
    left = std::round(64 * u);
    right = size.width - std::round(18 * u);
    top = std::round(50 * u);
    bottom = size.height - std::round(62 * u);
    highHz = sampleRate / 2;
}

double ResponsePlotLayout::X(double hz) const {
    return left + (right - left) * std::log(hz / lowHz) / std::log(highHz / lowHz);
}
double ResponsePlotLayout::Hz(double x) const {
    return lowHz * std::exp((x - left) / (right - left) * std::log(highHz / lowHz));
}
double ResponsePlotLayout::Y(double db) const { return top + (bottom - top) * (kTopDb - db) / (kTopDb - kFloorDb); }

namespace {

struct Curve {
    const char* name;
    MarovexRgb colour;
    bool dashed;
    // Magnitude at a frequency.
    std::function<double(double)> magnitude;
};

}  // namespace

std::vector<uint8_t> RenderResponsePlot(const ResponseInput& in, PlotSize size) {
    PlotCanvas canvas(size);
    cairo_t* cr = canvas.Cr();
    const double u = canvas.Unit();
    const ResponsePlotLayout l(size, in.sampleRate);

    // Grid: dB every 6, frequencies at 1, 2 and 5 times powers of ten, and Nyquist.
    cairo_set_line_width(cr, 1.0);
    for (double db = ResponsePlotLayout::kTopDb; db >= ResponsePlotLayout::kFloorDb; db -= 6) {
        const double y = std::round(l.Y(db)) + 0.5;
        canvas.SetColour(db == 0 ? kMarovexMidGrey : kMarovexDarkGrey, db == 0 ? 0.8 : 0.5);
        cairo_move_to(cr, l.left, y);
        cairo_line_to(cr, l.right, y);
        cairo_stroke(cr);
        canvas.Text(l.left - 6 * u, y, fmt::format("{:g} dB", db), kMarovexFontSmall, kMarovexMidGrey,
                    TextAlign::Right);
    }
    for (double decade = 10; decade < l.highHz; decade *= 10) {
        for (const double m : {1.0, 2.0, 5.0}) {
            const double hz = m * decade;
            if (hz < l.lowHz || hz > l.highHz) continue;
            const double x = std::round(l.X(hz)) + 0.5;
            canvas.SetColour(kMarovexDarkGrey, 0.5);
            cairo_move_to(cr, x, l.top);
            cairo_line_to(cr, x, l.bottom);
            cairo_stroke(cr);
            if (l.X(l.highHz) - x > 40 * u) {
                canvas.Text(x, l.bottom + 14 * u, HzText(hz), kMarovexFontSmall, kMarovexMidGrey, TextAlign::Centre);
            }
        }
    }
    canvas.Text(l.right, l.bottom + 14 * u, HzText(l.highHz) + " Hz", kMarovexFontSmall, kMarovexMidGrey,
                TextAlign::Right);

    // The corners the blocks stand for, as marks on the frequency axis (outside the curves' area).
    const double cornerW = SectionCorner(in.w, in.sampleRate), cornerA = SectionCorner(in.a, in.sampleRate);
    for (const auto& [hz, colour] : {std::pair{cornerW, kResponseColourW}, std::pair{cornerA, kResponseColourA}}) {
        if (!(hz > l.lowHz && hz < l.highHz)) continue;
        const double x = l.X(hz);
        canvas.SetColour(colour);
        cairo_move_to(cr, x, l.bottom + 1);
        cairo_line_to(cr, x - 4 * u, l.bottom + 6 * u);
        cairo_line_to(cr, x + 4 * u, l.bottom + 6 * u);
        cairo_close_path(cr);
        cairo_fill(cr);
    }

    // The curves: the split's three first, the two sections on top.
    const SectionCoefficients w = in.w, a = in.a;
    const double rate = in.sampleRate;
    std::vector<Curve> curves;
    const char* splitNames[3] = {"split at 0 dB gain reduction", "6 dB", "12 dB"};
    const MarovexRgb splitColours[3] = {kMarovexWhite, kMarovexMeterGreen, kMarovexMeterGreen};
    for (int i = 0; i < 3; ++i) {
        const double g = std::pow(10.0, -kResponseReductionsDb[i] / 20.0);
        curves.push_back({splitNames[i], splitColours[i], i == 1, [a, rate, g](double hz) {
                              const std::complex<double> q = SectionResponse(a, hz, rate);
                              return std::abs(q + g * (1.0 - q));
                          }});
    }
    curves.push_back({"low-pass W", kResponseColourW, false,
                      [w, rate](double hz) { return std::abs(SectionResponse(w, hz, rate)); }});
    curves.push_back({"low-pass A", kResponseColourA, false,
                      [a, rate](double hz) { return std::abs(SectionResponse(a, hz, rate)); }});

    cairo_save(cr);
    cairo_rectangle(cr, l.left, l.top, l.right - l.left, l.bottom - l.top);
    cairo_clip(cr);
    cairo_set_line_width(cr, 1.5 * u);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    const double dashes[2] = {6 * u, 4 * u};
    for (const Curve& c : curves) {
        canvas.SetColour(c.colour);
        cairo_set_dash(cr, c.dashed ? dashes : nullptr, c.dashed ? 2 : 0, 0);
        bool first = true;
        for (double x = l.left; x <= l.right; x += 0.5) {
            const double hz = std::min(l.Hz(x), l.highHz);
            // Below the floor the curve runs just outside the clip, so it leaves the picture cleanly.
            const double y = std::min(l.Y(Db(c.magnitude(hz))), l.bottom + 4 * u);
            if (first) cairo_move_to(cr, x, y);
            else cairo_line_to(cr, x, y);
            first = false;
        }
        cairo_stroke(cr);
    }
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_restore(cr);
    canvas.SetColour(kMarovexDarkGrey);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, l.left + 0.5, l.top + 0.5, l.right - l.left - 1, l.bottom - l.top - 1);
    cairo_stroke(cr);

    // Legend beneath the frequency labels, title and settings above.
    double x = l.left;
    const double y = l.bottom + 38 * u;
    for (size_t i = 0; i < curves.size(); ++i) {
        const Curve& c = curves[i];
        canvas.SetColour(c.colour);
        cairo_set_line_width(cr, 2 * u);
        cairo_set_dash(cr, c.dashed ? dashes : nullptr, c.dashed ? 2 : 0, 0);
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x + 20 * u, y);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        x += 24 * u;
        x += canvas.Text(x, y, c.name, kMarovexFontSmall, kMarovexGrey) + 16 * u;
    }
    canvas.Text(l.left, 17 * u, "Band split at these settings", kMarovexFontBig, kMarovexLogo, TextAlign::Left, true);
    canvas.Text(l.right, 17 * u, in.caption, kMarovexFontSmall, kMarovexGrey, TextAlign::Right);
    canvas.Text(l.left, 36 * u,
                fmt::format("corners (marked on the axis) from the posted blocks: W {:.1f} Hz, A {:.1f} Hz at {:g} Hz",
                            cornerW, cornerA,
                            in.sampleRate),
                kMarovexFontSmall, kMarovexMidGrey);
    return canvas.Png();
}

int RunPlotResponse(const PlotResponseOptions& o) {
    if (o.output.empty()) throw UsageError("plot-response needs the picture's file name");
    if (!(o.rate >= 8000 && o.rate <= 768000)) throw UsageError("--rate must be from 8000 to 768000 Hz");
    const PlotSize size = ParsePlotSize(o.size);
    std::vector<Assignment> sets;
    for (const std::string& text : o.sets) sets.push_back(ParseAssignment("--set", text));
    CheckOutputs({{"picture", ClassifyOutput(o.output), o.overwrite}}, {{"plug-in module", o.plugin}}, nullptr);
    PluginSession session(o.plugin, AAX_eStemFormat_Stereo, float(o.rate), 64);
    for (const Assignment& a : sets) session.SetFromText(session.Resolve(a.key), a.value);
    const MarovexEffectDescription* effect = session.Module().Effect();
    const MarovexComponentDescription* component = effect ? effect->FindComponent(AAX_eStemFormat_Stereo) : nullptr;
    if (component == nullptr) throw Failure("the plug-in describes no stereo component");
    ResponseInput input = CaptureResponse(session.Instance(), *component);
    input.caption = fmt::format("FreqW {:.2f} = {}   FreqA {:.2f} = {}", session.Get("FreqW"),
                                MarovexReadoutText("FreqW", session.Get("FreqW")), session.Get("FreqA"),
                                MarovexReadoutText("FreqA", session.Get("FreqA")));
    WritePicture(o.output, RenderResponsePlot(input, size), o.overwrite);
    return kExitSuccess;
}

}  // namespace marovex::cli
