#pragma once

#include "forms/RunDialogs.h"
#include "ui/Dialogs.h"

#include <functional>
#include <string>

class QWidget;

namespace kpx {

// The run's dialogs, through the application's Dialogs, and the end of the application.
class QtRunHost : public forms::RunDialogs<QWidget>
{
public:
    // The instructions window is hidden when the task starts; either window may be null. Ending the
    // application closes every window and then calls quit; both must outlive the host.
    QtRunHost(QWidget *instructions, QWidget *choiceWindow, Dialogs &dialogs, std::function<void()> quit);

    // The window the run's dialogs belong to: the choice window while it is shown, else the
    // instructions, else the active window. Desktops keep an owned dialog above its owner; on Wayland,
    // where a program cannot raise its own windows, nothing else keeps it in sight.
    QWidget *dialogParent() const override;

    void hideInstructions() override;
    void terminate() override;

protected:
    std::string chooserStart(const std::string &directory) const override;

private:
    QWidget *m_instructions = nullptr;
    QWidget *m_choiceWindow = nullptr;
    std::function<void()> m_quit;
};

} // namespace kpx
