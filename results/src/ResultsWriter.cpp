#include "results/ResultsWriter.h"

#include "WriteAll.h"
#include "results/NumberForm.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
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

template <typename T>
std::string resultsFile(const std::string &SubjectId, const OneBased<T, DelayCount> &values, char decimalSeparator)
{
    std::string text = SubjectId;
    text += LineEnd;
    for (int k = 1; k <= DelayCount; ++k) {
        text += numberForm(static_cast<double>(values[k]), decimalSeparator);
        text += LineEnd;
    }
    return text;
}

std::string baseName(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One file on its way into place.
struct PendingFile
{
    std::string target;
    std::string temp;
    bool written = false;
    // The temporary name holds the replaced file after an exchange, so it can be put back.
    bool exchanged = false;
    bool committed = false;
};

// Writes the contents to a new temporary file beside the target, synced; the errno on failure.
int writeTemporary(PendingFile &file, const std::string &contents)
{
    std::string pattern = file.target + PartialSuffix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    file.temp = name.data();
    file.written = true;
    // mkstemp creates owner-only files; results files are ordinary documents.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    int error = 0;
    if (::fchmod(fd, 0666 & ~mask) != 0 || !writeAll(fd, contents) || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// Renames the temporary file over its target; the errno on failure.
int commit(PendingFile &file)
{
    struct stat existing{};
    // Only a regular file is swapped out (a directory in the way must make the rename fail, not move).
    if (::lstat(file.target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        if (::renameat2(AT_FDCWD, file.temp.c_str(), AT_FDCWD, file.target.c_str(), RENAME_EXCHANGE) == 0) {
            file.exchanged = true;
            file.committed = true;
            return 0;
        }
        // A file system without exchange falls back to a plain rename, which cannot be undone.
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            return errno;
    }
    if (::rename(file.temp.c_str(), file.target.c_str()) != 0)
        return errno;
    file.committed = true;
    return 0;
}

// Puts back what a committed file replaced, or removes it when it replaced nothing.
void rollBack(PendingFile &file)
{
    if (file.exchanged)
        ::renameat2(AT_FDCWD, file.temp.c_str(), AT_FDCWD, file.target.c_str(), RENAME_EXCHANGE);
    else
        ::unlink(file.target.c_str());
    file.committed = false;
    file.exchanged = false;
}

// Removes "<target>.partial-XXXXXX" files that an interrupted earlier write left behind.
void removeLeftovers(const std::string &target)
{
    const std::string directory = directoryOf(target);
    const std::string prefix = baseName(target) + PartialSuffix;
    DIR *dir = ::opendir(directory.c_str());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = directory + "/" + name;
        struct stat info{};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

} // namespace

std::optional<std::string> unusableSubjectId(const std::string &SubjectId, char directorySeparator)
{
    const std::string notText = "the subject ID is not valid UTF-8 text";
    std::size_t i = 0;
    while (i < SubjectId.size()) {
        const auto lead = static_cast<unsigned char>(SubjectId[i]);
        std::size_t length = 1;
        char32_t code = lead;
        if (lead >= 0x80) {
            if (lead >= 0xC2 && lead <= 0xDF)
                length = 2;
            else if (lead >= 0xE0 && lead <= 0xEF)
                length = 3;
            else if (lead >= 0xF0 && lead <= 0xF4)
                length = 4;
            else
                return notText;
            if (i + length > SubjectId.size())
                return notText;
            code = lead & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(SubjectId[i + k]);
                if ((next & 0xC0) != 0x80)
                    return notText;
                code = (code << 6) | (next & 0x3F);
            }
            // Overlong forms, surrogates and values beyond Unicode are not text either.
            if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))
                || (code >= 0xD800 && code <= 0xDFFF))
                return notText;
        }
        if (code == 0)
            return "the subject ID contains a NUL character, which a file name cannot hold";
        if (code == static_cast<unsigned char>(directorySeparator))
            return std::string("the subject ID contains '") + directorySeparator + "', which a file name cannot hold";
        if (code == '\n' || code == '\r' || code == 0x85 || code == 0x2028 || code == 0x2029)
            return "the subject ID contains a line break, which would split the first line of the results files";
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            char number[8];
            std::snprintf(number, sizeof number, "%04X", static_cast<unsigned>(code));
            return std::string("the subject ID contains the control character U+") + number
                + ", which the results files cannot hold";
        }
        i += length;
    }
    return std::nullopt;
}

RunResults resultsOf(const RunState &state)
{
    return {state.IndifferencePoints, state.TrialCounts};
}

ResultsPaths resultsPathsFor(const std::string &SubjectId, const std::string &OutputDirectory,
                             const ResultsFormat &format)
{
    const std::string stem = OutputDirectory + format.directorySeparator + SubjectId;
    return {stem + std::string(IndifferenceSuffix), stem + std::string(TrialCountSuffix)};
}

std::optional<WriteFailure> writeFilesTogether(const std::vector<FileContents> &files)
{
    std::vector<PendingFile> pending(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        pending[i].target = files[i].path;
    auto fail = [&](std::size_t i, int error) {
        for (PendingFile &file : pending) {
            if (file.committed)
                rollBack(file);
            if (file.written)
                ::unlink(file.temp.c_str());
        }
        return WriteFailure{files[i].path, systemReason(error)};
    };

    // Every file whole on disk before any name changes: a full disk leaves the old set untouched.
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (const int error = writeTemporary(pending[i], files[i].contents))
            return fail(i, error);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (const int error = commit(pending[i]))
            return fail(i, error);
    }
    for (const PendingFile &file : pending) {
        if (file.exchanged)
            ::unlink(file.temp.c_str());
    }
    for (const FileContents &file : files) {
        syncDirectory(directoryOf(file.path));
        removeLeftovers(file.path);
    }
    return std::nullopt;
}

std::optional<WriteFailure> WriteResults(const std::string &SubjectId, const std::string &OutputDirectory,
                                         const RunResults &results, const ResultsFormat &format)
{
    const ResultsPaths paths = resultsPathsFor(SubjectId, OutputDirectory, format);
    // An empty directory would put the files at the top of the file system, where nobody looks.
    if (OutputDirectory.empty())
        return WriteFailure{paths.indifferencePoints, NoDirectoryReason};
    if (auto reason = unusableSubjectId(SubjectId, format.directorySeparator))
        return WriteFailure{paths.indifferencePoints, *reason};

    return writeFilesTogether(
        {{paths.indifferencePoints, resultsFile(SubjectId, results.IndifferencePoints, format.decimalSeparator)},
         {paths.trialCounts, resultsFile(SubjectId, results.TrialCounts, format.decimalSeparator)}});
}

} // namespace kpx
