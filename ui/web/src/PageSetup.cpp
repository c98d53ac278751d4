#include "web/PageSetup.h"

#include "engine/RunSettings.h"
#include "forms/SetupCommands.h"

namespace kpx::web {

std::optional<SetupRefusal> applySetup(const SetupEntries &entries, RunSettings &settings)
{
    if (entries.subject.empty())
        return SetupRefusal{"subject", forms::subjectIdQuestion().prompt};
    if (std::optional<std::string> refusal = forms::subjectIdRefusal(entries.subject))
        return SetupRefusal{"subject", *refusal};
    std::optional<std::int16_t> threshold = settings.DistractorThreshold;
    if (!entries.dtt.empty()) {
        threshold = forms::distractorThresholdFromEntry(entries.dtt);
        // The desktop asks again with its question until the entry is a threshold.
        if (!threshold)
            return SetupRefusal{"dtt", forms::thresholdQuestion().prompt};
    }
    settings.SubjectId = entries.subject;
    settings.DistractorThreshold = *threshold;
    if (!entries.cutoff.empty())
        settings.MaxTrials = forms::maxTrialsFromEntry(entries.cutoff);
    return std::nullopt;
}

} // namespace kpx::web
