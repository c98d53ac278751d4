#pragma once

#include "engine/TaskEngine.h"
#include "results/ResultsWriter.h"

#include <optional>
#include <string>
#include <variant>

namespace kpx {

// A local calendar time, to the second.
struct LocalDateTime
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

enum class ResponseInput { Key, Click };

// One trial as it was put to the participant, captured before its response is applied.
struct TrialContext
{
    int block = 0;
    int delayDays = 0;
    std::string delayText;
    int amount = 0;
    bool distractor = false;
    bool immediate = false;
    ResponseInput input = ResponseInput::Key;
    // Milliseconds on the run's monotonic clock.
    double whiteOnsetMs = 0.0;
    double answerableOnsetMs = 0.0;
    double responseMs = 0.0;
};

// One row of the trial log.
struct TrialRecord
{
    TrialContext trial;
    int trialInBlock = 0;
    Bounds bounds;
    bool blockEnded = false;
    std::optional<double> indifferencePoint;
};

// The trial on screen; the response itself and the times are filled in by the caller.
TrialContext CaptureTrial(const TaskEngine &engine, bool distractor);

// The row for a response, from the trial and the engine after ApplyResponse.
TrialRecord RecordResponse(const TrialContext &trial, const TaskEngine &after, const ResponseResult &result);

// Appends each response to a CSV file as soon as it is known, synced to disk, so a run
// that dies keeps every answered trial.
class TrialLog
{
public:
    // Creates <SubjectId>_<yyyyMMdd-HHmmss>.trials.csv in the directory, never replacing a file.
    static std::variant<TrialLog, WriteFailure> Create(const std::string &directory, const std::string &SubjectId,
                                                       const LocalDateTime &started);

    TrialLog(TrialLog &&other) noexcept;
    TrialLog &operator=(TrialLog &&other) noexcept;
    TrialLog(const TrialLog &) = delete;
    TrialLog &operator=(const TrialLog &) = delete;
    ~TrialLog();

    std::optional<WriteFailure> Append(const TrialRecord &record);
    const std::string &path() const { return m_path; }

    static std::string header();
    // The whole line, CR LF included; numbers with '.' whatever the locale.
    std::string row(const TrialRecord &record) const;

private:
    TrialLog(int fd, std::string path, std::string subject, std::string started);

    int m_fd = -1;
    std::string m_path;
    std::string m_subject;
    std::string m_started;
};

// A CSV field, quoted when it holds a comma, quote or line break.
std::string CsvField(const std::string &text);

} // namespace kpx
