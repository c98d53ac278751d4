#include "ui/TaskForm.h"

#include "forms/WindowLayouts.h"
#include "ui/Fonts.h"
#include "ui/KeyCodes.h"
#include "ui/Twips.h"

#include "WindowSystem.h"

#include "presentation/PreciseDeadline.h"
#include "presentation/RunFlow.h"

#include <QAccessible>
#include <QBackingStore>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDataStream>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <utility>

namespace kpx {

namespace {

using Layout = forms::TaskFormLayout;

QColor toQColor(TaskColor color)
{
    if (const std::optional<forms::Rgb> rgb = forms::fixedColor(color))
        return QColor(rgb->red, rgb->green, rgb->blue);
    return QGuiApplication::palette().color(QPalette::Button);
}

// The same colour whether the widget is active, inactive or disabled.
void setRoleColor(QWidget *widget, QPalette::ColorRole role, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

// The options look the same enabled or disabled, so a change of state must not repaint them: on the
// participant's answer that would repaint the option not chosen too, and delay the green one. Only
// assistive technology hears of the change.
void announceEnabledChange(QWidget *widget)
{
#if QT_CONFIG(accessibility)
    QAccessible::State changed;
    changed.disabled = true;
    QAccessibleStateChangeEvent event(widget, changed);
    QAccessible::updateAccessibility(&event);
#else
    Q_UNUSED(widget);
#endif
}

// A caption-less frame around one option; a press and release on it or on its labels is one click.
class OptionFrame final : public QFrame
{
public:
    // Called with the releasing event's own timestamp.
    OptionFrame(QWidget *parent, std::function<void(std::uint64_t)> clicked)
        : QFrame(parent)
        , m_clicked(std::move(clicked))
    {
        setFrameStyle(QFrame::Box | QFrame::Sunken);
        setAutoFillBackground(true);
        setFocusPolicy(Qt::NoFocus);
        // A disabled frame keeps its border as it is; only its clicks stop.
        QPalette palette = this->palette();
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colorRole = static_cast<QPalette::ColorRole>(role);
            palette.setColor(QPalette::Disabled, colorRole, palette.color(QPalette::Active, colorRole));
        }
        setPalette(palette);
    }

protected:
    // Labels ignore the mouse, so their presses and releases arrive here in frame coordinates.
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton) {
            event->ignore();
            return;
        }
        m_pressed = true;
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton || !m_pressed) {
            event->ignore();
            return;
        }
        m_pressed = false;
        event->accept();
        // Released outside the option: the participant moved away, as with a push button.
        if (rect().contains(event->position().toPoint()))
            m_clicked(event->timestamp());
    }

    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange) {
            // A press made before the frame was disabled must not complete a click afterwards.
            m_pressed = false;
            announceEnabledChange(this);
            return;
        }
        QFrame::changeEvent(event);
    }

    void hideEvent(QHideEvent *event) override
    {
        m_pressed = false;
        QFrame::hideEvent(event);
    }

private:
    std::function<void(std::uint64_t)> m_clicked;
    bool m_pressed = false;
};

// A label drawn in its own colours even inside a disabled frame: the options stay readable before
// they can be chosen.
class ColorLabel final : public QLabel
{
public:
    ColorLabel(const forms::Label &layout, QWidget *parent)
        : QLabel(QString::fromUtf8(layout.caption.text()), parent)
        , m_design(layout.font)
    {
        setObjectName(QString::fromLatin1(layout.name));
        setGeometry(fromTwips(layout.rect));
        setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        setFocusPolicy(Qt::NoFocus);
        setAutoFillBackground(true);
        fitText();
    }

    // The layout's font at the scale the label is placed at now.
    void setDesignFont(const forms::Font &font)
    {
        m_design = font;
        fitText();
    }

    // The text in the largest size that fits the label, the design's wherever it fits there. Done
    // whenever the text or the label's size changes, never on the way to the screen.
    void fitText()
    {
        const QFont fitted = fittedFont(m_design, text(), contentsRect().size(), wordWrap());
        if (fitted != font())
            setFont(fitted);
    }

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange) {
            announceEnabledChange(this);
            return;
        }
        QLabel::changeEvent(event);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Active, QPalette::WindowText));
        const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
        painter.drawText(contentsRect(), flags, text());
    }

private:
    forms::Font m_design;
};

} // namespace

