#pragma once

#include "platform/Files.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace kpx::web {

// The page's files: the memory's, with every trial log also put in the browser's storage each time
// it is synced, so an answer counts as kept only once the browser holds it. Renames are followed.
class StoredFiles final : public Files
{
public:
    // Stores the file at the path whole; returns why it could not, or nothing once it is stored.
    using Store = std::function<FileStatus(const std::string &path)>;

    // `inner` must outlive these files.
    StoredFiles(Files &inner, Store store);

    std::variant<std::unique_ptr<OpenFile>, FileError> createNew(const std::string &path) override;
    FileStatus replace(const std::string &from, const std::string &to) override;
    FileStatus moveNew(const std::string &from, const std::string &to) override;
    FileStatus remove(const std::string &path) override { return m_inner.remove(path); }
    FileStatus syncDirectory(const std::string &directory) override;
    PathKind kind(const std::string &path) const override { return m_inner.kind(path); }
    std::optional<std::vector<std::string>> list(const std::string &directory) const override
    {
        return m_inner.list(directory);
    }

    // Whether a file at the path is one the browser keeps.
    static bool isStored(const std::string &path);

private:
    class File;
    void renamed(const std::string &from, const std::string &to);

    Files &m_inner;
    Store m_store;
    // Where each open file is now, shared with the file so that a rename moves it.
    std::map<const File *, std::shared_ptr<std::string>> m_open;
};

} // namespace kpx::web
