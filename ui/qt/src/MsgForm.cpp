#include "ui/MsgForm.h"

#include "forms/DisplayFit.h"
#include "forms/WindowLayouts.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"
#include "ui/KeyCodes.h"

#include "WindowSystem.h"

#include "presentation/RunFlow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QStyle>

#include <array>
#include <chrono>
#include <cstdint>

namespace kpx {

namespace {

using Layout = forms::MsgFormLayout;

constexpr std::array<const forms::Label *, 3> Labels{&Layout::Label1, &Layout::Label2, &Layout::Label3};

QLabel *makeLabel(const forms::Label &layout, QWidget *parent)
{
    auto *label = new QLabel(QString::fromUtf8(layout.caption.text()), parent);
    label->setObjectName(QString::fromLatin1(layout.name));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(layout.wrapped);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

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
    m_label1 = makeLabel(Layout::Label1, this);
    m_label2 = makeLabel(Layout::Label2, this);
    m_label3 = makeLabel(Layout::Label3, this);
    layOutFor({{0, 0, 1 << 16, 1 << 16}, forms::DesignDpi}, 1.0);
}

void MsgForm::layOutFor(const forms::Display &display, qreal devicePixelRatio)
{
    const forms::Fit dips = fitForWidgets(forms::breakMessageExtent(), display, devicePixelRatio);
    // The scale in the display's own pixels.
    m_scale = dips.scale() * devicePixelRatio;
    for (std::size_t i = 0; i < Labels.size(); ++i) {
        const forms::Rect r = dips.inside({}, Labels[i]->rect);
        label(i)->setGeometry(r.left, r.top, r.width, r.height);
        m_fonts[i] = Labels[i]->font;
        m_fonts[i].points = dips.points(m_fonts[i].points);
        fitText(i);
    }
    const forms::Rect client = dips.place(Layout::Client);
    m_client = QRect(client.left, client.top, client.width, client.height);
    setFixedSize(m_client.size());
}

void MsgForm::attach(RunFlow &flow)
{
    m_flow = &flow;
}

void MsgForm::setDelayCaption(const std::string &text)
{
    m_label2->setText(QString::fromStdString(text));
    fitText(1);
}

void MsgForm::retranslate()
{
    for (std::size_t i : {std::size_t(0), std::size_t(2)}) {
        label(i)->setText(QString::fromUtf8(Labels[i]->caption.text()));
        fitText(i);
    }
}

QLabel *MsgForm::label(std::size_t index) const
{
    return index == 0 ? m_label1 : index == 1 ? m_label2 : m_label3;
}

void MsgForm::fitText(std::size_t index)
{
    QLabel *target = label(index);
    const QFont fitted = fittedFont(m_fonts[index], target->text(), target->contentsRect().size(), Labels[index]->wrapped);
    if (fitted != target->font())
        target->setFont(fitted);
}

void MsgForm::show()
{
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : this->screen();
    // Where the client area may lie for the whole window, frame and all, to be on the screen's free
    // area: the frame as the window system drew it last time, or before that a title bar's height.
    QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                   frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    if (frame.isNull())
        frame.setTop(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    const QRect free = screen->availableGeometry().translated(-screen->geometry().topLeft()).marginsRemoved(frame);
    const qreal ratio = screen->devicePixelRatio();
    layOutFor({{qRound(free.left() * ratio), qRound(free.top() * ratio), qRound(free.width() * ratio),
                qRound(free.height() * ratio)},
               qRound(forms::DesignDpi * ratio)},
              ratio);
    setGeometry(m_client.translated(screen->geometry().topLeft()));
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
