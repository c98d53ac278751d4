#pragma once

#include "results/TrialLog.h"

#include <optional>
#include <string>

namespace kpx {

class TaskEngine;

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

    // The trial log's file was removed or replaced during the run and cannot be written again where it
    // was (failure says where and why). True writes the whole log again in the directory the host may
    // have changed; false goes on with every answer kept, tried again after each answer and at the end.
    virtual bool resolveLogLost(const std::string &lostPath, const WriteFailure &failure, std::string &directory) = 0;

    // The trial log's file was removed or replaced during the run; every answer so far has been
    // written again to newPath and the run goes on.
    virtual void reportLogWrittenAgain(const std::string &lostPath, const std::string &newPath) = 0;
};

// Records a run's trials: the onsets and the response of the trial on screen, then, for each
// answer, the engine's state before and after it as one row of the trial log, written before the
// next trial is shown. Times are milliseconds on the run's monotonic clock.
class TrialRecorder
{
public:
    // The host must outlive the recorder.
    explicit TrialRecorder(TrialLogHost &host);

    // Creates the trial log, asking the host while it cannot be created; false when the host gives up.
    bool open(std::string directory, const std::string &SubjectId, const LocalDateTime &started);

    // The trial log, once opened.
    std::optional<std::string> logPath() const;

    // A trial's options were painted in white; distractor tells its kind.
    void trialShown(double whiteOnsetMs, bool distractor);
    // The options were painted black: the trial is answerable from here on.
    void trialAnswerable(double answerableOnsetMs);
    // The response, at its input event's own time; never earlier than the trial became answerable,
    // since the choice cannot have been seen before. Returns the moment recorded.
    double respond(ResponseInput input, double eventMs);

    // Applies the response the engine holds and adds the trial's row to the log (when one is open).
    // A lost log is written again at once; the host is asked where only the first time it is noticed.
    ResponseResult Record(TaskEngine &engine);

    // At the end of the run: the rows a failed write held back get one more chance.
    void flush();
    // At the end of the run: a log still lost is written again in the directory given (beside the
    // results), or where it was, asking the host while that fails.
    void rescue(const std::optional<std::string> &directory);

private:
    void writeLostAgain(std::string directory, bool ask);

    TrialLogHost &m_host;
    std::optional<TrialLog> m_log;
    bool m_failureReported = false;
    bool m_distractor = false;
    double m_whiteOnsetMs = 0.0;
    double m_answerableOnsetMs = 0.0;
    double m_responseMs = 0.0;
    ResponseInput m_input = ResponseInput::Key;
};

} // namespace kpx
