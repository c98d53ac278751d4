#pragma once

#include "presentation/RunHost.h"

#include <functional>
#include <string>

class QWidget;

namespace kpx {

class Dialogs;

// The run's dialogs, through the application's Dialogs, and the end of the application.
class QtRunHost : public RunHost
{
public:
    // The instructions window is hidden when the task starts; either window may be null. Ending the
    // application closes every window and then calls quit; both must outlive the host.
    QtRunHost(QWidget *instructions, QWidget *choiceWindow, Dialogs &dialogs, std::function<void()> quit);

    // The window the run's dialogs belong to: the choice window while it is shown, else the
    // instructions, else the active window. Desktops keep an owned dialog above its owner; on Wayland,
    // where a program cannot raise its own windows, nothing else keeps it in sight.
    QWidget *dialogParent() const;

    void hideInstructions() override;
    void showCompletion() override;
    void terminate() override;
    WriteFailureChoice resolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
                                           std::string &OutputDirectory) override;
    bool confirmDiscard() override;
    bool resolveLogFailure(const WriteFailure &failure, std::string &directory) override;
    void reportLogFailure(const WriteFailure &failure) override;
    bool resolveLogLost(const std::string &lostPath, const WriteFailure &failure, std::string &directory) override;
    void reportLogWrittenAgain(const std::string &lostPath, const std::string &newPath) override;
    bool resolveLogUnfinished(const std::string &logPath, std::size_t missingRows, const WriteFailure &failure,
                              std::string &directory) override;
    void reportLogIncomplete(const std::string &logPath, std::size_t missingRows) override;
    void reportLogCompleted(const std::string &oldPath, const std::string &newPath) override;
    void reportRunStopped(const std::string &reason) override;

private:
    QWidget *m_instructions = nullptr;
    QWidget *m_choiceWindow = nullptr;
    Dialogs &m_dialogs;
    std::function<void()> m_quit;
    // Once the application is ending, every dialog's event loop returns at once.
    bool m_terminating = false;
};

} // namespace kpx
