#pragma once

#include "engine/TaskRules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kpx {

// Answers typed on standard input, one line per trial.
struct StdinParticipant
{
};

// Hyperbolic discounter: takes x now exactly when x >= 100 / (1 + k * days),
// except that with probability noise it answers at random.
struct HyperbolicParticipant
{
    double k = 0.0;
    double noise = 0.0;
};

// What one call of the simulator asks for.
struct SimOptions
{
    std::string subject;
    std::string outDir;
    std::int16_t threshold = DefaultDistractorThreshold;
    std::optional<std::uint64_t> seed; // from the clock when absent
    std::variant<StdinParticipant, HyperbolicParticipant> participant;
    int runs = 1;
    bool helpRequested = false;    // --help: print the usage, run nothing
    bool versionRequested = false; // --version: print the version, run nothing
};

// The parsed options, or a one-line message saying what was wrong.
std::variant<SimOptions, std::string> parseSimArguments(const std::vector<std::string> &arguments);

// The usage text for --help and bad command lines.
std::string simUsageText();

} // namespace kpx
