// The program's HEIF/AVIF and JPEG XL readers, fed with files that Debian's own encoders
// make at test time from a known picture.

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "heifstreamcheck.h"
#include "imagefixtures.h"
#include "testfiles.h"

using ImageFixtures::Source;

namespace {

constexpr QSize kSourceSize(96, 64);

// A device that hands its bytes out once, front to back, like a pipe: readers may peek
// but not seek.
class PipeDevice : public QIODevice
{
public:
    explicit PipeDevice(const QByteArray &bytes) : m_bytes(bytes) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_bytes.size() - m_offset + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin(maxSize, qint64(m_bytes.size()) - m_offset);
        if (n <= 0)
            return -1;
        memcpy(data, m_bytes.constData() + m_offset, size_t(n));
        m_offset += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_offset = 0;
};

// How a test file is made: the encoder's arguments around input and output, the source
// picture, the Exif orientation put into the PNG, and the HEIF transform boxes added after.
struct Recipe
{
    QString suffix;
    Source source = Source::Alpha;
    QStringList options;
    int exifOrientation = 1;
    int irot = -1;
    int imir = -1;
};

const QStringList kHeifLossless = {"-L", "-p", "chroma=444", "--matrix_coefficients=0"};

QHash<QString, Recipe> recipes()
{
    QHash<QString, Recipe> r;
    r["heic lossy"] = {"heic", Source::Alpha, {"-q", "90"}};
    r["heic lossy opaque"] = {"heic", Source::Opaque, {"-q", "90"}};
    r["heic lossless"] = {"heic", Source::Alpha, kHeifLossless};
    r["heic 10-bit lossless"] = {"heic", Source::Deep, kHeifLossless + QStringList {"-b", "10"}};
    r["avif lossy"] = {"avif", Source::Alpha, {"-q", "90"}};
    r["avif lossy opaque"] = {"avif", Source::Opaque, {"-q", "90"}};
    r["avif lossless"] = {"avif", Source::Alpha, kHeifLossless};
    r["avif 12-bit lossless"] = {"avif", Source::Deep, kHeifLossless + QStringList {"-b", "12"}};
    r["jxl lossy"] = {"jxl", Source::Alpha, {"-d", "1"}};
    r["jxl lossy opaque"] = {"jxl", Source::Opaque, {"-d", "1"}};
    r["jxl lossless"] = {"jxl", Source::Alpha, {"-d", "0"}};
    r["jxl 16-bit lossless"] = {"jxl", Source::Deep, {"-d", "0"}};
    for (int o = 2; o <= 8; ++o)
        r[QStringLiteral("jxl orientation %1").arg(o)] = {"jxl", Source::Alpha, {"-d", "0"}, o};
    // irot turns anticlockwise; imir axis 0 swaps top and bottom, axis 1 left and right
    // (the standard's note: Exif orientation 4 is axis 0, orientation 2 is axis 1)
    r["heic irot 1"] = {"heic", Source::Alpha, kHeifLossless, 1, 1, -1};
    r["heic irot 2"] = {"heic", Source::Alpha, kHeifLossless, 1, 2, -1};
    r["heic irot 3"] = {"heic", Source::Alpha, kHeifLossless, 1, 3, -1};
    r["heic imir 0"] = {"heic", Source::Alpha, kHeifLossless, 1, -1, 0};
    r["heic imir 1"] = {"heic", Source::Alpha, kHeifLossless, 1, -1, 1};
    r["heic irot 1 imir 0"] = {"heic", Source::Alpha, kHeifLossless, 1, 1, 0};
    r["heic irot 3 imir 0"] = {"heic", Source::Alpha, kHeifLossless, 1, 3, 0};
    r["avif irot 1"] = {"avif", Source::Alpha, kHeifLossless, 1, 1, -1};
    r["avif imir 1"] = {"avif", Source::Alpha, kHeifLossless, 1, -1, 1};
    return r;
}

// The 8-bit picture a correct reader gives for the source: 16-bit values scaled to 0..255
// with rounding.
QImage expectedPixels(Source kind)
{
    const QImage source = ImageFixtures::sourceImage(kSourceSize, kind);
    if (kind != Source::Deep)
        return source.convertToFormat(QImage::Format_RGBA8888);
    QImage out(source.size(), QImage::Format_RGBA8888);
    for (int y = 0; y < source.height(); ++y) {
        const auto *in = reinterpret_cast<const quint16 *>(source.constScanLine(y));
        uchar *line = out.scanLine(y);
        for (int i = 0; i < source.width() * 4; ++i)
            line[i] = uchar((quint32(in[i]) * 255 + 32767) / 65535);
    }
    return out;
}

struct Difference
{
    int max = 0;
    double mean = 0;
    double channelMean[4] = {};
    QString describe() const
    {
        return QStringLiteral("max %1, mean %2 (r %3 g %4 b %5 a %6)")
                .arg(max).arg(mean).arg(channelMean[0]).arg(channelMean[1])
                .arg(channelMean[2]).arg(channelMean[3]);
    }
};

Difference difference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGBA8888);
    const QImage y = b.convertToFormat(QImage::Format_RGBA8888);
    Difference d;
    qint64 sum = 0;
    qint64 channelSum[4] = {};
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row), *q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i) {
            const int e = std::abs(int(p[i]) - int(q[i]));
            d.max = qMax(d.max, e);
            sum += e;
            channelSum[i % 4] += e;
        }
    }
    const qint64 pixels = qint64(x.width()) * x.height();
    d.mean = double(sum) / (pixels * 4);
    for (int c = 0; c < 4; ++c)
        d.channelMean[c] = double(channelSum[c]) / pixels;
    return d;
}

QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;

void captureMessages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (context.category && QByteArray(context.category).startsWith("glyphora.imageformats."))
        g_messages << QString::fromLatin1(context.category) + ": " + text;
    else if (g_previousHandler)
        g_previousHandler(type, context, text);
}

} // namespace

class tst_ImageFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void librariesLoadOnFirstUse();
    void formatsAreRegistered();
    void decodes_data();
    void decodes();
    void scaledSize_data();
    void scaledSize();
    void allocationLimit_data();
    void allocationLimit();
    void statedSizeBeyondLimit_data();
    void statedSizeBeyondLimit();
    void malformed_data();
    void malformed();
    void streamStatesMore_data();
    void streamStatesMore();
    void canvasSizes_data();
    void canvasSizes();
    void streamSizesOfRealFiles_data();
    void streamSizesOfRealFiles();

private:
    QString file(const QString &name);
    QString largeFile(const QString &suffix);

    QTemporaryDir m_dir;
    QHash<QString, QString> m_made;
    int m_defaultLimit = 0;
};

void tst_ImageFormats::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // the made files are kept for a look with other tools when this is set
    if (qEnvironmentVariableIsSet("GLYPHORA_KEEP_TEST_FILES")) {
        m_dir.setAutoRemove(false);
        qInfo("test files in %s", qPrintable(m_dir.path()));
    }
    m_defaultLimit = QImageReader::allocationLimit();
    g_previousHandler = qInstallMessageHandler(captureMessages);
}

void tst_ImageFormats::init()
{
    g_messages.clear();
}

void tst_ImageFormats::cleanup()
{
    QImageReader::setAllocationLimit(m_defaultLimit);
}

QString tst_ImageFormats::file(const QString &name)
{
    if (m_made.contains(name))
        return m_made.value(name);
    const auto all = recipes();
    if (!all.contains(name))
        return {};
    const Recipe recipe = all.value(name);
    const QString stem = m_dir.filePath(QString(name).replace(' ', '_'));
    QFile png(stem + ".png");
    if (!png.open(QIODevice::WriteOnly)
        || png.write(ImageFixtures::pngBytes(ImageFixtures::sourceImage(kSourceSize, recipe.source),
                                             recipe.exifOrientation))
                <= 0)
        return {};
    png.close();
    const QString out = stem + "." + recipe.suffix;
    QString log;
    const bool ok = recipe.suffix == "jxl"
            ? ImageFixtures::run("cjxl", QStringList {png.fileName(), out} + recipe.options, &log)
            : ImageFixtures::run("heif-enc", recipe.options + QStringList {"-o", out, png.fileName()},
                                 &log);
    if (!ok) {
        qWarning("%s", qPrintable(log));
        return {};
    }
    if (recipe.irot >= 0 || recipe.imir >= 0) {
        QFile f(out);
        if (!f.open(QIODevice::ReadWrite))
            return {};
        const QByteArray edited =
                ImageFixtures::withHeifTransform(f.readAll(), recipe.irot, recipe.imir);
        if (edited.isEmpty())
            return {};
        f.seek(0);
        f.write(edited);
    }
    m_made.insert(name, out);
    return out;
}

