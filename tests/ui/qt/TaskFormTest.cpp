#include "WindowRig.h"

#include "ui/TaskForm.h"

#include <QBackingStore>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>
#include <memory>

using namespace kpx;
using kpx::test::Chosen;
using kpx::test::TaskRig;

Q_DECLARE_METATYPE(Chosen)
Q_DECLARE_METATYPE(TaskColor)

namespace {

// Responses happen at once; the green, blank and white phases only need to be short.
constexpr Timings Quick{0.001, 0.001, 1};
// A white phase that lasts until the test shortens Timer1 itself.
constexpr Timings LongWhitePhase{0.001, 0.001, 600000};

QColor colorOf(TaskColor color)
{
    switch (color) {
    case TaskColor::Green:
        return QColor(0, 128, 0);
    case TaskColor::White:
        return QColor(255, 255, 255);
    case TaskColor::Black:
        return QColor(0, 0, 0);
    case TaskColor::ButtonFace:
        break;
    }
    return QGuiApplication::palette().color(QPalette::Button);
}

int countPixels(const QImage &image, const QColor &color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y).rgb() == color.rgb() ? 1 : 0;
    return count;
}

} // namespace

class TaskFormTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_rig.reset(); }

    void keysAnswerTheTrial_data();
    void keysAnswerTheTrial();
    void otherKeysUseUpTheTrialButClicksStillAnswer_data();
    void otherKeysUseUpTheTrialButClicksStillAnswer();
    void keysThroughTheWindowSystemReachTheForm_data();
    void keysThroughTheWindowSystemReachTheForm();
    void clicksAnswerTheTrial_data();
    void clicksAnswerTheTrial();
    void whitePhaseTakesNoResponse();
    void whitePhaseEndsOnItsDeadline();
    void paintedAheadOrRehearsedIsThePictureOfAFullRepaint();
    void disabledFramesKeepTheirColours_data();
    void disabledFramesKeepTheirColours();
    void controlsMatchTheLayoutTable_data();
    void controlsMatchTheLayoutTable();
    void groupsSitSideBySideUnderTheCentredPrompt();
    void opensMaximizedWithoutTitleAndNothingTakesFocus();
    void closeIsRefusedDuringTheRun();

private:
    // The first trial under way: answerable at once, or after a long white phase.
    TaskRig &answerableRig(Timings timings = Quick)
    {
        m_rig = std::make_unique<TaskRig>(timings);
        m_rig->start();
        return *m_rig;
    }

    TaskRig &whiteRig() { return answerableRig(LongWhitePhase); }

    std::unique_ptr<TaskRig> m_rig;
};

void TaskFormTest::keysAnswerTheTrial_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<Chosen>("expected");

    QTest::newRow("Left takes the amount now") << Qt::Key_Left << Qt::KeyboardModifiers() << Chosen::Immediate;
    QTest::newRow("Right takes $100 later") << Qt::Key_Right << Qt::KeyboardModifiers() << Chosen::Delayed;
    QTest::newRow("Shift+Left") << Qt::Key_Left << Qt::KeyboardModifiers(Qt::ShiftModifier) << Chosen::Immediate;
    QTest::newRow("Shift+Right") << Qt::Key_Right << Qt::KeyboardModifiers(Qt::ShiftModifier) << Chosen::Delayed;
    QTest::newRow("Control+Right") << Qt::Key_Right << Qt::KeyboardModifiers(Qt::ControlModifier) << Chosen::Delayed;
    QTest::newRow("Up chooses nothing") << Qt::Key_Up << Qt::KeyboardModifiers() << Chosen::Nothing;
    QTest::newRow("'%' is not Left") << Qt::Key_Percent << Qt::KeyboardModifiers() << Chosen::Nothing;
    QTest::newRow("apostrophe is not Right") << Qt::Key_Apostrophe << Qt::KeyboardModifiers() << Chosen::Nothing;
}

void TaskFormTest::keysAnswerTheTrial()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(Chosen, expected);
    TaskRig &rig = answerableRig();
    QTRY_VERIFY(rig.form.AcceptKeys());

    QTest::keyClick(&rig.form, key, modifiers);

    QCOMPARE(rig.chosen(), expected);
}

