#include "analyze/Analysis.h"

#include "analyze/Plot.h"
#include "results/ResultsReader.h"
#include "analyze/Scoring.h"
#include "analyze/SummaryCsv.h"
#include "analyze/SystemText.h"
#include "analyze/TrialLogFile.h"
#include "analyze/TrialScoring.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <numeric>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kpx {
namespace {

// Trial logs end in this; the task names them <SubjectId>_<yyyyMMdd-HHmmss>.trials.csv.
QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
const QString TrialLogSuffix = latin1(kpx::TrialLogSuffix);
const QString IndifferenceSuffix = latin1(kpx::IndifferenceSuffix);
const QString TrialCountSuffix = latin1(kpx::TrialCountSuffix);

// Results files are a few dozen bytes; anything this big is some other file picked up by mistake.
constexpr qint64 MaxResultsFileBytes = 64 * 1024;
// A trial log row is about 150 bytes; a run of a hundred thousand trials is no run at all.
constexpr qint64 MaxTrialLogBytes = 16 * 1024 * 1024;

// Paths and subject IDs can hold any byte; a newline or escape sequence in a message would break
// the one-line-per-problem promise or play tricks on the terminal. They are written as the summary
// writes them.
std::string printable(std::string_view bytes)
{
    return escapedText(bytes);
}

std::string printable(const QString &text)
{
    return escapedText(toSystemBytes(text));
}

// Input paths are the system's bytes throughout, so a name that is not UTF-8 is read as it is.
std::filesystem::path fileSystemPath(const std::string &bytes)
{
    return std::filesystem::path(bytes);
}

// Reports problems one line each and remembers what kind of problem happened.
class ProblemLog
{
public:
    explicit ProblemLog(std::ostream &err) : m_err(err) {}

    void badInput(const std::string &path, const FileProblem &problem)
    {
        m_err << printable(path);
        if (problem.line > 0)
            m_err << ':' << problem.line;
        m_err << ": " << problem.reason << '\n';
        m_badInput = true;
    }

    void outputFailed(const QString &path, const QString &reason)
    {
        m_err << printable(path) << ": cannot write: " << printable(reason) << '\n';
        m_outputFailed = true;
    }

    ExitStatus status() const
    {
        if (m_outputFailed)
            return ExitStatus::OutputFailed;
        return m_badInput ? ExitStatus::BadInput : ExitStatus::Success;
    }

private:
    std::ostream &m_err;
    bool m_badInput = false;
    bool m_outputFailed = false;
};

// The files a command line names: results files and trial logs, each once.
struct Inputs
{
    std::vector<std::string> resultsFiles;
    std::vector<std::string> trialLogs;
};

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    const std::string_view end = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(end[i]) != lower(suffix[i]))
            return false;
    }
    return true;
}

bool isTrialLogName(const std::string &path)
{
    return endsWithIgnoringCase(path, kpx::TrialLogSuffix);
}

// The part of a path after its last separator.
std::string_view fileNamePart(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A directory's entry as the summary names it: the directory as written, then the name.
std::string entryPath(const std::string &directory, const std::string &name)
{
    return directory.ends_with('/') ? directory + name : directory + '/' + name;
}

// A directory's results files and trial logs, in byte order so the summary comes out the same on
// every run. Hidden files too: an empty subject ID makes ".KPX". Entries that are not regular files
// (FIFOs, sockets) are listed so that one named like a results file is reported, not passed over.
std::vector<std::string> directoryInputs(const std::string &directory, ProblemLog &log)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator entries(fileSystemPath(directory), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        std::error_code ignored;
        if ((endsWithIgnoringCase(name, kpx::IndifferenceSuffix) || isTrialLogName(name))
            && !entries->is_directory(ignored))
            names.push_back(name);
    }
    if (error)
        log.badInput(directory, {0, "cannot read the directory: " + error.message()});
    std::sort(names.begin(), names.end());
    for (std::string &name : names)
        name = entryPath(directory, name);
    return names;
}

