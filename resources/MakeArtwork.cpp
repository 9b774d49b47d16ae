// Draws the editor's artwork with cairo and pango: the panel background "Marovex_sfondo.png" (400 by
// 340) and the silver knob film strips "Knob_Vintage_2_Silver_50.png" and "..._30.png" (131 frames
// stacked vertically, the pointer sweeping 270 degrees from 7:30 to 4:30).
//
// Usage: marovex-artwork OUTPUT_FOLDER
//
// Deterministic: no clock, no random source (the brushed-metal grain comes from a fixed linear
// congruential sequence), so the same fonts give the same files. The background's control positions
// follow the editor's fixed layout; the places below must move with it.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "vstgui/owned.h"

namespace {

using VSTGUI::owned::Cairo;
using VSTGUI::owned::Pattern;
using VSTGUI::owned::Surface;

constexpr double kPi = 3.14159265358979323846;
constexpr int kFrames = 131;
constexpr int kWidth = 400;
constexpr int kHeight = 340;
constexpr double kSweep = 270.0;  // degrees, centred on twelve o'clock

struct Rgb {
    double r, g, b;
};

Rgb Hex(uint32_t v) { return Rgb{((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0}; }

void Source(cairo_t* cr, Rgb c, double a = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

void Stop(const Pattern& p, double at, Rgb c, double a = 1.0) {
    cairo_pattern_add_color_stop_rgba(p.get(), at, c.r, c.g, c.b, a);
}

// A fixed pseudo-random sequence for grain.
class Grain {
public:
    double Next() {
        mState = mState * 1664525u + 1013904223u;
        return (mState >> 8) / 16777216.0;
    }

private:
    uint32_t mState = 0x4d61726fu;
};

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// ---------------------------------------------------------------------------------------------
// Text

enum class Align { Left, Center, Right };

// Draws one line with its logical box's top at y; returns the width.
double Text(cairo_t* cr, const std::string& text, double x, double y, double size, bool bold, double spacing,
            Align align, Rgb color, double alpha = 1.0, const char* family = "DejaVu Sans") {
    const VSTGUI::owned::Layout layout(pango_cairo_create_layout(cr));
    const VSTGUI::owned::FontDescription desc(pango_font_description_new());
    pango_font_description_set_family(desc.get(), family);
    pango_font_description_set_absolute_size(desc.get(), size * PANGO_SCALE);
    pango_font_description_set_weight(desc.get(), bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout.get(), desc.get());
    const VSTGUI::owned::AttrList attrs(pango_attr_list_new());
    pango_attr_list_insert(attrs.get(), pango_attr_letter_spacing_new(static_cast<int>(spacing * PANGO_SCALE)));
    pango_layout_set_attributes(layout.get(), attrs.get());
    const VSTGUI::owned::FontOptions options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options.get());
    pango_layout_context_changed(layout.get());
    pango_layout_set_text(layout.get(), text.c_str(), -1);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    // Letter spacing adds room after the last letter too; centre on the letters.
    const double width = logical.width - spacing;
    double left = x;
    if (align == Align::Center) left = x - width / 2;
    if (align == Align::Right) left = x - width;
    cairo_move_to(cr, std::round(left), std::round(y));
    Source(cr, color, alpha);
    pango_cairo_show_layout(cr, layout.get());
    return width;
}

// Engraved text: a dark line above and a light line below the letters, as if cut into the panel.
void Engraved(cairo_t* cr, const std::string& text, double x, double y, double size, double spacing, Align align,
              Rgb color) {
    Text(cr, text, x, y + 1, size, true, spacing, align, Hex(0x000000), 0.55);
    Text(cr, text, x, y, size, true, spacing, align, color);
}

// ---------------------------------------------------------------------------------------------
// Background

void BrushedPanel(cairo_t* cr, double x, double y, double w, double h, Rgb top, Rgb bottom) {
    const Pattern p(cairo_pattern_create_linear(0, y, 0, y + h));
    Stop(p, 0, top);
    Stop(p, 1, bottom);
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_source(cr, p.get());
    cairo_fill(cr);
    // Horizontal grain: faint streaks of varying length and brightness.
    Grain grain;
    cairo_set_line_width(cr, 1);
    for (int row = 0; row < static_cast<int>(h); ++row) {
        for (int k = 0; k < 3; ++k) {
            const double sx = x + grain.Next() * w;
            const double len = 20 + grain.Next() * 120;
            const double bright = grain.Next();
            const double alpha = 0.01 + 0.02 * grain.Next();
            cairo_move_to(cr, sx, y + row + 0.5);
            cairo_line_to(cr, std::min(x + w, sx + len), y + row + 0.5);
            if (bright > 0.5) {
                cairo_set_source_rgba(cr, 1, 1, 1, alpha);
            } else {
                cairo_set_source_rgba(cr, 0, 0, 0, alpha * 1.6);
            }
            cairo_stroke(cr);
        }
    }
}

// A recessed area: dark fill, inner shadow along the top, light edge along the bottom.
void Recess(cairo_t* cr, double x, double y, double w, double h, double r, Rgb fill) {
    RoundRect(cr, x, y, w, h, r);
    const Pattern p(cairo_pattern_create_linear(0, y, 0, y + h));
    Stop(p, 0, Rgb{fill.r * 0.6, fill.g * 0.6, fill.b * 0.6});
    Stop(p, 0.35, fill);
    Stop(p, 1, Rgb{fill.r * 1.15, fill.g * 1.15, fill.b * 1.15});
    cairo_set_source(cr, p.get());
    cairo_fill(cr);
    cairo_set_line_width(cr, 1);
    RoundRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, r);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_stroke(cr);
    cairo_move_to(cr, x + r, y + h + 0.5);
    cairo_line_to(cr, x + w - r, y + h + 0.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
    cairo_stroke(cr);
}

// A raised plate with a soft drop shadow.
void Plate(cairo_t* cr, double x, double y, double w, double h, double r, Rgb top, Rgb bottom) {
    for (int i = 3; i >= 1; --i) {
        RoundRect(cr, x - i * 0.5, y + i, w + i, h + i * 0.5, r + i);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.10);
        cairo_fill(cr);
    }
    RoundRect(cr, x, y, w, h, r);
    const Pattern p(cairo_pattern_create_linear(0, y, 0, y + h));
    Stop(p, 0, top);
    Stop(p, 1, bottom);
    cairo_set_source(cr, p.get());
    cairo_fill(cr);
    cairo_set_line_width(cr, 1);
    RoundRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, r);
    const Pattern edge(cairo_pattern_create_linear(0, y, 0, y + h));
    cairo_pattern_add_color_stop_rgba(edge.get(), 0, 1, 1, 1, 0.16);
    cairo_pattern_add_color_stop_rgba(edge.get(), 0.5, 1, 1, 1, 0.04);
    cairo_pattern_add_color_stop_rgba(edge.get(), 1, 0, 0, 0, 0.35);
    cairo_set_source(cr, edge.get());
    cairo_stroke(cr);
}

void Screw(cairo_t* cr, double cx, double cy, double slotAngle) {
    const double r = 4.0;
    cairo_arc(cr, cx, cy + 0.8, r + 0.8, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
    const Pattern p(cairo_pattern_create_radial(cx - 1.5, cy - 1.5, 0.5, cx, cy, r));
    Stop(p, 0, Hex(0xe8e8ea));
    Stop(p, 0.6, Hex(0x9a9ca0));
    Stop(p, 1, Hex(0x4a4c50));
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source(cr, p.get());
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.1);
    cairo_set_source_rgba(cr, 0.12, 0.12, 0.13, 0.9);
    for (int k = 0; k < 2; ++k) {
        const double a = slotAngle + k * kPi / 2;
        cairo_move_to(cr, cx - std::cos(a) * (r - 1), cy - std::sin(a) * (r - 1));
        cairo_line_to(cr, cx + std::cos(a) * (r - 1), cy + std::sin(a) * (r - 1));
        cairo_stroke(cr);
    }
}

// The scale around a knob: tick marks over the sweep, drawn on the panel under the knob's corners.
void KnobScale(cairo_t* cr, double cx, double cy, double inner, double outer, int ticks, Rgb color) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < ticks; ++i) {
        const double deg = -kSweep / 2 + kSweep * i / (ticks - 1);
        const double a = deg * kPi / 180.0;
        const bool major = i == 0 || i == ticks - 1 || i == (ticks - 1) / 2;
        const double ro = major ? outer : outer - (outer - inner) * 0.35;
        cairo_set_line_width(cr, major ? 1.4 : 1.0);
        cairo_move_to(cr, cx + std::sin(a) * inner, cy - std::cos(a) * inner);
        cairo_line_to(cr, cx + std::sin(a) * ro, cy - std::cos(a) * ro);
        Source(cr, color, major ? 0.95 : 0.6);
        cairo_stroke(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// Knob places (left, top, size) as the editor lays them out.
struct KnobPlace {
    double left, top, size;
    const char* label;
};
const KnobPlace kKnobs[8] = {
    {9, 232, 50, "INPUT"},     {259, 57, 30, "X-OVER"}, {349, 57, 30, "WIDTH"},   {221, 137, 30, "X-OVER"},
    {311, 137, 30, "ACTION"},  {141, 262, 30, "DYNAMICS"}, {231, 262, 30, "OVERALL"}, {321, 232, 50, "OUTPUT"},
};

void DrawBackground(cairo_t* cr) {
    const Rgb label = Hex(0xb9bcc2);
    const Rgb gold = Hex(0xffc704);

    // Panel: dark anodised metal with a fine horizontal grain.
    BrushedPanel(cr, 0, 0, kWidth, kHeight, Hex(0x2b2d31), Hex(0x16171a));
    // A soft light from the top left.
    const Pattern glow(cairo_pattern_create_radial(90, 40, 10, 90, 40, 330));
    cairo_pattern_add_color_stop_rgba(glow.get(), 0, 1, 1, 1, 0.07);
    cairo_pattern_add_color_stop_rgba(glow.get(), 1, 1, 1, 1, 0);
    cairo_rectangle(cr, 0, 0, kWidth, kHeight);
    cairo_set_source(cr, glow.get());
    cairo_fill(cr);

    // Top strip holding the preset buttons.
    cairo_rectangle(cr, 0, 0, kWidth, 27);
    const Pattern strip(cairo_pattern_create_linear(0, 0, 0, 27));
    Stop(strip, 0, Hex(0x1a1b1e));
    Stop(strip, 1, Hex(0x111214));
    cairo_set_source(cr, strip.get());
    cairo_fill(cr);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, 0, 27.5);
    cairo_line_to(cr, kWidth, 27.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.09);
    cairo_stroke(cr);
    cairo_move_to(cr, 0, 26.5);
    cairo_line_to(cr, kWidth, 26.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_stroke(cr);
    Engraved(cr, "PRESET", 100, 8, 8, 1.6, Align::Right, Hex(0x8c9096));
    // The four button plates (LOAD, SAVE | COPY, PASTE), the titles are drawn by the buttons.
    const double buttons[4] = {108, 163, 223, 278};
    for (double bx : buttons) Plate(cr, bx, 3, 50, 20, 3, Hex(0x3a3d42), Hex(0x25272b));
    cairo_move_to(cr, 218.5, 6);
    cairo_line_to(cr, 218.5, 20);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_stroke(cr);
    Engraved(cr, "HALVIK", 392, 8, 8, 2.2, Align::Right, Hex(0x6d7177));

    // Product name and tag line.
    Text(cr, "MAROVEX", 22, 47, 30, true, 4.5, Align::Left, Hex(0x000000), 0.6);
    Text(cr, "MAROVEX", 21, 45, 30, true, 4.5, Align::Left, gold);
    cairo_rectangle(cr, 22, 86, 168, 1.2);
    const Pattern rule(cairo_pattern_create_linear(22, 0, 190, 0));
    Stop(rule, 0, gold, 0.9);
    Stop(rule, 1, gold, 0.0);
    cairo_set_source(cr, rule.get());
    cairo_fill(cr);
    Engraved(cr, "DYNAMIC BAND PROCESSOR", 22, 93, 8.5, 1.8, Align::Left, label);
    Engraved(cr, "WITH STEREO WIDTH", 22, 106, 8.5, 1.8, Align::Left, Hex(0x7f848b));

    // Section plates.
    Plate(cr, 242, 36, 152, 78, 6, Hex(0x303237), Hex(0x222428));
    Engraved(cr, "LOW BAND", 318, 41, 8, 2.0, Align::Center, Hex(0x00a2e8));
    Plate(cr, 204, 120, 190, 78, 6, Hex(0x303237), Hex(0x222428));
    Engraved(cr, "HIGH BAND", 281, 124, 8, 2.0, Align::Center, Hex(0x00a2e8));

    // Meter: a recessed window around the bar (129, 220)-(309, 229) with a scale beneath.
    Engraved(cr, "GAIN REDUCTION", 219, 205, 8, 2.0, Align::Center, label);
    Recess(cr, 126, 217, 186, 15, 3, Hex(0x0b0c0d));
    cairo_set_line_width(cr, 1);
    for (int i = 0; i <= 10; ++i) {
        const double x = 309.5 - i * 18.0;
        cairo_move_to(cr, x, 234);
        cairo_line_to(cr, x, i % 5 == 0 ? 239 : 237);
        cairo_set_source_rgba(cr, 0.73, 0.74, 0.76, i % 5 == 0 ? 0.8 : 0.45);
        cairo_stroke(cr);
    }
    Text(cr, "0", 309, 239, 7.5, false, 0, Align::Center, Hex(0x8c9096));
    Text(cr, "-50%", 219, 239, 7.5, false, 0, Align::Center, Hex(0x8c9096));
    Text(cr, "-100%", 129, 239, 7.5, false, 0, Align::Center, Hex(0x8c9096));

    // Knob wells, scales and labels.
    for (const KnobPlace& k : kKnobs) {
        const double cx = k.left + k.size / 2;
        const double cy = k.top + k.size / 2;
        const double body = k.size * 0.40;
        const Pattern well(cairo_pattern_create_radial(cx, cy + 1, body, cx, cy + 1, body + 4));
        cairo_pattern_add_color_stop_rgba(well.get(), 0, 0, 0, 0, 0.55);
        cairo_pattern_add_color_stop_rgba(well.get(), 1, 0, 0, 0, 0);
        cairo_arc(cr, cx, cy + 1, body + 4, 0, 2 * kPi);
        cairo_set_source(cr, well.get());
        cairo_fill(cr);
        // The scale sits just outside the knob's square, on the panel.
        const double inner = k.size / 2 + 1.5;
        KnobScale(cr, cx, cy, inner, inner + (k.size > 40 ? 5 : 4), k.size > 40 ? 11 : 11, Hex(0xd0d3d8));
        Engraved(cr, k.label, cx, k.top + k.size + (k.size > 40 ? 6 : 5), k.size > 40 ? 8.5 : 7.5, 1.4,
                 Align::Center, label);
    }

    // The readout window under the message label (10, 310)-(270, 344).
    Recess(cr, 6, 311, 270, 25, 4, Hex(0x0d0f10));
    cairo_rectangle(cr, 8, 313, 266, 10);
    const Pattern gloss(cairo_pattern_create_linear(0, 313, 0, 323));
    cairo_pattern_add_color_stop_rgba(gloss.get(), 0, 1, 1, 1, 0.05);
    cairo_pattern_add_color_stop_rgba(gloss.get(), 1, 1, 1, 1, 0);
    cairo_set_source(cr, gloss.get());
    cairo_fill(cr);

    // Corner screws.
    Screw(cr, 9, 38, 0.4);
    Screw(cr, 228, 38, 1.1);
    Screw(cr, 290, 328, 0.8);
    Screw(cr, 391, 328, 0.2);
}

// ---------------------------------------------------------------------------------------------
// Knobs

// The knob's cap: brushed silver with a fixed reflection (light from the top left), drawn once and
// reused for every frame since lighting does not turn with the knob.
Surface MakeCap(int size, double radius) {
    Surface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size));
    const Cairo context(cairo_create(s.get()));
    cairo_t* cr = context.get();
    const double c = size / 2.0;
    const int wedges = 360;
    for (int i = 0; i < wedges; ++i) {
        const double a0 = 2 * kPi * i / wedges;
        const double a1 = 2 * kPi * (i + 1.2) / wedges;
        const double mid = (a0 + a1) / 2;
        // Radial brushing shows as a cone of reflections: two bright lobes and finer ripples.
        double v = 0.66 + 0.22 * std::cos(2 * (mid + kPi / 4)) + 0.05 * std::cos(6 * mid + 0.7) +
                   0.03 * std::cos(14 * mid + 1.3);
        v = std::max(0.25, std::min(0.97, v));
        cairo_move_to(cr, c, c);
        cairo_arc(cr, c, c, radius, a0, a1);
        cairo_close_path(cr);
        cairo_set_source_rgb(cr, v, v, v * 1.02);
        cairo_fill(cr);
    }
    // Dome shading.
    const Pattern dome(cairo_pattern_create_radial(c - radius * 0.35, c - radius * 0.4, radius * 0.1, c, c, radius));
    cairo_pattern_add_color_stop_rgba(dome.get(), 0, 1, 1, 1, 0.28);
    cairo_pattern_add_color_stop_rgba(dome.get(), 0.7, 1, 1, 1, 0.0);
    cairo_pattern_add_color_stop_rgba(dome.get(), 1, 0, 0, 0, 0.22);
    cairo_arc(cr, c, c, radius, 0, 2 * kPi);
    cairo_set_source(cr, dome.get());
    cairo_fill(cr);
    // Chamfer: a thin bright ring on top, dark at the bottom.
    const Pattern rim(cairo_pattern_create_linear(0, c - radius, 0, c + radius));
    cairo_pattern_add_color_stop_rgba(rim.get(), 0, 1, 1, 1, 0.85);
    cairo_pattern_add_color_stop_rgba(rim.get(), 0.5, 0.6, 0.6, 0.62, 0.4);
    cairo_pattern_add_color_stop_rgba(rim.get(), 1, 0.1, 0.1, 0.1, 0.8);
    cairo_set_line_width(cr, std::max(0.8, size * 0.022));
    cairo_arc(cr, c, c, radius - 0.4, 0, 2 * kPi);
    cairo_set_source(cr, rim.get());
    cairo_stroke(cr);
    return s;
}

