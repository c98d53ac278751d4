#include "forms/SessionCore.h"
#include "i18n/Tr.h"

#include "Fakes.h"
#include "ScriptedDialogsOf.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

using namespace kpx;
using namespace kpx::test;

namespace {

// The core needs no toolkit: a window is only something the dialogs belong to.
struct FakeWindow
{
};

// A core wired to recording fakes, writing into a fresh temporary directory.
struct CoreRig
{
    CoreRig()
    {
        core.settings().SubjectId = "S1";
        core.settings().OutputDirectory = scratch.path().string();
        // The participant presses the space bar whenever a break message waits.
        waiter.duringWait = [this] { core.flow().breakKeyDown(VirtualKey::Space); };
        waiter.clock = &clock;
        core.setTaskStarting([this] { log.push_back("task starting"); });
    }

    // Answers until the run is over.
    void answerAll()
    {
        for (int answers = 0; !core.flow().finished() && answers < 5000; ++answers) {
            core.flow().activate();
            core.flow().KeyDown(VirtualKey::Left);
        }
    }

    // The experimenter closes the setup window: the guard first, and on its leave the window goes.
    bool closeSetup()
    {
        if (!core.maySetupClose(&setup))
            return false;
        core.setupClosed();
        return true;
    }

    long count(const std::string &entry) const { return std::count(log.begin(), log.end(), entry); }

    ScratchDirectory scratch{"kpx-session"};
    Log log;
    LoggingRandom random{log};
    FakeClock clock;
    FakeScreen screen{log};
    FakeBreak breaks;
    FakeWaiter waiter{log};
    FakeHost host{log};
    ScriptedDialogsOf<FakeWindow> dialogs;
    FakeWindow setup;
    int instructionsShown = 0;
    forms::SessionCore<FakeWindow> core{random, clock, Timings{}, ResultsFormat{},
                                        {screen, breaks, waiter, host, dialogs, [this] { ++instructionsShown; }}};
};

enum class Moment { BeforeTheRun, DuringTheTrials, AtTheCompletionMessage, AfterTheRun };

struct CloseCase
{
    const char *name;
    Moment moment;
    bool answerYes;     // to the question, if one is asked
    bool asked;         // whether closing asks the experimenter first
    bool closes;        // whether the setup window goes
    bool terminates;    // whether closing ends the application (once)
    bool runGoesOn;     // during the trials: whether answers are still taken
};

void PrintTo(const CloseCase &c, std::ostream *os)
{
    *os << c.name;
}

class SetupWindowClose : public testing::TestWithParam<CloseCase>
{
};

TEST_P(SetupWindowClose, AsksOnlyWhatWouldBeLostAndEndsTheApplicationOnce)
{
    const CloseCase &c = GetParam();
    CoreRig rig;
    rig.dialogs.yesNo = {c.answerYes};
    bool closed = false;
    long terminations = 0;
    const auto close = [&] {
        const long before = rig.count("terminate");
        closed = rig.closeSetup();
        terminations = rig.count("terminate") - before;
    };

    if (c.moment == Moment::BeforeTheRun)
        close();
    if (c.moment != Moment::BeforeTheRun)
        rig.core.startTask();
    if (c.moment == Moment::DuringTheTrials)
        close();
    if (c.moment == Moment::AtTheCompletionMessage)
        rig.host.onCompletion = close;
    if (c.moment != Moment::BeforeTheRun && c.moment != Moment::DuringTheTrials)
        rig.answerAll();
    if (c.moment == Moment::AfterTheRun)
        close();

    EXPECT_EQ(rig.dialogs.questions.size(), c.asked ? 1u : 0u);
    EXPECT_EQ(closed, c.closes);
    EXPECT_EQ(terminations, c.terminates ? 1 : 0);
    if (c.moment == Moment::DuringTheTrials) {
        EXPECT_EQ(rig.core.flow().finished(), !c.runGoesOn);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Moments, SetupWindowClose,
    testing::Values(
        CloseCase{"BeforeTheRunClosesAndEndsTheApplication", Moment::BeforeTheRun, false, false, true, true, false},
        CloseCase{"DuringTheTrialsOnNoStaysAndTheRunGoesOn", Moment::DuringTheTrials, false, true, false, false, true},
        CloseCase{"DuringTheTrialsOnYesEndsTheRunAndTheApplication", Moment::DuringTheTrials, true, true, true, true,
                  false},
        CloseCase{"AtTheCompletionMessageClosesAndLeavesTheEndToIt", Moment::AtTheCompletionMessage, false, false, true,
                  false, false},
        CloseCase{"AfterTheRunClosesAndEndsTheApplication", Moment::AfterTheRun, false, false, true, true, false}),
    [](const testing::TestParamInfo<CloseCase> &info) { return std::string(info.param.name); });

enum class LanguageMoment { BeforeTheRun, DuringTheTrials, AfterTheRun };

struct LanguageChoiceCase
{
    const char *name;
    LanguageMoment moment;
    const char *chosen;
    bool taken;
};

class LanguageChoice : public testing::TestWithParam<LanguageChoiceCase>
{
protected:
    void TearDown() override { i18n::setLanguage(i18n::DefaultLanguage); }
};

// The Language command sets the run's language and has the windows shown again in it, before the
// run only: a run's windows and trial log keep the language it began in.
TEST_P(LanguageChoice, IsTakenBeforeTheRunOnlyAndOnlyForAShippedLanguage)
{
    const LanguageChoiceCase &c = GetParam();
    CoreRig rig;
    int changes = 0;
    rig.core.setLanguageChanged([&] { ++changes; });
    if (c.moment != LanguageMoment::BeforeTheRun)
        rig.core.startTask();
    if (c.moment == LanguageMoment::AfterTheRun)
        rig.answerAll();

    EXPECT_EQ(rig.core.chooseLanguage(c.chosen), c.taken);
    EXPECT_EQ(i18n::activeLanguage(), c.taken ? c.chosen : "en");
    EXPECT_EQ(changes, c.taken ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, LanguageChoice,
    testing::Values(LanguageChoiceCase{"GermanBeforeTheRunIsTaken", LanguageMoment::BeforeTheRun, "de", true},
                    LanguageChoiceCase{"ChineseBeforeTheRunIsTaken", LanguageMoment::BeforeTheRun, "zh_CN", true},
                    LanguageChoiceCase{"EnglishBeforeTheRunIsTaken", LanguageMoment::BeforeTheRun, "en", true},
                    LanguageChoiceCase{"AnUnshippedOneIsRefused", LanguageMoment::BeforeTheRun, "fr", false},
                    LanguageChoiceCase{"GermanDuringTheTrialsIsRefused", LanguageMoment::DuringTheTrials, "de", false},
                    LanguageChoiceCase{"GermanAfterTheRunIsRefused", LanguageMoment::AfterTheRun, "de", false}),
    [](const testing::TestParamInfo<LanguageChoiceCase> &info) { return std::string(info.param.name); });

TEST(SessionCore, TheInstructionsComeUpOnlyBeforeTheRun)
{
    CoreRig rig;
    rig.core.showInstructions();
    EXPECT_EQ(rig.instructionsShown, 1);

    rig.core.startTask();
    rig.core.showInstructions();
    EXPECT_EQ(rig.instructionsShown, 1);
}

TEST(SessionCore, TheTaskStartsOnceHoweverOftenOkIsPressed)
{
    CoreRig rig;
    rig.core.startTask();
    ASSERT_TRUE(rig.core.flow().started());
    rig.core.startTask();

    EXPECT_EQ(rig.count("task starting"), 1);
    EXPECT_EQ(rig.log.front(), "task starting");
}

} // namespace