Inputs findInputs(const std::vector<std::string> &paths, ProblemLog &log)
{
    namespace fs = std::filesystem;
    Inputs found;
    std::set<std::string> seen;
    // Naming a file twice, or a file and its directory, must not count a subject twice.
    const auto add = [&](const std::string &path) {
        std::error_code error;
        fs::path identity = fs::canonical(fileSystemPath(path), error);
        if (error)
            identity = fs::absolute(fileSystemPath(path), error).lexically_normal();
        if (seen.insert(identity.string()).second)
            (isTrialLogName(path) ? found.trialLogs : found.resultsFiles).push_back(path);
    };

    for (const std::string &path : paths) {
        std::error_code error;
        const fs::file_status status = fs::status(fileSystemPath(path), error);
        if (!fs::exists(status)) {
            log.badInput(path, {0, "no such file or directory"});
        } else if (fs::is_directory(status)) {
            for (const std::string &entry : directoryInputs(path, log))
                add(entry);
        } else {
            add(path);
        }
    }
    return found;
}

// The .TC file beside a .KPX file, spelled in the same case.
std::string trialCountPathFor(const std::string &indifferencePath)
{
    const std::string_view name = fileNamePart(indifferencePath);
    const std::size_t dot = name.find_last_of('.');
    const std::string_view suffix = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (suffix.size() != 3 || !endsWithIgnoringCase(suffix, "kpx"))
        return indifferencePath + std::string(kpx::TrialCountSuffix);
    const std::string base = indifferencePath.substr(0, indifferencePath.size() - suffix.size());
    return base + (suffix == "kpx" ? "tc" : "TC");
}

// Reads a regular file only: opening a FIFO or device would block or never end, so the file is
// opened without blocking and looked at before a byte is read.
std::variant<QByteArray, FileProblem> readSmallFile(const std::string &path, qint64 maxBytes = MaxResultsFileBytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return FileProblem{0, std::string("cannot read: ") + std::strerror(errno)};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return FileProblem{0, "cannot read: " + printable(file.errorString())};
    }
    struct stat status{};
    if (::fstat(fd, &status) != 0)
        return FileProblem{0, std::string("cannot read: ") + std::strerror(errno)};
    if (!S_ISREG(status.st_mode))
        return FileProblem{0, "not a regular file (a FIFO, device or socket); not read"};
    if (status.st_size > maxBytes)
        return FileProblem{0, "not a results file: " + std::to_string(status.st_size) + " bytes is far too large"};
    QByteArray contents = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return FileProblem{0, "cannot read: " + printable(file.errorString())};
    if (contents.size() > maxBytes)
        return FileProblem{0, "not a results file: far too large"};
    return contents;
}

template <typename T>
std::variant<T, FileProblem> readResultsFile(const std::string &path, Parsed<T> (*parse)(std::string_view))
{
    std::variant<QByteArray, FileProblem> contents = readSmallFile(path);
    if (auto *problem = std::get_if<FileProblem>(&contents))
        return std::move(*problem);
    const QByteArray &bytes = std::get<QByteArray>(contents);
    return parse(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// The .TC total, or empty with the problem logged when the file is there but unusable.
std::optional<int> trialsTotalFor(const std::string &indifferencePath, const std::string &subject, ProblemLog &log)
{
    const std::string path = trialCountPathFor(indifferencePath);
    std::error_code error;
    if (!std::filesystem::exists(fileSystemPath(path), error))
        return std::nullopt;
    std::variant<TrialCountFile, FileProblem> counts = readResultsFile(path, &parseTrialCountFile);
    if (auto *problem = std::get_if<FileProblem>(&counts)) {
        log.badInput(path, *problem);
        return std::nullopt;
    }
    const TrialCountFile &trialCounts = std::get<TrialCountFile>(counts);
    // A .TC that belongs to someone else (renamed or copied by hand) would put their trials on this row.
    if (trialCounts.subject != subject) {
        log.badInput(path, {1, "subject \"" + printable(trialCounts.subject) + "\" does not match the .KPX file's \""
                                   + printable(subject) + "\""});
        return std::nullopt;
    }
    return std::accumulate(trialCounts.trialCounts.begin(), trialCounts.trialCounts.end(), 0);
}

bool writeWhole(const QString &path, const QByteArray &bytes, ProblemLog &log)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        log.outputFailed(path, file.errorString());
        return false;
    }
    return true;
}

void writeImage(const QString &path, const QImage &image, ProblemLog &log)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        log.outputFailed(path, file.errorString());
        return;
    }
    if (!image.save(&file, "PNG")) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("PNG encoding failed");
        file.cancelWriting();
        log.outputFailed(path, reason);
        return;
    }
    if (!file.commit())
        log.outputFailed(path, file.errorString());
}

