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

    // The instructions window is hidden when the task starts; it may be null.
    explicit QtRunHost(QWidget *instructions);

    void setDialogs(Dialogs dialogs);

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
    Dialogs m_dialogs;
    // Once the application is ending, every dialog's event loop returns at once.
    bool m_terminating = false;
};

} // namespace kpx
