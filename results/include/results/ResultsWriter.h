#pragma once

#include "engine/DelayTable.h"
#include "engine/OneBased.h"
#include "engine/RunState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kpx {

// The results files are named <SubjectId> and these.
inline constexpr std::string_view IndifferenceSuffix = ".KPX";
inline constexpr std::string_view TrialCountSuffix = ".TC";

// The two files one run leaves behind.
struct ResultsPaths
{
    std::string indifferencePoints; // <dir>/<subject>.KPX
    std::string trialCounts;        // <dir>/<subject>.TC
};

// Why a results file could not be written.
struct WriteFailure
{
    std::string path;
    std::string reason;
};

// The results of a finished run, indexed by delay-table index.
struct RunResults
{
    OneBased<double, DelayCount> IndifferencePoints;
    OneBased<std::int16_t, DelayCount> TrialCounts;
};

// The results a finished run holds.
RunResults resultsOf(const RunState &state);

// How the numbers and paths are written; defaults suit this platform.
struct ResultsFormat
{
    char decimalSeparator = '.';
    char directorySeparator = '/';
};

// The directory separator is appended unconditionally and the subject ID used as typed.
ResultsPaths resultsPathsFor(const std::string &SubjectId, const std::string &OutputDirectory,
                             const ResultsFormat &format = {});

// Writes the .KPX and the .TC file together: afterwards both are new, or both are as they were.
// Returns the failure, naming the file; nothing is reported as written that was not.
std::optional<WriteFailure> WriteResults(const std::string &SubjectId, const std::string &OutputDirectory,
                                         const RunResults &results, const ResultsFormat &format = {});

// The reason given when no output directory has been chosen.
inline constexpr const char *NoDirectoryReason = "no output directory has been chosen";

// Why the subject ID cannot name the files or stand as their first line, if it cannot: it holds a NUL,
// the directory separator, a line break or another control character, or bytes that are not UTF-8.
// Spaces, commas, quotes and every other printable character are fine.
std::optional<std::string> unusableSubjectId(const std::string &SubjectId, char directorySeparator = '/');

// What a temporary file is called while it is being written: "<final name>.partial-XXXXXX".
inline constexpr const char *PartialSuffix = ".partial-";

// One file of a set written together.
struct FileContents
{
    std::string path;
    std::string contents;
};

// Replaces every file by its complete new contents, or none: all are written and synced to temporary
// files beside them before the first is renamed into place, and a failed rename puts back what the
// earlier ones replaced. After a success, leftover temporaries of these files are removed.
std::optional<WriteFailure> writeFilesTogether(const std::vector<FileContents> &files);

} // namespace kpx
