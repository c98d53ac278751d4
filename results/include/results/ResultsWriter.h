#pragma once

#include "engine/DelayTable.h"
#include "engine/OneBased.h"
#include "engine/RunState.h"
#include "platform/Files.h"

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
    char directorySeparator = preferredDirectorySeparator();
};

// The directory separator is appended unconditionally and the subject ID used as typed.
ResultsPaths resultsPathsFor(const std::string &SubjectId, const std::string &OutputDirectory,
                             const ResultsFormat &format = {});

// Writes the .KPX and the .TC file together: afterwards both are new, or both are as they were.
// Returns the failure, naming the file; nothing is reported as written that was not.
std::optional<WriteFailure> WriteResults(const std::string &SubjectId, const std::string &OutputDirectory,
                                         const RunResults &results, const ResultsFormat &format = {},
                                         Files &files = systemFiles());

// The reason given when no output directory has been chosen.
inline constexpr const char *NoDirectoryReason = "no output directory has been chosen";

// Why the subject ID cannot name the files or stand as their first line, if it cannot: it holds a NUL,
// the directory separator, a line break or another control character, or bytes that are not UTF-8.
// Spaces, commas, quotes and every other printable character are fine, but for what this system
// cannot use in a file name (on Windows: < > : " \ | ? *, a trailing dot or space, device names).
std::optional<std::string> unusableSubjectId(const std::string &SubjectId, char directorySeparator = '/');

// Why a file written at the path would take the place of another file, if it would: something is at the
// path, yet its folder lists no entry of exactly that name, so the volume took the name for an entry
// named otherwise (one differing in case or in how its accents are encoded, where the volume does not
// tell such names apart). The answer names that entry. Decided from what the folder holds, so a
// case-insensitive volume mounted on any system is covered; nothing is said when the folder cannot be read.
std::optional<std::string> takenByOtherName(const std::string &path, const Files &files = systemFiles());

// Why this subject ID's results files cannot go into this folder, if they cannot: one of their names
// would take the place of another file there, which the answer names. Exactly the same name is no
// clash: a rerun under the same ID replaces the old pair, as ever.
std::optional<std::string> resultsNameClash(const std::string &SubjectId, const std::string &OutputDirectory,
                                            const Files &files = systemFiles(), const ResultsFormat &format = {});

// While a set of files is replaced, its new files are written as "<final name>.partial-XXXXXX" and the
// files they replace are kept as "<final name>.previous-XXXXXX" (XXXXXX: six letters or digits, one
// tag for the whole set). Only names of exactly this form are ever removed.
inline constexpr std::string_view PartialSuffix = ".partial-";
inline constexpr std::string_view PreviousSuffix = ".previous-";

// One file of a set written together.
struct FileContents
{
    std::string path;
    std::string contents;
};

// Replaces the set of files (all in one directory) by their new contents, or leaves it as it was.
// The first file is the one readers look for: while the set is replaced it is the last to arrive, so a
// stop at any moment leaves the old set, the new set, or a set without its first file, never the first
// file beside another set's files. The old files are moved aside, not overwritten, until the new set is
// in place and synced; a failure puts them back, and says where they are when even that fails. What an
// interrupted earlier write left behind is put right first, and removed after a success.
std::optional<WriteFailure> writeFilesTogether(const std::vector<FileContents> &set, Files &files = systemFiles());

} // namespace kpx
