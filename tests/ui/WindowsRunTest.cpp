#include "WindowRig.h"

#include "results/ResultsWriter.h"
#include "ui/MsgForm.h"
#include "ui/QtRunHost.h"
#include "ui/TaskForm.h"

#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>

using namespace kpx;
using namespace std::chrono_literals;

namespace {

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// A participant worth $50 now: takes any amount from $50 up, answering by key and now and then by a click,
// and presses the space bar on each break message.
class ScriptedParticipant : public QObject
{
public:
    ScriptedParticipant(TaskForm &form, MsgForm &msg)
        : m_form(form)
        , m_msg(msg)
    {
        connect(&m_timer, &QTimer::timeout, this, &ScriptedParticipant::act);
        m_timer.start(1ms);
    }

    int breaks = 0;
    int responses = 0;

private:
    // A timer does not fire again while its own handler runs, and an answer runs on into the next break's
    // wait: answer from a queued call, so the timer keeps ticking through the break.
    void act()
    {
        if (m_pending)
            return;
        m_pending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_pending = false;
                respond();
            },
            Qt::QueuedConnection);
    }

    void respond()
    {
        if (m_msg.isVisible()) {
            ++breaks;
            QTest::keyClick(&m_msg, Qt::Key_Space);
            return;
        }
        if (!m_form.AcceptKeys())
            return;
        const int amount = m_form.findChild<QLabel *>("VReward")->text().mid(1).toInt();
        const bool now = amount >= 50;
        ++responses;
        if (responses % 4 == 0)
            QTest::mouseClick(m_form.findChild<QLabel *>(now ? "Label3" : "VDelay"), Qt::LeftButton);
        else
            QTest::keyClick(&m_form, now ? Qt::Key_Left : Qt::Key_Right, responses % 3 == 0 ? Qt::ShiftModifier
                                                                                               : Qt::NoModifier);
    }

    TaskForm &m_form;
    MsgForm &m_msg;
    QTimer m_timer;
    bool m_pending = false;
};

// The application's windows and run flow, with the dialogs replaced.
struct AppRig
{
    explicit AppRig(const RunSettings &runSettings)
        : settings(runSettings)
        , host(nullptr)
        , flow(engine, settings, form, msg, waiter, host, clock, Timings{0.001, 0.001, 1})
    {
        form.attach(flow);
        msg.attach(flow);
    }

    SeededRandom random = SeededRandom::fixed(2024);
    TaskEngine engine{random};
    RunSettings settings;
    TaskForm form;
    MsgForm msg{&form};
    QtEventWaiter waiter;
    QtRunHost host;
    SystemClock clock;
    RunFlow flow;
};

// Answers the next modal dialog once it is up.
void whenModal(QObject *scope, std::function<void(QWidget *)> answer)
{
    auto *poll = new QTimer(scope);
    QObject::connect(poll, &QTimer::timeout, scope, [poll, answer = std::move(answer)] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(dialog);
        }
    });
    poll->start(5ms);
}

} // namespace

class WindowsRunTest : public QObject
{
    Q_OBJECT

private slots:
    void sevenBlocksInTheRealWindowsWriteBothFiles();
    void completionMessageIsTitledAndHasOnlyOk();
    void writeFailureDialogNamesTheFileAndCanChangeTheSubjectId();
    void discardQuestionDefaultsToNo();
    void lostLogIsToldWithBothPathsAndCanWaitForLater();
};

