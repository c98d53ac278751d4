#pragma once

#include "forms/DisplayFit.h"
#include "presentation/InputTime.h"
#include "presentation/TrialScreen.h"
#include "win32/BaseWindow.h"
#include "win32/Handles.h"
#include "win32/MessageLoop.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kpx {
class RunFlow;
}

namespace kpx::win32 {

// The choice window: two option groups and a prompt, drawn by the window itself into a buffer that
// is put on screen in one copy; turns keys, clicks and Timer1 into calls of the flow.
class TaskForm final : public BaseWindow<TaskForm>, public TrialScreen
{
public:
    static constexpr const wchar_t *ClassName = L"KPX2.TaskForm";
    // No double clicks: a second quick click is a click like the first.
    static constexpr UINT ClassStyle = 0;

    // Created hidden; the loop must outlive the window.
    explicit TaskForm(MessageLoop &loop);

    // Events go to this flow from now on; it must outlive the window's use.
    void attach(RunFlow &flow);

    void setEnabled(TaskControl frame, bool enabled) override;
    void setVisible(TaskControl control, bool visible) override;
    void setBackColor(TaskControl control, TaskColor color) override;
    void setForeColor(TaskControl control, TaskColor color) override;
    void setCaption(TaskControl label, const std::string &text) override;
    std::string caption(TaskControl label) const override;
    // The fixed captions again, in the active language.
    void retranslate();

    void setTimerInterval(int milliseconds) override;
    void setTimerEnabled(bool enabled) override;

    bool AcceptKeys() const override { return m_acceptKeys; }
    void setAcceptKeys(bool accept) override { m_acceptKeys = accept; }

    // Draws the pending changes and copies them to the screen, flushed, before returning.
    void present() override;
    void paintAhead() override;
    void rehearse(const std::function<void()> &change) override;
    // Maximized, not modal.
    void show() override;
    void hide() override;

    // What the window shows, for the window's tests: a control's place in the client area (a label's
    // inside its frame's), whether it is shown and, for a frame, enabled.
    RECT controlRect(TaskControl control) const;
    // The font a label is drawn in, fitted to its text.
    HFONT labelFont(TaskControl label) const;
    // Lays the controls out for that display (the maximized client area and its dots per inch) by the
    // layouts' fit rule; the window does so itself for its monitor.
    void layOutFor(const forms::Display &display);
    std::optional<double> displayScale() const override { return m_scale; }
    bool isShown(TaskControl control) const;
    bool isEnabled(TaskControl frame) const;
    bool timerEnabled() const { return m_timer1Enabled; }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr std::size_t ControlCount = 9;

    // Everything the picture depends on.
    struct Look
    {
        std::array<COLORREF, ControlCount> back{};
        std::array<COLORREF, ControlCount> fore{};
        std::array<std::wstring, ControlCount> text;
        std::array<bool, ControlCount> visible{};
        int width = 0;
        int height = 0;

        bool operator==(const Look &) const = default;
    };

    struct Rehearsal
    {
        Look look;
        UniqueBitmap picture;
    };

    void layOut();
    // The label's font: the largest size its text fits in, the layout's wherever it fits there. Done
    // whenever its text or place changes, never on the way to the screen.
    void fitText(TaskControl label);
    // Notes that the control's picture changed.
    void changed(TaskControl control);
    void key(UINT message, WPARAM virtualKey, LPARAM flags);
    void mouse(UINT message, WPARAM buttons, LPARAM where);
    // The input message being handled, timed when the loop took it from the queue.
    InputStamp inputStamp(UINT message, WPARAM wParam, LPARAM lParam) const;
    void timer1Expired();
    void startTimer1();
    std::optional<TaskControl> frameAt(POINT where) const;
    // The buffer the picture is drawn in, the client area's size.
    HDC buffer();
    void draw(HDC dc, const Look &look) const;
    void copyToScreen(HDC from);

    MessageLoop &m_loop;
    MessageLoop::Timer m_timer1;
    RunFlow *m_flow = nullptr;
    Look m_look;
    std::array<RECT, ControlCount> m_rects{};
    double m_scale = 1.0;
    std::array<bool, 2> m_enabled{}; // Frame1, Frame2
    UINT m_dpi = 96;
    // Each label's font as the layout scales it, and the one its text is drawn in, of that size.
    std::array<forms::Font, ControlCount> m_designFonts{};
    std::array<UniqueFont, ControlCount> m_fonts;
    std::array<double, ControlCount> m_fontPoints{};
    UniqueDC m_bufferDC;
    UniqueBitmap m_bufferBitmap;
    HGDIOBJ m_bufferOld = nullptr;
    SIZE m_bufferSize{};
    bool m_bufferCurrent = false;
    // What changed since the last presentation; empty: the whole window.
    RECT m_changedArea{};
    std::vector<Rehearsal> m_rehearsals;
    std::optional<TaskControl> m_pressed;
    bool m_acceptKeys = false;
    bool m_timer1Enabled = false;
    int m_timer1Interval;
    std::chrono::steady_clock::time_point m_timer1Deadline;
    // Changes made before this moment are put on screen only when it comes.
    std::optional<std::chrono::steady_clock::time_point> m_presentNotBefore;
};

} // namespace kpx::win32
