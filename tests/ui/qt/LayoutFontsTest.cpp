#include "engine/DelayTable.h"
#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "ui/Instruct.h"
#include "ui/MsgForm.h"
#include "ui/StartForm.h"
#include "ui/TaskForm.h"

#include "ScriptedDialogs.h"

#include <QAction>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <memory>

using namespace kpx;

namespace {

QStringList delayTexts()
{
    QStringList texts;
    const DelayTable table = standardDelayTable();
    for (int k = 1; k <= DelayCount; ++k)
        texts << QString::fromStdString(table[k].text);
    return texts;
}

QStringList amountTexts()
{
    QStringList texts;
    for (std::int16_t amount = 5; amount <= 100; amount += 5)
        texts << QString::fromStdString(FormatAmount(amount));
    return texts;
}

// Checks that the face really drawn is the one named or one of its chosen stand-ins, and that the
// text fits the control: a line's full advance within the width and its ink below the top edge
// and above the bottom one, or wrapped lines within the whole control.
void verifyFits(QWidget *control, const QString &text, bool wrapped)
{
    const QFont font = control->font();
    const QString used = QFontInfo(font).family();
    QVERIFY2((QStringList{font.family()} + QFont::substitutes(font.family())).contains(used, Qt::CaseInsensitive),
             qPrintable(font.family() + " drawn as " + used));
    const QFontMetrics metrics(font);
    const QRect room = control->contentsRect();
    QRect ink;
    if (wrapped) {
        ink = metrics.boundingRect(room, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
    } else {
        const QRect glyphs = metrics.tightBoundingRect(text).translated(0, room.top() + metrics.ascent());
        ink = QRect(room.left() + (room.width() - metrics.horizontalAdvance(text)) / 2, glyphs.top(),
                    metrics.horizontalAdvance(text), glyphs.height());
    }
    QVERIFY2(room.contains(ink), qPrintable(QStringLiteral("\"%1\" in %2 (%3): needs %4x%5 at %6,%7 of %8x%9")
                                                 .arg(text, control->objectName(), used)
                                                 .arg(ink.width()).arg(ink.height()).arg(ink.x()).arg(ink.y())
                                                 .arg(room.width()).arg(room.height())));
}

} // namespace

class LayoutFontsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void participantTextsFit_data();
    void participantTextsFit();
    void instructionsFit();
    void setupWindowShowsEveryCommand();
};

void LayoutFontsTest::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInch(), 96.0);
}

void LayoutFontsTest::participantTextsFit_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("wrapped");

    QTest::newRow("TaskForm Label2") << "TaskForm" << "Label2"
                                     << QStringList{"Please choose between the following two options:"} << false;
    QTest::newRow("VReward, every amount") << "TaskForm" << "VReward" << amountTexts() << false;
    QTest::newRow("Label5") << "TaskForm" << "Label5" << QStringList{"available"} << false;
    QTest::newRow("Label3") << "TaskForm" << "Label3" << QStringList{"NOW"} << false;
    QTest::newRow("Label1") << "TaskForm" << "Label1" << QStringList{"$100"} << false;
    QTest::newRow("Label4") << "TaskForm" << "Label4" << QStringList{"available"} << false;
    QTest::newRow("VDelay, every delay") << "TaskForm" << "VDelay" << delayTexts() << false;
    QTest::newRow("MsgForm Label1") << "MsgForm" << "Label1" << QStringList{"Now choose between $100"} << false;
    QTest::newRow("MsgForm Label2, every delay in bold") << "MsgForm" << "Label2" << delayTexts() << false;
    QTest::newRow("MsgForm Label3") << "MsgForm" << "Label3"
                                    << QStringList{"and an amount of money available today.  "
                                                   "Press the space bar to continue the task."}
                                    << true;
}

void LayoutFontsTest::participantTextsFit()
{
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(QStringList, texts);
    QFETCH(bool, wrapped);
    const std::unique_ptr<QWidget> form(window == "TaskForm" ? static_cast<QWidget *>(new TaskForm)
                                                             : static_cast<QWidget *>(new MsgForm));
    auto *label = form->findChild<QLabel *>(name);
    QVERIFY(label);
    for (const QString &text : std::as_const(texts))
        verifyFits(label, text, wrapped);
}

void LayoutFontsTest::instructionsFit()
{
    Instruct instruct;
    verifyFits(instruct.findChild<QLabel *>("Label1"), instructionText(), true);
    verifyFits(instruct.findChild<QPushButton *>("Command1"), QStringLiteral("OK"), false);
}

void LayoutFontsTest::setupWindowShowsEveryCommand()
{
    RunSettings settings;
    kpx::test::ScriptedDialogs dialogs;
    StartForm form(settings, dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QMenuBar *bar = form.menuBar();
    for (QAction *command : bar->actions())
        QVERIFY2(bar->rect().contains(bar->actionGeometry(command)), qPrintable(command->text()));
    auto *frame = form.findChild<QGroupBox *>("Frame1");
    QVERIFY(frame->fontMetrics().horizontalAdvance(frame->title()) < frame->width() - 20);
}

QTEST_MAIN(LayoutFontsTest)
#include "LayoutFontsTest.moc"
