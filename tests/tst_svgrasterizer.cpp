// The SVG rasteriser: exact size, the drawing's proportions kept and centred (checked
// against rsvg-convert --keep-aspect-ratio centred by Pillow), straight alpha, system
// fonts, and an output left alone on every failure.
#include <QtTest>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "ico/icoencoder.h"
#include "kvglobal.h"
#include "picture/sourceimage.h"
#include "picture/svgdocument.h"
#include "processrun.h"
#include "testfiles.h"

namespace {

// 100 x 50: a red left half and a blue right half.
const char kHalves[] = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"50\">\n" "<rect x=\"0\" y=\"0\" width=\"50\" height=\"50\" fill=\"#ff0000\"/>\n" "<rect x=\"50\" y=\"0\" width=\"50\" height=\"50\" fill=\"#0000ff\"/></svg>";

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    return writeFile(path, bytes) ? path : QString();
}

QImage sentinel()
{
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    return image;
}

} // namespace

class TestSvgRasterizer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void icoMatchesRsvgConvert_data();
    void icoMatchesRsvgConvert();
    void viewBoxOnly();
    void halfTransparentKeepsColour_data();
    void halfTransparentKeepsColour();
    void text();
    void failureLeavesOutput_data();
    void failureLeavesOutput();
    void upperCaseSuffix();
    void oneParseManySizes();
    void noOutsideFiles_data();
    void noOutsideFiles();
};

void TestSvgRasterizer::icoMatchesRsvgConvert_data()
{
    QTest::addColumn<QByteArray>("svg");
    // A red disc beside a blue square, so that a stretch, a squeeze or an offset shows.
    QTest::newRow("100 x 50") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"50\">"
                                            "<circle cx=\"25\" cy=\"25\" r=\"22\" fill=\"#e02020\"/>"
                                            "<rect x=\"55\" y=\"5\" width=\"40\" height=\"40\" fill=\"#2040e0\"/></svg>");
    QTest::newRow("50 x 100") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"50\" height=\"100\">"
                                            "<circle cx=\"25\" cy=\"25\" r=\"22\" fill=\"#e02020\"/>"
                                            "<rect x=\"5\" y=\"55\" width=\"40\" height=\"40\" fill=\"#2040e0\" "
                                            "fill-opacity=\"0.6\"/></svg>");
}

// Every entry of the .ico the direct road writes is rsvg-convert's own rendering at that
// size with the aspect ratio kept, centred on a transparent square by Pillow.
void TestSvgRasterizer::icoMatchesRsvgConvert()
{
    QFETCH(QByteArray, svg);
    const QString python = QStringLiteral("/usr/bin/python3");
    if (QStandardPaths::findExecutable("rsvg-convert").isEmpty() || run(python, {"-c", "import PIL"}).exitCode != 0)
        QSKIP("rsvg-convert or Pillow is missing");
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("drawing.svg"), svg);
    const QString ico = dir.filePath(QStringLiteral("drawing.ico"));
    QVERIFY(IcoEncoder::writeIcoFromSourceFile(path, ico));

    // For each size: the largest difference of a premultiplied channel, and the mean.
    const char* script = R"(
import io, subprocess, sys
from PIL import Image
svg, ico = sys.argv[1], sys.argv[2]
icon = Image.open(ico)
for side, _ in sorted(icon.info['sizes']):
    ours = icon.ico.getimage((side, side)).convert('RGBA')
    png = subprocess.run(['rsvg-convert', '--keep-aspect-ratio', '-w', str(side), '-h', str(side), svg],
                         check=True, capture_output=True).stdout
    drawn = Image.open(io.BytesIO(png)).convert('RGBA')
    theirs = Image.new('RGBA', (side, side), (0, 0, 0, 0))
    theirs.paste(drawn, ((side - drawn.width) // 2, (side - drawn.height) // 2))
    worst = total = 0
    for a, b in zip(ours.getdata(), theirs.getdata()):
        for i in range(3):
            d = abs(a[i] * a[3] - b[i] * b[3]) // 255
            worst = max(worst, d)
            total += d
        worst = max(worst, abs(a[3] - b[3]))
        total += abs(a[3] - b[3])
    print(side, ours.size[0], ours.size[1], worst, total / (side * side * 4))
)";
    const Run r = run(python, {"-c", QString::fromLatin1(script), path, ico});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 7);
    for (const QByteArray& line : lines) {
        const QList<QByteArray> f = line.split(' ');
        QCOMPARE(f.at(1), f.at(0)); // a square entry of the size the directory states
        QCOMPARE(f.at(2), f.at(0));
        // Anti-aliasing of two renderers differs on an edge pixel or so, never a band.
        QVERIFY2(f.at(3).toInt() <= 8 && f.at(4).toDouble() < 0.5, line.constData());
    }
}

