#include "WindowRig.h"

#include "ui/MsgForm.h"
#include "ui/TaskForm.h"

#include <QApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

using namespace kpx;
using kpx::test::BreakRig;

namespace {

// Runs `whileWaiting` once the first break message is up, then starts the task; returns when it is released.
// If the message is still up a moment later, a space bar press releases it and `stillUp` says so.
void startWith(BreakRig &rig, const std::function<void()> &whileWaiting, bool &stillUp)
{
    QObject scope;
    stillUp = false;
    QTimer::singleShot(0, &scope, [&] {
        whileWaiting();
        QTimer::singleShot(20, &scope, [&] {
            stillUp = rig.msg.isVisible();
            QTest::keyClick(&rig.msg, Qt::Key_Space);
        });
    });
    rig.flow.StartTask();
}

} // namespace

class MsgFormTest : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheSpaceBarContinues_data();
    void onlyTheSpaceBarContinues();
    void takesTheKeyboardAboveTheChoiceWindowAndGivesItBack();
    void hidingRepaintsTheChoiceWindowBeneathAtOnce();
    void closeIsRefusedWhileTheRunGoesOn();
    void controlsMatchTheLayoutTable_data();
    void controlsMatchTheLayoutTable();
    void windowHasItsFixedSizeAndPlace();
};

void MsgFormTest::onlyTheSpaceBarContinues_data()
{
    QTest::addColumn<int>("key"); // 0: a mouse click on the message
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("continues");
    // The key goes to the choice window, as where the window system keeps the keyboard from the message.
    QTest::addColumn<bool>("onChoiceWindow");

    QTest::newRow("space") << int(Qt::Key_Space) << Qt::KeyboardModifiers() << true << false;
    QTest::newRow("Shift+space") << int(Qt::Key_Space) << Qt::KeyboardModifiers(Qt::ShiftModifier) << true << false;
    QTest::newRow("Control+space") << int(Qt::Key_Space) << Qt::KeyboardModifiers(Qt::ControlModifier) << true << false;
    QTest::newRow("Shift+Control+space") << int(Qt::Key_Space)
                                         << Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier) << true << false;
    QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << false << false;
    QTest::newRow("Right") << int(Qt::Key_Right) << Qt::KeyboardModifiers() << false << false;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << false << false;
    QTest::newRow("letter S") << int(Qt::Key_S) << Qt::KeyboardModifiers() << false << false;
    QTest::newRow("mouse click") << 0 << Qt::KeyboardModifiers() << false << false;
    QTest::newRow("space on the choice window") << int(Qt::Key_Space) << Qt::KeyboardModifiers() << true << true;
    QTest::newRow("Right on the choice window") << int(Qt::Key_Right) << Qt::KeyboardModifiers() << false << true;
}

void MsgFormTest::onlyTheSpaceBarContinues()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, continues);
    QFETCH(bool, onChoiceWindow);
    BreakRig rig;
    bool stillUp = false;

    startWith(
        rig,
        [&] {
            if (key == 0)
                QTest::mouseClick(rig.msg.findChild<QLabel *>("Label3"), Qt::LeftButton);
            else
                QTest::keyClick(onChoiceWindow ? static_cast<QWidget *>(&rig.form) : &rig.msg, Qt::Key(key), modifiers);
        },
        stillUp);

    QCOMPARE(stillUp, !continues);
    QVERIFY(!rig.msg.isVisible());
    QVERIFY(rig.form.isVisible());
}

void MsgFormTest::takesTheKeyboardAboveTheChoiceWindowAndGivesItBack()
{
    BreakRig rig;
    bool activeWhileUp = false;
    bool stillUp = false;

    startWith(
        rig,
        [&] {
            QTRY_COMPARE(QApplication::activeWindow(), &rig.msg);
            activeWhileUp = true;
            // Through the window system, as a participant's key would come.
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Space);
        },
        stillUp);

    QVERIFY(activeWhileUp);
    QVERIFY(!stillUp);
    QCOMPARE(rig.msg.windowHandle()->transientParent(), rig.form.windowHandle());
    QTRY_COMPARE(QApplication::activeWindow(), &rig.form);
}

void MsgFormTest::hidingRepaintsTheChoiceWindowBeneathAtOnce()
{
    BreakRig rig;
    rig.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
    rig.msg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.msg));
    QRegion painted;
    kpx::test::PaintSpy spy({&rig.form}, painted);

    rig.msg.hide();

    const QRect covered(rig.form.mapFromGlobal(rig.msg.geometry().topLeft()), rig.msg.size());
    QVERIFY2(painted.contains(covered), "the window beneath waits for the window system to ask");
}

void MsgFormTest::closeIsRefusedWhileTheRunGoesOn()
{
    BreakRig rig;
    bool closed = true;
    bool stillUp = false;

    startWith(rig, [&] { closed = rig.msg.close(); }, stillUp);

    QVERIFY(!closed);
    QVERIFY(stillUp);
}

void MsgFormTest::controlsMatchTheLayoutTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("weight");
    QTest::addColumn<QString>("text");

    QTest::newRow("Label1") << "Label1" << QRect(8, 48, 449, 41) << int(QFont::Normal) << "Now choose between $100";
    QTest::newRow("Label2") << "Label2" << QRect(96, 96, 273, 33) << int(QFont::Bold) << "IN 3 MONTHS";
    QTest::newRow("Label3") << "Label3" << QRect(8, 136, 449, 153) << int(QFont::Normal)
                            << "and an amount of money available today.  Press the space bar to continue the task.";
}

void MsgFormTest::controlsMatchTheLayoutTable()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(int, weight);
    QFETCH(QString, text);
    MsgForm msg;
    BreakScreen &screen = msg;
    screen.setDelayCaption("IN 3 MONTHS");
    screen.show();

    auto *label = msg.findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->parentWidget(), &msg);
    QCOMPARE(label->geometry(), geometry);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->font().family(), QString("MS Sans Serif"));
    QCOMPARE(label->font().pointSizeF(), 24.0);
    QCOMPARE(int(label->font().weight()), weight);
    QVERIFY(!label->font().italic());
    QVERIFY(label->alignment() & Qt::AlignHCenter);
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    // Only the long last line wraps; the others are single lines.
    QCOMPARE(label->wordWrap(), name == "Label3");
}

void MsgFormTest::windowHasItsFixedSizeAndPlace()
{
    TaskForm form;
    form.show();
    MsgForm msg(&form);
    BreakScreen &screen = msg;

    screen.show();

    QVERIFY(msg.isWindow());
    QVERIFY(msg.windowTitle().trimmed().isEmpty());
    QVERIFY(!msg.windowTitle().isEmpty()); // an empty one would show the application name
    QCOMPARE(msg.geometry().topLeft() - msg.screen()->geometry().topLeft(), QPoint(308, 265));
    QCOMPARE(msg.size(), QSize(467, 297));
    QCOMPARE(msg.minimumSize(), msg.maximumSize());
    QCOMPARE(msg.focusPolicy(), Qt::NoFocus);
}

QTEST_MAIN(MsgFormTest)
#include "MsgFormTest.moc"
