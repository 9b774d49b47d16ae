// What one run of `marovex process` found, and how it is told: the warnings as they arise, then the
// summary line or the --json record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace marovex::cli {

// The gain starts at full reduction in a fresh instance and releases with a time constant of about
// 40 ms; five time constants later it is within 1% of where the audio puts it.
constexpr double kStartUpSeconds = 0.2;

// What one run did, for the summary, --json and --strict.
struct Summary {
    std::string input;
    std::string output;
    int format = 0;
    int64_t frames = 0;
    int sampleRate = 0;
    int channels = 0;
    double elapsed = 0.0;
    double peakIn = 0.0, peakOut = 0.0;
    int64_t clipped = 0;           // finite output samples beyond full scale
    int64_t nonFiniteIn = 0, nonFiniteOut = 0;
    bool bypassed = false;         // the bypass was on for the whole run
    bool reductionSettled = false; // the reduction excludes the start-up
    float reduction = 0.0f;
    nlohmann::ordered_json settings = nlohmann::ordered_json::array();
    std::vector<std::string> warnings;
};

// An input as messages name it: "standard input" for "-", else its quoted path.
std::string NameOf(const std::string& path);

// A gain in decibels, with a sign when `withSign` is set ("+3.7 dB").
std::string Decibels(double gain, bool withSign);

// Says a warning now and keeps it for the --json record.
void Warn(Summary& summary, const std::string& text);

// The --json record of one run.
nlohmann::ordered_json SummaryJson(const Summary& s);

// The settings' readouts and the summary line, on standard error.
void PrintSummary(const Summary& s);

}  // namespace marovex::cli
