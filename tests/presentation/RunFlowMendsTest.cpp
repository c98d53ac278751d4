#include "RunFlowFixture.h"

namespace kpx {
namespace {

using namespace test;

using RunFlowMends = RunFlowTest;

TEST_F(RunFlowMends, KeyDuringTheGreenPauseAfterAClickIsNotASecondResponse)
{
    start();
    flow.activate();
    int pauses = 0;
    waiter.duringPause = [&](double) {
        if (pauses++ == 0)
            flow.KeyDown(VirtualKey::Left);
    };

    flow.clickDelayed();

    EXPECT_EQ(engine.state().TrialCount, 1);
    EXPECT_EQ(engine.state().LowInner, 40) << "the delayed answer alone moved the bounds";
    EXPECT_EQ(engine.state().HighInner, 100);
    EXPECT_EQ(pauses, 2);
}

TEST_F(RunFlowMends, EveryResponseDuringAResponseIsIgnored)
{
    start();
    flow.activate();
    waiter.duringPause = [&](double) {
        flow.KeyDown(VirtualKey::Right);
        flow.clickDelayed();
        flow.clickImmediate();
        flow.activate();
    };

    flow.KeyDown(VirtualKey::Left);

    EXPECT_EQ(engine.state().TrialCount, 1);
    EXPECT_FALSE(flow.responding());
}

TEST_F(RunFlowMends, KeyInTheNextWhitePhaseAfterAClickDoesNotAnswerIt)
{
    start();
    flow.activate();
    flow.clickImmediate();
    ASSERT_EQ(engine.state().TrialCount, 1);

    flow.KeyDown(VirtualKey::Right);
    EXPECT_EQ(engine.state().TrialCount, 1) << "the new options are still white";

    flow.activate();
    flow.KeyDown(VirtualKey::Right);
    EXPECT_EQ(engine.state().TrialCount, 2);
}

TEST_F(RunFlowMends, SecondStartTaskIsIgnored)
{
    start();
    const int amount = engine.state().ImmediateAmount;
    flow.activate();
    takeLog();

    const std::string before = screen.painted;
    flow.StartTask();

    EXPECT_TRUE(log.empty()) << log.front();
    EXPECT_EQ(screen.painted, before);
    EXPECT_EQ(engine.state().ImmediateAmount, amount);
    EXPECT_TRUE(screen.AcceptKeys());
}

class WriteFailures : public RunFlowTest
{
protected:
    // The settings are read again when the run finishes; change them once it has started.
    void SetUp() override
    {
        RunFlowTest::SetUp();
        start();
        flow.activate();
    }

    void finishRun()
    {
        oneAnswerFromBlockEnd();
        engine.state().BlockIndex = 7;
        takeLog();
        flow.KeyDown(VirtualKey::Right);
        ASSERT_GE(log.size(), 3u);
    }
};

TEST_F(WriteFailures, AnotherDirectoryIsTriedAndTheRunEndsNormally)
{
    settings.OutputDirectory = (dir / "gone").string();
    const fs::path rescue = dir / "rescue";
    fs::create_directories(rescue);
    host.resolutions = {[&](std::string &, std::string &directory) {
        directory = rescue.string();
        return WriteFailureChoice::Retry;
    }};

    finishRun();

    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].path, (dir / "gone" / "S9.KPX").string());
    EXPECT_EQ(host.failures[0].reason, test::missingFolderReason());
    EXPECT_TRUE(fs::exists(rescue / "S9.KPX"));
    EXPECT_TRUE(fs::exists(rescue / "S9.TC"));
    const Log tail(log.end() - 3, log.end());
    EXPECT_EQ(tail, (Log{"hide", "completion", "terminate"}));
}

TEST_F(WriteFailures, SubjectIdThatCannotBeAFileNameCanBeCorrected)
{
    settings.SubjectId = "S/9";
    host.resolutions = {[](std::string &subject, std::string &) {
        subject = "S-9";
        return WriteFailureChoice::Retry;
    }};

    finishRun();

    EXPECT_NE(host.failures.at(0).reason.find("'/'"), std::string::npos);
    EXPECT_EQ(readFile(dir / "S-9.KPX").substr(0, 5), "S-9\r\n");
}

TEST_F(WriteFailures, DiscardingNeedsASecondYesAndThenSkipsTheCompletionMessage)
{
    settings.OutputDirectory = (dir / "gone").string();
    auto discard = [](std::string &, std::string &) { return WriteFailureChoice::Discard; };
    host.resolutions = {discard, discard};
    host.discardAnswers = {false, true};

    finishRun();

    EXPECT_EQ(host.failures.size(), 2u) << "a 'no' to the second question goes back to the first";
    const Log tail(log.end() - 2, log.end());
    EXPECT_EQ(tail, (Log{"hide", "terminate"}));
    EXPECT_TRUE(flow.finished());
}

TEST_F(WriteFailures, RetryingTheSameFailingPlaceKeepsAsking)
{
    settings.OutputDirectory = (dir / "gone").string();
    auto retry = [](std::string &, std::string &) { return WriteFailureChoice::Retry; };
    auto createIt = [this](std::string &, std::string &) {
        fs::create_directories(dir / "gone");
        return WriteFailureChoice::Retry;
    };
    host.resolutions = {retry, retry, createIt};

    finishRun();

    EXPECT_EQ(host.failures.size(), 3u);
    EXPECT_TRUE(fs::exists(dir / "gone" / "S9.TC"));
}

} // namespace
} // namespace kpx
