// The PE reader, the .ico writer and the decoder on files nobody here wrote: every PE
// DLL and EXE that Debian's wine installs, checked against icoutils.
// - group count: readIconResources against `wrestool -l -t14` for every file, and its
//   payloads as views of the file mapped against those read one by one;
// - .ico bytes: group i written by exportFileGroupsAsIco against `wrestool -x -t14` for
//   the i-th group, which appends 6 + 14 * count bytes (the group directory) after the
//   last image and is otherwise identical;
// - pixels: every image listFileIcons decodes against the PNG that `icotool -x` extracts
//   from that .ico.  32-bit DIBs and PNGs must match exactly.  For 1-, 4-, 8- and 24-bit
//   DIBs both apply the AND mask as alpha, and the colours match where the pixel is
//   opaque; where it is transparent icotool writes the palette colour too, so the whole
//   ARGB value matches as well.

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "ico/icoassembly.h"
#include "ico/iconlisting.h"
#include "pe/peresourcereader.h"

namespace {

const char* const kWineFolders[] = {
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows",
    "/usr/lib/x86_64-linux-gnu/wine/i386-windows",
    "/usr/lib/i386-linux-gnu/wine/i386-windows",
    // unpacked by tests/fetch-wine32-dlls.sh where the 32-bit wine is not installed
    GLYPHORA_BINARY_DIR "/wine32/i386-windows",
};

QByteArray run(const QString& program, const QStringList& args, bool* ok = nullptr)
{
    QProcess process;
    process.start(program, args);
    const bool finished = process.waitForFinished(60000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

QStringList wineFiles()
{
    QStringList files;
    for (const char* folder : kWineFolders) {
        QDir dir(QString::fromLatin1(folder));
        for (const QString& name : dir.entryList({"*.dll", "*.exe"}, QDir::Files, QDir::Name))
            files.append(dir.filePath(name));
    }
    return files;
}

struct WrestoolGroup
{
    QString name;      // as wrestool wants it: a number or the string
    QString language;
};

QList<WrestoolGroup> wrestoolGroups(const QString& file)
{
    QList<WrestoolGroup> groups;
    static const QRegularExpression line(
        QStringLiteral("^--type=14 --name=('?)(.*?)\\1 --language=(\\d+)"));
    const QByteArray out = run("wrestool", {"-l", "-t14", file});
    for (const QByteArray& text : out.split('\n')) {
        const auto match = line.match(QString::fromUtf8(text));
        if (match.hasMatch())
            groups.append({match.captured(2), match.captured(3)});
    }
    return groups;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_WineDlls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("wrestool").isEmpty()
            || QStandardPaths::findExecutable("icotool").isEmpty())
            QSKIP("icoutils is not installed");
        if (wineFiles().isEmpty())
            QSKIP("wine's PE libraries are not installed");
        // The reader's info and debug lines would drown the report.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\ndefault.info=false"));
    }

    // Every file, with or without icons.
    void groupCount()
    {
        int withGroups = 0;
        int groups = 0;
        QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        const QStringList files = wineFiles();
        for (const QString& file : files) {
            IconResourceSet set;
            readIconResources(file, set);
            const qsizetype expected = wrestoolGroups(file).size();
            QVERIFY2(set.groups.size() == expected,
                     qPrintable(QStringLiteral("%1: %2 groups, wrestool lists %3")
                                    .arg(file).arg(set.groups.size()).arg(expected)));
            IconResourceSet shared;
            readIconResources(file, shared, PayloadStorage::Shared);
            QVERIFY2(shared.icons == set.icons && shared.groups == set.groups && shared.groupNames == set.groupNames,
                     qPrintable(file));
            withGroups += expected > 0;
            groups += int(expected);
        }
        qInstallMessageHandler(previous);
        qInfo("%d files, %d with icon groups, %d groups", int(files.size()), withGroups, groups);
        QVERIFY(withGroups > 0);
    }

    void filesWithIcons_data()
    {
        QTest::addColumn<QString>("file");
        for (const QString& file : wineFiles()) {
            if (!wrestoolGroups(file).isEmpty())
                QTest::newRow(qPrintable(QFileInfo(file).fileName())) << file;
        }
    }

    void filesWithIcons()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QList<WrestoolGroup> groups = wrestoolGroups(file);
        QVERIFY(exportFileGroupsAsIco(file, dir.filePath("out.ico")));

        QList<IconGroupRecord> records;
        QVERIFY(IconListing::listFileIcons(file, records));
        QCOMPARE(records.size(), groups.size());

        int compared = 0;
        for (int i = 0; i < groups.size(); ++i) {
            const QString ours = IcoAssembly::groupOutputPath(dir.filePath("out.ico"), i, int(groups.size()));
            const QByteArray written = readFile(ours);
            bool ok = false;
            const QByteArray theirs = run("wrestool", {"-x", "-t14", "--name=" + groups.at(i).name,
                                                       "--language=" + groups.at(i).language, file}, &ok);
            QVERIFY(ok);
            const int count = uchar(written.at(4)) | uchar(written.at(5)) << 8;
            const qint64 appended = 6 + 14 * count;
            QVERIFY2(theirs.size() == written.size() + appended,
                     qPrintable(QStringLiteral("group %1: %2 bytes, wrestool %3").arg(i).arg(written.size()).arg(theirs.size())));
            QVERIFY2(theirs.left(written.size()) == written, qPrintable(QStringLiteral("group %1 differs").arg(i)));

            // Pixels: icotool's PNG of every entry against the decoded entry.
            const QString pngDir = dir.filePath(QStringLiteral("png%1").arg(i));
            QDir().mkpath(pngDir);
            run("icotool", {"-x", "-o", pngDir, ours}, &ok);
            QVERIFY(ok);
            const IconGroupRecord& record = records.at(i);
            QCOMPARE(record.entries.size(), count);
            // The .ico path reads the same images back through Qt and decodeModuleDib.
            QList<IconGroupRecord> fromIco;
            QVERIFY(IconListing::loadIcoFile(ours, fromIco));
            QCOMPARE(fromIco.size(), 1);
            QCOMPARE(fromIco.first().id, 0);
            QCOMPARE(fromIco.first().entries.size(), count);
            const QStringList pngs = QDir(pngDir).entryList({"*.png"}, QDir::Files);
            for (int j = 0; j < count; ++j) {
                // icotool names them BASE_INDEX_WxHxD.png, the index counting from 1.
                const QString tag = QStringLiteral("%1_%2_").arg(QFileInfo(ours).completeBaseName()).arg(j + 1);
                const auto png = std::find_if(pngs.cbegin(), pngs.cend(),
                                              [&](const QString& n) { return n.startsWith(tag); });
                QVERIFY2(png != pngs.cend(), qPrintable(QStringLiteral("group %1 entry %2: no PNG").arg(i).arg(j)));
                const QImage expected = QImage(QDir(pngDir).filePath(*png)).convertToFormat(QImage::Format_ARGB32);
                const QImage actual = record.entries.at(j).image.convertToFormat(QImage::Format_ARGB32);
                QCOMPARE(actual.size(), expected.size());
                const QImage viaIco = fromIco.first().entries.at(j).image.convertToFormat(QImage::Format_ARGB32);
                QVERIFY2(viaIco == expected,
                         qPrintable(QStringLiteral("group %1 entry %2 from the .ico differs from %3").arg(i).arg(j).arg(*png)));
                QVERIFY2(actual == expected,
                         qPrintable(QStringLiteral("group %1 entry %2 (%3 bits) differs from %4")
                                        .arg(i).arg(j).arg(record.entries.at(j).depth).arg(*png)));
                ++compared;
            }
        }
        qInfo("%d groups, %d images compared", int(groups.size()), compared);
    }
};

QTEST_GUILESS_MAIN(tst_WineDlls)
#include "tst_winedlls.moc"
