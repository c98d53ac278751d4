#include "engine/RunSettings.h"
#include "ui/QtDialogs.h"
#include "ui/StartForm.h"

#include "SetupRig.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QAbstractItemView>
#include <QInputDialog>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <memory>

using namespace kpx;
using kpx::test::ScriptedDialogs;
using kpx::test::script;

// Cancel in a table of answers: the null text.
const QString Cancel;
using kpx::test::doubleClickItem;

namespace {

// A setup command by its name, found from its menu bar.
QAction *commandOf(QMenuBar *bar, const char *name)
{
    return bar->parentWidget()->findChild<QAction *>(QLatin1String(name));
}

class StartFormTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void menuAtStart();
    void startIsDisabledUntilTheFirstSubjectIdEntry();
    void subjectIdEntry_data();
    void subjectIdEntry();
    void subjectIdThatBreaksTheFilesIsRefusedAndAskedAgain();
    void cutoffEntry_data();
    void cutoffEntry();
    void thresholdEntry_data();
    void thresholdEntry();
    void thresholdCancelKeepsTheCurrentThreshold();
    void dialogsCarryTheirPromptTitleAndDefault_data();
    void dialogsCarryTheirPromptTitleAndDefault();
    void dir1OpensOnTheDocumentsFolder();
    void singleClickHighlightsAndDoubleClickOpens();
    void drive1MovesDir1ToAnotherDrive();
    void choosingTheDriveAlreadyShownKeepsTheDirectory();
    void missingDirectoryLeavesDir1EmptyAndNoDrive();
    void keyboardInTheMenuBarIsSeenWhereItIs_data();
    void keyboardInTheMenuBarIsSeenWhereItIs();

private:
    QAction *action(const char *name) const { return m_form->findChild<QAction *>(QLatin1String(name)); }
    QTreeWidget *dir1() const { return m_form->findChild<QTreeWidget *>(QStringLiteral("Dir1")); }
    QTreeWidgetItem *dir1Item(const QString &text) const;
    void clickMenu(const char *name);
    void chooseDrive(const QString &drive);

    QTemporaryDir m_home;
    QString m_documents;
    RunSettings m_settings;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<StartForm> m_form;
};

void StartFormTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral(".config"))));
    QDir home(m_home.path());
    QVERIFY(home.mkpath(QStringLiteral("Documents/alpha/inner")));
    QVERIFY(home.mkpath(QStringLiteral("Documents/beta")));
    m_documents = m_home.filePath(QStringLiteral("Documents"));
}

void StartFormTest::init()
{
    m_form.reset();
    m_settings = RunSettings{};
    m_dialogs = ScriptedDialogs();
    m_form = std::make_unique<StartForm>(m_settings, m_dialogs);
}

QTreeWidgetItem *StartFormTest::dir1Item(const QString &text) const
{
    const QList<QTreeWidgetItem *> items = dir1()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return items.size() == 1 ? items.first() : nullptr;
}

void StartFormTest::clickMenu(const char *name)
{
    QMenuBar *bar = m_form->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action(name)).center());
}

void StartFormTest::menuAtStart()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    const QList<QAction *> commands = m_form->menuBar()->actions();
    QStringList names;
    QStringList texts;
    for (QAction *command : commands) {
        // Only Language has sub-items: the languages.
        QCOMPARE(command->menu() != nullptr, command->objectName() == "LangCtrl");
        names << command->objectName();
        texts << command->text();
    }

    QCOMPARE(names, QStringList({"SIDCtrl", "CutCtrl", "DTThresh", "StartCtrl", "LangCtrl"}));
    QCOMPARE(texts, QStringList({"Subject ID", "Cutoff:1000", "DTT:20", "Start", "Language"}));
    QStringList languages;
    for (QAction *language : commands.last()->menu()->actions())
        languages << language->text() + (language->isChecked() ? " (chosen)" : "");
    QCOMPARE(languages, QStringList({"English (chosen)", "Deutsch", QString::fromUtf8("Español"), QString::fromUtf8("中文")}));
    QVERIFY(!action("StartCtrl")->isEnabled());
    QCOMPARE(m_form->windowTitle(), QStringLiteral("KPX-2"));
    QCOMPARE(m_form->findChild<QGroupBox *>(QStringLiteral("Frame1"))->title(), QStringLiteral("Output Directory"));
    // As designed, but wider where the commands need it to show in the bar.
    QCOMPARE(m_form->centralWidget()->height(), 288);
    QVERIFY(m_form->centralWidget()->width() >= 283);
    QCOMPARE(m_form->menuBar()->width(), std::max(283, m_form->menuBar()->sizeHint().width()));
}

