#include "RunFlowFixture.h"

#include "results/NumberForm.h"

#include <gtest/gtest.h>

#include <ostream>


namespace kpx {
namespace {

using namespace test;

// What the choice window shows in each phase of the first trial ($40 in a day) and the next ($15).
const std::string White = "white $40 IN 1 DAY; frames shown disabled; prompt shown; green none; keys off";
const std::string Answerable = "black $40 IN 1 DAY; frames shown enabled; prompt shown; green none; keys on";
const std::string Cleared = "black $40 IN 1 DAY; frames hidden disabled; prompt hidden; green none; keys off";

// What was on screen during each pause and break wait, and when the next trial was up.
struct Painted
{
    std::vector<std::string> phases;
    std::string after;

    bool operator==(const Painted &) const = default;
};

void PrintTo(const Painted &p, std::ostream *out)
{
    for (const std::string &phase : p.phases)
        *out << "\n  " << phase;
    *out << "\n  then " << p.after;
}

class Phases : public RunFlowTest
{
protected:
    // Answers the first trial and records what was painted while each pause and break lasted.
    Painted answer(const std::function<void()> &respond)
    {
        start();
        flow.activate();
        Painted painted;
        waiter.duringPause = [&](double seconds) {
            painted.phases.push_back(std::to_string(int(seconds * 1000)) + " ms: " + screen.painted);
        };
        waiter.duringWait = [&] {
            painted.phases.push_back("break " + breakScreen.caption + " over: " + screen.painted);
            flow.breakKeyDown(VirtualKey::Space);
        };
        respond();
        EXPECT_EQ(screen.painted, screen.onScreen()) << "the last change was painted";
        EXPECT_EQ(screen.timerEnabled, !flow.finished()) << "Timer1 runs in each white phase";
        painted.after = screen.painted;
        return painted;
    }
};

TEST_F(Phases, FirstTrialWaitsInWhiteUnderItsBreakMessageThenBecomesAnswerable)
{
    std::string underBreak;
    waiter.duringWait = [&] {
        underBreak = screen.painted + " / break " + breakScreen.caption;
        flow.breakKeyDown(VirtualKey::Space);
    };
    const Log started = start();

    EXPECT_EQ(underBreak, White + " / break IN 1 DAY");
    EXPECT_EQ(screen.painted, White);
    EXPECT_TRUE(screen.timerEnabled);
    EXPECT_FALSE(breakScreen.shown);
    EXPECT_EQ(screen.timerInterval, 2000);
    EXPECT_EQ(Log(started.begin(), started.begin() + 2), (Log{"hide instructions", "reseed"}));
    EXPECT_EQ(engine.state().DistractorThreshold, 15);
    flow.KeyDown(VirtualKey::Left);
    flow.clickDelayed();
    EXPECT_EQ(engine.state().TrialCount, 0) << "nothing is answerable before activation";

    flow.activate();
    EXPECT_EQ(screen.painted, Answerable);
    EXPECT_FALSE(screen.timerEnabled);
}

TEST_F(Phases, DelayedKeyLightsTheDelayedOptionThenClearsThenShowsTheNextTrial)
{
    EXPECT_EQ(answer([this] {
                  random.queued = {0.125f};
                  flow.KeyDown(VirtualKey::Right);
              }),
              (Painted{{"500 ms: black $40 IN 1 DAY; frames shown disabled; prompt shown; green Frame1 Label1 Label4 "
                        "VDelay; keys off",
                        "1000 ms: " + Cleared},
                       "white $15 IN 1 DAY; frames shown disabled; prompt hidden; green none; keys off"}));
}

TEST_F(Phases, ImmediateClickLightsTheImmediateOption)
{
    EXPECT_EQ(answer([this] { flow.clickImmediate(); }).phases.front(),
              "500 ms: black $40 IN 1 DAY; frames shown disabled; prompt shown; green Frame2 Label3 Label5 VReward; "
              "keys off");
}

class RehearsedAnswer : public Phases, public testing::WithParamInterface<int>
{
};

TEST_P(RehearsedAnswer, IsShownAsItWasRehearsedWhileTheParticipantDecided)
{
    const Painted painted = answer([this] { flow.KeyDown(GetParam()); });
    ASSERT_EQ(screen.shownAsRehearsed.size(), 1u);
    EXPECT_EQ(painted.phases.front(), "500 ms: " + screen.shownAsRehearsed.front() + "; keys off");
}

INSTANTIATE_TEST_SUITE_P(BothOptions, RehearsedAnswer, testing::Values(VirtualKey::Left, VirtualKey::Right));

TEST_F(Phases, BlockEndShowsTheNextDelaysBreakOverTheClearedWindow)
{
    Painted painted = answer([this] {
        oneAnswerFromBlockEnd();
        random.queued = {0.975f};
        flow.KeyDown(VirtualKey::Right);
    });

    ASSERT_EQ(painted.phases.size(), 3u);
    EXPECT_EQ(painted.phases[1], "break IN 1 WEEK over: " + Cleared);
    EXPECT_EQ(painted.phases[2], "1000 ms: " + Cleared);
    EXPECT_EQ(painted.after,
              "white $100 IN 1 WEEK; frames shown disabled; prompt hidden; green none; keys off");
}

TEST_F(Phases, LastAnswerHidesTheWindowBeforeTheCompletionMessage)
{
    std::string atCompletion;
    host.onCompletion = [&] { atCompletion = screen.painted; };
    answer([this] {
        oneAnswerFromBlockEnd();
        engine.state().BlockIndex = 7;
        flow.KeyDown(VirtualKey::Right);
    });

    EXPECT_EQ(atCompletion, "hidden");
    EXPECT_EQ(Log(log.end() - 2, log.end()), (Log{"completion", "terminate"}));
}

struct KeyCase
{
    std::string name;
    int key;
    bool autoRepeat;
    int trialsAnswered;
    bool acceptAfter;
};

void PrintTo(const KeyCase &c, std::ostream *out)
{
    *out << c.name;
}

class KeyRule : public RunFlowTest, public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(KeyRule, DecidesFromTheKeyCodeAlone)
{
    const KeyCase &c = GetParam();
    start();
    flow.activate();

