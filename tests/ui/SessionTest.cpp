#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "results/ResultsWriter.h"
#include "ui/Instruct.h"
#include "ui/MsgForm.h"
#include "ui/QtRunHost.h"
#include "ui/Session.h"
#include "ui/StartForm.h"
#include "ui/TaskForm.h"

#include "SetupRig.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace kpx;
using kpx::test::ScriptedPrompt;
using kpx::test::doubleClickItem;

namespace {

const Timings ShortTimings{0.001, 0.001, 1};

// What the run's end did, instead of dialogs and quitting.
struct RunEnd
{
    int completions = 0;
    int terminations = 0;
    QStringList writeFailures;
};

void recordRunEnd(Session &session, RunEnd &end)
{
    QtRunHost::Dialogs dialogs;
    dialogs.showCompletion = [&end] { ++end.completions; };
    dialogs.terminate = [&end] { ++end.terminations; };
    dialogs.resolveWriteFailure = [&end](const WriteFailure &failure, std::string &, std::string &) {
        end.writeFailures << QString::fromStdString(failure.path + ": " + failure.reason);
        return WriteFailureChoice::Discard;
    };
    dialogs.confirmDiscard = [] { return true; };
    session.host().setDialogs(dialogs);
}

// The participant: the space bar on each break message, and, when answerTrials is set, the immediate
// option exactly when it is $65 or more. Keys go in from fresh timer events, never from inside this
// poll, so a key that starts a nested wait never stops the poll from answering the next break.
class Participant : public QObject
{
public:
    Participant(Session &session, bool answerTrials)
        : m_session(session)
        , m_answerTrials(answerTrials)
    {
        connect(&m_poll, &QTimer::timeout, this, &Participant::poll);
        m_poll.start(1);
    }

private:
    void poll()
    {
        if (m_keyPending)
            return;
        if (m_session.msgForm().isVisible())
            press(&m_session.msgForm(), Qt::Key_Space);
        else if (m_answerTrials && m_session.taskForm().AcceptKeys())
            press(&m_session.taskForm(),
                  m_session.engine().state().ImmediateAmount >= 65 ? Qt::Key_Left : Qt::Key_Right);
    }

    void press(QWidget *window, Qt::Key key)
    {
        m_keyPending = true;
        QTimer::singleShot(0, this, [this, window, key] {
            m_keyPending = false;
            QTest::keyClick(window, key);
        });
    }

    Session &m_session;
    bool m_answerTrials;
    bool m_keyPending = false;
    QTimer m_poll;
};

QAction *command(Session &session, const char *name)
{
    return session.startForm().findChild<QAction *>(QLatin1String(name));
}

void clickOk(Session &session)
{
    QTest::mouseClick(session.instruct().findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeRunWritesBothFilesUnderTheSubjectIdEntered();
    void closingSetupDuringTheRunAsksFirst();
    void closingSetupBeforeTheRunDoesNotAsk();
    void closingSetupUnderTheCompletionMessageAsksNothingAndKeepsTheResults();
    void closingSetupUnderAWriteFailureSaysTheResultsAreNotWrittenYet();
    void runDialogsBelongToTheWindowOnTop();

private:
    QTemporaryDir m_home;
    QString m_out;
};

void SessionTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral(".config"))));
    QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral("Documents/out")));
    m_out = m_home.filePath(QStringLiteral("Documents/out"));
}