void StartFormTest::startIsDisabledUntilTheFirstSubjectIdEntry()
{
    m_dialogs.texts = script({Cancel});
    int instructionsShown = 0;
    m_form->setShowInstructions([&] { ++instructionsShown; });
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));

    clickMenu("StartCtrl");
    QCOMPARE(instructionsShown, 0);

    clickMenu("SIDCtrl");
    clickMenu("StartCtrl");
    QCOMPARE(instructionsShown, 1);
}

void StartFormTest::subjectIdEntry_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("menuText");
    QTest::addColumn<QString>("subjectId");

    QTest::newRow("typed") << "S01" << "S01" << "S01";
    QTest::newRow("Cancel gives the empty text") << Cancel << "" << "";
    QTest::newRow("spaces kept") << " S 01 " << " S 01 " << " S 01 ";
    QTest::newRow("ampersand shown as typed") << "A&B" << "A&&B" << "A&B";
    QTest::newRow("commas, quotes, dash, Unicode kept") << QStringLiteral("-Smith, \"Zoë\" 😀")
                                                       << QStringLiteral("-Smith, \"Zoë\" 😀")
                                                       << QStringLiteral("-Smith, \"Zoë\" 😀");
    QTest::newRow("very long") << QString(10000, u'x') << QString(10000, u'x') << QString(10000, u'x');
}

void StartFormTest::subjectIdEntry()
{
    QFETCH(QString, answer);
    QFETCH(QString, menuText);
    QFETCH(QString, subjectId);
    m_dialogs.texts = script({answer});

    action("SIDCtrl")->trigger();

    QCOMPARE(action("SIDCtrl")->text(), menuText);
    QCOMPARE(QString::fromStdString(m_settings.SubjectId), subjectId);
    QVERIFY(action("StartCtrl")->isEnabled());
}

void StartFormTest::subjectIdThatBreaksTheFilesIsRefusedAndAskedAgain()
{
    m_dialogs.texts = script({"S\n01", "lab/S01", "S01"});

    action("SIDCtrl")->trigger();

    const QStringList notices = kpx::test::shownTexts(m_dialogs.messages);
    QCOMPARE(notices.size(), 2);
    QVERIFY2(notices[0].contains("line break") && notices[1].contains("'/'"), qPrintable(notices.join('\n')));
    QCOMPARE(m_dialogs.textCalls.size(), size_t(3));
    QCOMPARE(action("SIDCtrl")->text(), QString("S01"));
}

void StartFormTest::cutoffEntry_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("menuText");
    QTest::addColumn<int>("maxTrials");

    QTest::newRow("500") << "500" << "Cutoff: 500" << 500;
    QTest::newRow("0") << "0" << "Cutoff: 1000" << 1000;
    QTest::newRow("-3") << "-3" << "Cutoff: 1000" << 1000;
    QTest::newRow("2.5") << "2.5" << "Cutoff: 2" << 2;
    QTest::newRow("3.5") << "3.5" << "Cutoff: 4" << 4;
    QTest::newRow("Cancel") << Cancel << "Cutoff: 1000" << 1000;
    QTest::newRow("beyond 16 bits") << "40000" << "Cutoff: 1000" << 1000;
}

void StartFormTest::cutoffEntry()
{
    QFETCH(QString, answer);
    QFETCH(QString, menuText);
    QFETCH(int, maxTrials);
    m_dialogs.texts = script({answer});

    action("CutCtrl")->trigger();

    QCOMPARE(action("CutCtrl")->text(), menuText);
    QCOMPARE(m_settings.MaxTrials, maxTrials);
    QCOMPARE(m_dialogs.textCalls.size(), size_t(1));
}

void StartFormTest::thresholdEntry_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("menuText");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("dialogs");

    QTest::newRow("5 asks again") << QStringList{"5", "7"} << "DTT: 7" << 7 << 2;
    QTest::newRow("35 asks again") << QStringList{"35", "34"} << "DTT:34" << 34 << 2;
    QTest::newRow("6 keeps a space") << QStringList{"6"} << "DTT: 6" << 6 << 1;
    QTest::newRow("20.5 reads as 20") << QStringList{"20.5"} << "DTT:20" << 20 << 1;
    QTest::newRow("empty OK asks again") << QStringList{"", "25"} << "DTT:25" << 25 << 2;
    QTest::newRow("16-bit wrap asks again") << QStringList{"65542", "12"} << "DTT:12" << 12 << 2;
    QTest::newRow("letters, then Cancel") << QStringList{"abc", Cancel} << "DTT:20" << 20 << 2;
    QTest::newRow("Cancel") << QStringList{Cancel} << "DTT:20" << 20 << 1;
}

