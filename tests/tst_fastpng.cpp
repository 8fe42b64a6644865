// The quick PNG road against Qt's own PNG reader: wherever it decodes a file, the image
// must be the one Qt gives (format, pixels, colour space); everywhere else it must step
// aside, so that decodePng still gives what Qt gives.

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <libdeflate.h>

#include "ico/fastpng.h"
#include "ico/icondecoder.h"
#include "pe/peresourcereader.h"
#include "processrun.h"
#include "testfiles.h"

namespace {

const char* const kWineLibraries = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";

QByteArray be32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

QByteArray chunk(const char* type, const QByteArray& body)
{
    const QByteArray typed = QByteArray(type, 4) + body;
    return be32(quint32(body.size())) + typed
        + be32(libdeflate_crc32(0, typed.constData(), size_t(typed.size())));
}

// How a test PNG is written: colour type, the filter of each row (cycled), the IDAT
// chunks the stream is cut into, and the colour chunks.
struct PngSpec
{
    int colourType = 6;
    QList<int> filters = {0, 1, 2, 3, 4};
    int idatParts = 1;
    bool colourChunks = false;
    int noiseLevels = 0;  // samples drawn at random from this many levels, 0: a busy picture
};

int channels(int colourType)
{
    return colourType == 6 ? 4 : colourType == 2 ? 3 : colourType == 4 ? 2 : 1;
}

quint8 predictor(int filter, int left, int up, int upLeft)
{
    switch (filter) {
    case 1:
        return quint8(left);
    case 2:
        return quint8(up);
    case 3:
        return quint8((left + up) / 2);
    case 4: {
        const int p = left + up - upLeft;
        const int pa = qAbs(p - left), pb = qAbs(p - up), pc = qAbs(p - upLeft);
        return quint8(pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft);
    }
    default:
        return 0;
    }
}

// The raw samples of a busy picture: every channel varies along both axes and with
// the others, so that each filter's predictions are put to work.
// With noiseLevels, samples at random instead; few levels make the ties between the
// Paeth filter's distances common.
QByteArray samples(int width, int height, int colourType, int noiseLevels = 0)
{
    const int n = channels(colourType);
    QByteArray raw;
    quint32 state = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < n; ++c) {
                state = state * 1664525u + 1013904223u;
                raw += noiseLevels ? char((state >> 24) % quint32(noiseLevels) * (255 / (noiseLevels - 1)))
                                   : char((x * (7 + c * 13) + y * (11 + c * 5) + (x * y) % (17 + c)) & 0xff);
            }
        }
    }
    return raw;
}

QByteArray pngBytes(int width, int height, const PngSpec& spec)
{
    const int bpp = channels(spec.colourType);
    const int rowBytes = width * bpp;
    const QByteArray raw = samples(width, height, spec.colourType, spec.noiseLevels);
    QByteArray filtered;
    for (int y = 0; y < height; ++y) {
        const int filter = spec.filters.at(y % spec.filters.size());
        filtered += char(filter);
        for (int i = 0; i < rowBytes; ++i) {
            const int at = y * rowBytes + i;
            const int left = i >= bpp ? quint8(raw[at - bpp]) : 0;
            const int up = y > 0 ? quint8(raw[at - rowBytes]) : 0;
            const int upLeft = y > 0 && i >= bpp ? quint8(raw[at - rowBytes - bpp]) : 0;
            filtered += char(quint8(raw[at]) - predictor(filter, left, up, upLeft));
        }
    }
    const QByteArray stream = qCompress(filtered).mid(4); // without Qt's length prefix
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr = be32(quint32(width)) + be32(quint32(height));
    ihdr += char(8);
    ihdr += char(spec.colourType);
    ihdr += QByteArray(3, '\0');
    png += chunk("IHDR", ihdr);
    if (spec.colourChunks) {
        png += chunk("gAMA", be32(45455));
        png += chunk("cHRM", be32(31270) + be32(32900) + be32(64000) + be32(33000) + be32(30000)
                                 + be32(60000) + be32(15000) + be32(6000));
    }
    const qsizetype part = (stream.size() + spec.idatParts - 1) / spec.idatParts;
    for (qsizetype at = 0; at < stream.size(); at += part)
        png += chunk("IDAT", stream.mid(at, part));
    png += chunk("IEND", {});
    return png;
}

