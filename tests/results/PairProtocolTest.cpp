#include "results/ResultsWriter.h"

#include "FaultyFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

namespace kpx {
namespace {

namespace fs = std::filesystem;
using test::FaultyFiles;
using test::FileOp;
using test::readFile;

const std::string OldKpx = "S01\r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n";
const std::string OldTc = "S01\r\n 9 \r\n 9 \r\n 9 \r\n 9 \r\n 9 \r\n 9 \r\n 9 \r\n";
const std::string NewKpx = "S01\r\n 2.5 \r\n 2.5 \r\n 2.5 \r\n 2.5 \r\n 2.5 \r\n 2.5 \r\n 2.5 \r\n";
const std::string NewTc = "S01\r\n 14 \r\n 14 \r\n 14 \r\n 14 \r\n 14 \r\n 14 \r\n 14 \r\n";

RunResults newResults()
{
    RunResults results;
    for (int k = 1; k <= DelayCount; ++k) {
        results.IndifferencePoints[k] = 2.5;
        results.TrialCounts[k] = 14;
    }
    return results;
}

constexpr FileOp ProtocolOps[] = {FileOp::Create, FileOp::Write, FileOp::Sync, FileOp::Close,
                                  FileOp::Replace, FileOp::MoveNew, FileOp::Remove, FileOp::SyncDirectory};

const char *nameOf(FileOp op)
{
    static const char *const names[] = {"create", "write", "truncate", "sync", "close",
                                        "replace", "move", "remove", "sync directory"};
    return names[static_cast<int>(op)];
}

// A folder holding S01's old pair, replaced by a new one while calls fail.
class PairProtocol : public ::testing::Test
{
protected:
    void SetUp() override { reset(); }

    void reset()
    {
        for (const auto &entry : fs::directory_iterator(dir))
            fs::remove_all(entry.path());
        std::ofstream(dir / "S01.KPX", std::ios::binary) << OldKpx;
        std::ofstream(dir / "S01.TC", std::ios::binary) << OldTc;
    }

    std::optional<WriteFailure> write(Files &files) { return WriteResults("S01", dir.string(), newResults(), {}, files); }

    // What a reader of the folder finds under a name.
    std::string at(const std::string &name) const
    {
        return fs::exists(dir / name) ? readFile(dir / name) : "missing";
    }

    // Names in the folder besides the pair and, when one could not be removed, this write's own leftovers.
    std::set<std::string> strays() const
    {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name != "S01.KPX" && name != "S01.TC")
                names.insert(name);
        }
        return names;
    }

    // A reader never finds a .KPX beside a .TC of another write, or without its .TC.
    void expectNoMixedPair() const
    {
        const std::string kpx = at("S01.KPX");
        const std::string tc = at("S01.TC");
        EXPECT_TRUE(kpx == "missing" || (kpx == OldKpx && tc == OldTc) || (kpx == NewKpx && tc == NewTc))
            << "S01.KPX: " << kpx << "S01.TC: " << tc;
    }

    // Counts each operation's calls in a write that nothing disturbs, so each can be failed in turn.
    std::map<FileOp, int> callsOfACleanWrite()
    {
        FaultyFiles counting;
        EXPECT_FALSE(write(counting));
        std::map<FileOp, int> calls;
        for (FileOp op : ProtocolOps)
            calls[op] = counting.calls(op);
        reset();
        return calls;
    }

    test::ScratchDirectory scratch{"kpx-pair"};
    fs::path dir = scratch.path();
};

