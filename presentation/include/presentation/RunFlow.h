#pragma once

#include "presentation/InputTime.h"
#include "results/ResultsWriter.h"
#include "results/TrialRecorder.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace kpx {

class BreakScreen;
class Clock;
class EventWaiter;
class RunHost;
class TaskEngine;
class TrialScreen;
struct RunSettings;

// Virtual-key codes the windows pass on; the task answers to Left, Right and Space.
namespace VirtualKey {
constexpr int Space = 32;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
} // namespace VirtualKey

// How long each phase of a trial lasts; shortened in tests.
struct Timings
{
    double greenSeconds = 0.5;  // the chosen option stays green
    double blankSeconds = 1.0;  // screen empty before the next options show in white
    int activationMs = 2000;    // white options until they turn black and answerable
};

// Where a run stands, for what ending it now would cost.
enum class RunStage {
    NotStarted,
    Trials,         // answers are being taken; the results files are written only at the end
    WritingResults, // the results files are being written, or a failure to write them is being resolved
    ResultsWritten, // both files are written; the completion message is up
    Finished,
};

// The trial cycle and the run from the start of the task to its completion.
class RunFlow
{
public:
    // Everything passed in must outlive the flow; settings are read at start and at the end.
    RunFlow(TaskEngine &engine, const RunSettings &settings, TrialScreen &screen, BreakScreen &breakScreen,
            EventWaiter &waiter, RunHost &host, const Clock &clock, Timings timings = {},
            ResultsFormat resultsFormat = {}, Files &files = systemFiles());
    ~RunFlow();

    // The instructions' OK. Opens the trial log first: without one the run does not start.
    // Ignored once a run has started.
    void StartTask();

    // Ends an unfinished run at once (the application is closing): every wait returns and
    // nothing more is shown or recorded. Answered trials are already in the trial log.
    void abort();

    // A key on the choice window. Auto-repeated presses are never responses. While a break
    // message waits, the space bar here continues as it does on the message. The response is
    // timed by the event's own timestamp (milliseconds of the window system's clock; 0: none) or by
    // the moment it was taken from the queue.
    void KeyDown(int keyCode, bool autoRepeat = false, InputStamp stamp = {});
    // A click on the delayed option (Frame1 or one of its labels).
    void clickDelayed(InputStamp stamp = {});
    // A click on the immediate option (Frame2 or one of its labels).
    void clickImmediate(InputStamp stamp = {});
    // Timer1: the trial on screen becomes answerable.
    void activate();

    // A key on the break window: the space bar continues.
    void breakKeyDown(int keyCode, bool autoRepeat = false);
    // Releases a waiting break message; harmless at any other time.
    void SignalContinue();

    // Receives the moment each phase of a trial begins, in milliseconds since the start of the
    // task, for timing audits: "response" (the input event's own time), then, each taken once the
    // window has painted it, "green", "cleared", "white", "answerable"; and "break" and
    // "continued" (a break message shown and dismissed).
    void setPhaseTrace(std::function<void(const char *phase, double ms)> trace);

    // The trial log of the run, once it has started.
    std::optional<std::string> trialLogPath() const;

    RunStage stage() const;
    bool started() const { return m_started; }
    bool finished() const { return m_finished; }
    // True while a response is being processed (green, blank, break); no response is taken then.
    bool responding() const { return m_responding; }

private:
    // The moment an input event happened on the run's clock, or nothing when it happened before the
    // options turned black: handled late, it still belongs to the white phase, where input does nothing.
    std::optional<double> answerTime(const InputStamp &stamp);
    void recordResponse(ResponseInput input, double eventMs);
    // Whether a click may answer the trial now; if so, it is recorded as the response.
    bool takeClick(const InputStamp &stamp);
    // Shows the changes made so far at once, then returns the moment they were on screen.
    double presentNow();
    double now() const;
    // Pauses until the run's clock reaches the deadline, so work done since the phase began counts;
    // `prepare` makes the next phase's changes just before the end, to be painted when it comes.
    void pauseUntil(double deadlineMs, const std::function<void()> &prepare = {});
    void markPhase(const char *phase, double ms);
    void ChooseDelayed();
    void ChooseImmediate();
    void NextTrial();
    void blockBreak();
    void completion();
    // A block took as many answers as it can count without ending: the run stops, its log kept.
    void stopAtFullBlock();
    void breakWait();
    // Where the results went, or nullopt when they were discarded.
    std::optional<WrittenResults> writeResults();

    TaskEngine &m_engine;
    const RunSettings &m_settings;
    TrialScreen &m_screen;
    BreakScreen &m_break;
    EventWaiter &m_waiter;
    RunHost &m_host;
    const Clock &m_clock;
    Timings m_timings;
    ResultsFormat m_resultsFormat;
    Files &m_files;

    std::int16_t ContinueFlag = 0;
    bool m_started = false;
    bool m_finished = false;
    bool m_responding = false;
    bool m_framesEnabled = false;
    bool m_breakWaiting = false;
    bool m_writingResults = false;
    bool m_resultsWritten = false;

    TrialRecorder m_recorder;
    std::function<void(const char *, double)> m_phaseTrace;
    double m_startMs = 0.0;
    double m_answerableOnsetMs = 0.0;
    InputTimeMap m_inputTimes;
};

} // namespace kpx
