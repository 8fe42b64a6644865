// The PE resource reader on files built here (both formats, every stored-order rule of
// the walk, broken headers, truncations and hostile directories).

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include "pe/peresourcereader.h"
#include "pewriter.h"
#include "testfiles.h"
#include "testicons.h"

using PeResourceReader::Section;

class tst_PeResourceReader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        if (!::writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static bool readBytes(const QByteArray& bytes, IconResourceSet& set)
    {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        return readIconResources(buffer, set);
    }

    // A file with two groups (an ID and a string name) and three icons.
    static PeWriter sampleWriter(PeWriter::Format format)
    {
        PeWriter pe(format);
        pe.addIcon(1, TestIcons::patternDib(16, 16, 1));
        pe.addIcon(2, TestIcons::patternDib(32, 32, 2));
        pe.addIcon(7, TestIcons::patternDib(48, 48, 3));
        pe.addGroup(PeWriter::Name::fromString(QStringLiteral("MAINICON")),
                    PeWriter::groupPayload({{16, 16, 32, 1128, 1}, {32, 32, 32, 4264, 2}}));
        pe.addGroup(PeWriter::Name::fromId(5), PeWriter::groupPayload({{48, 48, 32, 9640, 7}}));
        return pe;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void mapRva_data()
    {
        QTest::addColumn<quint32>("rva");
        QTest::addColumn<qint64>("expected");  // -1: unmapped
        QTest::newRow("first byte of .text") << 0x1000u << qint64(0x200);
        QTest::newRow("last byte of .text") << 0x10FFu << qint64(0x2FF);
        QTest::newRow("one past .text") << 0x1100u << qint64(-1);
        QTest::newRow("inside .rsrc") << 0x2010u << qint64(0x410);
        QTest::newRow("below every section") << 0x10u << qint64(-1);
        QTest::newRow("maps to offset 0") << 0x3000u << qint64(-1);
        QTest::newRow("end of the address space, no wrap") << 0xFFFFFFF0u << qint64(0xFFFFFFF0ll - 0xFFFFFF00ll + 0x800);
    }

    void mapRva()
    {
        QFETCH(quint32, rva);
        QFETCH(qint64, expected);
        const QList<Section> sections{{0x100, 0x1000, 0x200}, {0x800, 0x2000, 0x400},
                                      {0x100, 0x3000, 0}, {0x100, 0xFFFFFF00u, 0x800}};
        const auto offset = PeResourceReader::mapRva(rva, sections);
        QCOMPARE(offset.value_or(-1), expected);
    }

    void bothFormats_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("PE32") << int(PeWriter::Format::Pe32);
        QTest::newRow("PE32+") << int(PeWriter::Format::Pe32Plus);
    }

    void bothFormats()
    {
        QFETCH(int, format);
        PeWriter pe = sampleWriter(PeWriter::Format(format));
        const QString path = writeFile(QStringLiteral("sample%1.dll").arg(format), pe.build());
        IconResourceSet set;
        QVERIFY(readIconResources(path, set));
        QCOMPARE(set.icons.keys(), (QList<quint16>{1, 2, 7}));
        QCOMPARE(set.icons.value(2), TestIcons::patternDib(32, 32, 2));
        QCOMPARE(set.groups.size(), 2);
        // Directory order, string-named group first as it was stored, with its name kept.
        QCOMPARE(set.groupNames.at(0).isId, false);
        QCOMPARE(set.groupNames.at(0).name, QStringLiteral("MAINICON"));
        QCOMPARE(set.groupNames.at(1).id, quint16(5));
        QCOMPARE(set.groups.at(1), PeWriter::groupPayload({{48, 48, 32, 9640, 7}}));
    }

    void walkRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::newRow("string-named icon dropped") << "stringIcon";
        QTest::newRow("first language only") << "languages";
        QTest::newRow("duplicate RT_ICON ID, last wins") << "duplicate";
        QTest::newRow("unmapped data RVA skipped") << "unmapped";
        QTest::newRow("named type never matches") << "namedType";
        QTest::newRow("other types ignored") << "otherTypes";
    }

    void walkRules()
    {
        QFETCH(QString, rule);
        PeWriter pe;
        IconResourceSet set;
        if (rule == "stringIcon") {
            pe.add(PeWriter::Name::fromId(3), PeWriter::Name::fromString("IMG"), "abc");
            pe.addIcon(4, "four");
            QVERIFY(readBytes(pe.build(), set));
            QCOMPARE(set.icons.keys(), QList<quint16>{4});
        } else if (rule == "languages") {
            pe.add(PeWriter::Name::fromId(3), PeWriter::Name::fromId(9), "german", 0x407);
            pe.add(PeWriter::Name::fromId(3), PeWriter::Name::fromId(9), "english", 0x409);
            pe.add(PeWriter::Name::fromId(14), PeWriter::Name::fromId(1), "g-first", 0x40C);
            pe.add(PeWriter::Name::fromId(14), PeWriter::Name::fromId(1), "g-second", 0x409);
            QVERIFY(readBytes(pe.build(), set));
            QCOMPARE(set.icons.value(9), QByteArray("german"));
            QCOMPARE(set.groups, QList<QByteArray>{"g-first"});
        } else if (rule == "duplicate") {
            pe.addIcon(3, "first");
            pe.addIcon(5, "other");
            pe.addIcon(3, "second");
            // The writer keeps one name node per ID, so the second payload would be a
            // second language: build two name entries by hand-patching the IDs instead.
            PeWriter twin;
            twin.addIcon(3, "first");
            twin.addIcon(4, "second");
            QByteArray bytes = twin.build();
            // The second name entry of the RT_ICON type directory: root (16 + 8) then the
            // type directory header (16) and its first entry (8).
            const qint64 secondName = twin.resourceStart() + 24 + 16 + 8;
            QCOMPARE(uchar(bytes.at(secondName)), uchar(4));
            bytes[secondName] = char(3);
            QVERIFY(readBytes(bytes, set));
            QCOMPARE(set.icons.size(), 1);
            QCOMPARE(set.icons.value(3), QByteArray("second"));
        } else if (rule == "unmapped") {
            pe.addIcon(1, "one");
            pe.add(PeWriter::Name::fromId(3), PeWriter::Name::fromId(2), "two", 0x409, true);
            pe.addIcon(3, "three");
            QVERIFY(readBytes(pe.build(), set));
            QCOMPARE(set.icons.keys(), (QList<quint16>{1, 3}));
        } else if (rule == "namedType") {
            pe.add(PeWriter::Name::fromString("ICONS"), PeWriter::Name::fromId(1), "x");
            QVERIFY(readBytes(pe.build(), set));
            QVERIFY(set.isEmpty());
        } else if (rule == "otherTypes") {
            pe.add(PeWriter::Name::fromId(16), PeWriter::Name::fromId(1), "version");
            pe.add(PeWriter::Name::fromId(1), PeWriter::Name::fromId(1), "cursor");
            pe.addIcon(2, "icon");
            QVERIFY(readBytes(pe.build(), set));
            QCOMPARE(set.icons.keys(), QList<quint16>{2});
            QVERIFY(set.groups.isEmpty());
        }
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("message");

        QTest::newRow("text file") << QByteArray("hello, world\n") << int(QtCriticalMsg)
                                   << "Error: Not a valid PE file (missing MZ signature).";
        QTest::newRow("empty file") << QByteArray() << int(QtCriticalMsg)
                                    << "Error: Not a valid PE file (missing MZ signature).";
        QByteArray dosOnly(128, '\0');
        dosOnly[0] = 'M';
        dosOnly[1] = 'Z';
        dosOnly[0x3C] = 0x40;
        dosOnly.replace(0x40, 4, "NE\0\0");
        QTest::newRow("DOS-only executable") << dosOnly << int(QtCriticalMsg)
                                             << "Error: Not a valid PE file (missing PE signature).";
        QByteArray negative = dosOnly;
        negative[0x3F] = char(0x80);
        QTest::newRow("negative e_lfanew") << negative << int(QtCriticalMsg)
                                           << "Error: Not a valid PE file (missing PE signature).";
        QTest::newRow("MZ alone") << QByteArray("MZ") << int(QtCriticalMsg)
                                  << "Error: Not a valid PE file (missing PE signature).";

        PeWriter magic;
        magic.addIcon(1, "x");
        magic.setMagic(0x107);
        QTest::newRow("ROM magic 0x107") << magic.build() << int(QtCriticalMsg)
                                         << "Error: Unknown PE format magic number: 107";
        PeWriter unmapped(PeWriter::Format::Pe32Plus);
        unmapped.addIcon(1, "x");
        unmapped.setResourceRvaUnmapped(true);
        QTest::newRow("resource RVA outside the sections")
            << unmapped.build() << int(QtCriticalMsg)
            << "Error: Could not map resource RVA to file offset.";
    }

    void failures()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, level);
        QFETCH(QString, message);
        QTest::ignoreMessage(QtMsgType(level), qPrintable(message));
        IconResourceSet set;
        QVERIFY(!readBytes(bytes, set));
        QVERIFY(set.isEmpty());
    }

    // A library of code alone is a readable file that holds no icon.
    void noResourceSection()
    {
        PeWriter zero;
        zero.addIcon(1, "x");
        zero.setResourceRvaZero(true);
        QTest::ignoreMessage(QtInfoMsg, "No resource section found in the file.");
        IconResourceSet set;
        QVERIFY(readBytes(zero.build(), set));
        QVERIFY(set.isEmpty());
    }

    // Lint maps a library's icons; another program cutting the file short meanwhile makes
    // the bytes past the cut read as zeros, where a read of the lost pages would raise
    // SIGBUS and end the program.
    void cutWhileMapped()
    {
        PeWriter pe;
        const QByteArray image(100000, '\x5a');
        pe.addIcon(1, image);
        pe.addGroup(PeWriter::Name::fromId(1), PeWriter::groupPayload({{0, 0, 32, quint32(image.size()), 1}}));
        const QString path = writeFile("cut.dll", pe.build());
        IconResourceSet set;
        QVERIFY(readIconResources(path, set, PayloadStorage::Shared));
        QCOMPARE(set.icons.value(1), image);
        QVERIFY(QFile::resize(path, 8192));
        const QByteArray cut = set.icons.value(1);
        QCOMPARE(cut.size(), image.size());
        QCOMPARE(cut.count('\x5a') + cut.count('\0'), image.size());
        QVERIFY(cut.count('\0') > image.size() - 8192);
    }

    // Past the mappings the SIGBUS handler answers for, a library is read in one go
    // instead: the same payloads either way.
    void moreLibrariesThanMappings()
    {
        PeWriter pe;
        pe.addIcon(1, QByteArray(5000, 'a'));
        pe.addIcon(2, QByteArray(300, 'b'));
        pe.addGroup(PeWriter::Name::fromId(1), PeWriter::groupPayload({{16, 16, 32, 5000, 1}, {32, 32, 32, 300, 2}}));
        const QString path = writeFile("many.dll", pe.build());
        IconResourceSet owned;
        QVERIFY(readIconResources(path, owned));
        QList<IconResourceSet> held(100);
        for (IconResourceSet& set : held) {
            QVERIFY(readIconResources(path, set, PayloadStorage::Shared));
            QCOMPARE(set.icons, owned.icons);
            QCOMPARE(set.groups, owned.groups);
        }
    }

    void missingFile()
    {
        const QString path = m_dir.filePath("nothing-here.dll");
        QTest::ignoreMessage(QtCriticalMsg, qPrintable("Error: Could not open file '" + path + "'"));
        IconResourceSet set;
        QVERIFY(!readIconResources(path, set));
    }

    // Every cut up to the end of the directories: no crash, and either a header failure
    // (before the section table is whole) or a success with only complete resources.
    void truncationSweep_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("PE32") << int(PeWriter::Format::Pe32);
        QTest::newRow("PE32+") << int(PeWriter::Format::Pe32Plus);
    }

    void truncationSweep()
    {
        QFETCH(int, format);
        PeWriter pe = sampleWriter(PeWriter::Format(format));
        const QByteArray full = pe.build();
        IconResourceSet whole;
        QVERIFY(readBytes(full, whole));
        QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        const qint64 last = pe.directoryEnd() + 64;
        for (qint64 cut = 0; cut <= last; ++cut) {
            IconResourceSet set;
            const bool ok = readBytes(full.left(cut), set);
            if (cut < pe.headersEnd()) {
                QVERIFY2(!ok, qPrintable(QString::number(cut)));
            } else if (cut > pe.resourceStart()) {
                QVERIFY2(ok, qPrintable(QString::number(cut)));
            }
            // Whatever was read is a prefix-cut of what the whole file holds.
            for (auto i = set.icons.cbegin(); i != set.icons.cend(); ++i)
                QVERIFY(whole.icons.value(i.key()).startsWith(i.value()));
            for (int g = 0; g < set.groups.size(); ++g)
                QVERIFY(whole.groups.contains(set.groups.at(g)) || !set.groups.at(g).isEmpty());
        }
        // Every cut inside the payloads gives all resources, cut short at the end.
        for (qint64 cut = last; cut <= full.size(); cut += 97) {
            IconResourceSet set;
            QVERIFY(readBytes(full.left(cut), set));
            QCOMPARE(set.groups.size() + set.icons.size() <= 5, true);
        }
        qInstallMessageHandler(previous);
    }

    // Directories that point back at the root or at themselves, and counts far beyond
    // the file: the walk ends, and quickly.
    void hostileDirectories_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("type directory is the root") << "typeIsRoot";
        QTest::newRow("language directory is the type directory") << "langIsType";
        QTest::newRow("entry count far beyond the file") << "hugeCount";
        QTest::newRow("payload size beyond the file") << "hugePayload";
        QTest::newRow("many names sharing one payload") << "sharedPayload";
    }

    void hostileDirectories()
    {
        QFETCH(QString, kind);
        PeWriter pe;
        pe.addIcon(1, QByteArray(200, 'a'));
        pe.addGroup(PeWriter::Name::fromId(1), PeWriter::groupPayload({{16, 16, 32, 200, 1}}));
        QByteArray bytes = pe.build();
        const qint64 r = pe.resourceStart();
        // Root (16 + 2 * 8), then the RT_ICON type directory (16 + 8), its language
        // directory follows the RT_GROUP_ICON type directory.
        const qint64 iconTypeDir = r + 32;
        QElapsedTimer timer;
        timer.start();
        IconResourceSet set;
        if (kind == "typeIsRoot") {
            TestIcons::put32(bytes, iconTypeDir + 16 + 4, 0x80000000u);  // name -> root
            QVERIFY(readBytes(bytes, set));
        } else if (kind == "langIsType") {
            TestIcons::put32(bytes, iconTypeDir + 16 + 4, 0x80000000u | 32u);
            QVERIFY(readBytes(bytes, set));
            QVERIFY(!set.icons.contains(1));
        } else if (kind == "hugeCount") {
            TestIcons::put16(bytes, r + 12, 0xFFFF);
            TestIcons::put16(bytes, r + 14, 0xFFFF);
            QVERIFY(readBytes(bytes, set));
            QVERIFY(set.isEmpty());
        } else if (kind == "hugePayload") {
            // The RT_ICON data entry's size: cut at the end of the file, never allocated whole.
            const qint64 dataEntries = r + 32 + 24 + 24 + 24 + 24;
            TestIcons::put32(bytes, dataEntries + 4, 0xFFFFFFF0u);
            QVERIFY(readBytes(bytes, set));
            QVERIFY(set.icons.value(1).size() < bytes.size());
        } else if (kind == "sharedPayload") {
            // 4000 group names, each with its own language directory and data entry, all
            // naming one payload as large as the file allows.
            PeWriter many;
            const QByteArray big(64 * 1024, 'b');
            many.addIcon(1, big);
            for (int i = 0; i < 4000; ++i)
                many.addGroup(PeWriter::Name::fromId(quint32(i + 1)), QByteArray(8, 'g'));
            QByteArray file = many.build();
            // Point every group's data entry at the big payload.
            const qint64 groupDataStart = many.directoryEnd() - 16 * 4000;
            const quint32 bigRva = 0x2000 + quint32(many.directoryEnd() - many.resourceStart() + 3) / 4 * 4;
            for (int i = 0; i < 4000; ++i) {
                TestIcons::put32(file, groupDataStart + 16 * i, bigRva);
                TestIcons::put32(file, groupDataStart + 16 * i + 4, quint32(big.size()));
            }
            QTest::ignoreMessage(QtWarningMsg, "Warning: Resource payloads exceed the size of the file; skipping the rest.");
            QVERIFY(readBytes(file, set));
            qint64 total = 0;
            for (const QByteArray& g : qAsConst(set.groups))
                total += g.size();
            QVERIFY(total <= 2 * file.size());
        }
        QVERIFY(timer.elapsed() < 2000);
    }
};

QTEST_GUILESS_MAIN(tst_PeResourceReader)
#include "tst_peresourcereader.moc"