// A 600 x 600 picture: 1.4 MB once decoded, past an allocation limit of 1 MB.
QString tst_ImageFormats::largeFile(const QString &suffix)
{
    const QString key = "large " + suffix;
    if (m_made.contains(key))
        return m_made.value(key);
    const QString png = m_dir.filePath("large.png");
    if (!QFile::exists(png)
        && !ImageFixtures::sourceImage(QSize(600, 600), Source::Alpha).save(png))
        return {};
    const QString out = m_dir.filePath("large." + suffix);
    QString log;
    const bool ok = suffix == "jxl"
            ? ImageFixtures::run("cjxl", {png, out}, &log)
            : ImageFixtures::run("heif-enc", {"-q", "80", "-o", out, png}, &log);
    if (!ok) {
        qWarning("%s", qPrintable(log));
        return {};
    }
    m_made.insert(key, out);
    return out;
}

static bool mapped(const char *library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

// Every run of the program pays for the libraries it maps at start-up; libheif (with its
// codecs) and libjxl come in only for a file of theirs.  Runs first, before any decode.
void tst_ImageFormats::librariesLoadOnFirstUse()
{
    QVERIFY(!mapped("libheif.so"));
    QVERIFY(!mapped("libjxl.so"));
    QVERIFY(QImageReader::supportedImageFormats().contains("heic"));
    QByteArray png = ImageFixtures::pngBytes(ImageFixtures::sourceImage(kSourceSize, Source::Alpha));
    QBuffer buffer(&png);
    QVERIFY(!QImageReader(&buffer).read().isNull());
    QVERIFY(!QImage(file("jxl lossy")).isNull());
    QVERIFY(!mapped("libheif.so"));
    QVERIFY(mapped("libjxl.so"));
    QVERIFY(!QImage(file("heic lossy")).isNull());
    QVERIFY(mapped("libheif.so"));
}

void tst_ImageFormats::formatsAreRegistered()
{
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    for (const char *f : {"heic", "heif", "avif", "jxl"})
        QVERIFY2(formats.contains(f), f);
    const QList<QByteArray> types = QImageReader::supportedMimeTypes();
    for (const char *t : {"image/heic", "image/heif", "image/avif", "image/jxl"})
        QVERIFY2(types.contains(t), t);
}

void tst_ImageFormats::decodes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("orientation"); // the Exif orientation the reader must apply
    QTest::addColumn<int>("maxError");    // per channel, 0..255
    QTest::addColumn<double>("meanError");

    // lossy rows: smooth ramps keep these codecs within a few levels; a wrong channel
    // order, orientation or alpha handling costs far more
    QTest::newRow("heic lossy") << "heic lossy" << 1 << 24 << 2.0;
    QTest::newRow("heic lossy opaque") << "heic lossy opaque" << 1 << 24 << 2.0;
    QTest::newRow("avif lossy") << "avif lossy" << 1 << 24 << 2.0;
    QTest::newRow("avif lossy opaque") << "avif lossy opaque" << 1 << 24 << 2.0;
    QTest::newRow("jxl lossy") << "jxl lossy" << 1 << 24 << 2.0;
    QTest::newRow("jxl lossy opaque") << "jxl lossy opaque" << 1 << 24 << 2.0;
    // libheif's own RGB path rounds by one level here and there even in lossless mode
    // (heif-convert gives the same); alpha stays exact
    QTest::newRow("heic lossless") << "heic lossless" << 1 << 1 << 0.4;
    QTest::newRow("avif lossless") << "avif lossless" << 1 << 1 << 0.4;
    QTest::newRow("jxl lossless") << "jxl lossless" << 1 << 0 << 0.0;
    // deep rows: a shift instead of a rounded scale is off by one in about half the
    // values, a mean near 0.5
    QTest::newRow("heic 10-bit lossless") << "heic 10-bit lossless" << 1 << 1 << 0.1;
    QTest::newRow("avif 12-bit lossless") << "avif 12-bit lossless" << 1 << 1 << 0.1;
    QTest::newRow("jxl 16-bit lossless") << "jxl 16-bit lossless" << 1 << 1 << 0.02;
    for (int o = 2; o <= 8; ++o) {
        const QString name = QStringLiteral("jxl orientation %1").arg(o);
        QTest::newRow(qPrintable(name)) << name << o << 0 << 0.0;
    }
    QTest::newRow("heic irot 1") << "heic irot 1" << 8 << 1 << 0.4;
    QTest::newRow("heic irot 2") << "heic irot 2" << 3 << 1 << 0.4;
    QTest::newRow("heic irot 3") << "heic irot 3" << 6 << 1 << 0.4;
    QTest::newRow("heic imir 0") << "heic imir 0" << 4 << 1 << 0.4;
    QTest::newRow("heic imir 1") << "heic imir 1" << 2 << 1 << 0.4;
    QTest::newRow("heic irot 1 imir 0") << "heic irot 1 imir 0" << 5 << 1 << 0.4;
    QTest::newRow("heic irot 3 imir 0") << "heic irot 3 imir 0" << 7 << 1 << 0.4;
    QTest::newRow("avif irot 1") << "avif irot 1" << 8 << 1 << 0.4;
    QTest::newRow("avif imir 1") << "avif imir 1" << 2 << 1 << 0.4;
}

