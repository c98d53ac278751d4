#pragma once

#include "ScriptedDialogsOf.h"

#include "results/ResultsWriter.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace kpx::test {

// The end-of-run question about a trial log that lacks answers, answered from a script: both
// front-ends' run hosts must give the answers up only on Leave It, confirmed.
struct LogUnfinishedCase
{
    const char *name;
    std::size_t missingRows;
    std::vector<int> choices; // 0 Choose Directory, 1 Leave It, -1 the box closed (X, Escape)
    std::vector<std::string> directories; // "" cancels the chooser
    std::vector<bool> yesNo;
    bool terminateWhileAsked; // the application ends while the first box is up
    bool retried;             // true: write again in `directory`; false: leave the log
    std::size_t asked;        // how many times the question came up
    std::string directory;
};

inline const std::vector<LogUnfinishedCase> &logUnfinishedCases()
{
    static const std::vector<LogUnfinishedCase> cases{
        {"CancellingTheChooserAsksAgain", 17, {0, 0}, {"", "/data/h"}, {}, false, true, 2, "/data/h"},
        {"ClosingTheBoxAsksAgain", 17, {-1, 0}, {"/data/h"}, {}, false, true, 2, "/data/h"},
        {"LeaveItUnconfirmedAsksAgain", 17, {1, 1}, {}, {false, true}, false, false, 2, "/data/g"},
        {"LeaveItConfirmedLeavesTheAnswers", 17, {1}, {}, {true}, false, false, 1, "/data/g"},
        {"NothingLostNeedsNoConfirmation", 0, {1}, {}, {}, false, false, 1, "/data/g"},
        {"NothingLostStillAsksAgainWhenClosed", 0, {-1, 1}, {}, {}, false, false, 2, "/data/g"},
        {"EndingTheApplicationReturnsAtOnce", 17, {-1}, {}, {}, true, false, 1, "/data/g"},
    };
    return cases;
}

// Scripts the dialogs, asks through the host, and checks what came of it; "" when all is as the case says.
template <class Window, class Host>
std::string checkLogUnfinished(const LogUnfinishedCase &c, ScriptedDialogsOf<Window> &dialogs, Host &host)
{
    dialogs.choices = c.choices;
    dialogs.directories = c.directories;
    dialogs.yesNo = c.yesNo;
    std::size_t asked = 0;
    dialogs.whileShown = [&](const std::string &text) {
        if (text.find("could not be completed") == std::string::npos)
            return;
        ++asked;
        if (c.terminateWhileAsked)
            host.terminate();
        // A script run out would take Leave It and end the loop; a case that never ends fails here.
        if (asked > 10)
            throw std::runtime_error("asked more than ten times");
    };
    std::string directory = "/data/g";
    const bool retried =
        host.resolveLogUnfinished("/data/g/S1.csv", c.missingRows, WriteFailure{"/data/S1.csv", "Disk quota exceeded"},
                                  directory);
    std::string wrong;
    if (retried != c.retried)
        wrong += retried ? "written again; " : "left; ";
    if (asked != c.asked)
        wrong += "asked " + std::to_string(asked) + " times; ";
    if (directory != c.directory)
        wrong += "directory " + directory + "; ";
    if (!dialogs.choices.empty() || !dialogs.yesNo.empty() || !dialogs.directories.empty())
        wrong += "script not used up; ";
    return wrong;
}

} // namespace kpx::test
