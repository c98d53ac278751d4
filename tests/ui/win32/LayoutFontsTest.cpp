#include "engine/DelayTable.h"
#include "engine/TaskEngine.h"
#include "forms/WindowLayouts.h"
#include "win32/Drawing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace kpx;
using namespace kpx::forms;

namespace {

struct FitCase
{
    const char *name;
    Label label;
    std::vector<std::string> texts;
};

std::vector<std::string> delayTexts()
{
    std::vector<std::string> texts;
    const DelayTable table = standardDelayTable();
    for (int k = 1; k <= DelayCount; ++k)
        texts.push_back(table[k].text);
    return texts;
}

std::vector<std::string> amountTexts()
{
    std::vector<std::string> texts;
    for (std::int16_t amount = 5; amount <= 100; amount += 5)
        texts.push_back(FormatAmount(amount));
    return texts;
}

std::vector<std::string> captionOf(const Label &label)
{
    return {label.caption};
}

class Win32LayoutFonts : public testing::TestWithParam<FitCase>
{
};

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
    const FitCase &fit = GetParam();
    win32::WindowDC screen(nullptr);
    const UINT dpi = static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY));
    const win32::UniqueFont font = win32::makeFont(fit.label.font, dpi);
    const win32::Selected selected(screen.get(), font.get());
    const RECT room = win32::pixels(fit.label.rect, dpi);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen.get(), LF_FACESIZE, face);
    for (const std::string &text : fit.texts)
        EXPECT_TRUE(inkFits(screen.get(), win32::widen(text), {room.right - room.left, room.bottom - room.top},
                            fit.label.wrapped))
            << text << " in " << win32::narrow(face);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, Win32LayoutFonts,
    testing::Values(FitCase{"TaskFormLabel2", TaskFormLayout::Label2, captionOf(TaskFormLayout::Label2)},
                    FitCase{"VRewardEveryAmount", TaskFormLayout::VReward, amountTexts()},
                    FitCase{"Label5", TaskFormLayout::Label5, captionOf(TaskFormLayout::Label5)},
                    FitCase{"Label3", TaskFormLayout::Label3, captionOf(TaskFormLayout::Label3)},
                    FitCase{"Label1", TaskFormLayout::Label1, captionOf(TaskFormLayout::Label1)},
                    FitCase{"Label4", TaskFormLayout::Label4, captionOf(TaskFormLayout::Label4)},
                    FitCase{"VDelayEveryDelay", TaskFormLayout::VDelay, delayTexts()},
                    FitCase{"MsgFormLabel1", MsgFormLayout::Label1, captionOf(MsgFormLayout::Label1)},
                    FitCase{"MsgFormLabel2EveryDelayInBold", MsgFormLayout::Label2, delayTexts()},
                    FitCase{"MsgFormLabel3", MsgFormLayout::Label3, captionOf(MsgFormLayout::Label3)},
                    FitCase{"Instructions", InstructLayout::Label1, captionOf(InstructLayout::Label1)}),
    [](const testing::TestParamInfo<FitCase> &info) { return std::string(info.param.name); });

} // namespace