void TaskFormTest::otherKeysUseUpTheTrialButClicksStillAnswer_data()
{
    QTest::addColumn<Qt::Key>("key");

    QTest::newRow("Down") << Qt::Key_Down;
    QTest::newRow("Tab") << Qt::Key_Tab;
    QTest::newRow("space") << Qt::Key_Space;
    QTest::newRow("letter") << Qt::Key_L;
    QTest::newRow("Return") << Qt::Key_Return;
}

void TaskFormTest::otherKeysUseUpTheTrialButClicksStillAnswer()
{
    QFETCH(Qt::Key, key);
    TaskRig &rig = answerableRig();
    QTRY_VERIFY(rig.form.AcceptKeys());

    QTest::keyClick(&rig.form, key);
    QTest::keyClick(&rig.form, Qt::Key_Left);
    QCOMPARE(rig.chosen(), Chosen::Nothing);

    QTest::mouseClick(rig.form.findChild<QLabel *>("VDelay"), Qt::LeftButton);
    QCOMPARE(rig.chosen(), Chosen::Delayed);
}

void TaskFormTest::keysThroughTheWindowSystemReachTheForm_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Chosen>("expected");

    QTest::newRow("Left") << Qt::Key_Left << Chosen::Immediate;
    QTest::newRow("Right") << Qt::Key_Right << Chosen::Delayed;
    QTest::newRow("Tab is used up, not taken for focus") << Qt::Key_Tab << Chosen::Nothing;
}

void TaskFormTest::keysThroughTheWindowSystemReachTheForm()
{
    QFETCH(Qt::Key, key);
    QFETCH(Chosen, expected);
    // The next trial turns answerable only after a while, so the used-up acceptance can be seen.
    TaskRig &rig = answerableRig(Timings{0.001, 0.001, 300});
    rig.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&rig.form));
    QTRY_VERIFY(rig.form.AcceptKeys());

    QTest::keyClick(rig.form.windowHandle(), key);

    QTRY_VERIFY(!rig.form.AcceptKeys());
    QCOMPARE(rig.chosen(), expected);
}

void TaskFormTest::clicksAnswerTheTrial_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<Chosen>("expected");

    QTest::newRow("Frame1") << "Frame1" << Chosen::Delayed;
    QTest::newRow("Label1 ($100)") << "Label1" << Chosen::Delayed;
    QTest::newRow("Label4 (available)") << "Label4" << Chosen::Delayed;
    QTest::newRow("VDelay") << "VDelay" << Chosen::Delayed;
    QTest::newRow("Frame2") << "Frame2" << Chosen::Immediate;
    QTest::newRow("VReward") << "VReward" << Chosen::Immediate;
    QTest::newRow("Label5 (available)") << "Label5" << Chosen::Immediate;
    QTest::newRow("Label3 (NOW)") << "Label3" << Chosen::Immediate;
    QTest::newRow("Label2, the prompt") << "Label2" << Chosen::Nothing;
    QTest::newRow("window background") << "TaskForm" << Chosen::Nothing;
}

void TaskFormTest::clicksAnswerTheTrial()
{
    QFETCH(QString, target);
    QFETCH(Chosen, expected);
    TaskRig &rig = answerableRig();
    QTRY_VERIFY(rig.form.AcceptKeys());
    QWidget *widget = target == "TaskForm" ? &rig.form : rig.form.findChild<QWidget *>(target);
    QVERIFY(widget);
    // The frame's own border area, away from its labels; the window's, away from every control.
    const QPoint where = target.startsWith("Frame") ? QPoint(4, 4) : target == "TaskForm" ? QPoint(5, 5) : QPoint();

    QTest::mouseClick(widget, Qt::LeftButton, {}, where);

    QCOMPARE(rig.chosen(), expected);
}