// The chunk of the given type in a PNG: where its length field starts.
qsizetype chunkAt(const QByteArray& png, const char* type)
{
    const qsizetype at = png.indexOf(QByteArray(type, 4));
    return at < 0 ? -1 : at - 4;
}

QByteArray withChunkBefore(const QByteArray& png, const char* before, const QByteArray& inserted)
{
    QByteArray out = png;
    out.insert(chunkAt(png, before), inserted);
    return out;
}

void compareWithQt(const QByteArray& png, const QImage& fast)
{
    const QImage qt = QImage::fromData(png, "PNG");
    QVERIFY(!qt.isNull());
    QCOMPARE(fast.format(), qt.format());
    QCOMPARE(fast.size(), qt.size());
    QVERIFY(fast == qt);
    QCOMPARE(fast.colorSpace(), qt.colorSpace());
    QCOMPARE(fast.colorSpace().gamma(), qt.colorSpace().gamma());
    QCOMPARE(fast.colorSpace().primaries(), qt.colorSpace().primaries());
}

} // namespace

class tst_FastPng : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writtenFiles_data();
    void writtenFiles();
    void leftToQt_data();
    void leftToQt();
    void metadataIgnored_data();
    void metadataIgnored();
    void wineIcons();
};

void tst_FastPng::writtenFiles_data()
{
    QTest::addColumn<QByteArray>("png");
    for (int type : {6, 2, 4}) {
        for (const QSize& size : {QSize(256, 256), QSize(1, 5), QSize(3, 1), QSize(37, 19)}) {
            QTest::addRow("type %d, %dx%d, every filter", type, size.width(), size.height())
                << pngBytes(size.width(), size.height(), {type});
        }
        for (int filter = 0; filter <= 4; ++filter) {
            QTest::addRow("type %d, filter %d only", type, filter)
                << pngBytes(48, 48, {type, {filter}});
        }
        for (int levels : {256, 3}) {
            QTest::addRow("type %d, noise of %d levels, every filter", type, levels)
                << pngBytes(61, 23, {type, {0, 1, 2, 3, 4}, 1, false, levels});
        }
        QTest::addRow("type %d, gAMA and cHRM", type) << pngBytes(32, 32, {type, {4, 2}, 1, true});
        QTest::addRow("type %d, seven IDAT chunks", type) << pngBytes(64, 40, {type, {4, 1, 3}, 7});
    }
    const QByteArray base = pngBytes(16, 16, {});
    // ancillary chunks that Qt's reader passes over
    QTest::newRow("bKGD and tIME") << withChunkBefore(
        base, "IDAT", chunk("bKGD", QByteArray(6, '\x10')) + chunk("tIME", QByteArray(7, '\x01')));
    QTest::newRow("private chunk") << withChunkBefore(base, "IDAT", chunk("caNv", QByteArray(16, '\0')));
    QTest::newRow("bytes after IEND") << base + "trailing";
    QTest::newRow("linear gamma")
        << withChunkBefore(base, "IDAT", chunk("gAMA", be32(100000)) + chunk("cHRM", be32(31270) + be32(32900) + be32(64000) + be32(33000) + be32(30000) + be32(60000) + be32(15000) + be32(6000)));
}

void tst_FastPng::writtenFiles()
{
    QFETCH(QByteArray, png);
    const QImage fast = FastPng::decode(png);
    QVERIFY(!fast.isNull());
    compareWithQt(png, fast);
}

