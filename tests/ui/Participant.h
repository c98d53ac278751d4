#pragma once

#include "ui/MsgForm.h"
#include "ui/TaskForm.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

#include <optional>

namespace kpx::test {

// A participant in the real windows who presses the space bar on each break message and, given a value,
// answers every trial from what the choice window shows: the immediate amount exactly when it is worth
// `value` dollars or more, mostly by arrow key (every third one with Shift held), every fourth by a click.
class Participant : public QObject
{
public:
    Participant(TaskForm &form, MsgForm &msg, std::optional<int> value)
        : m_form(form)
        , m_msg(msg)
        , m_value(value)
    {
        connect(&m_poll, &QTimer::timeout, this, &Participant::poll);
        m_poll.start(1);
    }

    int breaks = 0;
    int responses = 0;

private:
    // A timer does not fire again while its own handler runs, and an answer runs on into the next
    // break's wait: act from a queued call, so the poll keeps ticking through the break.
    void poll()
    {
        if (m_pending)
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

    void act()
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
    QTimer m_poll;
    bool m_pending = false;
};

} // namespace kpx::test
