#pragma once

#include "forms/DisplayFit.h"
#include "forms/Layout.h"
#include "presentation/BreakScreen.h"
#include "win32/BaseWindow.h"
#include "win32/Handles.h"

#include <array>
#include <string>

namespace kpx {
class RunFlow;
}

namespace kpx::win32 {

// The break message before each block, drawn by the window itself; the space bar on it continues the run.
class MsgForm final : public BaseWindow<MsgForm>, public BreakScreen
{
public:
    static constexpr const wchar_t *ClassName = L"KPX2.MsgForm";

    // Owned by the choice window, which keeps the message above it.
    explicit MsgForm(HWND owner);

    // Keys go to this flow from now on; it must outlive the window's use.
    void attach(RunFlow &flow);

    void setDelayCaption(const std::string &text) override;
    std::string delayCaption() const;
    // The fixed captions again, in the active language.
    void retranslate();
    // At its fixed screen place, above the choice window, active and with the keyboard.
    void show() override;
    // The choice window beneath is active again.
    void hide() override;

    // Lays the window out for that display (where its client area may lie on the screen, and the
    // screen's dots per inch) by the layouts' fit rule; the window does so itself for the primary
    // monitor.
    void layOutFor(const forms::Display &display);
    // For the window's tests: a label's place in the client area and the font it is drawn in (1 to 3).
    RECT labelRect(int label) const;
    HFONT labelFont(int label) const;
    // The text a label shows (1 to 3).
    std::string labelText(int label) const;
    double displayScale() const { return m_fit.scale(); }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void layOut();
    void paint(HDC dc) const;
    // The label's font: the largest size its text fits in, the layout's wherever it fits there. Done
    // whenever its text or place changes, never while the message is on its way to the screen.
    void fitText(int label);

    RunFlow *m_flow = nullptr;
    std::wstring m_delay;
    // Label1 to Label3's fonts, fitted to their texts.
    std::array<UniqueFont, 3> m_fonts;
    forms::Fit m_fit;
};

} // namespace kpx::win32