    flow.KeyDown(c.key, c.autoRepeat);

    EXPECT_EQ(engine.state().TrialCount, c.trialsAnswered);
    EXPECT_EQ(screen.AcceptKeys(), c.acceptAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyRule,
    ::testing::Values(KeyCase{"LeftChoosesImmediate", VirtualKey::Left, false, 1, false},
                      KeyCase{"RightChoosesDelayed", VirtualKey::Right, false, 1, false},
                      KeyCase{"UpUsesUpTheAcceptance", VirtualKey::Up, false, 0, false},
                      KeyCase{"SpaceUsesUpTheAcceptance", VirtualKey::Space, false, 0, false},
                      KeyCase{"AutoRepeatedRightIsNoResponse", VirtualKey::Right, true, 0, true},
                      KeyCase{"AutoRepeatedUpKeepsTheAcceptance", VirtualKey::Up, true, 0, true}),
    [](const auto &info) { return info.param.name; });

TEST_F(RunFlowTest, AfterAnotherKeyOnlyAClickAnswersTheTrial)
{
    start();
    flow.activate();
    flow.KeyDown(VirtualKey::Down);
    flow.KeyDown(VirtualKey::Left);
    EXPECT_EQ(engine.state().TrialCount, 0);

    flow.clickDelayed();
    EXPECT_EQ(engine.state().TrialCount, 1);
    EXPECT_EQ(engine.state().LowInner, 40);
}

TEST_F(RunFlowTest, KeysInTheWhitePhaseAreIgnored)
{
    start();
    flow.activate();
    flow.KeyDown(VirtualKey::Right);
    ASSERT_EQ(engine.state().TrialCount, 1);

    flow.KeyDown(VirtualKey::Left);
    flow.clickImmediate();
    EXPECT_EQ(engine.state().TrialCount, 1);

    flow.activate();
    flow.KeyDown(VirtualKey::Left);
    EXPECT_EQ(engine.state().TrialCount, 2);
}

TEST_F(RunFlowTest, SpaceOnTheBreakWindowWhenNoBreakWaitsIsHarmless)
{
    flow.breakKeyDown(VirtualKey::Space);
    bool pressedDuringWait = false;
    waiter.duringWait = [&] {
        pressedDuringWait = true;
        flow.breakKeyDown(VirtualKey::Space);
    };
    start();
    EXPECT_TRUE(pressedDuringWait) << "an earlier space bar press must not skip the break message";
}

// While a break waits: Left, a letter, Right, a held space bar, then a fresh space bar, through press.
std::function<void()> keysDuringBreak(int &presses, std::function<void(int key, bool autoRepeat)> press)
{
    return [&presses, press = std::move(press)] {
        const int keys[] = {VirtualKey::Left, 'A', VirtualKey::Right, VirtualKey::Space, VirtualKey::Space};
        if (presses < 5)
            press(keys[presses], presses == 3);
        ++presses;
    };
}

TEST_F(RunFlowTest, OnlyTheSpaceBarFreshlyPressedEndsABreak)
{
    int presses = 0;
    waiter.duringWait = keysDuringBreak(presses, [&](int key, bool autoRepeat) { flow.breakKeyDown(key, autoRepeat); });
    start();
    EXPECT_EQ(presses, 5);
    EXPECT_FALSE(breakScreen.shown);
}

TEST_F(RunFlowTest, SpaceOnTheChoiceWindowContinuesAWaitingBreakAndOtherKeysThereDoNot)
{
    int presses = 0;
    waiter.duringWait = keysDuringBreak(presses, [&](int key, bool autoRepeat) { flow.KeyDown(key, autoRepeat); });
    start();
    EXPECT_EQ(presses, 5);
    EXPECT_FALSE(breakScreen.shown);

    // With no break waiting, the space bar on the choice window is an ordinary other key.
    flow.activate();
    flow.KeyDown(VirtualKey::Space);
    EXPECT_FALSE(screen.AcceptKeys());
    EXPECT_EQ(engine.state().TrialCount, 0);
}

TEST_F(RunFlowTest, ThresholdIsReadAtStartAndNamesWhenTheRunFinishes)
{
    start();
    settings.DistractorThreshold = 30;
    settings.SubjectId = "Renamed";
    EXPECT_EQ(engine.state().DistractorThreshold, 15);

    flow.activate();
    oneAnswerFromBlockEnd();
    engine.state().BlockIndex = 7;
    flow.KeyDown(VirtualKey::Right);

    EXPECT_TRUE(fs::exists(dir / "Renamed.KPX"));
    EXPECT_FALSE(fs::exists(dir / "S9.KPX"));
}

TEST_F(RunFlowTest, ResultsAreOnDiskBeforeTheCompletionMessage)
{
    bool writtenFirst = false;
    host.onCompletion = [&] { writtenFirst = fs::exists(dir / "S9.KPX") && fs::exists(dir / "S9.TC"); };
    start();
    flow.activate();
    oneAnswerFromBlockEnd();
    engine.state().BlockIndex = 7;
    flow.KeyDown(VirtualKey::Right);
    EXPECT_TRUE(writtenFirst);
    EXPECT_TRUE(flow.finished());
}

TEST_F(RunFlowTest, ScriptedParticipantCompletesSevenBlocksAndTheFilesMatchTheEngine)
{
    // Takes the immediate amount from a value that falls with the delay.
    const int values[] = {90, 80, 70, 50, 35, 20, 10};
    int breaks = 0;
    waiter.duringWait = [&] {
        ++breaks;
        flow.breakKeyDown(VirtualKey::Space);
    };
    start();
    int responses = 0;
    while (!flow.finished() && responses < 5000) {
        flow.activate();
        const int x = engine.state().ImmediateAmount;
        const bool immediate = x >= values[engine.currentDelayIndex() - 1];
        if (responses % 3 == 0)
            immediate ? flow.clickImmediate() : flow.clickDelayed();
        else
            flow.KeyDown(immediate ? VirtualKey::Left : VirtualKey::Right);
        ++responses;
    }
    ASSERT_TRUE(flow.finished());
    EXPECT_EQ(breaks, 7);

    const RunState &s = engine.state();
    std::string kpx = "S9\r\n";
    std::string tc = "S9\r\n";
    int counted = 0;
    for (int k = 1; k <= DelayCount; ++k) {
        EXPECT_NEAR(s.IndifferencePoints[k], values[k - 1], 2.5);
        kpx += numberForm(s.IndifferencePoints[k]) + "\r\n";
        tc += numberForm(s.TrialCounts[k]) + "\r\n";
        counted += s.TrialCounts[k];
    }
    EXPECT_EQ(counted, responses);
    EXPECT_EQ(readFile(dir / "S9.KPX"), kpx);
    EXPECT_EQ(readFile(dir / "S9.TC"), tc);
}

} // namespace
} // namespace kpx
