#include "Win32Rig.h"

#include <string>

using namespace kpx;
using namespace kpx::test;

namespace {

// Timer1 never runs out: each trial stays white until the test activates it.
const Timings WhiteUntilActivated{0.001, 0.001, 600000};

// On Windows the system stamps input with its tick count, which advances about every 15.6 ms.
constexpr DWORD OneTick = 16;

// Input as the keyboard or the mouse driver gives it to the system, stamped with `time` on the
// tick count (0: the system stamps it as it comes).
void sendKey(WORD virtualKey, DWORD time)
{
    INPUT inputs[2]{};
    for (INPUT &input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.time = time;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void sendClick(HWND window, const RECT &where, DWORD time)
{
    POINT point{(where.left + where.right) / 2, (where.top + where.bottom) / 2};
    ClientToScreen(window, &point);
    INPUT inputs[3]{};
    for (INPUT &input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.time = time;
    }
    // Absolute positions run from 0 to 65535 over the primary screen.
    inputs[0].mi.dx = LONG((point.x * 65536 + GetSystemMetrics(SM_CXSCREEN) / 2) / GetSystemMetrics(SM_CXSCREEN));
    inputs[0].mi.dy = LONG((point.y * 65536 + GetSystemMetrics(SM_CYSCREEN) / 2) / GetSystemMetrics(SM_CYSCREEN));
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

struct StampCase
{
    const char *name;
    bool click;
};

class Win32InputTime : public testing::TestWithParam<StampCase>
{
};

// A press made just after the options turned black whose message time is a tick behind the
// counter, after an earlier press stamped exactly: taken, and timed by the counter, so its response
// time is never shorter than the time from the onset to the moment it was sent.
TEST_P(Win32InputTime, APressStampedATickEarlyIsTakenAndTimedByTheCounter)
{
    Win32Rig rig(WhiteUntilActivated, 11);
    double answerableMs = 0;
    double answerableRead = 0;
    std::vector<double> responses;
    rig.flow.setPhaseTrace([&](const char *phase, double ms) {
        if (std::string(phase) == "answerable") {
            answerableMs = ms;
            answerableRead = rig.clock.milliseconds();
        } else if (std::string(phase) == "response") {
            responses.push_back(ms);
        }
    });
    rig.start();
    HWND window = rig.form.window();
    ASSERT_EQ(GetForegroundWindow(), window);
    rig.flow.activate();
    postKey(window, VK_RIGHT);
    ASSERT_TRUE(runUntil(rig.loop, [&] { return rig.engine.state().TrialCount == 1 && !rig.flow.responding(); }, 5));

    rig.flow.activate();
    const double sentMs = rig.clock.milliseconds();
    const DWORD early = GetTickCount() - OneTick;
    if (GetParam().click)
        sendClick(window, rig.form.controlRect(TaskControl::VReward), early);
    else
        sendKey(VK_LEFT, early);
    runUntil(rig.loop, [&] { return rig.engine.state().TrialCount == 2; }, 5);

    ASSERT_EQ(rig.engine.state().TrialCount, 2) << "the press was dated before the options turned black";
    ASSERT_EQ(responses.size(), 2u);
    EXPECT_GE(responses[1] - answerableMs, sentMs - answerableRead);
}

INSTANTIATE_TEST_SUITE_P(Win32, Win32InputTime,
                         testing::Values(StampCase{"Key", false}, StampCase{"Click", true}),
                         [](const testing::TestParamInfo<StampCase> &info) { return std::string(info.param.name); });

} // namespace
