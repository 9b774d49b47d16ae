// A picture drawn with cairo into memory and kept as PNG bytes: the shared ground of the marovex
// program's plots. Text goes through pango in the editor's font family; colours come from the
// editor's palette. Nothing here needs a display, and the same drawing gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vstgui/owned.h"
#include "MarovexPalette.h"

namespace marovex::cli {

// The size of a picture in pixels.
struct PlotSize {
    int width = 1600;
    int height = 900;
};

// "WIDTHxHEIGHT", each from 320 to 8192 pixels. Throws a usage CliError otherwise.
PlotSize ParsePlotSize(const std::string& text);

enum class TextAlign { Left, Centre, Right };

class PlotCanvas {
public:
    // An opaque picture filled with the editor's background colour. Throws a CliError when cairo
    // cannot make it.
    explicit PlotCanvas(PlotSize size);
    PlotCanvas(const PlotCanvas&) = delete;
    PlotCanvas& operator=(const PlotCanvas&) = delete;

    cairo_t* Cr() const { return mCr.get(); }
    int Width() const { return mSize.width; }
    int Height() const { return mSize.height; }
    // Layout unit: a picture of 800 by 450 pixels draws at 1, larger ones in proportion, so the
    // same picture reads alike at 1600 by 900 and at half that.
    double Unit() const { return mUnit; }

    void SetColour(MarovexRgb c, double alpha = 1.0);
    // Text of `size` layout units (the editor's font sizes) with its left, centre or right at x and
    // its vertical middle at y; returns the text's width in pixels.
    double Text(double x, double y, const std::string& text, double size, MarovexRgb colour,
                TextAlign align = TextAlign::Left, bool bold = false);
    // Text on a patch of the background colour, for a label over grid lines and curves.
    double BoxedText(double x, double y, const std::string& text, double size, MarovexRgb colour, bool bold);

    // The picture as PNG bytes. Throws a CliError when cairo fails.
    std::vector<uint8_t> Png();

private:
    PlotSize mSize;
    double mUnit;
    VSTGUI::owned::Surface mSurface;
    VSTGUI::owned::Cairo mCr;
    bool mBoxed = false;
};

// Writes PNG bytes to `path` ("-" for standard output) through a temporary file that replaces an
// existing file only with `overwrite`. Throws a CliError on failure.
void WritePicture(const std::string& path, const std::vector<uint8_t>& png, bool overwrite);

// Grid steps: the smallest of 1, 2 and 5 times a power of ten that is at least `least`.
double NiceStep(double least);

}  // namespace marovex::cli
