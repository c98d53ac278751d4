#include "LogUnfinishedCases.h"
#include "Win32Rig.h"

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
