#include "platform/FileNames.h"
#include "platform/Files.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <variant>

namespace kpx {
namespace {

using test::OnWindows;

struct NameCase
{
    const char *label;
    std::string text;
    bool refusedOnWindows;
};

void PrintTo(const NameCase &c, std::ostream *os)
{
    *os << c.label;
}

class FileNameRule : public ::testing::TestWithParam<NameCase>
{
protected:
    test::ScratchDirectory scratch{"kpx-names"};
};

TEST_P(FileNameRule, RefusesOnlyWhatThisSystemCannotNameAndNamesTheRestExactly)
{
    const NameCase &c = GetParam();
    const std::optional<std::string> refusal = fileNameRefusal(c.text);
    ASSERT_EQ(refusal.has_value(), OnWindows && c.refusedOnWindows) << refusal.value_or("accepted");
    if (refusal) {
        EXPECT_NE(refusal->find("subject ID"), std::string::npos) << *refusal;
        return;
    }
    // What is accepted makes a file of exactly that name, which the folder lists back unchanged.
    if (c.text.find('/') != std::string::npos)
        return;
    const std::string name = c.text + ".KPX";
    auto created = systemFiles().createNew((scratch.path() / "").string() + name);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<OpenFile>>(created)) << std::get<FileError>(created).reason;
    EXPECT_FALSE(std::get<std::unique_ptr<OpenFile>>(created)->writeAt(0, "x"));
    EXPECT_FALSE(std::get<std::unique_ptr<OpenFile>>(created)->close());
    const auto names = systemFiles().list(scratch.path().string());
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, std::vector<std::string>{name});
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileNameRule,
    ::testing::Values(NameCase{"Plain", "S01", false}, NameCase{"SpacesAndPunctuation", "Smith, J (pilot) #3", false},
                      NameCase{"Accents", "Zo\xC3\xAB", false}, NameCase{"WideCharacters", "\xC3\xBC \xE4\xB8\xAD", false},
                      NameCase{"OutsideTheBasicPlane", "P\xF0\x9F\x98\x80", false},
                      NameCase{"DeviceWithinAName", "CONSOLE", false}, NameCase{"DeviceNumberTen", "COM10", false},
                      NameCase{"InnerDot", "S01.v2", false}, NameCase{"LessThan", "a<b", true},
                      NameCase{"GreaterThan", "a>b", true}, NameCase{"Colon", "C:S01", true},
                      NameCase{"Quote", "say \"hi\"", true}, NameCase{"Backslash", "a\\b", true},
                      NameCase{"Pipe", "a|b", true}, NameCase{"Question", "who?", true},
                      NameCase{"Star", "S*", true}, NameCase{"TrailingDot", "S01.", true},
                      NameCase{"TrailingSpace", "S01 ", true}, NameCase{"Nul", "NUL", true},
                      NameCase{"NulLowerCase", "nul", true}, NameCase{"NulWithExtension", "nul.txt", true},
                      NameCase{"NulWithSpaceBeforeExtension", "NUL .txt", true}, NameCase{"Con", "CON", true},
                      NameCase{"Prn", "Prn", true}, NameCase{"Aux", "aux", true}, NameCase{"Com1", "COM1", true},
                      NameCase{"Com9", "com9", true}, NameCase{"ComSuperscriptOne", "COM\xC2\xB9", true},
                      NameCase{"Lpt1", "LPT1", true}, NameCase{"Lpt9WithExtension", "LPT9.log", true}),
    [](const ::testing::TestParamInfo<NameCase> &info) { return std::string(info.param.label); });

} // namespace
} // namespace kpx
