#include "analyze/Analysis.h"

#include "analyze/SystemText.h"

#include "TrialLogText.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

using kpx::AnalysisOptions;
using kpx::ExitStatus;

const char *const ExampleKpx = "S01\r\n 97.5 \r\n 92.5 \r\n 62.5 \r\n 47.5 \r\n 32.5 \r\n 22.5 \r\n 2.5 \r\n";
const char *const ExampleTc = "S01\r\n 14 \r\n 12 \r\n 10 \r\n 9 \r\n 11 \r\n 13 \r\n 8 \r\n";

std::string kpxFor(const std::string &subject)
{
    return subject + "\r\n 92,5 \r\n 87,5 \r\n 72,5 \r\n 42,5 \r\n 27,5 \r\n 17,5 \r\n 7,5 \r\n";
}

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
    return lines;
}

class Analysis : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void write(const QString &name, const std::string &contents) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents.data(), static_cast<qint64>(contents.size()));
    }

    ExitStatus run(AnalysisOptions options)
    {
        return kpx::runAnalysis(options, m_out, m_err);
    }

    ExitStatus runOn(const QStringList &paths)
    {
        AnalysisOptions options;
        options.paths = paths;
        return run(options);
    }

    QTemporaryDir m_dir;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

TEST_F(Analysis, ScoresTheGoodFilesOfADirectoryAndNamesTheBrokenOneWithItsLine)
{
    write("S01.KPX", ExampleKpx);
    write("S02.KPX", "S02\n 97.5 \n 92.5 \n 62.5 \n forty \n 32.5 \n 22.5 \n 2.5 \n");
    write("S03.KPX", kpxFor("S03"));
    write("notes.txt", "not a results file");

    EXPECT_EQ(runOn({m_dir.path()}), ExitStatus::BadInput);

    const std::vector<std::string> rows = linesOf(m_out.str());
    ASSERT_EQ(rows.size(), 3u) << m_out.str();
    EXPECT_TRUE(rows[0].starts_with("subject,file,"));
    EXPECT_EQ(rows[1].substr(0, rows[1].find(",97.5")), "S01," + path("S01.KPX").toStdString());
    EXPECT_TRUE(rows[2].starts_with("S03," + path("S03.KPX").toStdString() + ",92.5,87.5,72.5,42.5,27.5,17.5,7.5,"))
        << rows[2];

    const std::vector<std::string> problems = linesOf(m_err.str());
    ASSERT_EQ(problems.size(), 1u) << m_err.str();
    EXPECT_TRUE(problems[0].starts_with(path("S02.KPX").toStdString() + ":5: ")) << problems[0];
}

TEST_F(Analysis, ReportsNothingToScoreWhenNoResultsFilesAreFound)
{
    write("notes.txt", "S01");
    EXPECT_EQ(runOn({m_dir.path(), path("missing.KPX")}), ExitStatus::NothingToScore);
    EXPECT_TRUE(m_out.str().empty());
    EXPECT_NE(m_err.str().find("no .KPX files or trial logs found"), std::string::npos) << m_err.str();
}

TEST_F(Analysis, ScoresTheOthersButFailsWhenANamedPathIsMissing)
{
    write("S01.KPX", ExampleKpx);
    EXPECT_EQ(runOn({path("S01.KPX"), path("S09.KPX")}), ExitStatus::BadInput);
    EXPECT_EQ(linesOf(m_out.str()).size(), 2u);
    EXPECT_NE(m_err.str().find("S09.KPX"), std::string::npos);
}

TEST_F(Analysis, CountsAFileNamedTwiceOnce)
{
    write("S01.KPX", ExampleKpx);
    EXPECT_EQ(runOn({path("S01.KPX"), m_dir.path(), path("S01.KPX")}), ExitStatus::Success);
    EXPECT_EQ(linesOf(m_out.str()).size(), 2u) << m_out.str();
}

struct TrialCountCase
{
    const char *name;
    std::optional<std::string> tcContents;
    std::string expectedTotal;
    ExitStatus expectedStatus;
};

void PrintTo(const TrialCountCase &c, std::ostream *os)
{
    *os << c.name;
}

class AnalysisTrialCounts : public Analysis, public ::testing::WithParamInterface<TrialCountCase>
{
};

