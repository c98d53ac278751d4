#include "LogUnfinishedCases.h"
#include "ScriptedDialogs.h"

#include "results/ResultsWriter.h"
#include "ui/QtDialogs.h"
#include "ui/QtRunHost.h"

#include "i18n/Tr.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>

using namespace kpx;
using namespace std::chrono_literals;

namespace {

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

class QtDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void completionMessageIsTitledAndHasOnlyOk();
    void writeFailureDialogNamesTheFileAndCanChangeTheSubjectId();
    void discardQuestionDefaultsToNo();
    void logDialogsNameThePathsAndCanBeLeft();
    void anIncompleteLogIsLeftOnlyByAConfirmedLeaveIt_data();
    void anIncompleteLogIsLeftOnlyByAConfirmedLeaveIt();
    void textEntryButtonsSpeakTheRunsLanguage_data();
    void textEntryButtonsSpeakTheRunsLanguage();
    void messageBoxButtonsSpeakTheRunsLanguage_data();
    void messageBoxButtonsSpeakTheRunsLanguage();
};

void QtDialogsTest::completionMessageIsTitledAndHasOnlyOk()
{
    QtDialogs dialogs;
    QtRunHost host(nullptr, nullptr, dialogs, {});
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

    host.showCompletion();

    QCOMPARE(text, QString("The task is now complete"));
    QCOMPARE(title, QString("KPX2"));
    QCOMPARE(buttons, 1);
}

void QtDialogsTest::writeFailureDialogNamesTheFileAndCanChangeTheSubjectId()
{
    QtDialogs dialogs;
    QtRunHost host(nullptr, nullptr, dialogs, {});
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
        host.resolveWriteFailure(WriteFailure{"/data/P08.KPX", "Permission denied"}, subject, directory);

    QVERIFY(message.contains("/data/P08.KPX"));
    QVERIFY(message.contains("Permission denied"));
    QCOMPARE(prefilled, QString("P08"));
    QCOMPARE(choice, WriteFailureChoice::Retry);
    QCOMPARE(subject, std::string("P09"));
    QCOMPARE(directory, std::string("/data"));
}

void QtDialogsTest::discardQuestionDefaultsToNo()
{
    QtDialogs dialogs;
    QtRunHost host(nullptr, nullptr, dialogs, {});
    QObject scope;
    whenModal(&scope, [](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Return); });

    QVERIFY(!host.confirmDiscard());
}

void QtDialogsTest::logDialogsNameThePathsAndCanBeLeft()
{
    QtDialogs dialogs;
    QtRunHost host(nullptr, nullptr, dialogs, {});
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
    QVERIFY(!host.resolveLogLost({"/data/g/S1.csv", "the file was removed or replaced during the run", {}}, failure,
                                 directory));
    answer("OK");
    host.reportLogWrittenAgain({"/data/g/S1.csv", "another program has it open", "/data/g/S1.csv"}, "/data/h/S1.csv");
    // Escape is the log-failure box's Cancel: the run stays unstarted.
    whenModal(&scope, [&texts](QWidget *dialog) {
        texts << qobject_cast<QMessageBox *>(dialog)->text();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QVERIFY(!host.resolveLogFailure(WriteFailure{"/data/g/S1.csv", "Permission denied"}, directory));
    // At the end: leaving an incomplete log is a choice, confirmed, and what it costs is said. The box
    // closed without a button asks again.
    whenModal(&scope, [&](QWidget *dialog) {
        texts << qobject_cast<QMessageBox *>(dialog)->text();
        qobject_cast<QDialog *>(dialog)->reject();
        answer("Leave It");
        whenModal(&scope, [&texts](QWidget *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            texts << box->text();
            box->button(QMessageBox::Yes)->click();
        });
    });
    QVERIFY(!host.resolveLogUnfinished("/data/g/S1.csv", 17, WriteFailure{"/data/S1.csv", "Disk quota exceeded"}, directory));
    answer("OK");
    host.reportLogIncomplete("/data/g/S1.csv", 17);

    QCOMPARE(texts.size(), 7);
    QVERIFY2(texts[3].contains("lacks 17 answered trials") && texts[3].contains("Disk quota exceeded"), qPrintable(texts[3]));
    QCOMPARE(texts[4], texts[3]);
    QVERIFY2(texts[5].contains("17 answered trials will be in no file"), qPrintable(texts[5]));
    QVERIFY2(texts[6].contains("17 answered trials, which are in no file"), qPrintable(texts[6]));
    QVERIFY2(texts[0].contains("removed or replaced") && texts[0].contains("No such file or directory"),
             qPrintable(texts[0]));
    QVERIFY2(texts[1].contains("/data/g/S1.csv") && texts[1].contains("/data/h/S1.csv"), qPrintable(texts[1]));
    QVERIFY2(texts[1].contains("another program has it open") && texts[1].contains("could not be removed"),
             qPrintable(texts[1]));
    QVERIFY2(texts[2].contains("could not be created") && texts[2].contains("Permission denied"), qPrintable(texts[2]));
    QCOMPARE(directory, std::string("/data/g"));
}

void QtDialogsTest::anIncompleteLogIsLeftOnlyByAConfirmedLeaveIt_data()
{
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < test::logUnfinishedCases().size(); ++i)
        QTest::newRow(test::logUnfinishedCases()[i].name) << int(i);
}

void QtDialogsTest::anIncompleteLogIsLeftOnlyByAConfirmedLeaveIt()
{
    QFETCH(int, index);
    test::ScriptedDialogs dialogs;
    QtRunHost host(nullptr, nullptr, dialogs, {});

    const std::string wrong = test::checkLogUnfinished(test::logUnfinishedCases()[std::size_t(index)], dialogs, host);

    QVERIFY2(wrong.empty(), wrong.c_str());
}


void QtDialogsTest::textEntryButtonsSpeakTheRunsLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("buttons");
    // English keeps Qt's own buttons, mnemonics and all.
    QTest::newRow("English") << "en" << QStringList{};
    QTest::newRow("German") << "de" << QStringList{"OK", "Abbrechen"};
    QTest::newRow("Spanish") << "es" << QStringList{"OK", "Cancelar"};
    QTest::newRow("Chinese") << "zh_CN" << QStringList{"OK", "取消"};
}

