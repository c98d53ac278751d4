#include "engine/DelayTable.h"
#include "engine/TaskEngine.h"
#include "forms/TextFit.h"
#include "forms/WindowLayouts.h"
#include "i18n/Tr.h"
#include "win32/Drawing.h"
#include "win32/Instruct.h"
#include "win32/MessageLoop.h"
#include "win32/MsgForm.h"
#include "win32/TaskForm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace kpx;
using namespace kpx::forms;

namespace {

// The choice window, the break message and the instructions as the run makes them: in the language
// active when they are made.
struct Windows
{
    win32::MessageLoop loop;
    win32::TaskForm choice{loop};
    win32::MsgForm message{choice.window()};
    win32::Instruct instruct{loop};
};

// How a window shows a text in one of its labels: the text it draws there, the label's size and the
// font it draws the text in.
struct Shown
{
    std::string text;
    SIZE room;
    HFONT font;
};

SIZE sizeOf(const RECT &r)
{
    return {r.right - r.left, r.bottom - r.top};
}

// The run sets these labels' texts; the others keep the captions the window was made with.
template <TaskControl control>
Shown choiceLabel(Windows &windows, const std::string &text)
{
    if (control == TaskControl::VDelay || control == TaskControl::VReward)
        windows.choice.setCaption(control, text);
    return {windows.choice.caption(control), sizeOf(windows.choice.controlRect(control)),
            windows.choice.labelFont(control)};
}

template <int which>
Shown messageLabel(Windows &windows, const std::string &text)
{
    if (which == 2)
        windows.message.setDelayCaption(text);
    return {windows.message.labelText(which), sizeOf(windows.message.labelRect(which)),
            windows.message.labelFont(which)};
}

Shown instructionsLabel(Windows &windows, const std::string &)
{
    const HWND label = windows.instruct.label1();
    RECT room;
    GetClientRect(label, &room);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(label)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(label, text.data(), static_cast<int>(text.size()))));
    return {win32::narrow(text), sizeOf(room), reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0))};
}

// The texts are made when the case runs, in the language the case is run in.
struct FitCase
{
    const char *name;
    Label label;
    std::vector<std::string> (*texts)(const Label &);
    // Has the window show the text in the label as the run does.
    Shown (*show)(Windows &, const std::string &);
};

std::vector<std::string> delayTexts(const Label &)
{
    std::vector<std::string> texts;
    const DelayTable table = standardDelayTable();
    for (int k = 1; k <= DelayCount; ++k)
        texts.push_back(i18n::tr(table[k].text.c_str()));
    return texts;
}

std::vector<std::string> amountTexts(const Label &)
{
    std::vector<std::string> texts;
    for (std::int16_t amount = 5; amount <= 100; amount += 5)
        texts.push_back(FormatAmount(amount));
    return texts;
}

std::vector<std::string> captionOf(const Label &label)
{
    return {label.caption.text()};
}

class Win32LayoutFonts : public testing::TestWithParam<std::tuple<std::string, FitCase>>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

std::vector<std::string> shippedCodes()
{
    std::vector<std::string> codes;
    for (const i18n::Language &language : i18n::shippedLanguages())
        codes.push_back(language.code);
    return codes;
}

// Whether the text's ink, drawn as the window draws it, stays inside a label of that size: drawn
// unclipped in the middle of a canvas three times as large, no ink may fall outside the label.
bool inkFits(HDC screen, const std::wstring &text, SIZE label, bool wrapped)
{
    const int width = 3 * label.cx;
    const int height = 3 * label.cy;
    win32::UniqueDC canvas(CreateCompatibleDC(screen));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    win32::UniqueBitmap bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const win32::Selected selectedBitmap(canvas.get(), bitmap.get());
    const win32::Selected selectedFont(canvas.get(), GetCurrentObject(screen, OBJ_FONT));
    const RECT all{0, 0, width, height};
    FillRect(canvas.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(canvas.get(), RGB(0, 0, 0));
    SetBkMode(canvas.get(), TRANSPARENT);
    RECT room{label.cx, label.cy, 2 * label.cx, 2 * label.cy};
    DrawTextW(canvas.get(), text.c_str(), int(text.size()), &room,
              DT_CENTER | DT_TOP | DT_NOPREFIX | DT_NOCLIP | (wrapped ? DT_WORDBREAK : DT_SINGLELINE));
    GdiFlush();
    const auto *pixels = static_cast<const std::uint32_t *>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool inside = x >= label.cx && x < 2 * label.cx && y >= label.cy && y < 2 * label.cy;
            if (!inside && (pixels[y * width + x] & 0xFFFFFF) != 0xFFFFFF)
                return false;
        }
    return true;
}