TaskForm::TaskForm(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TaskForm"));
    // No title text: an empty title would make the window system show the application name.
    setWindowTitle(QStringLiteral(" "));
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    setRoleColor(this, QPalette::Window, toQColor(TaskColor::ButtonFace));
    setRoleColor(this, QPalette::WindowText, QGuiApplication::palette().color(QPalette::ButtonText));
    resize(fromTwips(Layout::Client));

    m_label2 = new ColorLabel(Layout::Label2, this);

    m_frame2 = new OptionFrame(this, [this](std::uint64_t timestampMs) { clickImmediate(timestampMs); });
    m_frame2->setObjectName(QString::fromLatin1(Layout::Frame2.name));
    m_frame2->setGeometry(fromTwips(Layout::Frame2.rect));
    m_vReward = new ColorLabel(Layout::VReward, m_frame2);
    m_label5 = new ColorLabel(Layout::Label5, m_frame2);
    m_label3 = new ColorLabel(Layout::Label3, m_frame2);

    m_frame1 = new OptionFrame(this, [this](std::uint64_t timestampMs) { clickDelayed(timestampMs); });
    m_frame1->setObjectName(QString::fromLatin1(Layout::Frame1.name));
    m_frame1->setGeometry(fromTwips(Layout::Frame1.rect));
    m_label1 = new ColorLabel(Layout::Label1, m_frame1);
    m_label4 = new ColorLabel(Layout::Label4, m_frame1);
    m_vDelay = new ColorLabel(Layout::VDelay, m_frame1);

    for (TaskControl each : {TaskControl::Frame1, TaskControl::Frame2, TaskControl::Label1, TaskControl::Label2,
                             TaskControl::Label3, TaskControl::Label4, TaskControl::Label5, TaskControl::VDelay,
                             TaskControl::VReward})
        setBackColor(each, TaskColor::ButtonFace);
    // Until the run colours them, labels use the button text colour like the rest of the window.
    for (QLabel *label : {m_label1, m_label2, m_label3, m_label4, m_label5, m_vDelay, m_vReward})
        setRoleColor(label, QPalette::WindowText, QGuiApplication::palette().color(QPalette::ButtonText));

    m_frame1->setEnabled(false);
    m_frame2->setEnabled(false);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setTimerType(Qt::PreciseTimer);
    m_timer1->setSingleShot(true);
    m_timer1->setInterval(m_timer1Interval);
    connect(m_timer1, &QTimer::timeout, this, &TaskForm::timer1Timeout);
}

void TaskForm::attach(RunFlow &flow)
{
    m_flow = &flow;
}

QWidget *TaskForm::control(TaskControl control) const
{
    switch (control) {
    case TaskControl::Frame1:
        return m_frame1;
    case TaskControl::Frame2:
        return m_frame2;
    case TaskControl::Label1:
        return m_label1;
    case TaskControl::Label2:
        return m_label2;
    case TaskControl::Label3:
        return m_label3;
    case TaskControl::Label4:
        return m_label4;
    case TaskControl::Label5:
        return m_label5;
    case TaskControl::VDelay:
        return m_vDelay;
    case TaskControl::VReward:
        return m_vReward;
    }
    return nullptr;
}

void TaskForm::setEnabled(TaskControl frame, bool enabled)
{
    control(frame)->setEnabled(enabled);
}

void TaskForm::setVisible(TaskControl control, bool visible)
{
    this->control(control)->setVisible(visible);
    changed(this->control(control));
}

void TaskForm::setBackColor(TaskControl control, TaskColor color)
{
    setRoleColor(this->control(control), QPalette::Window, toQColor(color));
    changed(this->control(control));
}

void TaskForm::setForeColor(TaskControl control, TaskColor color)
{
    setRoleColor(this->control(control), QPalette::WindowText, toQColor(color));
    changed(this->control(control));
}

void TaskForm::setCaption(TaskControl label, const std::string &text)
{
    if (auto *target = dynamic_cast<ColorLabel *>(control(label))) {
        target->setText(QString::fromStdString(text));
        target->fitText();
        changed(target);
    }
}

void TaskForm::retranslate()
{
    using Fixed = std::pair<QLabel *, const forms::Label *>;
    for (const auto &[label, layout] : {Fixed{m_label1, &Layout::Label1}, Fixed{m_label2, &Layout::Label2},
                                        Fixed{m_label3, &Layout::Label3}, Fixed{m_label4, &Layout::Label4},
                                        Fixed{m_label5, &Layout::Label5}}) {
        label->setText(QString::fromUtf8(layout->caption.text()));
        static_cast<ColorLabel *>(label)->fitText();
        changed(label);
    }
}

std::string TaskForm::caption(TaskControl label) const
{
    if (auto *target = qobject_cast<QLabel *>(control(label)))
        return target->text().toStdString();
    return {};
}

void TaskForm::setTimerInterval(int milliseconds)
{
    m_timer1Interval = milliseconds;
    m_timer1->setInterval(milliseconds);
}

