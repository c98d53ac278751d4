#include "results/TrialRecorder.h"

#include "engine/RandomSource.h"

#include "FaultyFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

namespace kpx {
namespace {

namespace fs = std::filesystem;
using test::FileOp;
using test::readFile;

const LocalDateTime Started{2026, 3, 7, 9, 5, 1};

// Writes down what the experimenter would be asked and told, and answers as scripted.
class ScriptedHost final : public TrialLogHost
{
public:
    bool resolveLogFailure(const WriteFailure &failure, std::string &directory) override
    {
        said.push_back("cannot create " + failure.path);
        return createAnswer && createAnswer(directory);
    }
    void reportLogFailure(const WriteFailure &failure) override { said.push_back("row failed: " + failure.reason); }
    bool resolveLogLost(const LostLog &lost, const WriteFailure &failure, std::string &directory) override
    {
        said.push_back("lost " + lost.path + ", not written to " + failure.path);
        lostReasons.push_back(lost.reason);
        return lostAnswer && lostAnswer(directory);
    }
    void reportLogWrittenAgain(const LostLog &lost, const std::string &newPath) override
    {
        said.push_back("lost " + lost.path + ", written again to " + newPath);
        lostReasons.push_back(lost.reason);
        tornFiles.push_back(lost.tornFile.value_or(""));
    }
    bool resolveLogUnfinished(const std::string &logPath, std::size_t missingRows, const WriteFailure &failure,
                              std::string &directory) override
    {
        said.push_back("unfinished " + logPath + " lacking " + std::to_string(missingRows) + ", not written to " + failure.path);
        return lostAnswer && lostAnswer(directory);
    }
    void reportLogIncomplete(const std::string &logPath, std::size_t missingRows) override
    {
        said.push_back("incomplete " + logPath + " lacking " + std::to_string(missingRows));
    }
    void reportLogCompleted(const std::string &oldPath, const std::string &newPath) override
    {
        said.push_back("completed " + oldPath + " in " + newPath);
    }

    std::vector<std::string> said;
    // Why each lost log was given up, and the torn file left of it ("" when none).
    std::vector<std::string> lostReasons;
    std::vector<std::string> tornFiles;
    std::function<bool(std::string &)> createAnswer;
    std::function<bool(std::string &)> lostAnswer;
};

class TrialRecorderTest : public ::testing::Test
{
protected:
    void SetUp() override { engine.reset(20); }

    // The participant takes the delayed amount.
    void answer()
    {
        engine.state().ChoseDelayed = true;
        engine.DrawNextAmount(recorder.Record(engine).DistractorNext);
        ++answers;
    }
    // The data rows in the file, header left out.
    static std::size_t rowsOnDisk(const std::string &path)
    {
        const std::string text = readFile(path);
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) - 1;
    }
    std::vector<std::string> told()
    {
        std::vector<std::string> said;
        said.swap(host.said);
        return said;
    }

