#include "ui/QtRunHost.h"

#include "results/ResultsWriter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <utility>

namespace kpx {

namespace {

const QString ApplicationTitle = QStringLiteral("KPX2");

void showCompletionBox(QWidget *parent)
{
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, QStringLiteral("The task is now complete"),
                    QMessageBox::Ok, parent);
    box.exec();
}

void closeAllAndExit()
{
    // The run's windows refuse to close while a run goes on; ending the application overrides them.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (!window->close())
            window->hide();
    QCoreApplication::exit(0);
}

QString startDirectory(const std::string &directory)
{
    const QString current = QString::fromStdString(directory);
    return !current.isEmpty() && QDir(current).exists() ? current : QDir::homePath();
}

// Asks until the experimenter has a new place or name to try, or chooses to discard.
WriteFailureChoice askAboutWriteFailure(QWidget *parent, const WriteFailure &failure, std::string &SubjectId,
                                        std::string &OutputDirectory, const bool &terminating)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle,
                    QStringLiteral("The results could not be written to\n%1\n\n%2")
                        .arg(QString::fromStdString(failure.path), QString::fromStdString(failure.reason)),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(QStringLiteral("Choose another directory or change the subject ID to try again.  "
                                          "Discarding loses the results of this session."));
    QPushButton *directoryButton = box.addButton(QStringLiteral("Choose Directory..."), QMessageBox::AcceptRole);
    QPushButton *subjectButton = box.addButton(QStringLiteral("Change Subject ID..."), QMessageBox::AcceptRole);
    QPushButton *discardButton = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(directoryButton);

    for (;;) {
        box.exec();
        // Ending the application closes the box; asking again would return at once, forever.
        if (terminating)
            return WriteFailureChoice::Discard;
        // Closing the box without a button asks again: the data is never given up by accident.
        if (box.clickedButton() == discardButton)
            return WriteFailureChoice::Discard;
        if (box.clickedButton() == directoryButton) {
            const QString directory =
                QFileDialog::getExistingDirectory(parent, ApplicationTitle, startDirectory(OutputDirectory));
            if (!directory.isEmpty()) {
                OutputDirectory = directory.toStdString();
                return WriteFailureChoice::Retry;
            }
        } else if (box.clickedButton() == subjectButton) {
            bool ok = false;
            const QString subject = QInputDialog::getText(parent, ApplicationTitle, QStringLiteral("Enter Subject ID"),
                                                          QLineEdit::Normal, QString::fromStdString(SubjectId), &ok);
            // An empty name would leave files named only ".KPX" and ".TC".
            if (ok && !subject.isEmpty()) {
                SubjectId = subject.toStdString();
                return WriteFailureChoice::Retry;
            }
        }
    }
}

