#include "platform/Win32Paths.h"
#include "platform/WideText.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kpx {
namespace {

namespace fs = std::filesystem;

// A folder path of three parts, 300 characters after the drive: past the 260 that Windows takes
// without the prefix. Its last part has a name beyond the basic plane and a non-ASCII one.
const std::string Deep = std::string(100, 'a') + "\\" + std::string(96, 'b') + " Zo\xC3\xAB\\" + std::string(98, 'c')
                         + "\xF0\x9F\x98\x80";

struct PathCase
{
    const char *name;
    std::string given;
    std::string expected; // UTF-8 of the wide path
};

class LongPaths : public ::testing::TestWithParam<PathCase>
{
};

TEST_P(LongPaths, GetThePrefixAndTheSystemsOwnCleanUp)
{
    EXPECT_EQ(win32::narrow(win32::systemPath(GetParam().given)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Win32, LongPaths,
    ::testing::Values(
        PathCase{"DrivePathIsPrefixed", "C:\\" + Deep + "\\S01.KPX", "\\\\?\\C:\\" + Deep + "\\S01.KPX"},
        PathCase{"ForwardSlashesBecomeBackslashes", "C:/" + Deep + "/S01.KPX", "\\\\?\\C:\\" + Deep + "\\S01.KPX"},
        PathCase{"DotsAreResolved", "C:\\" + Deep + "\\.\\x\\..\\S01.KPX", "\\\\?\\C:\\" + Deep + "\\S01.KPX"},
        PathCase{"DotDotNeverClimbsAboveTheDrive", "C:\\..\\..\\" + Deep, "\\\\?\\C:\\" + Deep},
        PathCase{"DoubledSeparatorsAreOne", "C:\\" + Deep + "\\\\S01.KPX", "\\\\?\\C:\\" + Deep + "\\S01.KPX"},
        PathCase{"TheLastPartLosesTrailingDotsAndSpaces", "C:\\" + Deep + "\\S01.KPX. .",
                 "\\\\?\\C:\\" + Deep + "\\S01.KPX"},
        PathCase{"AFolderLosesOneTrailingDot", "C:\\d.\\S01.KPX", "\\\\?\\C:\\d\\S01.KPX"},
        PathCase{"TheDriveRootStaysARoot", "C:\\", "\\\\?\\C:\\"},
        PathCase{"ShareIsPrefixedAsUnc", "\\\\server\\share\\" + Deep + "\\S01.TC",
                 "\\\\?\\UNC\\server\\share\\" + Deep + "\\S01.TC"},
        PathCase{"DotDotNeverClimbsAboveTheShare", "//server/share/../" + Deep, "\\\\?\\UNC\\server\\share\\" + Deep},
        PathCase{"APrefixedPathIsLeftAlone", "\\\\?\\C:\\" + Deep + "\\..\\x", "\\\\?\\C:\\" + Deep + "\\..\\x"},
        PathCase{"ADeviceIsLeftAlone", "\\\\.\\COM1", "\\\\.\\COM1"}),
    [](const auto &info) { return std::string(info.param.name); });

// What the prefix adds comes off again: the path is the one given, character for character.
TEST(LongPathsWin32, RoundTripToTheGivenPathAndMakeRelativeOnesWhole)
{
    const std::string folder = "C:\\" + Deep;
    ASSERT_GT(win32::widen(folder).size(), 300u);
    for (const std::string name : {"S01.KPX", "S01_20260307-090501.trials.csv.partial-ABC123", "\xE4\xB8\xAD.TC"}) {
        const std::wstring wide = win32::systemPath(folder + "\\" + name);
        ASSERT_TRUE(wide.starts_with(L"\\\\?\\"));
        EXPECT_EQ(win32::narrow(wide.substr(4)), folder + "\\" + name);
    }

    std::wstring current(GetCurrentDirectoryW(0, nullptr), L'\0');
    current.resize(GetCurrentDirectoryW(DWORD(current.size()), current.data()));
    EXPECT_EQ(win32::systemPath("sub/S01.KPX"), win32::longPath(current + L"\\sub\\S01.KPX"));
}

struct RefusalCase
{
    const char *name;
    DWORD error;
    bool longPath;      // the path is past 260 characters
    bool folderThere;   // the folder it names exists
    bool saysTooLong;
};

class LongPathRefusals : public ::testing::TestWithParam<RefusalCase>
{
};

TEST_P(LongPathRefusals, SayThePathIsTooLongOnlyWhereItIs)
{
    test::ScratchDirectory scratch{"kpx-long"};
    fs::path folder = scratch.path();
    if (GetParam().longPath)
        folder /= std::string(150, 'd') + "\\" + std::string(150, 'e');
    if (GetParam().folderThere)
        fs::create_directories(folder);
    const std::string file = (folder / "S01_20260307-090501.trials.csv").string();

    const std::string text = win32::pathErrorText(GetParam().error, file);

    EXPECT_EQ(text.find("too long") != std::string::npos, GetParam().saysTooLong) << text;
    if (!GetParam().saysTooLong) {
        EXPECT_EQ(text.find("path is too long"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Win32, LongPathRefusals,
    ::testing::Values(RefusalCase{"NameTooLongOnALongPath", ERROR_FILENAME_EXCED_RANGE, true, true, true},
                      RefusalCase{"NameTooLongOnAShortPath", ERROR_FILENAME_EXCED_RANGE, false, true, true},
                      RefusalCase{"PathNotFoundThoughItsFolderIsThere", ERROR_PATH_NOT_FOUND, true, true, true},
                      RefusalCase{"PathNotFoundWhereItsFolderIsMissing", ERROR_PATH_NOT_FOUND, true, false, false},
                      RefusalCase{"PathNotFoundOnAShortPath", ERROR_PATH_NOT_FOUND, false, false, false},
                      RefusalCase{"DiskFullOnALongPath", ERROR_DISK_FULL, true, true, false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace kpx
