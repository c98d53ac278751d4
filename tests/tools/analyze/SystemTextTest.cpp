#include "analyze/SystemText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EscapeCase
{
    const char *name;
    std::string bytes;
    std::string written;
};

void PrintTo(const EscapeCase &c, std::ostream *os)
{
    *os << c.name;
}

class EscapedText : public ::testing::TestWithParam<EscapeCase>
{
};

TEST_P(EscapedText, KeepsPrintableUtf8AndWritesEveryOtherByteAsHex)
{
    EXPECT_EQ(kpx::escapedText(GetParam().bytes), GetParam().written);
    EXPECT_TRUE(kpx::isValidUtf8(kpx::escapedText(GetParam().bytes)));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EscapedText,
    ::testing::Values(EscapeCase{"Plain", "Smith, \"J\" a\\b", "Smith, \"J\" a\\b"},
                      EscapeCase{"Unicode", "M\xC3\xBCller \xF0\x9F\x98\x80 \xEF\xBB\xBF", "M\xC3\xBCller \xF0\x9F\x98\x80 \xEF\xBB\xBF"},
                      EscapeCase{"Nul", std::string("S\0" "1", 3), "S\\x001"},
                      EscapeCase{"TerminalEscape", "\x1B[31mS1", "\\x1B[31mS1"},
                      EscapeCase{"TabAndLineBreaks", "a\tb\rc\nd", "a\\x09b\\x0Dc\\x0Ad"},
                      EscapeCase{"Delete", "a\x7F", "a\\x7F"},
                      EscapeCase{"C1Control", "a\xC2\x85z", "a\\xC2\\x85z"},
                      EscapeCase{"Latin1Byte", "Zo\xEB.KPX", "Zo\\xEB.KPX"},
                      EscapeCase{"CutSequence", "a\xE2\x82", "a\\xE2\\x82"},
                      EscapeCase{"Overlong", "\xC0\xAF", "\\xC0\\xAF"},
                      EscapeCase{"Surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
                      EscapeCase{"BeyondUnicode", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SystemBytes, SurviveTheWayThroughQtTextWhateverTheyHold)
{
    for (const std::string &bytes : {std::string("/tmp/S\xFF.KPX"), std::string("a\xC3\xBC\xE2\x82\xF0\x9F\x98\x80\x80"),
                                    std::string("\xED\xB2\x80"), std::string("plain")}) {
        const QString text = kpx::fromSystemBytes(bytes);
        EXPECT_EQ(kpx::toSystemBytes(text), bytes) << kpx::escapedText(bytes);
    }
    EXPECT_EQ(kpx::fromSystemBytes("M\xC3\xBCller"), QStringLiteral("M\u00FCller")) << "UTF-8 reads as itself";
}

} // namespace
