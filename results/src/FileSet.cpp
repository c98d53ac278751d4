#include "results/ResultsWriter.h"

#include "TempNames.h"

#include <algorithm>
#include <set>
#include <string_view>

namespace kpx {

namespace {

// The tag of "<fileName><suffix><tag>", when the name has exactly that form.
std::optional<std::string> tagOf(const std::string &name, const std::string &fileName, std::string_view suffix)
{
    const std::size_t prefix = fileName.size() + suffix.size();
    if (name.size() <= prefix || name.compare(0, fileName.size(), fileName) != 0 ||
        name.compare(fileName.size(), suffix.size(), suffix) != 0 || !isRandomTag(std::string_view(name).substr(prefix)))
        return std::nullopt;
    return name.substr(prefix);
}

WriteFailure failureAt(const std::string &path, const FileError &error)
{
    return {path, error.reason};
}

bool sameIgnoringAsciiCase(const std::string &a, const std::string &b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The target must not stand for another name's file; checked right before each step that would
// replace or move it, since that file may have been made meanwhile.
FileStatus otherNameAt(const std::string &target, const Files &files)
{
    if (auto reason = takenByOtherName(target, files))
        return FileError{*reason, true};
    return std::nullopt;
}

// One file of the set on its way into place.
struct Member
{
    std::string target;
    std::string contents;
    std::string partial;  // the new contents, until placed
    std::string previous; // the replaced file, while it is kept aside
    bool written = false;
    bool movedAside = false;
    bool placed = false;
};

class SetReplacement
{
public:
    SetReplacement(const std::vector<FileContents> &set, Files &files)
        : m_files(files)
        , m_directory(directoryOf(set.front().path))
    {
        for (const FileContents &file : set)
            m_members.push_back({file.path, file.contents, {}, {}});
    }

    std::optional<WriteFailure> run()
    {
        // Nothing is touched, not even an interrupted write's leftovers, for a set that would stand
        // for another name's files.
        for (const Member &member : m_members) {
            if (auto error = otherNameAt(member.target, m_files))
                return failureAt(member.target, *error);
        }
        if (auto failure = recoverInterrupted())
            return failure;
        if (auto failure = writeNewFiles())
            return failure;
        // The first file goes aside first and comes back last: until the whole new set is in place,
        // the set lacks the file its readers look for.
        for (Member &member : m_members) {
            if (auto error = moveAside(member))
                return rollBack(failureAt(member.target, *error));
        }
        for (auto member = m_members.rbegin(); member != m_members.rend(); ++member) {
            FileStatus error = otherNameAt(member->target, m_files);
            if (!error)
                error = m_files.replace(member->partial, member->target);
            if (error)
                return rollBack(failureAt(member->target, *error));
            member->placed = true;
        }
        // Until the renames are durable the old files are still needed.
        if (auto error = m_files.syncDirectory(m_directory))
            return rollBack(failureAt(m_directory, *error));
        for (const Member &member : m_members) {
            if (member.movedAside)
                m_files.remove(member.previous);
        }
        removeLeftovers();
        m_files.syncDirectory(m_directory);
        return std::nullopt;
    }

private:
    std::string nameIn(const Member &member, std::string_view suffix, const std::string &tag) const
    {
        return member.target + std::string(suffix) + tag;
    }

    // Every new file whole and synced under a temporary name, all with one tag.
    std::optional<WriteFailure> writeNewFiles()
    {
        for (int attempt = 0;; ++attempt) {
            const std::string tag = randomTag();
            std::optional<FileError> error;
            Member *failed = nullptr;
            for (Member &member : m_members) {
                member.partial = nameIn(member, PartialSuffix, tag);
                member.previous = nameIn(member, PreviousSuffix, tag);
                if (m_files.kind(member.previous) != PathKind::Missing) {
                    error = FileError{"a file of that name exists", true};
                } else {
                    error = writeNew(member);
                }
                if (error) {
                    failed = &member;
                    break;
                }
            }
            if (!failed)
                return std::nullopt;
            removeWritten();
            // A tag already taken is simply drawn again; anything else is the failure.
            if (!error->exists || attempt >= 100)
                return failureAt(failed->target, *error);
        }
    }

    FileStatus writeNew(Member &member)
    {
        auto created = m_files.createNew(member.partial);
        if (auto *error = std::get_if<FileError>(&created))
            return *error;
        member.written = true;
        OpenFile &file = *std::get<std::unique_ptr<OpenFile>>(created);
        if (auto error = file.writeAt(0, member.contents))
            return error;
        if (auto error = file.sync())
            return error;
        return file.close();
    }

    void removeWritten()
    {
        for (Member &member : m_members) {
            if (member.written && !member.placed)
                m_files.remove(member.partial);
            member.written = false;
        }
    }

    FileStatus moveAside(Member &member)
    {
        if (auto error = otherNameAt(member.target, m_files))
            return error;
        // Only a file is kept aside; anything else in the way makes the rename into place fail.
        if (m_files.kind(member.target) != PathKind::RegularFile)
            return std::nullopt;
        if (auto error = m_files.moveNew(member.target, member.previous))
            return error;
        member.movedAside = true;
        return std::nullopt;
    }

    // Puts the old set back; when that fails too, says which file holds what.
    WriteFailure rollBack(WriteFailure failure)
    {
        Member &first = m_members.front();
        // The new first file goes before any old file returns. Where it cannot, the new set stays
        // whole in place rather than beside old files.
        bool restoring = !first.placed || !m_files.remove(first.target);
        if (restoring)
            first.placed = false;
        for (auto member = m_members.rbegin(); restoring && member != m_members.rend(); ++member) {
            FileStatus error;
            if (member->placed)
                error = member->movedAside ? m_files.replace(member->previous, member->target)
                                           : m_files.remove(member->target);
            else if (member->movedAside)
                error = m_files.moveNew(member->previous, member->target);
            if (error) {
                // The earlier first file stays aside too, so it never stands beside another set's file.
                restoring = false;
                break;
            }
            member->placed = false;
            member->movedAside = false;
        }
        std::vector<std::string> stranded;
        for (const Member &member : m_members) {
            if (member.placed)
                stranded.push_back(member.target + " holds the new results");
            if (member.movedAside)
                stranded.push_back(member.previous + " holds the earlier " + fileNameOf(member.target));
        }
        removeWritten();
        m_files.syncDirectory(m_directory);
        if (!stranded.empty()) {
            failure.reason += "; the earlier files could not all be put back: ";
            for (std::size_t i = 0; i < stranded.size(); ++i)
                failure.reason += (i ? ", " : "") + stranded[i];
        }
        return failure;
    }

    // A write stopped half way (the program killed, the machine off) left old files aside: while the
    // first file is missing they are put back, otherwise the new set had arrived and they can go.
    std::optional<WriteFailure> recoverInterrupted()
    {
        const auto names = m_files.list(m_directory);
        if (!names)
            return std::nullopt;
        std::set<std::string> present(names->begin(), names->end());
        std::set<std::string> tags;
        for (const std::string &name : present) {
            for (const Member &member : m_members) {
                if (auto tag = tagOf(name, fileNameOf(member.target), PreviousSuffix))
                    tags.insert(*tag);
            }
        }
        for (const std::string &tag : tags) {
            const auto has = [&](const std::string &path) { return present.count(fileNameOf(path)) != 0; };
            const Member &first = m_members.front();
            if (has(first.target)) {
                for (const Member &member : m_members) {
                    if (has(nameIn(member, PreviousSuffix, tag)))
                        m_files.remove(nameIn(member, PreviousSuffix, tag));
                }
                continue;
            }
            for (auto member = m_members.rbegin(); member != m_members.rend(); ++member) {
                const std::string previous = nameIn(*member, PreviousSuffix, tag);
                // The earlier file is put back only where it stands for no other name's file.
                FileStatus error = otherNameAt(member->target, m_files);
                if (!error && has(previous))
                    error = m_files.replace(previous, member->target);
                // Its new file had been renamed into place already, and there was no old one.
                else if (!error && has(member->target) && !has(nameIn(*member, PartialSuffix, tag)))
                    error = m_files.remove(member->target);
                if (error)
                    return WriteFailure{member->target, error->reason + "; an interrupted earlier write left the earlier files as " +
                                                            fileNameOf(first.target) + std::string(PreviousSuffix) + tag +
                                                            " and beside it, and they could not be put back"};
                present.insert(fileNameOf(member->target));
            }
        }
        return std::nullopt;
    }

    // Temporary and kept-aside files of these targets that earlier writes left behind.
    void removeLeftovers()
    {
        const auto names = m_files.list(m_directory);
        if (!names)
            return;
        for (const std::string &name : *names) {
            for (const Member &member : m_members) {
                const std::string fileName = fileNameOf(member.target);
                if (tagOf(name, fileName, PartialSuffix) || tagOf(name, fileName, PreviousSuffix)) {
                    const std::string leftover = member.target.substr(0, member.target.size() - fileName.size()) + name;
                    if (m_files.kind(leftover) == PathKind::RegularFile)
                        m_files.remove(leftover);
                }
            }
        }
    }

    Files &m_files;
    std::string m_directory;
    std::vector<Member> m_members;
};

} // namespace

std::optional<std::string> takenByOtherName(const std::string &path, const Files &files)
{
    if (files.kind(path) == PathKind::Missing)
        return std::nullopt;
    const auto names = files.list(directoryOf(path));
    const std::string name = fileNameOf(path);
    if (!names || std::find(names->begin(), names->end(), name) != names->end())
        return std::nullopt;
    const auto other = std::find_if(names->begin(), names->end(),
                                    [&](const std::string &listed) { return sameIgnoringAsciiCase(listed, name); });
    const std::string which = other != names->end()
        ? "the file " + *other + ", whose name differs only in case"
        : std::string("another file, whose name differs only in case or accents");
    return "this folder does not tell " + name + " apart from " + which
        + "; it belongs to another subject ID and is not replaced";
}

std::optional<std::string> resultsNameClash(const std::string &SubjectId, const std::string &OutputDirectory,
                                            const Files &files, const ResultsFormat &format)
{
    const ResultsPaths paths = resultsPathsFor(SubjectId, OutputDirectory, format);
    for (const std::string *path : {&paths.indifferencePoints, &paths.trialCounts}) {
        if (auto reason = takenByOtherName(*path, files))
            return *path + ": " + *reason;
    }
    return std::nullopt;
}

std::optional<WriteFailure> writeFilesTogether(const std::vector<FileContents> &set, Files &files)
{
    if (set.empty())
        return std::nullopt;
    return SetReplacement(set, files).run();
}

} // namespace kpx
