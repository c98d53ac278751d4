#pragma once

#include "forms/Dialogs.h"
#include "forms/SetupCommands.h"
#include "forms/Texts.h"
#include "presentation/RunFlow.h"
#include "presentation/RunHost.h"

#include <string>

namespace kpx::forms {

// What ending the run now would lose, as the experimenter is asked it; empty when nothing.
std::string endRunQuestion(RunStage stage);

// The run's dialogs, the same on every front-end: the completion message, the results files' and the
// trial log's failures. A front-end adds hiding the instructions and ending the application.
template <class Window>
class RunDialogs : public RunHost
{
public:
    // The dialogs must outlive the host.
    explicit RunDialogs(DialogsOf<Window> &dialogs)
        : m_dialogs(dialogs)
    {
    }

    // The window the run's dialogs belong to.
    virtual Window *dialogParent() const = 0;

    void showCompletion() override { m_dialogs.inform(dialogParent(), CompletionMessage.text(), Tone::Plain); }

    // Asks until the experimenter has a new place or name to try, or chooses to discard.
    WriteFailureChoice resolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
                                           std::string &OutputDirectory) override
    {
        enum { ChooseDirectory, ChangeSubjectId, Discard };
        const std::string text =
            translated(KPX_TR("The results could not be written to\n%1\n\n%2"), {failure.path, failure.reason});
        const std::string detail = translated(KPX_TR("Choose another directory or change the subject ID to try again.  "
                                                     "Discarding loses the results of this session."));
        const std::vector<Choice> choices{{translated(KPX_TR("Choose Directory...")), Role::Accept},
                                          {translated(KPX_TR("Change Subject ID...")), Role::Accept},
                                          {translated(KPX_TR("Discard")), Role::Destructive}};
        for (;;) {
            const std::optional<int> choice = m_dialogs.askChoice(dialogParent(), text, detail, choices);
            // Ending the application closes the box; asking again would return at once, forever.
            if (m_terminating)
                return WriteFailureChoice::Discard;
            // Closing the box without a button asks again: the data is never given up by accident.
            if (choice == Discard)
                return WriteFailureChoice::Discard;
            if (choice == ChooseDirectory && chooseDirectory(OutputDirectory))
                return WriteFailureChoice::Retry;
            if (choice == ChangeSubjectId) {
                const TextQuestion question = subjectIdQuestion(SubjectId);
                const std::optional<std::string> subject =
                    m_dialogs.askText(dialogParent(), question.title, question.prompt, question.defaultText);
                // An empty name would leave files named only ".KPX" and ".TC".
                if (subject && !subject->empty()) {
                    SubjectId = *subject;
                    return WriteFailureChoice::Retry;
                }
            }
        }
    }

    void reportResultsNameClash(const std::string &clash) override
    {
        m_dialogs.inform(dialogParent(),
                         translated(KPX_TR("The results of this subject ID cannot be written to this folder:\n%1\n\n"
                                           "The task has not started.  Enter the subject ID again, or choose another "
                                           "folder."),
                                    {clash}),
                         Tone::Warning);
    }

    bool confirmDiscard() override
    {
        return m_dialogs.askYesNo(dialogParent(),
                                  translated(KPX_TR("The results of this session will be lost.  Discard them?")));
    }

    // The run cannot start without its trial log: another directory, or back to the setup.
    bool resolveLogFailure(const WriteFailure &failure, std::string &directory) override
    {
        const std::optional<int> choice = m_dialogs.askChoice(
            dialogParent(), translated(KPX_TR("The trial log could not be created:\n%1\n\n%2"), {failure.path, failure.reason}),
            translated(KPX_TR("The task cannot start without it.  Choose another directory for the log, or cancel and "
                              "correct the setup.")),
            {{translated(KPX_TR("Choose Directory...")), Role::Accept}, {"", Role::Cancel}});
        return choice == 0 && chooseDirectory(directory);
    }

    void reportLogFailure(const WriteFailure &failure) override
    {
        m_dialogs.inform(dialogParent(),
                         translated(KPX_TR("The trial log could not be written:\n%1\n\n%2\n\nThe task goes on; the "
                                           "answers not yet in the log are kept and written with the next answer that "
                                           "can be, and the results files are still written at the end."),
                                    {failure.path, failure.reason}),
                         Tone::Warning);
    }

    // The log's file vanished mid-run and its folder cannot take it again: another directory, or later.
    bool resolveLogLost(const LostLog &lost, const WriteFailure &failure, std::string &directory) override
    {
        const std::optional<int> choice = m_dialogs.askChoice(
            dialogParent(),
            translated(KPX_TR("%1\n\nIt cannot be written again there:\n%2\n\n%3"),
                       {lostText(lost), failure.path, failure.reason}),
            translated(KPX_TR("Every answer so far is kept.  Choose a directory to write the whole log to now, or "
                              "choose Later: it is tried again where it was after each answer, and beside the results "
                              "at the end.")),
            {{translated(KPX_TR("Choose Directory...")), Role::Accept}, {translated(KPX_TR("Later")), Role::Reject}});
        return choice == 0 && chooseDirectory(directory);
    }

