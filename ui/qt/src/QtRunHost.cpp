#include "ui/QtRunHost.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

#include <utility>

namespace kpx {

QtRunHost::QtRunHost(QWidget *instructions, QWidget *choiceWindow, Dialogs &dialogs, std::function<void()> quit)
    : RunDialogs(dialogs)
    , m_instructions(instructions)
    , m_choiceWindow(choiceWindow)
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

std::string QtRunHost::chooserStart(const std::string &directory) const
{
    const QString current = QString::fromStdString(directory);
    return (!current.isEmpty() && QDir(current).exists() ? current : QDir::homePath()).toStdString();
}

} // namespace kpx
