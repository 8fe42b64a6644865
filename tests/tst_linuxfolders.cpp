#include <QtTest>

#include "kvglobal.h"
#include "linuxplatform.h"

// Where the Linux build looks for the Windows folders: a wine prefix first, then the
// folder of Debian's wine DLLs, else nothing.
class TestLinuxFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void prefixWins();
    void fallsBackToWineDlls();
    void wellKnownFolders();
};

void TestLinuxFolders::prefixWins()
{
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("drive_c/windows/system32")));
    qputenv("WINEPREFIX", prefix.path().toLocal8Bit());
    QCOMPARE(KvGlobal::systemDirectory(), QDir::toNativeSeparators(prefix.path() + QStringLiteral("/drive_c/windows/system32")));
    QCOMPARE(KvGlobal::windowsDirectory(), QDir::toNativeSeparators(prefix.path() + QStringLiteral("/drive_c/windows")));
    qunsetenv("WINEPREFIX");
}

void TestLinuxFolders::fallsBackToWineDlls()
{
    QTemporaryDir empty;
    qputenv("WINEPREFIX", (empty.path() + QStringLiteral("/none")).toLocal8Bit());
    const bool wineInstalled = QFileInfo(QString::fromLatin1(linuxplatform::kWineDllFolder)).isDir();
    if (wineInstalled) {
        QCOMPARE(KvGlobal::systemDirectory(), QString::fromLatin1(linuxplatform::kWineDllFolder));
        QCOMPARE(KvGlobal::windowsDirectory(), QString::fromLatin1(linuxplatform::kWineDllFolder));
    } else {
        QTest::ignoreMessage(QtDebugMsg, "GetSystemDirectory");
        QVERIFY(KvGlobal::systemDirectory().isEmpty());
        QTest::ignoreMessage(QtDebugMsg, "GetWindowsDirectory");
        QVERIFY(KvGlobal::windowsDirectory().isEmpty());
    }
    qunsetenv("WINEPREFIX");
}

void TestLinuxFolders::wellKnownFolders()
{
    // The test's HOME is a throwaway folder; the answers follow it.
    QVERIFY(KvGlobal::documentsFolder().startsWith(QDir::homePath()));
    QVERIFY(KvGlobal::picturesFolder().startsWith(QDir::homePath()));
}

QTEST_GUILESS_MAIN(TestLinuxFolders)
#include "tst_linuxfolders.moc"