void StartFormTest::thresholdEntry()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, menuText);
    QFETCH(int, threshold);
    QFETCH(int, dialogs);
    m_dialogs.texts = script(answers);

    action("DTThresh")->trigger();

    QCOMPARE(action("DTThresh")->text(), menuText);
    QCOMPARE(m_settings.DistractorThreshold, threshold);
    QCOMPARE(m_dialogs.textCalls.size(), size_t(dialogs));
    for (const ScriptedDialogs::TextCall &call : std::as_const(m_dialogs.textCalls))
        QCOMPARE(call.defaultText, std::string("20"));
}

void StartFormTest::thresholdCancelKeepsTheCurrentThreshold()
{
    m_dialogs.texts = script({"12", "40", Cancel});

    action("DTThresh")->trigger();
    action("DTThresh")->trigger();

    QCOMPARE(m_settings.DistractorThreshold, 12);
    QCOMPARE(action("DTThresh")->text(), QStringLiteral("DTT:12"));
    QCOMPARE(m_dialogs.textCalls.size(), size_t(3));
}

void StartFormTest::dialogsCarryTheirPromptTitleAndDefault_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("defaultText");

    QTest::newRow("Subject ID") << "SIDCtrl" << "Enter Subject ID" << "KPX2" << "";
    QTest::newRow("Cutoff") << "CutCtrl" << "Enter maximum number of trials" << "Cutoff Value" << "";
    QTest::newRow("threshold")
        << "DTThresh" << "Enter threshold for distractor trials. Possible values are 10, 15, 20, 25, and 30."
        << "Set Distractor Threshold" << "20";
}

void StartFormTest::dialogsCarryTheirPromptTitleAndDefault()
{
    QFETCH(QString, command);
    QFETCH(QString, prompt);
    QFETCH(QString, title);
    QFETCH(QString, defaultText);
    QtDialogs realDialogs;
    StartForm form(m_settings, realDialogs);
    form.show();
    QString seenPrompt;
    QString seenTitle;
    QString seenDefault = QStringLiteral("never shown");
    // The real dialog: read it while it is up, then cancel it.
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
            seenPrompt = dialog->labelText();
            seenTitle = dialog->windowTitle();
            seenDefault = dialog->textValue();
            dialog->reject();
        }
    });
    watcher.start(1);

    form.findChild<QAction *>(command)->trigger();

    QCOMPARE(seenPrompt, prompt);
    QCOMPARE(seenTitle, title);
    QCOMPARE(seenDefault, defaultText);
}

void StartFormTest::dir1OpensOnTheDocumentsFolder()
{
    QCOMPARE(QString::fromStdString(m_settings.OutputDirectory), m_documents);
    QCOMPARE(m_form->directory(), m_documents);

    QTreeWidgetItem *open = dir1()->currentItem();
    QCOMPARE(open->text(0), QStringLiteral("Documents"));
    QCOMPARE(open->childCount(), 2);
    QCOMPARE(open->child(0)->text(0), QStringLiteral("alpha"));
    QCOMPARE(open->child(1)->text(0), QStringLiteral("beta"));
    // Its parents above it, up to the root.
    QTreeWidgetItem *top = open;
    while (top->parent())
        top = top->parent();
    QCOMPARE(top->text(0), QStringLiteral("/"));
    QCOMPARE(open->parent()->text(0), QDir(m_home.path()).dirName());
}

void StartFormTest::singleClickHighlightsAndDoubleClickOpens()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QTreeWidgetItem *alpha = dir1Item(QStringLiteral("alpha"));
    QVERIFY(alpha);

    QTest::mouseClick(dir1()->viewport(), Qt::LeftButton, {}, dir1()->visualItemRect(alpha).center());
    QCOMPARE(dir1()->currentItem(), alpha);
    QCOMPARE(QString::fromStdString(m_settings.OutputDirectory), m_documents);

    doubleClickItem(dir1(), alpha);
    const QString alphaPath = m_documents + QStringLiteral("/alpha");
    QCOMPARE(QString::fromStdString(m_settings.OutputDirectory), alphaPath);
    QCOMPARE(dir1()->currentItem()->text(0), QStringLiteral("alpha"));
    QCOMPARE(dir1()->currentItem()->child(0)->text(0), QStringLiteral("inner"));

    // A parent above the open directory opens the same way.
    QTreeWidgetItem *documents = dir1Item(QStringLiteral("Documents"));
    doubleClickItem(dir1(), documents);
    QCOMPARE(QString::fromStdString(m_settings.OutputDirectory), m_documents);
}

