#pragma once

#include "platform/Files.h"

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

namespace kpx::test {

// The system's files as a case-insensitive volume shows them (FAT, exFAT, NTFS, an SMB share): a name
// finds the entry whose name differs from it only in ASCII case, and a renamed file keeps the name of
// the entry it replaced. New entries keep the case they were given. On a volume that already folds
// case (Windows, wine) it changes nothing.
class CaseFoldingFiles final : public Files
{
public:
    explicit CaseFoldingFiles(Files &real = systemFiles())
        : m_real(real)
    {
    }

    // Runs once, right before the first file is created: another program's file appearing mid-write.
    void beforeFirstCreate(std::function<void()> action) { m_beforeCreate = std::move(action); }

    // The path of the entry the volume takes the path for: that entry's name in the same folder.
    std::string resolved(const std::string &path) const
    {
        const std::string name = fileNameOf(path);
        const auto names = m_real.list(directoryOf(path));
        if (!names || std::find(names->begin(), names->end(), name) != names->end())
            return path;
        for (const std::string &listed : *names) {
            if (folded(listed) == folded(name))
                return path.substr(0, path.size() - name.size()) + listed;
        }
        return path;
    }

    std::variant<std::unique_ptr<OpenFile>, FileError> createNew(const std::string &path) override
    {
        if (auto action = std::exchange(m_beforeCreate, nullptr))
            action();
        if (resolved(path) != path)
            return FileError{"File exists (case folded)", true};
        return m_real.createNew(path);
    }
    FileStatus replace(const std::string &from, const std::string &to) override
    {
        return m_real.replace(resolved(from), resolved(to));
    }
    FileStatus moveNew(const std::string &from, const std::string &to) override
    {
        if (resolved(to) != to)
            return FileError{"File exists (case folded)", true};
        return m_real.moveNew(resolved(from), to);
    }
    FileStatus remove(const std::string &path) override { return m_real.remove(resolved(path)); }
    FileStatus syncDirectory(const std::string &directory) override { return m_real.syncDirectory(directory); }
    PathKind kind(const std::string &path) const override { return m_real.kind(resolved(path)); }
    std::optional<std::vector<std::string>> list(const std::string &directory) const override
    {
        return m_real.list(directory);
    }

private:
    static std::string folded(std::string name)
    {
        for (char &c : name) {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
        return name;
    }

    Files &m_real;
    std::function<void()> m_beforeCreate;
};

} // namespace kpx::test