// A trial log as read and scored.
struct ReadLog
{
    std::string path;
    TrialLogContents contents;
    RunFigures run;
    std::vector<BlockFigures> blocks;
};

// One summary row with what its plot needs.
struct ScoredFile
{
    SummaryRow row;
    // The .KPX file or, without one, the trial log: its name stands in for an unusable subject.
    std::string path;
    const ReadLog *log = nullptr;
};

// Reads and scores every trial log; a log that cannot be read at all is reported and left out,
// one that stops early is reported and scored for the rows before the fault.
std::vector<ReadLog> readTrialLogs(const std::vector<std::string> &paths, ProblemLog &log)
{
    std::vector<ReadLog> logs;
    for (const std::string &path : paths) {
        std::variant<QByteArray, FileProblem> bytes = readSmallFile(path, MaxTrialLogBytes);
        if (auto *problem = std::get_if<FileProblem>(&bytes)) {
            log.badInput(path, *problem);
            continue;
        }
        const QByteArray &text = std::get<QByteArray>(bytes);
        Parsed<TrialLogContents> parsed =
            parseTrialLog(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
        if (auto *problem = std::get_if<FileProblem>(&parsed)) {
            log.badInput(path, *problem);
            continue;
        }
        TrialLogContents &contents = std::get<TrialLogContents>(parsed);
        if (contents.stoppedAt)
            log.badInput(path, *contents.stoppedAt);
        else if (contents.rows.empty())
            log.badInput(path, {0, "no answered trial; not scored"});
        if (contents.rows.empty())
            continue;
        ReadLog read{path, std::move(contents), {}, {}};
        read.run = scoreRun(read.contents.rows);
        read.blocks = scoreBlocks(read.contents.rows);
        logs.push_back(std::move(read));
    }
    return logs;
}

// A row per .KPX file and per trial log of its subject, then a row per log whose subject has no .KPX file.
std::vector<ScoredFile> joinLogs(std::vector<ScoredFile> results, const std::vector<ReadLog> &logs)
{
    std::vector<ScoredFile> rows;
    std::vector<bool> joined(logs.size(), false);
    for (ScoredFile &result : results) {
        bool any = false;
        for (std::size_t i = 0; i < logs.size(); ++i) {
            if (logs[i].contents.subject != result.row.subject)
                continue;
            ScoredFile row = result;
            row.row.log = TrialLogFigures{logs[i].path, logs[i].run};
            row.log = &logs[i];
            rows.push_back(std::move(row));
            joined[i] = any = true;
        }
        if (!any)
            rows.push_back(std::move(result));
    }
    for (std::size_t i = 0; i < logs.size(); ++i) {
        if (joined[i])
            continue;
        ScoredFile row;
        row.row.subject = logs[i].contents.subject;
        row.row.log = TrialLogFigures{logs[i].path, logs[i].run};
        row.path = logs[i].path;
        row.log = &logs[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string blocksFile(const std::vector<ReadLog> &logs)
{
    std::string text = blocksHeader();
    for (const ReadLog &log : logs) {
        for (const BlockFigures &block : log.blocks)
            text += blocksLine(log.contents.subject, log.path, block);
    }
    return text;
}

// The file name up to its last dot, for a plot of a subject whose ID gives no usable name.
QString completeBaseName(const std::string &path)
{
    const std::string_view name = fileNamePart(path);
    return fromUtf8(std::string(name.substr(0, name.find_last_of('.'))));
}

void writePlots(const QString &directoryPath, const std::vector<ScoredFile> &scored, ProblemLog &log)
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr) {
        log.outputFailed(directoryPath, QStringLiteral("plots need a QGuiApplication to render text"));
        return;
    }
    if (!QDir().mkpath(directoryPath)) {
        log.outputFailed(directoryPath, QStringLiteral("cannot create the directory"));
        return;
    }
    const QDir directory(directoryPath);
    PlotNames names;
    std::vector<DelayValues> profiles;
    for (const ScoredFile &file : scored) {
        const QString subject = fromUtf8(file.row.subject);
        const QString name = names.claim(subject, completeBaseName(file.path));
        QImage image;
        if (file.row.score) {
            image = plotSubject(subject, file.row.indifferencePoints, *file.row.score);
            // A subject with several logs has one row per log; the study plot counts the subject once.
            if (&file == &scored.front() || (&file - 1)->path != file.path)
                profiles.push_back(file.row.indifferencePoints);
        }
        if (file.log) {
            const QImage times = plotResponseTimes(
                QStringLiteral("%1  \u2014  response times, %2").arg(subject, fromUtf8(std::string(fileNamePart(file.log->path)))),
                file.log->contents.rows);
            image = image.isNull() ? times : stackPanels(image, times);
        }
        writeImage(directory.filePath(name), image, log);
    }
    if (!profiles.empty())
        writeImage(directory.filePath(PlotNames::studyName()), plotStudy(profiles), log);
}

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code error;
    return std::filesystem::equivalent(fileSystemPath(a), fileSystemPath(b), error) && !error;
}

// Why writing an output to this path could destroy data, if it could. Results files and trial logs
// are never written by this command, whatever their name says about the current inputs, since a
// shell glob can turn a file named "--out=S1.KPX" into an option.
std::optional<std::string> outputHazard(const QString &output, const std::vector<std::string> &inputs)
{
    const QString name = QFileInfo(output).fileName();
    for (const QString &suffix : {IndifferenceSuffix, TrialCountSuffix, TrialLogSuffix}) {
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return "its name ends in " + suffix.toStdString() + ", the name of a results file or trial log";
    }
    for (const std::string &input : inputs) {
        if (sameFile(toSystemBytes(output), input))
            return "it is the input " + printable(input);
    }
    return std::nullopt;
}

} // namespace

