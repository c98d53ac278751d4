#include "ui/MsgForm.h"

#include "forms/WindowLayouts.h"
#include "ui/Fonts.h"
#include "ui/KeyCodes.h"
#include "ui/Twips.h"

#include "WindowSystem.h"

#include "presentation/RunFlow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

#include <chrono>
#include <cstdint>

namespace kpx {

namespace {

using Layout = forms::MsgFormLayout;

QLabel *makeLabel(const forms::Label &layout, QWidget *parent)
{
    auto *label = new QLabel(QString::fromUtf8(layout.caption.text()), parent);
    label->setObjectName(QString::fromLatin1(layout.name));
    label->setGeometry(fromTwips(layout.rect));
    label->setFont(layoutFont(layout.font));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(layout.wrapped);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

// Client area size and its place on the screen.
const QRect ClientArea = fromTwips(Layout::Client);

} // namespace

// A plain title bar without text or buttons; the choice window as parent keeps the message above it,
// without one it stays above every window.
MsgForm::MsgForm(QWidget *parent)
    : QWidget(parent, (parent ? Qt::Dialog : Qt::Window | Qt::WindowStaysOnTopHint) | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("MsgForm"));
    // No title text: an empty title would make the window system show the application name.
    setWindowTitle(QStringLiteral(" "));
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(ClientArea.size());

    m_label1 = makeLabel(Layout::Label1, this);
    m_label2 = makeLabel(Layout::Label2, this);
    m_label3 = makeLabel(Layout::Label3, this);
}

void MsgForm::attach(RunFlow &flow)
{
    m_flow = &flow;
}

void MsgForm::setDelayCaption(const std::string &text)
{
    m_label2->setText(QString::fromStdString(text));
}

void MsgForm::show()
{
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : this->screen();
    setGeometry(ClientArea.translated(screen->geometry().topLeft()));
    QWidget::show();
    raise();
    activateWindow();
}

void MsgForm::hide()
{
    const QRect covered = frameGeometry();
    const std::uint32_t frame = windowsystem::frameOf(*this);
    QWidget::hide();
    // Under a window manager's frame the message stays on screen until the frame goes too, which the
    // window manager does in its own time; the blank second must not start before.
    windowsystem::waitUntilGone(frame, std::chrono::milliseconds(50));
    if (QWidget *owner = parentWidget(); owner && owner->isVisible()) {
        // The window beneath is painted where the message was at once, not when the window system
        // asks for it: the blank second after a break runs from the message's going.
        QWidget *beneath = owner->window();
        beneath->repaint(QRect(beneath->mapFromGlobal(covered.topLeft()), covered.size()));
        beneath->activateWindow();
    }
}

void MsgForm::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    if (!m_flow || isModifierKey(event->key()))
        return;
    m_flow->breakKeyDown(virtualKeyCode(event->key()), event->isAutoRepeat());
}

void MsgForm::closeEvent(QCloseEvent *event)
{
    // The space bar is the only way on; closing would leave the run waiting with no message.
    if (m_flow && !m_flow->finished()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace kpx
