#pragma once

#include "results/TrialRecorder.h"

#include <string>

namespace kpx {

enum class WriteFailureChoice {
    Retry,   // try again, with the subject ID and directory the host may have changed
    Discard, // give up the results (confirmed separately)
};

// What the run needs from the application around the choice and break windows, the trial log's
// questions among them.
class RunHost : public TrialLogHost
{
public:
    virtual void hideInstructions() = 0;

    // "The task is now complete", titled with the application title; returns when dismissed.
    virtual void showCompletion() = 0;

    // Ends the application at once: all windows close and no queued event runs.
    virtual void terminate() = 0;

    // Tells the experimenter which file failed and why; may change where to write next.
    virtual WriteFailureChoice resolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
                                                   std::string &OutputDirectory) = 0;

    // The run cannot start: its results files would take the place of another subject ID's files in the
    // folder (clash names them). Returns when dismissed; the experimenter then enters the subject ID
    // again or chooses another folder in the setup window.
    virtual void reportResultsNameClash(const std::string &clash) = 0;

    // Second question before the results are thrown away; true discards them.
    virtual bool confirmDiscard() = 0;

    // The run cannot go on (the reason is the experimenter's to read); returns when dismissed, and
    // the application then ends.
    virtual void reportRunStopped(const std::string &reason) = 0;
};

} // namespace kpx