    void reportLogWrittenAgain(const LostLog &lost, const std::string &newPath) override
    {
        const std::string torn =
            lost.tornFile ? translated(KPX_TR("\n\nThis file may end in a row cut short and could not be removed; every "
                                              "row of it is in the new file, so delete it once the other program lets go "
                                              "of it:\n%1"),
                                       {*lost.tornFile})
                          : std::string();
        m_dialogs.inform(dialogParent(),
                         translated(KPX_TR("%1\n\nEvery answer so far has been written again to:\n%2%3\n\nThe task "
                                           "goes on."),
                                    {lostText(lost), newPath, torn}),
                         Tone::Warning);
    }

    // At the end of the run the log lacks answers, or the subject ID the results bear: another
    // directory, or as it is.
    bool resolveLogUnfinished(const std::string &logPath, std::size_t missingRows, const WriteFailure &failure,
                              std::string &directory) override
    {
        const std::string lacking =
            missingRows > 0 ? translated(KPX_TR("It lacks %1 answered trials, which are in no file yet."),
                                         {std::to_string(missingRows)})
                            : translated(KPX_TR("It holds every answer, but under the subject ID it was started with, "
                                                "not the one the results files bear."));
        enum { ChooseDirectory, LeaveIt };
        const std::string text =
            translated(KPX_TR("The trial log could not be completed:\n%1\n\n%2\n\nWriting it failed:\n%3\n\n%4"),
                       {logPath, lacking, failure.path, failure.reason});
        const std::string detail =
            missingRows > 0
                ? translated(KPX_TR("Choose a directory to write the whole log to.  Leaving it loses those answers."))
                : translated(KPX_TR("Choose a directory to write the log to under the new subject ID, or leave it as it "
                                    "is."));
        const std::vector<Choice> choices{{translated(KPX_TR("Choose Directory...")), Role::Accept},
                                          {translated(KPX_TR("Leave It")), Role::Destructive}};
        for (;;) {
            const std::optional<int> choice = m_dialogs.askChoice(dialogParent(), text, detail, choices);
            // Ending the application closes the box; asking again would return at once, forever.
            if (m_terminating)
                return false;
            if (choice == ChooseDirectory && chooseDirectory(directory))
                return true;
            // Closing the box or cancelling the chooser asks again: answers are left only by a choice,
            // confirmed, as the results are discarded.
            if (choice == LeaveIt && (missingRows == 0 || confirmLeaving(missingRows)))
                return false;
        }
    }

    void reportLogIncomplete(const std::string &logPath, std::size_t missingRows) override
    {
        m_dialogs.inform(dialogParent(),
                         translated(KPX_TR("The trial log lacks %1 answered trials, which are in no file:\n%2"),
                                    {std::to_string(missingRows), logPath}),
                         Tone::Warning);
    }

    void reportLogCompleted(const std::string &oldPath, const std::string &newPath) override
    {
        m_dialogs.inform(dialogParent(),
                         translated(KPX_TR("The trial log could not be completed where it was:\n%1\n\nEvery answer "
                                           "has been written to:\n%2"),
                                    {oldPath, newPath}),
                         Tone::Warning);
    }

    void reportRunStopped(const std::string &reason) override { m_dialogs.inform(dialogParent(), reason, Tone::Warning); }

protected:
    using Choice = typename DialogsOf<Window>::Choice;
    using Role = typename DialogsOf<Window>::Role;
    using Tone = typename DialogsOf<Window>::Tone;

    // Where the directory chooser opens for the directory in use: that directory when it exists.
    virtual std::string chooserStart(const std::string &directory) const = 0;

    DialogsOf<Window> &m_dialogs;
    // Once the application is ending, every dialog returns at once.
    bool m_terminating = false;

private:
    static std::string lostText(const LostLog &lost)
    {
        return translated(KPX_TR("The trial log can no longer be written where it was:\n%1\n\n%2"),
                          {lost.path, lost.reason});
    }

    // No is the default: the answers are given up only by a deliberate Yes.
    bool confirmLeaving(std::size_t missingRows)
    {
        return m_dialogs.askYesNo(dialogParent(),
                                  translated(KPX_TR("%1 answered trials will be in no file.  Leave the trial log as it "
                                                    "is?"),
                                             {std::to_string(missingRows)}));
    }

    // A directory chosen from the one in use; false, and the directory kept, on Cancel.
    bool chooseDirectory(std::string &directory)
    {
        const std::string chosen = m_dialogs.chooseDirectory(dialogParent(), chooserStart(directory));
        if (chosen.empty())
            return false;
        directory = chosen;
        return true;
    }
};

// The setup window's close guard: whether it may close now. While ending would lose something the
// experimenter is asked first; on Yes the run is ended and the application with it, and `ending` is
// set, so the windows that close meanwhile are not asked again.
template <class Window>
bool maySetupClose(RunFlow &flow, RunHost &host, DialogsOf<Window> &dialogs, Window *setup, bool &ending)
{
    const std::string question = endRunQuestion(flow.stage());
    if (ending || question.empty())
        return true;
    if (!dialogs.askYesNo(setup, question))
        return false;
    ending = true;
    // The run's pauses and break wait return first, so nothing keeps the application from leaving.
    flow.abort();
    host.terminate();
    return true;
}

} // namespace kpx::forms
