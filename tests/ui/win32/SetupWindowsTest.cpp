#include "LogUnfinishedCases.h"
#include "Win32Rig.h"

#include "i18n/Tr.h"
#include "win32/DocumentsFolder.h"
#include "win32/Instruct.h"
#include "win32/StartForm.h"
#include "win32/Win32Dialogs.h"
#include "win32/Win32RunHost.h"

#include <shlobj.h>

#include <filesystem>

using namespace kpx;
using namespace kpx::test;
using win32::StartForm;

namespace {

void choose(StartForm &form, StartForm::Command command)
{
    SendMessageW(form.window(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

TEST(Win32StartForm, OpensWithTheMenuAndTheDocumentsFolder)
{
    Win32Rig rig(Timings{});
    StartForm &form = rig.session.startForm();

    EXPECT_EQ(form.menuText(StartForm::SIDCtrl), L"Subject ID");
    EXPECT_EQ(form.menuText(StartForm::CutCtrl), L"Cutoff:1000");
    EXPECT_EQ(form.menuText(StartForm::DTThresh), L"DTT:20");
    EXPECT_EQ(form.menuText(StartForm::StartCtrl), L"Start");
    EXPECT_FALSE(form.menuEnabled(StartForm::StartCtrl));
    wchar_t *documents = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents), S_OK);
    EXPECT_EQ(form.directory(), documents);
    CoTaskMemFree(documents);
}

// The text a window shows as its title or caption.
std::string windowText(HWND window)
{
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return win32::narrow(text);
}

// Every command of the setup window in one row of its bar, within the window.
void expectOneRowOfCommands(const StartForm &form)
{
    RECT window{};
    GetWindowRect(form.window(), &window);
    RECT first{};
    ASSERT_TRUE(GetMenuItemRect(form.window(), GetMenu(form.window()), 0, &first));
    for (UINT position = 0; position < 5; ++position) {
        RECT item{};
        ASSERT_TRUE(GetMenuItemRect(form.window(), GetMenu(form.window()), position, &item));
        EXPECT_EQ(item.top, first.top) << position;
        EXPECT_LE(item.right, window.right) << position;
    }
}

TEST(Win32StartForm, LanguageFollowsStartAndListsEveryShippedLanguageByItsOwnName)
{
    Win32Rig rig(Timings{});
    StartForm &form = rig.session.startForm();

    EXPECT_EQ(form.menuText(StartForm::LangCtrl), L"Language");
    EXPECT_EQ(form.languageItems(), (std::vector<std::wstring>{L"English", L"Deutsch", L"Español", L"中文"}));
    EXPECT_EQ(form.languageMarks(), (std::vector<bool>{true, false, false, false}));
    expectOneRowOfCommands(form);
}

// What the windows show once a language is chosen in the setup window, in that language.
struct LanguageCase
{
    const char *code;
    std::size_t item; // in the Language command
    const char *languageCommand;
    const char *outputDirectory;
    const char *instructionsTitle;
    const char *prompt;
    const char *breakFirstLine;
    const char *firstDelay;
};

class Win32LanguageCommand : public testing::TestWithParam<LanguageCase>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

TEST_P(Win32LanguageCommand, ChoosingALanguageShowsEveryLaterWindowInIt)
{
    const LanguageCase &c = GetParam();
    Win32Rig rig(Timings{});
    StartForm &form = rig.session.startForm();
    rig.session.settings().SubjectId = "S01";

    SendMessageW(form.window(), WM_COMMAND, MAKEWPARAM(StartForm::FirstLanguage + c.item, 0), 0);

    EXPECT_EQ(i18n::activeLanguage(), c.code);
    std::vector<bool> marks(4, false);
    marks[c.item] = true;
    EXPECT_EQ(form.languageMarks(), marks);
    EXPECT_EQ(win32::narrow(form.menuText(StartForm::LangCtrl)), c.languageCommand);
    EXPECT_EQ(win32::narrow(form.menuText(StartForm::SIDCtrl)), i18n::tr("Subject ID"));
    EXPECT_EQ(windowText(form.frame1()), c.outputDirectory);
    expectOneRowOfCommands(form);
    EXPECT_EQ(windowText(rig.session.instruct().window()), c.instructionsTitle);
    EXPECT_EQ(rig.form.caption(TaskControl::Label2), c.prompt);
    EXPECT_EQ(rig.session.msgForm().labelText(1), c.breakFirstLine);

    rig.start();
    EXPECT_EQ(rig.form.caption(TaskControl::VDelay), c.firstDelay);
    EXPECT_EQ(rig.session.msgForm().delayCaption(), c.firstDelay);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, Win32LanguageCommand,
    testing::Values(LanguageCase{"en", 0, "Language", "Output Directory", "Instructions",
                                 "Please choose between the following two options:", "Now choose between $100",
                                 "IN 1 DAY"},
                    LanguageCase{"de", 1, "Sprache", "Ausgabeverzeichnis", "Anleitung",
                                 "Bitte wählen Sie zwischen den beiden Möglichkeiten:",
                                 "Wählen Sie nun zwischen 100 €", "IN 1 TAG"},
                    LanguageCase{"es", 2, "Idioma", "Directorio de salida", "Instrucciones",
                                 "Elija entre las dos opciones siguientes:", "Ahora elija entre 100 €",
                                 "EN 1 DÍA"},
                    LanguageCase{"zh_CN", 3, "语言", "输出目录", "指导语", "请在以下两个选项中做出选择：",
                                 "现在请在100 元", "1天后"}),
    [](const testing::TestParamInfo<LanguageCase> &info) { return std::string(info.param.code); });

TEST(Win32LanguageCommand, IsRefusedOnceTheRunHasBegun)
{
    Win32Rig rig(Timings{});
    StartForm &form = rig.session.startForm();
    rig.session.settings().SubjectId = "S01";
    rig.start();

    SendMessageW(form.window(), WM_COMMAND, MAKEWPARAM(StartForm::FirstLanguage + 1, 0), 0);

    EXPECT_EQ(i18n::activeLanguage(), "en");
    EXPECT_EQ(form.languageMarks(), (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(rig.form.caption(TaskControl::Label2), "Please choose between the following two options:");
    i18n::setLanguage(i18n::DefaultLanguage);
}

// An entered subject ID replaces the bar's first caption; a long one must not push a command into a
// second row, where the bar would take the setup's room, or out of the window.
struct EnteredId
{
    const char *language;
    const char *subjectId;
};

class Win32EnteredSubjectId : public testing::TestWithParam<EnteredId>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

TEST_P(Win32EnteredSubjectId, KeepsEveryCommandInOneRowAndTheSetupItsRoom)
{
    ASSERT_TRUE(i18n::setLanguage(GetParam().language));
    Win32Rig rig(Timings{});
    StartForm &form = rig.session.startForm();
    RECT before{};
    GetClientRect(form.window(), &before);
    rig.dialogs.texts = {GetParam().subjectId};

    choose(form, StartForm::SIDCtrl);

    EXPECT_EQ(win32::narrow(form.menuText(StartForm::SIDCtrl)), GetParam().subjectId);
    expectOneRowOfCommands(form);
    RECT after{};
    GetClientRect(form.window(), &after);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

INSTANTIATE_TEST_SUITE_P(IdsAndLanguages, Win32EnteredSubjectId,
                         testing::Values(EnteredId{"en", "LOOK1"}, EnteredId{"en", "Participant-2026-12-10-A"},
                                         EnteredId{"de", "LOOK1"}, EnteredId{"de", "Participant-2026-12-10-A"},
                                         EnteredId{"zh_CN", "Participant-2026-12-10-A"}),
                         [](const testing::TestParamInfo<EnteredId> &info) {
                             return std::string(info.param.language) + "_" + std::to_string(info.index);
                         });

TEST(Win32StartForm, CommandsAskThroughTheDialogsAndShowWhatTheyGive)
{
    Win32Rig rig(Timings{});
    StartForm &form = rig.session.startForm();
    rig.dialogs.texts = {"lab/S01", "R&D 7", "2.5", "35", "6"};

    choose(form, StartForm::SIDCtrl);
    choose(form, StartForm::CutCtrl);
    choose(form, StartForm::DTThresh);

    EXPECT_EQ(rig.dialogs.messages.size(), 1u); // the refused ID
    EXPECT_EQ(rig.session.settings().SubjectId, "R&D 7");
    EXPECT_EQ(form.menuText(StartForm::SIDCtrl), L"R&&D 7");
    EXPECT_TRUE(form.menuEnabled(StartForm::StartCtrl));
    EXPECT_EQ(form.menuText(StartForm::CutCtrl), L"Cutoff: 2");
    EXPECT_EQ(form.menuText(StartForm::DTThresh), L"DTT: 6");
    EXPECT_EQ(rig.dialogs.textCalls.size(), 5u);
}

TEST(Win32StartForm, AClickHighlightsADoubleClickOpens)
{
    Win32Rig rig(Timings{});
    StartForm &form = rig.session.startForm();
    const std::filesystem::path inner = rig.out.path() / "inner";
    std::filesystem::create_directories(inner);
    form.setDirectory(rig.out.path().wstring());
    const int rows = int(SendMessageW(form.dir1(), LB_GETCOUNT, 0, 0));
    ASSERT_GE(rows, 2);
    ASSERT_EQ(std::filesystem::path(form.dir1Path(rows - 1)), inner);
    const std::string before = rig.session.settings().OutputDirectory;

    SendMessageW(form.dir1(), LB_SETCURSEL, WPARAM(rows - 1), 0);
    SendMessageW(form.window(), WM_COMMAND, MAKEWPARAM(0, LBN_SELCHANGE), LPARAM(form.dir1()));
    EXPECT_EQ(rig.session.settings().OutputDirectory, before);

    SendMessageW(form.window(), WM_COMMAND, MAKEWPARAM(0, LBN_DBLCLK), LPARAM(form.dir1()));
    EXPECT_EQ(std::filesystem::path(rig.session.settings().OutputDirectory), inner);
}

TEST(Win32StartForm, ClosingDuringTheTrialsAsksAndNoKeepsTheRun)
{
    Win32Rig rig(Timings{0.001, 0.001, 600000});
    rig.start();
    rig.dialogs.yesNo = {false};

    SendMessageW(rig.session.startForm().window(), WM_CLOSE, 0, 0);

    ASSERT_EQ(rig.dialogs.questions.size(), 1u);
    EXPECT_TRUE(rig.dialogs.questions[0].starts_with("The task has not finished."));
    EXPECT_EQ(rig.quits, 0);
    EXPECT_TRUE(IsWindowVisible(rig.form.window()));
}

TEST(Win32Instruct, ReturnPressesOkAndOkStartsTheTask)
{
    Win32Rig rig(Timings{0.001, 0.001, 600000});
    rig.session.startForm().show();
    rig.dialogs.texts = {"S01"};
    choose(rig.session.startForm(), StartForm::SIDCtrl);
    win32::MessageLoop::Timer release(rig.loop, [&] { rig.flow.SignalContinue(); });
    rig.session.setTaskStarting([&] { release.startAt(monotonicNow()); });
    choose(rig.session.startForm(), StartForm::StartCtrl);
    HWND instruct = rig.session.instruct().window();
    ASSERT_TRUE(IsWindowVisible(instruct));
    EXPECT_TRUE(IsZoomed(instruct));
    EXPECT_EQ(GetFocus(), rig.session.instruct().command1());

    postKey(rig.session.instruct().command1(), VK_RETURN);
    ASSERT_TRUE(runUntil(rig.loop, [&] { return rig.flow.started(); }, 5));

    EXPECT_FALSE(IsWindowVisible(instruct));
    EXPECT_TRUE(IsWindowVisible(rig.form.window()));
}

// How the text-entry dialog is answered once it is up, and what it showed.
struct DialogAnswer
{
    std::wstring typed;
    bool ok;
    std::wstring prefilled;
};

DialogAnswer *pendingAnswer = nullptr;

// A timer of the dialog's own loop: finds the dialog, types into it and presses OK or Cancel.
void CALLBACK answerDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowW(L"#32770", L"Set Distractor Threshold");
    if (!dialog || !pendingAnswer)
        return;
    KillTimer(nullptr, timer);
    wchar_t text[64] = {};
    GetDlgItemTextW(dialog, 100, text, 64);
    pendingAnswer->prefilled = text;
    SetDlgItemTextW(dialog, 100, pendingAnswer->typed.c_str());
    PostMessageW(dialog, WM_COMMAND, pendingAnswer->ok ? IDOK : IDCANCEL, 0);
    pendingAnswer = nullptr;
}

TEST(Win32Dialogs, TextEntryReturnsTheTextAsTypedOrNothingOnCancel)
{
    win32::Win32Dialogs dialogs;
    for (DialogAnswer answer : {DialogAnswer{L"  Zo\u00eb 7 ", true, {}}, DialogAnswer{L"typed", false, {}}}) {
        pendingAnswer = &answer;
        SetTimer(nullptr, 0, 20, &answerDialog);

        const std::optional<std::string> text = dialogs.askText(nullptr, "Set Distractor Threshold", "Enter", "20");

        EXPECT_EQ(answer.prefilled, L"20");
        EXPECT_EQ(text, answer.ok ? std::optional(win32::narrow(answer.typed)) : std::nullopt);
    }
}

} // namespace

namespace {

class Win32LogUnfinished : public testing::TestWithParam<LogUnfinishedCase>
{
};

TEST_P(Win32LogUnfinished, AnIncompleteLogIsLeftOnlyByAConfirmedLeaveIt)
{
    ScriptedDialogs dialogs;
    win32::Win32RunHost host(nullptr, nullptr, dialogs, {});

    EXPECT_EQ(checkLogUnfinished(GetParam(), dialogs, host), "");
}

INSTANTIATE_TEST_SUITE_P(Answers, Win32LogUnfinished, testing::ValuesIn(logUnfinishedCases()),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
