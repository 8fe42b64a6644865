// Real toolchain output: DLLs that mingw-w64's windres and gcc build at test time, i686
// (PE32) and x86_64 (PE32+), from a resource script whose icons the program's own
// encoder made.  windres copies the encoder's images into RT_ICONs and its directory
// into an RT_GROUP_ICON, so the group written back as an .ico must be the encoder's
// file byte for byte, and the reader must agree with wrestool on what the DLL holds.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "ico/icoassembly.h"
#include "ico/icoencoder.h"
#include "ico/iconlisting.h"
#include "pe/iconmodule.h"
#include "pe/peresourcereader.h"
#include "testfiles.h"

namespace {

bool run(const QString& program, const QStringList& args, const QString& dir, QByteArray* out = nullptr)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return false;
    if (out)
        *out = process.readAllStandardOutput();
    if (process.exitCode() != 0)
        qWarning("%s: %s", qPrintable(program), process.readAllStandardError().constData());
    return process.exitCode() == 0;
}

QImage picture(int seed)
{
    QImage image(256, 256, QImage::Format_ARGB32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            image.setPixel(x, y, qRgba((x + seed * 40) & 0xFF, (y * 2) & 0xFF, (x ^ y) & 0xFF,
                                       (x + y) / 2));
    return image;
}

} // namespace

class tst_MingwDlls : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\ndefault.info=false"));
        QVERIFY(IcoEncoder::writeIcoFromImage(picture(1), m_dir.filePath("one.ico")));
        QVERIFY(IcoEncoder::writeIcoFromImage(picture(2), m_dir.filePath("two.ico")));
        QFile rc(m_dir.filePath("icons.rc"));
        QVERIFY(rc.open(QIODevice::WriteOnly));
        rc.write("7 ICON \"one.ico\"\nAPPICON ICON \"two.ico\"\n");
        rc.close();
        QFile c(m_dir.filePath("stub.c"));
        QVERIFY(c.open(QIODevice::WriteOnly));
        c.write("int glyphora_fixture(void) { return 1; }\n");
    }

    void dll_data()
    {
        QTest::addColumn<QString>("triplet");
        QTest::addColumn<quint16>("magic");
        QTest::newRow("i686, PE32") << "i686-w64-mingw32" << quint16(0x10B);
        QTest::newRow("x86_64, PE32+") << "x86_64-w64-mingw32" << quint16(0x20B);
    }

    void dll()
    {
        QFETCH(QString, triplet);
        QFETCH(quint16, magic);
        const QString windres = QStandardPaths::findExecutable(triplet + "-windres");
        const QString gcc = QStandardPaths::findExecutable(triplet + "-gcc");
        if (windres.isEmpty() || gcc.isEmpty())
            QSKIP("mingw-w64 is not installed");
        const QString dir = m_dir.path();
        const QString dll = triplet + ".dll";
        QVERIFY(run(windres, {"-i", "icons.rc", "-o", triplet + ".o"}, dir));
        QVERIFY(run(gcc, {"-shared", "-o", dll, "stub.c", triplet + ".o"}, dir));
        const QString path = m_dir.filePath(dll);

        // The optional header's magic, read here independently of the reader.
        const QByteArray bytes = readFile(path);
        const int lfanew = *reinterpret_cast<const qint32*>(bytes.constData() + 0x3C);
        QCOMPARE(*reinterpret_cast<const quint16*>(bytes.constData() + lfanew + 24), magic);

        IconResourceSet set;
        QVERIFY(readIconResources(path, set));
        QCOMPARE(set.groups.size(), 2);
        // windres sorts names before IDs, as the loader expects.
        QCOMPARE(set.groupNames.at(0).name, QStringLiteral("APPICON"));
        QCOMPARE(set.groupNames.at(1).id, quint16(7));
        QCOMPARE(set.icons.size(), 14);

        QByteArray listing;
        QVERIFY(run("wrestool", {"-l", "-t14", path}, dir, &listing));
        QCOMPARE(int(listing.count('\n')), 2);

        // Back to .ico: the encoder's own files, byte for byte.
        QVERIFY(exportFileGroupsAsIco(path, m_dir.filePath(triplet + "-out.ico")));
        QCOMPARE(readFile(m_dir.filePath(triplet + "-out_0.ico")), readFile(m_dir.filePath("two.ico")));
        QCOMPARE(readFile(m_dir.filePath(triplet + "-out_1.ico")), readFile(m_dir.filePath("one.ico")));
        QVERIFY(exportModuleGroupAsIco(path, 7, m_dir.filePath(triplet + "-module.ico")));
        QCOMPARE(readFile(m_dir.filePath(triplet + "-module.ico")), readFile(m_dir.filePath("one.ico")));

        // The listings see the encoder's images.
        QList<IconGroupRecord> parsed;
        QVERIFY(IconListing::listFileIcons(path, parsed));
        QList<IconGroupRecord> fromIco;
        QVERIFY(IconListing::loadIcoFile(m_dir.filePath("one.ico"), fromIco));
        QCOMPARE(parsed.size(), 2);
        QCOMPARE(parsed.at(1).entries.size(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(parsed.at(1).entries.at(i).image.convertToFormat(QImage::Format_ARGB32),
                     fromIco.first().entries.at(i).image.convertToFormat(QImage::Format_ARGB32));
        }
        QCOMPARE(parsed.at(1).image.width(), 256);
        QList<IconGroupRecord> loaded;
        QVERIFY(IconListing::loadIconLibrary(path, loaded));
        QCOMPARE(loaded.size(), 1);  // the string-named group is not listed on this path
        QCOMPARE(loaded.first().id, 7);
        IconModule module(path);
        QCOMPARE(module.iconGroupNames().size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_MingwDlls)
#include "tst_mingwdlls.moc"