void TestSvgRasterizer::viewBoxOnly()
{
    // Without width and height the viewBox gives the size, and its proportions are kept.
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("vb.svg"),
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 200 100\">\n" "<rect width=\"200\" height=\"100\" fill=\"#00ff00\"/></svg>");
    SvgDocument document;
    QByteArray data;
    QVERIFY(SvgDocument::readFile(path, data));
    QVERIFY(document.load(data));
    QCOMPARE(document.size(), QSizeF(200, 100));
    QImage image;
    QVERIFY(document.render(64, 64, image));
    QCOMPARE(image.pixel(0, 0), qRgba(0, 0, 0, 0));
    QCOMPARE(image.pixel(0, 16), qRgba(0, 255, 0, 255));
    QCOMPARE(image.pixel(63, 47), qRgba(0, 255, 0, 255));
    QCOMPARE(image.pixel(63, 48), qRgba(0, 0, 0, 0));
}

void TestSvgRasterizer::halfTransparentKeepsColour_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("fill-opacity 0.5 red") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">\n" "<rect width=\"10\" height=\"10\" fill=\"#ff0000\" fill-opacity=\"0.5\"/></svg>") << QColor(255, 0, 0);
    QTest::newRow("opacity 0.25 orange") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">\n" "<rect width=\"10\" height=\"10\" fill=\"#ff8000\" opacity=\"0.25\"/></svg>") << QColor(255, 128, 0);
    QTest::newRow("antialiased disc edge") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">\n" "<circle cx=\"5\" cy=\"5\" r=\"4.3\" fill=\"#20c0ff\"/></svg>") << QColor(0x20, 0xc0, 0xff);
}

void TestSvgRasterizer::halfTransparentKeepsColour()
{
    QFETCH(QByteArray, svg);
    QFETCH(QColor, colour);
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("edge.svg"), svg);
    QImage image;
    QVERIFY(KvGlobal::rasterizeSvg(path, 64, 64, image));
    int partial = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const QRgb p = image.pixel(x, y); // straight ARGB of the RGBA8888 pixel
            const int a = qAlpha(p);
            if (a < 32 || a == 255)
                continue;
            ++partial;
            // premultiplied bytes read as straight would be darker by the factor a / 255
            const int tolerance = 255 / a + 2;
            QVERIFY2(qAbs(qRed(p) - colour.red()) <= tolerance && qAbs(qGreen(p) - colour.green()) <= tolerance
                         && qAbs(qBlue(p) - colour.blue()) <= tolerance,
                     qPrintable(QStringLiteral("(%1, %2) = %3").arg(x).arg(y).arg(p, 8, 16)));
        }
    }
    QVERIFY(partial > 0);
}

void TestSvgRasterizer::text()
{
    // Text comes out through the system's fonts: something is drawn, in the text's colour.
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("text.svg"),
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"40\">\n" "<text x=\"5\" y=\"32\" font-family=\"sans-serif\" font-size=\"30\" fill=\"#000000\">Abc</text></svg>");
    QImage image;
    QVERIFY(KvGlobal::rasterizeSvg(path, 200, 80, image));
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += qAlpha(image.pixel(x, y)) > 200 ? 1 : 0;
    QVERIFY2(inked > 300, qPrintable(QString::number(inked)));
    QCOMPARE(qAlpha(image.pixel(199, 0)), 0); // the background stays transparent
}

