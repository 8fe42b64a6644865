// Group-to-ICO assembly and both exports: the directory and offsets written, the file
// names, the log lines, and that a failure never leaves a partial file or harms an old one.

#include <QTemporaryDir>
#include <QtTest>

#include "ico/icoassembly.h"
#include "pewriter.h"
#include "testfiles.h"
#include "testicons.h"

namespace {

quint32 u32(const QByteArray& b, int at)
{
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16
        | quint32(uchar(b[at + 3])) << 24;
}

} // namespace

class tst_IcoAssembly : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void layout()
    {
        // Payloads of 2216 and 1128 bytes: 6 + 32 bytes of directory, then offsets 38 and 2254.
        const QByteArray a(2216, 'a');
        const QByteArray b = TestIcons::patternDib(16, 16);
        QCOMPARE(b.size(), 1128);
        const QMap<quint16, QByteArray> icons{{10, a}, {11, b}};
        const QByteArray group = PeWriter::groupPayload({{32, 32, 8, 2216, 10}, {16, 16, 32, 1128, 11}});
        const QString path = m_dir.filePath("layout.ico");
        QTest::ignoreMessage(QtInfoMsg, "Found 2 icon images in the group to extract.");
        QTest::ignoreMessage(QtInfoMsg, qPrintable("Successfully saved icon (containing 2 formats) to " + path));
        QVERIFY(writeGroupAsIco(group, icons, path));
        const QByteArray ico = readFile(path);
        QCOMPARE(ico.size(), 38 + 2216 + 1128);
        QCOMPARE(ico.left(6), QByteArray("\0\0\1\0\2\0", 6));
        // The first 8 bytes of each entry are the group's; then length and offset.
        QCOMPARE(ico.mid(6, 8), group.mid(6, 8));
        QCOMPARE(u32(ico, 6 + 8), 2216u);
        QCOMPARE(u32(ico, 6 + 12), 38u);
        QCOMPARE(u32(ico, 22 + 8), 1128u);
        QCOMPARE(u32(ico, 22 + 12), 2254u);
        QCOMPARE(ico.mid(38, 2216), a);
        QCOMPARE(ico.mid(2254), b);
    }

    void sizeMismatchWarns()
    {
        const QMap<quint16, QByteArray> icons{{1, QByteArray(2216, 'x')}};
        const QByteArray group = PeWriter::groupPayload({{32, 32, 32, 2220, 1}});
        QTest::ignoreMessage(QtWarningMsg, "Warning: Data size mismatch for icon ID 1 . Stored size: 2220 , Actual QByteArray size: 2216");
        const QString path = m_dir.filePath("mismatch.ico");
        QVERIFY(writeGroupAsIco(group, icons, path));
        QCOMPARE(u32(readFile(path), 6 + 8), 2216u);
    }

    void countZero()
    {
        const QString path = m_dir.filePath("empty.ico");
        QVERIFY(writeGroupAsIco(PeWriter::groupPayload({}), {}, path));
        QCOMPARE(readFile(path), QByteArray("\0\0\1\0\0\0", 6));
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("group");
        QTest::addColumn<QString>("message");
        QTest::newRow("shorter than the header") << QByteArray(5, '\0')
            << "Error: Group Icon data is too small to contain the GRPICONDIR header.";
        QTest::newRow("type 2 (cursor)") << PeWriter::groupPayload({{16, 16, 32, 4, 1}}, 2)
            << "Error: Group Icon type is not 1 (Icon).";
        QByteArray forty = PeWriter::groupPayload({{16, 16, 32, 4, 1}, {16, 16, 32, 4, 1}, {16, 16, 32, 4, 1}});
        forty.truncate(40);
        forty[4] = 4;
        QTest::newRow("4 entries in 40 bytes") << forty
            << "Error: Group Icon data size mismatch. Expected 62 bytes but got 40 bytes. The count or the image data extraction is likely wrong.";
        QTest::newRow("missing RT_ICON") << PeWriter::groupPayload({{16, 16, 32, 4, 1}, {16, 16, 32, 4, 99}})
            << "Error: Missing RT_ICON resource for ID 99 . Cannot complete ICO file.";
    }

    // No file is created, and a file already there keeps its bytes.
    void refused()
    {
        QFETCH(QByteArray, group);
        QFETCH(QString, message);
        const QMap<quint16, QByteArray> icons{{1, "data"}};
        const QString fresh = m_dir.filePath(QStringLiteral("fresh-%1.ico").arg(QTest::currentDataTag()));
        const bool counted = message.contains("Missing");
        QTest::ignoreMessage(QtCriticalMsg, qPrintable(message));
        if (counted)
            QTest::ignoreMessage(QtInfoMsg, QRegularExpression("^Found "));
        QVERIFY(!writeGroupAsIco(group, icons, fresh));
        QVERIFY(!QFile::exists(fresh));
        const QString old = m_dir.filePath("old.ico");
        QVERIFY(writeFile(old, "old bytes"));
        QTest::ignoreMessage(QtCriticalMsg, qPrintable(message));
        if (counted)
            QTest::ignoreMessage(QtInfoMsg, QRegularExpression("^Found "));
        QVERIFY(!writeGroupAsIco(group, icons, old));
        QCOMPARE(readFile(old), QByteArray("old bytes"));
    }

    void unwritableFolder()
    {
        const QString path = m_dir.filePath("no/such/folder/x.ico");
        QTest::ignoreMessage(QtInfoMsg, "Found 0 icon images in the group to extract.");
        QTest::ignoreMessage(QtCriticalMsg, qPrintable("Error: Could not open output file '" + path + "' for writing."));
        QVERIFY(!writeGroupAsIco(PeWriter::groupPayload({}), {}, path));
    }

    void outputNames_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one group") << "C:/out/shell.ico" << 0 << 1 << "C:/out/shell.ico";
        QTest::newRow("three groups, first") << "C:/out/shell.ico" << 0 << 3 << "C:/out/shell_0.ico";
        QTest::newRow("three groups, last") << "C:/out/shell.ico" << 2 << 3 << "C:/out/shell_2.ico";
        QTest::newRow("no dot") << "/tmp/out" << 1 << 2 << "/tmp/out_1.ico";
        QTest::newRow("last dot only") << "/tmp/a.b.ico" << 1 << 2 << "/tmp/a.b_1.ico";
    }

    void outputNames()
    {
        QFETCH(QString, output);
        QFETCH(int, index);
        QFETCH(int, count);
        QFETCH(QString, expected);
        QCOMPARE(IcoAssembly::groupOutputPath(output, index, count), expected);
    }

    void exportFileGroups_data()
    {
        QTest::addColumn<int>("groups");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("one group writes a.ico") << 1 << QStringList{"a.ico"};
        QTest::newRow("two groups write a_0 and a_1, never a.ico") << 2 << QStringList{"a_0.ico", "a_1.ico"};
    }

    void exportFileGroups()
    {
        QFETCH(int, groups);
        QFETCH(QStringList, files);
        QTemporaryDir out;
        PeWriter pe(PeWriter::Format::Pe32Plus);
        pe.addIcon(1, TestIcons::patternDib(16, 16, 1));
        pe.addIcon(2, TestIcons::patternDib(32, 32, 2));
        for (int g = 0; g < groups; ++g)
            pe.addGroup(PeWriter::Name::fromId(quint32(g + 1)),
                        PeWriter::groupPayload({{16, 16, 32, 1128, 1}, {32, 32, 32, 4264, quint16(2 - g)}}));
        const QString source = out.filePath("lib.dll");
        QVERIFY(writeFile(source, pe.build()));
        QVERIFY(exportFileGroupsAsIco(source, out.filePath("a.ico")));
        QStringList written = QDir(out.path()).entryList({"*.ico"}, QDir::Files, QDir::Name);
        QCOMPARE(written, files);
        const QByteArray last = readFile(out.filePath(files.last()));
        QCOMPARE(last.size(), 6 + 32 + 1128 + (groups == 1 ? 4264 : 1128));
    }

    void exportFailures()
    {
        QTemporaryDir out;
        // RT_ICONs under string names: the icon map is empty.
        PeWriter named;
        named.add(PeWriter::Name::fromId(3), PeWriter::Name::fromString("IMG"), "abc");
        named.addGroup(PeWriter::Name::fromId(1), PeWriter::groupPayload({{16, 16, 32, 3, 1}}));
        QVERIFY(writeFile(out.filePath("named.dll"), named.build()));
        QTest::ignoreMessage(QtInfoMsg, "No complete icon resource found (missing RT_ICON or RT_GROUP_ICON).");
        QVERIFY(!exportFileGroupsAsIco(out.filePath("named.dll"), out.filePath("n.ico")));
        // One of two groups names a missing icon: the other is written, the result is false.
        PeWriter half;
        half.addIcon(1, "one");
        half.addGroup(PeWriter::Name::fromId(1), PeWriter::groupPayload({{16, 16, 32, 3, 1}}));
        half.addGroup(PeWriter::Name::fromId(2), PeWriter::groupPayload({{16, 16, 32, 3, 5}}));
        QVERIFY(writeFile(out.filePath("half.dll"), half.build()));
        QTest::ignoreMessage(QtCriticalMsg, "Error: Missing RT_ICON resource for ID 5 . Cannot complete ICO file.");
        QVERIFY(!exportFileGroupsAsIco(out.filePath("half.dll"), out.filePath("h.ico")));
        QVERIFY(QFile::exists(out.filePath("h_0.ico")));
        QVERIFY(!QFile::exists(out.filePath("h_1.ico")));
        // Not a PE file.
        QVERIFY(writeFile(out.filePath("text.dll"), "just text"));
        QTest::ignoreMessage(QtCriticalMsg, "Error: Not a valid PE file (missing MZ signature).");
        QVERIFY(!exportFileGroupsAsIco(out.filePath("text.dll"), out.filePath("t.ico")));
        QVERIFY(QDir(out.path()).entryList({"t*.ico"}).isEmpty());
    }

    void exportModuleGroup()
    {
        QTemporaryDir out;
        PeWriter pe;
        pe.addIcon(1, TestIcons::patternDib(16, 16, 1));
        pe.addIcon(2, TestIcons::patternDib(32, 32, 2));
        const QByteArray group = PeWriter::groupPayload({{16, 16, 32, 1128, 1}, {32, 32, 32, 4264, 2}});
        pe.addGroup(PeWriter::Name::fromId(7), group);
        pe.addGroup(PeWriter::Name::fromId(8), PeWriter::groupPayload({{16, 16, 32, 1, 3}}));
        QByteArray shortGroup = PeWriter::groupPayload({{16, 16, 32, 1128, 1}});
        shortGroup[4] = 9;  // 9 entries claimed, one present
        pe.addGroup(PeWriter::Name::fromId(9), shortGroup);
        const QString lib = out.filePath("lib.dll");
        QVERIFY(writeFile(lib, pe.build()));
        // The same bytes as the parsed-file writer gives.
        const QString a = out.filePath("module.ico");
        QVERIFY(exportModuleGroupAsIco(lib, 7, a));
        const QString b = out.filePath("file.ico");
        QVERIFY(writeGroupAsIco(group, {{1, TestIcons::patternDib(16, 16, 1)}, {2, TestIcons::patternDib(32, 32, 2)}}, b));
        QCOMPARE(readFile(a), readFile(b));
        // A missing icon, a missing group, a count beyond the payload: no file at all.
        QVERIFY(!exportModuleGroupAsIco(lib, 8, out.filePath("m8.ico")));
        QVERIFY(!exportModuleGroupAsIco(lib, 99, out.filePath("m99.ico")));
        QVERIFY(!exportModuleGroupAsIco(lib, 9, out.filePath("m9.ico")));
        QVERIFY(!QFile::exists(out.filePath("m8.ico")));
        QVERIFY(!QFile::exists(out.filePath("m9.ico")));
        QVERIFY(!exportModuleGroupAsIco(out.filePath("none.dll"), 7, out.filePath("none.ico")));
    }
};

QTEST_GUILESS_MAIN(tst_IcoAssembly)
#include "tst_icoassembly.moc"
