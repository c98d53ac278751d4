#include "results/TrialLog.h"

#include "TempNames.h"
#include "results/Csv.h"
#include "results/NumberForm.h"
#include "i18n/Tr.h"

#include <array>
#include <cstdio>
#include <utility>

namespace kpx {

namespace {

// Why a log was given up, when its file went from under it.
constexpr const char *RemovedOrReplaced = "the file was removed or replaced during the run";

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
    trial.language = i18n::activeLanguage();
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
    std::unique_ptr<OpenFile> file;
    std::string path;
};

// A new file named <name>.trials.csv in the directory, or <name>-2, -3, ... when that exists.
std::variant<OpenedLog, WriteFailure> openUnique(Files &files, const std::string &directory, const std::string &name)
{
    const std::string stem = directory + preferredDirectorySeparator() + name;
    if (directory.empty())
        return WriteFailure{stem + std::string(TrialLogSuffix), NoDirectoryReason};
    for (int attempt = 1;; ++attempt) {
        const std::string path = stem + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + std::string(TrialLogSuffix);
        // Never opened if it exists: an earlier log of the same second is never touched.
        auto created = files.createNew(path);
        if (auto *file = std::get_if<std::unique_ptr<OpenFile>>(&created))
            return OpenedLog{std::move(*file), path};
        const FileError &error = std::get<FileError>(created);
        if (!error.exists || attempt >= 1000)
            return WriteFailure{path, error.reason};
    }
}

// Writes the text as the file's whole contents, synced, and makes its name durable.
FileStatus writeWhole(Files &files, OpenFile &file, const std::string &path, const std::string &text)
{
    if (auto error = file.writeAt(0, text))
        return error;
    if (auto error = file.sync())
        return error;
    return files.syncDirectory(directoryOf(path));
}

} // namespace

std::variant<TrialLog, WriteFailure> TrialLog::create(const std::string &directory, const std::string &SubjectId,
                                                      const LocalDateTime &started, Files &files)
{
    TrialLog log(files, directory, SubjectId, nameTime(started), isoTime(started));
    if (auto reason = unusableSubjectId(SubjectId))
        return WriteFailure{directory + preferredDirectorySeparator() + SubjectId + "_" + log.m_startedName + std::string(TrialLogSuffix), *reason};
    if (auto failure = log.writeAgain(directory, SubjectId))
        return *failure;
    return log;
}