void tst_ImageFormats::decodes()
{
    QFETCH(QString, name);
    QFETCH(int, orientation);
    QFETCH(int, maxError);
    QFETCH(double, meanError);

    const QString path = file(name);
    QVERIFY2(!path.isEmpty(), "the encoder could not make the file");
    const Source kind = recipes().value(name).source;
    const QImage expected = ImageFixtures::orientedByExif(expectedPixels(kind), orientation);

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();

    // by file name, by content from a pipe, and through QImage itself
    QImageReader reader(path);
    QCOMPARE(reader.size(), expected.size());
    const QImage byName = reader.read();
    PipeDevice pipe(bytes);
    QImageReader fromPipe(&pipe);
    QCOMPARE(fromPipe.format(), QFileInfo(path).suffix().toLatin1());
    const QImage byContent = fromPipe.read();
    const QImage loaded(path);

    int road = 0;
    for (const QImage &image : {byName, byContent, loaded}) {
        QVERIFY2(!image.isNull(), qPrintable(QString::number(road++) + ": " + g_messages.join('\n')));
        QCOMPARE(image.size(), expected.size());
        QCOMPARE(image.hasAlphaChannel(), kind != Source::Opaque);
        const Difference d = difference(image, expected);
        QVERIFY2(d.max <= maxError && d.mean <= meanError,
                 qPrintable(d.describe()));
        // lossless files keep alpha exact on every road, colour rounding or not
        if (maxError <= 1)
            QVERIFY2(d.channelMean[3] == 0, qPrintable(d.describe()));
    }
    QVERIFY2(g_messages.isEmpty(), qPrintable(g_messages.join('\n')));
}

void tst_ImageFormats::scaledSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("heic") << "heic lossy";
    QTest::newRow("avif") << "avif lossy";
    QTest::newRow("jxl") << "jxl lossy";
    QTest::newRow("jxl turned") << "jxl orientation 6";
}

