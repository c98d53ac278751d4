#pragma once

#include "platform/Files.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace kpx::test {

enum class FileOp { Create, Write, Truncate, Sync, Close, Replace, MoveNew, Remove, SyncDirectory };

// Thrown in place of a call, as if the program were killed there: nothing after it runs.
struct Killed : std::runtime_error
{
    Killed()
        : std::runtime_error("killed")
    {
    }
};

// The system's files, with chosen calls failing: the nth call of an operation (from 1), or every call
// from the nth on. A failing write first writes half its bytes, as a full disk does.
class FaultyFiles final : public Files
{
public:
    explicit FaultyFiles(Files &real = systemFiles())
        : m_real(real)
    {
    }

    void failAt(FileOp op, int nth, bool onwards = false) { m_faults[op] = {nth, onwards, false}; }
    void killAt(FileOp op, int nth) { m_faults[op] = {nth, false, true}; }
    void clearFaults() { m_faults.clear(); }
    // No new byte fits under the directory any more (its disk is full), until freeDisk().
    void fillDisk(const std::string &directory) { m_full = directory + preferredDirectorySeparator(); }
    void freeDisk() { m_full.clear(); }
    bool isFull(const std::string &path) const { return !m_full.empty() && path.starts_with(m_full); }
    // Another program has the file open, as Windows keeps such a file: nothing is renamed over it and it
    // is not removed, until letGo().
    void holdOpen(const std::string &path) { m_held = path; }
    void letGo() { m_held.clear(); }
    int calls(FileOp op) const { return m_calls.count(op) ? m_calls.at(op) : 0; }
    // Files created and not yet closed or dropped: a leak shows here.
    int openFiles() const { return m_open; }

    // True when this call of the operation is to fail; throws when it is to kill.
    bool fails(FileOp op)
    {
        const int call = ++m_calls[op];
        const auto fault = m_faults.find(op);
        if (fault == m_faults.end() || call < fault->second.nth || (!fault->second.onwards && call > fault->second.nth))
            return false;
        if (fault->second.kill)
            throw Killed();
        return true;
    }

    std::variant<std::unique_ptr<OpenFile>, FileError> createNew(const std::string &path) override
    {
        if (fails(FileOp::Create))
            return injected();
        auto created = m_real.createNew(path);
        if (auto *file = std::get_if<std::unique_ptr<OpenFile>>(&created))
            return std::make_unique<File>(*this, std::move(*file), path);
        return created;
    }
    FileStatus replace(const std::string &from, const std::string &to) override
    {
        if (fails(FileOp::Replace))
            return injected();
        return isHeld(to) ? heldOpen() : m_real.replace(from, to);
    }
    FileStatus moveNew(const std::string &from, const std::string &to) override
    {
        return fails(FileOp::MoveNew) ? injected() : m_real.moveNew(from, to);
    }
    FileStatus remove(const std::string &path) override
    {
        if (fails(FileOp::Remove))
            return injected();
        return isHeld(path) ? heldOpen() : m_real.remove(path);
    }
    FileStatus syncDirectory(const std::string &directory) override
    {
        return fails(FileOp::SyncDirectory) ? injected() : m_real.syncDirectory(directory);
    }
    PathKind kind(const std::string &path) const override { return m_real.kind(path); }
    std::optional<std::vector<std::string>> list(const std::string &directory) const override
    {
        return m_real.list(directory);
    }

    static FileError injected() { return {"Input/output error (injected)", false}; }
    static FileError heldOpen()
    {
        return {"The process cannot access the file because it is being used by another process (injected)", false};
    }

private:
    bool isHeld(const std::string &path) const { return !m_held.empty() && path == m_held; }

    struct Fault
    {
        int nth;
        bool onwards;
        bool kill;
    };

    class File final : public OpenFile
    {
    public:
        File(FaultyFiles &owner, std::unique_ptr<OpenFile> real, std::string path)
            : m_owner(owner)
            , m_real(std::move(real))
            , m_path(std::move(path))
        {
            ++m_owner.m_open;
        }
        ~File() override
        {
            if (m_real)
                --m_owner.m_open;
        }
        FileStatus writeAt(std::uint64_t offset, std::string_view bytes) override
        {
            if (!m_owner.fails(FileOp::Write) && !m_owner.isFull(m_path))
                return m_real->writeAt(offset, bytes);
            m_real->writeAt(offset, bytes.substr(0, bytes.size() / 2));
            return injected();
        }
        FileStatus truncate(std::uint64_t length) override
        {
            return m_owner.fails(FileOp::Truncate) ? injected() : m_real->truncate(length);
        }
        FileStatus sync() override { return m_owner.fails(FileOp::Sync) ? injected() : m_real->sync(); }
        bool isStillAt(const std::string &path) const override { return m_real->isStillAt(path); }
        FileStatus close() override
        {
            const bool fail = m_owner.fails(FileOp::Close);
            const FileStatus status = m_real->close();
            --m_owner.m_open;
            m_real.reset();
            return fail ? injected() : status;
        }

    private:
        FaultyFiles &m_owner;
        std::unique_ptr<OpenFile> m_real;
        std::string m_path;
    };

    Files &m_real;
    std::map<FileOp, Fault> m_faults;
    std::map<FileOp, int> m_calls;
    std::string m_full;
    std::string m_held;
    int m_open = 0;
};

} // namespace kpx::test
