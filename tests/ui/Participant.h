#pragma once

#include "ui/MsgForm.h"
#include "ui/TaskForm.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

#include <optional>

namespace kpx::test {

// Acts on what the windows show, looked at every millisecond. A timer does not fire again while its own
// handler runs, and an answer runs on through the pauses and the next break's wait: act() runs from a
// queued call, so the polling goes on through them.
class PollingDriver : public QObject
{
public:
    PollingDriver()
    {
        connect(&m_poll, &QTimer::timeout, this, &PollingDriver::poll);
        m_poll.start(1);
    }

protected:
    // Looked at on every tick; false lets the tick pass (a reaction time, say).
    virtual bool ready() { return true; }
    virtual void act() = 0;

private:
    void poll()
    {
        if (!ready() || m_pending)
            return;
        m_pending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_pending = false;
                act();
            },
            Qt::QueuedConnection);
    }

    QTimer m_poll;
    bool m_pending = false;
};

// A participant in the real windows who presses the space bar on each break message and, given a value,
// answers every trial from what the choice window shows: the immediate amount exactly when it is worth
// `value` dollars or more, mostly by arrow key (every third one with Shift held), every fourth by a click.
class Participant final : public PollingDriver
{
public:
    Participant(TaskForm &form, MsgForm &msg, std::optional<int> value)
        : m_form(form)
        , m_msg(msg)
        , m_value(value)
    {
    }

    int breaks = 0;
    int responses = 0;

private:
    void act() override
    {
        if (m_msg.isVisible()) {
            ++breaks;
            QTest::keyClick(&m_msg, Qt::Key_Space);
            return;
        }
        if (!m_value || !m_form.AcceptKeys())
            return;
        const int amount = m_form.findChild<QLabel *>("VReward")->text().mid(1).toInt();
        const bool now = amount >= *m_value;
        ++responses;
        if (responses % 4 == 0)
            QTest::mouseClick(m_form.findChild<QLabel *>(now ? "Label3" : "VDelay"), Qt::LeftButton);
        else
            QTest::keyClick(&m_form, now ? Qt::Key_Left : Qt::Key_Right,
                            responses % 3 == 0 ? Qt::ShiftModifier : Qt::NoModifier);
    }

    TaskForm &m_form;
    MsgForm &m_msg;
    std::optional<int> m_value;
};

} // namespace kpx::test
