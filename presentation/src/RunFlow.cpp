#include "presentation/RunFlow.h"

#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "i18n/Tr.h"
#include "presentation/BreakScreen.h"
#include "presentation/EventWaiter.h"
#include "presentation/RunHost.h"
#include "presentation/TrialScreen.h"
#include "results/Clock.h"

#include <array>
#include <string>

namespace kpx {

namespace {

constexpr std::array OptionLabels{TaskControl::Label1, TaskControl::Label3, TaskControl::Label4,
                                  TaskControl::Label5, TaskControl::VDelay, TaskControl::VReward};

constexpr std::int16_t True16 = -1;

void setOptionLabelsForeColor(TrialScreen &screen, TaskColor color)
{
    for (TaskControl label : OptionLabels)
        screen.setForeColor(label, color);
}

void setFramesEnabled(TrialScreen &screen, bool enabled)
{
    screen.setEnabled(TaskControl::Frame1, enabled);
    screen.setEnabled(TaskControl::Frame2, enabled);
}

enum class Choice { Delayed, Immediate };

// The answer on screen: the chosen option green, and neither option taking clicks any more.
void showChoice(TrialScreen &screen, Choice choice)
{
    const auto chosen = choice == Choice::Delayed
                            ? std::array{TaskControl::Frame1, TaskControl::VDelay, TaskControl::Label1, TaskControl::Label4}
                            : std::array{TaskControl::Frame2, TaskControl::VReward, TaskControl::Label3, TaskControl::Label5};
    for (TaskControl control : chosen)
        screen.setBackColor(control, TaskColor::Green);
    setFramesEnabled(screen, false);
}

} // namespace

RunFlow::RunFlow(TaskEngine &engine, const RunSettings &settings, TrialScreen &screen, BreakScreen &breakScreen,
                 EventWaiter &waiter, RunHost &host, const Clock &clock, Timings timings, ResultsFormat resultsFormat,
                 Files &files)
    : m_engine(engine)
    , m_settings(settings)
    , m_screen(screen)
    , m_break(breakScreen)
    , m_waiter(waiter)
    , m_host(host)
    , m_clock(clock)
    , m_timings(timings)
    , m_resultsFormat(resultsFormat)
    , m_files(files)
    , m_recorder(host, files)
{
}

RunFlow::~RunFlow() = default;

void RunFlow::setPhaseTrace(std::function<void(const char *, double)> trace)
{
    m_phaseTrace = std::move(trace);
}

std::optional<std::string> RunFlow::trialLogPath() const
{
    return m_recorder.logPath();
}

RunStage RunFlow::stage() const
{
    if (m_finished)
        return RunStage::Finished;
    if (m_resultsWritten)
        return RunStage::ResultsWritten;
    if (m_writingResults)
        return RunStage::WritingResults;
    return m_started ? RunStage::Trials : RunStage::NotStarted;
}

double RunFlow::now() const
{
    return m_clock.milliseconds() - m_startMs;
}

void RunFlow::pauseUntil(double deadlineMs, const std::function<void()> &prepare)
{
    const double left = deadlineMs - now();
    if (left > 0.0)
        m_waiter.pauseThen(left / 1000.0, [&] {
            if (prepare)
                prepare();
            m_screen.paintAhead();
        });
    else if (prepare && !m_finished)
        prepare();
}

void RunFlow::markPhase(const char *phase, double ms)
{
    if (m_phaseTrace)
        m_phaseTrace(phase, ms);
}

std::optional<double> RunFlow::answerTime(const InputStamp &stamp)
{
    // Timed by the event itself, not by when its handler ran. Timestamps count whole milliseconds,
    // so one pressed within a millisecond before the onset counts from the onset; a retrieval time
    // is as exact as the onset's.
    const double eventMs = m_inputTimes.eventTime(stamp, now());
    const double slackMs = stamp.retrievedBeforeMs() ? 0.0 : 1.0;
    if (eventMs < m_answerableOnsetMs - slackMs)
        return std::nullopt;
    return eventMs;
}

void RunFlow::recordResponse(ResponseInput input, double eventMs)
{
    markPhase("response", m_recorder.respond(input, eventMs));
}

double RunFlow::presentNow()
{
    m_screen.present();
    if (const std::optional<double> onsetMs = m_screen.presentedAtMs())
        return *onsetMs - m_startMs;
    return now();
}

void RunFlow::StartTask()
{
    // The setup window's Start stays usable, so OK can come twice; one run per process.
    if (m_started || m_finished)
        return;
    m_started = true;
    m_startMs = m_clock.milliseconds();
    // Said before the first trial, not after the last: the ID or the folder must change first.
    if (auto clash = resultsNameClash(m_settings.SubjectId, m_settings.OutputDirectory, m_files, m_resultsFormat)) {
        m_started = false;
        m_host.reportResultsNameClash(*clash);
        return;
    }
    // Every answer must be on record from the first trial on.
    if (!m_recorder.open(m_settings.OutputDirectory, m_settings.SubjectId, m_clock.localNow())) {
        m_started = false;
        return;
    }

    m_host.hideInstructions();
    m_engine.resetSchedule();
    m_screen.setCaption(TaskControl::VReward, FormatAmount(m_engine.state().ImmediateAmount));
    m_screen.setCaption(TaskControl::VDelay, i18n::tr(m_engine.currentDelayText().c_str()));
    m_engine.resetCounters(m_settings.DistractorThreshold);
    m_screen.setAcceptKeys(false);
    setOptionLabelsForeColor(m_screen, TaskColor::White);
    m_screen.show();
    // The first trial's options are on screen in white from here on, behind the break message.
    const double whiteOnsetMs = presentNow();
    m_recorder.trialShown(whiteOnsetMs, false, m_screen.displayScale());
    markPhase("white", whiteOnsetMs);
    m_break.setDelayCaption(m_screen.caption(TaskControl::VDelay));
    breakWait();
    if (m_finished)
        return;
    m_screen.setTimerInterval(m_timings.activationMs);
    m_screen.setTimerEnabled(true);
    markPhase("continued", now());
}

void RunFlow::abort()
{
    if (m_finished)
        return;
    m_finished = true;
    m_screen.setTimerEnabled(false);
    m_waiter.cancel();
}

void RunFlow::KeyDown(int keyCode, bool autoRepeat, InputStamp stamp)
{
    // Where the window system does not hand the keyboard to the break message, the space bar
    // reaches the choice window instead; it must still continue the task.
    if (m_breakWaiting) {
        breakKeyDown(keyCode, autoRepeat);
        return;
    }
    // A key held down from an earlier trial repeats; only a fresh press is a choice.
    if (autoRepeat || m_finished || m_responding)
        return;
    if (!m_screen.AcceptKeys())
        return;
    const std::optional<double> eventMs = answerTime(stamp);
    if (!eventMs)
        return;
    m_screen.setAcceptKeys(false);
    if (keyCode == VirtualKey::Left) {
        recordResponse(ResponseInput::Key, *eventMs);
        ChooseImmediate();
    } else if (keyCode == VirtualKey::Right) {
        recordResponse(ResponseInput::Key, *eventMs);
        ChooseDelayed();
    }
}

void RunFlow::clickDelayed(InputStamp stamp)
{
    if (takeClick(stamp))
        ChooseDelayed();
}

void RunFlow::clickImmediate(InputStamp stamp)
{
    if (takeClick(stamp))
        ChooseImmediate();
}

bool RunFlow::takeClick(const InputStamp &stamp)
{
    if (m_finished || m_responding || !m_framesEnabled)
        return false;
    const std::optional<double> eventMs = answerTime(stamp);
    if (!eventMs)
        return false;
    // One response per trial: a key pressed later must not answer the next trial early.
    m_screen.setAcceptKeys(false);
    recordResponse(ResponseInput::Click, *eventMs);
    return true;
}

void RunFlow::ChooseDelayed()
{
    showChoice(m_screen, Choice::Delayed);
    m_engine.state().ChoseDelayed = true;
    NextTrial();
}

void RunFlow::ChooseImmediate()
{
    showChoice(m_screen, Choice::Immediate);
    m_engine.state().ChoseImmediate = true;
    NextTrial();
}

void RunFlow::NextTrial()
{
    // Events keep flowing during the pauses below; this trial has had its response.
    m_responding = true;
    m_framesEnabled = false;
    // Each phase is timed from the moment it was painted, which is when the participant sees it.
    const double greenOnsetMs = presentNow();
    markPhase("green", greenOnsetMs);
    pauseUntil(greenOnsetMs + m_timings.greenSeconds * 1000.0, [this] {
        m_screen.setVisible(TaskControl::Frame1, false);
        m_screen.setVisible(TaskControl::Frame2, false);
        m_screen.setVisible(TaskControl::Label2, false);
        for (TaskControl control : {TaskControl::Frame1, TaskControl::Frame2, TaskControl::VReward, TaskControl::Label3,
                                    TaskControl::VDelay, TaskControl::Label1, TaskControl::Label4, TaskControl::Label5})
            m_screen.setBackColor(control, TaskColor::ButtonFace);
    });
    if (m_finished)
        return;
    // Painted before the trial log is synced, so the sync falls within the blank second.
    const double clearedMs = presentNow();
    markPhase("cleared", clearedMs);

    m_recorder.displayMeasures(m_screen.frameIntervalMs(), m_screen.fullScreenExits());
    const ResponseResult result = m_recorder.Record(m_engine);
    if (result.outcome == ResponseOutcome::Continue && m_engine.blockFull()) {
        stopAtFullBlock();
        return;
    }
    if (result.outcome == ResponseOutcome::RunFinished) {
        completion();
        return;
    }
    // The blank second runs from the clearing, or after a break from its end: the participant
    // always sees one empty second before the options.
    double blankFromMs = clearedMs;
    if (result.outcome == ResponseOutcome::BlockFinished) {
        blockBreak();
        if (m_finished)
            return;
        blankFromMs = now();
        markPhase("continued", blankFromMs);
    }

    m_screen.setCaption(TaskControl::VDelay, i18n::tr(m_engine.currentDelayText().c_str()));
    m_engine.DrawNextAmount(result.DistractorNext);
    m_screen.setCaption(TaskControl::VReward, FormatAmount(m_engine.state().ImmediateAmount));
    setOptionLabelsForeColor(m_screen, TaskColor::White);
    // Counted from the phase's start: writing the trial log must not lengthen the blank second.
    pauseUntil(blankFromMs + m_timings.blankSeconds * 1000.0, [this] {
        m_screen.setVisible(TaskControl::Frame1, true);
        m_screen.setVisible(TaskControl::Frame2, true);
    });
    if (m_finished)
        return;
    const double whiteOnsetMs = presentNow();
    m_recorder.trialShown(whiteOnsetMs, result.DistractorNext, m_screen.displayScale());
    m_screen.setTimerEnabled(true);
    markPhase("white", whiteOnsetMs);

    m_responding = false;
}

void RunFlow::activate()
{
    if (!m_started || m_finished)
        return;
    setOptionLabelsForeColor(m_screen, TaskColor::Black);
    setFramesEnabled(m_screen, true);
    m_framesEnabled = true;
    m_screen.setVisible(TaskControl::Label2, true);
    m_screen.setAcceptKeys(true);
    m_screen.setTimerEnabled(false);
    m_answerableOnsetMs = presentNow();
    m_recorder.trialAnswerable(m_answerableOnsetMs);
    markPhase("answerable", m_answerableOnsetMs);
    // While the participant decides, both answers are painted ahead: the chosen one shows at once.
    for (Choice choice : {Choice::Delayed, Choice::Immediate})
        m_screen.rehearse([this, choice] { showChoice(m_screen, choice); });
}

void RunFlow::breakKeyDown(int keyCode, bool autoRepeat)
{
    if (!autoRepeat && keyCode == VirtualKey::Space)
        SignalContinue();
}

void RunFlow::SignalContinue()
{
    ContinueFlag = True16;
    m_waiter.wake();
}

void RunFlow::breakWait()
{
    m_break.show();
    ContinueFlag = 0;
    m_breakWaiting = true;
    m_waiter.waitUntil([this] { return ContinueFlag != 0; });
    m_breakWaiting = false;
    m_break.hide();
    // What follows is timed from the message's going, once the window system has it.
    m_screen.present();
}

void RunFlow::blockBreak()
{
    markPhase("break", now());
    m_break.setDelayCaption(i18n::tr(m_engine.currentDelayText().c_str()));
    breakWait();
}

std::optional<WrittenResults> RunFlow::writeResults()
{
    // Read now, so changes made in the setup window during the run take effect.
    WrittenResults place{m_settings.SubjectId, m_settings.OutputDirectory};
    const RunResults results = resultsOf(m_engine.state());
    for (;;) {
        const auto failure = WriteResults(place.SubjectId, place.OutputDirectory, results, m_resultsFormat, m_files);
        if (!failure)
            return place;
        // A whole session's data is at stake: only an explicit, confirmed choice gives it up.
        const WriteFailureChoice choice = m_host.resolveWriteFailure(*failure, place.SubjectId, place.OutputDirectory);
        // The experimenter may have ended the application while the question was up.
        if (m_finished)
            return std::nullopt;
        if (choice == WriteFailureChoice::Discard && m_host.confirmDiscard())
            return std::nullopt;
    }
}

void RunFlow::completion()
{
    m_writingResults = true;
    const std::optional<WrittenResults> written = writeResults();
    m_writingResults = false;
    if (m_finished) {
        // Closing: rows a full disk held back get one more chance.
        m_recorder.flush();
        return;
    }
    m_resultsWritten = written.has_value();
    // The log ends whole and bearing the results' subject ID, or the experimenter is told what it lacks.
    m_recorder.finish(written);
    m_screen.hide();
    if (written)
        m_host.showCompletion();
    m_finished = true;
    m_host.terminate();
}

void RunFlow::stopAtFullBlock()
{
    m_recorder.finish(std::nullopt);
    m_screen.hide();
    m_host.reportRunStopped(blockFullMessage(m_engine.state().BlockIndex));
    m_finished = true;
    m_host.terminate();
}

} // namespace kpx
