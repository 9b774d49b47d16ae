#include "Envelope.h"

#include <cmath>

#include "Arguments.h"
#include "CliError.h"
#include "Text.h"

namespace marovex::cli {

namespace {

// A whole-text decimal number, independent of the locale (the rule of every number the user types).
bool ParseNumber(std::string_view text, double* value) { return ParseDecimal(std::string(text), value); }

// Whether the text looks like a number (so that "1.5" or "nan" are refused as values, not taken as
// value text).
bool LooksNumeric(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    if (text.empty()) return false;
    if (text == "nan" || text == "inf" || text == "infinity") return true;
    return std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.';
}

}  // namespace

Envelope Envelope::Parse(std::string_view text) {
    Envelope envelope;
    const std::string whole = EscapeText(std::string(text));
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string_view point = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        const size_t colon = point.find(':');
        if (colon == std::string_view::npos) {
            double number = 0.0;
            // "0:0,5": a decimal comma, read as the separator of two points.
            const bool decimalComma = start > 0 && ParseNumber(point, &number);
            throw UsageError("envelope point '" + EscapeText(std::string(point)) + "' in '" + whole +
                             "' is not TIME:VALUE" +
                             (decimalComma ? "; points are separated by commas, and the decimal separator is a point"
                                           : ""));
        }
        EnvelopePoint p;
        if (!ParseNumber(point.substr(0, colon), &p.seconds) || p.seconds < 0.0) {
            throw UsageError("envelope time '" + EscapeText(std::string(point.substr(0, colon))) + "' in '" + whole +
                             "' is not a number of seconds, 0 or more");
        }
        const std::string_view value = point.substr(colon + 1);
        if (!ParseNumber(value, &p.value)) {
            if (value.empty() || LooksNumeric(value)) {
                throw UsageError("envelope value '" + EscapeText(std::string(value)) + "' in '" + whole +
                                 "' is not a normalized value from 0 to 1 or a value text");
            }
            p.text = std::string(value);
            p.value = std::nan("");
        } else if (p.value < 0.0 || p.value > 1.0) {
            throw UsageError("envelope value '" + EscapeText(std::string(value)) + "' in '" + whole +
                             "' is not a normalized value from 0 to 1");
        }
        if (!envelope.mPoints.empty() && p.seconds < envelope.mPoints.back().seconds) {
            throw UsageError("envelope times in '" + whole + "' must not go backwards");
        }
        envelope.mPoints.push_back(p);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return envelope;
}

void Envelope::Resolve(const std::function<double(const std::string&)>& toValue) {
    for (EnvelopePoint& p : mPoints) {
        if (!p.text.empty()) p.value = toValue(p.text);
    }
}

double Envelope::ValueAt(double seconds) const {
    // The last point at or before the time; before the first point, the first value.
    size_t i = 0;
    while (i + 1 < mPoints.size() && mPoints[i + 1].seconds <= seconds) ++i;
    const EnvelopePoint& a = mPoints[i];
    if (seconds <= a.seconds || i + 1 == mPoints.size()) return a.value;
    const EnvelopePoint& b = mPoints[i + 1];
    return a.value + (b.value - a.value) * ((seconds - a.seconds) / (b.seconds - a.seconds));
}

bool Envelope::RampAt(double seconds) const {
    for (size_t i = 0; i + 1 < mPoints.size(); ++i) {
        const EnvelopePoint& a = mPoints[i];
        const EnvelopePoint& b = mPoints[i + 1];
        if (seconds >= a.seconds && seconds < b.seconds && !(a.value == b.value)) return true;
    }
    return false;
}

}  // namespace marovex::cli
