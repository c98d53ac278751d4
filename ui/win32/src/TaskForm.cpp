#include "win32/TaskForm.h"

#include "forms/DisplayFit.h"
#include "forms/WindowLayouts.h"
#include "platform/Clock.h"
#include "presentation/PreciseDeadline.h"
#include "presentation/RunFlow.h"
#include "win32/Drawing.h"
#include "win32/Keys.h"

#include <dwmapi.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

namespace kpx::win32 {

namespace {

using Layout = forms::TaskFormLayout;

constexpr std::size_t indexOf(TaskControl control)
{
    return static_cast<std::size_t>(control);
}

// Each control's layout and the frame it lies in, if any.
struct Placement
{
    TaskControl control;
    forms::Rect rect;
    std::optional<TaskControl> frame;
    bool prompt;
};

constexpr std::array<Placement, 9> Placements{{
    {TaskControl::Frame1, Layout::Frame1.rect, std::nullopt, false},
    {TaskControl::Frame2, Layout::Frame2.rect, std::nullopt, false},
    {TaskControl::Label1, Layout::Label1.rect, TaskControl::Frame1, false},
    {TaskControl::Label2, Layout::Label2.rect, std::nullopt, true},
    {TaskControl::Label3, Layout::Label3.rect, TaskControl::Frame2, false},
    {TaskControl::Label4, Layout::Label4.rect, TaskControl::Frame1, false},
    {TaskControl::Label5, Layout::Label5.rect, TaskControl::Frame2, false},
    {TaskControl::VDelay, Layout::VDelay.rect, TaskControl::Frame1, false},
    {TaskControl::VReward, Layout::VReward.rect, TaskControl::Frame2, false},
}};

constexpr std::array<TaskControl, 2> Frames{TaskControl::Frame1, TaskControl::Frame2};

// The labels whose captions the layout gives; the run sets the others'.
constexpr std::array<std::pair<TaskControl, const forms::Label *>, 5> FixedCaptions{{
    {TaskControl::Label1, &Layout::Label1},
    {TaskControl::Label2, &Layout::Label2},
    {TaskControl::Label3, &Layout::Label3},
    {TaskControl::Label4, &Layout::Label4},
    {TaskControl::Label5, &Layout::Label5},
}};

bool isLabel(TaskControl control)
{
    return control != TaskControl::Frame1 && control != TaskControl::Frame2;
}

std::size_t frameIndex(TaskControl frame)
{
    return frame == TaskControl::Frame1 ? 0 : 1;
}

bool compositorRuns()
{
    BOOL enabled = FALSE;
    return SUCCEEDED(DwmIsCompositionEnabled(&enabled)) && enabled;
}

} // namespace

TaskForm::TaskForm(MessageLoop &loop)
    : m_loop(loop)
    , m_timer1(loop, [this] { timer1Expired(); })
    , m_timer1Interval(Layout::Timer1Interval)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    m_look.back.fill(face);
    m_look.fore.fill(text);
    m_look.visible.fill(true);
    for (const auto &[control, layout] : FixedCaptions)
        m_look.text[indexOf(control)] = widen(layout->caption.text());

    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    create(style, 0, NoTitle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    layOut();
    const UINT dpi = dpiOf(window());
    // Restored, it takes the design client area.
    const RECT frame = frameAround(pixels({0, 0, Layout::Client.width, Layout::Client.height}, dpi), style, 0, false, dpi);
    SetWindowPos(window(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TaskForm::attach(RunFlow &flow)
{
    m_flow = &flow;
}

void TaskForm::layOut()
{
    const UINT dpi = dpiOf(window());
    layOutFor({maximizedClientArea(window(), WS_OVERLAPPEDWINDOW, 0, dpi), static_cast<int>(dpi)});
}

void TaskForm::layOutFor(const forms::Display &display)
{
    const forms::Fit fit = forms::fitLayout(forms::choiceWindowExtent(), display);
    m_scale = fit.scale();
    const auto toRect = [](const forms::Rect &r) { return RECT{r.left, r.top, r.left + r.width, r.top + r.height}; };
    for (const Placement &each : Placements) {
        if (each.frame) {
            const RECT frame = m_rects[indexOf(*each.frame)];
            m_rects[indexOf(each.control)] =
                toRect(fit.inside({frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top}, each.rect));
        } else {
            m_rects[indexOf(each.control)] = toRect(fit.place(each.rect));
        }
    }
    // The fonts at the display's dpi, scaled as the layout was; each label's text then fitted in.
    m_dpi = static_cast<UINT>(display.dpi > 0 ? display.dpi : forms::DesignDpi);
    for (const Placement &each : Placements) {
        if (!isLabel(each.control))
            continue;
        forms::Font font = each.prompt ? Layout::Label2.font : Layout::VReward.font;
        font.points = fit.points(font.points) * forms::DesignDpi / m_dpi;
        m_designFonts[indexOf(each.control)] = font;
        m_fonts[indexOf(each.control)].reset();
        fitText(each.control);
    }
    m_bufferCurrent = false;
    m_rehearsals.clear();
}

void TaskForm::setEnabled(TaskControl frame, bool enabled)
{
    // Drawn the same either way: only the clicks stop, and a press made before must not complete one.
    m_enabled[frameIndex(frame)] = enabled;
    if (!enabled && m_pressed == frame) {
        m_pressed.reset();
        ReleaseCapture();
    }
}

void TaskForm::setVisible(TaskControl control, bool visible)
{
    m_look.visible[indexOf(control)] = visible;
    if (!visible && m_pressed == control)
        m_pressed.reset();
    changed(control);
}

void TaskForm::setBackColor(TaskControl control, TaskColor color)
{
    m_look.back[indexOf(control)] = colorOf(color);
    changed(control);
}

void TaskForm::setForeColor(TaskControl control, TaskColor color)
{
    m_look.fore[indexOf(control)] = colorOf(color);
    changed(control);
}

void TaskForm::setCaption(TaskControl label, const std::string &text)
{
    if (!isLabel(label))
        return;
    m_look.text[indexOf(label)] = widen(text);
    fitText(label);
    changed(label);
}

void TaskForm::retranslate()
{
    for (const auto &[control, layout] : FixedCaptions)
        setCaption(control, layout->caption.text());
}

void TaskForm::fitText(TaskControl label)
{
    const std::size_t i = indexOf(label);
    const RECT &room = m_rects[i];
    WindowDC screen(window());
    forms::Font font = m_designFonts[i];
    font.points = fittedPoints(screen.get(), font, m_dpi, m_look.text[i],
                               {room.right - room.left, room.bottom - room.top}, false);
    if (!m_fonts[i] || font.points != m_fontPoints[i]) {
        m_fonts[i] = makeFont(font, m_dpi);
        m_fontPoints[i] = font.points;
    }
}

void TaskForm::changed(TaskControl control)
{
    // Only the area the change repaints goes to the screen at the next presentation.
    RECT &area = m_changedArea;
    const RECT &rect = m_rects[indexOf(control)];
    if (IsRectEmpty(&area))
        area = rect;
    else
        UnionRect(&area, &area, &rect);
    m_bufferCurrent = false;
    InvalidateRect(window(), &rect, FALSE);
}

std::string TaskForm::caption(TaskControl label) const
{
    return narrow(m_look.text[indexOf(label)]);
}

void TaskForm::setTimerInterval(int milliseconds)
{
    m_timer1Interval = milliseconds;
}

void TaskForm::setTimerEnabled(bool enabled)
{
    if (!enabled) {
        m_timer1Enabled = false;
        m_timer1.stop();
    } else if (!m_timer1Enabled) {
        m_timer1Enabled = true;
        m_timer1Deadline = monotonicNow() + std::chrono::milliseconds(m_timer1Interval);
        startTimer1();
    }
}

void TaskForm::startTimer1()
{
    // Woken a little early; the rest is slept in present(), so the phase ends on its deadline.
    m_timer1.startAt(std::max(monotonicNow(), m_timer1Deadline - WakeEarly));
}

void TaskForm::timer1Expired()
{
    if (m_timer1Deadline - monotonicNow() <= 2 * WakeEarly)
        m_presentNotBefore = m_timer1Deadline;
    if (m_flow)
        m_flow->activate();
    if (m_presentNotBefore)
        present();
    // Enabled, the timer fires again each interval.
    if (m_timer1Enabled) {
        m_timer1Deadline += std::chrono::milliseconds(m_timer1Interval);
        startTimer1();
    }
}

HDC TaskForm::buffer()
{
    RECT client{};
    GetClientRect(window(), &client);
    const SIZE size{std::max<LONG>(1, client.right), std::max<LONG>(1, client.bottom)};
    if (!m_bufferDC || size.cx != m_bufferSize.cx || size.cy != m_bufferSize.cy) {
        WindowDC screen(window());
        if (m_bufferDC)
            SelectObject(m_bufferDC.get(), m_bufferOld);
        m_bufferDC = UniqueDC(CreateCompatibleDC(screen.get()));
        m_bufferBitmap = UniqueBitmap(CreateCompatibleBitmap(screen.get(), size.cx, size.cy));
        m_bufferOld = SelectObject(m_bufferDC.get(), m_bufferBitmap.get());
        m_bufferSize = size;
        m_bufferCurrent = false;
        m_rehearsals.clear();
    }
    m_look.width = m_bufferSize.cx;
    m_look.height = m_bufferSize.cy;
    return m_bufferDC.get();
}

void TaskForm::draw(HDC dc, const Look &look) const
{
    const RECT all{0, 0, look.width, look.height};
    UniqueBrush face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    FillRect(dc, &all, face.get());
    SetBkMode(dc, TRANSPARENT);
    auto drawLabel = [&](TaskControl label) {
        const std::size_t i = indexOf(label);
        UniqueBrush back(CreateSolidBrush(look.back[i]));
        FillRect(dc, &m_rects[i], back.get());
        const Selected selected(dc, m_fonts[i].get());
        SetTextColor(dc, look.fore[i]);
        drawCentred(dc, m_rects[i], look.text[i], false);
    };
    if (look.visible[indexOf(TaskControl::Label2)])
        drawLabel(TaskControl::Label2);
    for (TaskControl frame : Frames) {
        const std::size_t i = indexOf(frame);
        if (!look.visible[i])
            continue;
        RECT area = m_rects[i];
        UniqueBrush back(CreateSolidBrush(look.back[i]));
        FillRect(dc, &area, back.get());
        DrawEdge(dc, &area, EDGE_SUNKEN, BF_RECT);
        for (const Placement &each : Placements)
            if (each.frame == frame && look.visible[indexOf(each.control)])
                drawLabel(each.control);
    }
}

void TaskForm::copyToScreen(HDC from)
{
    // The changed area only: the copy to the screen is the onset's own cost. What the window system
    // still wants painted (the whole window when it has just been shown) goes too, since only the
    // area copied is marked painted.
    const RECT all{0, 0, m_bufferSize.cx, m_bufferSize.cy};
    RECT area{};
    if (!IntersectRect(&area, &m_changedArea, &all))
        area = all;
    if (RECT pending{}; GetUpdateRect(window(), &pending, FALSE))
        UnionRect(&area, &area, &pending);
    {
        WindowDC screen(window());
        BitBlt(screen.get(), area.left, area.top, area.right - area.left, area.bottom - area.top, from, area.left,
               area.top, SRCCOPY);
    }
    SetRectEmpty(&m_changedArea);
    ValidateRect(window(), &area);
    // The onset is taken once the picture has left for the screen: GDI's batch flushed, and the
    // desktop compositor's frame composed where one runs.
    GdiFlush();
    if (compositorRuns())
        DwmFlush();
}

void TaskForm::paintAhead()
{
    HDC dc = buffer();
    if (!m_bufferCurrent) {
        draw(dc, m_look);
        m_bufferCurrent = true;
    }
}

void TaskForm::rehearse(const std::function<void()> &change)
{
    HDC dc = buffer();
    const Look before = m_look;
    const bool wasCurrent = m_bufferCurrent;
    const std::optional<TaskControl> pressed = m_pressed;
    const auto enabled = m_enabled;
    const RECT changedBefore = m_changedArea;
    // What the window system wants painted now stays wanted: the rehearsal's own changes do not.
    UniqueRegion pending(CreateRectRgn(0, 0, 0, 0));
    const int pendingKind = GetUpdateRgn(window(), pending.get(), FALSE);
    change();
    Rehearsal rehearsal{m_look, UniqueBitmap(CreateCompatibleBitmap(dc, m_bufferSize.cx, m_bufferSize.cy))};
    {
        UniqueDC picture(CreateCompatibleDC(dc));
        const Selected selected(picture.get(), rehearsal.picture.get());
        draw(picture.get(), rehearsal.look);
    }
    m_look = before;
    m_enabled = enabled;
    m_pressed = pressed;
    m_bufferCurrent = wasCurrent;
    m_changedArea = changedBefore;
    ValidateRect(window(), nullptr);
    if (pendingKind != NULLREGION && pendingKind != ERROR)
        InvalidateRgn(window(), pending.get(), FALSE);
    m_rehearsals.push_back(std::move(rehearsal));
}

void TaskForm::present()
{
    if (m_presentNotBefore) {
        paintAhead();
        sleepUntil(*m_presentNotBefore);
        m_presentNotBefore.reset();
    }
    HDC dc = buffer();
    if (!m_bufferCurrent) {
        const auto rehearsed = std::find_if(m_rehearsals.begin(), m_rehearsals.end(),
                                            [&](const Rehearsal &each) { return each.look == m_look; });
        if (rehearsed != m_rehearsals.end()) {
            // Painted already: the rehearsed picture becomes the buffer.
            SelectObject(dc, rehearsed->picture.get());
            std::swap(m_bufferBitmap, rehearsed->picture);
        } else {
            draw(dc, m_look);
        }
        m_bufferCurrent = true;
    }
    m_rehearsals.clear();
    copyToScreen(dc);
}

void TaskForm::show()
{
    ShowWindow(window(), SW_SHOWMAXIMIZED);
    SetForegroundWindow(window());
}

void TaskForm::hide()
{
    ShowWindow(window(), SW_HIDE);
}

RECT TaskForm::controlRect(TaskControl control) const
{
    return m_rects[indexOf(control)];
}

HFONT TaskForm::labelFont(TaskControl label) const
{
    return m_fonts[indexOf(label)].get();
}

bool TaskForm::isShown(TaskControl control) const
{
    for (const Placement &each : Placements)
        if (each.control == control && each.frame && !m_look.visible[indexOf(*each.frame)])
            return false;
    return m_look.visible[indexOf(control)];
}

bool TaskForm::isEnabled(TaskControl frame) const
{
    return m_enabled[frameIndex(frame)];
}

std::optional<TaskControl> TaskForm::frameAt(POINT where) const
{
    for (TaskControl frame : Frames)
        if (m_look.visible[indexOf(frame)] && PtInRect(&m_rects[indexOf(frame)], where))
            return frame;
    return std::nullopt;
}

InputStamp TaskForm::inputStamp(UINT message, WPARAM wParam, LPARAM lParam) const
{
    // One another loop handed over is timed now: later than it came, never earlier.
    const auto now = monotonicNow();
    const auto retrieved = m_loop.retrievedAt(window(), message, wParam, lParam).value_or(now);
    return InputStamp::retrievedBefore(std::chrono::duration<double, std::milli>(now - retrieved).count());
}

void TaskForm::key(UINT message, WPARAM virtualKey, LPARAM flags)
{
    // Shift held with an arrow must not use up the trial's key on its own press.
    if (!m_flow || isModifierKey(static_cast<int>(virtualKey)))
        return;
    m_flow->KeyDown(static_cast<int>(virtualKey), isAutoRepeat(flags), inputStamp(message, virtualKey, flags));
}

void TaskForm::mouse(UINT message, WPARAM buttons, LPARAM where)
{
    const POINT point{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    if (message == WM_LBUTTONDOWN) {
        const std::optional<TaskControl> frame = frameAt(point);
        // Labels lie inside their frame: a press on one is a press on the frame.
        if (frame && m_enabled[frameIndex(*frame)]) {
            m_pressed = frame;
            SetCapture(window());
        }
        return;
    }
    if (!m_pressed)
        return;
    const TaskControl pressed = *m_pressed;
    m_pressed.reset();
    ReleaseCapture();
    // Released outside the option: the participant moved away, as with a push button.
    if (frameAt(point) != pressed || !m_flow)
        return;
    const InputStamp stamp = inputStamp(message, buttons, where);
    if (pressed == TaskControl::Frame1)
        m_flow->clickDelayed(stamp);
    else
        m_flow->clickImmediate(stamp);
}

LRESULT TaskForm::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        key(message, wParam, lParam);
        return 0;
    case WM_SYSKEYDOWN:
        // Every key belongs to the task; Alt+F4 still asks the window to close.
        if (wParam == VK_F4)
            break;
        key(message, wParam, lParam);
        return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        mouse(message, wParam, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != window())
            m_pressed.reset();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window(), &paint);
        HDC dc = buffer();
        if (!m_bufferCurrent) {
            draw(dc, m_look);
            m_bufferCurrent = true;
        }
        BitBlt(paint.hdc, 0, 0, m_bufferSize.cx, m_bufferSize.cy, dc, 0, 0, SRCCOPY);
        EndPaint(window(), &paint);
        return 0;
    }
    case WM_DPICHANGED: {
        const auto *suggested = reinterpret_cast<const RECT *>(lParam);
        layOut();
        SetWindowPos(window(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(window(), nullptr, FALSE);
        return 0;
    }
    case WM_CLOSE:
        // Closing mid-run would end it with nothing written.
        if (m_flow && m_flow->started() && !m_flow->finished())
            return 0;
        hide();
        return 0;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace kpx::win32