// Files the quick road leaves to Qt; decodePng must then give exactly Qt's result,
// a null image where Qt gives one.
void tst_FastPng::leftToQt_data()
{
    QTest::addColumn<QByteArray>("png");
    const QByteArray base = pngBytes(16, 16, {});
    QByteArray badCrc = base;
    badCrc[chunkAt(base, "IDAT") + 10] = char(badCrc[chunkAt(base, "IDAT") + 10] ^ 1);
    QTest::newRow("IDAT with a wrong CRC") << badCrc;
    QByteArray badFilter;
    {
        QByteArray raw(1 + 16, '\0');
        raw[0] = char(5);
        QByteArray ihdr = be32(4) + be32(1);
        ihdr += char(8);
        ihdr += char(6);
        ihdr += QByteArray(3, '\0');
        badFilter = QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr)
            + chunk("IDAT", qCompress(raw).mid(4)) + chunk("IEND", {});
    }
    QTest::newRow("filter type 5") << badFilter;
    QTest::newRow("other chromaticities")
        << withChunkBefore(base, "IDAT", chunk("gAMA", be32(45455)) + chunk("cHRM", QByteArray(32, '\x01')));
    QTest::newRow("gAMA without cHRM") << withChunkBefore(base, "IDAT", chunk("gAMA", be32(45455)));
    QTest::newRow("tRNS") << withChunkBefore(pngBytes(8, 8, {2}), "IDAT",
                                             chunk("tRNS", QByteArray(6, '\x07')));
    QTest::newRow("sRGB") << withChunkBefore(base, "IDAT", chunk("sRGB", QByteArray(1, '\0')));
    QTest::newRow("tEXt") << withChunkBefore(base, "IDAT", chunk("tEXt", "Title\0Icon"));
    QTest::newRow("pHYs") << withChunkBefore(base, "IDAT", chunk("pHYs", be32(2835) + be32(2835) + '\x01'));
    QTest::newRow("no IEND") << base.left(chunkAt(base, "IEND"));
    QTest::newRow("cut in IDAT") << base.left(chunkAt(base, "IDAT") + 20);
    {
        QByteArray split = pngBytes(16, 16, {6, {0}, 2});
        const qsizetype second = split.indexOf("IDAT", chunkAt(split, "IDAT") + 8) - 4;
        split.insert(second, chunk("bKGD", QByteArray(6, '\0')));
        QTest::newRow("IDAT after another chunk") << split;
    }
    QTest::newRow("chunk type not letters")
        << withChunkBefore(base, "IDAT", chunk("b\x0bGD", QByteArray(6, '\0')));
    QTest::newRow("grey") << pngBytes(20, 20, {0});
    QTest::newRow("signature only") << QByteArray("\x89PNG\r\n\x1a\n", 8);
    for (const char* name : {"Mono", "Indexed8", "Grayscale16", "RGBA64"}) {
        QImage image(24, 24, QImage::Format_ARGB32);
        image.fill(qRgba(10, 200, 30, 128));
        const QImage::Format format = QByteArray(name) == "Mono" ? QImage::Format_Mono
            : QByteArray(name) == "Indexed8"                    ? QImage::Format_Indexed8
            : QByteArray(name) == "Grayscale16"                  ? QImage::Format_Grayscale16
                                                                : QImage::Format_RGBA64;
        QByteArray written;
        QBuffer buffer(&written);
        buffer.open(QIODevice::WriteOnly);
        image.convertToFormat(format).save(&buffer, "PNG");
        QTest::addRow("written by Qt as %s", name) << written;
    }
}

void tst_FastPng::leftToQt()
{
    QFETCH(QByteArray, png);
    QVERIFY(FastPng::decode(png).isNull());
    const QImage qt = QImage::fromData(png, "PNG");
    const QImage ours = IconDecoder::decodePng(png);
    QCOMPARE(ours.isNull(), qt.isNull());
    if (!qt.isNull()) {
        QCOMPARE(ours.format(), qt.format());
        QVERIFY(ours == qt);
    }
}

