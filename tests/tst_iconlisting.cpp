// The three listings: the parsed-file path, the loader path (on the program's own reader
// here) and the .ico path, with the SystemResources .mun fallback and the budgets that
// keep a hostile directory from exhausting memory.

#include <QTemporaryDir>
#include <QtTest>

#include "ico/icoassembly.h"
#include "ico/icondecoder.h"
#include "ico/iconlisting.h"
#include "pewriter.h"
#include "processrun.h"
#include "testfiles.h"
#include "testicons.h"

using Name = PeWriter::Name;

namespace {

// Into a folder made on the way; a test cannot go on without its input.
void writeInput(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    if (!writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
}

// An .ico of the given payloads, each entry's width byte from sides.
QByteArray icoFile(const QList<QByteArray>& payloads, const QList<int>& sides)
{
    QByteArray ico(6 + 16 * payloads.size(), '\0');
    TestIcons::put16(ico, 2, 1);
    TestIcons::put16(ico, 4, quint16(payloads.size()));
    qint64 offset = ico.size();
    for (int i = 0; i < payloads.size(); ++i) {
        const qint64 at = 6 + 16 * i;
        ico[at] = char(sides.at(i) & 0xFF);
        ico[at + 1] = char(sides.at(i) & 0xFF);
        TestIcons::put16(ico, at + 4, 1);
        TestIcons::put16(ico, at + 6, 32);
        TestIcons::put32(ico, at + 8, quint32(payloads.at(i).size()));
        TestIcons::put32(ico, at + 12, quint32(offset));
        offset += payloads.at(i).size();
    }
    for (const QByteArray& p : payloads)
        ico.append(p);
    return ico;
}

QImage pattern(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(qRgba(side & 0xFF, 30, 60, 200));
    return image;
}

} // namespace

class tst_IconListing : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Group "NAMED" (16, 32) and group 5 (48, 24): the string-named group comes first.
    QString twoGroupLibrary()
    {
        PeWriter pe(PeWriter::Format::Pe32Plus);
        pe.addIcon(1, TestIcons::patternDib(16, 16, 1));
        pe.addIcon(2, TestIcons::patternDib(32, 32, 2));
        pe.addIcon(3, TestIcons::patternDib(48, 48, 3));
        pe.addIcon(4, TestIcons::pngPayload(pattern(24)));
        pe.addGroup(Name::fromString("NAMED"),
                    PeWriter::groupPayload({{16, 16, 32, 1128, 1}, {32, 32, 8, 4264, 2}}));
        pe.addGroup(Name::fromId(5), PeWriter::groupPayload({{48, 48, 32, 9640, 3}, {24, 24, 32, 0, 4}}));
        const QString path = m_dir.filePath("two.dll");
        writeInput(path, pe.build());
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The .mun fallback looks in <prefix>/drive_c/windows/SystemResources.
        qputenv("WINEPREFIX", QFile::encodeName(m_dir.filePath("prefix")));
        QDir().mkpath(m_dir.filePath("prefix/drive_c/windows/SystemResources"));
    }

    void parsedFile()
    {
        QList<IconGroupRecord> records;
        QVERIFY(IconListing::listFileIcons(twoGroupLibrary(), records));
        QCOMPARE(records.size(), 2);
        // Named group: id is the RT_ICON ID of its last decoded image, depth its wBitCount.
        QCOMPARE(records.at(0).id, 2);
        QCOMPARE(records.at(0).entries.size(), 2);
        QCOMPARE(records.at(0).entries.at(1).depth, 8);
        QCOMPARE(records.at(0).entries.at(1).width, 32);
        QCOMPARE(records.at(0).image.width(), 32);
        // The second record shows its own widest image, never one of the first group.
        QCOMPARE(records.at(1).id, 4);
        QCOMPARE(records.at(1).image.width(), 48);
        QCOMPARE(records.at(1).entries.at(1).image.pixel(3, 3), qRgba(24, 30, 60, 200));
    }