std::variant<AnalysisOptions, UsageError> parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    // "-x" is an unknown option x, never the options -x given together; "--" ends the options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption plots(QStringLiteral("plots"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption trials(QStringLiteral("trials"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({out, plots, trials, help, version});

    // The parser takes the program name first.
    if (!parser.parse(QStringList{QStringLiteral("kpx2-analyze")} + arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString &name = unknown.first();
            return UsageError{"unknown option " + printable((name.size() == 1 ? "-" : "--") + name)};
        }
        // The only other failure: an option that takes a path is the last argument.
        for (const QCommandLineOption &option : {out, plots, trials}) {
            const QString name = QStringLiteral("--") + option.names().first();
            if (arguments.last() == name)
                return UsageError{name.toStdString() + " needs a path"};
        }
        return UsageError{printable(parser.errorText())};
    }

    AnalysisOptions options;
    for (const auto &[option, slot] : {std::pair{&out, &options.summaryPath}, std::pair{&plots, &options.plotDirectory},
                                       std::pair{&trials, &options.trialsPath}}) {
        const QStringList values = parser.values(*option);
        const std::string name = "--" + option->names().first().toStdString();
        if (values.size() > 1)
            return UsageError{name + " given more than once"};
        if (values.size() == 1 && values.first().isEmpty())
            return UsageError{name + " needs a path"};
        if (values.size() == 1)
            *slot = values.first();
    }
    options.helpRequested = parser.isSet(help);
    options.versionRequested = parser.isSet(version);
    options.paths = parser.positionalArguments();
    if (!options.helpRequested && !options.versionRequested && options.paths.isEmpty())
        return UsageError{"no .KPX file or directory given"};
    return options;
}

std::string usageText()
{
    return "Usage: kpx2-analyze [--out summary.csv] [--trials blocks.csv] [--plots DIR] [--] PATH...\n"
           "       kpx2-analyze --help | --version\n"
           "Scores .KPX results files and .trials.csv logs (PATH is a file or a directory holding\n"
           "them) into one CSV row each: indifference points, trials, AUC, ordinal AUC, hyperbolic k\n"
           "with R^2 and ED50, the Johnson & Bickel (2008) flags, from the subject's trial log\n"
           "response times, fast answers and consistency with the indifference points, and six\n"
           "discounting models (noise, exp, hyp, hyperboloid, rachlin, betadelta) compared by BIC,\n"
           "with the best one's probability and ED50.\n"
           "  --out FILE     write the CSV to FILE instead of standard output\n"
           "  --trials FILE  write one row per block of every trial log to FILE\n"
           "  --plots DIR    write <subject>.png per file and study.png into DIR\n"
           "  --             every argument after it is a PATH, even one starting with '-'\n"
           "  --version      print the version\n"
           "No output ever replaces an input, a .KPX or .TC file or a trial log.\n"
           "Exit status: 0 all scored, 1 some input was unusable, 2 nothing to score or an\n"
           "output refused, 3 the summary or a plot could not be written.\n";
}

