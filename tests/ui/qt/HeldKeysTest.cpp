#include "StormRig.h"
#include "WindowRig.h"

#include "ui/MsgForm.h"
#include "ui/TaskForm.h"

#include <QTest>
#include <QTimer>

#include <memory>

using namespace kpx;
using kpx::test::Chosen;
using kpx::test::Route;
using kpx::test::sendKey;
using kpx::test::BreakRig;
using kpx::test::TaskRig;

Q_DECLARE_METATYPE(Chosen)
Q_DECLARE_METATYPE(kpx::test::Route)

namespace {

constexpr Timings Quick{0.001, 0.001, 1};

Qt::Key otherArrow(Qt::Key key)
{
    return key == Qt::Key_Left ? Qt::Key_Right : Qt::Key_Left;
}

Chosen choiceOf(Qt::Key arrow)
{
    return arrow == Qt::Key_Left ? Chosen::Immediate : Chosen::Delayed;
}


} // namespace

class HeldKeysTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_rig.reset(); }

    void repeatsChooseNothingAndLeaveTheKeysAccepted_data();
    void repeatsChooseNothingAndLeaveTheKeysAccepted();
    void keyHeldFromTheLastTrialDoesNotAnswerTheNext_data();
    void keyHeldFromTheLastTrialDoesNotAnswerTheNext();
    void repeatedSpaceDoesNotEndTheBreak_data();
    void repeatedSpaceDoesNotEndTheBreak();

private:
    TaskRig &answerableRig()
    {
        m_rig = std::make_unique<TaskRig>(Quick);
        m_rig->start();
        m_rig->form.activateWindow();
        return *m_rig;
    }

    std::unique_ptr<TaskRig> m_rig;
};

void HeldKeysTest::repeatsChooseNothingAndLeaveTheKeysAccepted_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<Route>("route");

    QTest::newRow("Right") << Qt::Key_Right << Qt::KeyboardModifiers() << Route::Widget;
    QTest::newRow("Left") << Qt::Key_Left << Qt::KeyboardModifiers() << Route::Widget;
    QTest::newRow("Shift+Right") << Qt::Key_Right << Qt::KeyboardModifiers(Qt::ShiftModifier) << Route::Widget;
    QTest::newRow("Right through the window system") << Qt::Key_Right << Qt::KeyboardModifiers()
                                                     << Route::WindowSystem;
    QTest::newRow("Left through the window system") << Qt::Key_Left << Qt::KeyboardModifiers() << Route::WindowSystem;
    // Another key uses up the keys only when freshly pressed.
    QTest::newRow("Up") << Qt::Key_Up << Qt::KeyboardModifiers() << Route::Widget;
    QTest::newRow("space through the window system") << Qt::Key_Space << Qt::KeyboardModifiers()
                                                     << Route::WindowSystem;
}

void HeldKeysTest::repeatsChooseNothingAndLeaveTheKeysAccepted()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(Route, route);
    TaskRig &rig = answerableRig();
    QTRY_VERIFY(rig.form.AcceptKeys());

    for (int repeat = 0; repeat < 5; ++repeat)
        sendKey(&rig.form, route, QEvent::KeyPress, key, modifiers, true);

    QCOMPARE(rig.chosen(), Chosen::Nothing);
    QVERIFY(rig.form.AcceptKeys());
    // A fresh press of the other arrow still answers: the repeats neither chose nor used up the trial.
    sendKey(&rig.form, route, QEvent::KeyRelease, key, modifiers, false);
    sendKey(&rig.form, route, QEvent::KeyPress, otherArrow(key), Qt::NoModifier, false);
    QCOMPARE(rig.chosen(), choiceOf(otherArrow(key)));
}

void HeldKeysTest::keyHeldFromTheLastTrialDoesNotAnswerTheNext_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<Route>("route");

    QTest::newRow("Right held") << Qt::Key_Right << Qt::KeyboardModifiers() << Route::Widget;
    QTest::newRow("Shift+Left held") << Qt::Key_Left << Qt::KeyboardModifiers(Qt::ShiftModifier) << Route::Widget;
    QTest::newRow("Right held, through the window system") << Qt::Key_Right << Qt::KeyboardModifiers()
                                                           << Route::WindowSystem;
}

void HeldKeysTest::keyHeldFromTheLastTrialDoesNotAnswerTheNext()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(Route, route);
    TaskRig &rig = answerableRig();
    QTRY_VERIFY(rig.form.AcceptKeys());
    // The keyboard repeats the key from the first press on, through the green, blank and white phases and
    // into the next trial's answerable phase.
    bool held = false;
    int repeatsWhileAnswerable = 0;
    QTimer keyboard;
    connect(&keyboard, &QTimer::timeout, [&] {
        // Once a repeat has answered, the test has failed; going on would run into a block break nobody ends.
        if (!held || rig.engine.state().TrialCount != 1)
            return;
        repeatsWhileAnswerable += rig.form.AcceptKeys() ? 1 : 0;
        sendKey(&rig.form, route, QEvent::KeyPress, key, modifiers, true);
    });
    keyboard.start(1);

    held = true;
    sendKey(&rig.form, route, QEvent::KeyPress, key, modifiers, false);
    QCOMPARE(rig.chosen(), choiceOf(key));
    QTRY_VERIFY(repeatsWhileAnswerable >= 20 || rig.engine.state().TrialCount != 1);

    QCOMPARE(rig.engine.state().TrialCount, std::int16_t(1));
    QVERIFY(rig.form.AcceptKeys());
    // Let go and press again: now the second trial is answered.
    keyboard.stop();
    sendKey(&rig.form, route, QEvent::KeyRelease, key, modifiers, false);
    sendKey(&rig.form, route, QEvent::KeyPress, key, modifiers, false);
    QCOMPARE(rig.engine.state().TrialCount, std::int16_t(2));
}

void HeldKeysTest::repeatedSpaceDoesNotEndTheBreak_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<Route>("route");

    QTest::newRow("space") << Qt::KeyboardModifiers() << Route::Widget;
    QTest::newRow("Shift+space") << Qt::KeyboardModifiers(Qt::ShiftModifier) << Route::Widget;
    QTest::newRow("space through the window system") << Qt::KeyboardModifiers() << Route::WindowSystem;
}

void HeldKeysTest::repeatedSpaceDoesNotEndTheBreak()
{
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(Route, route);
    BreakRig rig;
    QObject scope;
    bool looked = false;
    bool upAfterRepeats = false;
    QTimer::singleShot(0, &scope, [&] {
        for (int repeat = 0; repeat < 5; ++repeat)
            sendKey(&rig.msg, route, QEvent::KeyPress, Qt::Key_Space, modifiers, true);
        // Runs inside the break's wait if it is still waiting, after it otherwise.
        QTimer::singleShot(0, &scope, [&] {
            looked = true;
            upAfterRepeats = rig.msg.isVisible();
            sendKey(&rig.msg, route, QEvent::KeyRelease, Qt::Key_Space, modifiers, false);
            sendKey(&rig.msg, route, QEvent::KeyPress, Qt::Key_Space, modifiers, false);
        });
    });

    rig.flow.StartTask();

    QTRY_VERIFY(looked);
    QVERIFY(upAfterRepeats);
    QVERIFY(!rig.msg.isVisible());
    QVERIFY(rig.form.isVisible());
}

QTEST_MAIN(HeldKeysTest)
#include "HeldKeysTest.moc"
