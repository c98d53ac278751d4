#include "RunFlowFixture.h"

#include "CaseFoldingFiles.h"

namespace kpx {
namespace {

using namespace test;

// The data rows of the run's trial log, split into fields.
std::vector<std::vector<std::string>> logRows(const std::string &path)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream text(readFile(path));
    std::string line;
    std::getline(text, line);
    while (std::getline(text, line)) {
        std::vector<std::string> fields(1);
        for (char c : line) {
            if (c == ',')
                fields.emplace_back();
            else if (c != '\r')
                fields.back() += c;
        }
        rows.push_back(fields);
    }
    return rows;
}

enum Column { Subject, Started, Block, Days, DelayText, TrialInBlock, Kind, Amount, ChoiceColumn, Input, Rt,
              LowInner, LowOuter, HighInner, HighOuter, BlockEnded, Ip, WhiteOnset, AnswerableOnset, Response,
              DisplayScale, FrameInterval, FullScreenExits };

using RunFlowLog = RunFlowTest;

TEST_F(RunFlowLog, EveryResponseIsARowTimedOnTheRunsClock)
{
    start();
    clock.ms += 2000;
    flow.activate();
    clock.ms += 750;
    flow.KeyDown(VirtualKey::Right);
    clock.ms += 2000;
    flow.activate();
    clock.ms += 300;
    flow.clickImmediate();

    const auto path = flow.trialLogPath();
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, (dir / "S9_20261208-143005.trials.csv").string());
    const auto rows = logRows(*path);
    ASSERT_EQ(rows.size(), 2u);
    // The options show in white at once, behind the first break message (30 s here); they turn
    // answerable 2 s after the break and are answered 750 ms after that.
    EXPECT_EQ(rows[0][Subject], "S9");
    EXPECT_EQ(rows[0][Started], "2026-12-08T14:30:05");
    EXPECT_EQ(rows[0][Block], "1");
    EXPECT_EQ(rows[0][DelayText], "IN 1 DAY");
    EXPECT_EQ(rows[0][Amount], "40");
    EXPECT_EQ(rows[0][ChoiceColumn], "delayed");
    EXPECT_EQ(rows[0][Input], "key");
    EXPECT_EQ(rows[0][WhiteOnset], "0.000");
    EXPECT_EQ(rows[0][AnswerableOnset], "32000.000");
    EXPECT_EQ(rows[0][Response], "32750.000");
    EXPECT_EQ(rows[0][Rt], "750.000");
    EXPECT_EQ(rows[0][LowInner], "40");
    EXPECT_EQ(rows[0][DisplayScale], "");
    EXPECT_EQ(rows[0][FrameInterval], "");
    EXPECT_EQ(rows[0][FullScreenExits], "");
    // The second trial appears after the green half second and the blank second.
    EXPECT_EQ(rows[1][WhiteOnset], "34250.000");
    EXPECT_EQ(rows[1][Rt], "300.000");
    EXPECT_EQ(rows[1][Input], "click");
    EXPECT_EQ(rows[1][ChoiceColumn], "immediate");
    EXPECT_EQ(rows[1][TrialInBlock], "2");
}

// The last column: the scale the choice window was drawn at when the trial was shown, with '.'; empty
// where the screen has none.
TEST_F(RunFlowLog, EachRowEndsWithTheScaleTheTrialWasShownAt)
{
    screen.scale = 1.272;
    start();
    flow.activate();
    flow.KeyDown(VirtualKey::Right);
    flow.activate();
    flow.KeyDown(VirtualKey::Left);

    const auto rows = logRows(*flow.trialLogPath());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][DisplayScale], "1.272");
    EXPECT_EQ(rows[1][DisplayScale], "1.272");
}

