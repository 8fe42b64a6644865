// The .ico layout byte for byte: header, directory, DIB and PNG payloads, the size list,
// non-square pictures centred on a square, the log lines, and a failed write that leaves
// the old file as it was.
#include <QtTest>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include "ico/icoencoder.h"
#include "testfiles.h"

namespace {

quint16 u16(const QByteArray& bytes, qint64 offset)
{
    if (offset < 0 || offset + 2 > bytes.size())
        return 0xffff;
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

quint32 u32(const QByteArray& bytes, qint64 offset)
{
    if (offset < 0 || offset + 4 > bytes.size())
        return 0xffffffffu;
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

struct DirEntry
{
    int width, height, colours, reserved, planes, bitCount;
    quint32 length, offset;
};

QList<DirEntry> directory(const QByteArray& ico)
{
    QList<DirEntry> entries;
    const int count = u16(ico, 4);
    for (int i = 0; i < count && 6 + 16 * (i + 1) <= ico.size(); ++i) {
        const qint64 e = 6 + 16 * i;
        entries.append({quint8(ico[e]), quint8(ico[e + 1]), quint8(ico[e + 2]), quint8(ico[e + 3]), u16(ico, e + 4),
                        u16(ico, e + 6), u32(ico, e + 8), u32(ico, e + 12)});
    }
    return entries;
}

QByteArray payload(const QByteArray& ico, const DirEntry& entry)
{
    if (qint64(entry.offset) + entry.length > ico.size())
        return QByteArray();
    return ico.mid(entry.offset, entry.length);
}

bool isPng(const QByteArray& bytes)
{
    return bytes.startsWith("\x89PNG\r\n\x1a\n");
}

// A master with four coloured quadrants, so that orientation and channel order show.
QImage quadrants(int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const bool right = x >= side / 2;
            const bool bottom = y >= side / 2;
            QRgb c = qRgba(255, 0, 0, 255);                      // top left: red
            if (right && !bottom) c = qRgba(0, 255, 0, 255);      // top right: green
            if (!right && bottom) c = qRgba(0, 0, 255, 255);      // bottom left: blue
            if (right && bottom) c = qRgba(0, 0, 0, 0);           // bottom right: nothing
            image.setPixel(x, y, c);
        }
    return image;
}

} // namespace

class TestIcoEncoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sizeList_data();
    void sizeList();
    void layout_data();
    void layout();
    void dibPayload_data();
    void dibPayload();
    void dibPixels();
    void nonSquareIsCentred_data();
    void nonSquareIsCentred();
    void logLines();
    void nullMaster();
    void missingFolderCreatesNothing();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void missingSourceIsSilent();
};

void TestIcoEncoder::sizeList_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QList<int>>("sizes");
    const QList<int> seven{16, 24, 32, 48, 64, 128, 256};
    QTest::newRow("256") << 256 << seven;
    QTest::newRow("100: never enlarged past the standard list") << 100 << seven;
    QTest::newRow("257") << 257 << (seven + QList<int>{512});
    QTest::newRow("512: strict comparison") << 512 << (seven + QList<int>{512});
    QTest::newRow("513") << 513 << (seven + QList<int>{512, 1024});
    QTest::newRow("1024") << 1024 << (seven + QList<int>{512, 1024});
}

void TestIcoEncoder::sizeList()
{
    QFETCH(int, width);
    QFETCH(QList<int>, sizes);
    QCOMPARE(IcoEncoder::iconSizes(width), sizes);
}

void TestIcoEncoder::layout_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("count");
    QTest::newRow("256 master: 7 entries") << 256 << 7;
    QTest::newRow("512 master: 8 entries") << 512 << 8;
    QTest::newRow("1024 master: 9 entries") << 1024 << 9;
}

void TestIcoEncoder::layout()
{
    QFETCH(int, side);
    QFETCH(int, count);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.ico"));
    if (side != 256)
        QTest::ignoreMessage(QtWarningMsg,
                             "Warning: Input image is not 256x256. Resizing will proceed, but results may vary.");
    QVERIFY(IcoEncoder::writeIcoFromImage(quadrants(side), path));
    const QByteArray ico = readFile(path);

    QCOMPARE(u16(ico, 0), quint16(0));
    QCOMPARE(u16(ico, 2), quint16(1));
    QCOMPARE(int(u16(ico, 4)), count);
    const QList<DirEntry> entries = directory(ico);
    QCOMPARE(entries.size(), count);
    const QList<int> sizes = IcoEncoder::iconSizes(side);

    quint32 expectedOffset = 6 + 16 * count;
    if (count == 7)
        QCOMPARE(expectedOffset, 118u);
    for (int i = 0; i < count; ++i) {
        const DirEntry& e = entries.at(i);
        const int size = sizes.at(i);
        QCOMPARE(e.width, size >= 256 ? 0 : size);
        QCOMPARE(e.height, e.width);
        QCOMPARE(e.colours, 0);
        QCOMPARE(e.reserved, 0);
        QCOMPARE(e.planes, 1);
        QCOMPARE(e.bitCount, 32);
        QCOMPARE(e.offset, expectedOffset); // back to back, no padding
        expectedOffset += e.length;
        const QByteArray bytes = payload(ico, e);
        QCOMPARE(quint32(bytes.size()), e.length);
        if (size >= 256) {
            QVERIFY2(isPng(bytes), qPrintable(QString::number(size)));
            QImage png;
            QVERIFY(png.loadFromData(bytes, "PNG"));
            QCOMPARE(png.size(), QSize(size, size));
        } else {
            QVERIFY(!isPng(bytes));
            QCOMPARE(u32(bytes, 0), 40u);
            QCOMPARE(int(u32(bytes, 4)), size);
            QCOMPARE(int(u32(bytes, 8)), 2 * size);
        }
    }
    QCOMPARE(qint64(expectedOffset), qint64(ico.size())); // nothing after the last payload
}

