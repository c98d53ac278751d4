#include "RunFlowFixture.h"

#include "results/NumberForm.h"

#include <gtest/gtest.h>

#include <ostream>


namespace kpx {
namespace {

using namespace test;

const std::vector<std::string> WhiteLabels = {"fore Label1 White", "fore Label3 White", "fore Label4 White",
                                              "fore Label5 White", "fore VDelay White", "fore VReward White"};

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct SequenceCase
{
    std::string name;
    std::function<void(RunFlowTest &)> arrange;
    std::function<void(RunFlowTest &)> act;
    std::vector<std::string> expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const SequenceCase &c, std::ostream *out)
{
    *out << c.name;
}

const std::vector<std::string> Activation = {
    "fore Label1 Black", "fore Label3 Black", "fore Label4 Black", "fore Label5 Black", "fore VDelay Black",
    "fore VReward Black", "enabled Frame1 1", "enabled Frame2 1", "visible Label2 1", "accept 1", "timer 0", "present"};

// Each phase is painted at once ("present") before its pause begins.
const std::vector<std::string> ClearAfterResponse = {
    "enabled Frame1 0",    "enabled Frame2 0",      "present", "pause 0.5",           "visible Frame1 0",
    "visible Frame2 0",    "visible Label2 0",      "back Frame1 ButtonFace", "back Frame2 ButtonFace",
    "back VReward ButtonFace", "back Label3 ButtonFace", "back VDelay ButtonFace", "back Label1 ButtonFace",
    "back Label4 ButtonFace",  "back Label5 ButtonFace", "present"};

const std::vector<std::string> GreenDelayed = {"back Frame1 Green", "back VDelay Green", "back Label1 Green",
                                               "back Label4 Green"};
const std::vector<std::string> GreenImmediate = {"back Frame2 Green", "back VReward Green", "back Label3 Green",
                                                 "back Label5 Green"};

std::vector<std::string> nextTrialShown(const std::string &delay, const std::string &amount)
{
    return concat({{"caption VDelay " + delay, "random", "caption VReward " + amount},
                   WhiteLabels,
                   {"pause 1", "visible Frame1 1", "visible Frame2 1", "present", "timer 1"}});
}

class Sequences : public RunFlowTest, public ::testing::WithParamInterface<SequenceCase>
{
};

TEST_P(Sequences, HappenInTheOrderTheParticipantSees)
{
    GetParam().arrange(*this);
    takeLog();
    GetParam().act(*this);
    EXPECT_EQ(takeLog(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    RunFlow, Sequences,
    ::testing::Values(
        SequenceCase{"StartTask", [](RunFlowTest &) {}, [](RunFlowTest &t) { t.random.queued = {0.375f}; t.flow.StartTask(); },
                     concat({{"hide instructions", "reseed", "random", "caption VReward $40", "caption VDelay IN 1 DAY",
                              "accept 0"},
                             WhiteLabels,
                             {"show", "present", "msg caption IN 1 DAY", "msg show", "wait", "msg hide", "interval 2000",
                              "timer 1"}})},
        SequenceCase{"Activation", [](RunFlowTest &t) { t.start(); }, [](RunFlowTest &t) { t.flow.Activate(); },
                     Activation},
        SequenceCase{"RightArrowOrdinaryTrial",
                     [](RunFlowTest &t) {
                         t.start();
                         t.flow.Activate();
                         t.random.queued = {0.125f};
                     },
                     [](RunFlowTest &t) { t.flow.KeyDown(VirtualKey::Right); },
                     concat({{"accept 0"}, GreenDelayed, ClearAfterResponse, nextTrialShown("IN 1 DAY", "$15")})},
        SequenceCase{"ClickImmediateOrdinaryTrial",
                     [](RunFlowTest &t) {
                         t.start();
                         t.flow.Activate();
                         t.random.queued = {0.125f};
                     },
                     [](RunFlowTest &t) { t.flow.ClickImmediate(); },
                     concat({{"accept 0"}, GreenImmediate, ClearAfterResponse, nextTrialShown("IN 1 DAY", "$15")})},
        SequenceCase{"BlockBreak",
                     [](RunFlowTest &t) {
                         t.start();
                         t.flow.Activate();
                         t.oneAnswerFromBlockEnd();
                         t.random.queued = {0.975f};
                     },
                     [](RunFlowTest &t) { t.flow.KeyDown(VirtualKey::Right); },
                     concat({{"accept 0"}, GreenDelayed, ClearAfterResponse,
                             {"msg caption IN 1 WEEK", "msg show", "wait", "msg hide"},
                             nextTrialShown("IN 1 WEEK", "$100")})},
        SequenceCase{"Completion",
                     [](RunFlowTest &t) {
                         t.start();
                         t.flow.Activate();
                         t.oneAnswerFromBlockEnd();
                         t.engine.state().BlockIndex = 7;
                     },
                     [](RunFlowTest &t) { t.flow.KeyDown(VirtualKey::Right); },
                     concat({{"accept 0"}, GreenDelayed, ClearAfterResponse, {"hide", "completion", "terminate"}})}),
    [](const auto &info) { return info.param.name; });

TEST_F(RunFlowTest, FirstTrialWaitsInWhiteWithThePromptShowingAndTheFramesDisabled)
{
    start();
    EXPECT_EQ(screen.captions[TaskControl::VReward], "$40");
    EXPECT_EQ(screen.captions[TaskControl::VDelay], "IN 1 DAY");
    EXPECT_EQ(breakScreen.caption, "IN 1 DAY");
    EXPECT_FALSE(screen.enabled[TaskControl::Frame1]);
    EXPECT_FALSE(screen.enabled[TaskControl::Frame2]);
    EXPECT_FALSE(screen.visible.count(TaskControl::Label2)) << "the prompt is never hidden before the first trial";
    EXPECT_EQ(screen.fore[TaskControl::VReward], TaskColor::White);
    EXPECT_FALSE(screen.AcceptKeys());
    EXPECT_TRUE(screen.timerEnabled);
    EXPECT_EQ(engine.state().DistractorThreshold, 15);

    flow.KeyDown(VirtualKey::Left);
    flow.ClickDelayed();
    EXPECT_EQ(engine.state().TrialCount, 0) << "nothing is answerable before activation";
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
    flow.Activate();

    flow.KeyDown(c.key, c.autoRepeat);

    EXPECT_EQ(engine.state().TrialCount, c.trialsAnswered);
    EXPECT_EQ(screen.AcceptKeys(), c.acceptAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyRule,
    ::testing::Values(KeyCase{"LeftChoosesImmediate", VirtualKey::Left, false, 1, false},
                      KeyCase{"RightChoosesDelayed", VirtualKey::Right, false, 1, false},
                      KeyCase{"UpUsesUpTheAcceptance", 38, false, 0, false},
                      KeyCase{"SpaceUsesUpTheAcceptance", VirtualKey::Space, false, 0, false},
                      KeyCase{"AutoRepeatedRightIsNoResponse", VirtualKey::Right, true, 0, true},
                      KeyCase{"AutoRepeatedUpKeepsTheAcceptance", 38, true, 0, true}),
    [](const auto &info) { return info.param.name; });

TEST_F(RunFlowTest, AfterAnotherKeyOnlyAClickAnswersTheTrial)
{
    start();
    flow.Activate();
    flow.KeyDown(40);
    flow.KeyDown(VirtualKey::Left);
    EXPECT_EQ(engine.state().TrialCount, 0);

    flow.ClickDelayed();
    EXPECT_EQ(engine.state().TrialCount, 1);
    EXPECT_EQ(engine.state().LowInner, 40);
}

TEST_F(RunFlowTest, KeysInTheWhitePhaseAreIgnored)
{
    start();
    flow.Activate();
    flow.KeyDown(VirtualKey::Right);
    ASSERT_EQ(engine.state().TrialCount, 1);

    flow.KeyDown(VirtualKey::Left);
    flow.ClickImmediate();
    EXPECT_EQ(engine.state().TrialCount, 1);

    flow.Activate();
    flow.KeyDown(VirtualKey::Left);
    EXPECT_EQ(engine.state().TrialCount, 2);
}

TEST_F(RunFlowTest, SpaceOnTheBreakWindowWhenNoBreakWaitsIsHarmless)
{
    flow.BreakKeyDown(VirtualKey::Space);
    bool pressedDuringWait = false;
    waiter.duringWait = [&] {
        pressedDuringWait = true;
        flow.BreakKeyDown(VirtualKey::Space);
    };
    start();
    EXPECT_TRUE(pressedDuringWait) << "an earlier space bar press must not skip the break message";
}

TEST_F(RunFlowTest, SpaceOnTheChoiceWindowContinuesAWaitingBreakAndOtherKeysThereDoNot)
{
    int presses = 0;
    waiter.duringWait = [&] {
        const int keys[] = {VirtualKey::Left, VirtualKey::Right, 'A'};
        if (presses < 3)
            flow.KeyDown(keys[presses]);
        else if (presses == 3)
            flow.KeyDown(VirtualKey::Space, true);
        else
            flow.KeyDown(VirtualKey::Space);
        ++presses;
    };
    start();
    EXPECT_EQ(presses, 5);
    EXPECT_FALSE(breakScreen.shown);

    // With no break waiting, the space bar on the choice window is an ordinary other key.
    flow.Activate();
    flow.KeyDown(VirtualKey::Space);
    EXPECT_FALSE(screen.AcceptKeys());
    EXPECT_EQ(engine.state().TrialCount, 0);
}

TEST_F(RunFlowTest, OnlyTheSpaceBarFreshlyPressedEndsABreak)
{
    int presses = 0;
    waiter.duringWait = [&] {
        const int keys[] = {VirtualKey::Left, 'A', VirtualKey::Right};
        if (presses < 3)
            flow.BreakKeyDown(keys[presses]);
        else if (presses == 3)
            flow.BreakKeyDown(VirtualKey::Space, true);
        else
            flow.BreakKeyDown(VirtualKey::Space);
        ++presses;
    };
    start();
    EXPECT_EQ(presses, 5);
    EXPECT_FALSE(breakScreen.shown);
}

TEST_F(RunFlowTest, ThresholdIsReadAtStartAndNamesWhenTheRunFinishes)
{
    start();
    settings.DistractorThreshold = 30;
    settings.SubjectId = "Renamed";
    EXPECT_EQ(engine.state().DistractorThreshold, 15);

    flow.Activate();
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
    flow.Activate();
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
        flow.BreakKeyDown(VirtualKey::Space);
    };
    start();
    int responses = 0;
    while (!flow.finished() && responses < 5000) {
        flow.Activate();
        const int x = engine.state().ImmediateAmount;
        const bool immediate = x >= values[engine.currentDelayIndex() - 1];
        if (responses % 3 == 0)
            immediate ? flow.ClickImmediate() : flow.ClickDelayed();
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
        kpx += NumberForm(s.IndifferencePoints[k]) + "\r\n";
        tc += NumberForm(s.TrialCounts[k]) + "\r\n";
        counted += s.TrialCounts[k];
    }
    EXPECT_EQ(counted, responses);
    EXPECT_EQ(readFile(dir / "S9.KPX"), kpx);
    EXPECT_EQ(readFile(dir / "S9.TC"), tc);
}

} // namespace
} // namespace kpx
