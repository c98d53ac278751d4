#include "results/TrialRecorder.h"

#include "engine/TaskEngine.h"

#include <algorithm>
#include <utility>

namespace kpx {

TrialRecorder::TrialRecorder(TrialLogHost &host, Files &files)
    : m_host(host)
    , m_files(files)
{
}

bool TrialRecorder::open(std::string directory, const std::string &SubjectId, const LocalDateTime &started)
{
    for (;;) {
        auto created = TrialLog::create(directory, SubjectId, started, m_files);
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

void TrialRecorder::trialShown(double whiteOnsetMs, bool distractor, std::optional<double> displayScale)
{
    m_whiteOnsetMs = whiteOnsetMs;
    m_distractor = distractor;
    m_displayScale = displayScale;
}

void TrialRecorder::displayMeasures(std::optional<double> frameIntervalMs, std::optional<int> fullScreenExits)
{
    m_frameIntervalMs = frameIntervalMs;
    m_fullScreenExits = fullScreenExits;
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
    trial.displayScale = m_displayScale;
    trial.frameIntervalMs = m_frameIntervalMs;
    trial.fullScreenExits = m_fullScreenExits;
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

std::size_t TrialRecorder::finish(const std::optional<WrittenResults> &results)
{
    if (!m_log)
        return 0;
    flush();
    const std::string subject = results ? results->SubjectId : m_log->subject();
    const bool incomplete = m_log->rowsMissing() > 0;
    if (!incomplete && subject == m_log->subject())
        return 0;
    const std::string before = m_log->path();
    // Where writing is known to work: beside the results. A whole log keeps its place.
    std::string directory = incomplete && results ? results->OutputDirectory : m_log->directory();
    auto failure = m_log->writeAgain(directory, subject);
    if (failure && results && directory != results->OutputDirectory) {
        directory = results->OutputDirectory;
        failure = m_log->writeAgain(directory, subject);
    }
    while (failure) {
        if (!m_host.resolveLogUnfinished(before, m_log->rowsMissing(), *failure, directory)) {
            if (m_log->rowsMissing() > 0)
                m_host.reportLogIncomplete(m_log->path(), m_log->rowsMissing());
            return m_log->rowsMissing();
        }
        failure = m_log->writeAgain(directory, subject);
    }
    if (incomplete)
        m_host.reportLogCompleted(before, m_log->path());
    return 0;
}

void TrialRecorder::writeLostAgain(std::string directory, bool ask)
{
    LostLog lost{m_log->path(), m_log->lostReason(), std::nullopt};
    auto failure = m_log->writeAgain(directory, m_log->subject());
    while (failure && ask) {
        if (!m_host.resolveLogLost(lost, *failure, directory))
            return;
        failure = m_log->writeAgain(directory, m_log->subject());
    }
    if (!failure) {
        lost.tornFile = m_log->tornFile();
        m_host.reportLogWrittenAgain(lost, m_log->path());
    }
}

} // namespace kpx
