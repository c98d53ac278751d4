#pragma once

#include "presentation/RunHost.h"

#include <functional>
#include <string>

class QWidget;

namespace kpx {

// The run's dialogs and the end of the application, in Qt; each dialog can be replaced (tests do).
class QtRunHost : public RunHost
{
public:
    // The dialogs a run may show; an empty member keeps the real Qt dialog.
    struct Dialogs
    {
        std::function<void()> showCompletion;
        std::function<void()> terminate;
        std::function<WriteFailureChoice(const WriteFailure &, std::string &SubjectId, std::string &OutputDirectory)>
            resolveWriteFailure;
        std::function<bool()> confirmDiscard;
        std::function<bool(const WriteFailure &, std::string &directory)> resolveLogFailure;
        std::function<void(const WriteFailure &)> reportLogFailure;
        std::function<bool(const std::string &lostPath, const WriteFailure &, std::string &directory)> resolveLogLost;
        std::function<void(const std::string &lostPath, const std::string &newPath)> reportLogWrittenAgain;
    };

    // The instructions window is hidden when the task starts; either window may be null.
    explicit QtRunHost(QWidget *instructions, QWidget *choiceWindow = nullptr);

    void setDialogs(Dialogs dialogs);

    // The window the run's dialogs belong to: the choice window while it is shown, else the
    // instructions, else the active window. Desktops keep an owned dialog above its owner; on Wayland,
    // where a program cannot raise its own windows, nothing else keeps it in sight.
    QWidget *dialogParent() const;

    void HideInstructions() override;
    void ShowCompletion() override;
    void Terminate() override;
    WriteFailureChoice ResolveWriteFailure(const WriteFailure &failure, std::string &SubjectId,
                                           std::string &OutputDirectory) override;
    bool ConfirmDiscard() override;
    bool ResolveLogFailure(const WriteFailure &failure, std::string &directory) override;
    void ReportLogFailure(const WriteFailure &failure) override;
    bool ResolveLogLost(const std::string &lostPath, const WriteFailure &failure, std::string &directory) override;
    void ReportLogWrittenAgain(const std::string &lostPath, const std::string &newPath) override;

private:
    QWidget *m_instructions = nullptr;
    QWidget *m_choiceWindow = nullptr;
    Dialogs m_dialogs;
    // Once the application is ending, every dialog's event loop returns at once.
    bool m_terminating = false;
};

} // namespace kpx