void TestIcoEncoder::dibPayload_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("maskBytes");
    QTest::newRow("16: 40 + 1024 + 64") << 16 << 1128 << 64;
    QTest::newRow("24: mask rows of 4 bytes") << 24 << (40 + 2304 + 96) << 96;
    QTest::newRow("48: 40 + 9216 + 384") << 48 << 9640 << 384;
    QTest::newRow("33: mask rows of 8 bytes") << 33 << (40 + 33 * 33 * 4 + 33 * 8) << 33 * 8;
    QTest::newRow("1") << 1 << (40 + 4 + 4) << 4;
}

void TestIcoEncoder::dibPayload()
{
    QFETCH(int, side);
    QFETCH(int, total);
    QFETCH(int, maskBytes);
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(qRgba(10, 20, 30, 200));
    const QByteArray dib = IcoEncoder::encodeDib(image);
    QCOMPARE(dib.size(), total);
    QCOMPARE(u32(dib, 0), 40u);
    QCOMPARE(int(u32(dib, 4)), side);
    QCOMPARE(int(u32(dib, 8)), 2 * side);
    QCOMPARE(u16(dib, 12), quint16(1));
    QCOMPARE(u16(dib, 14), quint16(32));
    QCOMPARE(u32(dib, 16), 0u);
    QCOMPARE(int(u32(dib, 20)), side * side * 4 + maskBytes);
    QCOMPARE(u32(dib, 24), 2835u);
    QCOMPARE(u32(dib, 28), 2835u);
    QCOMPARE(u32(dib, 32), 0u);
    QCOMPARE(u32(dib, 36), 0u);
    // B, G, R, A of the straight pixel
    QCOMPARE(dib.mid(40, 4), QByteArray("\x1e\x14\x0a\xc8", 4));
    // the AND mask is all zero
    QCOMPARE(dib.right(maskBytes), QByteArray(maskBytes, '\0'));
}

void TestIcoEncoder::dibPixels()
{
    // Rows bottom-up: the first stored row is the image's last scan line.
    const QImage image = quadrants(16);
    const QByteArray dib = IcoEncoder::encodeDib(image);
    const int row = 16 * 4;
    const QByteArray firstStored = dib.mid(40, row);
    const QByteArray lastStored = dib.mid(40 + 15 * row, row);
    QCOMPARE(firstStored.left(4), QByteArray("\xff\x00\x00\xff", 4));  // bottom left: blue
    QCOMPARE(firstStored.right(4), QByteArray(4, '\0'));               // fully transparent: four zero bytes
    QCOMPARE(lastStored.left(4), QByteArray("\x00\x00\xff\xff", 4));   // top left: red
    QCOMPARE(lastStored.right(4), QByteArray("\x00\xff\x00\xff", 4));  // top right: green

    // A premultiplied image is written as its straight colour.
    QImage pre(1, 1, QImage::Format_ARGB32_Premultiplied);
    pre.fill(QColor(255, 0, 0, 128));
    const QByteArray one = IcoEncoder::encodeDib(pre);
    QCOMPARE(quint8(one[40 + 2]), quint8(255));
    QCOMPARE(quint8(one[40 + 3]), quint8(128));
}

void TestIcoEncoder::nonSquareIsCentred_data()
{
    QTest::addColumn<QSize>("masterSize");
    QTest::newRow("2 : 1") << QSize(256, 128);
    QTest::newRow("1 : 3") << QSize(60, 180);
    QTest::newRow("1 : 100 thin line") << QSize(2, 200);
}

