#pragma once

#include <string>

namespace kpx {

struct WriteFailure;

enum class WriteFailureChoice {
    Retry,   // try again, with the subject ID and directory the host may have changed
    Discard, // give up the results (confirmed separately)
};

// What the run needs from the application around the choice and break windows.
class RunHost
{
public:
    virtual ~RunHost() = default;

    virtual void HideInstructions() = 0;

    // "The task is now complete", titled with the application title; returns when dismissed.
    virtual void ShowCompletion() = 0;

    // Ends the application at once: all windows close and no queued event runs.
    virtual void Terminate() = 0;

    // Tells the experimenter which file failed and why; may change where to write next.
    virtual WriteFailureChoice ResolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
                                                   std::string &OutputDirectory) = 0;

    // Second question before the results are thrown away; true discards them.
    virtual bool ConfirmDiscard() = 0;

    // The trial log cannot be created, so the run cannot start. True tries again, in the
    // directory the host may have changed; false leaves the run unstarted.
    virtual bool ResolveLogFailure(const WriteFailure &failure, std::string &directory) = 0;

    // A response could not be added to the trial log; the run goes on. Told once per run.
    virtual void ReportLogFailure(const WriteFailure &failure) = 0;

    // The trial log's file was removed or replaced during the run and cannot be written again where it
    // was (failure says where and why). True writes the whole log again in the directory the host may
    // have changed; false goes on with every answer kept, tried again after each answer and at the end.
    virtual bool ResolveLogLost(const std::string &lostPath, const WriteFailure &failure, std::string &directory) = 0;

    // The trial log's file was removed or replaced during the run; every answer so far has been
    // written again to newPath and the run goes on.
    virtual void ReportLogWrittenAgain(const std::string &lostPath, const std::string &newPath) = 0;
};

} // namespace kpx
