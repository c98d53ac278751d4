#pragma once

#include "engine/RandomSource.h"
#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "presentation/BreakScreen.h"
#include "presentation/EventWaiter.h"
#include "presentation/RunFlow.h"
#include "presentation/RunHost.h"
#include "presentation/TrialScreen.h"
#include "results/Clock.h"
#include "results/ResultsWriter.h"

#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace kpx::test {

using Log = std::vector<std::string>;

inline std::string name(TaskControl control)
{
    static const char *names[] = {"Frame1", "Frame2", "Label1", "Label2", "Label3",
                                  "Label4", "Label5", "VDelay", "VReward"};
    return names[static_cast<int>(control)];
}

// Keeps the state a real window would show; logs only its hiding, for the order of the run's end.
class FakeScreen final : public TrialScreen
{
public:
    std::optional<double> scale;
    // When the window system says the last present() reached the display, if it does.
    std::optional<double> presentedAt;
    std::optional<double> frameInterval;
    std::optional<int> exits;

    explicit FakeScreen(Log &log) : m_log(log) {}

    void setEnabled(TaskControl frame, bool enabled) override { this->enabled[frame] = enabled; }
    void setVisible(TaskControl control, bool visible) override { this->visible[control] = visible; }
    void setBackColor(TaskControl control, TaskColor color) override { back[control] = color; }
    void setForeColor(TaskControl control, TaskColor color) override { fore[control] = color; }
    void setCaption(TaskControl label, const std::string &text) override { captions[label] = text; }
    std::string caption(TaskControl label) const override { return captions.at(label); }
    void setTimerInterval(int milliseconds) override { timerInterval = milliseconds; }
    void setTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    bool AcceptKeys() const override { return acceptKeys; }
    void setAcceptKeys(bool accept) override { acceptKeys = accept; }
    void present() override
    {
        painted = onScreen();
        if (std::find(m_rehearsed.begin(), m_rehearsed.end(), picture()) != m_rehearsed.end())
            shownAsRehearsed.push_back(picture());
        m_rehearsed.clear();
    }
    void rehearse(const std::function<void()> &change) override
    {
        const auto saved = std::tuple(enabled, visible, back, fore, captions);
        change();
        m_rehearsed.push_back(picture());
        std::tie(enabled, visible, back, fore, captions) = saved;
    }
    std::optional<double> displayScale() const override { return scale; }
    std::optional<double> presentedAtMs() const override { return presentedAt; }
    std::optional<double> frameIntervalMs() const override { return frameInterval; }
    std::optional<int> fullScreenExits() const override { return exits; }
    void show() override { shown = true; }
    void hide() override
    {
        shown = false;
        painted = onScreen();
        m_log.push_back("hide");
    }

    // What the participant sees and can do, in words: the text colour, amount and delay, the frames,
    // the prompt, the controls lit green and the keys. A pair that differs shows as "mixed".
    std::string onScreen() const { return shown ? picture() + (acceptKeys ? "; keys on" : "; keys off") : "hidden"; }

    // The picture alone, without the keys.
    std::string picture() const
    {
        const auto of = [](const auto &map, TaskControl c, auto absent) { return map.count(c) ? map.at(c) : absent; };
        const auto both = [](bool a, bool b, const char *yes, const char *no) { return a != b ? "mixed" : a ? yes : no; };
        std::string colour = of(fore, TaskControl::VReward, TaskColor::Black) == TaskColor::White ? "white" : "black";
        for (TaskControl label : {TaskControl::Label1, TaskControl::Label3, TaskControl::Label4, TaskControl::Label5,
                                  TaskControl::VDelay})
            if (of(fore, label, TaskColor::Black) != of(fore, TaskControl::VReward, TaskColor::Black))
                colour = "mixed";
        std::string text = colour + " " + of(captions, TaskControl::VReward, std::string()) + " " +
                           of(captions, TaskControl::VDelay, std::string()) + "; frames " +
                           both(of(visible, TaskControl::Frame1, true), of(visible, TaskControl::Frame2, true), "shown",
                                "hidden") +
                           " " + both(enabled.at(TaskControl::Frame1), enabled.at(TaskControl::Frame2), "enabled", "disabled") +
                           "; prompt " + (of(visible, TaskControl::Label2, true) ? "shown" : "hidden") + "; green";
        const std::size_t before = text.size();
        for (int c = 0; c <= static_cast<int>(TaskControl::VReward); ++c)
            if (of(back, TaskControl(c), TaskColor::ButtonFace) == TaskColor::Green)
                text += " " + name(TaskControl(c));
        if (text.size() == before)
            text += " none";
        return text;
    }

    // Frames start disabled, every control visible.
    std::map<TaskControl, bool> enabled{{TaskControl::Frame1, false}, {TaskControl::Frame2, false}};
    std::map<TaskControl, bool> visible;
    std::map<TaskControl, TaskColor> back;
    std::map<TaskControl, TaskColor> fore;
    std::map<TaskControl, std::string> captions;
    bool timerEnabled = false;
    int timerInterval = 0;
    bool acceptKeys = false;
    // Each picture presented that had been rehearsed since the presentation before.
    std::vector<std::string> shownAsRehearsed;
    bool shown = false;
    // What the window showed when last painted (present) or hidden.
    std::string painted = "hidden";

private:
    Log &m_log;
    std::vector<std::string> m_rehearsed;
};

class FakeBreak final : public BreakScreen
{
public:
    void setDelayCaption(const std::string &text) override { caption = text; }
    void show() override { shown = true; }
    void hide() override { shown = false; }

    std::string caption;
    bool shown = false;
};

