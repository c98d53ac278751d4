#include "sim/Simulation.h"

#include "TestFiles.h"
#include "i18n/Tr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <set>
#include <streambuf>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace kpx {
namespace {

namespace fs = std::filesystem;

class SimulationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        options.subject = "P7";
        options.outDir = dir.string();
    }

    // The data lines of the run's trial log (there is exactly one).
    std::vector<std::string> logLines() const
    {
        std::vector<std::string> lines;
        for (const auto &entry : fs::directory_iterator(dir)) {
            if (entry.path().string().ends_with(".trials.csv")) {
                EXPECT_TRUE(lines.empty()) << "more than one log";
                std::ifstream in(entry.path());
                std::string line;
                std::getline(in, line);
                while (std::getline(in, line))
                    lines.push_back(line);
            }
        }
        return lines;
    }
    std::size_t logRows() const { return logLines().size(); }

    int run(const std::string &input)
    {
        std::istringstream in(input);
        out.str({});
        err.str({});
        return runSimulation(options, 11, in, out, err);
    }

    test::ScratchDirectory scratch{"kpx-sim"};
    fs::path dir = scratch.path();
    SimOptions options;
    std::ostringstream out;
    std::ostringstream err;
};

// The fields of a CSV line without quoted fields.
std::vector<std::string> fields(const std::string &line)
{
    std::vector<std::string> result(1);
    for (char c : line) {
        if (c == ',')
            result.emplace_back();
        else if (c != '\r')
            result.back() += c;
    }
    return result;
}

SimulatedParticipant hyperbolic(double k, double noise)
{
    SimulatedParticipant participant;
    participant.k = k;
    participant.noise = noise;
    return participant;
}

std::string repeated(const std::string &line, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
}

TEST_F(SimulationTest, StdinParticipantAnswersEveryTrialAndGetsBothFiles)
{
    // Always delayed, with blanks around the answers; the run ends long before the input does.
    ASSERT_EQ(run(repeated("  D \r\n", 5000)), SimExit::Ok) << err.str();

    std::istringstream lines(out.str());
    std::string line;
    std::getline(lines, line);
    EXPECT_TRUE(line.rfind("TRIAL 1 1 ", 0) == 0) << line;
    std::string last;
    int trials = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("TRIAL ", 0) == 0)
            ++trials;
        last = line;
    }
    EXPECT_EQ(last, "DONE " + (dir / "P7.KPX").string() + " " + (dir / "P7.TC").string());
    std::ifstream kpx(dir / "P7.KPX", std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(kpx)), {});
    EXPECT_EQ(contents, "P7\r\n" + repeated(" 97.5 \r\n", 7));
    EXPECT_GT(trials, 7);
}

// Past the 260 characters Windows takes without long paths: the results and the whole log are written
// there, the log's copy with its longer name included.
TEST_F(SimulationTest, AFolderWhosePathPassesWindowsOldLimitGetsBothFilesAndTheLog)
{
    const fs::path deep = dir / std::string(100, 'a') / std::string(100, 'b') / std::string(100, 'c');
    fs::create_directories(deep);
    options.outDir = deep.string();
    ASSERT_GT(options.outDir.size(), 300u);

    ASSERT_EQ(run(repeated("D\n", 5000)), SimExit::Ok) << err.str();

    EXPECT_EQ(test::readFile(deep / "P7.KPX"), "P7\r\n" + repeated(" 97.5 \r\n", 7));
    EXPECT_TRUE(fs::is_regular_file(deep / "P7.TC"));
    // Listed by this program's own files layer: the C runtime's listing stops at the old limit.
    const std::vector<std::string> names = systemFiles().list(deep.string()).value_or(std::vector<std::string>{});
    EXPECT_EQ(names.size(), 3u) << "the two results files and the log, no copy left";
    EXPECT_EQ(std::count_if(names.begin(), names.end(),
                            [](const std::string &name) { return name.ends_with(".trials.csv"); }),
              1);
}

// Windows folds case: S01 would replace s01's pair, so it is refused before its run, naming s01's
// file. On Linux's own file systems the two IDs are two pairs of files.
TEST_F(SimulationTest, AnIdDifferingOnlyInCaseIsRefusedWhereTheFolderFoldsCaseWithStatusTwo)
{
    options.subject = "s01";
    ASSERT_EQ(run(repeated("D\n", 5000)), SimExit::Ok) << err.str();
    options.subject = "S01";
    const int status = run(repeated("I\n", 5000));

    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir)) {
        if (!entry.path().string().ends_with(".trials.csv"))
            names.insert(entry.path().filename().string());
    }
    if (!test::OnWindows) {
        EXPECT_EQ(status, SimExit::Ok) << err.str();
        EXPECT_EQ(names, (std::set<std::string>{"s01.KPX", "s01.TC", "S01.KPX", "S01.TC"}));
        return;
    }
    EXPECT_EQ(status, SimExit::BadInput);
    EXPECT_NE(err.str().find("s01.KPX"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "") << "no trial was run";
    EXPECT_EQ(names, (std::set<std::string>{"s01.KPX", "s01.TC"}));
    EXPECT_EQ(test::readFile(dir / "s01.KPX"), "s01\r\n" + repeated(" 97.5 \r\n", 7));
}