void WindowsRunTest::sevenBlocksInTheRealWindowsWriteBothFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AppRig rig(RunSettings{"P07", dir.path().toStdString(), 20, 1000});
    bool filesBeforeMessage = false;
    int terminations = 0;
    rig.host.setDialogs({
        .showCompletion = [&] { filesBeforeMessage = QFile::exists(dir.filePath("P07.KPX")) && QFile::exists(dir.filePath("P07.TC")); },
        .terminate = [&] { ++terminations; },
        .resolveWriteFailure = {},
        .confirmDiscard = {},
        .resolveLogFailure = {},
        .reportLogFailure = {},
        .resolveLogLost = {},
        .reportLogWrittenAgain = {},
    });
    ScriptedParticipant participant(rig.form, rig.msg);

    rig.flow.StartTask();
    QTRY_VERIFY_WITH_TIMEOUT(rig.flow.finished(), 60000);

    QCOMPARE(participant.breaks, 7);
    QVERIFY(filesBeforeMessage);
    QCOMPARE(terminations, 1);
    QVERIFY(!rig.form.isVisible());
    const QStringList points = linesOf(dir.filePath("P07.KPX"));
    const QStringList counts = linesOf(dir.filePath("P07.TC"));
    QCOMPARE(points.size(), 8);
    QCOMPARE(counts.size(), 8);
    QCOMPARE(points.first(), QString("P07"));
    QCOMPARE(counts.first(), QString("P07"));
    int trials = 0;
    for (int line = 1; line < 8; ++line) {
        // The participant's own value brackets to $45-$50 at every delay.
        QCOMPARE(points[line], QString(" 47.5 "));
        trials += counts[line].trimmed().toInt();
    }
    QCOMPARE(trials, participant.responses);
    QVERIFY(rig.form.close());
    QVERIFY(rig.msg.close());
}

void WindowsRunTest::completionMessageIsTitledAndHasOnlyOk()
{
    QtRunHost host(nullptr);
    QObject scope;
    QString text;
    QString title;
    int buttons = 0;
    whenModal(&scope, [&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        text = box->text();
        title = box->windowTitle();
        buttons = box->buttons().size();
        box->button(QMessageBox::Ok)->click();
    });

    host.ShowCompletion();

    QCOMPARE(text, QString("The task is now complete"));
    QCOMPARE(title, QString("KPX2"));
    QCOMPARE(buttons, 1);
}

void WindowsRunTest::writeFailureDialogNamesTheFileAndCanChangeTheSubjectId()
{
    QtRunHost host(nullptr);
    QObject scope;
    QString message;
    QString prefilled;
    whenModal(&scope, [&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        message = box->text();
        for (QAbstractButton *button : box->buttons())
            if (button->text().contains("Subject"))
                button->click();
        whenModal(&scope, [&](QWidget *dialog) {
            auto *input = qobject_cast<QInputDialog *>(dialog);
            QVERIFY(input);
            prefilled = input->textValue();
            input->setTextValue("P09");
            input->accept();
        });
    });
    std::string subject = "P08";
    std::string directory = "/data";

    const WriteFailureChoice choice =
        host.ResolveWriteFailure(WriteFailure{"/data/P08.KPX", "Permission denied"}, subject, directory);

    QVERIFY(message.contains("/data/P08.KPX"));
    QVERIFY(message.contains("Permission denied"));
    QCOMPARE(prefilled, QString("P08"));
    QCOMPARE(choice, WriteFailureChoice::Retry);
    QCOMPARE(subject, std::string("P09"));
    QCOMPARE(directory, std::string("/data"));
}

void WindowsRunTest::discardQuestionDefaultsToNo()
{
    QtRunHost host(nullptr);
    QObject scope;
    whenModal(&scope, [](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Return); });

    QVERIFY(!host.ConfirmDiscard());
}

void WindowsRunTest::lostLogIsToldWithBothPathsAndCanWaitForLater()
{
    QtRunHost host(nullptr);
    QObject scope;
    QStringList texts;
    auto answer = [&](const QString &button) {
        whenModal(&scope, [&texts, button](QWidget *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            texts << box->text();
            for (QAbstractButton *choice : box->buttons())
                if (choice->text() == button)
                    choice->click();
        });
    };
    std::string directory = "/data/g";

    answer("Later");
    const WriteFailure failure{"/data/g/S1.csv", "No such file or directory"};
    QVERIFY(!host.ResolveLogLost("/data/g/S1.csv", failure, directory));
    answer("OK");
    host.ReportLogWrittenAgain("/data/g/S1.csv", "/data/h/S1.csv");

    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts[0].contains("removed or replaced") && texts[0].contains("No such file or directory"),
             qPrintable(texts[0]));
    QVERIFY2(texts[1].contains("/data/g/S1.csv") && texts[1].contains("/data/h/S1.csv"), qPrintable(texts[1]));
    QCOMPARE(directory, std::string("/data/g"));
}

QTEST_MAIN(WindowsRunTest)
#include "WindowsRunTest.moc"
