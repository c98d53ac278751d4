#pragma once

#include "engine/DelayTable.h"
#include "engine/OneBased.h"
#include "engine/RunState.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kpx {

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
RunResults ResultsOf(const RunState &state);

// How the numbers and paths are written; defaults suit this platform.
struct ResultsFormat
{
    char decimalSeparator = '.';
    char directorySeparator = '/';
};

// The directory separator is appended unconditionally and the subject ID used as typed.
ResultsPaths ResultsPathsFor(const std::string &SubjectId, const std::string &OutputDirectory,
                             const ResultsFormat &format = {});

// Writes the .KPX file, then the .TC file, each replaced only by a complete new file.
// Returns the first failure; nothing is reported as written that was not.
std::optional<WriteFailure> WriteResults(const std::string &SubjectId, const std::string &OutputDirectory,
                                         const RunResults &results, const ResultsFormat &format = {});

// The reason given when no output directory has been chosen.
inline constexpr const char *NoDirectoryReason = "no output directory has been chosen";

// Why the subject ID cannot be part of a file name, if it cannot.
std::optional<std::string> UnusableSubjectId(const std::string &SubjectId, char directorySeparator = '/');

// Writes a whole file through a temporary file in the same directory and a rename, synced to disk.
std::optional<WriteFailure> WriteFileAtomically(const std::string &path, const std::string &contents);

} // namespace kpx