// The text-entry dialog's buttons are in the run's language, and the text typed is given back.
void QtDialogsTest::textEntryButtonsSpeakTheRunsLanguage()
{
    QFETCH(QString, language);
    QFETCH(QStringList, buttons);
    QVERIFY(i18n::setLanguage(language.toStdString()));
    const auto english = qScopeGuard([] { i18n::setLanguage(i18n::DefaultLanguage); });
    if (buttons.isEmpty()) {
        QInputDialog qts;
        buttons = QStringList{qts.okButtonText(), qts.cancelButtonText()};
    }
    QtDialogs dialogs;
    QObject scope;
    QStringList shown;
    whenModal(&scope, [&](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        QVERIFY(input);
        shown = QStringList{input->okButtonText(), input->cancelButtonText()};
        input->setTextValue("S01");
        input->accept();
    });

    QCOMPARE(dialogs.askText(nullptr, "KPX2", "Enter Subject ID", ""), std::optional<std::string>("S01"));
    QCOMPARE(shown, buttons);
}

void QtDialogsTest::messageBoxButtonsSpeakTheRunsLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("buttons");
    // English keeps Qt's own buttons: an empty list stands for whatever Qt calls them.
    for (const char *dialog : {"question", "message", "warning", "choice"})
        QTest::newRow(qPrintable(QStringLiteral("English %1").arg(dialog))) << "en" << dialog << QStringList{};
    QTest::newRow("German question") << "de" << "question" << QStringList{"Ja", "Nein"};
    QTest::newRow("German message") << "de" << "message" << QStringList{"OK"};
    QTest::newRow("German choice with a Cancel") << "de" << "choice" << QStringList{"Abbrechen", "Weiter"};
    QTest::newRow("Spanish question") << "es" << "question" << QStringList{"No", QString::fromUtf8("Sí")};
    QTest::newRow("Spanish choice with a Cancel") << "es" << "choice" << QStringList{"Cancelar", "Weiter"};
    QTest::newRow("Chinese question") << "zh_CN" << "question" << QStringList{QString::fromUtf8("否"), QString::fromUtf8("是")};
    QTest::newRow("Chinese warning") << "zh_CN" << "warning" << QStringList{"OK"};
}

// The question, message and choice boxes name Qt's standard buttons in the run's language.
void QtDialogsTest::messageBoxButtonsSpeakTheRunsLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, dialog);
    QFETCH(QStringList, buttons);
    QVERIFY(i18n::setLanguage(language.toStdString()));
    const auto english = qScopeGuard([] { i18n::setLanguage(i18n::DefaultLanguage); });
    const auto texts = [](const QMessageBox &box) {
        QStringList names;
        for (const QAbstractButton *button : box.buttons())
            names << button->text();
        names.sort();
        return names;
    };
    if (buttons.isEmpty()) {
        QMessageBox qts;
        qts.setStandardButtons(dialog == "question" ? QMessageBox::Yes | QMessageBox::No
                               : dialog == "choice" ? QMessageBox::Cancel
                                                    : QMessageBox::Ok);
        buttons = texts(qts);
        if (dialog == "choice")
            buttons = QStringList{buttons.first(), "Weiter"};
        buttons.sort();
    }
    QtDialogs dialogs;
    QObject scope;
    QStringList shown;
    whenModal(&scope, [&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        shown = texts(*box);
        box->reject();
    });

    if (dialog == "question")
        dialogs.askYesNo(nullptr, "Discard?");
    else if (dialog == "choice")
        dialogs.askChoice(nullptr, "The log could not be written", "", {{"Weiter"}, {"", Dialogs::Role::Cancel}});
    else
        dialogs.inform(nullptr, "Done", dialog == "warning" ? Dialogs::Tone::Warning : Dialogs::Tone::Plain);
    QCOMPARE(shown, buttons);
}

QTEST_MAIN(QtDialogsTest)
#include "QtDialogsTest.moc"
