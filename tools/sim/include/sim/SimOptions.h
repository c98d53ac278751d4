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

// The discounting a simulated participant follows, with $1 after D days worth:
enum class ParticipantModel {
    Hyperbolic,  // 1 / (1 + kD)
    Exponential, // exp(-kD)
    Hyperboloid, // 1 / (1 + kD)^s
    Rachlin,     // 1 / (1 + k D^s)
    BetaDelta,   // beta exp(-rD)
};

// A simulated participant: takes x now exactly when x >= valueAt(days), except that with
// probability noise it answers at random. The parameters a model does not use keep values that
// leave them out.
struct SimulatedParticipant
{
    ParticipantModel model = ParticipantModel::Hyperbolic;
    double k = 0.0;
    double s = 1.0;
    double beta = 1.0;
    double r = 0.0;
    double noise = 0.0;

    // What the delayed $100 after that many days is worth now to this participant, in dollars.
    double valueAt(double days) const;
};

// What one call of the simulator asks for.
struct SimOptions
{
    std::string subject;
    std::string outDir;
    std::int16_t threshold = DefaultDistractorThreshold;
    std::optional<std::uint64_t> seed; // from the clock when absent
    std::variant<StdinParticipant, SimulatedParticipant> participant;
    int runs = 1;
    std::string language = "en"; // a shipped catalogue's code; the trial log records it
    bool helpRequested = false;    // --help: print the usage, run nothing
    bool versionRequested = false; // --version: print the version, run nothing
};

// The language a command line's messages are said in: the last shipped one that its --language options
// name, else English; so that even a message about an option before --language is in the run's language.
std::string messageLanguage(const std::vector<std::string> &arguments);

// The parsed options, or a one-line message saying what was wrong, in the active language.
std::variant<SimOptions, std::string> parseSimArguments(const std::vector<std::string> &arguments);

// The usage text for --help and bad command lines.
std::string simUsageText();

} // namespace kpx
