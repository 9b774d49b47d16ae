// The knob readouts: the words and the real-unit number that the editor's message label shows for each
// continuous parameter ("Xover Frequency 2250.00 Hz"). The editor and the marovex program both use
// this table, so a value reads the same on the panel and on the command line.
//
// Threading: no state; any thread. MarovexFormatReadout does not allocate.
#pragma once

#include <array>
#include <cstddef>
#include <string>

struct MarovexReadoutEntry {
    const char* id;      // parameter identifier
    const char* format;  // printf format with one %.2f for the shown number
    float scale;         // shown number = v * scale + offset, in single precision
    float offset;
};

// Tags 0 to 7 of the editor's knobs, in parameter order.
constexpr std::array<MarovexReadoutEntry, 8> kMarovexReadouts = {{
    {"InGain", "Input Gain %.2f %%", 200.0f, 0.0f},
    {"FreqW", "Xover Frequency %.2f Hz", 900.0f, 100.0f},
    {"Width", "Width %.2f %%", 100.0f, 0.0f},
    {"FreqA", "Xover Frequency %.2f Hz", 5000.0f, 1000.0f},
    {"Action", "Acceleration %.2f %%", 100.0f, 0.0f},
    {"Dyn", "Dynamics %.2f %%", 100.0f, 0.0f},
    {"Adj", "Overall Width %.2f %%", 200.0f, 0.0f},
    {"OutGain", "Output Volume %.2f %%", 200.0f, 0.0f},
}};

// The shown number of knob `tag` at value v, computed in single precision.
float MarovexReadoutNumber(int tag, float v);

// Writes the readout of knob `tag` (0 to 7) at value v into out (NUL-terminated, cut to size).
// False, and nothing written, for any other tag or a null / empty buffer.
bool MarovexFormatReadout(int tag, float v, char* out, size_t size);

// The readout of the parameter with this identifier, or an empty text when it has none (the master
// bypass, unknown identifiers).
std::string MarovexReadoutText(const std::string& id, double normalized);
