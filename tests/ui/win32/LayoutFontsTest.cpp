#include "engine/DelayTable.h"
#include "engine/TaskEngine.h"
#include "forms/WindowLayouts.h"
#include "i18n/Tr.h"
#include "win32/Drawing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

using namespace kpx;
using namespace kpx::forms;

namespace {

// The texts are made when the case runs, in the language the case is run in.
struct FitCase
{
    const char *name;
    Label label;
    std::vector<std::string> (*texts)(const Label &);
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

// Every fixed text fits its label in the face the system really draws for the layout's.
TEST_P(Win32LayoutFonts, TextFitsItsLabel)
{
    const auto &[language, fit] = GetParam();
    ASSERT_TRUE(i18n::setLanguage(language));
    win32::WindowDC screen(nullptr);
    const UINT dpi = static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY));
    const win32::UniqueFont font = win32::makeFont(fit.label.font, dpi);
    const win32::Selected selected(screen.get(), font.get());
    const RECT room = win32::pixels(fit.label.rect, dpi);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen.get(), LF_FACESIZE, face);
    for (const std::string &text : fit.texts(fit.label))
        EXPECT_TRUE(inkFits(screen.get(), win32::widen(text), {room.right - room.left, room.bottom - room.top},
                            fit.label.wrapped))
            << text << " in " << win32::narrow(face);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, Win32LayoutFonts,
    testing::Combine(testing::ValuesIn(shippedCodes()), testing::Values(FitCase{"TaskFormLabel2", TaskFormLayout::Label2, captionOf},
                    FitCase{"VRewardEveryAmount", TaskFormLayout::VReward, amountTexts},
                    FitCase{"Label5", TaskFormLayout::Label5, captionOf},
                    FitCase{"Label3", TaskFormLayout::Label3, captionOf},
                    FitCase{"Label1", TaskFormLayout::Label1, captionOf},
                    FitCase{"Label4", TaskFormLayout::Label4, captionOf},
                    FitCase{"VDelayEveryDelay", TaskFormLayout::VDelay, delayTexts},
                    FitCase{"MsgFormLabel1", MsgFormLayout::Label1, captionOf},
                    FitCase{"MsgFormLabel2EveryDelayInBold", MsgFormLayout::Label2, delayTexts},
                    FitCase{"MsgFormLabel3", MsgFormLayout::Label3, captionOf},
                    FitCase{"Instructions", InstructLayout::Label1, captionOf})),
    [](const testing::TestParamInfo<std::tuple<std::string, FitCase>> &info) {
        return std::get<1>(info.param).name + std::string("_") + std::get<0>(info.param);
    });

} // namespace

#include "win32/Instruct.h"
#include "win32/MessageLoop.h"
#include "win32/MsgForm.h"
#include "win32/TaskForm.h"

#include <cmath>
#include <cstdlib>

namespace {

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
// from the same origin), the font and the texts it can show.
struct Placed
{
    std::string name;
    RECT rect;
    Rect design;
    HFONT font = nullptr;
    std::vector<std::string> texts;
    bool wrapped = false;
};

// A window laid out for a display: the controls that must be seen and the scale it took.
struct LaidOut
{
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
    win32::TaskForm form(loop);
    form.layOutFor(display);
    using L = TaskFormLayout;
    LaidOut out{{}, *form.displayScale()};
    auto add = [&](TaskControl control, const Label &label, std::vector<std::string> texts, const Frame *frame) {
        const Rect design = frame ? within(frame->rect, label.rect) : label.rect;
        out.controls.push_back(
            {label.name, form.controlRect(control), design, form.labelFont(control), std::move(texts), label.wrapped});
    };
    out.controls.push_back({"Frame1", form.controlRect(TaskControl::Frame1), L::Frame1.rect, nullptr, {}, false});
    out.controls.push_back({"Frame2", form.controlRect(TaskControl::Frame2), L::Frame2.rect, nullptr, {}, false});
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
    win32::Instruct instruct(loop);
    instruct.layOutFor(display);
    using L = InstructLayout;
    const auto font = [](HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); };
    LaidOut out{{}, instruct.displayScale()};
    out.controls.push_back(
        {"Label1", childRect(instruct.label1()), L::Label1.rect, font(instruct.label1()), captionOf(L::Label1), true});
    out.controls.push_back(
        {"Command1", childRect(instruct.command1()), L::Command1, font(instruct.command1()), {L::Command1Caption.text()}, false});
    return out;
}

LaidOut breakMessage(win32::MessageLoop &, const Display &display)
{
    win32::MsgForm msg(nullptr);
    msg.layOutFor(display);
    using L = MsgFormLayout;
    // Labels in screen coordinates, as the client area's place is.
    POINT client{0, 0};
    ClientToScreen(msg.window(), &client);
    RECT area;
    GetClientRect(msg.window(), &area);
    LaidOut out{{{"Client", offset(area, client), L::Client, nullptr, {}, false}}, msg.displayScale()};
    int which = 1;
    for (const Label *label : {&L::Label1, &L::Label2, &L::Label3}) {
        out.controls.push_back({label->name, offset(msg.labelRect(which), client), within(L::Client, label->rect),
                                msg.labelFont(which), which == 2 ? delayTexts(*label) : captionOf(*label), label->wrapped});
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
                const win32::Selected selected(screen.get(), control.font);
                for (const std::string &text : control.texts)
                    EXPECT_TRUE(inkFits(screen.get(), win32::widen(text), {r.right - r.left, r.bottom - r.top},
                                        control.wrapped))
                        << text;
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
