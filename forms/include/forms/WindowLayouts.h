#pragma once

#include "forms/Layout.h"

// The four windows as both front-ends draw them: captions, client areas, and every control's place,
// font and text. Measures are twips.
namespace kpx::forms {

inline constexpr Font MsSansSerif18{"MS Sans Serif", 18};
inline constexpr Font Arial48{"Arial", 48};

// A frame and the labels drawn in its area (their places are relative to it).
struct Frame
{
    const char *name = "";
    Rect rect;
    i18n::Text caption = "";
};

// A command of a menu bar without sub-items.
struct MenuCommand
{
    const char *name = "";
    i18n::Text text = "";
    bool enabled = true;
};

struct StartFormLayout
{
    static constexpr const char *Caption = "KPX-2";
    // Its screen place is the window system's choice.
    static constexpr Size Client{4245, 4320};
    // Left to right. The texts double as the settings' display: CutCtrl's and DTThresh's come from
    // the settings at start (cutoffMenuTextAtStart, thresholdMenuText).
    static constexpr MenuCommand SIDCtrl{"SIDCtrl", KPX_TR("Subject ID")};
    static constexpr MenuCommand CutCtrl{"CutCtrl"};
    static constexpr MenuCommand DTThresh{"DTThresh"};
    static constexpr MenuCommand StartCtrl{"StartCtrl", KPX_TR("Start"), false};
    // Lists the shipped languages by their own names; the one chosen is the run's.
    static constexpr MenuCommand LangCtrl{"LangCtrl", KPX_TR("Language")};
    // Lies behind the two lists, which sit in its area without being its children.
    static constexpr Frame Frame1{"Frame1", {360, 240, 3495, 3855}, KPX_TR("Output Directory")};
    // Tab order: Drive1, then Dir1.
    static constexpr Rect Drive1{960, 720, 2295, 315};
    static constexpr Rect Dir1{960, 1080, 2295, 2565};
};

struct InstructLayout
{
    static constexpr i18n::Text Caption{KPX_TR("Instructions")};
    // The size it takes when restored; it opens maximized, the controls reaching beyond this.
    static constexpr Size Client{9615, 6750};
    static constexpr Label Label1{
        "Label1", {3000, 2280, 9135, 5295}, MsSansSerif18,
        KPX_TR("During this task, you will be presented with a series of choices.  In each case, you will be asked to "
        "choose between a variable amount of money available NOW, and a fixed amount of money available after a "
        "delay.  For each choice, you will only be able to respond after the choice options appear in black.  "
        "Please consider each choice carefully, and answer the questions as if it were real money.  Some questions "
        "may be repeated.  Please click the Okay button when you are ready to begin."),
        true};
    // The one control that takes the focus.
    static constexpr Rect Command1{6960, 9960, 1215, 615};
    static constexpr Font Command1Font{"MS Sans Serif", 13.5};
    static constexpr i18n::Text Command1Caption{KPX_TR("OK")};
};

// No title text; opens maximized. Background and text in the system's button colours until the run
// colours the option labels.
struct TaskFormLayout
{
    static constexpr Size Client{15240, 9465};
    static constexpr Label Label2{"Label2", {2640, 960, 10095, 495}, MsSansSerif18,
                                  KPX_TR("Please choose between the following two options:")};
    // The immediate option, on the left.
    static constexpr Frame Frame2{"Frame2", {360, 2520, 6615, 6375}};
    static constexpr Label VReward{"VReward", {1320, 1080, 3975, 1095}, Arial48};
    static constexpr Label Label5{"Label5", {1080, 2640, 4455, 1095}, Arial48, KPX_TR("available")};
    static constexpr Label Label3{"Label3", {1320, 4200, 3975, 1095}, Arial48, KPX_TR("NOW")};
    // The delayed option, on the right.
    static constexpr Frame Frame1{"Frame1", {8400, 2520, 6615, 6375}};
    // TRANSLATORS: the delayed amount; write it as you write "$%1".
    static constexpr Label Label1{"Label1", {1320, 1080, 3975, 1095}, Arial48, KPX_TR("$100")};
    static constexpr Label Label4{"Label4", {960, 2640, 4695, 1095}, Arial48, KPX_TR("available")};
    static constexpr Label VDelay{"VDelay", {120, 4200, 6375, 1095}, Arial48};
    static constexpr int Timer1Interval = 2000;
};

// No title text; not maximized, its client area at a fixed place on the screen.
struct MsgFormLayout
{
    static constexpr Rect Client{4620, 3975, 7005, 4455};
    static constexpr Label Label1{"Label1", {120, 720, 6735, 615}, {"MS Sans Serif", 24}, KPX_TR("Now choose between $100")};
    // The coming block's delay.
    static constexpr Label Label2{"Label2", {1440, 1440, 4095, 495}, {"MS Sans Serif", 24, Weight::Bold}};
    static constexpr Label Label3{"Label3", {120, 2040, 6735, 2295}, {"MS Sans Serif", 24},
                                  KPX_TR("and an amount of money available today.  Press the space bar to continue the task."),
                                  true};
};

} // namespace kpx::forms