TEST_P(AnalysisTrialCounts, TotalTheTcBesideTheKpxOrLeaveItEmpty)
{
    write("S01.KPX", ExampleKpx);
    if (GetParam().tcContents)
        write("S01.TC", *GetParam().tcContents);

    EXPECT_EQ(runOn({m_dir.path()}), GetParam().expectedStatus);
    const std::vector<std::string> rows = linesOf(m_out.str());
    ASSERT_EQ(rows.size(), 2u) << "the .KPX row is written whatever the .TC holds";
    EXPECT_NE(rows[1].find(",2.5," + GetParam().expectedTotal + ",0.179"), std::string::npos) << rows[1];
    EXPECT_EQ(linesOf(m_err.str()).size(), GetParam().expectedStatus == ExitStatus::Success ? 0u : 1u) << m_err.str();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnalysisTrialCounts,
    ::testing::Values(TrialCountCase{"Present", ExampleTc, "77", ExitStatus::Success},
                      TrialCountCase{"Missing", std::nullopt, "", ExitStatus::Success},
                      TrialCountCase{"Short", std::string("S01\r\n 14 \r\n 12 \r\n"), "", ExitStatus::BadInput},
                      TrialCountCase{"Fractional", std::string("S01\n 14 \n 12 \n 10.5 \n 9 \n 11 \n 13 \n 8 \n"), "",
                                     ExitStatus::BadInput},
                      TrialCountCase{"OtherSubject", std::string("S02\n 14 \n 12 \n 10 \n 9 \n 11 \n 13 \n 8 \n"), "",
                                     ExitStatus::BadInput}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Analysis, WritesTheSummaryToTheOutFileInsteadOfStandardOutput)
{
    write("S01.KPX", ExampleKpx);
    AnalysisOptions options;
    options.paths = {m_dir.path()};
    options.summaryPath = path("summary.csv");
    EXPECT_EQ(run(options), ExitStatus::Success);
    EXPECT_TRUE(m_out.str().empty());
    QFile summary(path("summary.csv"));
    ASSERT_TRUE(summary.open(QIODevice::ReadOnly));
    EXPECT_EQ(linesOf(summary.readAll().toStdString()).size(), 2u);
}

TEST_F(Analysis, ReportsAnUnwritableSummaryAsAnOutputFailure)
{
    write("S01.KPX", ExampleKpx);
    AnalysisOptions options;
    options.paths = {m_dir.path()};
    options.summaryPath = path("no-such-dir/summary.csv");
    EXPECT_EQ(run(options), ExitStatus::OutputFailed);
    EXPECT_NE(m_err.str().find("summary.csv"), std::string::npos);
}

TEST_F(Analysis, DrawsOnePlotPerFileWithoutOverwritingAndAStudyPlot)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("data"));
    write("data/A.KPX", kpxFor("a/b"));
    write("data/B.KPX", kpxFor("a/b"));
    write("data/C.KPX", ExampleKpx);
    AnalysisOptions options;
    options.paths = {path("data")};
    options.plotDirectory = path("plots/new");
    EXPECT_EQ(run(options), ExitStatus::Success) << m_err.str();

    for (const char *name : {"a_b.png", "a_b-2.png", "S01.png", "study.png"}) {
        const QImage image(path("plots/new/") + QString::fromLatin1(name));
        EXPECT_EQ(image.size(), QSize(800, 600)) << name;
    }
    EXPECT_EQ(QDir(path("plots/new")).entryList(QDir::Files).size(), 4);
}

TEST_F(Analysis, ScoresHiddenResultsFilesOfADirectory)
{
    write(".KPX", kpxFor(""));
    write(".hid.KPX", kpxFor("hid"));
    EXPECT_EQ(runOn({m_dir.path()}), ExitStatus::Success) << m_err.str();
    const std::vector<std::string> rows = linesOf(m_out.str());
    ASSERT_EQ(rows.size(), 3u) << m_out.str();
    EXPECT_TRUE(rows[1].starts_with("," + path(".KPX").toStdString() + ",")) << rows[1];
    EXPECT_TRUE(rows[2].starts_with("hid,")) << rows[2];
}

