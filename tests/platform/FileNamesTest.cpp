#include "platform/FileNames.h"
#include "platform/Files.h"

#include "i18n/Tr.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <ostream>
#include <regex>
#include <string>
#include <tuple>
#include <variant>

namespace kpx {
namespace {

// What is accepted makes a file of exactly that name, which the folder lists back unchanged: the
// UTF-8 to UTF-16 edge loses nothing, outside the basic plane included.
TEST(FileNameRule, AcceptsOrdinaryNamesAndNamesThemExactly)
{
    for (const std::string name : {"S01", "Smith, J (pilot) #3", "Zo\xC3\xAB", "\xC3\xBC \xE4\xB8\xAD",
                                   "P\xF0\x9F\x98\x80", "CONSOLE", "COM10", "S01.v2", "CONIN", "CONOUT$1"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(fileNameRefusal(name), std::nullopt);
        test::ScratchDirectory scratch{"kpx-names"};
        auto created = systemFiles().createNew((scratch.path() / "").string() + name + ".KPX");
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<OpenFile>>(created)) << std::get<FileError>(created).reason;
        EXPECT_FALSE(std::get<std::unique_ptr<OpenFile>>(created)->close());
        EXPECT_EQ(systemFiles().list(scratch.path().string()), std::vector<std::string>{name + ".KPX"});
    }
}

// Reserved characters, a trailing dot or space, and device names, which with any extension still
// name the device ("NUL.KPX" swallows what is written and reports success).
TEST(FileNameRule, RefusesOnWindowsWhatWindowsCannotNameAndNothingElsewhere)
{
    for (const std::string name : {"a<b", "a>b", "C:S01", "say \"hi\"", "a\\b", "a|b", "who?", "S*", "S01.", "S01 ",
                                   "NUL", "nul", "nul.txt", "NUL .txt", "CON", "Prn", "aux", "COM1", "com9",
                                   "COM\xC2\xB9", "LPT1", "LPT9.log", "CONIN$", "conout$", "CONOUT$.KPX",
                                   "Conin$ .trials.csv"}) {
        SCOPED_TRACE(name);
        const std::optional<std::string> refusal = fileNameRefusal(name);
        ASSERT_EQ(refusal.has_value(), test::OnWindows);
        if (refusal) {
            EXPECT_NE(refusal->find("subject ID"), std::string::npos) << *refusal;
        }
    }
}

// Each refusal in each shipped language: the English as it has always read, every other language its
// own words, with what was refused put in its place.
struct Refusal
{
    const char *name;
    std::string subject;
    std::string english;
    std::string shown; // what the text must name, in every language
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Refusal &c, std::ostream *out)
{
    *out << c.name;
}

const Refusal Refusals[] = {
    {"AReservedCharacter", "a<b", "the subject ID contains '<', which a Windows file name cannot hold", "<"},
    {"AQuestionMark", "who?", "the subject ID contains '?', which a Windows file name cannot hold", "?"},
    {"ATrailingDot", "S01.", "the subject ID ends in a dot, which Windows drops from a file name", ""},
    {"ATrailingSpace", "S01 ", "the subject ID ends in a space, which Windows drops from a file name", ""},
    {"ADeviceName", "NUL", "the subject ID NUL names a device on Windows, not a file", "NUL"},
    {"ADeviceNameWithAnExtension", "com9.trials", "the subject ID com9.trials names a device on Windows, not a file",
     "com9.trials"},
};

class FileNameRefusalInLanguage : public ::testing::TestWithParam<std::tuple<const char *, Refusal>>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

TEST_P(FileNameRefusalInLanguage, SaysWhyInThatLanguageWithWhatWasRefused)
{
    const auto &[language, refusal] = GetParam();
    if (!test::OnWindows)
        GTEST_SKIP() << "only Windows refuses these names";
    ASSERT_TRUE(i18n::setLanguage(language));
    const std::optional<std::string> text = fileNameRefusal(refusal.subject);
    ASSERT_TRUE(text.has_value());
    ASSERT_FALSE(text->empty());
    if (std::string(language) == i18n::DefaultLanguage)
        EXPECT_EQ(*text, refusal.english);
    else
        EXPECT_NE(*text, refusal.english);
    EXPECT_NE(text->find(refusal.shown), std::string::npos) << *text;
    EXPECT_FALSE(std::regex_search(*text, std::regex("%[1-9]"))) << *text;
}

INSTANTIATE_TEST_SUITE_P(
    EveryLanguage, FileNameRefusalInLanguage,
    ::testing::Combine(::testing::Values("en", "de", "es", "zh_CN"), ::testing::ValuesIn(Refusals)),
    [](const ::testing::TestParamInfo<std::tuple<const char *, Refusal>> &info) {
        return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
    });

} // namespace
} // namespace kpx
