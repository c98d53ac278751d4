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

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace kpx::test {

using Log = std::vector<std::string>;

inline std::string name(TaskControl control)
{
    static const char *names[] = {"Frame1", "Frame2", "Label1", "Label2", "Label3",
                                  "Label4", "Label5", "VDelay", "VReward"};
    return names[static_cast<int>(control)];
}

inline std::string name(TaskColor color)
{
    static const char *names[] = {"ButtonFace", "Green", "White", "Black"};
    return names[static_cast<int>(color)];
}

// Records every operation in the shared log and keeps the state a real window would show.
class FakeScreen final : public TrialScreen
{
public:
    explicit FakeScreen(Log &log) : m_log(log) {}

    void setEnabled(TaskControl frame, bool enabled) override
    {
        this->enabled[frame] = enabled;
        m_log.push_back("enabled " + name(frame) + (enabled ? " 1" : " 0"));
    }
    void setVisible(TaskControl control, bool visible) override
    {
        this->visible[control] = visible;
        m_log.push_back("visible " + name(control) + (visible ? " 1" : " 0"));
    }
    void setBackColor(TaskControl control, TaskColor color) override
    {
        back[control] = color;
        m_log.push_back("back " + name(control) + " " + name(color));
    }
    void setForeColor(TaskControl control, TaskColor color) override
    {
        fore[control] = color;
        m_log.push_back("fore " + name(control) + " " + name(color));
    }
    void setCaption(TaskControl label, const std::string &text) override
    {
        captions[label] = text;
        m_log.push_back("caption " + name(label) + " " + text);
    }
    std::string caption(TaskControl label) const override { return captions.at(label); }
    void setTimerInterval(int milliseconds) override { m_log.push_back("interval " + std::to_string(milliseconds)); }
    void setTimerEnabled(bool enabled) override
    {
        timerEnabled = enabled;
        m_log.push_back(enabled ? "timer 1" : "timer 0");
    }
    bool AcceptKeys() const override { return acceptKeys; }
    void setAcceptKeys(bool accept) override
    {
        acceptKeys = accept;
        m_log.push_back(accept ? "accept 1" : "accept 0");
    }
    void present() override { m_log.push_back("present"); }
    void show() override { m_log.push_back("show"); }
    void hide() override { m_log.push_back("hide"); }

    // Frames start disabled, every control visible.
    std::map<TaskControl, bool> enabled{{TaskControl::Frame1, false}, {TaskControl::Frame2, false}};
    std::map<TaskControl, bool> visible;
    std::map<TaskControl, TaskColor> back;
    std::map<TaskControl, TaskColor> fore;
    std::map<TaskControl, std::string> captions;
    bool timerEnabled = false;
    bool acceptKeys = false;

private:
    Log &m_log;
};

class FakeBreak final : public BreakScreen
{
public:
    explicit FakeBreak(Log &log) : m_log(log) {}
    void setDelayCaption(const std::string &text) override
    {
        caption = text;
        m_log.push_back("msg caption " + text);
    }
    void show() override
    {
        shown = true;
        m_log.push_back("msg show");
    }
    void hide() override
    {
        shown = false;
        m_log.push_back("msg hide");
    }

    std::string caption;
    bool shown = false;

private:
    Log &m_log;
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

    void PauseThen(double seconds, const std::function<void()> &prepare) override
    {
        m_log.push_back("pause " + format(seconds));
        if (duringPause)
            duringPause(seconds);
        if (!cancelled && prepare)
            prepare();
        if (clock)
            clock->ms += seconds * 1000.0;
    }
    void WaitUntil(const std::function<bool()> &done) override
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

    void HideInstructions() override { m_log.push_back("hide instructions"); }
    void ShowCompletion() override
    {
        m_log.push_back("completion");
        if (onCompletion)
            onCompletion();
    }
    void Terminate() override { m_log.push_back("terminate"); }
    WriteFailureChoice ResolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
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
    bool ConfirmDiscard() override
    {
        m_log.push_back("confirm discard");
        const bool answer = !discardAnswers.empty() && discardAnswers.front();
        if (!discardAnswers.empty())
            discardAnswers.erase(discardAnswers.begin());
        return answer;
    }

    bool ResolveLogFailure(const WriteFailure &failure, std::string &directory) override
    {
        m_log.push_back("log failed " + failure.path);
        logFailures.push_back(failure);
        if (!logResolution)
            return false;
        return logResolution(directory);
    }
    void ReportLogFailure(const WriteFailure &failure) override
    {
        m_log.push_back("log row failed " + failure.path);
        logFailures.push_back(failure);
    }
    bool ResolveLogLost(const std::string &lostPath, const WriteFailure &failure, std::string &directory) override
    {
        m_log.push_back("log lost " + lostPath + ", not written to " + failure.path);
        logFailures.push_back(failure);
        return logResolution && logResolution(directory);
    }
    void ReportLogWrittenAgain(const std::string &lostPath, const std::string &newPath) override
    {
        m_log.push_back("log lost " + lostPath + ", written again to " + newPath);
    }

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