// Reading a FIFO would block for ever; devices and sockets are no better.
TEST_F(Analysis, ReportsAFifoAndScoresTheRest)
{
    write("S01.KPX", ExampleKpx);
    write("S02.KPX", kpxFor("S02"));
    for (const char *name : {"X.KPX", "S02.TC"})
        ASSERT_EQ(::mkfifo(path(name).toLocal8Bit().constData(), 0600), 0);

    EXPECT_EQ(runOn({m_dir.path(), path("X.KPX")}), ExitStatus::BadInput);
    const std::vector<std::string> rows = linesOf(m_out.str());
    ASSERT_EQ(rows.size(), 3u) << m_out.str();
    EXPECT_TRUE(rows[2].starts_with("S02,")) << rows[2];
    const std::vector<std::string> problems = linesOf(m_err.str());
    ASSERT_EQ(problems.size(), 2u) << m_err.str();
    EXPECT_TRUE(problems[0].starts_with(path("S02.TC").toStdString() + ": not a regular file")) << problems[0];
    EXPECT_TRUE(problems[1].starts_with(path("X.KPX").toStdString() + ": not a regular file")) << problems[1];
}

class AnalysisRefusedOutput : public Analysis, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(AnalysisRefusedOutput, WritesNothingOverAnInputOrAResultsFile)
{
    write("S01.KPX", ExampleKpx);
    write("S01.TC", ExampleTc);
    ASSERT_EQ(::link(path("S01.KPX").toLocal8Bit().constData(), path("linked.csv").toLocal8Bit().constData()), 0);
    AnalysisOptions options;
    options.paths = {path("S01.KPX")};
    options.summaryPath = path(GetParam());

    EXPECT_EQ(run(options), ExitStatus::RefusedOutput);
    EXPECT_NE(m_err.str().find(path(GetParam()).toStdString()), std::string::npos) << m_err.str();
    QFile input(path("S01.KPX"));
    ASSERT_TRUE(input.open(QIODevice::ReadOnly));
    EXPECT_EQ(input.readAll().toStdString(), ExampleKpx);
    EXPECT_FALSE(QFile::exists(path("other.kpx")));
}