    void loaderPath()
    {
        QList<IconGroupRecord> records;
        QVERIFY(IconListing::loadIconLibrary(twoGroupLibrary(), records));
        // The string-named group is not listed on this path.
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.at(0).id, 5);
        QCOMPARE(records.at(0).entries.size(), 2);
        // A DIB keeps its stored bit count (its image is 64-bit), the PNG Qt's depth.
        QCOMPARE(records.at(0).entries.at(0).image.depth(), 64);
        QCOMPARE(records.at(0).entries.at(0).depth, 32);
        QCOMPARE(records.at(0).entries.at(1).depth, 32);
        QCOMPARE(records.at(0).image.width(), 48);
        QVERIFY(!IconListing::loadIconLibrary(m_dir.filePath("absent.dll"), records));
    }

    // One size at three bit counts: each image keeps its own, so that their PNG names
    // (NAME_48x48_Dbits.png) differ and no export overwrites another.
    void loaderPathKeepsBitCounts()
    {
        PeWriter pe(PeWriter::Format::Pe32);
        QList<PeWriter::GroupEntry> entries;
        quint16 id = 1;
        for (int bits : {4, 8, 32}) {
            TestIcons::Dib dib;
            dib.width = dib.height = 48;
            dib.bitCount = bits;
            dib.pixel = [bits](int x, int y) { return bits == 32 ? 0xFF204080u : quint32((x + y) % 3); };
            dib.palette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
            pe.addIcon(id, dib.build());
            entries.append({48, 48, quint16(bits), 0, id});
            ++id;
        }
        pe.addGroup(Name::fromId(7), PeWriter::groupPayload(entries));
        const QString path = m_dir.filePath("depths.dll");
        writeInput(path, pe.build());

        QList<IconGroupRecord> records;
        QVERIFY(IconListing::loadIconLibrary(path, records));
        QCOMPARE(records.size(), 1);
        QList<int> depths;
        for (const IconImageEntry& entry : records.at(0).entries)
            depths << entry.depth;
        QCOMPARE(depths, (QList<int>{4, 8, 32}));
    }

    void missingIcons()
    {
        PeWriter pe;
        pe.addIcon(1, TestIcons::patternDib(16, 16));
        pe.addGroup(Name::fromId(1), PeWriter::groupPayload({{16, 16, 32, 1128, 8}}));
        pe.addGroup(Name::fromId(2), PeWriter::groupPayload({{16, 16, 32, 1128, 9}}));
        QByteArray shortGroup = PeWriter::groupPayload({{16, 16, 32, 1128, 1}});
        shortGroup[4] = 3;
        pe.addGroup(Name::fromId(3), shortGroup);
        const QString path = m_dir.filePath("missing.dll");
        writeInput(path, pe.build());
        QList<IconGroupRecord> records;
        QTest::ignoreMessage(QtWarningMsg, "Warning: Icon group data is smaller than expected. Found 20 bytes, expected 48 for 3 icons.");
        QTest::ignoreMessage(QtInfoMsg, "No icons found in the file.");
        QVERIFY(IconListing::listFileIcons(path, records));
        QCOMPARE(records.size(), 2);
        for (const IconGroupRecord& record : records) {
            QCOMPARE(record.id, -1);
            QVERIFY(record.image.isNull());
            QVERIFY(record.entries.isEmpty());
        }
    }

    void icoFile()
    {
        const QByteArray dib = TestIcons::patternDib(32, 32, 5);
        const QByteArray png = TestIcons::pngPayload(pattern(256));
        QByteArray ico = ::icoFile({TestIcons::patternDib(16, 16), dib, png, dib}, {16, 32, 0, 32});
        // The fourth entry reaches past the end of the file.
        TestIcons::put32(ico, 6 + 16 * 3 + 12, quint32(ico.size() - 10));
        const QString path = m_dir.filePath("four.ico");
        writeInput(path, ico);
        QList<IconGroupRecord> records;
        QVERIFY(IconListing::loadIcoFile(path, records));
        QCOMPARE(records.size(), 1);
        const IconGroupRecord& record = records.first();
        QCOMPARE(record.id, 0);
        QCOMPARE(record.entries.size(), 3);
        QCOMPARE(record.entries.at(1).depth, 32);    // the DIB's biBitCount
        QCOMPARE(record.entries.at(2).width, 256);   // width byte 0: the image's width
        QCOMPARE(record.entries.at(2).depth, 32);    // QImage::depth() of the PNG
        QCOMPARE(record.image.width(), 256);
    }

    // The .ico path decodes a payload led by a bitmap header size without asking Qt's
    // readers first: every reader installed here must refuse such a DIB, and the listing
    // must hold what the DIB decoder makes of it.
    void dibsNoQtReaderTakes_data()
    {
        QTest::addColumn<quint32>("headerSize");
        QTest::addColumn<int>("bits");
        for (const quint32 headerSize : {40u, 108u, 124u}) {
            for (const int bits : {1, 4, 8, 16, 24, 32})
                QTest::addRow("header %u, %d bits", headerSize, bits) << headerSize << bits;
        }
    }

    void dibsNoQtReaderTakes()
    {
        QFETCH(quint32, headerSize);
        QFETCH(int, bits);
        TestIcons::Dib dib;
        dib.biSize = headerSize;
        dib.bitCount = bits;
        dib.palette = {qRgb(200, 10, 10), qRgb(10, 200, 10), qRgb(10, 10, 200), qRgb(90, 90, 0)};
        dib.pixel = [bits](int x, int y) -> quint32 {
            return bits <= 8 ? quint32((x + y) % 4) : 0x80000000u | quint32(x * 0x0F0000 + y * 0x0F);
        };
        dib.mask = [](int x, int y) { return x == y; };
        const QByteArray payload = dib.build();
        QVERIFY(QImage::fromData(payload).isNull());

        const QString path = m_dir.filePath(QStringLiteral("dib-%1-%2.ico").arg(headerSize).arg(bits));
        writeInput(path, ::icoFile({payload}, {16}));
        QList<IconGroupRecord> records;
        QVERIFY(IconListing::loadIcoFile(path, records));
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().entries.size(), 1);
        const IconImageEntry& entry = records.first().entries.first();
        QCOMPARE(entry.depth, bits);
        QCOMPARE(entry.image, IconDecoder::decodeModuleDib(payload, 16, 16));

        // icotool's reading of the same file, pixel for pixel
        const QString pngDir = m_dir.filePath(QStringLiteral("dib-%1-%2").arg(headerSize).arg(bits));
        QVERIFY(QDir().mkpath(pngDir));
        const Run extracted = run(QStringLiteral("icotool"), {QStringLiteral("-x"), QStringLiteral("-o"), pngDir, path});
        if (bits == 16)
            QCOMPARE(extracted.exitCode, 1);  // icotool has no 16-bit reader
        else
            QCOMPARE(extracted.exitCode, 0);
        const QStringList pngs = QDir(pngDir).entryList({QStringLiteral("*.png")});
        if (bits == 16)
            return;
        QCOMPARE(pngs.size(), 1);
        const QImage oracle(QDir(pngDir).filePath(pngs.first()));
        QCOMPARE(entry.image.convertToFormat(QImage::Format_ARGB32),
                 oracle.convertToFormat(QImage::Format_ARGB32));
    }

    // The loader path (the Extract tab's library listing) on a library holding one such
    // DIB: the image is the one wrestool extracts and icotool reads, pixel for pixel.
    void loaderPathMatchesWrestool_data()
    {
        QTest::addColumn<quint32>("headerSize");
        QTest::addColumn<int>("bits");
        for (const quint32 headerSize : {40u, 124u}) {
            for (const int bits : {1, 4, 8, 24, 32})
                QTest::addRow("header %u, %d bits", headerSize, bits) << headerSize << bits;
        }
    }

    void loaderPathMatchesWrestool()
    {
        QFETCH(quint32, headerSize);
        QFETCH(int, bits);
        TestIcons::Dib dib;
        dib.biSize = headerSize;
        dib.bitCount = bits;
        dib.palette = {qRgb(0, 0, 0), qRgb(250, 250, 250), qRgb(10, 120, 10), qRgb(90, 0, 90)};
        dib.pixel = [bits](int x, int y) -> quint32 {
            return bits <= 8 ? quint32((x * y) % 4 % (1 << bits)) : 0xFF000000u | quint32(x * 0x100F00 + y);
        };
        dib.mask = [](int x, int y) { return x + y == 15; };
        const QByteArray payload = dib.build();
        PeWriter pe(PeWriter::Format::Pe32);
        pe.addIcon(1, payload);
        pe.addGroup(Name::fromId(1), PeWriter::groupPayload({{16, 16, bits, quint32(payload.size()), 1}}));
        const QString base = m_dir.filePath(QStringLiteral("loader-%1-%2").arg(headerSize).arg(bits));
        QVERIFY(QDir().mkpath(base));
        const QString path = base + QStringLiteral("/one.dll");
        writeInput(path, pe.build());

        QList<IconGroupRecord> records;
        QVERIFY(IconListing::loadIconLibrary(path, records));
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().entries.size(), 1);
        QCOMPARE(records.first().entries.first().depth, bits);

        QCOMPARE(run(QStringLiteral("wrestool"), {QStringLiteral("-x"), QStringLiteral("-t14"),
                                                  QStringLiteral("-o"), base, path}).exitCode, 0);
        const QStringList icos = QDir(base).entryList({QStringLiteral("*.ico")});
        QCOMPARE(icos.size(), 1);
        QCOMPARE(run(QStringLiteral("icotool"), {QStringLiteral("-x"), QStringLiteral("-o"), base,
                                                 QDir(base).filePath(icos.first())}).exitCode, 0);
        const QStringList pngs = QDir(base).entryList({QStringLiteral("*.png")});
        QCOMPARE(pngs.size(), 1);
        const QImage oracle(QDir(base).filePath(pngs.first()));
        QCOMPARE(records.first().entries.first().image.convertToFormat(QImage::Format_ARGB32),
                 oracle.convertToFormat(QImage::Format_ARGB32));
    }

    void icoFileFailures()
    {
        QList<IconGroupRecord> records;
        QVERIFY(!IconListing::loadIcoFile(m_dir.filePath("absent.ico"), records));
        QVERIFY(records.isEmpty());
        writeInput(m_dir.filePath("text.ico"), "not an icon at all");
        QVERIFY(IconListing::loadIcoFile(m_dir.filePath("text.ico"), records));
        QCOMPARE(records.size(), 1);
        QVERIFY(records.first().image.isNull());
    }

    // A directory of 65535 entries that all name one 256 x 256 image: the listing stops at
    // its budget instead of decoding 65535 copies.
    void icoBudget()
    {
        const QByteArray dib = TestIcons::patternDib(256, 256, 1);
        QByteArray ico(6 + 16 * 65535, '\0');
        TestIcons::put16(ico, 2, 1);
        TestIcons::put16(ico, 4, 65535);
        for (int i = 0; i < 65535; ++i) {
            TestIcons::put32(ico, 6 + 16 * i + 8, quint32(dib.size()));
            TestIcons::put32(ico, 6 + 16 * i + 12, quint32(ico.size()));
        }
        ico.append(dib);
        const QString path = m_dir.filePath("many.ico");
        writeInput(path, ico);
        QElapsedTimer timer;
        timer.start();
        QList<IconGroupRecord> records;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("exceed what one listing decodes"));
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        QVERIFY(IconListing::loadIcoFile(path, records));
        QLoggingCategory::setFilterRules(QString());
        qint64 bytes = 0;
        for (const IconImageEntry& e : records.first().entries)
            bytes += e.image.sizeInBytes();
        QVERIFY(records.first().entries.size() < 100);
        QVERIFY(bytes <= IconListing::kMaxListingImageBytes + 512 * 1024);
        QVERIFY(timer.elapsed() < 10000);
    }

    // A library with no icon group of its own reads SystemResources\NAME.mun instead.
    void munFallback()
    {
        PeWriter empty;
        empty.add(Name::fromId(16), Name::fromId(1), "version only");
        const QString library = m_dir.filePath("system32/imageres.dll");
        writeInput(library, empty.build());
        PeWriter mun;
        mun.addIcon(1, TestIcons::patternDib(32, 32));
        mun.addGroup(Name::fromId(2), PeWriter::groupPayload({{32, 32, 32, 4264, 1}}));
        writeInput(m_dir.filePath("prefix/drive_c/windows/SystemResources/imageres.dll.mun"), mun.build());

        QList<IconGroupRecord> parsed;
        QVERIFY(IconListing::listFileIcons(library, parsed));
        QCOMPARE(parsed.size(), 1);
        QList<IconGroupRecord> loaded;
        QVERIFY(IconListing::loadIconLibrary(library, loaded));
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().id, 2);
        QTemporaryDir out;
        QVERIFY(exportFileGroupsAsIco(library, out.filePath("x.ico")));
        QVERIFY(exportModuleGroupAsIco(library, 2, out.filePath("y.ico")));
        QCOMPARE(QFileInfo(out.filePath("x.ico")).size(), 6 + 16 + 4264);
        // A library that has icons of its own is read as it is.
        QList<IconGroupRecord> own;
        const QString other = m_dir.filePath("system32/two.dll");
        QFile::copy(twoGroupLibrary(), other);
        writeInput(m_dir.filePath("prefix/drive_c/windows/SystemResources/two.dll.mun"), mun.build());
        QVERIFY(IconListing::listFileIcons(other, own));
        QCOMPARE(own.size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_IconListing)
#include "tst_iconlisting.moc"
