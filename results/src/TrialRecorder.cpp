#include "results/TrialRecorder.h"

#include "engine/TaskEngine.h"

#include <algorithm>
#include <utility>

namespace kpx {

TrialRecorder::TrialRecorder(TrialLogHost &host)
    : m_host(host)
{
}

bool TrialRecorder::open(std::string directory, const std::string &SubjectId, const LocalDateTime &started)
{
    for (;;) {
        auto created = TrialLog::create(directory, SubjectId, started);
        if (auto *log = std::get_if<TrialLog>(&created)) {
            m_log.emplace(std::move(*log));
            return true;
        }
        if (!m_host.resolveLogFailure(std::get<WriteFailure>(created), directory))
            return false;
    }
}

std::optional<std::string> TrialRecorder::logPath() const
{
    if (!m_log)
        return std::nullopt;
    return m_log->path();
}

void TrialRecorder::trialShown(double whiteOnsetMs, bool distractor)
{
    m_whiteOnsetMs = whiteOnsetMs;
    m_distractor = distractor;
}

void TrialRecorder::trialAnswerable(double answerableOnsetMs)
{
    m_answerableOnsetMs = answerableOnsetMs;
}

double TrialRecorder::respond(ResponseInput input, double eventMs)
{
    m_responseMs = std::max(eventMs, m_answerableOnsetMs);
    m_input = input;
    return m_responseMs;
}

ResponseResult TrialRecorder::Record(TaskEngine &engine)
{
    TrialContext trial = captureTrial(engine, m_distractor);
    trial.input = m_input;
    trial.whiteOnsetMs = m_whiteOnsetMs;
    trial.answerableOnsetMs = m_answerableOnsetMs;
    trial.responseMs = m_responseMs;
    const ResponseResult result = engine.ApplyResponse();
    if (!m_log)
        return result;
    const bool lostBefore = m_log->lost();
    const auto failure = m_log->append(recordResponse(trial, engine, result));
    if (failure && m_log->lost()) {
        // Told at once when first noticed; after that it is tried again quietly with each answer.
        writeLostAgain(m_log->directory(), !lostBefore);
    } else if (failure && !m_failureReported) {
        m_failureReported = true;
        m_host.reportLogFailure(*failure);
    }
    return result;
}

void TrialRecorder::flush()
{
    if (m_log && !m_log->lost())
        m_log->flush();
}

void TrialRecorder::rescue(const std::optional<std::string> &directory)
{
    if (m_log && m_log->lost())
        writeLostAgain(directory.value_or(m_log->directory()), true);
}

void TrialRecorder::writeLostAgain(std::string directory, bool ask)
{
    const std::string lostPath = m_log->path();
    auto failure = m_log->writeAgain(directory);
    while (failure && ask) {
        if (!m_host.resolveLogLost(lostPath, *failure, directory))
            return;
        failure = m_log->writeAgain(directory);
    }
    if (!failure)
        m_host.reportLogWrittenAgain(lostPath, m_log->path());
}

} // namespace kpx