void TaskFormTest::whitePhaseTakesNoResponse()
{
    TaskRig &rig = whiteRig();
    QVERIFY(rig.form.findChild<QLabel *>("Label2")->isVisible());

    QTest::keyClick(&rig.form, Qt::Key_Left);
    QTest::keyClick(&rig.form, Qt::Key_Right);
    for (const char *name : {"Frame1", "Label1", "Label4", "VDelay", "Frame2", "VReward", "Label5", "Label3"}) {
        auto *widget = rig.form.findChild<QWidget *>(name);
        QVERIFY(widget->isVisible());
        QTest::mouseClick(widget, Qt::LeftButton, {}, QString(name).startsWith("Frame") ? QPoint(4, 4) : QPoint());
    }
    QCOMPARE(rig.chosen(), Chosen::Nothing);

    // Timer1 running out turns the trial answerable; a restarted short interval stands in for two seconds.
    rig.form.findChild<QTimer *>("Timer1")->setInterval(1);
    QTRY_VERIFY(rig.form.AcceptKeys());
    QTest::keyClick(&rig.form, Qt::Key_Right);
    QCOMPARE(rig.chosen(), Chosen::Delayed);
}

void TaskFormTest::whitePhaseEndsOnItsDeadline()
{
    m_rig = std::make_unique<TaskRig>(Timings{0.001, 0.001, 20});
    TaskRig &rig = *m_rig;
    QList<double> white;
    QList<double> answerable;
    rig.flow.setPhaseTrace([&](const char *phase, double ms) {
        if (qstrcmp(phase, "white") == 0)
            white << ms;
        else if (qstrcmp(phase, "answerable") == 0)
            answerable << ms;
    });
    // A block may end meanwhile: its break message is released at once.
    QTimer releaser;
    connect(&releaser, &QTimer::timeout, &rig.form, [&rig] { rig.flow.SignalContinue(); });
    releaser.start(2);
    rig.form.show();
    rig.start();
    for (int trial = 0; trial < 15; ++trial) {
        QTRY_VERIFY(rig.form.AcceptKeys());
        QTest::keyClick(&rig.form, trial % 2 ? Qt::Key_Left : Qt::Key_Right);
    }

    // The first trial's white phase includes the first break; the others last Timer1's 20 ms.
    QList<double> lengths;
    for (int trial = 1; trial < answerable.size() && trial < white.size(); ++trial)
        lengths << answerable[trial] - white[trial];
    QVERIFY(lengths.size() >= 10);
    std::sort(lengths.begin(), lengths.end());
    // Never short, whatever the machine's load. How little it overruns (painting the black options
    // ends the phase, not a timer left to Qt's own millisecond) is bench/timing's to judge.
    QVERIFY2(lengths.first() >= 20.0, qPrintable(QString::number(lengths.first())));
}

void TaskFormTest::paintedAheadOrRehearsedIsThePictureOfAFullRepaint()
{
    // Each phase's changes in turn, as the trial cycle makes them before a deadline.
    using Change = std::function<void(TaskForm &)>;
    const auto labelsIn = [](TaskColor color) {
        return [color](TaskForm &form) {
            for (TaskControl label : {TaskControl::VReward, TaskControl::Label3, TaskControl::Label5,
                                      TaskControl::Label1, TaskControl::Label4, TaskControl::VDelay})
                form.setForeColor(label, color);
        };
    };
    const Change white = [&](TaskForm &form) {
        form.setCaption(TaskControl::VReward, "$12.50");
        form.setCaption(TaskControl::VDelay, "IN 6 MONTHS");
        labelsIn(TaskColor::White)(form);
        form.setVisible(TaskControl::Frame1, true);
        form.setVisible(TaskControl::Frame2, true);
        form.setVisible(TaskControl::Label2, false);
    };
    const Change answerable = [&](TaskForm &form) {
        labelsIn(TaskColor::Black)(form);
        form.setVisible(TaskControl::Label2, true);
    };
    const Change chosen = [](TaskForm &form) {
        for (TaskControl control : {TaskControl::Frame1, TaskControl::VDelay, TaskControl::Label1, TaskControl::Label4})
            form.setBackColor(control, TaskColor::Green);
    };
    const Change cleared = [](TaskForm &form) {
        for (TaskControl control : {TaskControl::Frame1, TaskControl::Frame2, TaskControl::Label2})
            form.setVisible(control, false);
        for (TaskControl control : {TaskControl::Frame1, TaskControl::VDelay, TaskControl::Label1, TaskControl::Label4})
            form.setBackColor(control, TaskColor::ButtonFace);
    };
    const std::vector<std::pair<const char *, Change>> phases{
        {"white", white}, {"answerable", answerable}, {"chosen", chosen}, {"cleared", cleared}, {"white again", white}};
    TaskForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.present();
    auto buffer = [&form] { return static_cast<QImage *>(form.backingStore()->paintDevice())->copy(); };
    for (const auto &[phase, change] : phases) {
        const QImage before = buffer();
        change(form);
        form.paintAhead();
        const QImage ahead = buffer();
        form.repaint();
        const QImage full = buffer();
        QVERIFY2(ahead != before, phase);
        QVERIFY2(ahead == full, phase);
        form.present();
    }

    // Round again, rehearsed instead: undone at once, then shown without painting when made, and
    // only when the state is exactly the one rehearsed.
    QRegion painted;
    kpx::test::PaintSpy spy(form.findChildren<QWidget *>() << &form, painted);
    for (const auto &[phase, change] : std::vector(phases.begin() + 1, phases.end())) {
        const QImage before = buffer();
        form.rehearse([&form, &change] { change(form); });
        form.rehearse([&form, &change] { change(form), form.setCaption(TaskControl::VDelay, "IN 25 YEARS"); });
        form.repaint();
        QVERIFY2(buffer() == before, phase);
        change(form);
        painted = QRegion();
        form.present();
        const QImage shown = buffer();
        QVERIFY2(painted.isEmpty(), phase);
        form.repaint();
        QVERIFY2(shown != before && shown == buffer(), phase);
    }
    form.rehearse([&form] { form.setCaption(TaskControl::VDelay, "IN 25 YEARS"); });
    form.setCaption(TaskControl::VDelay, "IN 5 YEARS");
    painted = QRegion();
    form.present();
    QVERIFY(!painted.isEmpty());
}