void TaskForm::setTimerEnabled(bool enabled)
{
    if (!enabled) {
        m_timer1Enabled = false;
        m_timer1->stop();
    } else if (!m_timer1Enabled) {
        m_timer1Enabled = true;
        m_timer1Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timer1Interval);
        startTimer1();
    }
}

void TaskForm::startTimer1()
{
    // Woken a little early; the rest is slept in timer1Timeout, so the phase ends on its deadline.
    m_timer1->start(earlyWakeMs(m_timer1Deadline));
}

void TaskForm::timer1Timeout()
{
    // The timer wakes up to a millisecond more than WakeEarly before the deadline (whole
    // milliseconds); one shortened by hand has no deadline near and fires at once. The flow makes
    // its changes meanwhile; present() paints them once the deadline is reached.
    if (m_timer1Deadline - std::chrono::steady_clock::now() <= 2 * WakeEarly)
        m_presentNotBefore = m_timer1Deadline;
    if (m_flow)
        m_flow->activate();
    if (m_presentNotBefore)
        present();
    // Enabled, the timer fires again each interval.
    if (m_timer1Enabled) {
        m_timer1Deadline += std::chrono::milliseconds(m_timer1Interval);
        startTimer1();
    }
}

void TaskForm::changed(QWidget *control)
{
    m_changed += QRect(control->mapTo(this, QPoint(0, 0)), control->size());
}

void TaskForm::paintAhead()
{
    QBackingStore *store = backingStore();
    const QRegion area = m_changed & rect();
    m_changed = QRegion();
    if (!store || !hasPixels() || area.isEmpty())
        return;
    // Drawn into the window's buffer, which the window system shows only when it is flushed.
    store->beginPaint(area);
    render(store->paintDevice(), area.boundingRect().topLeft(), area, DrawWindowBackground | DrawChildren);
    store->endPaint();
    m_paintedAhead += area;
}

void TaskForm::repaintPending()
{
    // A shown control announces its area in a posted event of its own; that is taken in first.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(this, &request);
}

bool TaskForm::hasPixels() const
{
    // Before the window's first exposure its buffer has nothing to paint into yet.
    const QWindow *window = windowHandle();
    const QBackingStore *store = backingStore();
    return window && window->isExposed() && store && store->size() == size();
}

QByteArray TaskForm::appearance() const
{
    // Read on the way to the screen, so kept to what the window's setters change: the fonts and
    // the palettes' other roles are set once, when the window is built.
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    out << size();
    for (const QWidget *widget : findChildren<QWidget *>()) {
        const QPalette &palette = widget->palette();
        out << widget->geometry() << widget->isHidden() << widget->isEnabled()
            << palette.color(QPalette::Window).rgba() << palette.color(QPalette::WindowText).rgba();
        if (const auto *label = qobject_cast<const QLabel *>(widget))
            out << label->text();
    }
    return state;
}

void TaskForm::rehearse(const std::function<void()> &change)
{
    if (!hasPixels())
        return;
    struct Saved
    {
        QWidget *widget;
        QPalette palette;
        bool enabled;
        bool hidden;
        QString text;
    };
    std::vector<Saved> saved;
    for (QWidget *widget : findChildren<QWidget *>()) {
        const auto *label = qobject_cast<QLabel *>(widget);
        saved.push_back({widget, widget->palette(), widget->isEnabled(), widget->isHidden(),
                         label ? label->text() : QString()});
    }
    const QRegion pending = m_changed;
    change();
    const QRegion area = m_changed & rect();
    if (!area.isEmpty()) {
        const qreal ratio = devicePixelRatio();
        // The window is opaque: its background is painted under the controls.
        QImage picture(area.boundingRect().size() * ratio, QImage::Format_RGB32);
        picture.setDevicePixelRatio(ratio);
        render(&picture, QPoint(), area, DrawWindowBackground | DrawChildren);
        m_rehearsals.push_back({area, appearance(), std::move(picture)});
    }
    // Parents come before their children in the list, so a frame is enabled or shown again before
    // its labels are compared with how they were.
    for (const Saved &each : saved) {
        if (each.widget->palette() != each.palette)
            each.widget->setPalette(each.palette);
        if (each.widget->isEnabled() != each.enabled)
            each.widget->setEnabled(each.enabled);
        if (each.widget->isHidden() != each.hidden)
            each.widget->setHidden(each.hidden);
        if (auto *label = qobject_cast<QLabel *>(each.widget); label && label->text() != each.text)
            label->setText(each.text);
    }
    m_changed = pending;
    // The undoing left those controls to repaint as they are on screen already. Done now, while the
    // participant decides, and the window system asked to let go of the buffer there (X makes a
    // round trip first), the answer's picture later goes straight in.
    if (pending.isEmpty() && !area.isEmpty()) {
        repaintPending();
        QBackingStore *store = backingStore();
        store->beginPaint(area);
        store->endPaint();
    }
}

