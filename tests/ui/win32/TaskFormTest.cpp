#include "Win32Rig.h"

#include <fstream>
#include <sstream>

using namespace kpx;
using namespace kpx::test;

namespace {

const Timings ShortTimings{0.001, 0.001, 1};
// Timer1 never runs out: the trial stays white until the test activates it.
const Timings WhiteUntilActivated{0.001, 0.001, 600000};

// A point of the frame's own background, inside its edge and outside its labels.
POINT frameBackground(win32::TaskForm &form, TaskControl frame)
{
    const RECT rect = form.controlRect(frame);
    return {rect.left + 6, rect.top + 6};
}

// Which option the run's first response took, from the bounds it moved; 0 none, -1 immediate, 1 delayed.
int firstChoice(const Win32Rig &rig)
{
    const RunState &state = rig.engine.state();
    if (state.TrialCount == 0)
        return 0;
    return state.LowInner == rig.firstAmount ? 1 : state.HighInner == rig.firstAmount ? -1 : 0;
}

TEST(Win32TaskForm, ShowsExactColoursForEachPhase)
{
    Win32Rig rig(WhiteUntilActivated, 11);
    rig.start();
    HWND window = rig.form.window();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    ASSERT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(IsZoomed(window));
    wchar_t title[8] = {};
    GetWindowTextW(window, title, 8);
    EXPECT_EQ(std::wstring(title), std::wstring(win32::NoTitle));

    // White on button face, the frames shown but disabled: a click does nothing and the text stays white.
    EXPECT_EQ(pixelAt(window, frameBackground(rig.form, TaskControl::Frame2)), face);
    EXPECT_TRUE(shows(window, rig.form.controlRect(TaskControl::VReward), RGB(255, 255, 255)));
    EXPECT_FALSE(rig.form.isEnabled(TaskControl::Frame2));
    postClick(window, rig.form.controlRect(TaskControl::Label3));
    runUntil(rig.loop, [] { return false; }, 0.05);
    EXPECT_EQ(firstChoice(rig), 0);
    EXPECT_TRUE(shows(window, rig.form.controlRect(TaskControl::Label3), RGB(255, 255, 255)));

    rig.flow.activate();
    EXPECT_TRUE(shows(window, rig.form.controlRect(TaskControl::VDelay), RGB(0, 0, 0)));
    EXPECT_FALSE(shows(window, rig.form.controlRect(TaskControl::VDelay), RGB(255, 255, 255)));

    // The chosen option, read back the moment it is on screen.
    COLORREF chosen = 0;
    COLORREF other = 0;
    rig.flow.setPhaseTrace([&](const char *phase, double) {
        if (std::string(phase) == "green") {
            chosen = pixelAt(window, frameBackground(rig.form, TaskControl::Frame1));
            other = pixelAt(window, frameBackground(rig.form, TaskControl::Frame2));
        }
    });
    postKey(window, VK_RIGHT);
    ASSERT_TRUE(runUntil(rig.loop, [&] { return rig.engine.state().TrialCount > 0; }, 5));
    EXPECT_EQ(chosen, RGB(0, 128, 0));
    EXPECT_EQ(other, face);
}

TEST(Win32TaskForm, IsPaintedWholeWhenShownNotOnlyWhereTheOptionsChanged)
{
    Win32Rig rig(WhiteUntilActivated, 11);
    rig.start();
    HWND window = rig.form.window();
    const RECT left = rig.form.controlRect(TaskControl::Frame2);
    const RECT right = rig.form.controlRect(TaskControl::Frame1);

    // The window's own background between the frames and above them, and a frame's, as the display has them.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(displayedAt(window, {(left.right + right.left) / 2, (left.top + left.bottom) / 2}), face);
    EXPECT_EQ(displayedAt(window, {left.left + 2, left.top / 2}), face);
    EXPECT_EQ(displayedAt(window, frameBackground(rig.form, TaskControl::Frame2)), face);
}

TEST(Win32TaskForm, ARehearsalLeavesWhatTheWindowSystemWantsPaintedStillWanted)
{
    Win32Rig rig(WhiteUntilActivated, 11);
    rig.start();
    HWND window = rig.form.window();
    const RECT uncovered = rig.form.controlRect(TaskControl::Label2);
    InvalidateRect(window, &uncovered, FALSE);

    rig.form.rehearse([&] { rig.form.setBackColor(TaskControl::Frame1, TaskColor::Green); });

    RECT pending{};
    ASSERT_TRUE(GetUpdateRect(window, &pending, FALSE));
    EXPECT_TRUE(EqualRect(&pending, &uncovered));
}

struct KeyCase
{
    const char *name;
    std::vector<int> keys; // pressed in turn; a negative code is the keyboard's repeat of that key
    bool clickDelayedAfter;
    int chosen; // -1 immediate, 1 delayed, 0 nothing
};

class Win32TaskFormKeys : public testing::TestWithParam<KeyCase>
{
};

TEST_P(Win32TaskFormKeys, AnswerByTheKeyCodeAlone)
{
    Win32Rig rig(WhiteUntilActivated, 11);
    rig.start();
    rig.flow.activate();
    HWND window = rig.form.window();
    for (int key : GetParam().keys)
        postKey(window, key < 0 ? -key : key, key < 0);
    if (GetParam().clickDelayedAfter)
        postClick(window, rig.form.controlRect(TaskControl::Label4));
    runUntil(rig.loop, [&] { return rig.engine.state().TrialCount > 0; }, 0.5);

    EXPECT_EQ(firstChoice(rig), GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Win32TaskFormKeys,
    testing::Values(KeyCase{"LeftIsImmediate", {VK_LEFT}, false, -1}, KeyCase{"RightIsDelayed", {VK_RIGHT}, false, 1},
                    KeyCase{"ShiftHeldStillChooses", {VK_SHIFT, VK_RIGHT}, false, 1},
                    KeyCase{"RepeatNeverAnswers", {-VK_RIGHT, -VK_LEFT}, false, 0},
                    KeyCase{"UpUsesUpTheKeyButAClickStillAnswers", {VK_UP, VK_LEFT}, true, 1},
                    KeyCase{"SpaceChoosesNothing", {VK_SPACE}, false, 0}),
    [](const testing::TestParamInfo<KeyCase> &info) { return std::string(info.param.name); });

struct ClickCase
{
    TaskControl control;
    int chosen;
};

std::string controlName(const testing::TestParamInfo<ClickCase> &info)
{
    static const char *const names[] = {"Frame1", "Frame2", "Label1", "Label2", "Label3",
                                        "Label4", "Label5", "VDelay", "VReward"};
    return names[static_cast<int>(info.param.control)];
}

class Win32TaskFormClicks : public testing::TestWithParam<ClickCase>
{
};

TEST_P(Win32TaskFormClicks, OnAFrameOrItsLabelsAnswer)
{
    Win32Rig rig(WhiteUntilActivated, 11);
    rig.start();
    rig.flow.activate();

    postClick(rig.form.window(), rig.form.controlRect(GetParam().control));
    runUntil(rig.loop, [&] { return rig.engine.state().TrialCount > 0; }, 0.5);

    EXPECT_EQ(firstChoice(rig), GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Win32TaskFormClicks,
    testing::Values(ClickCase{TaskControl::Frame1, 1}, ClickCase{TaskControl::Label1, 1},
                    ClickCase{TaskControl::Label4, 1}, ClickCase{TaskControl::VDelay, 1},
                    ClickCase{TaskControl::Frame2, -1}, ClickCase{TaskControl::Label3, -1},
                    ClickCase{TaskControl::Label5, -1}, ClickCase{TaskControl::VReward, -1},
                    ClickCase{TaskControl::Label2, 0}),
    controlName);

TEST(Win32TaskForm, ClosingMidRunIsRefused)
{
    Win32Rig rig(WhiteUntilActivated, 11);
    rig.start();

    SendMessageW(rig.form.window(), WM_CLOSE, 0, 0);
    SendMessageW(rig.msg.window(), WM_CLOSE, 0, 0);

    EXPECT_TRUE(IsWindowVisible(rig.form.window()));
}

TEST(Win32TaskForm, SpaceBarOnTheChoiceWindowContinuesABreak)
{
    Win32Rig rig(WhiteUntilActivated, 11);
    win32::MessageLoop::Timer press(rig.loop, [&] {
        ASSERT_TRUE(IsWindowVisible(rig.msg.window()));
        EXPECT_EQ(rig.msg.delayCaption(), "IN 1 DAY");
        // The other keys leave the message up.
        postKey(rig.msg.window(), 'A');
        postKey(rig.form.window(), VK_SPACE);
    });
    press.startAt(monotonicNow());

    rig.flow.StartTask();

    EXPECT_FALSE(IsWindowVisible(rig.msg.window()));
    EXPECT_EQ(rig.form.caption(TaskControl::VDelay), "IN 1 DAY");
}

TEST(Win32Session, WholeRunAnsweredByTheSharedParticipantWritesBothFiles)
{
    Win32Rig rig(ShortTimings);
    rig.session.settings().SubjectId = "S01";
    Win32Participant participant(rig, 50);

    rig.start();
    ASSERT_TRUE(runUntil(rig.loop, [&] { return rig.flow.finished(); }, 300));

    EXPECT_EQ(participant.breaks, 7);
    EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{"The task is now complete"});
    EXPECT_EQ(rig.quits, 1);
    std::string expected = "S01\r\n";
    for (int k = 0; k < 7; ++k)
        expected += " 47.5 \r\n";
    EXPECT_EQ(readFile(rig.out.path() / "S01.KPX"), expected);
    EXPECT_EQ(readFile(rig.out.path() / "S01.TC").substr(0, 5), "S01\r\n");
}

} // namespace