// Where the window system tells when a picture reached the display (a browser's animation frame),
// that moment is the onset, not the moment present() returned.
TEST_F(RunFlowLog, OnsetsAreTheMomentsTheWindowSystemReports)
{
    screen.presentedAt = clock.ms + 12.5;
    start();
    clock.ms += 3000;
    screen.presentedAt = clock.ms - 4.0;
    flow.activate();
    clock.ms += 500;
    flow.KeyDown(VirtualKey::Right);

    const auto rows = logRows(*flow.trialLogPath());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][WhiteOnset], "12.500");
    EXPECT_EQ(rows[0][AnswerableOnset], "32996.000");
    EXPECT_EQ(rows[0][Rt], "504.000");
}

// Where the screen tells them: the display's frame interval, and how often full screen was left up to
// each answer.
TEST_F(RunFlowLog, RowsCarryTheFrameIntervalAndTheFullScreenExitsSoFar)
{
    screen.frameInterval = 16.6667;
    screen.exits = 0;
    start();
    flow.activate();
    screen.exits = 1;
    flow.KeyDown(VirtualKey::Right);
    flow.activate();
    screen.exits = 3;
    flow.KeyDown(VirtualKey::Left);

    const auto rows = logRows(*flow.trialLogPath());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][FrameInterval], "16.667");
    EXPECT_EQ(rows[0][FullScreenExits], "1");
    EXPECT_EQ(rows[1][FullScreenExits], "3");
}

TEST_F(RunFlowLog, RowIsOnDiskBeforeTheNextTrialIsShown)
{
    start();
    flow.activate();
    std::size_t rowsWhenShown = 0;
    waiter.duringPause = [&](double seconds) {
        if (seconds == 1.0)
            rowsWhenShown = logRows(*flow.trialLogPath()).size();
    };
    flow.KeyDown(VirtualKey::Left);
    EXPECT_EQ(rowsWhenShown, 1u);
}

TEST_F(RunFlowLog, WholeRunMarksDistractorsAndEndsEachBlockOnItsResult)
{
    start();
    int responses = 0;
    int distractorsSeen = 0;
    while (!flow.finished() && responses < 5000) {
        flow.activate();
        // Takes $55 or more now, so the bracket narrows and distractors come up.
        flow.KeyDown(engine.state().ImmediateAmount >= 55 ? VirtualKey::Left : VirtualKey::Right);
        ++responses;
    }
    ASSERT_TRUE(flow.finished());

    const auto rows = logRows(*flow.trialLogPath());
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(responses));
    int block = 1;
    const std::vector<std::string> *previous = nullptr;
    for (const auto &row : rows) {
        ASSERT_EQ(row.size(), 24u);
        EXPECT_EQ(row.back(), "en") << "the language column";
        EXPECT_EQ(row[Block], std::to_string(block));
        distractorsSeen += row[Kind] == "distractor";
        // An ordinary amount comes from the range the previous response left.
        const int amount = std::stoi(row[Amount]);
        if (previous && row[Kind] == "ordinary") {
            const int low = std::stoi((*previous)[LowOuter]);
            const int high = std::stoi((*previous)[HighOuter]);
            if (low < high) {
                EXPECT_TRUE(amount > low && amount <= high)
                    << "ordinary $" << amount << " outside (" << low << ", " << high << "]";
            }
        }
        previous = &row;
        if (row[BlockEnded] == "1") {
            EXPECT_EQ(std::stod(row[Ip]), engine.state().IndifferencePoints[block]);
            EXPECT_EQ(row[TrialInBlock], std::to_string(engine.state().TrialCounts[block]));
            ++block;
            previous = nullptr;
        } else {
            EXPECT_EQ(row[Ip], "");
        }
    }
    EXPECT_EQ(block, 8);
    EXPECT_GT(distractorsSeen, 0);
}

