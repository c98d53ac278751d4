#include "ui/QtRunHost.h"

#include "results/ResultsWriter.h"
#include "ui/ApplicationTitle.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

#include <utility>

namespace kpx {

namespace {

using Role = Dialogs::Role;

QString startDirectory(const std::string &directory)
{
    const QString current = QString::fromStdString(directory);
    return !current.isEmpty() && QDir(current).exists() ? current : QDir::homePath();
}

QString failureText(const QString &what, const WriteFailure &failure)
{
    return what.arg(QString::fromStdString(failure.path), QString::fromStdString(failure.reason));
}

// A directory chosen from the one in use; false, and the directory kept, on Cancel.
bool chooseDirectory(Dialogs &dialogs, QWidget *parent, std::string &directory)
{
    const QString chosen = dialogs.chooseDirectory(parent, startDirectory(directory));
    if (chosen.isEmpty())
        return false;
    directory = chosen.toStdString();
    return true;
}

} // namespace

QtRunHost::QtRunHost(QWidget *instructions, QWidget *choiceWindow, Dialogs &dialogs, std::function<void()> quit)
    : m_instructions(instructions)
    , m_choiceWindow(choiceWindow)
    , m_dialogs(dialogs)
    , m_quit(std::move(quit))
{
}

QWidget *QtRunHost::dialogParent() const
{
    for (QWidget *window : {m_choiceWindow, m_instructions})
        if (window && window->isVisible())
            return window;
    return QApplication::activeWindow();
}

void QtRunHost::hideInstructions()
{
    if (m_instructions)
        m_instructions->hide();
}

void QtRunHost::showCompletion()
{
    m_dialogs.inform(dialogParent(), QStringLiteral("The task is now complete"), Dialogs::Tone::Plain);
}

void QtRunHost::terminate()
{
    m_terminating = true;
    // The run's windows refuse to close while a run goes on; ending the application overrides them.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (!window->close())
            window->hide();
    if (m_quit)
        m_quit();
}

// Asks until the experimenter has a new place or name to try, or chooses to discard.
WriteFailureChoice QtRunHost::resolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
                                                  std::string &OutputDirectory)
{
    enum { ChooseDirectory, ChangeSubjectId, Discard };
    const QString text = failureText(QStringLiteral("The results could not be written to\n%1\n\n%2"), failure);
    const QString detail = QStringLiteral("Choose another directory or change the subject ID to try again.  "
                                          "Discarding loses the results of this session.");
    const QList<Dialogs::Choice> choices{{QStringLiteral("Choose Directory..."), Role::Accept},
                                         {QStringLiteral("Change Subject ID..."), Role::Accept},
                                         {QStringLiteral("Discard"), Role::Destructive}};
    for (;;) {
        const std::optional<int> choice = m_dialogs.askChoice(dialogParent(), text, detail, choices);
        // Ending the application closes the box; asking again would return at once, forever.
        if (m_terminating)
            return WriteFailureChoice::Discard;
        // Closing the box without a button asks again: the data is never given up by accident.
        if (choice == Discard)
            return WriteFailureChoice::Discard;
        if (choice == ChooseDirectory && chooseDirectory(m_dialogs, dialogParent(), OutputDirectory))
            return WriteFailureChoice::Retry;
        if (choice == ChangeSubjectId) {
            const std::optional<QString> subject = m_dialogs.askText(dialogParent(), ApplicationTitle, QStringLiteral("Enter Subject ID"), QString::fromStdString(SubjectId));
            // An empty name would leave files named only ".KPX" and ".TC".
            if (subject && !subject->isEmpty()) {
                SubjectId = subject->toStdString();
                return WriteFailureChoice::Retry;
            }
        }
    }
}

bool QtRunHost::confirmDiscard()
{
    return m_dialogs.askYesNo(dialogParent(), QStringLiteral("The results of this session will be lost.  Discard them?"));
}

// The run cannot start without its trial log: another directory, or back to the setup.
bool QtRunHost::resolveLogFailure(const WriteFailure &failure, std::string &directory)
{
    const std::optional<int> choice = m_dialogs.askChoice(dialogParent(), failureText(QStringLiteral("The trial log could not be created:\n%1\n\n%2"), failure),
        QStringLiteral("The task cannot start without it.  Choose another directory for the log, or cancel and "
                       "correct the setup."),
        {{QStringLiteral("Choose Directory..."), Role::Accept}, {QString(), Role::Cancel}});
    return choice == 0 && chooseDirectory(m_dialogs, dialogParent(), directory);
}

