#pragma once

#include "results/ResultsWriter.h"

#include <cstdint>

namespace kpx {

class BreakScreen;
class EventWaiter;
class RunHost;
class TaskEngine;
class TrialScreen;
struct RunSettings;

// Virtual-key codes the task listens to.
namespace VirtualKey {
constexpr int Space = 32;
constexpr int Left = 37;
constexpr int Right = 39;
} // namespace VirtualKey

// How long each phase of a trial lasts; shortened in tests.
struct Timings
{
    double greenSeconds = 0.5;  // the chosen option stays green
    double blankSeconds = 1.0;  // screen empty before the next options show in white
    int activationMs = 2000;    // white options until they turn black and answerable
};

// The trial cycle and the run from the start of the task to its completion.
class RunFlow
{
public:
    // Everything passed in must outlive the flow; settings are read at start and at the end.
    RunFlow(TaskEngine &engine, const RunSettings &settings, TrialScreen &screen, BreakScreen &breakScreen,
            EventWaiter &waiter, RunHost &host, Timings timings = {}, ResultsFormat resultsFormat = {});

    // The instructions' OK. Ignored once a run has started.
    void StartTask();

    // A key on the choice window. Auto-repeated presses are never responses.
    void KeyDown(int keyCode, bool autoRepeat = false);
    // A click on the delayed option (Frame1 or one of its labels).
    void ClickDelayed();
    // A click on the immediate option (Frame2 or one of its labels).
    void ClickImmediate();
    // Timer1: the trial on screen becomes answerable.
    void Activate();

    // A key on the break window: the space bar continues.
    void BreakKeyDown(int keyCode, bool autoRepeat = false);
    // Releases a waiting break message; harmless at any other time.
    void SignalContinue();

    bool started() const { return m_started; }
    bool finished() const { return m_finished; }
    // True while a response is being processed (green, blank, break); no response is taken then.
    bool responding() const { return m_responding; }

private:
    void ChooseDelayed();
    void ChooseImmediate();
    void NextTrial();
    void BlockBreak();
    void Completion();
    void BreakWait();
    bool writeResults();

    TaskEngine &m_engine;
    const RunSettings &m_settings;
    TrialScreen &m_screen;
    BreakScreen &m_break;
    EventWaiter &m_waiter;
    RunHost &m_host;
    Timings m_timings;
    ResultsFormat m_resultsFormat;

    std::int16_t ContinueFlag = 0;
    bool m_started = false;
    bool m_finished = false;
    bool m_responding = false;
    bool m_framesEnabled = false;
};

} // namespace kpx
