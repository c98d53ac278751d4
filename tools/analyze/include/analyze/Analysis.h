#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>
#include <string>
#include <variant>

namespace kpx {

// What the command's exit status tells a calling script.
enum class ExitStatus : int {
    Success = 0,
    // Some input was not a results file; every other file is in the summary.
    BadInput = 1,
    // Nothing to score: no results files found, or a command line that names none.
    NothingToScore = 2,
    // An output would have replaced an input, a results file or a trial log; nothing was written.
    RefusedOutput = 2,
    // The summary or a plot could not be written.
    OutputFailed = 3,
};

// What the command line asks for.
struct AnalysisOptions
{
    std::optional<QString> summaryPath; // stdout when empty
    std::optional<QString> plotDirectory;
    // One row per block of every trial log, for mixed-model analyses.
    std::optional<QString> trialsPath;
    QStringList paths;
    bool helpRequested = false;
    bool versionRequested = false;
};

// A command line that cannot be followed, with the reason.
struct UsageError
{
    std::string message;
};

// Reads the arguments after the program name.
std::variant<AnalysisOptions, UsageError> parseArguments(const QStringList &arguments);

// The usage text for --help and usage errors.
std::string usageText();

// Scores every results file the options name: the summary to out unless a path is given,
// one line per problem to err. Plots need a QGuiApplication.
ExitStatus runAnalysis(const AnalysisOptions &options, std::ostream &out, std::ostream &err);

// Selects Qt's offscreen platform when nothing else is chosen and no display exists, so plots
// render on headless lab servers and in tests.
void preferOffscreenPlatformWithoutDisplay();

} // namespace kpx
