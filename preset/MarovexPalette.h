// The editor's colours and fonts, shared by the editor and the pictures the marovex program draws,
// so that both look alike and a change of colour reaches both. Plain values: no toolkit type here.
#pragma once

#include <cstdint>

struct MarovexRgb {
    uint8_t r, g, b;
};

// The editor's palette.
inline constexpr MarovexRgb kMarovexWhite{235, 235, 235};       // knob readouts
inline constexpr MarovexRgb kMarovexMidGrey{180, 180, 180};
inline constexpr MarovexRgb kMarovexGrey{220, 220, 220};        // button titles
inline constexpr MarovexRgb kMarovexDarkGrey{100, 100, 100};
inline constexpr MarovexRgb kMarovexLogo{255, 199, 4};          // the logo's amber
inline constexpr MarovexRgb kMarovexCyan{0, 162, 232};
inline constexpr MarovexRgb kMarovexMeterGreen{37, 176, 22};    // the gain-reduction meter bar
inline constexpr MarovexRgb kMarovexBackground{30, 30, 30};     // behind the editor's bitmap
inline constexpr MarovexRgb kMarovexMessageText{200, 200, 200}; // the message label

// The editor's fonts: one family in four sizes (pixels).
inline constexpr const char kMarovexFontFamily[] = "Verdana";
inline constexpr double kMarovexFontSmall = 11;
inline constexpr double kMarovexFontNormal = 12;
inline constexpr double kMarovexFontBig = 14;
inline constexpr double kMarovexFontLogo = 28;
