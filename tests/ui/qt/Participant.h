#pragma once

#include "ParticipantRule.h"

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
// answers every trial from what the choice window shows, as ParticipantRule says.
class Participant final : public PollingDriver
{
public:
    Participant(TaskForm &form, MsgForm &msg, std::optional<int> value)
        : m_form(form)
        , m_msg(msg)
    {
        if (value)
            m_rule.emplace(*value);
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
        if (!m_rule || !m_form.AcceptKeys())
            return;
        const Answer answer = m_rule->answer(m_form.findChild<QLabel *>("VReward")->text().toStdString());
        responses = m_rule->responses;
        if (answer.click)
            QTest::mouseClick(m_form.findChild<QLabel *>(answer.immediate ? "Label3" : "VDelay"), Qt::LeftButton);
        else
            QTest::keyClick(&m_form, answer.immediate ? Qt::Key_Left : Qt::Key_Right,
                            answer.shift ? Qt::ShiftModifier : Qt::NoModifier);
    }

    TaskForm &m_form;
    MsgForm &m_msg;
    std::optional<ParticipantRule> m_rule;
};

} // namespace kpx::test
