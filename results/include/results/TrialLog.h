#pragma once

#include "engine/TaskEngine.h"
#include "platform/Clock.h"
#include "results/Csv.h"
#include "results/ResultsWriter.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kpx {

// A local calendar time, to the second.
using LocalDateTime = CalendarTime;

enum class ResponseInput { Key, Click };

// Trial logs are named <SubjectId>_<yyyyMMdd-HHmmss>.trials.csv.
inline constexpr std::string_view TrialLogSuffix = ".trials.csv";

// The columns of a trial log, in order; readers find them by these names in the header line.
enum class TrialLogColumn {
    Subject, RunStarted, Block, DelayDays, DelayText, TrialInBlock, Kind, Amount, Choice, Input, RtMs,
    LowInner, LowOuter, HighInner, HighOuter, BlockEnded, IndifferencePoint, WhiteOnsetMs,
    AnswerableOnsetMs, ResponseMs, DisplayScale, FrameIntervalMs, FullScreenExits, Language,
};
// Logs written before display_scale, frame_interval_ms, fullscreen_exits and language were added lack
// those last columns; readers take them as they are.
inline constexpr std::array<std::string_view, 24> TrialLogColumns{
    "subject", "run_started", "block", "delay_days", "delay_text", "trial_in_block", "kind", "amount",
    "choice", "input", "rt_ms", "low_inner", "low_outer", "high_inner", "high_outer", "block_ended",
    "indifference_point", "white_onset_ms", "answerable_onset_ms", "response_ms", "display_scale",
    "frame_interval_ms", "fullscreen_exits", "language"};

constexpr std::string_view trialLogColumnName(TrialLogColumn column)
{
    return TrialLogColumns[static_cast<std::size_t>(column)];
}

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
    // Display pixels per design pixel the choice window was drawn at; none without a display.
    std::optional<double> displayScale;
    // The display's frame interval in milliseconds, measured once for the run, where the window
    // system presents on frames (a browser); none elsewhere.
    std::optional<double> frameIntervalMs;
    // How often the participant had left full screen during the trials up to this answer, where the
    // task asked for full screen (a browser); none elsewhere.
    std::optional<int> fullScreenExits;
    // The code of the language the run was shown in ("en", "de"); delayText stays English whatever it is.
    std::string language;
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
TrialContext captureTrial(const TaskEngine &engine, bool distractor);

// The row for a response, from the trial and the engine after ApplyResponse.
TrialRecord recordResponse(const TrialContext &trial, const TaskEngine &after, const ResponseResult &result);

// Writes each response to a CSV file as soon as it is known, synced to disk, so a run that dies
// keeps every answered trial. Every row is also kept in memory, so the whole log can be written again
// when its file is lost, cannot be completed, or must bear another subject ID.
class TrialLog
{
public:
    // Creates <SubjectId>_<yyyyMMdd-HHmmss>.trials.csv in the directory, never replacing a file; the
    // header and the new name are synced before it counts as created.
    static std::variant<TrialLog, WriteFailure> create(const std::string &directory, const std::string &SubjectId,
                                                       const LocalDateTime &started, Files &files = systemFiles());

    // Keeps the row and writes every row not yet on disk, synced. The file only ever holds whole
    // rows, each written at the end of the last whole one: a failed write is cut back, or when even
    // that fails the file is written again whole in its place; held-back rows go out with the next
    // write that succeeds. Fails, setting lost(), when the file is no longer the one at its path.
    std::optional<WriteFailure> append(const TrialRecord &record);

    // Writes the rows a failed append left out, if any, as append does.
    std::optional<WriteFailure> flush();

    // The file was removed or replaced since it was opened; the rows wait for writeAgain.
    bool lost() const { return m_lost; }

    // Why the log was lost, in a failure's words: its file removed or replaced, or a torn file that a
    // whole copy could not take the place of (on Windows: another program has it open). Empty if not lost.
    const std::string &lostReason() const { return m_lostReason; }

    // A file of this log's that a failed write left with a row perhaps cut short, not removed yet:
    // writeAgain removes it once its rows are whole in the new file, and while it cannot it is named.
    const std::optional<std::string> &tornFile() const { return m_tornFile; }

    // Answered trials that the file does not hold (all of them once it is lost).
    std::size_t rowsMissing() const;

    // Writes the whole log (header and every row), as the subject given, to a new file in the directory,
    // never replacing another file, and writes there from now on. The file it took over from is removed
    // once the new one is synced, if it is still this log's.
    std::optional<WriteFailure> writeAgain(const std::string &directory, std::string SubjectId);

    const std::string &path() const { return m_path; }
    // Where the file is, or was until it was lost.
    const std::string &directory() const { return m_directory; }
    const std::string &subject() const { return m_subject; }

    static std::string header();
    // The whole line, CR LF included; numbers with '.' whatever the locale.
    std::string row(const TrialRecord &record) const;

private:
    TrialLog(Files &files, std::string directory, std::string subject, std::string startedName,
             std::string started);
    std::string rowsFrom(std::size_t first) const;
    std::string wholeText() const { return header() + rowsFrom(0); }
    // Puts a whole copy in the file's place: the way out after a failed write could not be cut back.
    std::optional<WriteFailure> rewriteInPlace();

    Files *m_files;
    std::unique_ptr<OpenFile> m_file;
    std::string m_path;
    std::string m_directory;
    std::string m_subject;
    std::string m_startedName; // yyyyMMdd-HHmmss, in the file's name
    std::string m_started;     // ISO 8601, in the run_started column
    std::vector<TrialRecord> m_records;
    std::size_t m_rowsOnDisk = 0;
    std::uint64_t m_bytesOnDisk = 0; // the whole rows' end; nothing is written anywhere else
    bool m_torn = false;             // a failed write may have left bytes past m_bytesOnDisk
    bool m_lost = false;
    std::string m_lostReason;
    std::optional<std::string> m_tornFile; // let go torn; removed once its rows are whole elsewhere
};

// One row of the trial log: always 24 fields, whatever the subject ID holds, then CR LF.
std::string trialLogRow(const std::string &subject, const std::string &started, const TrialRecord &record);


} // namespace kpx