TEST_F(RunFlowLog, NoLogNoRunAndTheInstructionsStayUp)
{
    settings.OutputDirectory = (dir / "gone").string();
    random.queued = {0.375f};
    flow.StartTask();

    EXPECT_EQ(log, (Log{"log failed " + (dir / "gone" / "S9_20261208-143005.trials.csv").string()}));
    EXPECT_FALSE(flow.started());

    // Once the setup is corrected, OK starts the run.
    settings.OutputDirectory = dir.string();
    start();
    EXPECT_TRUE(flow.started());
}

// On a volume that does not tell s9 from S9, S9's run would end by replacing s9's results.
TEST_F(RunFlowLog, AnIdTheFolderTakesForAnothersIsRefusedBeforeTheRunNamingTheOtherFile)
{
    std::ofstream(dir / "s9.KPX") << "s9's";
    CaseFoldingFiles folding;
    RunFlow onFolding{engine, settings, screen, breakScreen, waiter, host, clock, Timings{}, ResultsFormat{}, folding};
    waiter.duringWait = [&] { onFolding.breakKeyDown(VirtualKey::Space); };
    random.queued = {0.375f};
    onFolding.StartTask();

    const Log told = takeLog();
    ASSERT_EQ(told.size(), 1u) << "nothing shown, no log made";
    EXPECT_TRUE(told[0].starts_with("name clash " + (dir / "S9.KPX").string())) << told[0];
    EXPECT_NE(told[0].find("s9.KPX"), std::string::npos) << told[0];
    EXPECT_FALSE(onFolding.started());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // Entered again as S10, the run starts.
    settings.SubjectId = "S10";
    random.queued = {0.375f};
    onFolding.StartTask();
    EXPECT_TRUE(onFolding.started());
}

TEST_F(RunFlowLog, PhasesFollowTheTrialsRhythmAndABreakIsFollowedByAWholeBlankSecond)
{
    std::vector<std::pair<std::string, double>> phases;
    flow.setPhaseTrace([&](const char *phase, double ms) { phases.emplace_back(phase, ms); });
    start();
    clock.ms += 2000;
    flow.activate();
    clock.ms += 400;
    oneAnswerFromBlockEnd();
    flow.KeyDown(VirtualKey::Right);

    // Each break message here stays up for 30 s.
    const std::vector<std::pair<std::string, double>> expected = {
        {"white", 0},       {"continued", 30000}, {"answerable", 32000}, {"response", 32400}, {"green", 32400},
        {"cleared", 32900}, {"break", 32900},     {"continued", 62900},  {"white", 63900}};
    EXPECT_EQ(phases, expected);
}

TEST_F(RunFlowLog, WorkAfterThePhaseBeganShortensItsPauseInsteadOfLengtheningIt)
{
    start();
    flow.activate();
    takeLog();
    clock.tick = 1.0;

    flow.KeyDown(VirtualKey::Right);

    const Log entries = takeLog();
    std::vector<double> pauses;
    for (const std::string &entry : entries) {
        if (entry.rfind("pause ", 0) == 0)
            pauses.push_back(std::stod(entry.substr(6)));
    }
    ASSERT_EQ(pauses.size(), 2u);
    EXPECT_LT(pauses[0], 0.5);
    EXPECT_GT(pauses[0], 0.49);
    EXPECT_LT(pauses[1], 1.0);
    EXPECT_GT(pauses[1], 0.99);
}

// Folder lost mid-run and never back: the run hands the recorder the results' directory at the end.
TEST_F(RunFlowLog, LostLogFolderNeverBackPutsTheLogBesideTheResultsAtTheEnd)
{
    fs::create_directories(dir / "g");
    settings.OutputDirectory = (dir / "g").string();
    start();
    const std::string lostPath = *flow.trialLogPath();
    test::loseFolder(dir / "g");
    host.resolutions.push_back([&](std::string &, std::string &directory) {
        directory = dir.string();
        return WriteFailureChoice::Retry;
    });
    std::size_t answers = 0;
    for (; !flow.finished() && answers < 5000; ++answers) {
        flow.activate();
        flow.KeyDown(VirtualKey::Right);
    }

    ASSERT_TRUE(fs::exists(dir / "S9.KPX"));
    EXPECT_EQ(*flow.trialLogPath(), (dir / fs::path(lostPath).filename()).string());
    EXPECT_EQ(logRows(*flow.trialLogPath()).size(), answers);
}

