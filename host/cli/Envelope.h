// Piecewise-linear parameter envelopes for `marovex process --automate ID=T:V,T:V,...`.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marovex::cli {

struct EnvelopePoint {
    double seconds = 0.0;
    double value = 0.0;  // normalized, 0 to 1
};

// A run of (time, value) points in non-decreasing time order. Before the first point the envelope
// holds the first value, after the last point the last value, and between two points it moves in a
// straight line. Two points at the same time make a step: from that time on the later one counts.
class Envelope {
public:
    // Parses "T:V,T:V,..." (seconds, normalized value; at least one point). Throws a usage CliError
    // naming the fault: a malformed number, a negative or non-finite time, a value outside 0 to 1, or a
    // time earlier than the one before it.
    static Envelope Parse(std::string_view text);

    double ValueAt(double seconds) const;
    const std::vector<EnvelopePoint>& Points() const { return mPoints; }

private:
    std::vector<EnvelopePoint> mPoints;
};

}  // namespace marovex::cli
