#include "sim/SimOptions.h"

#include "engine/RunState.h"
#include "engine/TaskRules.h"
#include "i18n/Tr.h"
#include "platform/Charconv.h"
#include "results/ResultsWriter.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>
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
    const auto [end, error] = kpx::fromChars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// One parameter of a participant's model: its name on the command line, where it goes and what it may be.
struct ParameterSyntax
{
    const char *name;
    double SimulatedParticipant::*field;
    const char *allowed; // English, for the catalogue
    bool (*valid)(double);
};

bool nonNegative(double v) { return v >= 0.0; }
bool positive(double v) { return v > 0.0; }
bool probability(double v) { return v >= 0.0 && v <= 1.0; }

const ParameterSyntax K{"K", &SimulatedParticipant::k, KPX_TR("a number of 0 or more"), &nonNegative};
const ParameterSyntax S{"S", &SimulatedParticipant::s, KPX_TR("a number above 0"), &positive};
const ParameterSyntax B{"B", &SimulatedParticipant::beta, KPX_TR("a number from 0 to 1"), &probability};
const ParameterSyntax R{"R", &SimulatedParticipant::r, KPX_TR("a number of 0 or more"), &nonNegative};
const ParameterSyntax Noise{"NOISE", &SimulatedParticipant::noise, KPX_TR("a probability from 0 to 1"), &probability};

// Every simulated participant: its name, then its parameters, then an optional NOISE.
struct ParticipantSyntax
{
    const char *name;
    ParticipantModel model;
    std::vector<const ParameterSyntax *> parameters;
};

const std::vector<ParticipantSyntax> &participantSyntaxes()
{
    static const std::vector<ParticipantSyntax> syntaxes{
        {"hyperbolic", ParticipantModel::Hyperbolic, {&K}},   {"exp", ParticipantModel::Exponential, {&K}},
        {"hyperboloid", ParticipantModel::Hyperboloid, {&K, &S}}, {"rachlin", ParticipantModel::Rachlin, {&K, &S}},
        {"betadelta", ParticipantModel::BetaDelta, {&B, &R}}};
    return syntaxes;
}

// "hyperboloid:K:S[:NOISE]", ..., each of them, for messages and the usage.
std::string participantForms(const char *separator)
{
    std::string forms;
    for (const ParticipantSyntax &syntax : participantSyntaxes()) {
        if (!forms.empty())
            forms += separator;
        forms += syntax.name;
        for (const ParameterSyntax *parameter : syntax.parameters)
            forms += std::string(":") + parameter->name;
        forms += "[:NOISE]";
    }
    return forms;
}

// A message in the run's language, its placeholders filled.
std::string say(const char *english, std::initializer_list<std::string_view> arguments = {})
{
    return i18n::arg(i18n::tr(english), arguments);
}

std::vector<std::string> splitColons(const std::string &text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t colon; (colon = text.find(':', start)) != std::string::npos; start = colon + 1)
        parts.push_back(text.substr(start, colon - start));
    parts.push_back(text.substr(start));
    return parts;
}

// A simulated participant, or empty when the value names none; a message when it names one badly.
std::optional<std::variant<SimulatedParticipant, std::string>> parseSimulated(const std::string &value)
{
    const std::vector<std::string> parts = splitColons(value);
    for (const ParticipantSyntax &syntax : participantSyntaxes()) {
        if (parts.front() != syntax.name)
            continue;
        std::vector<const ParameterSyntax *> expected = syntax.parameters;
        if (parts.size() == expected.size() + 2)
            expected.push_back(&Noise);
        if (parts.size() != expected.size() + 1) {
            std::string form = syntax.name;
            for (const ParameterSyntax *parameter : syntax.parameters)
                form += std::string(":") + parameter->name;
            const std::string count = std::to_string(syntax.parameters.size());
            if (syntax.parameters.size() == 1)
                // TRANSLATORS: %1 is a model's form, e.g. "exp:K"; %2 its count of numbers. The option, the
                // model and NOISE stay as they are: they are what is typed.
                return say(KPX_TR("--participant: %1[:NOISE] takes %2 number and a NOISE, not '%3'"), {form, count, value});
            // TRANSLATORS: as above, for a model of two numbers, e.g. "hyperboloid:K:S".
            return say(KPX_TR("--participant: %1[:NOISE] takes %2 numbers and a NOISE, not '%3'"), {form, count, value});
        }
        SimulatedParticipant participant;
        participant.model = syntax.model;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const auto number = parseReal(parts[i + 1]);
            if (!number || !expected[i]->valid(*number))
                return say(KPX_TR("--participant: %1 must be %2, not '%3'"),
                           {expected[i]->name, i18n::tr(expected[i]->allowed), parts[i + 1]});
            participant.*(expected[i]->field) = *number;
        }
        return participant;
    }
    return std::nullopt;
}

} // namespace