void StartFormTest::chooseDrive(const QString &drive)
{
    // As the experimenter does: open the list, move to the drive, press Return.
    auto *drive1 = m_form->findChild<QComboBox *>(QStringLiteral("Drive1"));
    const int index = drive1->findText(drive);
    QVERIFY(index >= 0);
    drive1->showPopup();
    QTRY_VERIFY(drive1->view()->isVisible());
    drive1->view()->setCurrentIndex(drive1->model()->index(index, 0));
    QTest::keyClick(drive1->view(), Qt::Key_Return);
    QTRY_VERIFY(!drive1->view()->isVisible());
}

void StartFormTest::drive1MovesDir1ToAnotherDrive()
{
    m_form->show();
    m_form->setDirectory(m_home.filePath(QStringLiteral("no such folder")));

    chooseDrive(QStringLiteral("/"));

    QCOMPARE(QString::fromStdString(m_settings.OutputDirectory), QStringLiteral("/"));
    QCOMPARE(dir1()->currentItem()->text(0), QStringLiteral("/"));
    QVERIFY(dir1Item(QStringLiteral("tmp")));
}

void StartFormTest::choosingTheDriveAlreadyShownKeepsTheDirectory()
{
    m_form->show();
    const QString alpha = m_documents + QStringLiteral("/alpha");
    m_form->setDirectory(alpha);
    const QString shown = m_form->findChild<QComboBox *>(QStringLiteral("Drive1"))->currentText();
    QVERIFY(!shown.isEmpty());

    chooseDrive(shown);

    QCOMPARE(QString::fromStdString(m_settings.OutputDirectory), alpha);
    QCOMPARE(dir1()->currentItem()->text(0), QStringLiteral("alpha"));
}

void StartFormTest::missingDirectoryLeavesDir1EmptyAndNoDrive()
{
    const QString missing = m_home.filePath(QStringLiteral("no such folder"));

    m_form->setDirectory(missing);

    QCOMPARE(QString::fromStdString(m_settings.OutputDirectory), missing);
    QCOMPARE(dir1()->topLevelItemCount(), 0);
    // With no drive shown, any drive the experimenter chooses is a change that leads out.
    QCOMPARE(m_form->findChild<QComboBox *>(QStringLiteral("Drive1"))->currentIndex(), -1);
}

void StartFormTest::keyboardInTheMenuBarIsSeenWhereItIs_data()
{
    QTest::addColumn<Qt::Key>("enter");

    QTest::newRow("Alt") << Qt::Key_Alt;
    QTest::newRow("F10") << Qt::Key_F10;
}

void StartFormTest::keyboardInTheMenuBarIsSeenWhereItIs()
{
    QFETCH(Qt::Key, enter);
    m_dialogs.texts = script({Cancel});
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    auto *drive1 = m_form->findChild<QComboBox *>(QStringLiteral("Drive1"));
    drive1->setFocus();
    QMenuBar *bar = m_form->menuBar();
    // How much of a command's place is painted in the highlight colour.
    auto marked = [bar](const char *name) {
        const QImage image = bar->grab(bar->actionGeometry(commandOf(bar, name))).toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y).rgb() == bar->palette().color(QPalette::Highlight).rgb();
        return count * 2 > image.width() * image.height();
    };
    QVERIFY(!marked("SIDCtrl"));

    QTest::keyClick(m_form->windowHandle(), enter);
    QCOMPARE(bar->activeAction(), action("SIDCtrl"));
    QVERIFY(marked("SIDCtrl"));

    QTest::keyClick(m_form->windowHandle(), Qt::Key_Right);
    QVERIFY(!marked("SIDCtrl"));
    QVERIFY(marked("CutCtrl"));

    QTest::keyClick(m_form->windowHandle(), Qt::Key_Right);
    QTest::keyClick(m_form->windowHandle(), Qt::Key_Return);
    QCOMPARE(m_dialogs.textCalls.size(), size_t(1));
    QCOMPARE(m_dialogs.textCalls.front().title, std::string("Set Distractor Threshold"));
    QVERIFY(!marked("DTThresh"));
    QTRY_COMPARE(QApplication::focusWidget(), drive1);
}

} // namespace

QTEST_MAIN(StartFormTest)
#include "StartFormTest.moc"