// Every text fits its label as the window draws it: in the language the window was made in, in the
// font it fitted to that text, in the face the system really draws for the layout's.
TEST_P(Win32LayoutFonts, TextFitsItsLabel)
{
    const auto &[language, fit] = GetParam();
    ASSERT_TRUE(i18n::setLanguage(language));
    Windows windows;
    win32::WindowDC screen(nullptr);
    for (const std::string &text : fit.texts(fit.label)) {
        const Shown shown = fit.show(windows, text);
        EXPECT_EQ(shown.text, text);
        ASSERT_TRUE(shown.font);
        const win32::Selected selected(screen.get(), shown.font);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(screen.get(), LF_FACESIZE, face);
        EXPECT_TRUE(inkFits(screen.get(), win32::widen(text), shown.room, fit.label.wrapped))
            << text << " in " << win32::narrow(face);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Labels, Win32LayoutFonts,
    testing::Combine(
        testing::ValuesIn(shippedCodes()),
        testing::Values(FitCase{"TaskFormLabel2", TaskFormLayout::Label2, captionOf, choiceLabel<TaskControl::Label2>},
                        FitCase{"VRewardEveryAmount", TaskFormLayout::VReward, amountTexts,
                                choiceLabel<TaskControl::VReward>},
                        FitCase{"Label5", TaskFormLayout::Label5, captionOf, choiceLabel<TaskControl::Label5>},
                        FitCase{"Label3", TaskFormLayout::Label3, captionOf, choiceLabel<TaskControl::Label3>},
                        FitCase{"Label1", TaskFormLayout::Label1, captionOf, choiceLabel<TaskControl::Label1>},
                        FitCase{"Label4", TaskFormLayout::Label4, captionOf, choiceLabel<TaskControl::Label4>},
                        FitCase{"VDelayEveryDelay", TaskFormLayout::VDelay, delayTexts, choiceLabel<TaskControl::VDelay>},
                        FitCase{"MsgFormLabel1", MsgFormLayout::Label1, captionOf, messageLabel<1>},
                        FitCase{"MsgFormLabel2EveryDelayInBold", MsgFormLayout::Label2, delayTexts, messageLabel<2>},
                        FitCase{"MsgFormLabel3", MsgFormLayout::Label3, captionOf, messageLabel<3>},
                        FitCase{"Instructions", InstructLayout::Label1, captionOf, instructionsLabel})),
    [](const testing::TestParamInfo<std::tuple<std::string, FitCase>> &info) {
        return std::get<1>(info.param).name + std::string("_") + std::get<0>(info.param);
    });


// How a caption is drawn against its layout's font size.
enum class Drawn { AtTheLayoutsSize, Smaller, AtTheFloor };

struct ShrinkCase
{
    const char *name;
    const char *language;
    Label label;
    Shown (*show)(Windows &, const std::string &);
    // Shown first, when not empty.
    const char *before;
    const char *text;
    Drawn drawn;
};

class Win32CaptionFit : public testing::TestWithParam<ShrinkCase>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

const std::string TooLong = [] {
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += "IN 6 MONATEN UND 3 WOCHEN UND 2 TAGEN";
    return text;
}();

// A caption that fits is drawn at the layout's size; one too wide at the largest whole-point size
// that fits, within its label; one too wide even at the floor at the floor, never below.
TEST_P(Win32CaptionFit, ShrinksOnlyWhenTooWide)
{
    const ShrinkCase &c = GetParam();
    ASSERT_TRUE(i18n::setLanguage(c.language));
    Windows windows;
    if (*c.before)
        c.show(windows, c.before);
    const std::string text = *c.text ? c.text : TooLong;
    const Shown shown = c.show(windows, text);
    ASSERT_EQ(shown.text, text);
    win32::WindowDC screen(nullptr);
    const double dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    LOGFONTW drawn{};
    ASSERT_TRUE(GetObjectW(shown.font, sizeof drawn, &drawn));
    const double points = std::round(-drawn.lfHeight * 72.0 / dpi);
    const auto widthAt = [&](double size) {
        Font font = c.label.font;
        font.points = size;
        const win32::UniqueFont larger = win32::makeFont(font, static_cast<UINT>(dpi));
        const win32::Selected selected(screen.get(), larger.get());
        SIZE extent{};
        GetTextExtentPoint32W(screen.get(), win32::widen(text).c_str(), static_cast<int>(win32::widen(text).size()),
                              &extent);
        return extent.cx;
    };
    switch (c.drawn) {
    case Drawn::AtTheLayoutsSize:
        EXPECT_EQ(points, c.label.font.points);
        break;
    case Drawn::Smaller: {
        EXPECT_LT(points, c.label.font.points);
        EXPECT_GT(points, FloorPoints);
        const win32::Selected selected(screen.get(), shown.font);
        EXPECT_TRUE(inkFits(screen.get(), win32::widen(text), shown.room, false));
        // The largest that fits: a point more would not.
        EXPECT_GT(widthAt(points + 1), shown.room.cx);
        break;
    }
    case Drawn::AtTheFloor:
        EXPECT_EQ(points, FloorPoints);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Captions, Win32CaptionFit,
    testing::Values(
        ShrinkCase{"AnEnglishDelayKeepsTheLayoutsSize", "en", TaskFormLayout::VDelay, choiceLabel<TaskControl::VDelay>,
                   "", "IN 6 MONTHS", Drawn::AtTheLayoutsSize},
        ShrinkCase{"AGermanDelayTooWideIsDrawnSmaller", "de", TaskFormLayout::VDelay, choiceLabel<TaskControl::VDelay>,
                   "", "IN 6 MONATEN", Drawn::Smaller},
        ShrinkCase{"ASpanishDelayTooWideIsDrawnSmaller", "es", TaskFormLayout::VDelay, choiceLabel<TaskControl::VDelay>,
                   "", "EN 1 SEMANA", Drawn::Smaller},
        ShrinkCase{"ADelayTooWideEvenAtTheFloorIsDrawnAtTheFloor", "de", TaskFormLayout::VDelay,
                   choiceLabel<TaskControl::VDelay>, "", "", Drawn::AtTheFloor},
        ShrinkCase{"AShortDelayAfterALongOneIsDrawnAtTheLayoutsSizeAgain", "de", TaskFormLayout::VDelay,
                   choiceLabel<TaskControl::VDelay>, "IN 6 MONATEN", "IN 1 TAG", Drawn::AtTheLayoutsSize},
        ShrinkCase{"AnEnglishAmountKeepsTheLayoutsSize", "en", TaskFormLayout::VReward, choiceLabel<TaskControl::VReward>,
                   "", "$100", Drawn::AtTheLayoutsSize},
        ShrinkCase{"TheBreakMessagesEnglishDelayKeepsTheLayoutsSize", "en", MsgFormLayout::Label2, messageLabel<2>, "",
                   "IN 5 YEARS", Drawn::AtTheLayoutsSize},
        ShrinkCase{"TheBreakMessagesDelayTooWideEvenAtTheFloorIsDrawnAtTheFloor", "de", MsgFormLayout::Label2,
                   messageLabel<2>, "", "", Drawn::AtTheFloor},
        ShrinkCase{"TheBreakMessagesEnglishFirstLineKeepsTheLayoutsSize", "en", MsgFormLayout::Label1, messageLabel<1>,
                   "", "Now choose between $100", Drawn::AtTheLayoutsSize},
        ShrinkCase{"TheBreakMessagesGermanFirstLineIsDrawnSmaller", "de", MsgFormLayout::Label1, messageLabel<1>, "",
                   "W\xC3\xA4hlen Sie nun zwischen 100 \xE2\x82\xAC", Drawn::Smaller},
        ShrinkCase{"TheBreakMessagesEnglishLastLinesKeepTheLayoutsSize", "en", MsgFormLayout::Label3, messageLabel<3>, "",
                   "and an amount of money available today.  Press the space bar to continue the task.",
                   Drawn::AtTheLayoutsSize}),
    [](const testing::TestParamInfo<ShrinkCase> &info) { return std::string(info.param.name); });

// A screen at one scaling: its size and dots per inch.
struct Scaling
{
    int width;
    int height;
    int dpi;
};

constexpr Scaling CommonScalings[] = {
    {1366, 768, 96},   {1366, 768, 120},  {1366, 768, 144},  {1366, 768, 168},  {1366, 768, 192},
    {1920, 1080, 96},  {1920, 1080, 120}, {1920, 1080, 144}, {1920, 1080, 168}, {1920, 1080, 192},
    {3840, 2160, 192},
};

// One control as a window laid it out: its place in display pixels, its place in the design (twips
// from the same origin), the texts it can show and, for a text, the font the window draws it in
// (showing it first where the run sets the label's text); none for a frame.
struct Placed
{
    std::string name;
    RECT rect;
    Rect design;
    std::function<HFONT(const std::string &)> font;
    std::vector<std::string> texts;
    bool wrapped = false;
};

// A window laid out for a display, kept while its controls are looked at: the controls that must be
// seen and the scale it took.
struct LaidOut
{
    std::shared_ptr<void> window;
    std::vector<Placed> controls;
    double scale = 0;
};

RECT offset(RECT r, POINT by)
{
    OffsetRect(&r, by.x, by.y);
    return r;
}

Rect within(const Rect &frame, const Rect &label)
{
    return {frame.left + label.left, frame.top + label.top, label.width, label.height};
}

// The rectangle of a child window in its parent's client area.
RECT childRect(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT *>(&r), 2);
    return r;
}

LaidOut choiceWindow(win32::MessageLoop &loop, const Display &display)
{
    const auto window = std::make_shared<win32::TaskForm>(loop);
    win32::TaskForm &form = *window;
    form.layOutFor(display);
    using L = TaskFormLayout;
    LaidOut out{window, {}, *form.displayScale()};
    auto add = [&](TaskControl control, const Label &label, std::vector<std::string> texts, const Frame *frame) {
        const Rect design = frame ? within(frame->rect, label.rect) : label.rect;
        const bool set = control == TaskControl::VDelay || control == TaskControl::VReward;
        const auto font = [&form, control, set](const std::string &text) {
            if (set)
                form.setCaption(control, text);
            return form.labelFont(control);
        };
        out.controls.push_back({label.name, form.controlRect(control), design, font, std::move(texts), label.wrapped});
    };
    out.controls.push_back({"Frame1", form.controlRect(TaskControl::Frame1), L::Frame1.rect, {}, {}, false});
    out.controls.push_back({"Frame2", form.controlRect(TaskControl::Frame2), L::Frame2.rect, {}, {}, false});
    add(TaskControl::Label2, L::Label2, captionOf(L::Label2), nullptr);
    add(TaskControl::VReward, L::VReward, amountTexts(L::VReward), &L::Frame2);
    add(TaskControl::Label5, L::Label5, captionOf(L::Label5), &L::Frame2);
    add(TaskControl::Label3, L::Label3, captionOf(L::Label3), &L::Frame2);
    add(TaskControl::Label1, L::Label1, captionOf(L::Label1), &L::Frame1);
    add(TaskControl::Label4, L::Label4, captionOf(L::Label4), &L::Frame1);
    add(TaskControl::VDelay, L::VDelay, delayTexts(L::VDelay), &L::Frame1);
    return out;
}

LaidOut instructions(win32::MessageLoop &loop, const Display &display)
{
    const auto window = std::make_shared<win32::Instruct>(loop);
    win32::Instruct &instruct = *window;
    instruct.layOutFor(display);
    using L = InstructLayout;
    const auto font = [](HWND control) {
        return [control](const std::string &) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); };
    };
    LaidOut out{window, {}, instruct.displayScale()};
    out.controls.push_back(
        {"Label1", childRect(instruct.label1()), L::Label1.rect, font(instruct.label1()), captionOf(L::Label1), true});
    out.controls.push_back(
        {"Command1", childRect(instruct.command1()), L::Command1, font(instruct.command1()), {L::Command1Caption.text()}, false});
    return out;
}