    test::ScratchDirectory scratch{"kpx-recorder"};
    fs::path dir = scratch.path();
    SeededRandom random = SeededRandom::fixed(3);
    TaskEngine engine{random};
    ScriptedHost host;
    TrialRecorder recorder{host};
    std::size_t answers = 0;
};

TEST_F(TrialRecorderTest, UncreatableLogIsAskedAboutUntilAnotherDirectoryWorksOrTheExperimenterGivesUp)
{
    const std::string gone = (dir / "gone").string();
    EXPECT_FALSE(recorder.open(gone, "S1", Started));
    EXPECT_EQ(told(), (std::vector<std::string>{"cannot create " + (fs::path(gone) / "S1_20260307-090501.trials.csv").string()}));
    EXPECT_FALSE(recorder.logPath());

    host.createAnswer = [&](std::string &directory) {
        directory = dir.string();
        return true;
    };
    ASSERT_TRUE(recorder.open(gone, "S1", Started));
    EXPECT_EQ(told().size(), 1u);
    EXPECT_EQ(*recorder.logPath(), (dir / "S1_20260307-090501.trials.csv").string());
}

// Disk full: told once, the run goes on, and the held rows go out with the next row or at the end.
TEST_F(TrialRecorderTest, RowsThatCannotBeWrittenAreToldOnceAndWrittenLater)
{
    KPX_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    ASSERT_TRUE(recorder.open(dir.string(), "S1", Started));
    answer();
    const std::string path = *recorder.logPath();
    {
        test::FileSizeLimit full(readFile(path).size() + 10);
        answer();
        answer();
    }
    EXPECT_EQ(told(), (std::vector<std::string>{std::string("row failed: ") + std::strerror(EFBIG)}));
    EXPECT_EQ(rowsOnDisk(path), 1u);
    recorder.flush();
    EXPECT_EQ(rowsOnDisk(path), answers);
}

// Folder lost mid-run: asked about once, then tried again quietly with each answer, and at the end
// written beside the results.
TEST_F(TrialRecorderTest, LostLogIsAskedAboutOnceThenWrittenAgainInFull)
{
    fs::create_directories(dir / "g");
    ASSERT_TRUE(recorder.open((dir / "g").string(), "S1", Started));
    answer();
    const std::string lostPath = *recorder.logPath();
    test::loseFolder(dir / "g");

    answer();
    answer();
    EXPECT_EQ(told(), (std::vector<std::string>{"lost " + lostPath + ", not written to " + lostPath}));

    fs::create_directories(dir / "g");
    answer();
    EXPECT_EQ(told(), (std::vector<std::string>{"lost " + lostPath + ", written again to " + lostPath}));
    EXPECT_EQ(rowsOnDisk(lostPath), answers);

    // Lost again and never back: the end puts it beside the results.
    test::loseFolder(dir / "g");
    answer();
    told();
    recorder.finish(WrittenResults{"S1", dir.string()});
    const std::string rescued = (dir / fs::path(lostPath).filename()).string();
    EXPECT_EQ(told(), (std::vector<std::string>{"completed " + lostPath + " in " + rescued}));
    EXPECT_EQ(rowsOnDisk(rescued), answers);
}

// Another program holds the log open when a failed write cannot be cut back: the experimenter is told
// that, not that the log was removed, and which torn file is left while it cannot be removed.
TEST_F(TrialRecorderTest, ALogHeldOpenByAnotherProgramIsToldAsSuchAndItsTornFileNamed)
{
    test::FaultyFiles files;
    TrialRecorder held{host, files};
    ASSERT_TRUE(held.open(dir.string(), "S1", Started));
    const std::string torn = *held.logPath();
    engine.state().ChoseDelayed = true;
    engine.DrawNextAmount(held.Record(engine).DistractorNext);
    files.holdOpen(torn);
    for (const FileOp op : {FileOp::Write, FileOp::Truncate})
        files.failAt(op, files.calls(op) + 1);

    engine.state().ChoseDelayed = true;
    engine.DrawNextAmount(held.Record(engine).DistractorNext);

    ASSERT_EQ(host.lostReasons.size(), 1u);
    EXPECT_EQ(host.lostReasons[0].find("removed or replaced"), std::string::npos) << host.lostReasons[0];
    EXPECT_NE(host.lostReasons[0].find(test::FaultyFiles::heldOpen().reason), std::string::npos);
    EXPECT_EQ(host.tornFiles, (std::vector<std::string>{torn}));
    EXPECT_NE(*held.logPath(), torn);
    EXPECT_EQ(rowsOnDisk(*held.logPath()), 2u);

    files.letGo();
    EXPECT_EQ(held.finish(WrittenResults{"S1b", dir.string()}), 0u);
    EXPECT_FALSE(fs::exists(torn)) << "removed with the log written again at the end";
}

} // namespace
} // namespace kpx
