#include "results/ResultsReader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <optional>
#include <string>

namespace {

using kpx::DelayValues;
using kpx::FileProblem;
using kpx::IndifferenceFile;
using kpx::TrialCountFile;

const DelayValues ExamplePoints{97.5, 92.5, 62.5, 47.5, 32.5, 22.5, 2.5};

std::string withLineEnd(const std::string &lineEnd, const std::string &subject, const std::string &values)
{
    // values holds the seven value lines separated by '|'
    std::string text = subject + lineEnd;
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = values.find('|', start);
        text += values.substr(start, bar - start) + lineEnd;
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return text;
}

struct NumberCase
{
    std::string text;
    std::optional<double> expected;
};

void PrintTo(const NumberCase &c, std::ostream *os)
{
    *os << ::testing::PrintToString(c.text);
}

class NumberFormReading : public ::testing::TestWithParam<NumberCase>
{
};

TEST_P(NumberFormReading, AcceptsOnlyPlainDecimalsWithPointOrComma)
{
    EXPECT_EQ(kpx::parseNumberForm(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberFormReading,
    ::testing::Values(NumberCase{" 62.5 ", 62.5}, NumberCase{" 62,5 ", 62.5}, NumberCase{"62.5", 62.5},
                      NumberCase{" 100 ", 100.0}, NumberCase{"-2.5 ", -2.5}, NumberCase{" 0.025 ", 0.025},
                      NumberCase{"   ", std::nullopt}, NumberCase{"abc", std::nullopt}, NumberCase{" 1e2 ", std::nullopt},
                      NumberCase{" inf ", std::nullopt}, NumberCase{" 62. ", std::nullopt},
                      NumberCase{" .5 ", std::nullopt}, NumberCase{" 6 2.5 ", std::nullopt},
                      NumberCase{" 1.234,5 ", std::nullopt}, NumberCase{" 62.5x ", std::nullopt}));

TEST(NumberFormReading, ReadsNegativeZeroAsPlainZero)
{
    const std::optional<double> zero = kpx::parseNumberForm("-0");
    ASSERT_TRUE(zero);
    EXPECT_FALSE(std::signbit(*zero));
}

class IndifferenceFileLineEnds : public ::testing::TestWithParam<const char *>
{
};

TEST_P(IndifferenceFileLineEnds, ReadTheSameSubjectAndPointsWithEitherSeparator)
{
    for (const std::string values : {" 97.5 | 92.5 | 62.5 | 47.5 | 32.5 | 22.5 | 2.5 ",
                                     " 97,5 | 92,5 | 62,5 | 47,5 | 32,5 | 22,5 | 2,5 "}) {
        const auto parsed = kpx::parseIndifferenceFile(withLineEnd(GetParam(), "Smith, J. 01", values));
        const auto *file = std::get_if<IndifferenceFile>(&parsed);
        ASSERT_NE(file, nullptr) << std::get<FileProblem>(parsed).reason;
        EXPECT_EQ(file->subject, "Smith, J. 01");
        EXPECT_EQ(file->indifferencePoints, ExamplePoints);
    }
}

INSTANTIATE_TEST_SUITE_P(CrLfAndLf, IndifferenceFileLineEnds, ::testing::Values("\r\n", "\n"));

TEST(IndifferenceFile, AcceptsAMissingFinalLineEndAndAByteOrderMark)
{
    std::string text = "\xEF\xBB\xBF" + withLineEnd("\r\n", "S01", " 97.5 | 92.5 | 62.5 | 47.5 | 32.5 | 22.5 | 2.5 ");
    text.resize(text.size() - 2);
    const auto parsed = kpx::parseIndifferenceFile(text);
    ASSERT_TRUE(std::holds_alternative<IndifferenceFile>(parsed));
    EXPECT_EQ(std::get<IndifferenceFile>(parsed).subject, "S01");
    EXPECT_EQ(std::get<IndifferenceFile>(parsed).indifferencePoints, ExamplePoints);
}

struct BrokenFileCase
{
    const char *what;
    std::string contents;
    int line;
};

void PrintTo(const BrokenFileCase &c, std::ostream *os)
{
    *os << c.what;
}

class BrokenIndifferenceFile : public ::testing::TestWithParam<BrokenFileCase>
{
};

TEST_P(BrokenIndifferenceFile, IsRejectedNamingTheLineAtFault)
{
    const auto parsed = kpx::parseIndifferenceFile(GetParam().contents);
    const auto *problem = std::get_if<FileProblem>(&parsed);
    ASSERT_NE(problem, nullptr);
    EXPECT_EQ(problem->line, GetParam().line);
    EXPECT_FALSE(problem->reason.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenIndifferenceFile,
    ::testing::Values(
        BrokenFileCase{"empty", "", 1},
        BrokenFileCase{"seven lines", withLineEnd("\r\n", "S01", " 97.5 | 92.5 | 62.5 | 47.5 | 32.5 | 22.5 "), 8},
        BrokenFileCase{"nine lines", withLineEnd("\r\n", "S01", " 97.5 | 92.5 | 62.5 | 47.5 | 32.5 | 22.5 | 2.5 | 2.5 "), 9},
        BrokenFileCase{"trailing blank line", withLineEnd("\n", "S01", " 97.5 | 92.5 | 62.5 | 47.5 | 32.5 | 22.5 | 2.5 ") + "\n", 9},
        BrokenFileCase{"word", withLineEnd("\n", "S01", " 97.5 | 92.5 | abc | 47.5 | 32.5 | 22.5 | 2.5 "), 4},
        BrokenFileCase{"blank value", withLineEnd("\n", "S01", " 97.5 | 92.5 | 62.5 | 47.5 |  | 22.5 | 2.5 "), 6},
        BrokenFileCase{"above 100", withLineEnd("\n", "S01", " 97.5 | 92.5 | 62.5 | 47.5 | 32.5 | 22.5 | 100.5 "), 8},
        BrokenFileCase{"below 0", withLineEnd("\n", "S01", " -2.5 | 92.5 | 62.5 | 47.5 | 32.5 | 22.5 | 2.5 "), 2}),
    [](const auto &info) {
        std::string name = info.param.what;
        for (char &c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(TrialCountFile, RejectsAFractionalCountOnItsLine)
{
    const auto parsed = kpx::parseTrialCountFile(withLineEnd("\n", "S01", " 14 | 12 | 10,5 | 9 | 11 | 13 | 8 "));
    ASSERT_TRUE(std::holds_alternative<FileProblem>(parsed));
    EXPECT_EQ(std::get<FileProblem>(parsed).line, 4);
}

} // namespace

namespace {

// An inattentive participant can take far more than a hundred trials in a block.
TEST(TrialCountFile, AcceptsCountsUpToTheTasksSixteenBitCounter)
{
    const auto parsed = kpx::parseTrialCountFile(withLineEnd("\n", "S01", " 14 | 106 | 10 | 9 | 11 | 13 | 32767 "));
    ASSERT_TRUE(std::holds_alternative<kpx::TrialCountFile>(parsed));
    EXPECT_EQ(std::get<kpx::TrialCountFile>(parsed).trialCounts[1], 106);
    EXPECT_TRUE(std::holds_alternative<FileProblem>(
        kpx::parseTrialCountFile(withLineEnd("\n", "S01", " 14 | 12 | 10 | 9 | 11 | 13 | 32768 "))));
}

TEST(QuotedExcerpt, LetsOnlyPrintableAsciiAndAtMost32BytesThrough)
{
    EXPECT_EQ(kpx::quotedExcerpt("S01"), "\"S01\"");
    EXPECT_EQ(kpx::quotedExcerpt("a\x1b[2J\nb"), "\"a?[2J?b\"");
    // A multi-byte character could be cut at the 32nd byte: it is never shown as such.
    EXPECT_EQ(kpx::quotedExcerpt("\xC3\xA9"), "\"??\"");
    EXPECT_EQ(kpx::quotedExcerpt(std::string(40, 'x')), "\"" + std::string(32, 'x') + "...\"");
}

} // namespace
