#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kpx {

// Why a file operation failed, in the system's words. `exists` tells a name that was already taken.
struct FileError
{
    std::string reason;
    bool exists = false;
};

// Empty when the operation worked.
using FileStatus = std::optional<FileError>;

// A file this program created for writing. Closed when it goes, if close() was not called.
class OpenFile
{
public:
    virtual ~OpenFile() = default;

    // Writes all of the bytes at the offset, resuming after interruptions.
    virtual FileStatus writeAt(std::uint64_t offset, std::string_view bytes) = 0;

    // Cuts the file (or extends it with zeros) to exactly this length.
    virtual FileStatus truncate(std::uint64_t length) = 0;

    // Returns once the file's contents and size are on the disk.
    virtual FileStatus sync() = 0;

    // Whether the file at the path is still this one: false once it was removed, its folder deleted,
    // or another file put in its place. What is written then is seen by nobody.
    virtual bool isStillAt(const std::string &path) const = 0;

    // Closes the file; a failure here may mean written data did not arrive.
    virtual FileStatus close() = 0;
};

enum class PathKind { Missing, RegularFile, Other };

// What the results files and the trial log need of the system's files. Paths are UTF-8 text.
class Files
{
public:
    virtual ~Files() = default;

    // A new, empty file at the path; never opens or replaces one that exists (the error says `exists`).
    // While it is open, the file can still be renamed, replaced and removed through this interface.
    virtual std::variant<std::unique_ptr<OpenFile>, FileError> createNew(const std::string &path) = 0;

    // Renames `from` to `to` in one step, replacing a file at `to`: afterwards `to` is the old or the new file.
    virtual FileStatus replace(const std::string &from, const std::string &to) = 0;

    // Renames `from` to `to`, failing (`exists`) rather than replacing anything at `to`.
    virtual FileStatus moveNew(const std::string &from, const std::string &to) = 0;

    // Removes a file.
    virtual FileStatus remove(const std::string &path) = 0;

    // Makes the directory's entries durable: a file created, renamed or removed there survives a power cut.
    virtual FileStatus syncDirectory(const std::string &directory) = 0;

    // What is at the path, links not followed.
    virtual PathKind kind(const std::string &path) const = 0;

    // The names in the directory (not "." and ".."); empty when it cannot be read.
    virtual std::optional<std::vector<std::string>> list(const std::string &directory) const = 0;
};

// The files of the system this program was built for.
Files &systemFiles();

// Whether the character separates directories in a path here.
bool isDirectorySeparator(char c);

// The separator this system writes between a directory and a name ('\\' on Windows).
char preferredDirectorySeparator();

// The directory part of a path: "." when it has none.
std::string directoryOf(const std::string &path);

// The last part of a path.
std::string fileNameOf(const std::string &path);

} // namespace kpx
