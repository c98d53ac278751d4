#include "web/StoredFiles.h"

#include "results/TrialLog.h"

namespace kpx::web {

class StoredFiles::File final : public OpenFile
{
public:
    File(StoredFiles &owner, std::unique_ptr<OpenFile> inner, std::shared_ptr<std::string> path)
        : m_owner(owner)
        , m_inner(std::move(inner))
        , m_path(std::move(path))
    {
    }
    ~File() override { m_owner.m_open.erase(this); }

    FileStatus writeAt(std::uint64_t offset, std::string_view bytes) override { return m_inner->writeAt(offset, bytes); }
    FileStatus truncate(std::uint64_t length) override { return m_inner->truncate(length); }
    FileStatus sync() override
    {
        if (FileStatus failed = m_inner->sync())
            return failed;
        // Synced means kept: for a trial log, kept by the browser, whose storage outlives the tab.
        if (isStored(*m_path) && m_inner->isStillAt(*m_path))
            return m_owner.m_store(*m_path);
        return std::nullopt;
    }
    bool isStillAt(const std::string &path) const override { return m_inner->isStillAt(path); }
    FileStatus close() override { return m_inner->close(); }

    const std::string &path() const { return *m_path; }

private:
    StoredFiles &m_owner;
    std::unique_ptr<OpenFile> m_inner;
    std::shared_ptr<std::string> m_path;
};

StoredFiles::StoredFiles(Files &inner, Store store)
    : m_inner(inner)
    , m_store(std::move(store))
{
}

bool StoredFiles::isStored(const std::string &path)
{
    return fileNameOf(path).ends_with(TrialLogSuffix);
}

std::variant<std::unique_ptr<OpenFile>, FileError> StoredFiles::createNew(const std::string &path)
{
    auto created = m_inner.createNew(path);
    if (auto *error = std::get_if<FileError>(&created))
        return *error;
    auto where = std::make_shared<std::string>(path);
    auto file = std::make_unique<File>(*this, std::move(std::get<std::unique_ptr<OpenFile>>(created)), where);
    m_open[file.get()] = where;
    return std::unique_ptr<OpenFile>(std::move(file));
}

void StoredFiles::renamed(const std::string &from, const std::string &to)
{
    for (auto &[file, where] : m_open)
        if (*where == from)
            *where = to;
}

FileStatus StoredFiles::replace(const std::string &from, const std::string &to)
{
    if (FileStatus failed = m_inner.replace(from, to))
        return failed;
    renamed(from, to);
    // A log that takes its name by a rename is kept under it from now on.
    return isStored(to) ? m_store(to) : std::nullopt;
}

FileStatus StoredFiles::moveNew(const std::string &from, const std::string &to)
{
    if (FileStatus failed = m_inner.moveNew(from, to))
        return failed;
    renamed(from, to);
    return isStored(to) ? m_store(to) : std::nullopt;
}

FileStatus StoredFiles::syncDirectory(const std::string &directory)
{
    return m_inner.syncDirectory(directory);
}

} // namespace kpx::web
