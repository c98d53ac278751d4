#pragma once

#include "ParticipantRule.h"
#include "ScriptedDialogsOf.h"
#include "TestFiles.h"

#include "engine/RandomSource.h"
#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "platform/Clock.h"
#include "presentation/RunFlow.h"
#include "results/Clock.h"
#include "win32/Drawing.h"
#include "win32/MessageLoop.h"
#include "win32/MsgForm.h"
#include "win32/Session.h"
#include "win32/TaskForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>
#include <functional>
#include <optional>

namespace kpx::test {

using ScriptedDialogs = ScriptedDialogsOf<HWND__>;

// Runs the loop until the condition holds; false when it did not within the time limit.
inline bool runUntil(win32::MessageLoop &loop, const std::function<bool()> &done, double seconds = 60)
{
    const auto limit = monotonicNow() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                            std::chrono::duration<double>(seconds));
    loop.runUntil(done, limit);
    return done();
}

// A key pressed as the keyboard sends it: queued, stamped with the moment it was sent. Bit 30 marks
// the keyboard's repeat of a key held down.
inline void postKey(HWND window, int virtualKey, bool repeat = false)
{
    PostMessageW(window, WM_KEYDOWN, WPARAM(virtualKey), LPARAM(1) | (repeat ? LPARAM(1) << 30 : 0));
}

// A left click at the centre of the rectangle of the window's client area.
inline void postClick(HWND window, const RECT &where)
{
    const LPARAM point = MAKELPARAM((where.left + where.right) / 2, (where.top + where.bottom) / 2);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(window, WM_LBUTTONUP, 0, point);
}

// What a rectangle of the window's client area shows on screen, copied out once.
class ScreenArea
{
public:
    ScreenArea(HWND window, const RECT &area)
        : m_width(area.right - area.left)
        , m_height(area.bottom - area.top)
        , m_pixels(std::size_t(m_width) * std::size_t(m_height))
    {
        win32::WindowDC screen(window);
        win32::UniqueDC copy(CreateCompatibleDC(screen.get()));
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), m_width, -m_height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void *bits = nullptr;
        win32::UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        {
            const win32::Selected selected(copy.get(), bitmap.get());
            BitBlt(copy.get(), 0, 0, m_width, m_height, screen.get(), area.left, area.top, SRCCOPY);
            GdiFlush();
        }
        const auto *source = static_cast<const std::uint32_t *>(bits);
        // 0x00RRGGBB in the bitmap; COLORREF is 0x00BBGGRR.
        for (std::size_t i = 0; i < m_pixels.size(); ++i)
            m_pixels[i] = RGB((source[i] >> 16) & 0xFF, (source[i] >> 8) & 0xFF, source[i] & 0xFF);
    }

    COLORREF at(int x, int y) const { return m_pixels[std::size_t(y) * std::size_t(m_width) + std::size_t(x)]; }

    bool holds(COLORREF color) const { return std::find(m_pixels.begin(), m_pixels.end(), color) != m_pixels.end(); }

private:
    int m_width;
    int m_height;
    std::vector<COLORREF> m_pixels;
};

// The colour on screen at a point of the window's client area.
inline COLORREF pixelAt(HWND window, POINT where)
{
    return ScreenArea(window, {where.x, where.y, where.x + 1, where.y + 1}).at(0, 0);
}

// The colour the display itself shows at a point of the window's client area: read from the screen,
// not from the window's own picture, so it is what reached the display (under wine, the X server).
inline COLORREF displayedAt(HWND window, POINT where)
{
    ClientToScreen(window, &where);
    win32::WindowDC screen(nullptr);
    return GetPixel(screen.get(), where.x, where.y);
}

// Whether any pixel of the rectangle has the colour.
inline bool shows(HWND window, const RECT &area, COLORREF color)
{
    return ScreenArea(window, area).holds(color);
}

// The application as main builds it, with a seeded random source, scripted dialogs, a fresh output
// directory and a count of the times it would have quit.
struct Win32Rig
{
    explicit Win32Rig(Timings timings, std::uint64_t seed = 2024)
        : random(SeededRandom::fixed(seed))
        , session(loop, timings, random, clock, dialogs, [this] { ++quits; })
    {
        session.settings().OutputDirectory = out.path().string();
    }

    // Starts the task, lets the first break pass, and returns once the first trial is on screen in white.
    void start()
    {
        win32::MessageLoop::Timer release(loop, [this] { flow.SignalContinue(); });
        release.startAt(monotonicNow());
        flow.StartTask();
        firstAmount = engine.state().ImmediateAmount;
    }

    bool answerable() { return runUntil(loop, [this] { return form.AcceptKeys(); }); }

    win32::MessageLoop loop;
    SeededRandom random;
    SystemClock clock;
    ScriptedDialogs dialogs;
    ScratchDirectory out{"win32"};
    int quits = 0;
    win32::Session session;
    win32::TaskForm &form = session.taskForm();
    win32::MsgForm &msg = session.msgForm();
    TaskEngine &engine = session.engine();
    RunFlow &flow = session.flow();
    std::int16_t firstAmount = 0;
};

// The participant of ParticipantRule in the Win32 windows: looks every millisecond, presses the space
// bar on each break message and answers each answerable trial once, by a queued key or click.
class Win32Participant
{
public:
    Win32Participant(Win32Rig &rig, int value)
        : m_rig(rig)
        , m_rule(value)
        , m_poll(rig.loop, [this] { look(); })
    {
        m_poll.startAt(monotonicNow());
    }

    int breaks = 0;
    int responses() const { return m_rule.responses; }

private:
    void look()
    {
        HWND message = m_rig.msg.window();
        const bool breakShown = IsWindowVisible(message);
        if (breakShown && !m_spacePosted) {
            ++breaks;
            postKey(message, VK_SPACE);
        }
        m_spacePosted = breakShown;
        // Answerable: the frames take clicks and a key is accepted. A trial is answered once: with short
        // timings the next one may be answerable before this look comes again.
        const int trial = m_rig.engine.state().BlockIndex * 1000 + m_rig.engine.state().TrialCount;
        if (m_rig.form.AcceptKeys() && m_rig.form.isEnabled(TaskControl::Frame1) && trial != m_answered) {
            m_answered = trial;
            const Answer answer = m_rule.answer(m_rig.form.caption(TaskControl::VReward));
            HWND form = m_rig.form.window();
            if (answer.click) {
                postClick(form, m_rig.form.controlRect(answer.immediate ? TaskControl::Label3 : TaskControl::VDelay));
            } else {
                if (answer.shift)
                    postKey(form, VK_SHIFT);
                postKey(form, answer.immediate ? VK_LEFT : VK_RIGHT);
            }
        }
        m_poll.startAt(monotonicNow() + std::chrono::milliseconds(1));
    }

    Win32Rig &m_rig;
    ParticipantRule m_rule;
    win32::MessageLoop::Timer m_poll;
    bool m_spacePosted = false;
    int m_answered = -1;
};

} // namespace kpx::test
