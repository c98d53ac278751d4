#pragma once

#include "results/TrialLog.h"

#include <cstddef>
#include <optional>
#include <string>

namespace kpx {

class TaskEngine;

// The trial log's file given up during the run.
struct LostLog
{
    std::string path;
    // What happened to it, in a failure's words.
    std::string reason;
    // A file of the log's left with a row perhaps cut short, that could not be removed yet.
    std::optional<std::string> tornFile;
};

// What the trial recorder must ask or tell the experimenter; it holds no user interface itself.
class TrialLogHost
{
public:
    virtual ~TrialLogHost() = default;

    // The trial log cannot be created, so the run cannot start. True tries again, in the
    // directory the host may have changed; false leaves the run unstarted.
    virtual bool resolveLogFailure(const WriteFailure &failure, std::string &directory) = 0;

    // A response could not be added to the trial log; the run goes on. Told once per run.
    virtual void reportLogFailure(const WriteFailure &failure) = 0;

    // The trial log's file was given up during the run (removed or replaced, or torn and held open by
    // another program) and the log cannot be written again where it was (failure says where and why).
    // True writes the whole log again in the directory the host may have changed; false goes on with
    // every answer kept, tried again after each answer and at the end.
    virtual bool resolveLogLost(const LostLog &lost, const WriteFailure &failure, std::string &directory) = 0;

    // The trial log's file was given up during the run; every answer so far has been written again to
    // newPath and the run goes on. lost.tornFile names what of the old file could not be removed.
    virtual void reportLogWrittenAgain(const LostLog &lost, const std::string &newPath) = 0;

    // At the end of the run the trial log could not be made whole (missingRows answers are in no file
    // yet) or given the subject ID the results bear; failure says where it was tried and why. True
    // tries again in the directory the host may have changed; false leaves the log as it is.
    virtual bool resolveLogUnfinished(const std::string &logPath, std::size_t missingRows, const WriteFailure &failure,
                                      std::string &directory) = 0;

    // At the end of the run: missingRows answered trials are in no file, the log at logPath lacks them.
    virtual void reportLogIncomplete(const std::string &logPath, std::size_t missingRows) = 0;

    // At the end of the run the log at oldPath lacked answers; every answer is now in newPath, and the
    // incomplete file is gone.
    virtual void reportLogCompleted(const std::string &oldPath, const std::string &newPath) = 0;
};

// Where a finished run's results files went.
struct WrittenResults
{
    std::string SubjectId;
    std::string OutputDirectory;
};

// Records a run's trials: the onsets and the response of the trial on screen, then, for each
// answer, the engine's state before and after it as one row of the trial log, written before the
// next trial is shown. Times are milliseconds on the run's monotonic clock.
class TrialRecorder
{
public:
    // The host must outlive the recorder.
    explicit TrialRecorder(TrialLogHost &host, Files &files = systemFiles());

    // Creates the trial log, asking the host while it cannot be created; false when the host gives up.
    bool open(std::string directory, const std::string &SubjectId, const LocalDateTime &started);

    // The trial log, once opened.
    std::optional<std::string> logPath() const;

    // A trial's options were painted in white; distractor tells its kind, displayScale the scale the
    // choice window is drawn at (none without a display).
    void trialShown(double whiteOnsetMs, bool distractor, std::optional<double> displayScale = std::nullopt);
    // What the window system tells of the display as the trial is answered: its frame interval and
    // how often full screen was left so far (none where it tells nothing).
    void displayMeasures(std::optional<double> frameIntervalMs, std::optional<int> fullScreenExits);
    // The options were painted black: the trial is answerable from here on.
    void trialAnswerable(double answerableOnsetMs);
    // The response, at its input event's own time; never earlier than the trial became answerable,
    // since the choice cannot have been seen before. Returns the moment recorded.
    double respond(ResponseInput input, double eventMs);

    // Applies the response the engine holds and adds the trial's row to the log (when one is open).
    // A lost log is written again at once; the host is asked where only the first time it is noticed.
    ResponseResult Record(TaskEngine &engine);

    // At the end of the run: the log is made whole and given the subject ID the results bear. Answers
    // it lacks (held back by a failed write, or its file lost) are written with the whole log beside the
    // results, or where the log was when the results were not written, asking the host while that
    // fails; a log whose subject ID changed is written again under the new one where it is. The file
    // replaced goes once the new one is synced. Returns how many answers are in no file.
    std::size_t finish(const std::optional<WrittenResults> &results);

    // The application is closing before the end: rows a failed write held back get one more chance.
    void flush();

private:
    void writeLostAgain(std::string directory, bool ask);

    TrialLogHost &m_host;
    Files &m_files;
    std::optional<TrialLog> m_log;
    bool m_failureReported = false;
    bool m_distractor = false;
    double m_whiteOnsetMs = 0.0;
    std::optional<double> m_displayScale;
    std::optional<double> m_frameIntervalMs;
    std::optional<int> m_fullScreenExits;
    double m_answerableOnsetMs = 0.0;
    double m_responseMs = 0.0;
    ResponseInput m_input = ResponseInput::Key;
};

} // namespace kpx
