#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "ui/Instruct.h"
#include "ui/MsgForm.h"
#include "ui/QtRunHost.h"
#include "ui/Session.h"
#include "ui/StartForm.h"
#include "ui/TaskForm.h"

#include "Participant.h"
#include "SetupRig.h"
#include "WindowRig.h"

#include "i18n/Tr.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
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
using kpx::test::Participant;
using kpx::test::SessionRig;
using kpx::test::doubleClickItem;

namespace {

const Timings ShortTimings{0.001, 0.001, 1};

QAction *command(Session &session, const char *name)
{
    return session.startForm().findChild<QAction *>(QLatin1String(name));
}

void clickOk(Session &session)
{
    QTest::mouseClick(session.instruct().findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
}

// Starts a run under the subject ID "S01".
void startRun(SessionRig &rig)
{
    rig.dialogs.texts = {"S01"};
    rig.session.show();
    command(rig.session, "SIDCtrl")->trigger();
    command(rig.session, "StartCtrl")->trigger();
    clickOk(rig.session);
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
    void choosingALanguageShowsEveryLaterWindowInIt_data();
    void choosingALanguageShowsEveryLaterWindowInIt();
    void languageIsRefusedOnceTheRunHasBegun();

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
    SessionRig rig(ShortTimings);
    Session &session = rig.session;
    rig.dialogs.texts = {"S01", "12"};
    bool filesBeforeMessage = false;
    rig.dialogs.whileShown = [&](const std::string &) {
        filesBeforeMessage = QFile::exists(m_out + "/S02.KPX") && QFile::exists(m_out + "/S02.TC");
    };
    QList<bool> startedWhenStarting;
    session.setTaskStarting([&] { startedWhenStarting << session.flow().started(); });
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

    Participant participant(session.taskForm(), session.msgForm(), 50);
    clickOk(session);
    QVERIFY(session.flow().started());
    QVERIFY(!session.instruct().isVisible());
    QCOMPARE(session.engine().state().DistractorThreshold, 12);

    // During the run: Start does nothing more, a new threshold comes too late, a new subject ID names the files.
    rig.dialogs.texts.insert(rig.dialogs.texts.end(), {"S02", "30"});
    command(session, "StartCtrl")->trigger();
    QVERIFY(!session.instruct().isVisible());
    command(session, "SIDCtrl")->trigger();
    command(session, "DTThresh")->trigger();

    QTRY_VERIFY_WITH_TIMEOUT(session.flow().finished(), 120000);
    QCOMPARE(startedWhenStarting, QList<bool>{false});
    QCOMPARE(participant.breaks, 7);
    QCOMPARE(rig.dialogs.questions, std::vector<std::string>());
    QCOMPARE(rig.dialogs.messages, std::vector<std::string>{"The task is now complete"});
    QVERIFY(filesBeforeMessage);
    QCOMPARE(rig.quits, 1);
    QVERIFY(!session.taskForm().isVisible());
    QCOMPARE(session.engine().state().DistractorThreshold, 12);

    // The participant's own value brackets to $45-$50 at every delay, written with the user's decimal
    // separator, set to a comma for this whole test (see main).
    QCOMPARE(QString::fromLatin1(fileContents(m_out + QStringLiteral("/S02.KPX"))),
             QStringLiteral("S02\r\n") + QStringLiteral(" 47,5 \r\n").repeated(7));
    QByteArray counts("S02\r\n");
    int trials = 0;
    for (int delay = 1; delay <= 7; ++delay) {
        const int count = session.engine().state().TrialCounts[delay];
        QVERIFY(count >= 2);
        trials += count;
        counts += ' ' + QByteArray::number(count) + " \r\n";
    }
    QCOMPARE(trials, participant.responses);
    QCOMPARE(fileContents(m_out + QStringLiteral("/S02.TC")), counts);
    QVERIFY(!QFile::exists(m_out + QStringLiteral("/S01.KPX")));
}

void SessionTest::closingSetupDuringTheRunAsksFirst()
{
    SessionRig rig(ShortTimings);
    rig.dialogs.yesNo = {false, true};
    Participant participant(rig.session.taskForm(), rig.session.msgForm(), std::nullopt);
    startRun(rig);
    QVERIFY(rig.session.flow().started());

    QVERIFY(!rig.session.startForm().close());
    QCOMPARE(rig.dialogs.questions.size(), size_t(1));
    QVERIFY(rig.session.startForm().isVisible());
    QVERIFY(rig.session.taskForm().isVisible());
    QCOMPARE(rig.quits, 0);
    QCOMPARE(rig.session.settings().SubjectId, std::string("S01"));

    QVERIFY(rig.session.startForm().close());
    QCOMPARE(rig.dialogs.questions.size(), size_t(2));
    QVERIFY(!rig.session.taskForm().isVisible());
    QCOMPARE(rig.quits, 1);
}

void SessionTest::closingSetupBeforeTheRunDoesNotAsk()
{
    SessionRig rig(ShortTimings);
    rig.session.show();

    QVERIFY(rig.session.startForm().close());
    QCOMPARE(rig.dialogs.questions, std::vector<std::string>());
}

void SessionTest::closingSetupUnderTheCompletionMessageAsksNothingAndKeepsTheResults()
{
    SessionRig rig(ShortTimings);
    bool closed = false;
    rig.dialogs.whileShown = [&](const std::string &text) {
        if (text == "The task is now complete")
            closed = rig.session.startForm().close();
    };
    Participant participant(rig.session.taskForm(), rig.session.msgForm(), 65);
    startRun(rig);

    QTRY_VERIFY_WITH_TIMEOUT(rig.session.flow().finished(), 120000);
    QVERIFY(closed);
    QCOMPARE(rig.dialogs.questions, std::vector<std::string>());
    QCOMPARE(rig.dialogs.messages, std::vector<std::string>{"The task is now complete"});
    QVERIFY(QFile::exists(m_home.filePath(QStringLiteral("Documents/S01.KPX"))));
}

void SessionTest::closingSetupUnderAWriteFailureSaysTheResultsAreNotWrittenYet()
{
    SessionRig rig(ShortTimings);
    // Under the write-failure box the experimenter closes the setup window and ends the run.
    rig.dialogs.yesNo = {true};
    rig.dialogs.whileShown = [&](const std::string &text) {
        if (text.starts_with("The results could not be written"))
            rig.session.startForm().close();
    };
    // The results go where they cannot be written once the trial log is open there.
    QTimer::singleShot(0, &rig.session.startForm(), [&] {
        rig.session.settings().OutputDirectory = m_home.filePath(QStringLiteral("gone")).toStdString();
    });
    Participant participant(rig.session.taskForm(), rig.session.msgForm(), 65);
    startRun(rig);

    QTRY_VERIFY_WITH_TIMEOUT(rig.session.flow().finished(), 120000);
    QCOMPARE(rig.dialogs.questions.size(), size_t(2));
    QVERIFY2(rig.dialogs.questions[0].starts_with("The results could not be written"), rig.dialogs.questions[0].c_str());
    QVERIFY2(rig.dialogs.questions[1].find("not been written yet") != std::string::npos, rig.dialogs.questions[1].c_str());
    QCOMPARE(rig.dialogs.messages, std::vector<std::string>());
    QCOMPARE(rig.quits, 1);
}

void SessionTest::runDialogsBelongToTheWindowOnTop()
{
    SessionRig rig(ShortTimings);
    Session &session = rig.session;
    QtRunHost host(&session.instruct(), &session.taskForm(), rig.dialogs, {});
    session.show();
    QVERIFY(QTest::qWaitForWindowActive(&session.startForm()));
    QCOMPARE(host.dialogParent(), &session.startForm());

    session.instruct().show();
    QCOMPARE(host.dialogParent(), &session.instruct());

    // Over a maximized choice window a dialog without an owner may never be seen.
    static_cast<TrialScreen &>(session.taskForm()).show();
    QCOMPARE(host.dialogParent(), &session.taskForm());
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

void SessionTest::choosingALanguageShowsEveryLaterWindowInIt_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("languageCommand");
    QTest::addColumn<QString>("outputDirectory");
    QTest::addColumn<QString>("instructionsTitle");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("breakFirstLine");
    QTest::addColumn<QString>("firstDelay");
    QTest::addColumn<QString>("completion");
    QTest::newRow("English") << "en" << "Language" << "Output Directory" << "Instructions"
                             << "Please choose between the following two options:" << "Now choose between $100"
                             << "IN 1 DAY" << "The task is now complete";
    QTest::newRow("German") << "de" << "Sprache" << "Ausgabeverzeichnis" << "Anleitung"
                            << "Bitte wählen Sie zwischen den beiden Möglichkeiten:" << "Wählen Sie nun zwischen 100 €"
                            << "IN 1 TAG" << "Die Aufgabe ist jetzt beendet";
    QTest::newRow("Spanish") << "es" << "Idioma" << "Directorio de salida" << "Instrucciones"
                             << "Elija entre las dos opciones siguientes:" << "Ahora elija entre 100 €"
                             << "EN 1 DÍA" << "La tarea ha terminado";
    QTest::newRow("Chinese") << "zh_CN" << "语言" << "输出目录" << "指导语" << "请在以下两个选项中做出选择："
                             << "现在请在100 元" << "1天后" << "任务已完成";
}

// The language chosen in the setup window is the run's: every window shows it from then on, the
// setup window's own commands among them, and the trial log records it on every row.
void SessionTest::choosingALanguageShowsEveryLaterWindowInIt()
{
    QFETCH(QString, code);
    QFETCH(QString, languageCommand);
    QFETCH(QString, outputDirectory);
    QFETCH(QString, instructionsTitle);
    QFETCH(QString, prompt);
    QFETCH(QString, breakFirstLine);
    QFETCH(QString, firstDelay);
    QFETCH(QString, completion);
    const auto english = qScopeGuard([] { i18n::setLanguage(i18n::DefaultLanguage); });
    SessionRig rig(ShortTimings);
    Session &session = rig.session;
    session.show();

    command(session, code.toLatin1().constData())->trigger();

    QCOMPARE(QString::fromStdString(i18n::activeLanguage()), code);
    QAction *language = command(session, "LangCtrl");
    QCOMPARE(language->text(), languageCommand);
    for (QAction *choice : language->menu()->actions())
        QCOMPARE(choice->isChecked(), choice->objectName() == code);
    QCOMPARE(command(session, "SIDCtrl")->text(), QString::fromUtf8(i18n::tr("Subject ID")));
    QCOMPARE(session.startForm().findChild<QGroupBox *>("Frame1")->title(), outputDirectory);
    QCOMPARE(session.instruct().windowTitle(), instructionsTitle);
    QCOMPARE(session.instruct().findChild<QLabel *>("Label1")->text(), instructionText());
    QCOMPARE(session.taskForm().findChild<QLabel *>("Label2")->text(), prompt);
    QCOMPARE(session.msgForm().findChild<QLabel *>("Label1")->text(), breakFirstLine);

    const std::string subject = "L_" + code.toStdString();
    rig.dialogs.texts = {subject};
    command(session, "SIDCtrl")->trigger();
    command(session, "StartCtrl")->trigger();
    QString delayShown;
    QString breakDelayShown;
    Participant participant(session.taskForm(), session.msgForm(), 50);
    QTimer::singleShot(0, [&] {
        breakDelayShown = session.msgForm().findChild<QLabel *>("Label2")->text();
        delayShown = session.taskForm().findChild<QLabel *>("VDelay")->text();
    });
    clickOk(session);
    QCOMPARE(delayShown, firstDelay);
    QCOMPARE(breakDelayShown, firstDelay);
    QTRY_VERIFY_WITH_TIMEOUT(session.flow().finished(), 120000);
    QCOMPARE(rig.dialogs.messages, std::vector<std::string>{completion.toStdString()});

    const QStringList logs = QDir(m_home.filePath("Documents"))
                                 .entryList({QString::fromStdString(subject) + "*.trials.csv"}, QDir::Files);
    QCOMPARE(logs.size(), 1);
    const QList<QByteArray> rows = fileContents(m_home.filePath("Documents/" + logs.first())).trimmed().split('\n');
    QVERIFY(rows.size() > 1);
    const qsizetype column = rows.first().trimmed().split(',').indexOf("language");
    QVERIFY(column >= 0);
    for (qsizetype i = 1; i < rows.size(); ++i)
        QCOMPARE(QString::fromUtf8(rows[i].trimmed().split(',').value(column)), code);
}

void SessionTest::languageIsRefusedOnceTheRunHasBegun()
{
    const auto english = qScopeGuard([] { i18n::setLanguage(i18n::DefaultLanguage); });
    SessionRig rig(ShortTimings);
    Participant participant(rig.session.taskForm(), rig.session.msgForm(), std::nullopt);
    startRun(rig);
    QVERIFY(rig.session.flow().started());

    command(rig.session, "de")->trigger();

    QCOMPARE(i18n::activeLanguage(), std::string("en"));
    QVERIFY(command(rig.session, "en")->isChecked());
    QVERIFY(!command(rig.session, "de")->isChecked());
    QCOMPARE(rig.session.taskForm().findChild<QLabel *>("Label2")->text(),
             QStringLiteral("Please choose between the following two options:"));
    QCOMPARE(command(rig.session, "LangCtrl")->text(), QStringLiteral("Language"));
}