void DrawKnobFrame(cairo_t* cr, int size, double top, double turn, cairo_surface_t* cap, double capRadius) {
    const double c = size / 2.0;
    const double cy = top + c;
    const double skirt = size * 0.40;
    cairo_save(cr);
    cairo_rectangle(cr, 0, top, size, size);
    cairo_clip(cr);

    // Drop shadow below the knob.
    const Pattern shadow(cairo_pattern_create_radial(c, cy + size * 0.05, skirt * 0.8, c, cy + size * 0.05, skirt + size * 0.09));
    cairo_pattern_add_color_stop_rgba(shadow.get(), 0, 0, 0, 0, 0.7);
    cairo_pattern_add_color_stop_rgba(shadow.get(), 1, 0, 0, 0, 0);
    cairo_arc(cr, c, cy + size * 0.05, skirt + size * 0.09, 0, 2 * kPi);
    cairo_set_source(cr, shadow.get());
    cairo_fill(cr);

    // Skirt: dark polished metal, knurled at the edge (the knurling turns with the knob).
    const Pattern body(cairo_pattern_create_linear(0, cy - skirt, 0, cy + skirt));
    Stop(body, 0, Hex(0x8c8f94));
    Stop(body, 0.45, Hex(0x45484d));
    Stop(body, 1, Hex(0x1b1c1f));
    cairo_arc(cr, c, cy, skirt, 0, 2 * kPi);
    cairo_set_source(cr, body.get());
    cairo_fill(cr);
    const int ridges = size > 40 ? 48 : 32;
    cairo_set_line_width(cr, size > 40 ? 0.9 : 0.7);
    for (int i = 0; i < ridges; ++i) {
        const double a = turn + 2 * kPi * i / ridges;
        const double lit = 0.5 + 0.5 * std::cos(a + kPi / 4 + kPi / 2);  // brighter toward the top left
        cairo_move_to(cr, c + std::sin(a) * (capRadius + 0.6), cy - std::cos(a) * (capRadius + 0.6));
        cairo_line_to(cr, c + std::sin(a) * (skirt - 0.3), cy - std::cos(a) * (skirt - 0.3));
        cairo_set_source_rgba(cr, 0, 0, 0, 0.35 + 0.15 * (1 - lit));
        cairo_stroke(cr);
    }
    cairo_set_line_width(cr, 0.8);
    cairo_arc(cr, c, cy, skirt - 0.4, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_stroke(cr);

    // Cap.
    cairo_set_source_surface(cr, cap, 0, top);
    cairo_paint(cr);

    // Pointer: a dark groove from near the centre to the cap's edge, with a bright inlay.
    const double sx = std::sin(turn), sy = -std::cos(turn);
    const double r0 = capRadius * 0.30, r1 = capRadius * 0.92;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, size * 0.085);
    cairo_move_to(cr, c + sx * r0, cy + sy * r0);
    cairo_line_to(cr, c + sx * r1, cy + sy * r1);
    cairo_set_source_rgba(cr, 0.08, 0.08, 0.09, 0.92);
    cairo_stroke(cr);
    cairo_set_line_width(cr, size * 0.035);
    cairo_move_to(cr, c + sx * (r0 + 0.5), cy + sy * (r0 + 0.5));
    cairo_line_to(cr, c + sx * (r1 - 0.8), cy + sy * (r1 - 0.8));
    cairo_set_source_rgba(cr, 1.0, 0.85, 0.35, 0.95);
    cairo_stroke(cr);
    cairo_restore(cr);
}

bool WriteKnobStrip(const std::string& path, int size) {
    const double capRadius = size * 0.31;
    const Surface cap = MakeCap(size, capRadius);
    const Surface strip(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size * kFrames));
    {
        const Cairo cr(cairo_create(strip.get()));
        for (int i = 0; i < kFrames; ++i) {
            const double deg = -kSweep / 2 + kSweep * i / (kFrames - 1);
            DrawKnobFrame(cr.get(), size, static_cast<double>(i) * size, deg * kPi / 180.0, cap.get(), capRadius);
        }
    }
    return cairo_surface_write_to_png(strip.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

bool WriteBackground(const std::string& path) {
    const Surface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight));
    {
        const Cairo cr(cairo_create(s.get()));
        DrawBackground(cr.get());
    }
    return cairo_surface_write_to_png(s.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: marovex-artwork OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = WriteBackground(dir + "/Marovex_sfondo.png") &&
                    WriteKnobStrip(dir + "/Knob_Vintage_2_Silver_50.png", 50) &&
                    WriteKnobStrip(dir + "/Knob_Vintage_2_Silver_30.png", 30);
    if (!ok) {
        std::fprintf(stderr, "marovex-artwork: cannot write the artwork into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
