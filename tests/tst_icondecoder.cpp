// Both icon entry decoders on DIBs and PNGs built here: every bit count, palettes, masks,
// row padding, and payloads that would make a careless decoder read past the end.

#include <QImageReader>
#include <QtTest>

#include "ico/icondecoder.h"
#include "bytes/imagealloc.h"
#include "testicons.h"

using TestIcons::Dib;

namespace {

// The palette of the 4- and 8-bit rows: entry i is a distinct opaque colour.
QList<QRgb> palette(int n)
{
    QList<QRgb> result;
    for (int i = 0; i < n; ++i)
        result.append(qRgb((i * 40) & 0xFF, (i * 90 + 7) & 0xFF, (255 - i * 13) & 0xFF));
    return result;
}

// Decodes through decodeIconEntry; a null image when no entry was appended.
QImage decodeEntry(const QByteArray& payload, int bits = 32)
{
    IconGroupRecord record;
    decodeIconEntry(payload, 0, record, bits);
    return record.entries.isEmpty() ? QImage() : record.entries.first().image;
}

} // namespace

class tst_IconDecoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bitCounts_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<quint32>("clrUsed");
        QTest::newRow("1-bit 16x16") << 1 << 16 << 16 << 0u;
        QTest::newRow("1-bit odd width 13") << 1 << 13 << 5 << 0u;
        QTest::newRow("4-bit 32x32, biClrUsed 0 means 16") << 4 << 32 << 32 << 0u;
        QTest::newRow("4-bit odd width 20 (12-byte rows)") << 4 << 20 << 20 << 0u;
        QTest::newRow("4-bit biClrUsed 5") << 4 << 8 << 8 << 5u;
        QTest::newRow("8-bit 48x48") << 8 << 48 << 48 << 0u;
        QTest::newRow("8-bit biClrUsed 40") << 8 << 7 << 9 << 40u;
        QTest::newRow("24-bit 16x16") << 24 << 16 << 16 << 0u;
        QTest::newRow("24-bit odd width 5") << 24 << 5 << 3 << 0u;
        QTest::newRow("32-bit 24x24") << 32 << 24 << 24 << 0u;
    }

    // decodeIconEntry against the rules worked out pixel by pixel here.
    void bitCounts()
    {
        QFETCH(int, bits);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(quint32, clrUsed);
        Dib dib;
        dib.width = width;
        dib.height = height;
        dib.bitCount = bits;
        dib.clrUsed = clrUsed;
        const int entries = bits <= 8 ? int(clrUsed ? clrUsed : (1u << bits)) : 0;
        dib.palette = palette(entries);
        dib.pixel = [&](int x, int y) -> quint32 {
            if (bits <= 8)
                return quint32((x * 3 + y * 5) % entries);
            return qRgba((x * 31) & 0xFF, (y * 17) & 0xFF, (x + y) & 0xFF, (x * y) & 0xFF);
        };
        dib.mask = [](int x, int y) { return (x + y) % 3 == 0; };
        const QByteArray payload = dib.build();

        IconGroupRecord record;
        decodeIconEntry(payload, 0, record, bits);
        QCOMPARE(record.entries.size(), 1);
        const QImage image = record.entries.first().image;
        QCOMPARE(image.format(), QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(width, height));
        QCOMPARE(record.entries.first().depth, bits);
        QCOMPARE(record.entries.first().width, width);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const quint32 stored = dib.pixel(x, y);
                QRgb expected;
                if (bits == 32) {
                    expected = stored;  // stored alpha, mask ignored
                } else {
                    const QRgb colour = bits <= 8 ? dib.palette.at(int(stored)) : stored;
                    expected = (colour & 0xFFFFFF) | (dib.mask(x, y) ? 0 : 0xFF000000u);
                }
                QCOMPARE(image.pixel(x, y), expected);
            }
        }
    }

    // decodeModuleDib: the same pictures through the directory's size and a fixed palette.
    void moduleDib_data() { bitCounts_data(); }

    void moduleDib()
    {
        QFETCH(int, bits);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(quint32, clrUsed);
        if (clrUsed)
            QSKIP("covered by paletteLength");
        Dib dib;
        dib.width = width;
        dib.height = height;
        dib.bitCount = bits;
        const int entries = bits <= 8 ? (1 << bits) : 0;
        dib.palette = palette(entries);
        dib.pixel = [&](int x, int y) -> quint32 {
            if (bits <= 8)
                return quint32((x * 7 + y) % entries);
            return qRgba((x * 31) & 0xFF, (y * 17) & 0xFF, (x + y) & 0xFF, (x * y) & 0xFF);
        };
        dib.mask = [](int x, int y) { return (x * y) % 4 == 1; };
        int reported = 0;
        const QImage image = decodeModuleDib(dib.build(), width, height, &reported);
        QCOMPARE(reported, bits);
        QCOMPARE(image.format(), QImage::Format_RGBA64);
        QCOMPARE(image.size(), QSize(width, height));
        // The reference: QImage::setPixel on a transparent RGBA64 image, as the rule reads.
        QImage reference(width, height, QImage::Format_RGBA64);
        reference.fill(Qt::transparent);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const quint32 stored = dib.pixel(x, y);
                QRgb value = bits == 32 ? stored
                                        : ((bits <= 8 ? dib.palette.at(int(stored)) : stored) | 0xFF000000u);
                if (bits < 32 && dib.mask(x, y))
                    value &= 0xFFFFFF;
                reference.setPixel(x, y, value);
            }
        }
        QCOMPARE(image, reference);
    }

    void paletteLength()
    {
        // biClrUsed 5: decodeIconEntry takes 5 palette entries, decodeModuleDib skips 16.
        Dib dib;
        dib.width = 8;
        dib.height = 16;
        dib.bitCount = 4;
        dib.clrUsed = 5;
        dib.palette = palette(5);
        dib.pixel = [](int x, int) { return quint32(x % 5); };
        const QByteArray payload = dib.build();
        const QImage entry = decodeEntry(payload, 4);
        QCOMPARE(entry.pixel(3, 0), dib.palette.at(3) | 0xFF000000u);
        // decodeModuleDib reads its colour bitmap 44 bytes later (16 - 5 palette entries),
        // where the rows and the mask lie: a different picture, from bytes inside the payload.
        const QImage module = decodeModuleDib(payload, 8, 16);
        QVERIFY(!module.isNull());
        QVERIFY(module.pixel(3, 0) != entry.pixel(3, 0));
    }

    void sixteenBit()
    {
        Dib dib;
        dib.width = 4;
        dib.height = 4;
        dib.bitCount = 16;
        dib.pixel = [](int, int) { return 0x7FFFu; };
        dib.mask = [](int x, int) { return x == 0; };
        const QImage entry = decodeEntry(dib.build(), 16);
        QCOMPARE(entry.pixel(1, 1), qRgba(0, 0, 0, 255));  // black, alpha from the mask
        QCOMPARE(entry.pixel(0, 1), qRgba(0, 0, 0, 0));
        const QImage module = decodeModuleDib(dib.build(), 4, 4);
        QCOMPARE(module.pixel(1, 1), qRgba(0, 0, 0, 0));  // transparent throughout
    }

    void zeroDirectorySize()
    {
        // Width and height bytes of 0: a square of side biHeight / 2 (a 256 x 256 DIB).
        const QByteArray payload = TestIcons::patternDib(256, 256, 4);
        const QImage image = decodeModuleDib(payload, 0, 0);
        QCOMPARE(image.size(), QSize(256, 256));
        QCOMPARE(image.pixel(10, 20), decodeEntry(payload).pixel(10, 20));
        // A non-square image behind 0 bytes (wine's winecfg.exe has a 194 x 313 one) keeps
        // its own size, as its rows are laid out for it.
        Dib tall;
        tall.width = 194;
        tall.height = 313;
        tall.bitCount = 4;
        tall.palette = palette(16);
        tall.pixel = [](int x, int y) { return quint32((x + y) % 16); };
        const QImage nonSquare = decodeModuleDib(tall.build(), 0, 0);
        QCOMPARE(nonSquare.size(), QSize(194, 313));
        QCOMPARE(nonSquare.pixel(193, 312), decodeEntry(tall.build(), 4).pixel(193, 312));
    }

    void maskDecision()
    {
        // The mask applies only when the entry height differs from biHeight.
        Dib dib;
        dib.width = 2;
        dib.height = 2;
        dib.bitCount = 24;
        dib.pixel = [](int, int) { return 0x123456u; };
        dib.mask = [](int, int) { return true; };
        QCOMPARE(decodeModuleDib(dib.build(), 2, 2).pixel(0, 0), qRgba(0x12, 0x34, 0x56, 0));
        dib.biHeight = 2;  // equal to the entry height: the mask is not applied
        QCOMPARE(decodeModuleDib(dib.build(), 2, 2).pixel(0, 0), qRgba(0x12, 0x34, 0x56, 255));
    }

    void png()
    {
        QImage source(256, 256, QImage::Format_ARGB32);
        source.fill(qRgba(10, 200, 30, 77));
        IconGroupRecord record;
        decodeIconEntry(TestIcons::pngPayload(source), 0, record, 32);
        QCOMPARE(record.entries.size(), 1);
        QCOMPARE(record.entries.first().image.pixel(5, 5), qRgba(10, 200, 30, 77));
        QCOMPARE(record.image.width(), 256);

        QByteArray damaged = TestIcons::pngPayload(source);
        damaged.truncate(40);
        damaged[20] = 'x';
        QTest::ignoreMessage(QtCriticalMsg, "Error: Could not parse embedded PNG data for entry 3");
        IconGroupRecord none;
        decodeIconEntry(damaged, 3, none, 32);
        QVERIFY(none.entries.isEmpty());
        QVERIFY(none.image.isNull());
    }

    void bestImage()
    {
        // Strictly wider replaces; the first of equal widths stays.
        IconGroupRecord record;
        decodeIconEntry(TestIcons::patternDib(16, 16, 1), 0, record, 32);
        decodeIconEntry(TestIcons::patternDib(32, 32, 2), 1, record, 32);
        const QImage first32 = record.image;
        decodeIconEntry(TestIcons::patternDib(32, 32, 3), 2, record, 32);
        decodeIconEntry(TestIcons::patternDib(24, 24, 4), 3, record, 32);
        QCOMPARE(record.entries.size(), 4);
        QCOMPARE(record.image, first32);
    }

    // Payloads that reach outside themselves or ask for absurd sizes: refused by both
    // decoders (decodeIconEntry with its warning), never read past, never allocated.
    void hostile_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("entryDecodes");
        QTest::addColumn<bool>("moduleDecodes");

        QTest::newRow("empty") << QByteArray() << false << false;
        QTest::newRow("39 bytes of header") << QByteArray(39, '\0') << false << false;
        const QByteArray good = TestIcons::patternDib(16, 16, 1);
        QTest::newRow("header only") << good.left(40) << false << false;
        QTest::newRow("colour bitmap cut") << good.left(40 + 1024 - 1) << false << false;
        QTest::newRow("mask cut: opaque where missing") << good.left(40 + 1024 + 10) << true << true;

        Dib biHeightOne;
        biHeightOne.biHeight = 1;
        QTest::newRow("biHeight 1") << biHeightOne.build() << false << true;
        Dib negative;
        negative.biHeight = -32;
        QTest::newRow("negative biHeight") << negative.build() << false << false;
        Dib wide = Dib();
        QByteArray absurd = wide.build();
        TestIcons::put32(absurd, 4, 0x7FFFFFFF);
        QTest::newRow("biWidth 2^31-1") << absurd << false << true;
        QByteArray tall = wide.build();
        TestIcons::put32(tall, 8, 0x7FFFFFFE);
        QTest::newRow("biHeight 2^31-2") << tall << false << true;
        QByteArray biSize = wide.build();
        TestIcons::put32(biSize, 0, 0xFFFFFFF0u);
        QTest::newRow("biSize beyond the payload") << biSize << false << true;
        QByteArray bits = wide.build();
        TestIcons::put16(bits, 14, 0xFFFF);
        QTest::newRow("biBitCount 65535") << bits << false << true;

        Dib palette8;
        palette8.bitCount = 8;
        palette8.paletteEntries = 10;  // 246 entries short
        QTest::newRow("palette cut short") << palette8.build() << false << false;
        Dib clrHuge;
        clrHuge.bitCount = 8;
        clrHuge.clrUsed = 0xFFFFFFFFu;
        clrHuge.paletteEntries = 256;
        QTest::newRow("biClrUsed 2^32-1") << clrHuge.build() << false << true;
    }

    void hostile()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, entryDecodes);
        QFETCH(bool, moduleDecodes);
        if (!entryDecodes)
            QTest::ignoreMessage(QtWarningMsg, "Skipping invalid BMP image entry 0");
        IconGroupRecord record;
        decodeIconEntry(payload, 0, record, 32);
        QCOMPARE(record.entries.size(), entryDecodes ? 1 : 0);
        const QImage module = decodeModuleDib(payload, 16, 16);
        QCOMPARE(!module.isNull(), moduleDecodes);
        // A payload copied to its exact size: ASan catches any read past it.
        const QByteArray exact(payload.constData(), payload.size());
        decodeModuleDib(exact, 0, 0);
        decodeModuleDib(exact, 255, 1);
    }

    void paletteIndexBeyondPalette()
    {
        // Two palette entries, indices up to 255: the missing ones are black.
        Dib dib;
        dib.width = 4;
        dib.height = 1;
        dib.bitCount = 8;
        dib.clrUsed = 2;
        dib.palette = {qRgb(255, 0, 0), qRgb(0, 255, 0)};
        dib.pixel = [](int x, int) { return quint32(x == 0 ? 1 : 200); };
        const QImage image = decodeEntry(dib.build(), 8);
        QCOMPARE(image.pixel(0, 0), qRgba(0, 255, 0, 255));
        QCOMPARE(image.pixel(1, 0), qRgba(0, 0, 0, 255));
    }

    void allocationLimit()
    {
        // With Qt's allocation limit at 0 the side limit still holds; at 1 MB a
        // 1024 x 1024 RGBA64 image (8 MB) is refused.
        const int saved = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(0);
        QVERIFY(imageAlloc(kMaxImageSide + 1, 1, QImage::Format_ARGB32).isNull());
        QVERIFY(!imageAlloc(64, 64, QImage::Format_ARGB32).isNull());
        QImageReader::setAllocationLimit(1);
        QVERIFY(imageAlloc(1024, 1024, QImage::Format_RGBA64).isNull());
        QVERIFY(decodeModuleDib(TestIcons::patternDib(512, 512), 0, 0).isNull());
        QImageReader::setAllocationLimit(saved);
        QVERIFY(!decodeModuleDib(TestIcons::patternDib(512, 512), 0, 0).isNull());
    }
};

QTEST_GUILESS_MAIN(tst_IconDecoder)
#include "tst_icondecoder.moc"