void tst_ImageFormats::scaledSize()
{
    QFETCH(QString, name);
    const QString path = file(name);
    QVERIFY(!path.isEmpty());
    QImageReader reader(path);
    const QSize full = reader.size();
    const QSize half = full / 2;
    reader.setScaledSize(half);
    const QImage image = reader.read();
    QCOMPARE(image.size(), half);
    const QImage expected = ImageFixtures::orientedByExif(
            expectedPixels(Source::Alpha), recipes().value(name).exifOrientation);
    const Difference d = difference(
            image, expected.scaled(half, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QVERIFY2(d.max <= 24 && d.mean <= 2.0,
             qPrintable(d.describe()));
}

void tst_ImageFormats::allocationLimit_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("limit"); // MB; 0 switches the limit off
    QTest::addColumn<bool>("decodes");
    for (const char *suffix : {"heic", "avif", "jxl"}) {
        QTest::addRow("%s under 1 MB", suffix) << suffix << 1 << false;
        QTest::addRow("%s under 2 MB", suffix) << suffix << 2 << true;
        QTest::addRow("%s without limit", suffix) << suffix << 0 << true;
    }
}

void tst_ImageFormats::allocationLimit()
{
    QFETCH(QString, suffix);
    QFETCH(int, limit);
    QFETCH(bool, decodes);
    const QString path = largeFile(suffix);
    QVERIFY(!path.isEmpty());
    QImageReader::setAllocationLimit(limit);
    QImageReader reader(path);
    const QImage image = reader.read();
    QCOMPARE(!image.isNull(), decodes);
    if (decodes) {
        QCOMPARE(image.size(), QSize(600, 600));
    } else {
        QCOMPARE(g_messages.size(), 1);
        QVERIFY2(g_messages.first().contains("exceeds the allocation limit"),
                 qPrintable(g_messages.first()));
    }
}

void tst_ImageFormats::statedSizeBeyondLimit_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("bytes");
    auto read = [this](const QString &name) { return readFile(file(name)); };
    // 30000 x 30000 is 3.4 GB of pixels: within libheif's own side limit, far past Qt's
    QTest::newRow("heic") << "heic"
                          << ImageFixtures::withHeifCodedSize(read("heic lossy"), 30000, 30000);
    QTest::newRow("avif") << "avif"
                          << ImageFixtures::withHeifCodedSize(read("avif lossy"), 30000, 30000);
    QTest::newRow("jxl") << "jxl" << ImageFixtures::jxlHeaderOnly(30000, 30000);
    QTest::newRow("jxl wide") << "jxl" << ImageFixtures::jxlHeaderOnly(1u << 30, 1);
}

void tst_ImageFormats::statedSizeBeyondLimit()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, bytes);
    QVERIFY(!bytes.isEmpty());
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QElapsedTimer timer;
    timer.start();
    QImageReader reader(&buffer);
    QCOMPARE(reader.format(), format.toLatin1());
    const QImage image = reader.read();
    QVERIFY(image.isNull());
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY2(!g_messages.isEmpty() && g_messages.last().contains("exceeds the allocation limit"),
             qPrintable(g_messages.join('\n')));
}

void tst_ImageFormats::malformed_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("bytes");
    for (const char *name : {"heic lossy", "avif lossy", "jxl lossy", "jxl lossless"}) {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray whole = f.readAll();
        const QString format = QString::fromLatin1(name).section(' ', 0, 0);
        for (qint64 length : {qint64(0), qint64(2), qint64(12), qint64(40), whole.size() / 2,
                              whole.size() - 16, whole.size() - 1}) {
            QTest::addRow("%s cut to %lld bytes", name, length) << format << whole.left(length);
        }
        QByteArray scrambled = whole;
        for (qint64 i = 16; i < scrambled.size(); i += 7)
            scrambled[i] = char(~scrambled[i]);
        QTest::addRow("%s scrambled", name) << format << scrambled;
    }
}

void tst_ImageFormats::malformed()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, bytes);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QImageReader reader(&buffer, format.toLatin1());
    const QImage image = reader.read();
    QVERIFY(image.isNull());
    QVERIFY(!g_messages.isEmpty());
}

