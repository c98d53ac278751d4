#include "ui/DocumentsFolder.h"
#include "ui/SettingsEntry.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace kpx;

namespace {

class SettingsEntryTest : public QObject
{
    Q_OBJECT

private slots:
    void cutoffEntryGivesMaxTrials_data();
    void cutoffEntryGivesMaxTrials();
    void thresholdEntryIsAcceptedOrAskedAgain_data();
    void thresholdEntryIsAcceptedOrAskedAgain();
    void documentsFolderIsEmptyUntilItExists();
};

void SettingsEntryTest::cutoffEntryGivesMaxTrials_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("maxTrials");

    QTest::newRow("2.5 rounds to even 2") << "2.5" << 2;
    QTest::newRow("3.5 rounds to even 4") << "3.5" << 4;
    QTest::newRow("empty, as from Cancel") << "" << 1000;
    QTest::newRow("spaces only") << "   " << 1000;
    QTest::newRow("spaces around a number") << " 12 " << 12;
    QTest::newRow("letters") << "abc" << 1000;
    QTest::newRow("digits then letters") << "12abc" << 1000;
    QTest::newRow("exponent") << "2e2" << 200;
    QTest::newRow("minus zero") << "-0" << 1000;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("plus sign") << "+8" << 8;
    QTest::newRow("decimal comma is not a number") << "20,5" << 1000;
    QTest::newRow("0.4 rounds to nothing") << "0.4" << 1000;
    QTest::newRow("0.6 rounds to 1") << "0.6" << 1;
    QTest::newRow("largest 16-bit") << "32767" << 32767;
    QTest::newRow("32767.5 rounds beyond 16 bits") << "32767.5" << 1000;
    QTest::newRow("32768") << "32768" << 1000;
    QTest::newRow("beyond 32 bits") << "99999999999" << 1000;
    QTest::newRow("beyond a double") << "1e400" << 1000;
    QTest::newRow("400 digits") << "1" + QString(400, u'0') << 1000;
    QTest::newRow("very long text") << QString(100000, u'x') << 1000;
    QTest::newRow("infinity spelt out") << "inf" << 1000;
    QTest::newRow("not a number spelt out") << "nan" << 1000;
    QTest::newRow("group separator") << "1,000" << 1000;
    QTest::newRow("hexadecimal") << "0x10" << 1000;
    QTest::newRow("digits of another script") << QStringLiteral("\u0663") << 1000;
}

void SettingsEntryTest::cutoffEntryGivesMaxTrials()
{
    QFETCH(QString, entry);
    QFETCH(int, maxTrials);

    QCOMPARE(maxTrialsFromEntry(entry), maxTrials);
}

void SettingsEntryTest::thresholdEntryIsAcceptedOrAskedAgain_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("threshold");

    // No threshold is 0, so 0 stands for "asked again".
    const int again = 0;
    QTest::newRow("7, not named in the prompt") << "7" << 7;
    QTest::newRow("34") << "34" << 34;
    QTest::newRow("5.5 rounds to even 6") << "5.5" << 6;
    QTest::newRow("34.5 rounds to even 34") << "34.5" << 34;
    QTest::newRow("34.51 rounds to 35") << "34.51" << again;
    QTest::newRow("empty") << "" << again;
    QTest::newRow("spaces only") << "  " << again;
    QTest::newRow("letters") << "twenty" << again;
    QTest::newRow("1e3") << "1e3" << again;
    QTest::newRow("1e1") << "1e1" << 10;
    QTest::newRow("fraction with exponent") << "1.5e+1" << 15;
    QTest::newRow("signed bare fraction with exponent") << "+.6e1" << 6;
    QTest::newRow("minus zero") << "-0" << again;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("decimal comma") << "20,5" << again;
    QTest::newRow("65542 would wrap to 6 in 16 bits") << "65542" << again;
    QTest::newRow("-65530 would wrap to 6 in 16 bits") << "-65530" << again;
    QTest::newRow("beyond a double") << "-1e400" << again;
    QTest::newRow("very long digits") << QString(5000, u'2') << again;
}

void SettingsEntryTest::thresholdEntryIsAcceptedOrAskedAgain()
{
    QFETCH(QString, entry);
    QFETCH(int, threshold);

    QCOMPARE(distractorThresholdFromEntry(entry).value_or(0), threshold);
}

void SettingsEntryTest::documentsFolderIsEmptyUntilItExists()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));

    QCOMPARE(GetDocumentsFolder(), QString());

    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Documents")));
    QCOMPARE(GetDocumentsFolder(), home.filePath(QStringLiteral("Documents")));
    QCOMPARE(GetSpecialFolder(CSIDL_PERSONAL + 1, SHGFP_TYPE_CURRENT), QString());
}

} // namespace

QTEST_GUILESS_MAIN(SettingsEntryTest)
#include "SettingsEntryTest.moc"