INSTANTIATE_TEST_SUITE_P(Outputs, AnalysisRefusedOutput,
                         ::testing::Values("S01.KPX", "S01.TC", "other.kpx", "S01_20260101-120000.trials.csv",
                                           "linked.csv"),
                         [](const auto &info) {
                             std::string name = info.param;
                             for (char &c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// Column of a summary line, for lines without quoted fields.
std::string column(const std::string &line, std::size_t index)
{
    std::stringstream fields(line);
    std::string field;
    for (std::size_t i = 0; i <= index; ++i)
        std::getline(fields, field, ',');
    return field;
}

constexpr std::size_t TrialLogColumn = 18;
constexpr std::size_t FarConsistencyColumn = 42;

// The first columns of a summary line, which were all of it before the model columns came.
std::string firstColumns(const std::string &line, std::size_t count)
{
    std::size_t end = 0;
    for (std::size_t i = 0; i < count && end != std::string::npos; ++i)
        end = line.find(',', end + (i == 0 ? 0 : 1));
    return line.substr(0, end);
}

TEST_F(Analysis, JoinsEachLogToItsSubjectsRowAndReportsOrphanAndBrokenLogs)
{
    using kpx::test::trialLogText;
    write("S01.KPX", ExampleKpx);
    write("S01_20260101-100000.trials.csv", trialLogText(kpx::test::ExampleLog));
    write("S01_20260102-100000.trials.csv", trialLogText({{1, "ordinary", 40, "delayed", "500"}}));
    write("S02_20260101-100000.trials.csv", trialLogText({{1, "ordinary", 40, "delayed", "500", "", "S02"}}));
    write("S03_20260101-100000.trials.csv", trialLogText({{1, "ordinary", 40, "delayed", "500", "", "S03"}}) + "S03,");
    write("S04_20260101-100000.trials.csv", trialLogText({}));
    AnalysisOptions options;
    options.paths = {m_dir.path()};
    options.trialsPath = path("blocks.csv");

    EXPECT_EQ(run(options), ExitStatus::BadInput);
    const std::vector<std::string> rows = linesOf(m_out.str());
    ASSERT_EQ(rows.size(), 5u) << m_out.str();
    EXPECT_EQ(column(rows[1], TrialLogColumn), path("S01_20260101-100000.trials.csv").toStdString());
    EXPECT_TRUE(firstColumns(rows[1], 25).ends_with(",400,550.25,2,0.6666666666666666,0.5,1")) << rows[1];
    EXPECT_EQ(column(rows[1], FarConsistencyColumn), "0.75");
    EXPECT_EQ(column(rows[2], 2), "97.5") << "every log of the subject repeats the .KPX scores";
    EXPECT_EQ(column(rows[2], 39), column(rows[1], 39)) << "and its best model";
    EXPECT_TRUE(firstColumns(rows[2], 25).ends_with(",500,0,0,,,1")) << rows[2];
    EXPECT_TRUE(rows[3].starts_with("S02,,,")) << "a log without a .KPX file still gets a row";
    EXPECT_TRUE(rows[4].starts_with("S03,,,")) << "a cut-off log is scored for the rows it has";

    const std::vector<std::string> problems = linesOf(m_err.str());
    ASSERT_EQ(problems.size(), 2u) << m_err.str();
    EXPECT_NE(problems[0].find("S03_20260101-100000.trials.csv:3: cut off"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("S04_20260101-100000.trials.csv: no answered trial"), std::string::npos);

    QFile blocks(path("blocks.csv"));
    ASSERT_TRUE(blocks.open(QIODevice::ReadOnly));
    EXPECT_EQ(linesOf(blocks.readAll().toStdString()).size(), 1u + 2 + 1 + 1 + 1);
}

TEST_F(Analysis, ReadsALogNamedOnTheCommandLineButNotTheLogsBesideANamedKpx)
{
    write("S01.KPX", ExampleKpx);
    write("S01_20260101-100000.trials.csv", kpx::test::trialLogText(kpx::test::ExampleLog));
    EXPECT_EQ(runOn({path("S01.KPX")}), ExitStatus::Success);
    EXPECT_EQ(column(linesOf(m_out.str())[1], TrialLogColumn), "");
    m_out.str("");
    EXPECT_EQ(runOn({path("S01_20260101-100000.trials.csv")}), ExitStatus::Success) << m_err.str();
    EXPECT_EQ(column(linesOf(m_out.str())[1], TrialLogColumn), path("S01_20260101-100000.trials.csv").toStdString());
}

// Subjects and names from outside: the row is scored, its text written so the CSV stays UTF-8 text.
TEST_F(Analysis, WritesAControlCharacterOfASubjectEscapedNeverRaw)
{
    write("S01.KPX", kpxFor(std::string("S\0" "1\x1B[2J", 7)));
    EXPECT_EQ(runOn({m_dir.path()}), ExitStatus::Success);
    const std::vector<std::string> rows = linesOf(m_out.str());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[1].starts_with("S\\x001\\x1B[2J,")) << rows[1];
    EXPECT_EQ(m_out.str().find('\0'), std::string::npos);
}

TEST_F(Analysis, ScoresAResultsFileWhoseNameIsNotUtf8FoundOrNamed)
{
    const std::string directory = m_dir.path().toStdString();
    for (const auto &[name, contents] : {std::pair{"/S\xFF.KPX", kpxFor("S01")}, std::pair{"/S\xFF.TC", std::string(ExampleTc)}}) {
        const int fd = ::open((directory + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, contents.data(), contents.size()), static_cast<ssize_t>(contents.size()));
        ::close(fd);
    }
    const std::string expected = "S01," + directory + "/S\\xFF.KPX,92.5,87.5,72.5,42.5,27.5,17.5,7.5,77,";

    EXPECT_EQ(runOn({m_dir.path()}), ExitStatus::Success) << m_err.str();
    ASSERT_EQ(linesOf(m_out.str()).size(), 2u) << "the directory's file is scored";
    EXPECT_TRUE(linesOf(m_out.str())[1].starts_with(expected)) << linesOf(m_out.str())[1];

    m_out.str("");
    EXPECT_EQ(runOn({kpx::fromSystemBytes(directory + "/S\xFF.KPX")}), ExitStatus::Success) << m_err.str();
    ASSERT_EQ(linesOf(m_out.str()).size(), 2u) << "the named file is scored";
    EXPECT_TRUE(linesOf(m_out.str())[1].starts_with(expected)) << linesOf(m_out.str())[1];
}

TEST_F(Analysis, JoinsALogToItsResultsWhenTheSubjectStartsWithAByteOrderMark)
{
    write("\xEF\xBB\xBFS01.KPX", "\xEF\xBB\xBF" + std::string(ExampleKpx));
    write("\xEF\xBB\xBFS01_20260101-100000.trials.csv",
          kpx::test::trialLogText({{1, "ordinary", 40, "delayed", "500", "", "\xEF\xBB\xBFS01"}}));
    EXPECT_EQ(runOn({m_dir.path()}), ExitStatus::Success) << m_err.str();
    const std::vector<std::string> rows = linesOf(m_out.str());
    ASSERT_EQ(rows.size(), 2u) << m_out.str();
    EXPECT_TRUE(rows[1].starts_with("S01,")) << rows[1];
    EXPECT_NE(column(rows[1], TrialLogColumn), "");
}

TEST_F(Analysis, RefusesAnOutputNameQtWouldWriteUnderAnotherName)
{
    write("S01.KPX", ExampleKpx);
    AnalysisOptions options;
    options.paths = {m_dir.path()};
    options.summaryPath = kpx::fromSystemBytes(m_dir.path().toStdString() + "/s\xFF.csv");
    EXPECT_EQ(run(options), ExitStatus::RefusedOutput);
    EXPECT_NE(m_err.str().find("s\\xFF.csv: the name is not UTF-8"), std::string::npos) << m_err.str();
}

TEST_F(Analysis, RefusesTheSamePathForTheSummaryAndThePerBlockFile)
{
    write("S01.KPX", ExampleKpx);
    AnalysisOptions options;
    options.paths = {m_dir.path()};
    options.summaryPath = path("out.csv");
    options.trialsPath = path("./out.csv");
    EXPECT_EQ(run(options), ExitStatus::RefusedOutput);
    EXPECT_FALSE(QFile::exists(path("out.csv")));
}

TEST_F(Analysis, StacksTheResponseTimePanelUnderTheSubjectPlot)
{
    write("S01.KPX", ExampleKpx);
    write("S01_20260101-100000.trials.csv", kpx::test::trialLogText(kpx::test::ExampleLog));
    write("S02_20260101-100000.trials.csv", kpx::test::trialLogText({{1, "ordinary", 40, "delayed", "5", "", "S02"}}));
    AnalysisOptions options;
    options.paths = {m_dir.path()};
    options.plotDirectory = path("plots");
    EXPECT_EQ(run(options), ExitStatus::Success) << m_err.str();
    EXPECT_EQ(QImage(path("plots/S01.png")).size(), QSize(800, 600 + 400));
    EXPECT_EQ(QImage(path("plots/S02.png")).size(), QSize(800, 400));
    EXPECT_EQ(QImage(path("plots/study.png")).size(), QSize(800, 600));
}

struct ArgumentCase
{
    QStringList arguments;
    bool valid;
};

void PrintTo(const ArgumentCase &c, std::ostream *os)
{
    *os << ::testing::PrintToString(c.arguments.join(' ').toStdString());
}

class ArgumentParsing : public ::testing::TestWithParam<ArgumentCase>
{
};

TEST_P(ArgumentParsing, AcceptsOnlyWellFormedCommandLines)
{
    const auto parsed = kpx::parseArguments(GetParam().arguments);
    EXPECT_EQ(std::holds_alternative<AnalysisOptions>(parsed), GetParam().valid)
        << GetParam().arguments.join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ArgumentParsing,
    ::testing::Values(ArgumentCase{{"--help"}, true}, ArgumentCase{{}, false}, ArgumentCase{{"--out", "s.csv"}, false},
                      ArgumentCase{{"a", "--out"}, false}, ArgumentCase{{"--out=", "a"}, false},
                      ArgumentCase{{"--out", "x", "--out", "y", "a"}, false}, ArgumentCase{{"--plot", "p", "a"}, false},
                      ArgumentCase{{"--version"}, true}, ArgumentCase{{"-x", "a"}, false},
                      ArgumentCase{{"--help=x"}, false}, ArgumentCase{{"--", "--help"}, true},
                      ArgumentCase{{"--", "--out=S1.KPX", "-"}, true}));

TEST(ArgumentParsing, KeepsPathsAndOptionValuesApart)
{
    const auto parsed = kpx::parseArguments({"a", "--plots", "p", "--out=s.csv", "--trials", "t.csv", "--", "-b"});
    ASSERT_TRUE(std::holds_alternative<AnalysisOptions>(parsed));
    const auto &options = std::get<AnalysisOptions>(parsed);
    EXPECT_EQ(options.paths, (QStringList{"a", "-b"}));
    EXPECT_EQ(options.plotDirectory, QStringLiteral("p"));
    EXPECT_EQ(options.summaryPath, QStringLiteral("s.csv"));
    EXPECT_EQ(options.trialsPath, QStringLiteral("t.csv"));
}

} // namespace