void TaskForm::takeRehearsal()
{
    if (m_rehearsals.empty() || !hasPixels())
        return;
    const QRegion area = m_changed & rect();
    const QByteArray now = appearance();
    const auto rehearsed = std::find_if(m_rehearsals.begin(), m_rehearsals.end(), [&](const Rehearsal &each) {
        return each.area == area && each.appearance == now;
    });
    if (rehearsed == m_rehearsals.end())
        return;
    QBackingStore *store = backingStore();
    store->beginPaint(area);
    {
        QPainter painter(store->paintDevice());
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        // The picture covers the area's bounding rectangle; only the area itself was rendered.
        painter.setClipRegion(area);
        painter.drawImage(area.boundingRect().topLeft(), rehearsed->picture);
    }
    store->endPaint();
    m_paintedAhead = area;
    m_changed = QRegion();
}

void TaskForm::present()
{
    if (m_presentNotBefore) {
        paintAhead();
        sleepUntil(*m_presentNotBefore);
        m_presentNotBefore.reset();
    }
    if (m_paintedAhead.isEmpty())
        takeRehearsal();
    m_rehearsals.clear();
    if (!m_paintedAhead.isEmpty()) {
        // Painted already: only handed over. The widgets still repaint the same picture on the
        // event loop's next pass, after the onset.
        backingStore()->flush(m_paintedAhead, windowHandle());
        m_paintedAhead = QRegion();
    } else {
        repaintPending();
        m_changed = QRegion();
    }
    // The onset is taken once the X server has the new picture, not while it is still on its way: a
    // phase timed from a picture that reached the screen late would look short.
    windowsystem::sync();
}

void TaskForm::show()
{
    showMaximized();
}

void TaskForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Qt scales device-independent pixels by the screen's ratio; the rule works in the display's own.
    const qreal ratio = devicePixelRatioF();
    layOutFor({{0, 0, qRound(width() * ratio), qRound(height() * ratio)}, qRound(forms::DesignDpi * ratio)}, ratio);
}

void TaskForm::layOutFor(const forms::Display &display, qreal devicePixelRatio)
{
    const forms::Fit dips = fitForWidgets(forms::choiceWindowExtent(), display, devicePixelRatio);
    // The scale in the display's own pixels.
    m_scale = dips.scale() * devicePixelRatio;
    const auto toQRect = [](const forms::Rect &r) { return QRect(r.left, r.top, r.width, r.height); };
    const auto placeLabel = [&](QLabel *label, const forms::Label &layout, bool inFrame) {
        label->setGeometry(toQRect(inFrame ? dips.inside({}, layout.rect) : dips.place(layout.rect)));
        forms::Font font = layout.font;
        font.points = dips.points(font.points);
        static_cast<ColorLabel *>(label)->setDesignFont(font);
    };
    m_frame2->setGeometry(toQRect(dips.place(Layout::Frame2.rect)));
    m_frame1->setGeometry(toQRect(dips.place(Layout::Frame1.rect)));
    placeLabel(m_label2, Layout::Label2, false);
    placeLabel(m_vReward, Layout::VReward, true);
    placeLabel(m_label5, Layout::Label5, true);
    placeLabel(m_label3, Layout::Label3, true);
    placeLabel(m_label1, Layout::Label1, true);
    placeLabel(m_label4, Layout::Label4, true);
    placeLabel(m_vDelay, Layout::VDelay, true);
}

void TaskForm::hide()
{
    QWidget::hide();
}

bool TaskForm::event(QEvent *event)
{
    // Every key belongs to the task: Tab must not move the focus and no shortcut may take a key first.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    }
    return QWidget::event(event);
}

void TaskForm::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    // Shift held with an arrow must not use up the trial's key on its own press.
    if (!m_flow || isModifierKey(event->key()))
        return;
    m_flow->KeyDown(virtualKeyCode(event->key()), event->isAutoRepeat(), event->timestamp());
}

void TaskForm::closeEvent(QCloseEvent *event)
{
    // Closing mid-run would end it with nothing written.
    if (m_flow && m_flow->started() && !m_flow->finished()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TaskForm::clickDelayed(std::uint64_t timestampMs)
{
    if (m_flow)
        m_flow->clickDelayed(timestampMs);
}

void TaskForm::clickImmediate(std::uint64_t timestampMs)
{
    if (m_flow)
        m_flow->clickImmediate(timestampMs);
}

} // namespace kpx