TrialLog::TrialLog(Files &files, std::string directory, std::string subject, std::string startedName,
                   std::string started)
    : m_files(&files)
    , m_directory(std::move(directory))
    , m_subject(std::move(subject))
    , m_startedName(std::move(startedName))
    , m_started(std::move(started))
{
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
        t.displayScale ? plainNumber(*t.displayScale) : std::string(),
        t.frameIntervalMs ? fixedNumber(*t.frameIntervalMs, TimeDecimals) : std::string(),
        t.fullScreenExits ? std::to_string(*t.fullScreenExits) : std::string(),
        CsvField(t.language),
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

std::string TrialLog::rowsFrom(std::size_t first) const
{
    std::string text;
    for (std::size_t i = first; i < m_records.size(); ++i)
        text += row(m_records[i]);
    return text;
}

std::size_t TrialLog::rowsMissing() const
{
    return m_lost ? m_records.size() : m_records.size() - m_rowsOnDisk;
}

std::optional<WriteFailure> TrialLog::append(const TrialRecord &record)
{
    m_records.push_back(record);
    return flush();
}

std::optional<WriteFailure> TrialLog::flush()
{
    if (!m_lost && !m_file->isStillAt(m_path)) {
        // The folder was removed or replaced: what is written now would be seen by nobody.
        m_lost = true;
        m_lostReason = RemovedOrReplaced;
        m_file.reset();
    }
    if (m_lost)
        return WriteFailure{m_path, m_lostReason};
    if (m_torn) {
        // Whatever a failed write left past the last whole row must go before anything follows it.
        if (m_file->truncate(m_bytesOnDisk) || m_file->sync()) {
            if (auto failure = rewriteInPlace())
                return failure;
        }
        m_torn = false;
    }
    if (m_rowsOnDisk == m_records.size())
        return std::nullopt;
    // Every row not yet on disk in one write, then a sync.
    const std::string pending = rowsFrom(m_rowsOnDisk);
    FileStatus error = m_file->writeAt(m_bytesOnDisk, pending);
    if (!error)
        error = m_file->sync();
    if (error) {
        // A row is on disk whole or not at all: cut back to the last whole one, or failing that
        // (the file's state now unknown) put a whole copy in its place.
        const bool cutBack = !m_file->truncate(m_bytesOnDisk) && !m_file->sync();
        if (!cutBack) {
            const auto rewritten = rewriteInPlace();
            if (!rewritten)
                return std::nullopt;
            // The file let go: what matters now is why it could not be kept.
            if (m_lost)
                return rewritten;
            m_torn = true;
        }
        return WriteFailure{m_path, error->reason};
    }
    m_rowsOnDisk = m_records.size();
    m_bytesOnDisk += pending.size();
    return std::nullopt;
}

std::optional<WriteFailure> TrialLog::rewriteInPlace()
{
    const std::string text = wholeText();
    const std::string temporary = m_path + std::string(PartialSuffix) + randomTag();
    auto created = m_files->createNew(temporary);
    if (auto *error = std::get_if<FileError>(&created))
        return WriteFailure{temporary, error->reason};
    auto &file = std::get<std::unique_ptr<OpenFile>>(created);
    FileStatus error = writeWhole(*m_files, *file, temporary, text);
    if (!error) {
        // Windows renames nothing over a file that is open, this program's own handle included. The
        // old file is torn and the copy whole, so the old handle has nothing more to give.
        m_file.reset();
        error = m_files->replace(temporary, m_path);
    }
    if (!error)
        error = m_files->syncDirectory(m_directory);
    if (error) {
        m_files->remove(temporary);
        // With its file let go, the log is lost: every row is kept for writing it again whole. The
        // file stays as the failed write left it, perhaps with a row cut short, until it can go.
        if (!m_file) {
            m_lost = true;
            m_lostReason = "a write failed and could not be undone, and a whole copy could not take the file's "
                           "place, perhaps because another program has it open: " + error->reason;
            m_tornFile = m_path;
        }
        return WriteFailure{m_path, m_lostReason.empty() ? error->reason : m_lostReason};
    }
    m_file = std::move(file);
    m_rowsOnDisk = m_records.size();
    m_bytesOnDisk = text.size();
    return std::nullopt;
}

std::optional<WriteFailure> TrialLog::writeAgain(const std::string &directory, std::string SubjectId)
{
    // Taken by value: it may be this log's own subject.
    auto opened = openUnique(*m_files, directory, SubjectId + "_" + m_startedName);
    if (auto *failure = std::get_if<WriteFailure>(&opened))
        return *failure;
    const std::string previousSubject = std::exchange(m_subject, std::move(SubjectId));
    auto &[file, path] = std::get<OpenedLog>(opened);
    const std::string text = wholeText();
    if (auto error = writeWhole(*m_files, *file, path, text)) {
        m_subject = previousSubject;
        file.reset();
        m_files->remove(path);
        return WriteFailure{path, error->reason};
    }
    // The file this one takes over from would be a second, shorter copy of the same run.
    if (m_file && !m_lost && m_file->isStillAt(m_path)) {
        m_file.reset();
        if (!m_files->remove(m_path))
            m_files->syncDirectory(m_directory);
    }
    // The torn file this log let go: every row of it is in the new one, and its name is this run's own.
    // What cannot be removed yet (still held open) is named, and tried again with the next whole write.
    if (m_tornFile && (*m_tornFile == path || !m_files->remove(*m_tornFile))) {
        m_files->syncDirectory(directoryOf(*m_tornFile));
        m_tornFile.reset();
    }
    m_file = std::move(file);
    m_path = path;
    m_directory = directory;
    m_rowsOnDisk = m_records.size();
    m_bytesOnDisk = text.size();
    m_torn = false;
    m_lost = false;
    m_lostReason.clear();
    return std::nullopt;
}

} // namespace kpx