ExitStatus runAnalysis(const AnalysisOptions &options, std::ostream &out, std::ostream &err)
{
    ProblemLog log(err);
    std::vector<std::string> paths;
    for (const QString &path : options.paths)
        paths.push_back(toSystemBytes(path));
    const Inputs found = findInputs(paths, log);
    const std::vector<std::string> &files = found.resultsFiles;
    if (files.empty() && found.trialLogs.empty()) {
        err << "kpx2-analyze: no .KPX files or trial logs found in "
            << printable(options.paths.join(QStringLiteral(", "))) << '\n';
        return ExitStatus::NothingToScore;
    }

    // Checked before anything is read or written, so a refused command changes nothing.
    std::vector<std::string> inputs = files;
    for (const std::string &path : files)
        inputs.push_back(trialCountPathFor(path));
    inputs.insert(inputs.end(), found.trialLogs.begin(), found.trialLogs.end());
    std::vector<QString> outputs;
    for (const auto &[what, path] : {std::pair{"the summary", options.summaryPath},
                                     std::pair{"the per-block file", options.trialsPath},
                                     std::pair{"the plots", options.plotDirectory}}) {
        if (!path)
            continue;
        // Outputs are written through Qt, which names files in UTF-8 only: another name would
        // silently become a different file.
        if (!isValidUtf8(toSystemBytes(*path))) {
            err << "kpx2-analyze: refusing to write " << what << " to " << printable(*path)
                << ": the name is not UTF-8\n";
            return ExitStatus::RefusedOutput;
        }
        if (std::string_view(what) == "the plots")
            continue;
        std::optional<std::string> hazard = outputHazard(*path, inputs);
        if (!hazard && std::any_of(outputs.begin(), outputs.end(), [&](const QString &other) {
                return QDir::cleanPath(QFileInfo(other).absoluteFilePath())
                    == QDir::cleanPath(QFileInfo(*path).absoluteFilePath())
                    || sameFile(toSystemBytes(other), toSystemBytes(*path));
            }))
            hazard = "the summary goes there";
        if (hazard) {
            err << "kpx2-analyze: refusing to write " << what << " to " << printable(*path) << ": " << *hazard
                << '\n';
            return ExitStatus::RefusedOutput;
        }
        outputs.push_back(*path);
    }

    std::vector<ScoredFile> scored;
    for (const std::string &path : files) {
        std::variant<IndifferenceFile, FileProblem> parsed = readResultsFile(path, &parseIndifferenceFile);
        if (auto *problem = std::get_if<FileProblem>(&parsed)) {
            log.badInput(path, *problem);
            continue;
        }
        IndifferenceFile &indifference = std::get<IndifferenceFile>(parsed);
        ScoredFile file;
        file.path = path;
        file.row.trialsTotal = trialsTotalFor(path, indifference.subject, log);
        file.row.subject = std::move(indifference.subject);
        file.row.file = path;
        file.row.indifferencePoints = indifference.indifferencePoints;
        file.row.score = scoreProfile(indifference.indifferencePoints);
        scored.push_back(std::move(file));
    }

    const std::vector<ReadLog> logs = readTrialLogs(found.trialLogs, log);
    const std::vector<ScoredFile> rows = joinLogs(std::move(scored), logs);

    std::string summary = summaryHeader();
    for (const ScoredFile &file : rows)
        summary += summaryLine(file.row);
    if (options.summaryPath) {
        writeWhole(*options.summaryPath, QByteArray::fromStdString(summary), log);
    } else {
        out << summary;
        out.flush();
        if (!out)
            log.outputFailed(QStringLiteral("standard output"), QStringLiteral("write error"));
    }

    if (options.trialsPath)
        writeWhole(*options.trialsPath, QByteArray::fromStdString(blocksFile(logs)), log);
    if (options.plotDirectory)
        writePlots(*options.plotDirectory, rows, log);
    return log.status();
}

void preferOffscreenPlatformWithoutDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
}

} // namespace kpx
