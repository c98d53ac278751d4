#pragma once

#include "presentation/RunHost.h"

#include <functional>
#include <optional>
#include <string>

namespace kpx::web {

class PageBridge;

// The run's host in the page. Nobody is there to choose another folder: the files live in the page's
// memory and the browser's storage, so a failure is told and the run goes on with what it has.
class PageRunHost final : public RunHost
{
public:
    // The bridge must outlive the host; `files` names the run's three files once they are written
    // (JSON), for the page to store, send and offer.
    PageRunHost(PageBridge &bridge, std::function<std::string()> files);

    void hideInstructions() override;
    void showCompletion() override;
    void terminate() override;
    WriteFailureChoice resolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
                                           std::string &OutputDirectory) override;
    void reportResultsNameClash(const std::string &clash) override;
    bool confirmDiscard() override;
    void reportRunStopped(const std::string &reason) override;

    bool resolveLogFailure(const WriteFailure &failure, std::string &directory) override;
    void reportLogFailure(const WriteFailure &failure) override;
    bool resolveLogLost(const LostLog &lost, const WriteFailure &failure, std::string &directory) override;
    void reportLogWrittenAgain(const LostLog &lost, const std::string &newPath) override;
    bool resolveLogUnfinished(const std::string &logPath, std::size_t missingRows, const WriteFailure &failure,
                              std::string &directory) override;
    void reportLogIncomplete(const std::string &logPath, std::size_t missingRows) override;
    void reportLogCompleted(const std::string &oldPath, const std::string &newPath) override;

    bool terminated() const { return m_terminated; }

private:
    PageBridge &m_bridge;
    std::function<std::string()> m_files;
    bool m_terminated = false;
    bool m_resultsFailureTold = false;
};

} // namespace kpx::web