void TestIcoEncoder::nonSquareIsCentred()
{
    QFETCH(QSize, masterSize);
    QImage master(masterSize, QImage::Format_ARGB32);
    master.fill(qRgba(0, 128, 255, 255));
    for (int size : IcoEncoder::iconSizes(masterSize.width())) {
        const QImage square = IcoEncoder::fitToSquare(master, size);
        QCOMPARE(square.size(), QSize(size, size));
        QCOMPARE(square.format(), QImage::Format_ARGB32);
        // the middle is the picture, the far margin transparent
        QCOMPARE(qAlpha(square.pixel((size - 1) / 2, (size - 1) / 2)), 255);
        if (masterSize.width() > masterSize.height())
            QCOMPARE(qAlpha(square.pixel(size / 2, 0)), 0);
        else
            QCOMPARE(qAlpha(square.pixel(0, size / 2)), 0);
    }

    // In the file: every DIB header states S and 2 S, every PNG is S x S.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wide.ico"));
    QTest::ignoreMessage(QtWarningMsg, "Warning: Input image is not 256x256. Resizing will proceed, but results may vary.");
    QVERIFY(IcoEncoder::writeIcoFromImage(master, path));
    const QByteArray ico = readFile(path);
    const QList<int> sizes = IcoEncoder::iconSizes(masterSize.width());
    const QList<DirEntry> entries = directory(ico);
    QCOMPARE(entries.size(), sizes.size());
    for (int i = 0; i < entries.size(); ++i) {
        const QByteArray bytes = payload(ico, entries.at(i));
        if (sizes.at(i) < 256) {
            QCOMPARE(int(u32(bytes, 4)), sizes.at(i));
            QCOMPARE(int(u32(bytes, 8)), 2 * sizes.at(i));
        } else {
            QCOMPARE(QImage::fromData(bytes, "PNG").size(), QSize(sizes.at(i), sizes.at(i)));
        }
    }
}

void TestIcoEncoder::logLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.ico"));
    const int bytes[] = {1128, 2440, 4264, 9640, 16936, 67624};
    const int sizes[] = {16, 24, 32, 48, 64, 128};
    for (int i = 0; i < 6; ++i)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Encoded %1 x %1 BMP size: %2 bytes")
                                                        .arg(sizes[i]).arg(bytes[i])));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Encoded 256 x 256 PNG size: \\d+ bytes$")));
    QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("Success! Multi-resolution ICO file saved to: \"%1\"").arg(path)));
    QTest::ignoreMessage(QtInfoMsg, "Total images included: 7");
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    QVERIFY(IcoEncoder::writeIcoFromImage(quadrants(256), path));
}

void TestIcoEncoder::nullMaster()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("null.ico"));
    QTest::ignoreMessage(QtCriticalMsg, "Error: Failed to load source image");
    QVERIFY(!IcoEncoder::writeIcoFromImage(QImage(), path));
    QVERIFY(!QFile::exists(path));
}

void TestIcoEncoder::missingFolderCreatesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no/such/folder/out.ico"));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral(
                                            "^Error: Could not open output ICO file for writing at: .*out\\.ico\"$")));
    QVERIFY(!IcoEncoder::writeIcoFromImage(quadrants(256), path));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("no"))));
}

void TestIcoEncoder::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("sourceName");
    QTest::addColumn<QByteArray>("sourceBytes");
    // raster pictures fail with the reader's warning, SVG drawings with the rasteriser's
    QTest::newRow("text file named .png") << "notes.png" << QByteArray("just some words\n");
    QTest::newRow("empty file named .jpg") << "empty.jpg" << QByteArray();
    QTest::newRow("truncated PNG signature") << "cut.png" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    QTest::newRow("malformed SVG") << "broken.svg" << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\"");
    QTest::newRow("not an SVG at all") << "image.svg" << QByteArray("\x89PNG\r\n\x1a\n", 8);
}

void TestIcoEncoder::failedWriteKeepsOldFile()
{
    QFETCH(QString, sourceName);
    QFETCH(QByteArray, sourceBytes);
    QTemporaryDir dir;
    const QString source = dir.filePath(sourceName);
    QFile in(source);
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write(sourceBytes);
    in.close();

    const QString output = dir.filePath(QStringLiteral("old.ico"));
    const QByteArray old("the previous icon");
    QFile out(output);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(old);
    out.close();

    if (sourceName.endsWith(QLatin1String(".svg")))
        QTest::ignoreMessage(QtCriticalMsg, "Error: Failed to load source image");
    else
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Failed to load image from: \"%1\"").arg(source)));
    QString reason;
    QVERIFY(!IcoEncoder::writeIcoFromSourceFile(source, output, &reason));
    QVERIFY(!reason.isEmpty());
    QCOMPARE(readFile(output), old);
    // no temporary file left beside it
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

void TestIcoEncoder::missingSourceIsSilent()
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("out.ico"));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    QVERIFY(!IcoEncoder::writeIcoFromSourceFile(dir.filePath(QStringLiteral("missing.png")), output));
    QVERIFY(!QFile::exists(output));
}

QTEST_GUILESS_MAIN(TestIcoEncoder)
#include "tst_icoencoder.moc"
