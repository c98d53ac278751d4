#include "sim/SimOptions.h"

#include "engine/TaskRules.h"
#include "results/ResultsWriter.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace kpx {

namespace {

template <typename T>
std::optional<T> parseWhole(const std::string &text)
{
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<double> parseReal(const std::string &text)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::variant<HyperbolicParticipant, std::string> parseHyperbolic(const std::string &argument)
{
    // hyperbolic:K[:NOISE]
    const std::string rest = argument.substr(std::string("hyperbolic:").size());
    const auto colon = rest.find(':');
    const std::string kText = rest.substr(0, colon);
    HyperbolicParticipant participant;
    const auto k = parseReal(kText);
    if (!k || *k < 0)
        return "--participant: K must be a number of 0 or more, not '" + kText + "'";
    participant.k = *k;
    if (colon != std::string::npos) {
        const std::string noiseText = rest.substr(colon + 1);
        const auto noise = parseReal(noiseText);
        if (!noise || *noise < 0 || *noise > 1)
            return "--participant: NOISE must be a probability from 0 to 1, not '" + noiseText + "'";
        participant.noise = *noise;
    }
    return participant;
}

} // namespace

std::variant<SimOptions, std::string> parseSimArguments(const std::vector<std::string> &arguments)
{
    SimOptions options;
    bool haveSubject = false;
    bool haveOut = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &name = arguments[i];
        if (name == "--help" || name == "-h") {
            options.helpRequested = true;
            continue;
        }
        if (name == "--version") {
            options.versionRequested = true;
            continue;
        }
        if (name != "--subject" && name != "--out" && name != "--threshold" && name != "--seed"
            && name != "--participant" && name != "--runs")
            return "unknown option '" + name + "'";
        if (i + 1 >= arguments.size())
            return name + " needs a value";
        const std::string &value = arguments[++i];

        if (name == "--subject") {
            options.subject = value;
            haveSubject = true;
        } else if (name == "--out") {
            options.outDir = value;
            haveOut = true;
        } else if (name == "--threshold") {
            const auto threshold = parseWhole<int>(value);
            if (!threshold || !isDistractorThreshold(*threshold))
                return "--threshold must be a whole number from " + std::to_string(LowestDistractorThreshold)
                    + " to " + std::to_string(HighestDistractorThreshold) + ", not '" + value + "'";
            options.threshold = static_cast<std::int16_t>(*threshold);
        } else if (name == "--seed") {
            const auto seed = parseWhole<std::uint64_t>(value);
            if (!seed)
                return "--seed must be a whole number of 0 or more, not '" + value + "'";
            options.seed = *seed;
        } else if (name == "--participant") {
            if (value == "stdin") {
                options.participant = StdinParticipant{};
            } else if (value.rfind("hyperbolic:", 0) == 0) {
                auto parsed = parseHyperbolic(value);
                if (auto *message = std::get_if<std::string>(&parsed))
                    return *message;
                options.participant = std::get<HyperbolicParticipant>(parsed);
            } else {
                return "--participant must be 'stdin' or 'hyperbolic:K[:NOISE]', not '" + value + "'";
            }
        } else if (name == "--runs") {
            const auto runs = parseWhole<int>(value);
            if (!runs || *runs < 1)
                return "--runs must be a whole number of 1 or more, not '" + value + "'";
            options.runs = *runs;
        }
    }
    if (options.helpRequested || options.versionRequested)
        return options;
    if (!haveSubject)
        return "--subject is required";
    // Refused before any file is made: such an ID would break the file names or their lines.
    if (const auto reason = unusableSubjectId(options.subject))
        return "--subject: " + *reason;
    if (!haveOut)
        return "--out is required";
    if (options.runs > 1 && std::holds_alternative<StdinParticipant>(options.participant))
        return "--runs above 1 needs a simulated participant (--participant hyperbolic:K)";
    return options;
}

std::string simUsageText()
{
    return "Usage: kpx2-sim --subject ID --out DIR [--threshold N] [--seed N]\n"
           "                [--participant stdin | hyperbolic:K[:NOISE]] [--runs N]\n"
           "       kpx2-sim --help | --version\n"
           "Runs the task engine and the results writer without windows and writes the files the\n"
           "application writes (ID.KPX, ID.TC and the trial log) into DIR.\n"
           "  --threshold N    distractor threshold, 6 to 34 (default 20)\n"
           "  --seed N         seed of the amount draws (default: from the clock)\n"
           "  --participant P  stdin (default): print \"TRIAL <block> <days> <amount> <kind>\" and\n"
           "                   read I or D; hyperbolic:K[:NOISE]: a simulated participant with\n"
           "                   V = 100 / (1 + K*days) who answers at random with probability NOISE\n"
           "  --runs N         N simulated participants (seeds seed, seed+1, ...), summarised\n"
           "Exit status: 0 done, 1 the files could not be written, 2 a bad option or answer or an\n"
           "unusable subject ID, 3 the input ended early, 4 done, but the trial log's folder was\n"
           "removed or replaced during the run and the whole log was written again.\n";
}

} // namespace kpx