// The end of the run: the log ends whole, bearing the results' subject ID, or the experimenter hears
// what it lacks before the completion message.
TEST_F(RunFlowLog, RowsHeldBackByAFullDiskGoBesideTheResultsBeforeTheCompletion)
{
    const fs::path full = dir / "full";
    fs::create_directories(full);
    settings.OutputDirectory = full.string();
    start();
    std::size_t answers = answerAll(19);
    const std::string first = *flow.trialLogPath();
    files.fillDisk(full.string());
    host.resolutions.push_back([&](std::string &, std::string &directory) {
        directory = dir.string();
        return WriteFailureChoice::Retry;
    });
    answers += answerAll();
    ASSERT_TRUE(flow.finished());

    const std::string rescued = (dir / fs::path(first).filename()).string();
    EXPECT_EQ(*flow.trialLogPath(), rescued);
    EXPECT_EQ(logRows(rescued).size(), answers);
    EXPECT_FALSE(fs::exists(first)) << "the incomplete copy would be scored as a second run";
    const auto told = std::find(log.begin(), log.end(), "log completed " + first + " in " + rescued);
    ASSERT_NE(told, log.end());
    EXPECT_LT(told, std::find(log.begin(), log.end(), "completion"));
}

TEST_F(RunFlowLog, RowsThatNoFolderTakesAreToldAsMissing)
{
    settings.OutputDirectory = dir.string();
    start();
    const std::size_t written = answerAll(19);
    files.fillDisk(dir.string());
    host.resolutions.push_back([](std::string &, std::string &) { return WriteFailureChoice::Discard; });
    host.discardAnswers = {true};
    const std::size_t held = answerAll();
    ASSERT_TRUE(flow.finished());

    EXPECT_EQ(logRows(*flow.trialLogPath()).size(), written);
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "log incomplete " + *flow.trialLogPath() + " lacking " + std::to_string(held)),
              log.end());
}

TEST_F(RunFlowLog, SubjectIdChangedDuringTheRunNamesTheLogAsItNamesTheResults)
{
    start();
    const std::string first = *flow.trialLogPath();
    const std::size_t answers = answerAll(30) + (settings.SubjectId = "S9b", answerAll());
    ASSERT_TRUE(flow.finished());

    EXPECT_TRUE(fs::exists(dir / "S9b.KPX"));
    EXPECT_FALSE(fs::exists(first));
    EXPECT_EQ(*flow.trialLogPath(), (dir / "S9b_20261208-143005.trials.csv").string());
    const auto rows = logRows(*flow.trialLogPath());
    EXPECT_EQ(rows.size(), answers);
    EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](const auto &row) { return row[Subject] == "S9b"; }));
}

TEST_F(RunFlowLog, ABlockThatFillsItsTrialCountStopsTheRunWithItsAnswersLogged)
{
    start();
    answerAll(3);
    engine.state().TrialCount = TrialCountLimit - 1;
    // Contradicting every earlier answer keeps the block open.
    engine.state().LowInner = 50;
    engine.state().HighInner = 50;
    flow.activate();
    engine.state().ImmediateAmount = 95;
    flow.KeyDown(VirtualKey::Right);

    EXPECT_TRUE(flow.finished());
    EXPECT_EQ(engine.state().TrialCount, TrialCountLimit);
    EXPECT_NE(std::find(log.begin(), log.end(), "stopped: " + blockFullMessage(1)), log.end());
    EXPECT_EQ(log.back(), "terminate");
    EXPECT_FALSE(fs::exists(dir / "S9.KPX"));
    EXPECT_EQ(logRows(*flow.trialLogPath()).size(), 4u);
}

