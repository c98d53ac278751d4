#pragma once

#include "i18n/Tr.h"

#include <string>

namespace kpx::web {

// A text the page's own script shows, by the key it looks it up under. %1, %2, … are filled in by
// the page (an attempt's number, a subject ID, a browser's error).
struct PageText
{
    const char *key;
    i18n::Text text;
};

// What the page says around the run: the end of the run, its storing and sending, and failures.
inline constexpr PageText PageTexts[] = {
    {"failed", KPX_TR("The task has met an error and cannot go on:\n%1")},
    {"notStored", KPX_TR("the browser did not store it: %1")},
    {"saving", KPX_TR("Saving your answers…")},
    {"sending", KPX_TR("Sending your answers…")},
    {"sentNow", KPX_TR("Sent.")},
    {"notSentYet", KPX_TR("Not sent yet (attempt %1: %2); trying again. Please keep this page open.")},
    // TRANSLATORS: the page's last word on the data once the lab's receiver has taken it.
    {"sent", KPX_TR("sent")},
    {"ended", KPX_TR("The task has ended.")},
    // TRANSLATORS: the link to the address a panel sends participants to at the end.
    {"continue", KPX_TR("Continue")},
    {"ok", KPX_TR("OK")},
    // TRANSLATORS: why an attempt to send failed; %1 the receiver's HTTP status, or the browser's own words.
    {"sendAnswered", KPX_TR("the data address answered %1")},
    {"sendRedirect", KPX_TR("the data address answered with a redirect")},
    {"sendNoAnswer", KPX_TR("the data address gave no answer in time")},
    {"sendNetworkFailed", KPX_TR("the network failed (%1)")},
    {"noStorage", KPX_TR("this browser keeps no storage for the page (IndexedDB is off)")},
};

// What a reopened page says of the runs a closed, reloaded or crashed page left in the browser.
inline constexpr PageText RecoveryTexts[] = {
    {"startNew", KPX_TR("Start a new run")},
    // TRANSLATORS: %1 the subject ID, %2 ", started …" or nothing.
    {"unfinished", KPX_TR("A run of subject “%1”%2 was not finished (the page was closed or reloaded).")},
    {"unfinishedNoSubject", KPX_TR("A run with an empty subject ID%1 was not finished (the page was closed or reloaded).")},
    {"notSent", KPX_TR("A finished run of subject “%1”%2 has not been sent.")},
    {"notSentNoSubject", KPX_TR("A finished run with an empty subject ID%1 has not been sent.")},
    {"kept", KPX_TR("A finished run of subject “%1”%2 is kept in this browser.")},
    {"keptNoSubject", KPX_TR("A finished run with an empty subject ID%1 is kept in this browser.")},
    // TRANSLATORS: %1 the moment the run started, as the browser wrote it.
    {"started", KPX_TR(", started %1")},
    {"oneAnswer", KPX_TR("%1 answered trial is stored in this browser.")},
    {"answers", KPX_TR("%1 answered trials are stored in this browser.")},
    {"oneAnswerWithResults", KPX_TR("%1 answered trial is stored in this browser, with its results files.")},
    {"answersWithResults", KPX_TR("%1 answered trials are stored in this browser, with its results files.")},
    {"send", KPX_TR("Send")},
    {"sending", KPX_TR("Sending…")},
    {"notSentYet", KPX_TR("Not sent yet (attempt %1: %2). Trying again in %3 s. The data stays in this browser.")},
    {"sent", KPX_TR("Sent.")},
    {"sendFailed", KPX_TR("Not sent: %1. The data stays in this browser.")},
    {"forget", KPX_TR("Forget this run")},
    {"forgetQuestion", KPX_TR("This removes the run from this browser for good. Download its files first if they are needed.")},
    {"forgetYes", KPX_TR("Yes, forget it")},
    {"forgotten", KPX_TR("The run was removed from this browser.")},
    {"notForgotten", KPX_TR("The run could not be removed: %1")},
    {"keep", KPX_TR("Keep it")},
    // A run still taking answers in another tab: offered there for download only.
    {"live", KPX_TR("A run of subject “%1”%2 is going on in another tab of this browser.")},
    {"liveNoSubject", KPX_TR("A run with an empty subject ID%1 is going on in another tab of this browser.")},
    {"oneLiveAnswer", KPX_TR("%1 answered trial is stored in this browser so far; that tab sends or offers it when it ends.")},
    {"liveAnswers", KPX_TR("%1 answered trials are stored in this browser so far; that tab sends or offers it when it ends.")},
    {"goneFromItsTab", KPX_TR("The run was sent or removed from its own tab.")},
};

// Said when the link asks for a language that is not shipped; %1 the code, %2 the codes shipped.
inline constexpr i18n::Text UnknownLanguage{KPX_TR("Unknown language '%1'; the languages shipped are %2")};

// The page's texts in the active language as JSON members ("key":"text",…), the recovery texts
// under "recovery".
std::string pageTextsJson();

} // namespace kpx::web
