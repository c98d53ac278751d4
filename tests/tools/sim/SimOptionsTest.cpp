#include "sim/SimOptions.h"

#include "i18n/Tr.h"

#include <gtest/gtest.h>

#include <ostream>
#include <regex>
#include <tuple>

#include <string>
#include <vector>

namespace kpx {
namespace {

std::variant<SimOptions, std::string> parse(std::vector<std::string> extra)
{
    std::vector<std::string> arguments = {"--subject", "S1", "--out", "/tmp"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return parseSimArguments(arguments);
}

TEST(SimOptions, DefaultsAreThresholdTwentyStdinOneRunClockSeed)
{
    const auto parsed = parse({});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed));
    const auto &options = std::get<SimOptions>(parsed);
    EXPECT_EQ(options.subject, "S1");
    EXPECT_EQ(options.outDir, "/tmp");
    EXPECT_EQ(options.threshold, 20);
    EXPECT_FALSE(options.seed);
    EXPECT_TRUE(std::holds_alternative<StdinParticipant>(options.participant));
    EXPECT_EQ(options.runs, 1);
}

TEST(SimOptions, ReadsEveryOption)
{
    const auto parsed = parse({"--threshold", "6", "--seed", "18446744073709551615", "--participant",
                               "hyperbolic:0.01:0.25", "--runs", "40"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << std::get<std::string>(parsed);
    const auto &options = std::get<SimOptions>(parsed);
    EXPECT_EQ(options.threshold, 6);
    EXPECT_EQ(options.seed, 18446744073709551615ull);
    const auto &participant = std::get<SimulatedParticipant>(options.participant);
    EXPECT_EQ(participant.model, ParticipantModel::Hyperbolic);
    EXPECT_DOUBLE_EQ(participant.k, 0.01);
    EXPECT_DOUBLE_EQ(participant.noise, 0.25);
    EXPECT_EQ(options.runs, 40);
}

struct ParticipantCase
{
    const char *argument;
    ParticipantModel model;
    double k, s, beta, r, noise;
};

void PrintTo(const ParticipantCase &c, std::ostream *out)
{
    *out << c.argument;
}

class SimulatedParticipants : public ::testing::TestWithParam<ParticipantCase>
{
};

TEST_P(SimulatedParticipants, PutEachNumberInItsPlaceAndLeaveTheOthersOut)
{
    const auto parsed = parse({"--participant", GetParam().argument});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << std::get<std::string>(parsed);
    const auto &p = std::get<SimulatedParticipant>(std::get<SimOptions>(parsed).participant);
    EXPECT_EQ(p.model, GetParam().model);
    EXPECT_EQ(p.k, GetParam().k);
    EXPECT_EQ(p.s, GetParam().s);
    EXPECT_EQ(p.beta, GetParam().beta);
    EXPECT_EQ(p.r, GetParam().r);
    EXPECT_EQ(p.noise, GetParam().noise);
}

INSTANTIATE_TEST_SUITE_P(
    Models, SimulatedParticipants,
    ::testing::Values(ParticipantCase{"exp:0.25", ParticipantModel::Exponential, 0.25, 1, 1, 0, 0},
                      ParticipantCase{"exp:0.25:0.5", ParticipantModel::Exponential, 0.25, 1, 1, 0, 0.5},
                      ParticipantCase{"hyperboloid:0.5:2", ParticipantModel::Hyperboloid, 0.5, 2, 1, 0, 0},
                      ParticipantCase{"rachlin:0.5:0.25:1", ParticipantModel::Rachlin, 0.5, 0.25, 1, 0, 1},
                      ParticipantCase{"betadelta:0.75:0.125", ParticipantModel::BetaDelta, 0, 1, 0.75, 0.125, 0},
                      ParticipantCase{"betadelta:1:0:0.25", ParticipantModel::BetaDelta, 0, 1, 1, 0, 0.25}));

TEST(SimOptions, HelpAndVersionNeedNoOtherOption)
{
    const struct
    {
        std::vector<std::string> arguments;
        bool help;
        bool version;
    } cases[] = {{{"--help"}, true, false},
                 {{"-h"}, true, false},
                 {{"--version"}, false, true},
                 {{"--subject", "S", "--version"}, false, true}};
    for (const auto &c : cases) {
        const auto parsed = parseSimArguments(c.arguments);
        ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << c.arguments.front();
        EXPECT_EQ(std::get<SimOptions>(parsed).helpRequested, c.help) << c.arguments.front();
        EXPECT_EQ(std::get<SimOptions>(parsed).versionRequested, c.version) << c.arguments.front();
    }
    EXPECT_FALSE(std::get<SimOptions>(parse({})).helpRequested);
    EXPECT_FALSE(std::get<SimOptions>(parse({})).versionRequested);
}

struct BadArguments
{
    std::string name;
    std::vector<std::string> arguments;
    std::string mentions;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadArguments &c, std::ostream *out)
{
    *out << c.name;
}

class SimOptionsRejects : public ::testing::TestWithParam<BadArguments>
{
};

TEST_P(SimOptionsRejects, WithAMessageSayingWhatWasWrong)
{
    const auto parsed = parseSimArguments(GetParam().arguments);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
    EXPECT_NE(std::get<std::string>(parsed).find(GetParam().mentions), std::string::npos) << std::get<std::string>(parsed);
}

const std::vector<std::string> base = {"--subject", "S", "--out", "d"};

std::vector<std::string> with(std::vector<std::string> extra)
{
    std::vector<std::string> arguments = base;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimOptionsRejects,
    ::testing::Values(BadArguments{"ThresholdBelowRange", with({"--threshold", "5"}), "'5'"},
                      BadArguments{"ThresholdAboveRange", with({"--threshold", "35"}), "6 to 34"},
                      BadArguments{"ThresholdNotWhole", with({"--threshold", "20.5"}), "'20.5'"},
                      BadArguments{"ThresholdTrailingText", with({"--threshold", "20x"}), "'20x'"},
                      BadArguments{"UnknownOption", with({"--colour", "red"}), "'--colour'"},
                      BadArguments{"MissingValue", with({"--seed"}), "--seed needs a value"},
                      BadArguments{"NegativeSeed", with({"--seed", "-1"}), "--seed"},
                      BadArguments{"UnknownParticipant", with({"--participant", "robot"}), "'robot'"},
                      BadArguments{"NegativeK", with({"--participant", "hyperbolic:-1"}), "K"},
                      BadArguments{"NoiseAboveOne", with({"--participant", "hyperbolic:0.1:2"}), "NOISE"},
                      BadArguments{"ShapeZero", with({"--participant", "rachlin:0.1:0"}), "S must be a number above 0"},
                      BadArguments{"BetaAboveOne", with({"--participant", "betadelta:1.5:0.1"}), "B must be"},
                      BadArguments{"NegativeRate", with({"--participant", "betadelta:0.5:-1"}), "R must be"},
                      BadArguments{"ShapeMissing", with({"--participant", "hyperboloid:0.1"}), "hyperboloid:K:S[:NOISE]"},
                      BadArguments{"TooManyNumbers", with({"--participant", "exp:0.1:0.2:0.3"}), "exp:K[:NOISE]"},
                      BadArguments{"ModelWithoutNumbers", with({"--participant", "exp"}), "exp:K[:NOISE]"},
                      BadArguments{"ZeroRuns", with({"--participant", "hyperbolic:0.1", "--runs", "0"}), "--runs"},
                      BadArguments{"RunsWithStdin", with({"--runs", "3"}), "simulated participant"},
                      BadArguments{"SubjectWithLineFeed", {"--subject", "S\n1", "--out", "d"}, "line break"},
                      BadArguments{"SubjectWithControl", {"--subject", "\x1B[31mS1", "--out", "d"}, "U+001B"},
                      BadArguments{"SubjectWithSlash", {"--subject", "lab/S1", "--out", "d"}, "'/'"},
                      BadArguments{"SubjectNotUtf8", {"--subject", "Zo\xEB", "--out", "d"}, "UTF-8"},
                      BadArguments{"NoSubject", {"--out", "d"}, "--subject"},
                      BadArguments{"NoOut", {"--subject", "S"}, "--out"}),
    [](const auto &info) { return info.param.name; });

struct LanguageOfMessages
{
    std::string name;
    std::vector<std::string> arguments;
    std::string language;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LanguageOfMessages &c, std::ostream *out)
{
    *out << c.name;
}

class MessageLanguage : public ::testing::TestWithParam<LanguageOfMessages>
{
};

TEST_P(MessageLanguage, IsTheLastShippedOneNamedElseEnglish)
{
    EXPECT_EQ(messageLanguage(GetParam().arguments), GetParam().language);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageLanguage,
    ::testing::Values(LanguageOfMessages{"NoneNamed", with({"--seed", "3"}), "en"},
                      LanguageOfMessages{"NamedAfterABadOption", with({"--threshold", "40", "--language", "de"}), "de"},
                      LanguageOfMessages{"NamedTwice", with({"--language", "es", "--language", "zh_CN"}), "zh_CN"},
                      LanguageOfMessages{"NotShipped", with({"--language", "xx"}), "en"},
                      LanguageOfMessages{"NotShippedAfterAShippedOne", with({"--language", "de", "--language", "xx"}), "de"},
                      LanguageOfMessages{"AsAnotherOptionsValue", {"--subject", "--language", "--out", "de"}, "en"},
                      LanguageOfMessages{"AfterHelp", {"--help", "--language", "es"}, "es"},
                      LanguageOfMessages{"WithoutItsValue", {"--language"}, "en"}),
    [](const auto &info) { return info.param.name; });

// Each refusal in each shipped language: English as it has always read, every other language in its
// own words, with what was refused filled in.
struct RefusalText
{
    std::string name;
    std::vector<std::string> arguments;
    std::string english;
    std::string shown; // what the message names, in every language
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RefusalText &c, std::ostream *out)
{
    *out << c.name;
}

class SimOptionsRefusalIn : public ::testing::TestWithParam<std::tuple<const char *, RefusalText>>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

TEST_P(SimOptionsRefusalIn, ThatLanguageWithWhatWasRefused)
{
    const auto &[language, refusal] = GetParam();
    ASSERT_TRUE(i18n::setLanguage(language));
    const auto parsed = parseSimArguments(refusal.arguments);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
    const std::string &message = std::get<std::string>(parsed);
    if (std::string(language) == i18n::DefaultLanguage)
        EXPECT_EQ(message, refusal.english);
    else
        EXPECT_NE(message, refusal.english);
    EXPECT_NE(message.find(refusal.shown), std::string::npos) << message;
    EXPECT_FALSE(std::regex_search(message, std::regex("%[1-9]"))) << message;
}

const RefusalText RefusalTexts[] = {
    {"UnknownOption", with({"--colour", "red"}), "unknown option '--colour'", "--colour"},
    {"MissingValue", with({"--seed"}), "--seed needs a value", "--seed"},
    {"ThresholdAboveRange", with({"--threshold", "35"}), "--threshold must be a whole number from 6 to 34, not '35'", "35"},
    {"NegativeK", with({"--participant", "hyperbolic:-1"}), "--participant: K must be a number of 0 or more, not '-1'",
     "-1"},
    {"TooManyNumbers", with({"--participant", "exp:0.1:0.2:0.3"}),
     "--participant: exp:K[:NOISE] takes 1 number and a NOISE, not 'exp:0.1:0.2:0.3'", "exp:0.1:0.2:0.3"},
    {"ShapeMissing", with({"--participant", "hyperboloid:0.1"}),
     "--participant: hyperboloid:K:S[:NOISE] takes 2 numbers and a NOISE, not 'hyperboloid:0.1'", "hyperboloid:K:S[:NOISE]"},
    {"UnknownLanguage", with({"--language", "fr"}), "unknown language 'fr'; the languages shipped are en, de, es, zh_CN",
     "en, de, es, zh_CN"},
    {"RunsWithStdin", with({"--runs", "3"}),
     "--runs above 1 needs a simulated participant (--participant hyperbolic:K, exp:K, ...)", "--participant hyperbolic:K"},
    {"NoSubject", {"--out", "d"}, "--subject is required", "--subject"},
};

INSTANTIATE_TEST_SUITE_P(
    EveryLanguage, SimOptionsRefusalIn,
    ::testing::Combine(::testing::Values("en", "de", "es", "zh_CN"), ::testing::ValuesIn(RefusalTexts)),
    [](const auto &info) { return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name; });

class SimUsageIn : public ::testing::TestWithParam<const char *>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

TEST_P(SimUsageIn, ThatLanguageKeepsWhatIsTypedAndListsTheLanguages)
{
    const std::string english = simUsageText();
    ASSERT_TRUE(i18n::setLanguage(GetParam()));
    const std::string usage = simUsageText();
    EXPECT_NE(usage, english);
    for (const char *kept : {"kpx2-sim --help | --version", "\"TRIAL <block> <days> <amount> <kind>\"",
                             "hyperboloid:K:S[:NOISE]  V = 100 / (1 + K*D)^S", "en, de, es, zh_CN"})
        EXPECT_NE(usage.find(kept), std::string::npos) << kept << " in\n" << usage;
    EXPECT_EQ(usage.find('%'), std::string::npos) << usage;
    EXPECT_EQ(usage.back(), '\n');
}

INSTANTIATE_TEST_SUITE_P(Translated, SimUsageIn, ::testing::Values("de", "es", "zh_CN"),
                         [](const auto &info) { return std::string(info.param); });

TEST(SimUsage, InEnglishListsTheLanguagesWhereItAlwaysDid)
{
    EXPECT_NE(simUsageText().find("  --language L     the participant's language: en, de, es, zh_CN (default en)\n"
                                  "Exit status: 0 done"),
              std::string::npos)
        << simUsageText();
}

} // namespace
} // namespace kpx
