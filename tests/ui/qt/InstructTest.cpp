#include "ui/Instruct.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace kpx;

namespace {

class InstructTest : public QObject
{
    Q_OBJECT

private slots:
    void showsTheInstructionTextExactly();
    void controlsKeepTheirPlacesAndFonts_data();
    void controlsKeepTheirPlacesAndFonts();
    void okIsTheOnlyFocusedControl();
    void okAndItsKeysStartTheTask_data();
    void okAndItsKeysStartTheTask();
    void otherKeysAndLabelClicksDoNothing();
};

void InstructTest::showsTheInstructionTextExactly()
{
    Instruct instruct;

    const QString text = instruct.findChild<QLabel *>(QStringLiteral("Label1"))->text();

    QCOMPARE(instruct.windowTitle(), QStringLiteral("Instructions"));
    QCOMPARE(text, QStringLiteral(
        "During this task, you will be presented with a series of choices.  In each case, you will be asked to choose "
        "between a variable amount of money available NOW, and a fixed amount of money available after a delay.  For "
        "each choice, you will only be able to respond after the choice options appear in black.  Please consider each "
        "choice carefully, and answer the questions as if it were real money.  Some questions may be repeated.  Please "
        "click the Okay button when you are ready to begin."));
}

void InstructTest::controlsKeepTheirPlacesAndFonts_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<qreal>("pointSize");

    QTest::newRow("Label1") << "Label1" << QRect(200, 152, 609, 353) << 18.0;
    QTest::newRow("Command1") << "Command1" << QRect(464, 664, 81, 41) << 13.5;
}

void InstructTest::controlsKeepTheirPlacesAndFonts()
{
    QFETCH(QString, control);
    QFETCH(QRect, geometry);
    QFETCH(qreal, pointSize);
    Instruct instruct;

    instruct.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&instruct));

    auto *widget = instruct.findChild<QWidget *>(control);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(widget->font().pointSizeF(), pointSize);
    QCOMPARE(widget->font().weight(), QFont::Normal);
}

void InstructTest::okIsTheOnlyFocusedControl()
{
    Instruct instruct;
    auto *ok = instruct.findChild<QPushButton *>(QStringLiteral("Command1"));

    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    QCOMPARE(instruct.focusWidget(), ok);
    QCOMPARE(instruct.findChild<QLabel *>(QStringLiteral("Label1"))->focusPolicy(), Qt::NoFocus);
}

void InstructTest::okAndItsKeysStartTheTask_data()
{
    QTest::addColumn<int>("key");

    QTest::newRow("click") << 0;
    QTest::newRow("space on the focused button") << int(Qt::Key_Space);
    QTest::newRow("Enter, the default button") << int(Qt::Key_Return);
}

void InstructTest::okAndItsKeysStartTheTask()
{
    QFETCH(int, key);
    Instruct instruct;
    int starts = 0;
    instruct.setStartTask([&] { ++starts; });
    instruct.show();
    QVERIFY(QTest::qWaitForWindowActive(&instruct));
    auto *ok = instruct.findChild<QPushButton *>(QStringLiteral("Command1"));

    if (key == 0)
        QTest::mouseClick(ok, Qt::LeftButton);
    else
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));

    QCOMPARE(starts, 1);
}

void InstructTest::otherKeysAndLabelClicksDoNothing()
{
    Instruct instruct;
    int starts = 0;
    instruct.setStartTask([&] { ++starts; });
    instruct.show();
    QVERIFY(QTest::qWaitForWindowActive(&instruct));

    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("xq1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::mouseClick(instruct.findChild<QLabel *>(QStringLiteral("Label1")), Qt::LeftButton);

    QCOMPARE(starts, 0);
}

} // namespace

QTEST_MAIN(InstructTest)
#include "InstructTest.moc"