// Lint asks for the pixels alone: PNGs whose metadata chunks (colour profile, text,
// resolution, Exif, offset) would send them to Qt decode on the quick road instead, to
// the pixels Qt gives.  Written by ImageMagick and Pillow as a user's pictures come.
void tst_FastPng::metadataIgnored_data()
{
    QTest::addColumn<QByteArray>("png");
    static QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString magick = dir.filePath("magick.png");
    QCOMPARE(run("convert", {"-size", "48x40", "gradient:rgba(255,0,0,0.8)-rgba(0,0,255,0.3)", "-density", "96",
                             "-set", "comment", "made here", "PNG32:" + magick}).exitCode, 0);
    QTest::newRow("ImageMagick: gAMA, cHRM, pHYs, tEXt") << readFile(magick);
    const QString pillow = dir.filePath("pillow.png");
    QCOMPARE(run("/usr/bin/python3", {"-c", "import sys\n"
        "from PIL import Image, ImageCms, PngImagePlugin\n"
        "img = Image.radial_gradient('L').resize((40, 36)).convert('RGBA')\n"
        "img.putalpha(Image.linear_gradient('L').resize((40, 36)))\n"
        "info = PngImagePlugin.PngInfo(); info.add_text('Title', 'icon'); info.add_itxt('Note', 'x', zip=True)\n"
        "exif = Image.Exif(); exif[0x010e] = 'picture'\n"
        "img.save(sys.argv[1], pnginfo=info, dpi=(144, 144), exif=exif,\n"
        "         icc_profile=ImageCms.ImageCmsProfile(ImageCms.createProfile('sRGB')).tobytes())\n",
        pillow}).exitCode, 0);
    QTest::newRow("Pillow: iCCP, pHYs, tEXt, iTXt, eXIf") << readFile(pillow);
}

void tst_FastPng::metadataIgnored()
{
    QFETCH(QByteArray, png);
    QVERIFY(FastPng::decode(png).isNull());
    QImage fast = FastPng::decode(png, FastPng::Metadata::Ignored);
    QVERIFY(!fast.isNull());
    QImage qt = QImage::fromData(png, "PNG");
    QCOMPARE(fast.format(), qt.format());
    // the pixels alone: what the chunks attach is left out
    fast.setColorSpace(QColorSpace());
    qt.setColorSpace(QColorSpace());
    QVERIFY(fast == qt);
}

// Every PNG icon image in wine's 64-bit libraries: those on the quick road decode to
// Qt's image exactly, and most of them are on it.
void tst_FastPng::wineIcons()
{
    const QDir folder(QString::fromLatin1(kWineLibraries));
    if (!folder.exists())
        QSKIP("wine's PE libraries are not installed");
    int pngs = 0, fast = 0;
    for (const QString& name : folder.entryList({"*.dll", "*.exe"}, QDir::Files)) {
        IconResourceSet resources;
        if (!readIconResources(folder.filePath(name), resources))
            continue;
        for (auto it = resources.icons.cbegin(); it != resources.icons.cend(); ++it) {
            if (!IconDecoder::isPngPayload(it.value()))
                continue;
            ++pngs;
            const QImage image = FastPng::decode(it.value());
            if (image.isNull())
                continue;
            ++fast;
            compareWithQt(it.value(), image);
            if (QTest::currentTestFailed()) {
                qWarning("%s: RT_ICON %d", qPrintable(name), it.key());
                return;
            }
        }
    }
    qInfo("%d of %d PNG icon images on the quick road", fast, pngs);
    QVERIFY(pngs > 100);
    QVERIFY(fast * 10 >= pngs * 9);
}

QTEST_GUILESS_MAIN(tst_FastPng)
#include "tst_fastpng.moc"