TEST_F(RunFlowLog, ResponseTimeRunsToTheKeysOwnTimestampAndKeysPressedWhileWhiteDoNothing)
{
    start();
    clock.ms += 2000;
    flow.activate();
    clock.ms += 500;
    flow.KeyDown(VirtualKey::Right, false, 900'000); // handled at once: anchors the two clocks
    // The green half second and the blank second pass; 2 s later the options turn black.
    clock.ms += 2000;
    flow.activate();
    clock.ms += 800;
    // Pressed 600 ms after the options turned black (3500 ms after the first key), handled 200 ms later.
    flow.KeyDown(VirtualKey::Left, false, 900'000 + 3500 + 600);
    clock.ms += 2000;
    flow.activate();
    clock.ms += 5;
    // The options turned black 4300 + 3500 ms after the first key. Taken after that, a key pressed
    // 10 ms before it (while the last milliseconds of the white phase were slept) does nothing, nor
    // does a click; one within the timestamp's millisecond counts from the onset.
    const std::uint64_t black = 900'000 + 4300 + 3500;
    flow.KeyDown(VirtualKey::Left, false, black - 10);
    flow.clickImmediate(black - 2);
    EXPECT_TRUE(screen.AcceptKeys());
    flow.KeyDown(VirtualKey::Left, false, black - 1);

    std::vector<std::string> rts;
    for (const auto &row : logRows(*flow.trialLogPath()))
        rts.push_back(row[Rt]);
    EXPECT_EQ(rts, (std::vector<std::string>{"500.000", "600.000", "0.000"}));
}

// A front-end that times input as it leaves the queue, on the clock of the onsets: the response runs
// to that moment, and one taken before the options turned black does nothing, by however little.
TEST_F(RunFlowLog, ResponseTimeRunsToTheMomentTheInputLeftTheQueue)
{
    start();
    clock.ms += 2000;
    flow.activate();
    clock.ms += 750;
    flow.KeyDown(VirtualKey::Right, false, InputStamp::retrievedBefore(250));
    clock.ms += 2000;
    flow.activate();
    clock.ms += 3;
    flow.clickImmediate(InputStamp::retrievedBefore(3.5));
    EXPECT_TRUE(screen.AcceptKeys());
    flow.clickImmediate(InputStamp::retrievedBefore(3));

    std::vector<std::string> rts;
    for (const auto &row : logRows(*flow.trialLogPath()))
        rts.push_back(row[Rt]);
    EXPECT_EQ(rts, (std::vector<std::string>{"500.000", "0.000"}));
}

using RunFlowAbort = RunFlowTest;

TEST_F(RunFlowAbort, DuringTheGreenPauseStopsTheTrialWhereItIs)
{
    start();
    flow.activate();
    waiter.duringPause = [&](double) { flow.abort(); };
    takeLog();

    flow.KeyDown(VirtualKey::Right);

    EXPECT_TRUE(waiter.cancelled);
    EXPECT_EQ(engine.state().TrialCount, 0) << "the aborted response is not applied";
    EXPECT_EQ(log.back(), "cancel");
    flow.activate();
    flow.KeyDown(VirtualKey::Left);
    EXPECT_EQ(engine.state().TrialCount, 0);
}

TEST_F(RunFlowAbort, DuringABreakLeavesTheBlockUnstartedAndWritesNoResults)
{
    start();
    flow.activate();
    oneAnswerFromBlockEnd();
    waiter.duringWait = [&] { flow.abort(); };

    flow.KeyDown(VirtualKey::Right);

    EXPECT_TRUE(flow.finished());
    EXPECT_FALSE(fs::exists(dir / "S9.KPX"));
    EXPECT_EQ(logRows(*flow.trialLogPath()).size(), 1u) << "the answered trial is kept";
    EXPECT_FALSE(screen.timerEnabled);
}

} // namespace
} // namespace kpx
