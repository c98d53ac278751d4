#include "web/PageRunHost.h"

#include "web/PageBridge.h"

namespace kpx::web {

PageRunHost::PageRunHost(PageBridge &bridge, std::function<std::string()> files)
    : m_bridge(bridge)
    , m_files(std::move(files))
{
}

void PageRunHost::hideInstructions()
{
    // The page leaves the instructions itself when OK starts the task.
}

void PageRunHost::showCompletion()
{
    m_bridge.complete(m_files());
}

void PageRunHost::terminate()
{
    m_terminated = true;
    m_bridge.ended();
}

WriteFailureChoice PageRunHost::resolveWriteFailure(const WriteFailure &failure, std::string &, std::string &)
{
    // Writing into the page's memory fails only when it is full, and trying again cannot help; every
    // answer is already stored in the browser with the trial log, which the page offers.
    m_bridge.tell("The results could not be written:\n" + failure.path + "\n\n" + failure.reason
                  + "\n\nEvery answer is kept in the trial log.");
    m_resultsFailureTold = true;
    return WriteFailureChoice::Discard;
}

void PageRunHost::reportResultsNameClash(const std::string &clash)
{
    m_bridge.tell("The results of this subject ID cannot be written:\n" + clash + "\n\nThe task has not started.");
}

bool PageRunHost::confirmDiscard()
{
    // Told once already, in resolveWriteFailure; nothing else could be done.
    return m_resultsFailureTold;
}

void PageRunHost::reportRunStopped(const std::string &reason)
{
    m_bridge.tell(reason);
}

bool PageRunHost::resolveLogFailure(const WriteFailure &failure, std::string &)
{
    m_bridge.tell("The trial log could not be created:\n" + failure.path + "\n\n" + failure.reason
                  + "\n\nThe task cannot start without it.");
    return false;
}

void PageRunHost::reportLogFailure(const WriteFailure &failure)
{
    m_bridge.tell("The trial log could not be stored:\n" + failure.path + "\n\n" + failure.reason
                  + "\n\nThe task goes on; the answers not yet stored are kept and stored with the next answer that "
                    "can be.");
}

bool PageRunHost::resolveLogLost(const LostLog &lost, const WriteFailure &failure, std::string &)
{
    m_bridge.tell("The trial log can no longer be written where it was:\n" + lost.path + "\n\n" + lost.reason
                  + "\n\nIt cannot be written again there:\n" + failure.path + "\n\n" + failure.reason);
    return false;
}

void PageRunHost::reportLogWrittenAgain(const LostLog &lost, const std::string &newPath)
{
    m_bridge.tell("The trial log can no longer be written where it was:\n" + lost.path
                  + "\n\nEvery answer so far has been written again to:\n" + newPath);
}

bool PageRunHost::resolveLogUnfinished(const std::string &logPath, std::size_t missingRows,
                                       const WriteFailure &failure, std::string &)
{
    m_bridge.tell("The trial log could not be completed:\n" + logPath + "\n\nIt lacks " + std::to_string(missingRows)
                  + " answered trials.\n\n" + failure.path + "\n\n" + failure.reason);
    return false;
}

void PageRunHost::reportLogIncomplete(const std::string &logPath, std::size_t missingRows)
{
    m_bridge.tell("The trial log lacks " + std::to_string(missingRows) + " answered trials:\n" + logPath);
}

void PageRunHost::reportLogCompleted(const std::string &oldPath, const std::string &newPath)
{
    m_bridge.tell("The trial log could not be completed where it was:\n" + oldPath
                  + "\n\nEvery answer has been written to:\n" + newPath);
}

} // namespace kpx::web
