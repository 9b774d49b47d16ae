// Drawing into memory with cairo and pango, and writing the result as PNG.
#include "PlotCanvas.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "AudioFiles.h"
#include "CliError.h"
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
    mSurface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height);
    if (cairo_surface_status(mSurface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(mSurface);
        throw Failure("cannot make a picture of " + std::to_string(size.width) + " by " + std::to_string(size.height) +
                      " pixels");
    }
    mCr = cairo_create(mSurface);
    SetColour(kMarovexBackground);
    cairo_paint(mCr);
}

PlotCanvas::~PlotCanvas() {
    cairo_destroy(mCr);
    cairo_surface_destroy(mSurface);
}

void PlotCanvas::SetColour(MarovexRgb c, double alpha) {
    cairo_set_source_rgba(mCr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

double PlotCanvas::Text(double x, double y, const std::string& text, double size, MarovexRgb colour, TextAlign align,
                        bool bold) {
    PangoLayout* layout = pango_cairo_create_layout(mCr);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, kMarovexFontFamily);
    pango_font_description_set_absolute_size(desc, size * mUnit * PANGO_SCALE);
    pango_font_description_set_weight(desc, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    // Fixed font options, whatever the environment says, so that the bytes do not depend on it.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout);
    pango_layout_set_text(layout, text.c_str(), int(text.size()));
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    double left = x;
    if (align == TextAlign::Centre) left = x - logical.width / 2.0;
    if (align == TextAlign::Right) left = x - logical.width;
    SetColour(colour);
    if (mBoxed) {
        const double pad = 3 * mUnit;
        SetColour(kMarovexBackground, 0.8);
        cairo_rectangle(mCr, std::round(left - pad), std::round(y - logical.height / 2.0), logical.width + 2 * pad,
                        logical.height);
        cairo_fill(mCr);
        SetColour(colour);
    }
    cairo_move_to(mCr, std::round(left), std::round(y - logical.height / 2.0));
    pango_cairo_show_layout(mCr, layout);
    g_object_unref(layout);
    cairo_new_path(mCr);
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
    cairo_surface_flush(mSurface);
    std::vector<uint8_t> bytes;
    if (cairo_surface_write_to_png_stream(mSurface, AppendBytes, &bytes) != CAIRO_STATUS_SUCCESS) {
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
