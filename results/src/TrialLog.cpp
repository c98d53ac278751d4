#include "results/TrialLog.h"

#include "WriteAll.h"
#include "results/Csv.h"
#include "results/NumberForm.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kpx {

namespace {

// Times are milliseconds to the microsecond.
constexpr int TimeDecimals = 3;

// The log's name holds the start time as yyyyMMdd-HHmmss, its run_started column as ISO 8601.
std::string nameTime(const LocalDateTime &t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

std::string isoTime(const LocalDateTime &t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

} // namespace

TrialContext captureTrial(const TaskEngine &engine, bool distractor)
{
    TrialContext trial;
    trial.block = engine.state().BlockIndex;
    trial.delayDays = engine.currentDelay().days;
    trial.delayText = engine.currentDelay().text;
    trial.amount = engine.state().ImmediateAmount;
    trial.distractor = distractor;
    trial.immediate = engine.state().ChoseImmediate;
    return trial;
}

TrialRecord recordResponse(const TrialContext &trial, const TaskEngine &after, const ResponseResult &result)
{
    TrialRecord record;
    record.trial = trial;
    record.bounds = result.bounds;
    record.blockEnded = result.outcome != ResponseOutcome::Continue;
    if (record.blockEnded) {
        const int delayIndex = after.presentationOrder()[trial.block];
        record.trialInBlock = after.state().TrialCounts[delayIndex];
        record.indifferencePoint = after.state().IndifferencePoints[delayIndex];
    } else {
        record.trialInBlock = after.state().TrialCount;
    }
    return record;
}

namespace {

struct OpenedLog
{
    int fd;
    std::string path;
};

// A new file named <name>.trials.csv in the directory, or <name>-2, -3, ... when that exists.
std::variant<OpenedLog, WriteFailure> openUnique(const std::string &directory, const std::string &name)
{
    const std::string stem = directory + "/" + name;
    if (directory.empty())
        return WriteFailure{stem + std::string(TrialLogSuffix), NoDirectoryReason};
    for (int attempt = 1;; ++attempt) {
        const std::string path = stem + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + std::string(TrialLogSuffix);
        // O_EXCL: an earlier log of the same second is never touched.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
        if (fd >= 0)
            return OpenedLog{fd, path};
        if (errno != EEXIST || attempt >= 1000)
            return WriteFailure{path, std::strerror(errno)};
    }
}

} // namespace

std::variant<TrialLog, WriteFailure> TrialLog::create(const std::string &directory, const std::string &SubjectId,
                                                      const LocalDateTime &started)
{
    const std::string name = SubjectId + "_" + nameTime(started);
    if (auto reason = unusableSubjectId(SubjectId))
        return WriteFailure{directory + "/" + name + std::string(TrialLogSuffix), *reason};

    auto opened = openUnique(directory, name);
    if (auto *failure = std::get_if<WriteFailure>(&opened))
        return *failure;
    auto &[fd, path] = std::get<OpenedLog>(opened);
    const std::string startedText = isoTime(started);
    TrialLog log(fd, path, directory, name, SubjectId, startedText);
    if (!writeAll(fd, log.m_text) || ::fsync(fd) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return WriteFailure{path, std::strerror(error)};
    }
    log.m_onDisk = log.m_text.size();
    // Make the new file's name durable too.
    syncDirectory(directory);
    return log;
}

TrialLog::TrialLog(int fd, std::string path, std::string directory, std::string name, std::string subject,
                   std::string started)
    : m_fd(fd)
    , m_path(std::move(path))
    , m_directory(std::move(directory))
    , m_name(std::move(name))
    , m_subject(std::move(subject))
    , m_started(std::move(started))
    , m_text(header())
{
}

TrialLog::TrialLog(TrialLog &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
    , m_directory(std::move(other.m_directory))
    , m_name(std::move(other.m_name))
    , m_subject(std::move(other.m_subject))
    , m_started(std::move(other.m_started))
    , m_text(std::move(other.m_text))
    , m_onDisk(other.m_onDisk)
    , m_lost(other.m_lost)
{
}

TrialLog &TrialLog::operator=(TrialLog &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_directory = std::move(other.m_directory);
        m_name = std::move(other.m_name);
        m_subject = std::move(other.m_subject);
        m_started = std::move(other.m_started);
        m_text = std::move(other.m_text);
        m_onDisk = other.m_onDisk;
        m_lost = other.m_lost;
    }
    return *this;
}

TrialLog::~TrialLog()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string TrialLog::header()
{
    std::string line;
    for (const std::string_view name : TrialLogColumns) {
        if (!line.empty())
            line += ',';
        line += name;
    }
    return line + "\r\n";
}

std::string trialLogRow(const std::string &subject, const std::string &started, const TrialRecord &record)
{
    const TrialContext &t = record.trial;
    const std::string fields[] = {
        CsvField(subject),
        started,
        std::to_string(t.block),
        std::to_string(t.delayDays),
        CsvField(t.delayText),
        std::to_string(record.trialInBlock),
        t.distractor ? "distractor" : "ordinary",
        std::to_string(t.amount),
        t.immediate ? "immediate" : "delayed",
        t.input == ResponseInput::Key ? "key" : "click",
        fixedNumber(t.responseMs - t.answerableOnsetMs, TimeDecimals),
        std::to_string(record.bounds.LowInner),
        std::to_string(record.bounds.LowOuter),
        std::to_string(record.bounds.HighInner),
        std::to_string(record.bounds.HighOuter),
        record.blockEnded ? "1" : "0",
        record.indifferencePoint ? plainNumber(*record.indifferencePoint) : std::string(),
        fixedNumber(t.whiteOnsetMs, TimeDecimals),
        fixedNumber(t.answerableOnsetMs, TimeDecimals),
        fixedNumber(t.responseMs, TimeDecimals),
    };
    // A comma between every two fields, empty ones included, so no column ever shifts.
    std::string line;
    for (const std::string &field : fields) {
        if (&field != &fields[0])
            line += ',';
        line += field;
    }
    line += "\r\n";
    return line;
}

std::string TrialLog::row(const TrialRecord &record) const
{
    return trialLogRow(m_subject, m_started, record);
}

bool TrialLog::stillAtPath() const
{
    struct stat open{};
    struct stat named{};
    if (::fstat(m_fd, &open) != 0 || open.st_nlink == 0)
        return false;
    if (::stat(m_path.c_str(), &named) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

std::optional<WriteFailure> TrialLog::append(const TrialRecord &record)
{
    m_text += row(record);
    return flush();
}

std::optional<WriteFailure> TrialLog::flush()
{
    if (m_fd < 0 && !m_lost)
        return WriteFailure{m_path, "the trial log is not open"};
    if (!m_lost && !stillAtPath()) {
        // The folder was removed or replaced: what is written now would be seen by nobody.
        m_lost = true;
        ::close(std::exchange(m_fd, -1));
    }
    if (m_lost)
        return WriteFailure{m_path, "the file was removed or replaced during the run"};

    if (m_onDisk == m_text.size())
        return std::nullopt;
    // One write for every row not yet on disk, then a sync.
    if (!writeAll(m_fd, m_text.substr(m_onDisk)) || ::fdatasync(m_fd) != 0) {
        const int error = errno;
        // A row is on disk whole or not at all: cut back to the last complete one.
        if (::ftruncate(m_fd, static_cast<off_t>(m_onDisk)) == 0)
            ::fdatasync(m_fd);
        return WriteFailure{m_path, std::strerror(error)};
    }
    m_onDisk = m_text.size();
    return std::nullopt;
}

std::optional<WriteFailure> TrialLog::writeAgain(const std::string &directory)
{
    auto opened = openUnique(directory, m_name);
    if (auto *failure = std::get_if<WriteFailure>(&opened))
        return *failure;
    auto &[fd, path] = std::get<OpenedLog>(opened);
    if (!writeAll(fd, m_text) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return WriteFailure{path, std::strerror(error)};
    }
    syncDirectory(directory);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    m_path = path;
    m_directory = directory;
    m_onDisk = m_text.size();
    m_lost = false;
    return std::nullopt;
}

} // namespace kpx
