#pragma once

#include "forms/DisplayFit.h"
#include "forms/WindowLayouts.h"
#include "presentation/TrialScreen.h"

#include <QByteArray>
#include <QImage>
#include <QRegion>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

class QFrame;
class QLabel;
class QTimer;

namespace kpx {

class RunFlow;

// The choice window: two option groups and a prompt; turns keys, clicks and Timer1 into calls of the flow.
class TaskForm : public QWidget, public TrialScreen
{
    Q_OBJECT

public:
    explicit TaskForm(QWidget *parent = nullptr);

    // Events go to this flow from now on; it must outlive the window's use.
    void attach(RunFlow &flow);

    using QWidget::setEnabled;
    using QWidget::setVisible;

    void setEnabled(TaskControl frame, bool enabled) override;
    void setVisible(TaskControl control, bool visible) override;
    void setBackColor(TaskControl control, TaskColor color) override;
    void setForeColor(TaskControl control, TaskColor color) override;
    void setCaption(TaskControl label, const std::string &text) override;
    std::string caption(TaskControl label) const override;
    // The fixed captions again, in the active language.
    void retranslate();

    void setTimerInterval(int milliseconds) override;
    void setTimerEnabled(bool enabled) override;

    bool AcceptKeys() const override { return m_acceptKeys; }
    void setAcceptKeys(bool accept) override { m_acceptKeys = accept; }

    // Paints the pending changes now and hands them to the window system.
    void present() override;
    void paintAhead() override;
    void rehearse(const std::function<void()> &change) override;
    // Maximized, not modal.
    void show() override;
    void hide() override;

    // Lays the controls out for that display (its area in device pixels and dots per inch) by the
    // layouts' fit rule, in device-independent pixels of that ratio; the window does so itself for
    // the client area it gets.
    void layOutFor(const forms::Display &display, qreal devicePixelRatio);
    std::optional<double> displayScale() const override { return m_scale; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *control(TaskControl control) const;
    void clickDelayed(std::uint64_t timestampMs);
    void clickImmediate(std::uint64_t timestampMs);
    // Timer1 ran out: sleeps the last moments to its exact deadline, then activates.
    void timer1Timeout();
    // Notes the window area a change to a control repaints.
    void changed(QWidget *control);
    void startTimer1();
    // The window's pending updates, painted and flushed now rather than on the event loop's next pass.
    void repaintPending();
    // Whether the window's buffer is there to paint into.
    bool hasPixels() const;
    // Everything the controls' pictures depend on.
    QByteArray appearance() const;
    // Puts a rehearsed picture of the pending changes into the window's buffer, if one was painted
    // for exactly the state the controls are in now.
    void takeRehearsal();

    double m_scale = 1.0;
    QFrame *m_frame1 = nullptr;
    QFrame *m_frame2 = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    QLabel *m_label5 = nullptr;
    QLabel *m_vDelay = nullptr;
    QLabel *m_vReward = nullptr;
    QTimer *m_timer1 = nullptr;
    RunFlow *m_flow = nullptr;
    bool m_acceptKeys = false;
    bool m_timer1Enabled = false;
    int m_timer1Interval = forms::TaskFormLayout::Timer1Interval;
    std::chrono::steady_clock::time_point m_timer1Deadline;
    // Changes made before this moment are painted only when it comes.
    std::optional<std::chrono::steady_clock::time_point> m_presentNotBefore;
    QRegion m_changed;
    QRegion m_paintedAhead;
    struct Rehearsal
    {
        QRegion area;
        QByteArray appearance;
        QImage picture;
    };
    // Pictures of changes that may come next; dropped at each presentation.
    std::vector<Rehearsal> m_rehearsals;
};

} // namespace kpx