void QtRunHost::reportLogFailure(const WriteFailure &failure)
{
    m_dialogs.inform(dialogParent(),
                     failureText(QStringLiteral("The trial log could not be written:\n%1\n\n%2\n\nThe task goes on; "
                                                "the answers not yet in the log are kept and written with the next "
                                                "answer that can be, and the results files are still written at "
                                                "the end."),
                                 failure),
                     Dialogs::Tone::Warning);
}

// The log's file vanished mid-run and its folder cannot take it again: another directory, or later.
bool QtRunHost::resolveLogLost(const std::string &lostPath, const WriteFailure &failure, std::string &directory)
{
    const std::optional<int> choice = m_dialogs.askChoice(dialogParent(),
        QStringLiteral("The trial log was removed or replaced during the run:\n%1\n\n"
                       "It cannot be written again there:\n%2\n\n%3")
            .arg(QString::fromStdString(lostPath), QString::fromStdString(failure.path),
                 QString::fromStdString(failure.reason)),
        QStringLiteral("Every answer so far is kept.  Choose a directory to write the whole log to now, or choose "
                       "Later: it is tried again where it was after each answer, and beside the results at the end."),
        {{QStringLiteral("Choose Directory..."), Role::Accept}, {QStringLiteral("Later"), Role::Reject}});
    return choice == 0 && chooseDirectory(m_dialogs, dialogParent(), directory);
}

void QtRunHost::reportLogWrittenAgain(const std::string &lostPath, const std::string &newPath)
{
    m_dialogs.inform(dialogParent(),
                     QStringLiteral("The trial log was removed or replaced during the run:\n%1\n\n"
                                    "Every answer so far has been written again to:\n%2\n\nThe task goes on.")
                         .arg(QString::fromStdString(lostPath), QString::fromStdString(newPath)),
                     Dialogs::Tone::Warning);
}

// At the end of the run the log lacks answers, or the subject ID the results bear: another directory, or as it is.
bool QtRunHost::resolveLogUnfinished(const std::string &logPath, std::size_t missingRows, const WriteFailure &failure,
                                     std::string &directory)
{
    const QString lacking = missingRows > 0
        ? QStringLiteral("It lacks %1 answered trials, which are in no file yet.").arg(missingRows)
        : QStringLiteral("It holds every answer, but under the subject ID it was started with, not the one the "
                         "results files bear.");
    const std::optional<int> choice = m_dialogs.askChoice(dialogParent(),
        QStringLiteral("The trial log could not be completed:\n%1\n\n%2\n\nWriting it failed:\n%3\n\n%4")
            .arg(QString::fromStdString(logPath), lacking, QString::fromStdString(failure.path),
                 QString::fromStdString(failure.reason)),
        missingRows > 0 ? QStringLiteral("Choose a directory to write the whole log to.  Leaving it loses those answers.")
                        : QStringLiteral("Choose a directory to write the log to under the new subject ID, or leave it as it is."),
        {{QStringLiteral("Choose Directory..."), Role::Accept}, {QStringLiteral("Leave It"), Role::Destructive}});
    // Ending the application closes the box; asking again would return at once, forever.
    if (m_terminating)
        return false;
    return choice == 0 && chooseDirectory(m_dialogs, dialogParent(), directory);
}

void QtRunHost::reportLogIncomplete(const std::string &logPath, std::size_t missingRows)
{
    m_dialogs.inform(dialogParent(),
                     QStringLiteral("The trial log lacks %1 answered trials, which are in no file:\n%2")
                         .arg(missingRows)
                         .arg(QString::fromStdString(logPath)),
                     Dialogs::Tone::Warning);
}

void QtRunHost::reportLogCompleted(const std::string &oldPath, const std::string &newPath)
{
    m_dialogs.inform(dialogParent(),
                     QStringLiteral("The trial log could not be completed where it was:\n%1\n\n"
                                    "Every answer has been written to:\n%2")
                         .arg(QString::fromStdString(oldPath), QString::fromStdString(newPath)),
                     Dialogs::Tone::Warning);
}

void QtRunHost::reportRunStopped(const std::string &reason)
{
    m_dialogs.inform(dialogParent(), QString::fromStdString(reason), Dialogs::Tone::Warning);
}

} // namespace kpx
