// Icons written from the benchmark's pictures, read back by outside readers: icoutils
// (icotool -l, icotool -x), Pillow and ImageMagick's identify.  Every entry must come back
// as the program's own scaled image.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>

#include "ico/icoencoder.h"
#include "picture/sourceimage.h"
#include "picture/svgdocument.h"

namespace {

// Debian's Python, the one with python3-pil (not whatever python3 is first on PATH).
const QString kPython = QStringLiteral("/usr/bin/python3");

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 120000)
{
    QProcess process;
    process.start(program, args);
    Run result;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString inputsDir()
{
    return QStringLiteral(GLYPHORA_BINARY_DIR "/tests/bench-inputs");
}

// Pillow's view of a PNG: straight RGBA rows, as an ARGB32 image.
QImage readWithPillow(const QString& path)
{
    const Run r = run(kPython, {QStringLiteral("-c"),
                                QStringLiteral("import sys\nfrom PIL import Image\n"
                                               "im = Image.open(sys.argv[1]).convert('RGBA')\n"
                                               "sys.stdout.buffer.write(b'%d %d\\n' % im.size + im.tobytes())\n"),
                                path});
    const int nl = int(r.out.indexOf('\n'));
    if (r.exitCode != 0 || nl < 0)
        return QImage();
    const QList<QByteArray> wh = r.out.left(nl).split(' ');
    if (wh.size() != 2)
        return QImage();
    const int w = wh.at(0).toInt();
    const int h = wh.at(1).toInt();
    const QByteArray pixels = r.out.mid(nl + 1);
    if (w <= 0 || h <= 0 || pixels.size() != qint64(w) * h * 4)
        return QImage();
    QImage rgba(reinterpret_cast<const uchar*>(pixels.constData()), w, h, w * 4, QImage::Format_RGBA8888);
    return rgba.convertToFormat(QImage::Format_ARGB32);
}

// Largest channel difference; the colour of a fully transparent pixel does not count.
int largestDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            int d = qAbs(qAlpha(p) - qAlpha(q));
            if (qAlpha(p) || qAlpha(q))
                d = std::max({d, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))});
            largest = std::max(largest, d);
        }
    return largest;
}

// The program's own image for one entry.
QImage expectedEntry(const QString& source, int size)
{
    if (SourceImage::isSvgPath(source)) {
        QByteArray data;
        SvgDocument document;
        QImage image;
        if (!SvgDocument::readFile(source, data) || !document.load(data) || !document.render(size, size, image))
            return QImage();
        return image.convertToFormat(QImage::Format_ARGB32);
    }
    QImage master;
    if (!SourceImage::loadRasterFitted(source, IcoEncoder::kMasterSide, master))
        return QImage();
    return IcoEncoder::fitToSquare(master, size);
}

const QList<int> kSizes{16, 24, 32, 48, 64, 128, 256};

} // namespace

class TestIcoRoundTrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void reducedDecode_data();
    void reducedDecode();
};

void TestIcoRoundTrip::initTestCase()
{
    for (const char* tool : {"icotool", "identify"})
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(), tool);
    QVERIFY(QFileInfo::exists(kPython));
    const Run r = run(kPython, {QStringLiteral(GLYPHORA_SOURCE_DIR "/bench/make-inputs.py"), inputsDir()}, 300000);
    QVERIFY2(r.exitCode == 0, r.err.constData());
}

void TestIcoRoundTrip::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("4000 x 3000 JPEG") << "photo.jpg";
    QTest::newRow("1024 x 1024 PNG, soft alpha") << "soft.png";
    QTest::newRow("2000 x 1000 PNG") << "wide.png";
    QTest::newRow("SVG with gradients, text, pattern, filter") << "drawing.svg";
}

