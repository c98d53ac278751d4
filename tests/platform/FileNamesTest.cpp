#include "platform/FileNames.h"
#include "platform/Files.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
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

} // namespace
} // namespace kpx
