#include "results/TrialLog.h"

#include "WriteAll.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace kpx {

namespace {

std::string twoDigits(int value)
{
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

std::string milliseconds(double value)
{
    // Microsecond resolution, '.' as decimal point regardless of the process locale.
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, 3);
    return error == std::errc() ? std::string(buffer.data(), end) : std::string();
}

std::string shortest(double value)
{
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed);
    return error == std::errc() ? std::string(buffer.data(), end) : std::string();
}

} // namespace

std::string CsvField(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

TrialContext CaptureTrial(const TaskEngine &engine, bool distractor)
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

TrialRecord RecordResponse(const TrialContext &trial, const TaskEngine &after, const ResponseResult &result)
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

std::variant<TrialLog, WriteFailure> TrialLog::Create(const std::string &directory, const std::string &SubjectId,
                                                      const LocalDateTime &started)
{
    const std::string stamp = std::to_string(started.year) + twoDigits(started.month) + twoDigits(started.day) + "-"
        + twoDigits(started.hour) + twoDigits(started.minute) + twoDigits(started.second);
    const std::string stem = directory + "/" + SubjectId + "_" + stamp;
    if (directory.empty())
        return WriteFailure{stem + ".trials.csv", NoDirectoryReason};
    if (auto reason = UnusableSubjectId(SubjectId))
        return WriteFailure{stem + ".trials.csv", *reason};

    for (int attempt = 1;; ++attempt) {
        const std::string path = stem + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + ".trials.csv";
        // O_EXCL: an earlier log of the same second is never touched.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST && attempt < 1000)
                continue;
            return WriteFailure{path, std::strerror(errno)};
        }
        const std::string startedText = std::to_string(started.year) + "-" + twoDigits(started.month) + "-"
            + twoDigits(started.day) + "T" + twoDigits(started.hour) + ":" + twoDigits(started.minute) + ":"
            + twoDigits(started.second);
        TrialLog log(fd, path, SubjectId, startedText);
        if (!WriteAll(fd, header()) || ::fsync(fd) != 0)
            return WriteFailure{path, std::strerror(errno)};
        // Make the new file's name durable too.
        const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
        return log;
    }
}

TrialLog::TrialLog(int fd, std::string path, std::string subject, std::string started)
    : m_fd(fd)
    , m_path(std::move(path))
    , m_subject(std::move(subject))
    , m_started(std::move(started))
{
}

TrialLog::TrialLog(TrialLog &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
    , m_subject(std::move(other.m_subject))
    , m_started(std::move(other.m_started))
{
}

TrialLog &TrialLog::operator=(TrialLog &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_subject = std::move(other.m_subject);
        m_started = std::move(other.m_started);
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
    return "subject,run_started,block,delay_days,delay_text,trial_in_block,kind,amount,choice,input,rt_ms,"
           "low_inner,low_outer,high_inner,high_outer,block_ended,indifference_point,white_onset_ms,"
           "answerable_onset_ms,response_ms\r\n";
}

std::string TrialLog::row(const TrialRecord &record) const
{
    const TrialContext &t = record.trial;
    std::string line;
    auto add = [&line](const std::string &field) {
        if (!line.empty())
            line += ',';
        line += field;
    };
    add(CsvField(m_subject));
    add(m_started);
    add(std::to_string(t.block));
    add(std::to_string(t.delayDays));
    add(CsvField(t.delayText));
    add(std::to_string(record.trialInBlock));
    add(t.distractor ? "distractor" : "ordinary");
    add(std::to_string(t.amount));
    add(t.immediate ? "immediate" : "delayed");
    add(t.input == ResponseInput::Key ? "key" : "click");
    add(milliseconds(t.responseMs - t.answerableOnsetMs));
    add(std::to_string(record.bounds.LowInner));
    add(std::to_string(record.bounds.LowOuter));
    add(std::to_string(record.bounds.HighInner));
    add(std::to_string(record.bounds.HighOuter));
    add(record.blockEnded ? "1" : "0");
    // An empty first field must still leave its comma, so the indifference point is added by hand.
    line += ',';
    if (record.indifferencePoint)
        line += shortest(*record.indifferencePoint);
    line += ',' + milliseconds(t.whiteOnsetMs);
    line += ',' + milliseconds(t.answerableOnsetMs);
    line += ',' + milliseconds(t.responseMs);
    line += "\r\n";
    return line;
}

std::optional<WriteFailure> TrialLog::Append(const TrialRecord &record)
{
    if (m_fd < 0)
        return WriteFailure{m_path, "the trial log is not open"};
    // One write per row, then a sync: a crash loses at most the row being written.
    if (!WriteAll(m_fd, row(record)) || ::fdatasync(m_fd) != 0)
        return WriteFailure{m_path, std::strerror(errno)};
    return std::nullopt;
}

} // namespace kpx