// A clock the test moves by hand.
class FakeClock final : public Clock
{
public:
    double milliseconds() const override
    {
        ms += tick;
        return ms;
    }
    LocalDateTime localNow() const override { return {2026, 12, 8, 14, 30, 5}; }

    mutable double ms = 1000.0;
    // Moves the clock on at every reading, as work between readings would.
    double tick = 0.0;
};

// Pauses return at once, moving the clock on by their length; a break wait moves it on by
// breakMs, as a participant resting would, and lets the scripted participant act until it is released.
class FakeWaiter final : public EventWaiter
{
public:
    explicit FakeWaiter(Log &log) : m_log(log) {}

    void pauseThen(double seconds, const std::function<void()> &prepare) override
    {
        m_log.push_back("pause " + format(seconds));
        if (duringPause)
            duringPause(seconds);
        if (!cancelled && prepare)
            prepare();
        if (clock)
            clock->ms += seconds * 1000.0;
    }
    void waitUntil(const std::function<bool()> &done) override
    {
        m_log.push_back("wait");
        if (clock)
            clock->ms += breakMs;
        for (int attempt = 0; !done() && !cancelled; ++attempt) {
            if (attempt == 100 || !duringWait)
                throw std::runtime_error("break wait never released");
            duringWait();
        }
    }
    void wake() override { ++wakes; }
    void cancel() override
    {
        cancelled = true;
        m_log.push_back("cancel");
    }

    std::function<void(double)> duringPause;
    std::function<void()> duringWait;
    int wakes = 0;
    bool cancelled = false;
    FakeClock *clock = nullptr;
    double breakMs = 30000.0;

private:
    static std::string format(double seconds)
    {
        std::string text = std::to_string(seconds);
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
        return text;
    }
    Log &m_log;
};

class FakeHost final : public RunHost
{
public:
    explicit FakeHost(Log &log) : m_log(log) {}

    void hideInstructions() override { m_log.push_back("hide instructions"); }
    void showCompletion() override
    {
        m_log.push_back("completion");
        if (onCompletion)
            onCompletion();
    }
    void terminate() override { m_log.push_back("terminate"); }
    WriteFailureChoice resolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
                                           std::string &OutputDirectory) override
    {
        m_log.push_back("write failed " + failure.path);
        failures.push_back(failure);
        if (resolutions.empty())
            throw std::runtime_error("unexpected write failure: " + failure.path + ": " + failure.reason);
        auto resolution = resolutions.front();
        resolutions.erase(resolutions.begin());
        return resolution(SubjectId, OutputDirectory);
    }
    void reportResultsNameClash(const std::string &clash) override { m_log.push_back("name clash " + clash); }
    bool confirmDiscard() override
    {
        m_log.push_back("confirm discard");
        const bool answer = !discardAnswers.empty() && discardAnswers.front();
        if (!discardAnswers.empty())
            discardAnswers.erase(discardAnswers.begin());
        return answer;
    }

    bool resolveLogFailure(const WriteFailure &failure, std::string &directory) override
    {
        m_log.push_back("log failed " + failure.path);
        logFailures.push_back(failure);
        if (!logResolution)
            return false;
        return logResolution(directory);
    }
    void reportLogFailure(const WriteFailure &failure) override
    {
        m_log.push_back("log row failed " + failure.path);
        logFailures.push_back(failure);
    }
    bool resolveLogLost(const LostLog &lost, const WriteFailure &failure, std::string &directory) override
    {
        m_log.push_back("log lost " + lost.path + ", not written to " + failure.path);
        logFailures.push_back(failure);
        return logResolution && logResolution(directory);
    }
    void reportLogWrittenAgain(const LostLog &lost, const std::string &newPath) override
    {
        m_log.push_back("log lost " + lost.path + ", written again to " + newPath);
    }
    bool resolveLogUnfinished(const std::string &logPath, std::size_t missingRows, const WriteFailure &failure,
                              std::string &directory) override
    {
        m_log.push_back("log unfinished " + logPath + " lacking " + std::to_string(missingRows) + ", not written to " +
                        failure.path);
        return logResolution && logResolution(directory);
    }
    void reportLogIncomplete(const std::string &logPath, std::size_t missingRows) override
    {
        m_log.push_back("log incomplete " + logPath + " lacking " + std::to_string(missingRows));
    }
    void reportLogCompleted(const std::string &oldPath, const std::string &newPath) override
    {
        m_log.push_back("log completed " + oldPath + " in " + newPath);
    }
    void reportRunStopped(const std::string &reason) override { m_log.push_back("stopped: " + reason); }

    std::function<void()> onCompletion;
    std::function<bool(std::string &)> logResolution;
    std::vector<WriteFailure> logFailures;
    std::vector<std::function<WriteFailureChoice(std::string &, std::string &)>> resolutions;
    std::vector<bool> discardAnswers;
    std::vector<WriteFailure> failures;

private:
    Log &m_log;
};

// A random source that logs every value it gives out and walks through a fixed cycle.
class LoggingRandom final : public RandomSource
{
public:
    explicit LoggingRandom(Log &log) : m_log(log) {}
    void reseed() override { m_log.push_back("reseed"); }
    float next() override
    {
        m_log.push_back("random");
        if (!queued.empty()) {
            const float value = queued.front();
            queued.erase(queued.begin());
            return value;
        }
        m_position = (m_position + 7) % 20;
        return (static_cast<float>(m_position) + 0.5f) / 20.0f;
    }

    std::vector<float> queued;

private:
    Log &m_log;
    int m_position = 0;
};

} // namespace kpx::test
