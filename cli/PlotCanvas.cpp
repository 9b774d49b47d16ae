// Drawing into memory with cairo and pango, and writing the result as PNG.
#include "PlotCanvas.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "CliError.h"
#include "OutputPlace.h"
#include "PendingFile.h"
#include "PluginSession.h"
#include "Text.h"

namespace marovex::cli {

PlotSize ParsePlotSize(const std::string& text) {
    // Decimal digits on both sides of the one 'x', nothing else ("1600x900").
    const size_t x = text.find('x');
    const auto pixels = [](const std::string& part, int low, int* value) {
        const bool digits = !part.empty() && part.size() <= 5 &&
                            part.find_first_not_of("0123456789") == std::string::npos;
        if (!digits) return false;
        *value = std::stoi(part);
        return *value >= low && *value <= 8192;
    };
    int w = 0, h = 0;
    if (x == std::string::npos || !pixels(text.substr(0, x), 320, &w) || !pixels(text.substr(x + 1), 180, &h)) {
        throw UsageError("a picture size is WIDTHxHEIGHT in pixels, 320 to 8192 wide and 180 to 8192 high, not " +
                         Quote(text));
    }
    return {w, h};
}

PlotCanvas::PlotCanvas(PlotSize size)
    : mSize(size), mUnit(std::min(size.width / 800.0, size.height / 450.0)) {
    mSurface.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height));
    if (cairo_surface_status(mSurface.get()) != CAIRO_STATUS_SUCCESS) {
        throw Failure("cannot make a picture of " + std::to_string(size.width) + " by " + std::to_string(size.height) +
                      " pixels");
    }
    mCr.reset(cairo_create(mSurface.get()));
    SetColour(kMarovexBackground);
    cairo_paint(mCr.get());
}

void PlotCanvas::SetColour(MarovexRgb c, double alpha) {
    cairo_set_source_rgba(mCr.get(), c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

double PlotCanvas::Text(double x, double y, const std::string& text, double size, MarovexRgb colour, TextAlign align,
                        bool bold) {
    cairo_t* cr = mCr.get();
    const VSTGUI::owned::Layout layout(pango_cairo_create_layout(cr));
    const VSTGUI::owned::FontDescription desc(pango_font_description_new());
    pango_font_description_set_family(desc.get(), kMarovexFontFamily);
    pango_font_description_set_absolute_size(desc.get(), size * mUnit * PANGO_SCALE);
    pango_font_description_set_weight(desc.get(), bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout.get(), desc.get());
    // Fixed font options, whatever the environment says, so that the bytes do not depend on it.
    const VSTGUI::owned::FontOptions options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options.get());
    pango_layout_context_changed(layout.get());
    pango_layout_set_text(layout.get(), text.c_str(), int(text.size()));
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout.get(), &ink, &logical);
    double left = x;
    if (align == TextAlign::Centre) left = x - logical.width / 2.0;
    if (align == TextAlign::Right) left = x - logical.width;
    SetColour(colour);
    if (mBoxed) {
        const double pad = 3 * mUnit;
        SetColour(kMarovexBackground, 0.8);
        cairo_rectangle(cr, std::round(left - pad), std::round(y - logical.height / 2.0), logical.width + 2 * pad,
                        logical.height);
        cairo_fill(cr);
        SetColour(colour);
    }
    cairo_move_to(cr, std::round(left), std::round(y - logical.height / 2.0));
    pango_cairo_show_layout(cr, layout.get());
    cairo_new_path(cr);
    return logical.width;
}

double PlotCanvas::BoxedText(double x, double y, const std::string& text, double size, MarovexRgb colour, bool bold) {
    mBoxed = true;
    const double width = Text(x, y, text, size, colour, TextAlign::Left, bold);
    mBoxed = false;
    return width;
}

namespace {
cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}
}  // namespace

std::vector<uint8_t> PlotCanvas::Png() {
    cairo_surface_flush(mSurface.get());
    std::vector<uint8_t> bytes;
    if (cairo_surface_write_to_png_stream(mSurface.get(), AppendBytes, &bytes) != CAIRO_STATUS_SUCCESS) {
        throw Failure("cannot encode the picture as PNG");
    }
    return bytes;
}

void WritePicture(const std::string& path, const std::vector<uint8_t>& png, bool overwrite) {
    const OutputPlace place = ClassifyOutput(path);
    if (place.kind == OutputKind::File && place.exists && !overwrite) {
        throw Failure("the picture '" + EscapeText(path) + "' already exists (use --overwrite to replace it)");
    }
    PendingFile file(place);
    file.WriteAll(png);
    file.Commit(overwrite);
}

double NiceStep(double least) {
    const double power = std::pow(10.0, std::floor(std::log10(least)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= least * (1 - 1e-9)) return m * power;
    }
    return 10.0 * power;
}

}  // namespace marovex::cli