void TaskFormTest::disabledFramesKeepTheirColours_data()
{
    QTest::addColumn<TaskColor>("fore");
    QTest::addColumn<TaskColor>("back");

    QTest::newRow("white phase: white on button face") << TaskColor::White << TaskColor::ButtonFace;
    QTest::newRow("chosen: black on green") << TaskColor::Black << TaskColor::Green;
    QTest::newRow("answerable: black on button face") << TaskColor::Black << TaskColor::ButtonFace;
}

void TaskFormTest::disabledFramesKeepTheirColours()
{
    QFETCH(TaskColor, fore);
    QFETCH(TaskColor, back);
    TaskForm form;
    form.show();
    form.setCaption(TaskControl::VReward, "$85");
    for (TaskControl label : {TaskControl::VReward, TaskControl::Label5, TaskControl::Label3}) {
        form.setForeColor(label, fore);
        form.setBackColor(label, back);
    }
    form.setBackColor(TaskControl::Frame2, back);
    auto *frame = form.findChild<QFrame *>("Frame2");
    auto *label = form.findChild<QLabel *>("VReward");

    form.setEnabled(TaskControl::Frame2, true);
    const QImage enabledFrame = frame->grab().toImage();
    form.setEnabled(TaskControl::Frame2, false);
    QVERIFY(!label->isEnabled());
    const QImage disabledFrame = frame->grab().toImage();
    const QImage disabledLabel = label->grab().toImage();

    QVERIFY2(countPixels(disabledLabel, colorOf(fore)) > 100, "text not drawn in its own colour");
    QCOMPARE(disabledLabel.pixelColor(1, 1).rgb(), colorOf(back).rgb());
    QCOMPARE(disabledFrame.pixelColor(20, 20).rgb(), colorOf(back).rgb());
    QVERIFY2(disabledFrame == enabledFrame, "a disabled option must look exactly like an enabled one");
}

void TaskFormTest::controlsMatchTheLayoutTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<QString>("text");

    const QString window = "TaskForm";
    const QString sans = "MS Sans Serif";
    const QString arial = "Arial";
    QTest::newRow("Label2") << "Label2" << window << QRect(176, 64, 673, 33) << sans << 18.0
                            << "Please choose between the following two options:";
    QTest::newRow("Frame2") << "Frame2" << window << QRect(24, 168, 441, 425) << QString() << 0.0 << QString();
    QTest::newRow("VReward") << "VReward" << "Frame2" << QRect(88, 72, 265, 73) << arial << 48.0 << "";
    QTest::newRow("Label5") << "Label5" << "Frame2" << QRect(72, 176, 297, 73) << arial << 48.0 << "available";
    QTest::newRow("Label3") << "Label3" << "Frame2" << QRect(88, 280, 265, 73) << arial << 48.0 << "NOW";
    QTest::newRow("Frame1") << "Frame1" << window << QRect(560, 168, 441, 425) << QString() << 0.0 << QString();
    QTest::newRow("Label1") << "Label1" << "Frame1" << QRect(88, 72, 265, 73) << arial << 48.0 << "$100";
    QTest::newRow("Label4") << "Label4" << "Frame1" << QRect(64, 176, 313, 73) << arial << 48.0 << "available";
    QTest::newRow("VDelay") << "VDelay" << "Frame1" << QRect(8, 280, 425, 73) << arial << 48.0 << "";
}