void TestSvgRasterizer::failureLeavesOutput_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // empty name: no file at all
    QTest::addColumn<QSize>("size");
    QTest::newRow("missing file") << QString() << QByteArray() << QSize(16, 16);
    QTest::newRow("empty file") << "empty.svg" << QByteArray() << QSize(16, 16);
    QTest::newRow("unclosed tag") << "cut.svg" << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><rect")
                                  << QSize(16, 16);
    QTest::newRow("not XML") << "junk.svg" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) << QSize(16, 16);
    QTest::newRow("zero width document") << "zero.svg" << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"0\" height=\"10\"/>")
                                         << QSize(16, 16);
    // entities that grow a few bytes into gigabytes, and nesting deeper than any drawing
    QByteArray laughs("<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY e0 \"aaaaaaaaaa\">");
    for (int i = 1; i < 10; ++i) {
        QByteArray refs;
        for (int j = 0; j < 10; ++j)
            refs += "&e" + QByteArray::number(i - 1) + ';';
        laughs += "<!ENTITY e" + QByteArray::number(i) + " \"" + refs + "\">";
    }
    laughs += "]><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><text>&e9;</text></svg>";
    QTest::newRow("entity expansion") << "laughs.svg" << laughs << QSize(16, 16);
    const QByteArray deep = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
                            + QByteArray("<g>").repeated(200000) + QByteArray("</g>").repeated(200000) + "</svg>";
    QTest::newRow("200000 nested groups") << "deep.svg" << deep << QSize(16, 16);
    QTest::newRow("zero size asked") << "ok.svg" << QByteArray(kHalves) << QSize(0, 16);
    QTest::newRow("negative size asked") << "ok.svg" << QByteArray(kHalves) << QSize(16, -1);
    QTest::newRow("huge size asked") << "ok.svg" << QByteArray(kHalves) << QSize(100000, 100000);
}

void TestSvgRasterizer::failureLeavesOutput()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    const QString path = name.isEmpty() ? dir.filePath(QStringLiteral("missing.svg")) : writeFile(dir, name, bytes);
    QImage out = sentinel();
    QVERIFY(!KvGlobal::rasterizeSvg(path, size.width(), size.height(), out));
    QCOMPARE(out, sentinel());
    QImage fresh;
    QVERIFY(!KvGlobal::rasterizeSvg(path, size.width(), size.height(), fresh));
    QVERIFY(fresh.isNull());
}

void TestSvgRasterizer::upperCaseSuffix()
{
    // logo.SVG is a drawing: rasterised, not handed to the raster readers.
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("logo.SVG"), kHalves);
    QVERIFY(SourceImage::isSvgPath(path));
    QImage image;
    QVERIFY(SourceImage::load(path, 256, 256, image));
    QCOMPARE(image.size(), QSize(256, 256));
    QCOMPARE(image.pixel(0, 191), qRgba(255, 0, 0, 255));

    const QString output = dir.filePath(QStringLiteral("logo.ico"));
    QVERIFY(IcoEncoder::writeIcoFromSourceFile(path, output));
    QVERIFY(QFileInfo(output).size() > 118);
}

void TestSvgRasterizer::oneParseManySizes()
{
    // A parsed document draws the same pixels at each size as a fresh parse would.
    QByteArray data(kHalves);
    SvgDocument document;
    QVERIFY(document.load(data));
    for (int side : {16, 48, 256, 24}) {
        QImage reused;
        QVERIFY(document.render(side, side, reused));
        SvgDocument fresh;
        QVERIFY(fresh.load(data));
        QImage once;
        QVERIFY(fresh.render(side, side, once));
        QCOMPARE(reused, once);
    }
}

void TestSvgRasterizer::noOutsideFiles_data()
{
    QTest::addColumn<bool>("absolute");
    QTest::newRow("absolute path") << true;
    QTest::newRow("name beside the drawing") << false;
}

void TestSvgRasterizer::noOutsideFiles()
{
    // A drawing from outside may not pull other files of the disk into the icon.
    QFETCH(bool, absolute);
    QTemporaryDir dir;
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QString png = dir.filePath(QStringLiteral("secret.png"));
    QVERIFY(red.save(png));
    const QString href = absolute ? png : QStringLiteral("secret.png");
    const QString path = writeFile(dir, QStringLiteral("peek.svg"),
                                   QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" "
                                                  "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"8\" height=\"8\">"
                                                  "<image width=\"8\" height=\"8\" xlink:href=\"%1\"/></svg>")
                                       .arg(href).toUtf8());
    QImage image;
    if (!KvGlobal::rasterizeSvg(path, 16, 16, image))
        return; // refusing the whole drawing is as good
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            QCOMPARE(qAlpha(image.pixel(x, y)), 0);
}

QTEST_GUILESS_MAIN(TestSvgRasterizer)
#include "tst_svgrasterizer.moc"
