// The demo: 120 beats per minute, a kick on every beat, a snare on the off beats, hats on every
// eighth, a bass line, and three bursts of low-passed noise. Everything is summed in double
// precision and rounded to float once; the noise comes from a seeded generator of our own.
#include "DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kBeat = 0.5;  // seconds
constexpr double kBurstPeak = 0.72;
constexpr double kMaxPeak = 0.95;

// xorshift64*: small, fast and the same on every platform.
class NoiseSource {
public:
    explicit NoiseSource(uint64_t seed) : mState(seed) {}
    double Next() {  // uniform in [-1, 1)
        mState ^= mState >> 12;
        mState ^= mState << 25;
        mState ^= mState >> 27;
        return static_cast<double>((mState * 0x2545F4914F6CDD1Dull) >> 11) * 0x1p-52 - 1.0;
    }

private:
    uint64_t mState;
};

struct Stereo {
    std::vector<double> left, right;
    double rate;
    std::size_t frames() const { return left.size(); }
    // Sample range [begin, begin + seconds) clipped to the signal.
    std::size_t Begin(double t) const { return std::min(frames(), static_cast<std::size_t>(t * rate)); }
    std::size_t End(double t, double seconds) const { return Begin(t + seconds); }
};

void AddKick(Stereo& s, double t0) {
    double phase = 0.0;
    for (std::size_t i = s.Begin(t0); i < s.End(t0, 0.4); ++i) {
        const double t = static_cast<double>(i) / s.rate - t0;
        phase += kTwoPi * (48.0 + 110.0 * std::exp(-t / 0.035)) / s.rate;
        const double v = 0.4 * std::exp(-t / 0.16) * std::sin(phase);
        s.left[i] += v;
        s.right[i] += v;
    }
}

void AddSnare(Stereo& s, double t0, NoiseSource& noise) {
    for (std::size_t i = s.Begin(t0); i < s.End(t0, 0.25); ++i) {
        const double t = static_cast<double>(i) / s.rate - t0;
        const double tone = 0.18 * std::exp(-t / 0.04) * std::sin(kTwoPi * 185.0 * t);
        const double env = 0.22 * std::exp(-t / 0.07);
        const double common = noise.Next();
        s.left[i] += tone + env * (0.8 * common + 0.2 * noise.Next());
        s.right[i] += tone + env * (0.8 * common + 0.2 * noise.Next());
    }
}

void AddHat(Stereo& s, double t0, bool leftHeavy, NoiseSource& noise) {
    double previous = 0.0;
    for (std::size_t i = s.Begin(t0); i < s.End(t0, 0.06); ++i) {
        const double t = static_cast<double>(i) / s.rate - t0;
        const double white = noise.Next();
        const double v = 0.07 * std::exp(-t / 0.015) * (white - previous);  // first difference: bright
        previous = white;
        s.left[i] += v * (leftHeavy ? 0.8 : 0.5);
        s.right[i] += v * (leftHeavy ? 0.5 : 0.8);
    }
}

void AddBassNote(Stereo& s, double t0, double hz) {
    for (std::size_t i = s.Begin(t0); i < s.End(t0, kBeat); ++i) {
        const double t = static_cast<double>(i) / s.rate - t0;
        const double fades = std::min({1.0, t / 0.01, (kBeat - t) / 0.01});  // no clicks at the note edges
        const double env = 0.16 * (0.5 + 0.5 * std::exp(-t / 0.2)) * std::max(0.0, fades);
        const double v = env * (std::sin(kTwoPi * hz * t) + 0.3 * std::sin(2.0 * kTwoPi * hz * t));
        s.left[i] += v;
        s.right[i] += v;
    }
}

// Low-passed noise, mostly shared by both channels, brought to unit RMS and then soft-limited to
// kBurstPeak: a dense, loud low band. 10 ms fades at both ends.
void AddBurst(Stereo& s, double t0, NoiseSource& noise) {
    const std::size_t begin = s.Begin(t0), end = s.End(t0, kMarovexDemoBurstLength);
    const double a = 1.0 - std::exp(-kTwoPi * 1200.0 / s.rate);
    std::vector<double> left(end - begin), right(end - begin);
    double yL = 0.0, yR = 0.0, power = 1e-12;
    for (std::size_t k = 0; k < left.size(); ++k) {
        const double common = 0.85 * noise.Next();
        yL += a * (common + 0.15 * noise.Next() - yL);
        yR += a * (common + 0.15 * noise.Next() - yR);
        left[k] = yL;
        right[k] = yR;
        power += yL * yL + yR * yR;
    }
    const double norm = 1.0 / std::sqrt(power / (2.0 * static_cast<double>(left.size()) + 1e-12));
    for (std::size_t k = 0; k < left.size(); ++k) {
        const double t = static_cast<double>(k) / s.rate;
        const double fade = std::max(0.0, std::min({1.0, t / 0.01, (kMarovexDemoBurstLength - t) / 0.01}));
        s.left[begin + k] += kBurstPeak * fade * std::tanh(1.5 * norm * left[k]);
        s.right[begin + k] += kBurstPeak * fade * std::tanh(1.5 * norm * right[k]);
    }
}

}  // namespace

MarovexDemoSignal MakeMarovexDemoSignal(int32_t sampleRate) {
    const std::size_t frames = static_cast<std::size_t>(kMarovexDemoSeconds * sampleRate);
    Stereo s{std::vector<double>(frames, 0.0), std::vector<double>(frames, 0.0), static_cast<double>(sampleRate)};
    NoiseSource noise(0x4D61726F76657821ull);
    static const double kBassLine[4] = {55.0, 55.0, 73.42, 65.41};

    const int beats = static_cast<int>(kMarovexDemoSeconds / kBeat);
    for (int beat = 0; beat < beats; ++beat) {
        const double t = beat * kBeat;
        AddKick(s, t);
        if (beat % 2 == 1) {
            AddSnare(s, t, noise);
        }
        AddHat(s, t, true, noise);
        AddHat(s, t + kBeat / 2, false, noise);
        AddBassNote(s, t, kBassLine[beat % 4]);
    }
    for (double t : kMarovexDemoBurstStart) {
        AddBurst(s, t, noise);
    }

    double peak = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        peak = std::max({peak, std::fabs(s.left[i]), std::fabs(s.right[i])});
    }
    const double gain = peak > kMaxPeak ? kMaxPeak / peak : 1.0;
    MarovexDemoSignal out{sampleRate, 2, std::vector<float>(frames * 2)};
    for (std::size_t i = 0; i < frames; ++i) {
        out.samples[2 * i] = static_cast<float>(s.left[i] * gain);
        out.samples[2 * i + 1] = static_cast<float>(s.right[i] * gain);
    }
    return out;
}