void SessionTest::wholeRunWritesBothFilesUnderTheSubjectIdEntered()
{
    Session session(ShortTimings);
    RunEnd end;
    recordRunEnd(session, end);
    ScriptedPrompt prompt({"S01", "12"});
    session.startForm().setPrompt(prompt.function());
    session.show();
    QVERIFY(QTest::qWaitForWindowExposed(&session.startForm()));

    command(session, "SIDCtrl")->trigger();
    command(session, "DTThresh")->trigger();
    auto *dir1 = session.startForm().findChild<QTreeWidget *>(QStringLiteral("Dir1"));
    QTreeWidgetItem *out = dir1->findItems(QStringLiteral("out"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
    QVERIFY(out);
    doubleClickItem(dir1, out);
    command(session, "StartCtrl")->trigger();
    QTRY_VERIFY(session.instruct().isVisible());

    Participant participant(session, true);
    clickOk(session);
    QVERIFY(session.flow().started());
    QVERIFY(!session.instruct().isVisible());
    QCOMPARE(session.engine().state().DistractorThreshold, 12);

    // During the run: Start does nothing more, a new threshold comes too late, a new subject ID names the files.
    prompt.append({"S02", "30"});
    command(session, "StartCtrl")->trigger();
    QVERIFY(!session.instruct().isVisible());
    command(session, "SIDCtrl")->trigger();
    command(session, "DTThresh")->trigger();

    QTRY_VERIFY_WITH_TIMEOUT(session.flow().finished(), 120000);
    QCOMPARE(end.writeFailures, QStringList());
    QCOMPARE(end.completions, 1);
    QCOMPARE(end.terminations, 1);
    QCOMPARE(session.engine().state().DistractorThreshold, 12);

    // The user's decimal separator, set to a comma for this whole test (see main).
    const QString point = QStringLiteral(" 62,5 \r\n");
    QCOMPARE(QString::fromLatin1(fileContents(m_out + QStringLiteral("/S02.KPX"))),
             QStringLiteral("S02\r\n") + point.repeated(7));
    QByteArray counts("S02\r\n");
    for (int delay = 1; delay <= 7; ++delay) {
        const int count = session.engine().state().TrialCounts[delay];
        QVERIFY(count >= 2);
        counts += ' ' + QByteArray::number(count) + " \r\n";
    }
    QCOMPARE(fileContents(m_out + QStringLiteral("/S02.TC")), counts);
    QVERIFY(!QFile::exists(m_out + QStringLiteral("/S01.KPX")));
}

void SessionTest::closingSetupDuringTheRunAsksFirst()
{
    Session session(ShortTimings);
    RunEnd end;
    recordRunEnd(session, end);
    bool endRun = false;
    int asked = 0;
    session.setConfirmEndRun([&](const QString &) {
        ++asked;
        return endRun;
    });
    ScriptedPrompt prompt({"S01"});
    session.startForm().setPrompt(prompt.function());
    session.show();
    command(session, "SIDCtrl")->trigger();
    command(session, "StartCtrl")->trigger();
    Participant participant(session, false);
    clickOk(session);
    QVERIFY(session.flow().started());

    QVERIFY(!session.startForm().close());
    QCOMPARE(asked, 1);
    QVERIFY(session.startForm().isVisible());
    QCOMPARE(end.terminations, 0);
    QCOMPARE(session.settings().SubjectId, std::string("S01"));

    endRun = true;
    QVERIFY(session.startForm().close());
    QCOMPARE(asked, 2);
    QCOMPARE(end.terminations, 1);
}

void SessionTest::closingSetupBeforeTheRunDoesNotAsk()
{
    Session session(ShortTimings);
    int asked = 0;
    session.setConfirmEndRun([&](const QString &) {
        ++asked;
        return false;
    });
    session.show();

    QVERIFY(session.startForm().close());
    QCOMPARE(asked, 0);
}

// Starts a run under the prompt's subject ID, recording the questions asked before the setup window closes.
void startRun(Session &session, ScriptedPrompt &prompt, QStringList &questions, bool endRun)
{
    session.setConfirmEndRun([&questions, endRun](const QString &question) {
        questions << question;
        return endRun;
    });
    session.startForm().setPrompt(prompt.function());
    session.show();
    command(session, "SIDCtrl")->trigger();
    command(session, "StartCtrl")->trigger();
    clickOk(session);
}

void SessionTest::closingSetupUnderTheCompletionMessageAsksNothingAndKeepsTheResults()
{
    Session session(ShortTimings);
    RunEnd end;
    recordRunEnd(session, end);
    bool closed = false;
    QtRunHost::Dialogs dialogs;
    dialogs.showCompletion = [&] {
        ++end.completions;
        closed = session.startForm().close();
    };
    dialogs.terminate = [&end] { ++end.terminations; };
    session.host().setDialogs(dialogs);
    QStringList questions;
    ScriptedPrompt prompt({"S01"});
    Participant participant(session, true);
    startRun(session, prompt, questions, false);

    QTRY_VERIFY_WITH_TIMEOUT(session.flow().finished(), 120000);
    QVERIFY(closed);
    QCOMPARE(questions, QStringList());
    QCOMPARE(end.completions, 1);
    QVERIFY(QFile::exists(m_home.filePath(QStringLiteral("Documents/S01.KPX"))));
}

void SessionTest::closingSetupUnderAWriteFailureSaysTheResultsAreNotWrittenYet()
{
    Session session(ShortTimings);
    RunEnd end;
    recordRunEnd(session, end);
    int failuresShown = 0;
    QtRunHost::Dialogs dialogs;
    dialogs.showCompletion = [&end] { ++end.completions; };
    dialogs.terminate = [&end] { ++end.terminations; };
    dialogs.resolveWriteFailure = [&](const WriteFailure &, std::string &, std::string &) {
        ++failuresShown;
        session.startForm().close();
        return WriteFailureChoice::Retry;
    };
    session.host().setDialogs(dialogs);
    QStringList questions;
    ScriptedPrompt prompt({"S01"});
    // The results go where they cannot be written once the trial log is open there.
    QTimer::singleShot(0, &session.startForm(), [&] {
        session.settings().OutputDirectory = m_home.filePath(QStringLiteral("gone")).toStdString();
    });
    Participant participant(session, true);
    startRun(session, prompt, questions, true);

    QTRY_VERIFY_WITH_TIMEOUT(session.flow().finished(), 120000);
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions.first().contains(QStringLiteral("not been written yet")), qPrintable(questions.first()));
    QCOMPARE(failuresShown, 1);
    QCOMPARE(end.completions, 0);
    QCOMPARE(end.terminations, 1);
}

void SessionTest::runDialogsBelongToTheWindowOnTop()
{
    Session session(ShortTimings);
    session.show();
    QVERIFY(QTest::qWaitForWindowActive(&session.startForm()));
    QCOMPARE(session.host().dialogParent(), &session.startForm());

    session.instruct().show();
    QCOMPARE(session.host().dialogParent(), &session.instruct());

    // Over a maximized choice window a dialog without an owner may never be seen.
    static_cast<TrialScreen &>(session.taskForm()).show();
    QCOMPARE(session.host().dialogParent(), &session.taskForm());
}

} // namespace

// The application runs under a user locale whose decimal separator is a comma, so a run that
// wrote its results with any other separator fails.
int main(int argc, char *argv[])
{
    qunsetenv("LC_ALL");
    qputenv("LC_NUMERIC", "de_DE.UTF-8");
    QApplication app(argc, argv);
    if (QLocale::system().decimalPoint() != QStringLiteral(",")) {
        qCritical("the comma locale did not take effect");
        return 1;
    }
    SessionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SessionTest.moc"
