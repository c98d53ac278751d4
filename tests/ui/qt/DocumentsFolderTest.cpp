#include "ui/DocumentsFolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace kpx;

namespace {

class DocumentsFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void documentsFolderIsEmptyUntilItExists();
};

void DocumentsFolderTest::documentsFolderIsEmptyUntilItExists()
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

QTEST_GUILESS_MAIN(DocumentsFolderTest)
#include "DocumentsFolderTest.moc"