// Files whose 'ispe' is small while their bitstream states another size: the decoders
// would allocate what the bitstream says, so that is what gets checked.
void tst_ImageFormats::streamStatesMore_data()
{
    using ImageFixtures::Codec;
    using ImageFixtures::StreamSize;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("refused");
    const QSize ispe(96, 64);
    auto make = [&](Codec codec, const StreamSize &stream) {
        return ImageFixtures::heifWithStreamSize(codec, ispe, stream);
    };
    // the same files with an honest bitstream reach the decoder, which fails on the
    // filler: the containers are ones libheif accepts
    QTest::newRow("av1 honest") << make(Codec::Av1, {96, 64}) << false;
    QTest::newRow("av1 30000 x 30000") << make(Codec::Av1, {30000, 30000}) << true;
    QTest::newRow("av1 65536 x 1") << make(Codec::Av1, {65536, 1}) << false;
    QTest::newRow("av1 65536 x 2000") << make(Codec::Av1, {65536, 2000}) << true;
    QTest::newRow("av1 full header, fewest bits") << make(Codec::Av1, {96, 64, false}) << false;
    // a frame header could then state 65536 x 65536
    QTest::newRow("av1 full header, 16 bits a side") << make(Codec::Av1, {96, 64, false, 16}) << true;
    QTest::newRow("hevc honest") << make(Codec::Hevc, {96, 64}) << false;
    QTest::newRow("hevc 30000 x 30000") << make(Codec::Hevc, {30000, 30000}) << true;
    QTest::newRow("hevc 4 billion wide") << make(Codec::Hevc, {0xfffffff0u, 16}) << true;
    // two SPS whose areas (near 2^64 pixels) do not fit in 64 bits: the huge one must
    // still count as the larger, whichever comes first
    const StreamSize huge{0xfffffff0u, 0xfffffff0u};
    const StreamSize honest{96, 64};
    QTest::newRow("hevc two SPS, the huge one first")
            << ImageFixtures::heifWithStreamSizes(Codec::Hevc, ispe, {huge, honest}) << true;
    QTest::newRow("hevc two SPS, the huge one last")
            << ImageFixtures::heifWithStreamSizes(Codec::Hevc, ispe, {honest, huge}) << true;
    // several headers in one record: the largest decides, wherever it stands
    const StreamSize large{30000, 30000};
    QTest::newRow("av1 two sequence headers, the large one last")
            << ImageFixtures::heifWithStreamSizes(Codec::Av1, ispe, {honest, large}) << true;
    QTest::newRow("av1 two honest sequence headers")
            << ImageFixtures::heifWithStreamSizes(Codec::Av1, ispe, {honest, honest}) << false;
}

void tst_ImageFormats::streamStatesMore()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, refused);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QElapsedTimer timer;
    timer.start();
    QImageReader reader(&buffer);
    QVERIFY(!reader.format().isEmpty());
    QVERIFY(reader.read().isNull());
    QVERIFY(timer.elapsed() < 5000);
    const QString log = g_messages.join('\n');
    QVERIFY2(!g_messages.isEmpty(), "no log line");
    QVERIFY2(log.contains("not decoding the file") == refused, qPrintable(log));
    if (!refused)
        QVERIFY2(log.contains("cannot decode the primary image"), qPrintable(log));
}

// Grid and overlay items state their own canvas, which libheif allocates whole.
void tst_ImageFormats::canvasSizes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fits");
    for (const char *type : {"grid", "iovl"}) {
        QTest::addRow("%s 4096 x 4096", type) << ImageFixtures::heifWithCanvas(type, 4096, 4096) << true;
        QTest::addRow("%s 65535 x 65535", type) << ImageFixtures::heifWithCanvas(type, 65535, 65535) << false;
        QTest::addRow("%s 100000 x 16", type) << ImageFixtures::heifWithCanvas(type, 100000, 16) << true;
        QTest::addRow("%s 100000 x 100000", type) << ImageFixtures::heifWithCanvas(type, 100000, 100000) << false;
        QByteArray cut = ImageFixtures::heifWithCanvas(type, 4096, 4096);
        cut.chop(3);
        QTest::addRow("%s data cut short", type) << cut << false;
    }
}

void tst_ImageFormats::canvasSizes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fits);
    QString why;
    const qint64 limit = qint64(256) << 20;
    QCOMPARE(HeifStreamCheck::framesFit(bytes, limit, &why), fits);
    if (!fits)
        QVERIFY(!why.isEmpty());
}

// Debian's encoders' own bitstreams: the sizes read from them are the pictures' sizes,
// so a limit of exactly 96 x 64 RGBA pixels passes and one byte less does not.
void tst_ImageFormats::streamSizesOfRealFiles_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"heic lossy", "heic lossless", "heic 10-bit lossless", "avif lossy",
                             "avif lossless", "avif 12-bit lossless", "heic lossy opaque"})
        QTest::newRow(name) << name;
}

void tst_ImageFormats::streamSizesOfRealFiles()
{
    QFETCH(QString, name);
    QFile f(file(name));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const qint64 exact = qint64(kSourceSize.width()) * kSourceSize.height() * 4;
    QString why;
    QVERIFY2(HeifStreamCheck::framesFit(bytes, exact, &why), qPrintable(why));
    QVERIFY(!HeifStreamCheck::framesFit(bytes, exact - 1, &why));
    QVERIFY2(why.contains("96 x 64"), qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_ImageFormats)
#include "tst_imageformats.moc"
