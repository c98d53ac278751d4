#include "results/ResultsWriter.h"

#include "WriteAll.h"
#include "results/NumberForm.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kpx {

namespace {

constexpr std::string_view LineEnd = "\r\n";

std::string systemReason(int error)
{
    return std::strerror(error);
}

std::string directoryOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

template <typename T>
std::string resultsFile(const std::string &SubjectId, const OneBased<T, DelayCount> &values, char decimalSeparator)
{
    std::string text = SubjectId;
    text += LineEnd;
    for (int k = 1; k <= DelayCount; ++k) {
        text += NumberForm(static_cast<double>(values[k]), decimalSeparator);
        text += LineEnd;
    }
    return text;
}

} // namespace

std::optional<std::string> UnusableSubjectId(const std::string &SubjectId, char directorySeparator)
{
    if (SubjectId.find('\0') != std::string::npos)
        return "the subject ID contains a NUL character, which a file name cannot hold";
    if (SubjectId.find(directorySeparator) != std::string::npos)
        return std::string("the subject ID contains '") + directorySeparator
            + "', which a file name cannot hold";
    return std::nullopt;
}

RunResults ResultsOf(const RunState &state)
{
    return {state.IndifferencePoints, state.TrialCounts};
}

ResultsPaths ResultsPathsFor(const std::string &SubjectId, const std::string &OutputDirectory,
                             const ResultsFormat &format)
{
    const std::string stem = OutputDirectory + format.directorySeparator + SubjectId;
    return {stem + ".KPX", stem + ".TC"};
}

std::optional<WriteFailure> WriteFileAtomically(const std::string &path, const std::string &contents)
{
    const std::string directory = directoryOf(path);
    std::string pattern = directory + "/.kpx2-XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');

    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return WriteFailure{path, systemReason(errno)};

    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temp.data());
        return WriteFailure{path, systemReason(error)};
    };
    // mkstemp creates owner-only files; results files are ordinary documents.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
        return fail(errno);
    if (!WriteAll(fd, contents))
        return fail(errno);
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.data());
        return WriteFailure{path, systemReason(error)};
    }
    if (::rename(temp.data(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.data());
        return WriteFailure{path, systemReason(error)};
    }
    // Make the rename itself durable.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return std::nullopt;
}

std::optional<WriteFailure> WriteResults(const std::string &SubjectId, const std::string &OutputDirectory,
                                         const RunResults &results, const ResultsFormat &format)
{
    const ResultsPaths paths = ResultsPathsFor(SubjectId, OutputDirectory, format);
    // An empty directory would put the files at the top of the file system, where nobody looks.
    if (OutputDirectory.empty())
        return WriteFailure{paths.indifferencePoints, NoDirectoryReason};
    if (auto reason = UnusableSubjectId(SubjectId, format.directorySeparator))
        return WriteFailure{paths.indifferencePoints, *reason};

    if (auto failure = WriteFileAtomically(paths.indifferencePoints,
                                           resultsFile(SubjectId, results.IndifferencePoints, format.decimalSeparator)))
        return failure;
    return WriteFileAtomically(paths.trialCounts,
                               resultsFile(SubjectId, results.TrialCounts, format.decimalSeparator));
}

} // namespace kpx
