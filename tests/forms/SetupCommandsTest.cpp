#include "forms/SetupCommands.h"

#include "engine/RunSettings.h"
#include "i18n/Tr.h"

#include "CaseFoldingFiles.h"
#include "ScriptedDialogsOf.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace kpx;
using namespace kpx::forms;

namespace {

struct EntryCase
{
    const char *name;
    std::string entry;
    int value; // for a threshold, 0: asked again
};

std::string caseName(const testing::TestParamInfo<EntryCase> &info)
{
    return info.param.name;
}

class CutoffEntry : public testing::TestWithParam<EntryCase>
{
};

TEST_P(CutoffEntry, GivesMaxTrials)
{
    EXPECT_EQ(maxTrialsFromEntry(GetParam().entry), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, CutoffEntry,
    testing::Values(EntryCase{"HalfRoundsToEven2", "2.5", 2}, EntryCase{"HalfRoundsToEven4", "3.5", 4},
                    EntryCase{"EmptyAsFromCancel", "", 1000}, EntryCase{"SpacesOnly", "   ", 1000},
                    EntryCase{"SpacesAroundANumber", " 12 ", 12},
                    EntryCase{"NoBreakSpacesAroundANumber", "\xC2\xA0" "12\xE3\x80\x80", 12},
                    EntryCase{"Letters", "abc", 1000}, EntryCase{"DigitsThenLetters", "12abc", 1000},
                    EntryCase{"Exponent", "2e2", 200}, EntryCase{"MinusZero", "-0", 1000},
                    EntryCase{"LeadingZeros", "007", 7}, EntryCase{"PlusSign", "+8", 8},
                    EntryCase{"DecimalCommaIsNotANumber", "20,5", 1000}, EntryCase{"PointFirst", ".9e1", 9},
                    EntryCase{"PointLast", "9.", 9}, EntryCase{"BarePoint", ".", 1000},
                    EntryCase{"ExponentWithoutDigits", "9e", 1000}, EntryCase{"SignOnly", "-", 1000},
                    EntryCase{"NothingRoundsToNothing", "0.4", 1000}, EntryCase{"RoundsTo1", "0.6", 1},
                    EntryCase{"Largest16Bit", "32767", 32767}, EntryCase{"HalfRoundsBeyond16Bits", "32767.5", 1000},
                    EntryCase{"Beyond16Bits", "32768", 1000}, EntryCase{"Beyond32Bits", "99999999999", 1000},
                    EntryCase{"BeyondADouble", "1e400", 1000}, EntryCase{"BelowADouble", "1e-400", 1000},
                    EntryCase{"FourHundredDigits", "1" + std::string(400, '0'), 1000},
                    EntryCase{"ExponentBeyond64Bits", "1e99999999999999999999", 1000},
                    EntryCase{"VeryLongText", std::string(100000, 'x'), 1000},
                    EntryCase{"InfinitySpeltOut", "inf", 1000}, EntryCase{"NotANumberSpeltOut", "nan", 1000},
                    EntryCase{"GroupSeparator", "1,000", 1000}, EntryCase{"Hexadecimal", "0x10", 1000},
                    EntryCase{"DigitsOfAnotherScript", "\xD9\xA3", 1000}),
    caseName);

class ThresholdEntry : public testing::TestWithParam<EntryCase>
{
};

TEST_P(ThresholdEntry, IsAcceptedOrAskedAgain)
{
    EXPECT_EQ(distractorThresholdFromEntry(GetParam().entry).value_or(0), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ThresholdEntry,
    testing::Values(EntryCase{"SevenNotNamedInThePrompt", "7", 7}, EntryCase{"Highest", "34", 34},
                    EntryCase{"HalfRoundsToEven6", "5.5", 6}, EntryCase{"HalfRoundsToEven34", "34.5", 34},
                    EntryCase{"RoundsTo35", "34.51", 0}, EntryCase{"Empty", "", 0}, EntryCase{"SpacesOnly", "  ", 0},
                    EntryCase{"Letters", "twenty", 0}, EntryCase{"Thousand", "1e3", 0}, EntryCase{"Ten", "1e1", 10},
                    EntryCase{"FractionWithExponent", "1.5e+1", 15}, EntryCase{"SignedBareFraction", "+.6e1", 6},
                    EntryCase{"MinusZero", "-0", 0}, EntryCase{"LeadingZeros", "007", 7},
                    EntryCase{"DecimalComma", "20,5", 0}, EntryCase{"WouldWrapTo6In16Bits", "65542", 0},
                    EntryCase{"NegativeWouldWrapTo6In16Bits", "-65530", 0},
                    EntryCase{"BeyondADouble", "-1e400", 0}, EntryCase{"VeryLongDigits", std::string(5000, '2'), 0}),
    caseName);

TEST(ReadNumber, KeepsTheSignOfANumberBeyondADouble)
{
    EXPECT_EQ(readNumber("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(readNumber("-1" + std::string(400, '0')), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(readNumber("0.000" "1e-400"), 0.0);
}

// The scripted dialogs, asked as a window would ask them.
struct ScriptedAsker
{
    explicit ScriptedAsker(std::vector<std::optional<std::string>> answers = {}) { dialogs.texts = std::move(answers); }

    AskText ask()
    {
        return [this](const TextQuestion &question) {
            return dialogs.askText(nullptr, question.title, question.prompt, question.defaultText);
        };
    }

    test::ScriptedDialogsOf<void> dialogs;
    const std::vector<test::ScriptedDialogsOf<void>::TextCall> &asked = dialogs.textCalls;
};

TEST(SetDistractorThreshold, AsksAgainWithTheSameDialogUntilTheEntryIsAThreshold)
{
    RunSettings settings;
    ScriptedAsker asker{{"5", "35", "abc", "6"}};

    EXPECT_EQ(SetDistractorThreshold(settings, asker.ask()), "DTT: 6");

    EXPECT_EQ(settings.DistractorThreshold, 6);
    ASSERT_EQ(asker.asked.size(), 4u);
    for (const auto &question : asker.asked) {
        EXPECT_EQ(question.title, "Set Distractor Threshold");
        EXPECT_EQ(question.defaultText, "20");
    }
}

TEST(SetDistractorThreshold, CancelAfterARefusedEntryKeepsTheThreshold)
{
    RunSettings settings;
    settings.DistractorThreshold = 12;
    ScriptedAsker asker{{"40"}};

    EXPECT_EQ(SetDistractorThreshold(settings, asker.ask()), std::nullopt);

    EXPECT_EQ(settings.DistractorThreshold, 12);
    EXPECT_EQ(asker.asked.size(), 2u);
}

TEST(SetMaxTrials, CancelGivesTheDefaultAfterTheSpace)
{
    RunSettings settings;
    settings.MaxTrials = 12;
    ScriptedAsker asker;

    EXPECT_EQ(SetMaxTrials(settings, asker.ask()), "Cutoff: 1000");
    EXPECT_EQ(settings.MaxTrials, 1000);
    EXPECT_NE(cutoffMenuTextAtStart(), "Cutoff: 1000");
}

TEST(EnterSubjectId, RefusedIdsAreToldAndAskedAgainUntilOneNamesTheFiles)
{
    RunSettings settings;
    ScriptedAsker asker{{"S\n01", "lab/S01", "R&D 1"}};
    std::vector<std::string> told;

    const std::string menuText =
        enterSubjectId(settings, asker.ask(), [&](const std::string &message) { told.push_back(message); });

    EXPECT_EQ(settings.SubjectId, "R&D 1");
    EXPECT_EQ(menuText, "R&&D 1");
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[0].find("line break"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find("'/'"), std::string::npos) << told[1];
    EXPECT_EQ(asker.asked.size(), 3u);
    EXPECT_EQ(asker.asked[0].title, "KPX2");
}

// Where the folder does not tell S01 from s01, S01's results would replace s01's: asked again, the
// other file named. Exactly s01 again is a rerun and taken.
TEST(EnterSubjectId, AnIdTheFolderTakesForAnothersIsAskedAgainNamingTheOtherFile)
{
    kpx::test::ScratchDirectory scratch{"kpx-setup"};
    std::ofstream(scratch.path() / "s01.TC") << "s01's";
    kpx::test::CaseFoldingFiles folding;
    RunSettings settings;
    settings.OutputDirectory = scratch.path().string();
    ScriptedAsker asker{{"S01", "s01"}};
    std::vector<std::string> told;

    enterSubjectId(settings, asker.ask(), [&](const std::string &message) { told.push_back(message); }, folding);

    EXPECT_EQ(settings.SubjectId, "s01");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("s01.TC"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("enter it again"), std::string::npos) << told[0];
}

TEST(EnterSubjectId, CancelGivesTheEmptyId)
{
    RunSettings settings;
    settings.SubjectId = "S01";
    ScriptedAsker asker;

    EXPECT_EQ(enterSubjectId(settings, asker.ask(), [](const std::string &) { FAIL(); }), "");
    EXPECT_EQ(settings.SubjectId, "");
}

} // namespace

namespace {

struct MenuTextsCase
{
    const char *name;
    const char *language;
    bool subjectIdEntered;
    bool cutoffEntered;
    SetupMenuTexts texts;
};

class SetupMenu : public testing::TestWithParam<MenuTextsCase>
{
protected:
    void TearDown() override { kpx::i18n::setLanguage(kpx::i18n::DefaultLanguage); }
};

// Shown again in another language, the commands keep what has been entered: the ID as typed, the
// cutoff and threshold as set; what has not been entered shows its caption in that language.
TEST_P(SetupMenu, TextsShowTheSettingsInTheActiveLanguage)
{
    const MenuTextsCase &c = GetParam();
    ASSERT_TRUE(kpx::i18n::setLanguage(c.language));
    RunSettings settings;
    settings.SubjectId = "R&D 7";
    settings.MaxTrials = 250;
    settings.DistractorThreshold = 6;
    const SetupMenuTexts texts = setupMenuTexts(settings, c.subjectIdEntered, c.cutoffEntered);
    EXPECT_EQ(texts.subjectId, c.texts.subjectId);
    EXPECT_EQ(texts.cutoff, c.texts.cutoff);
    EXPECT_EQ(texts.threshold, c.texts.threshold);
    EXPECT_EQ(texts.start, c.texts.start);
    EXPECT_EQ(texts.language, c.texts.language);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, SetupMenu,
    testing::Values(
        MenuTextsCase{"EnglishBeforeAnyEntry", "en", false, false,
                      {"Subject ID", "Cutoff:1000", "DTT: 6", "Start", "Language"}},
        MenuTextsCase{"EnglishAfterBothEntries", "en", true, true, {"R&&D 7", "Cutoff: 250", "DTT: 6", "Start", "Language"}},
        MenuTextsCase{"GermanBeforeAnyEntry", "de", false, false, {"VP-ID", "Max.:1000", "DTT: 6", "Start", "Sprache"}},
        MenuTextsCase{"GermanAfterTheIdOnly", "de", true, false, {"R&&D 7", "Max.:1000", "DTT: 6", "Start", "Sprache"}},
        MenuTextsCase{"SpanishAfterTheCutoffOnly", "es", false, true,
                      {"ID sujeto", "Corte: 250", "UD: 6", "Iniciar", "Idioma"}},
        MenuTextsCase{"ChineseBeforeAnyEntry", "zh_CN", false, false,
                      {"被试编号", "上限:1000", "DTT: 6", "开始", "语言"}}),
    [](const testing::TestParamInfo<MenuTextsCase> &info) { return std::string(info.param.name); });

} // namespace
