#include "MarovexReadout.h"

#include <cstdio>

float MarovexReadoutNumber(int tag, float v) {
    if (tag < 0 || tag >= static_cast<int>(kMarovexReadouts.size())) return 0.0f;
    const MarovexReadoutEntry& entry = kMarovexReadouts[static_cast<size_t>(tag)];
    const float scaled = v * entry.scale;  // a separate product: never fused with the sum
    return scaled + entry.offset;
}

bool MarovexFormatReadout(int tag, float v, char* out, size_t size) {
    if (tag < 0 || tag >= static_cast<int>(kMarovexReadouts.size()) || out == nullptr || size == 0) return false;
    const double shown = MarovexReadoutNumber(tag, v);
    std::snprintf(out, size, kMarovexReadouts[static_cast<size_t>(tag)].format, shown);
    return true;
}

std::string MarovexReadoutText(const std::string& id, double normalized) {
    for (size_t tag = 0; tag < kMarovexReadouts.size(); ++tag) {
        if (id != kMarovexReadouts[tag].id) continue;
        char text[64];
        MarovexFormatReadout(static_cast<int>(tag), static_cast<float>(normalized), text, sizeof text);
        return text;
    }
    return {};
}
