#pragma once

#include "presentation/TrialScreen.h"

#include <QWidget>

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

    void setTimerInterval(int milliseconds) override;
    void setTimerEnabled(bool enabled) override;

    bool AcceptKeys() const override { return m_acceptKeys; }
    void setAcceptKeys(bool accept) override { m_acceptKeys = accept; }

    // Maximized, not modal.
    void show() override;
    void hide() override;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *control(TaskControl control) const;
    void clickDelayed();
    void clickImmediate();
    void activate();

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
};

} // namespace kpx