TEST_F(SimulationTest, TrialLinesNameBlockDelayAmountAndKind)
{
    run(repeated("D\n", 5000));
    std::istringstream lines(out.str());
    std::string word, kind;
    int block = 0, days = 0, amount = 0, lastBlock = 1;
    const int delays[] = {1, 7, 30, 90, 180, 365, 1825};
    while (lines >> word && word == "TRIAL") {
        lines >> block >> days >> amount >> kind;
        ASSERT_GE(block, lastBlock);
        ASSERT_EQ(days, delays[block - 1]);
        ASSERT_EQ(amount % 5, 0);
        ASSERT_TRUE(kind == "ordinary" || kind == "distractor") << kind;
        lastBlock = block;
    }
    EXPECT_EQ(lastBlock, 7);
}

TEST_F(SimulationTest, UnreadableAnswerIsQuotedAndEndsWithStatusTwo)
{
    EXPECT_EQ(run("D\nmaybe\n"), SimExit::BadInput);
    EXPECT_NE(err.str().find("'maybe'"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(dir / "P7.KPX"));
    EXPECT_EQ(logRows(), 1u) << "the one answered trial is in the log";
}

TEST_F(SimulationTest, InputEndingEarlyWritesNoResultsAndEndsWithStatusThree)
{
    EXPECT_EQ(run("I\nD\n"), SimExit::EndOfInput);
    EXPECT_FALSE(fs::exists(dir / "P7.KPX"));
    EXPECT_FALSE(fs::exists(dir / "P7.TC"));
    EXPECT_EQ(logRows(), 2u);
}

TEST_F(SimulationTest, ResultsWriteFailureNamesThePathAndEndsWithStatusOne)
{
    fs::create_directories(dir / "P7.KPX" / "in-the-way");
    EXPECT_EQ(run(repeated("I\n", 5000)), SimExit::WriteFailed);
    EXPECT_NE(err.str().find((dir / "P7.KPX").string() + ": "), std::string::npos) << err.str();
}

TEST_F(SimulationTest, NoLogNoRun)
{
    options.outDir = (dir / "missing").string();
    EXPECT_EQ(run(repeated("I\n", 5000)), SimExit::WriteFailed);
    EXPECT_NE(err.str().find(".trials.csv: " + test::missingFolderReason()), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "") << "not a single trial is put";
}

TEST_F(SimulationTest, LogHasOneRowPerResponseAndEachBlockEndsOnItsIndifferencePoint)
{
    options.participant = hyperbolic(0.02, 0.2);
    ASSERT_EQ(run(""), SimExit::Ok) << err.str();

    const auto rows = logLines();
    std::ifstream tc(dir / "P7.TC");
    std::ifstream kpx(dir / "P7.KPX");
    std::string line;
    std::getline(tc, line);
    std::getline(kpx, line);
    std::size_t row = 0;
    for (int block = 1; block <= 7; ++block) {
        int count = 0;
        double ip = 0;
        tc >> count;
        kpx >> ip;
        row += static_cast<std::size_t>(count);
        ASSERT_LE(row, rows.size());
        const std::vector<std::string> last = fields(rows[row - 1]);
        ASSERT_EQ(last.size(), 24u);
        EXPECT_EQ(last[2], std::to_string(block));
        EXPECT_EQ(last[15], "1") << "block_ended";
        EXPECT_EQ(std::stod(last[16]), ip) << "indifference_point";
        EXPECT_EQ(last[0], "P7");
    }
    EXPECT_EQ(row, rows.size());
}

// Answers D to every trial, and does something to the files after the first few answers.
class AnswersThen : public std::streambuf
{
public:
    AnswersThen(int answers, std::function<void()> then) : m_left(answers), m_then(std::move(then)) {}

private:
    int_type underflow() override
    {
        if (m_left-- == 0)
            m_then();
        setg(m_answer, m_answer, m_answer + 2);
        return 'D';
    }
    int m_left;
    std::function<void()> m_then;
    char m_answer[2] = {'D', '\n'};
};

TEST_F(SimulationTest, LogFolderReplacedMidRunIsSaidAndTheWholeLogWrittenAgainWithStatusFour)
{
    AnswersThen answers(10, [&] {
        test::loseFolder(dir);
        fs::create_directories(dir);
    });
    std::istream in(&answers);

    EXPECT_EQ(runSimulation(options, 11, in, out, err), SimExit::LogWrittenAgain);
    EXPECT_NE(err.str().find("(the file was removed or replaced during the run); every answer so far was written again to "),
              std::string::npos) << err.str();
    const std::string trials = out.str();
    EXPECT_EQ(logRows(), static_cast<std::size_t>(std::count(trials.begin(), trials.end(), '\n') - 1)) << "DONE";
}

TEST_F(SimulationTest, LogFolderRemovedMidRunStopsTheRunAtThatAnswerWithStatusOne)
{
    AnswersThen answers(10, [&] { test::loseFolder(dir); });
    std::istream in(&answers);

    EXPECT_EQ(runSimulation(options, 11, in, out, err), SimExit::WriteFailed);
    EXPECT_NE(err.str().find("cannot be written again"), std::string::npos) << err.str();
    const std::string trials = out.str();
    EXPECT_EQ(std::count(trials.begin(), trials.end(), '\n'), 11);
}

// A participant of each model, with the value of $100 after D days worked out here on its own.
struct ModelCase
{
    const char *name;
    const char *argument;
    double (*value)(double days);
};

void PrintTo(const ModelCase &c, std::ostream *os)
{
    *os << c.name;
}

class SimulatedModel : public SimulationTest, public ::testing::WithParamInterface<ModelCase>
{
};

TEST_P(SimulatedModel, IsRecoveredWithinHalfAStep)
{
    const auto parsed = parseSimArguments({"--subject", "P7", "--out", dir.string(), "--participant", GetParam().argument});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << std::get<std::string>(parsed);
    options = std::get<SimOptions>(parsed);
    ASSERT_EQ(run(""), SimExit::Ok) << err.str();

    std::istringstream lines(out.str());
    std::string header;
    std::getline(lines, header);
    EXPECT_EQ(header, "days V ip trials");
    for (int k = 0; k < 7; ++k) {
        int days = 0, trials = 0;
        double value = 0, ip = 0;
        ASSERT_TRUE(lines >> days >> value >> ip >> trials);
        EXPECT_NEAR(value, GetParam().value(days), 0.001);
        EXPECT_LE(std::fabs(ip - value), 2.5) << "days " << days;
        EXPECT_GT(trials, 0);
    }
    EXPECT_TRUE(fs::exists(dir / "P7.KPX"));
    EXPECT_NE(out.str().find("mean absolute error "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Models, SimulatedModel,
    ::testing::Values(ModelCase{"Hyperbolic", "hyperbolic:0.01", [](double d) { return 100 / (1 + 0.01 * d); }},
                      ModelCase{"Exponential", "exp:0.004:0", [](double d) { return 100 * std::exp(-0.004 * d); }},
                      ModelCase{"Hyperboloid", "hyperboloid:0.05:0.4", [](double d) { return 100 / std::pow(1 + 0.05 * d, 0.4); }},
                      ModelCase{"Rachlin", "rachlin:0.2:0.5", [](double d) { return 100 / (1 + 0.2 * std::sqrt(d)); }},
                      ModelCase{"BetaDelta", "betadelta:0.8:0.002", [](double d) { return 80 * std::exp(-0.002 * d); }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SimulationTest, SeveralRunsWriteOnlyTheFirstAndSummariseAll)
{
    options.participant = hyperbolic(0.05, 0.0);
    options.runs = 5;
    ASSERT_EQ(run(""), SimExit::Ok);
    const std::string text = out.str();
    EXPECT_NE(text.find("run 5 seed 15"), std::string::npos);
    const auto summary = text.find("mean absolute error ");
    ASSERT_NE(summary, std::string::npos);
    EXPECT_LE(std::stod(text.substr(summary + 20)), 2.5);
    EXPECT_NE(text.find("trials per block mean "), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
    EXPECT_EQ(logRows(), logLines().size());
}

TEST_F(SimulationTest, SameSeedSameRun)
{
    options.participant = hyperbolic(0.02, 0.3);
    run("");
    const std::string first = out.str();
    run("");
    EXPECT_EQ(out.str(), first);
}

// The same seed and participant in every language: the results files hold numbers only, and the
// trial log differs only in its language column.
class SimulationInLanguage : public SimulationTest, public ::testing::WithParamInterface<const char *>
{
protected:
    struct Files
    {
        std::string kpx, tc;
        std::vector<std::string> log;
    };

    Files runIn(const std::string &language)
    {
        options.language = language;
        options.participant = hyperbolic(0.02, 0.3);
        EXPECT_EQ(run(""), SimExit::Ok) << err.str();
        Files files{test::readFile(dir / "P7.KPX"), test::readFile(dir / "P7.TC"), logLines()};
        fs::remove_all(dir);
        fs::create_directories(dir);
        return files;
    }

    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

TEST_P(SimulationInLanguage, WritesTheSameFilesAsEnglish)
{
    const Files english = runIn("en");
    const Files other = runIn(GetParam());
    EXPECT_EQ(other.kpx, english.kpx);
    EXPECT_EQ(other.tc, english.tc);
    ASSERT_EQ(other.log.size(), english.log.size());
    for (std::size_t i = 0; i < english.log.size(); ++i) {
        std::vector<std::string> a = fields(english.log[i]), b = fields(other.log[i]);
        ASSERT_EQ(a.size(), 24u);
        EXPECT_EQ(a.back(), "en");
        EXPECT_EQ(b.back(), GetParam());
        // The delay's words stay English; the times and the start differ between any two runs.
        for (std::size_t column : {0, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16})
            EXPECT_EQ(b[column], a[column]) << "row " << i << ", column " << column;
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, SimulationInLanguage, ::testing::Values("de", "es", "zh_CN"),
                         [](const ::testing::TestParamInfo<const char *> &info) { return std::string(info.param); });

TEST(SimulatorProgram, RefusesAnUnknownLanguageWithStatusTwoAndTheShippedList)
{
    const test::CommandResult result = test::runForErrors(KPX2_SIM_PATH, "--subject S --out . --language xx");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.errorOutput.find("en, de, es, zh_CN"), std::string::npos) << result.errorOutput;
}

TEST(SimulatorProgram, RejectsABadOptionWithStatusTwoAndOneLine)
{
    const test::CommandResult result = test::runForErrors(KPX2_SIM_PATH, "--subject S --out . --threshold 40");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(std::count(result.errorOutput.begin(), result.errorOutput.end(), '\n'), 1) << result.errorOutput;
    EXPECT_NE(result.errorOutput.find("--threshold"), std::string::npos);
}

// What the simulator says of a participant's input, in each shipped language: English as it has
// always read, the others in their own words, with what was read filled in.
struct InputMessage
{
    const char *name;
    std::string input;
    int status;
    std::string english;
    std::string shown;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const InputMessage &c, std::ostream *out)
{
    *out << c.name;
}

const InputMessage InputMessages[] = {
    {"AnUnreadableAnswer", "D\nmaybe\n", SimExit::BadInput, "expected I or D, got 'maybe'\n", "maybe"},
    {"InputEndingEarly", "I\nD\n", SimExit::EndOfInput, "input ended before the run was over; no results written\n", "\n"},
};

class SimulationMessageIn : public SimulationTest,
                            public ::testing::WithParamInterface<std::tuple<const char *, InputMessage>>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

TEST_P(SimulationMessageIn, ThatLanguageWithWhatWasRead)
{
    const auto &[language, message] = GetParam();
    options.language = language;
    EXPECT_EQ(run(message.input), message.status);
    const std::string said = err.str();
    if (std::string(language) == i18n::DefaultLanguage)
        EXPECT_EQ(said, message.english);
    else
        EXPECT_NE(said, message.english);
    EXPECT_NE(said.find(message.shown), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

INSTANTIATE_TEST_SUITE_P(
    EveryLanguage, SimulationMessageIn,
    ::testing::Combine(::testing::Values("en", "de", "es", "zh_CN"), ::testing::ValuesIn(InputMessages)),
    [](const auto &info) { return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name; });

// The program says even a bad option that comes before --language in that language.
class SimulatorProgramIn : public ::testing::TestWithParam<const char *>
{
};

TEST_P(SimulatorProgramIn, RefusesABadOptionInTheLanguageItsCommandLineNames)
{
    const std::string english = "kpx2-sim: --threshold must be a whole number from 6 to 34, not '40' "
                                "(kpx2-sim --help shows the usage)\n";
    const test::CommandResult result =
        test::runForErrors(KPX2_SIM_PATH, std::string("--subject S --out . --threshold 40 --language ") + GetParam());
    EXPECT_EQ(result.status, SimExit::BadInput);
    if (std::string(GetParam()) == i18n::DefaultLanguage) {
        EXPECT_EQ(result.errorOutput, english);
    } else {
        EXPECT_NE(result.errorOutput, english);
        EXPECT_TRUE(result.errorOutput.starts_with("kpx2-sim: --threshold ")) << result.errorOutput;
        EXPECT_NE(result.errorOutput.find("40"), std::string::npos) << result.errorOutput;
        EXPECT_NE(result.errorOutput.find("kpx2-sim --help"), std::string::npos) << result.errorOutput;
    }
    EXPECT_EQ(std::count(result.errorOutput.begin(), result.errorOutput.end(), '\n'), 1) << result.errorOutput;
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, SimulatorProgramIn, ::testing::Values("en", "de", "es", "zh_CN"),
                         [](const auto &info) { return std::string(info.param); });

} // namespace
} // namespace kpx