void TestIcoRoundTrip::roundTrip()
{
    QFETCH(QString, name);
    const QString source = QDir(inputsDir()).filePath(name);
    QTemporaryDir dir;
    const QString ico = dir.filePath(QStringLiteral("out.ico"));
    QVERIFY(IcoEncoder::writeIcoFromSourceFile(source, ico));

    // icotool -l: seven 32-bit entries of the expected sizes, in order
    Run r = run(QStringLiteral("icotool"), {QStringLiteral("-l"), ico});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), kSizes.size());
    for (int i = 0; i < kSizes.size(); ++i) {
        const QByteArray want = QStringLiteral("--icon --index=%1 --width=%2 --height=%2 --bit-depth=32 --palette-size=0")
                                    .arg(i + 1).arg(kSizes.at(i)).toLatin1();
        QCOMPARE(lines.at(i), want);
    }

    // icotool -x, then Pillow reads each entry: the program's own scaled image
    const QString extracted = dir.filePath(QStringLiteral("x"));
    QVERIFY(QDir().mkpath(extracted));
    r = run(QStringLiteral("icotool"), {QStringLiteral("-x"), QStringLiteral("-o"), extracted, ico});
    QCOMPARE(r.exitCode, 0);
    int largest = 0;
    for (int i = 0; i < kSizes.size(); ++i) {
        const int size = kSizes.at(i);
        const QString png = QDir(extracted).filePath(QStringLiteral("out_%1_%2x%2x32.png").arg(i + 1).arg(size));
        const QImage theirs = readWithPillow(png);
        QVERIFY2(!theirs.isNull(), qPrintable(png));
        QCOMPARE(theirs.size(), QSize(size, size));
        const QImage ours = expectedEntry(source, size);
        QVERIFY(!ours.isNull());
        const int d = largestDifference(theirs, ours);
        largest = std::max(largest, d);
        QVERIFY2(d <= 1, qPrintable(QStringLiteral("%1: difference %2").arg(size).arg(d)));
    }
    qInfo("%s: largest channel difference through icotool -x and Pillow: %d", qPrintable(name), largest);

    // Pillow reads the icon itself
    r = run(kPython, {QStringLiteral("-c"),
                      QStringLiteral("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
                                     "print(' '.join(str(w) for w, h in sorted(im.info['sizes'])), im.size[0])"),
                      ico});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.trimmed(), QByteArray("16 24 32 48 64 128 256 256"));

    // identify reads every frame
    r = run(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%m %wx%h %z\\n"), ico});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> frames = r.out.trimmed().split('\n');
    QCOMPARE(frames.size(), kSizes.size());
    // identify names a frame by its payload: the bitmaps "ICO", the PNG stream "PNG"
    for (int i = 0; i < kSizes.size(); ++i) {
        const int size = kSizes.at(i);
        QCOMPARE(frames.at(i), QStringLiteral("%1 %2x%2 8").arg(size < 256 ? "ICO" : "PNG").arg(size).toLatin1());
    }
}

void TestIcoRoundTrip::reducedDecode_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("bound");
    // A large JPEG decodes at a quarter of its size before the smooth scale; every entry
    // stays within a few levels of the full decode.
    QTest::newRow("4000 x 3000 JPEG") << QDir(inputsDir()).filePath(QStringLiteral("photo.jpg")) << 6;
    // PNG has no reduced decode: the same pixels.
    QTest::newRow("1024 x 1024 PNG") << QDir(inputsDir()).filePath(QStringLiteral("soft.png")) << 0;
}

void TestIcoRoundTrip::reducedDecode()
{
    QFETCH(QString, path);
    QFETCH(int, bound);
    QImage reduced;
    QImage full;
    QVERIFY(SourceImage::loadRasterFitted(path, 256, reduced, nullptr, SourceImage::Decode::Reduced));
    QVERIFY(SourceImage::loadRasterFitted(path, 256, full, nullptr, SourceImage::Decode::Full));
    QCOMPARE(reduced.size(), full.size());
    int largest = 0;
    for (int size : kSizes)
        largest = std::max(largest, largestDifference(IcoEncoder::fitToSquare(reduced, size),
                                                      IcoEncoder::fitToSquare(full, size)));
    qInfo("largest channel difference, reduced against full decode: %d", largest);
    QVERIFY2(largest <= bound, qPrintable(QString::number(largest)));

    // A JPEG too small to reduce decodes the same either way.
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("small.jpg"));
    QVERIFY(full.save(small, "JPEG"));
    QImage a, b;
    QVERIFY(SourceImage::loadRasterFitted(small, 256, a, nullptr, SourceImage::Decode::Reduced));
    QVERIFY(SourceImage::loadRasterFitted(small, 256, b, nullptr, SourceImage::Decode::Full));
    QCOMPARE(a, b);
}

QTEST_GUILESS_MAIN(TestIcoRoundTrip)
#include "tst_icoroundtrip.moc"
