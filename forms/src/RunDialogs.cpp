#include "forms/RunDialogs.h"

namespace kpx::forms {

std::string endRunQuestion(RunStage stage)
{
    switch (stage) {
    case RunStage::Trials:
        return translated(KPX_TR("The task has not finished.  End it now?  The results files will not be written; "
                                 "the trials answered so far stay in the trial log."));
    case RunStage::WritingResults:
        return translated(KPX_TR("The results files have not been written yet.  End now without them?  The trials "
                                 "answered so far stay in the trial log."));
    case RunStage::NotStarted:
    case RunStage::ResultsWritten: // saved; the completion message ends the application as usual
    case RunStage::Finished:
        break;
    }
    return {};
}

} // namespace kpx::forms