std::string messageLanguage(const std::vector<std::string> &arguments)
{
    std::string language = i18n::DefaultLanguage;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &name = arguments[i];
        if (name == "--help" || name == "-h" || name == "--version")
            continue;
        // Every other option takes the word after it, as parseSimArguments reads them.
        if (i + 1 < arguments.size() && name == "--language" && i18n::isShippedLanguage(arguments[i + 1]))
            language = arguments[i + 1];
        ++i;
    }
    return language;
}

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
            && name != "--participant" && name != "--runs" && name != "--language")
            return say(KPX_TR("unknown option '%1'"), {name});
        if (i + 1 >= arguments.size())
            return say(KPX_TR("%1 needs a value"), {name});
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
                return say(KPX_TR("--threshold must be a whole number from %1 to %2, not '%3'"),
                           {std::to_string(LowestDistractorThreshold), std::to_string(HighestDistractorThreshold), value});
            options.threshold = static_cast<std::int16_t>(*threshold);
        } else if (name == "--seed") {
            const auto seed = parseWhole<std::uint64_t>(value);
            if (!seed)
                return say(KPX_TR("--seed must be a whole number of 0 or more, not '%1'"), {value});
            options.seed = *seed;
        } else if (name == "--participant") {
            if (value == "stdin") {
                options.participant = StdinParticipant{};
            } else if (auto parsed = parseSimulated(value)) {
                if (auto *message = std::get_if<std::string>(&*parsed))
                    return *message;
                options.participant = std::get<SimulatedParticipant>(*parsed);
            } else {
                return say(KPX_TR("--participant must be stdin, %1, not '%2'"), {participantForms(", "), value});
            }
        } else if (name == "--language") {
            if (!i18n::isShippedLanguage(value))
                return say(KPX_TR("unknown language '%1'; the languages shipped are %2"), {value, i18n::shippedLanguageList()});
            options.language = value;
        } else if (name == "--runs") {
            const auto runs = parseWhole<int>(value);
            if (!runs || *runs < 1)
                return say(KPX_TR("--runs must be a whole number of 1 or more, not '%1'"), {value});
            options.runs = *runs;
        }
    }
    if (options.helpRequested || options.versionRequested)
        return options;
    if (!haveSubject)
        return say(KPX_TR("--subject is required"));
    // Refused before any file is made: such an ID would break the file names or their lines.
    if (const auto reason = unusableSubjectId(options.subject))
        return "--subject: " + *reason;
    if (!haveOut)
        return say(KPX_TR("--out is required"));
    if (options.runs > 1 && std::holds_alternative<StdinParticipant>(options.participant))
        return say(KPX_TR("--runs above 1 needs a simulated participant (--participant hyperbolic:K, exp:K, ...)"));
    return options;
}

double SimulatedParticipant::valueAt(double days) const
{
    constexpr double Delayed = DelayedAmount;
    switch (model) {
    case ParticipantModel::Hyperbolic:
        return Delayed / (1.0 + k * days);
    case ParticipantModel::Exponential:
        return Delayed * std::exp(-k * days);
    case ParticipantModel::Hyperboloid:
        return Delayed * std::pow(1.0 + k * days, -s);
    case ParticipantModel::Rachlin:
        return Delayed / (1.0 + k * std::pow(days, s));
    case ParticipantModel::BetaDelta:
        return Delayed * beta * std::exp(-r * days);
    }
    return Delayed;
}

std::string simUsageText()
{
    // TRANSLATORS: the options, the models, their formulas and the TRIAL line stay as they are; %1 is the
    // list of language codes.
    return say(KPX_TR("Usage: kpx2-sim --subject ID --out DIR [--threshold N] [--seed N]\n"
                      "                [--participant stdin | MODEL:PARAMETERS[:NOISE]] [--runs N] [--language L]\n"
                      "       kpx2-sim --help | --version\n"
                      "Runs the task engine and the results writer without windows and writes the files the\n"
                      "application writes (ID.KPX, ID.TC and the trial log) into DIR.\n"
                      "  --threshold N    distractor threshold, 6 to 34 (default 20)\n"
                      "  --seed N         seed of the amount draws (default: from the clock)\n"
                      "  --participant P  stdin (default): print \"TRIAL <block> <days> <amount> <kind>\" and\n"
                      "                   read I or D; or a simulated participant who values $100 after D days\n"
                      "                   at V and answers at random with probability NOISE (default 0):\n"
                      "                   hyperbolic:K[:NOISE]     V = 100 / (1 + K*D)\n"
                      "                   exp:K[:NOISE]            V = 100 exp(-K*D)\n"
                      "                   hyperboloid:K:S[:NOISE]  V = 100 / (1 + K*D)^S\n"
                      "                   rachlin:K:S[:NOISE]      V = 100 / (1 + K*D^S)\n"
                      "                   betadelta:B:R[:NOISE]    V = 100 B exp(-R*D)\n"
                      "  --runs N         N simulated participants (seeds seed, seed+1, ...), summarised\n"
                      "  --language L     the participant's language: %1 (default en)\n"
                      "Exit status: 0 done, 1 the files could not be written, 2 a bad option or answer or an\n"
                      "unusable subject ID, 3 the input ended early, 4 done, but the trial log's folder was\n"
                      "removed or replaced during the run and the whole log was written again.\n"),
               {i18n::shippedLanguageList()});
}

} // namespace kpx