bool askToDiscard(QWidget *parent)
{
    return QMessageBox::question(parent, ApplicationTitle,
                                 QStringLiteral("The results of this session will be lost.  Discard them?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

// The run cannot start without its trial log: another directory, or back to the setup.
bool askAboutLogFailure(QWidget *parent, const WriteFailure &failure, std::string &directory)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle,
                    QStringLiteral("The trial log could not be created:\n%1\n\n%2")
                        .arg(QString::fromStdString(failure.path), QString::fromStdString(failure.reason)),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(QStringLiteral("The task cannot start without it.  Choose another directory for the "
                                          "log, or cancel and correct the setup."));
    QPushButton *directoryButton = box.addButton(QStringLiteral("Choose Directory..."), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(directoryButton);
    box.exec();
    if (box.clickedButton() != directoryButton)
        return false;
    const QString chosen = QFileDialog::getExistingDirectory(parent, ApplicationTitle, startDirectory(directory));
    if (chosen.isEmpty())
        return false;
    directory = chosen.toStdString();
    return true;
}

void tellLogFailure(QWidget *parent, const WriteFailure &failure)
{
    QMessageBox::warning(parent, ApplicationTitle,
                         QStringLiteral("The trial log could not be written:\n%1\n\n%2\n\nThe task goes on; "
                                        "the answers not yet in the log are kept and written with the next "
                                        "answer that can be, and the results files are still written at the end.")
                             .arg(QString::fromStdString(failure.path), QString::fromStdString(failure.reason)));
}

// The log's file vanished mid-run and its folder cannot take it again: another directory, or later.
bool askAboutLostLog(QWidget *parent, const std::string &lostPath, const WriteFailure &failure,
                     std::string &directory)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle,
                    QStringLiteral("The trial log was removed or replaced during the run:\n%1\n\n"
                                   "It cannot be written again there:\n%2\n\n%3")
                        .arg(QString::fromStdString(lostPath), QString::fromStdString(failure.path),
                             QString::fromStdString(failure.reason)),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(QStringLiteral("Every answer so far is kept.  Choose a directory to write the whole "
                                          "log to now, or choose Later: it is tried again where it was after each "
                                          "answer, and beside the results at the end."));
    QPushButton *directoryButton = box.addButton(QStringLiteral("Choose Directory..."), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(directoryButton);
    box.exec();
    if (box.clickedButton() != directoryButton)
        return false;
    const QString chosen = QFileDialog::getExistingDirectory(parent, ApplicationTitle, startDirectory(directory));
    if (chosen.isEmpty())
        return false;
    directory = chosen.toStdString();
    return true;
}

void tellLogWrittenAgain(QWidget *parent, const std::string &lostPath, const std::string &newPath)
{
    QMessageBox::warning(parent, ApplicationTitle,
                         QStringLiteral("The trial log was removed or replaced during the run:\n%1\n\n"
                                        "Every answer so far has been written again to:\n%2\n\nThe task goes on.")
                             .arg(QString::fromStdString(lostPath), QString::fromStdString(newPath)));
}

} // namespace

QtRunHost::QtRunHost(QWidget *instructions, QWidget *choiceWindow)
    : m_instructions(instructions)
    , m_choiceWindow(choiceWindow)
{
}

QWidget *QtRunHost::dialogParent() const
{
    for (QWidget *window : {m_choiceWindow, m_instructions})
        if (window && window->isVisible())
            return window;
    return QApplication::activeWindow();
}

void QtRunHost::setDialogs(Dialogs dialogs)
{
    m_dialogs = std::move(dialogs);
}

void QtRunHost::HideInstructions()
{
    if (m_instructions)
        m_instructions->hide();
}

void QtRunHost::ShowCompletion()
{
    if (m_dialogs.showCompletion)
        m_dialogs.showCompletion();
    else
        showCompletionBox(dialogParent());
}

void QtRunHost::Terminate()
{
    m_terminating = true;
    if (m_dialogs.terminate)
        m_dialogs.terminate();
    else
        closeAllAndExit();
}

WriteFailureChoice QtRunHost::ResolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
                                                  std::string &OutputDirectory)
{
    if (m_dialogs.resolveWriteFailure)
        return m_dialogs.resolveWriteFailure(failure, SubjectId, OutputDirectory);
    return askAboutWriteFailure(dialogParent(), failure, SubjectId, OutputDirectory, m_terminating);
}

bool QtRunHost::ConfirmDiscard()
{
    if (m_dialogs.confirmDiscard)
        return m_dialogs.confirmDiscard();
    return askToDiscard(dialogParent());
}

bool QtRunHost::ResolveLogFailure(const WriteFailure &failure, std::string &directory)
{
    if (m_dialogs.resolveLogFailure)
        return m_dialogs.resolveLogFailure(failure, directory);
    return askAboutLogFailure(dialogParent(), failure, directory);
}

void QtRunHost::ReportLogFailure(const WriteFailure &failure)
{
    if (m_dialogs.reportLogFailure)
        m_dialogs.reportLogFailure(failure);
    else
        tellLogFailure(dialogParent(), failure);
}

bool QtRunHost::ResolveLogLost(const std::string &lostPath, const WriteFailure &failure, std::string &directory)
{
    if (m_dialogs.resolveLogLost)
        return m_dialogs.resolveLogLost(lostPath, failure, directory);
    return askAboutLostLog(dialogParent(), lostPath, failure, directory);
}

void QtRunHost::ReportLogWrittenAgain(const std::string &lostPath, const std::string &newPath)
{
    if (m_dialogs.reportLogWrittenAgain)
        m_dialogs.reportLogWrittenAgain(lostPath, newPath);
    else
        tellLogWrittenAgain(dialogParent(), lostPath, newPath);
}

} // namespace kpx