void TaskFormTest::controlsMatchTheLayoutTable()
{
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    QFETCH(QString, family);
    QFETCH(qreal, points);
    QFETCH(QString, text);
    TaskForm form;
    form.show();

    auto *control = form.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), container);
    QCOMPARE(control->geometry(), geometry);
    QVERIFY(control->isVisible());
    if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->font().family(), family);
        QCOMPARE(label->font().pointSizeF(), points);
        QCOMPARE(label->font().weight(), QFont::Normal);
        QVERIFY(!label->font().italic());
        QVERIFY(label->alignment() & Qt::AlignHCenter);
    } else {
        QVERIFY2(!control->isEnabled(), "option frames start disabled");
        QVERIFY(qobject_cast<QFrame *>(control)->frameShape() != QFrame::NoFrame);
    }
}

void TaskFormTest::groupsSitSideBySideUnderTheCentredPrompt()
{
    TaskForm form;
    form.show();
    const QRect left = form.findChild<QFrame *>("Frame2")->geometry();
    const QRect right = form.findChild<QFrame *>("Frame1")->geometry();
    const QRect prompt = form.findChild<QLabel *>("Label2")->geometry();

    QCOMPARE(left.size(), right.size());
    QCOMPARE(left.top(), right.top());
    QVERIFY(left.right() < right.left());
    QCOMPARE(prompt.center().x(), left.united(right).center().x());
    QVERIFY(prompt.bottom() < left.top());
    // Each row at the same height on both sides, every label centred in its frame.
    const char *rows[][2] = {{"VReward", "Label1"}, {"Label5", "Label4"}, {"Label3", "VDelay"}};
    for (const auto &row : rows) {
        const QRect immediate = form.findChild<QLabel *>(row[0])->geometry();
        const QRect delayed = form.findChild<QLabel *>(row[1])->geometry();
        QCOMPARE(immediate.top(), delayed.top());
        QCOMPARE(immediate.center().x(), left.width() / 2);
        QCOMPARE(delayed.center().x(), right.width() / 2);
    }
    // Both groups whole on a 1024 x 768 screen, with room for a title bar and a task bar.
    QVERIFY(left.united(right).united(prompt).bottomRight().x() < 1024);
    QVERIFY(left.united(right).united(prompt).bottomRight().y() < 768 - 100);
}

void TaskFormTest::opensMaximizedWithoutTitleAndNothingTakesFocus()
{
    TaskForm form;
    TrialScreen &screen = form;

    screen.show();

    QVERIFY(form.isVisible());
    QVERIFY(form.windowState() & Qt::WindowMaximized);
    QVERIFY(form.windowTitle().trimmed().isEmpty());
    QVERIFY(!form.windowTitle().isEmpty()); // an empty one would show the application name
    QCOMPARE(form.focusPolicy(), Qt::NoFocus);
    for (QWidget *child : form.findChildren<QWidget *>())
        QVERIFY2(child->focusPolicy() == Qt::NoFocus, qPrintable(child->objectName()));
    auto *timer = form.findChild<QTimer *>("Timer1");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 2000);
    QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    QVERIFY(!timer->isActive());
    QVERIFY(!form.AcceptKeys());
}

void TaskFormTest::closeIsRefusedDuringTheRun()
{
    TaskRig &rig = answerableRig();

    QVERIFY(!rig.form.close());
    QVERIFY(rig.form.isVisible());

    TaskForm idle;
    idle.show();
    QVERIFY(idle.close());
}

QTEST_MAIN(TaskFormTest)
#include "TaskFormTest.moc"