TEST_F(PairProtocol, EveryFailingCallLeavesTheOldPairOrTheNewOneAndSaysWhereEveryFileIs)
{
    for (const auto &[op, count] : callsOfACleanWrite()) {
        for (int nth = 1; nth <= count; ++nth) {
            for (const bool onwards : {false, true}) {
                SCOPED_TRACE(std::string(nameOf(op)) + " call " + std::to_string(nth) + (onwards ? " and later" : ""));
                reset();
                FaultyFiles files;
                files.failAt(op, nth, onwards);
                const auto failure = write(files);
                EXPECT_EQ(files.openFiles(), 0);
                expectNoMixedPair();
                if (!failure) {
                    EXPECT_EQ(at("S01.KPX"), NewKpx);
                    // Only a failed removal may leave something behind, and only in this program's own form.
                    if (op != FileOp::Remove) {
                        EXPECT_TRUE(strays().empty());
                    }
                } else if (failure->reason.find("could not all be put back") == std::string::npos) {
                    EXPECT_EQ(at("S01.KPX"), OldKpx) << failure->reason;
                    EXPECT_EQ(at("S01.TC"), OldTc);
                    if (op != FileOp::Remove) {
                        EXPECT_TRUE(strays().empty());
                    }
                } else {
                    // Every file the message names holds what it says.
                    for (const std::string &stray : strays()) {
                        const std::string what = stray.starts_with("S01.KPX") ? "the earlier S01.KPX" : "the earlier S01.TC";
                        EXPECT_NE(failure->reason.find(stray + " holds " + what), std::string::npos) << failure->reason;
                        EXPECT_EQ(at(stray), stray.starts_with("S01.KPX") ? OldKpx : OldTc);
                    }
                }
                // Whatever happened, the next undisturbed write leaves the new pair alone.
                FaultyFiles clean;
                ASSERT_FALSE(write(clean));
                EXPECT_EQ(at("S01.KPX"), NewKpx);
                EXPECT_EQ(at("S01.TC"), NewTc);
                EXPECT_TRUE(strays().empty());
            }
        }
    }
}

TEST_F(PairProtocol, AKillAtAnyCallLeavesNoMixedPairAndTheNextWritePutsTheOldOneBackFirst)
{
    for (const auto &[op, count] : callsOfACleanWrite()) {
        for (int nth = 1; nth <= count; ++nth) {
            SCOPED_TRACE(std::string("killed at ") + nameOf(op) + " call " + std::to_string(nth));
            reset();
            FaultyFiles files;
            files.killAt(op, nth);
            EXPECT_THROW(write(files), test::Killed);
            expectNoMixedPair();

            // The next write fails before it writes anything: the interrupted one is put right all the same.
            FaultyFiles failing;
            failing.failAt(FileOp::Create, 1, true);
            ASSERT_TRUE(write(failing));
            const std::string kpx = at("S01.KPX");
            EXPECT_TRUE((kpx == OldKpx && at("S01.TC") == OldTc) || (kpx == NewKpx && at("S01.TC") == NewTc)) << kpx;

            FaultyFiles clean;
            ASSERT_FALSE(write(clean));
            EXPECT_EQ(at("S01.KPX"), NewKpx);
            EXPECT_TRUE(strays().empty());
        }
    }
}

TEST_F(PairProtocol, OnlyLeftoversInThisProgramsOwnNameFormAreRemoved)
{
    const std::set<std::string> ours = {"S01.KPX.partial-Ab12Cd", "S01.TC.partial-zz99YY", "S01.TC.previous-0aB9zZ"};
    // Other subjects' files, among them those of subjects named like leftovers, and near misses.
    const std::set<std::string> theirs = {"S02.KPX.partial-Ab12Cd", "S01.KPX.partial-AB.KPX", "S01.TC.partial-ABC.TC",
                                          "S01.KPX.partial-Ab12C",  "S01.KPX.partial-Ab1.Cd", "S01.KPX.previous-Ab12Cd7",
                                          "S01.KPX.partial-Ab12Cd_20261208-143005.trials.csv"};
    for (const auto &names : {ours, theirs})
        for (const std::string &name : names)
            std::ofstream(dir / name) << "half";

    FaultyFiles files;
    ASSERT_FALSE(write(files));
    EXPECT_EQ(strays(), theirs);
}

} // namespace
} // namespace kpx