LaidOut breakMessage(win32::MessageLoop &, const Display &display)
{
    const auto window = std::make_shared<win32::MsgForm>(nullptr);
    win32::MsgForm &msg = *window;
    msg.layOutFor(display);
    using L = MsgFormLayout;
    // Labels in screen coordinates, as the client area's place is.
    POINT client{0, 0};
    ClientToScreen(msg.window(), &client);
    RECT area;
    GetClientRect(msg.window(), &area);
    LaidOut out{window, {{"Client", offset(area, client), L::Client, {}, {}, false}}, msg.displayScale()};
    int which = 1;
    for (const Label *label : {&L::Label1, &L::Label2, &L::Label3}) {
        const auto font = [&msg, which](const std::string &text) {
            if (which == 2)
                msg.setDelayCaption(text);
            return msg.labelFont(which);
        };
        out.controls.push_back({label->name, offset(msg.labelRect(which), client), within(L::Client, label->rect),
                                font, which == 2 ? delayTexts(*label) : captionOf(*label), label->wrapped});
        ++which;
    }
    return out;
}

struct FittedWindow
{
    const char *name;
    LaidOut (*layOut)(win32::MessageLoop &, const Display &);
};

// Every window at every common scaling, its available area injected (below a 40-pixel taskbar and a
// 23-pixel title bar at 100 %, both growing with the scaling): what must be seen lies inside the area,
// at the display's own scale where that fits and otherwise smaller, keeping its proportions, and
// centred; every text's ink stays inside its label in the font the window draws it with.
TEST(Win32DisplayFit, EveryWindowFitsEveryCommonScaling)
{
    win32::MessageLoop loop;
    win32::WindowDC screen(nullptr);
    for (const FittedWindow &window : {FittedWindow{"TaskForm", choiceWindow}, FittedWindow{"Instruct", instructions},
                                       FittedWindow{"MsgForm", breakMessage}})
        for (const Scaling &scaling : CommonScalings) {
            const int titleBar = static_cast<int>(std::lround(23.0 * scaling.dpi / 96));
            const int taskbar = static_cast<int>(std::lround(40.0 * scaling.dpi / 96));
            const Rect area{0, titleBar, scaling.width, scaling.height - titleBar - taskbar};
            SCOPED_TRACE(std::string(window.name) + " on " + std::to_string(scaling.width) + "x"
                         + std::to_string(scaling.height) + " at " + std::to_string(scaling.dpi) + " dpi");
            const LaidOut laid = window.layOut(loop, {area, scaling.dpi});
            const double own = scaling.dpi / 96.0;
            ASSERT_FALSE(laid.controls.empty());
            EXPECT_LE(laid.scale, own);
            EXPECT_GT(laid.scale, 0.4);

            RECT box = laid.controls.front().rect;
            for (const Placed &control : laid.controls) {
                SCOPED_TRACE(control.name);
                const RECT &r = control.rect;
                EXPECT_TRUE(r.left >= area.left && r.top >= area.top && r.right <= area.left + area.width
                            && r.bottom <= area.top + area.height);
                UnionRect(&box, &box, &r);
                // Every measure and every distance from the first control is the design's at one scale
                // (a label in a frame is rounded twice: its frame's place and its own).
                const Placed &first = laid.controls.front();
                const double pixelsPerTwip = laid.scale / 15.0;
                EXPECT_NEAR(r.right - r.left, control.design.width * pixelsPerTwip, 1.0);
                EXPECT_NEAR(r.bottom - r.top, control.design.height * pixelsPerTwip, 1.0);
                EXPECT_NEAR(r.left - first.rect.left, (control.design.left - first.design.left) * pixelsPerTwip, 2.0);
                EXPECT_NEAR(r.top - first.rect.top, (control.design.top - first.design.top) * pixelsPerTwip, 2.0);
                if (!control.font)
                    continue;
                for (const std::string &text : control.texts) {
                    const win32::Selected selected(screen.get(), control.font(text));
                    EXPECT_TRUE(inkFits(screen.get(), win32::widen(text), {r.right - r.left, r.bottom - r.top},
                                        control.wrapped))
                        << text;
                }
            }
            if (laid.scale < own) {
                // Reduced: centred in the area, but for the rounding of its edges.
                EXPECT_LE(std::abs((box.left - area.left) - (area.left + area.width - box.right)), 2);
                EXPECT_LE(std::abs((box.top - area.top) - (area.top + area.height - box.bottom)), 2);
            } else {
                EXPECT_EQ(laid.scale, own);
            }
        }
}

} // namespace
