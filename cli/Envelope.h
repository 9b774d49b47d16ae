// Piecewise-linear parameter envelopes for `marovex process --automate ID=T:V,T:V,...`.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace marovex::cli {

struct EnvelopePoint {
    double seconds = 0.0;
    double value = 0.0;  // normalized, 0 to 1
    std::string text;    // the value as the parameter's own text, until Resolve turns it into a value
};

// A run of (time, value) points in non-decreasing time order. Before the first point the envelope
// holds the first value, after the last point the last value, and between two points it moves in a
// straight line. Two points at the same time make a step: from that time on the later one counts.
class Envelope {
public:
    // Parses "T:V,T:V,..." (seconds, then a normalized value or the parameter's value text; at least
    // one point). Throws a usage CliError naming the fault: a malformed number, a negative or
    // non-finite time, a number outside 0 to 1, or a time earlier than the one before it.
    static Envelope Parse(std::string_view text);

    // Turns every value text into a normalized value with `toValue`, which throws when it cannot.
    void Resolve(const std::function<double(const std::string&)>& toValue);

    double ValueAt(double seconds) const;
    // Whether the envelope is moving (between two points of different values) at this time.
    bool RampAt(double seconds) const;
    const std::vector<EnvelopePoint>& Points() const { return mPoints; }

private:
    std::vector<EnvelopePoint> mPoints;
};

}  // namespace marovex::cli
