// The composed icon probed pixel by pixel (container geometry, gradient ends, border
// width, badge placement, 3D, clipping), display images of objects, and the style record's
// settings.
#include <QtTest>

#include <QSettings>
#include <QTemporaryDir>

#include "render/iconrenderer.h"
#include "render/iconstyle.h"
#include "render/imagedata.h"

namespace {

// Everything off: only what a test turns on draws.
IconStyle plainStyle()
{
    IconStyle style;
    style.useBackground = style.useBack3dEffect = style.useBorder = style.useGlossy = style.useBadge = false;
    style.measureBadgeText();
    return style;
}

// One opaque object covering the whole canvas of size index s.
QList<ImageData> covering(QRgb colour, int s = 1)
{
    ImageData object;
    object.image = QImage(300 * s, 300 * s, QImage::Format_ARGB32_Premultiplied);
    object.image.fill(colour);
    object.fitInto(300 * s);
    return {object};
}

QImage canvas(const IconStyle& style, const QList<ImageData>& objects = {})
{
    QPainterPath path;
    const QImage container = IconRenderer::drawContainer(style, 1, path);
    return IconRenderer::compose(style, 1, container, path, objects, true);
}

int alpha(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)); }

constexpr QRgb kBlue = 0xff0000ff, kRed = 0xffff0000, kWhite = 0xffffffff;

} // namespace

class TestIconRenderer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void circleCut();
    void gradientLeftRight();
    void borderVisibleWidth_data();
    void borderVisibleWidth();
    void topBadgeBelowBorder_data();
    void topBadgeBelowBorder();
    void threeD();
    void clipOnAndOff();
    void scaleFaults();
    void styleDefaultsAndClamps_data();
    void styleDefaultsAndClamps();
    void styleRoundTrip();

private:
    QTemporaryDir dir;
};

void TestIconRenderer::circleCut()
{
    IconStyle style = plainStyle();
    style.shape = IconStyle::Circle;
    for (int s : {1, 4}) {
        const QImage out = IconRenderer::renderOutput(style, s, covering(kRed, s));
        const int side = 256 * s, mid = side / 2;
        QCOMPARE(out.size(), QSize(side, side));
        // The ellipse spans output pixels -1 .. side - 2: its first column and row are cut
        // off, and two transparent ones stay at the right and bottom.
        QCOMPARE(alpha(out, 0, mid) + alpha(out, mid, 0) + alpha(out, side - 3, mid) + alpha(out, mid, side - 3), 4 * 255);
        QCOMPARE(alpha(out, side - 2, mid) + alpha(out, side - 1, mid) + alpha(out, mid, side - 2) + alpha(out, mid, side - 1), 0);
        QCOMPARE(alpha(out, 2, 2), 0);
    }
}

void TestIconRenderer::gradientLeftRight()
{
    IconStyle style = plainStyle();
    style.useBackground = true;
    style.backStyle = IconStyle::Gradient;
    style.backOrientation = 2;  // "Left - Right"
    style.backColor1 = QColor(QStringLiteral("#FFFFFF"));
    style.backColor2 = QColor(QStringLiteral("#FFF200"));
    const QImage image = canvas(style);
    // The container box covers columns 21 .. 275 of the 300 canvas.
    QVERIFY(qBlue(image.pixel(21, 150)) >= 254 && qGreen(image.pixel(21, 150)) == 255);
    QCOMPARE(image.pixel(275, 150), qRgb(0xff, 0xf2, 0x00));
    QCOMPARE(alpha(image, 20, 150) + alpha(image, 276, 150), 0);
    for (int x : {21, 100, 200, 275})
        for (int y : {22, 150, 275})
            QCOMPARE(image.pixel(x, y), image.pixel(x, 21));
}

void TestIconRenderer::borderVisibleWidth_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("width");
    QTest::newRow("rectangle 5") << int(IconStyle::Rectangle) << 5;
    QTest::newRow("circle 8") << int(IconStyle::Circle) << 8;
}

void TestIconRenderer::borderVisibleWidth()
{
    QFETCH(int, shape);
    QFETCH(int, width);
    IconStyle style = plainStyle();
    style.shape = shape;
    style.radius = 40;
    style.useBorder = true;
    style.borderWidth = width;
    style.borderColor = QColor(kBlue);
    const QImage image = canvas(style, covering(kWhite));
    // Only the inner half of the 2 x width pen shows, inside x = 21 .. 275.
    int blue = 0;
    for (int x = 0; x < 300; ++x)
        blue += image.pixel(x, 150) == kBlue;
    QCOMPARE(blue, 2 * width);
    QCOMPARE(image.pixel(21, 150), kBlue);
    QCOMPARE(image.pixel(21 + width, 150), kWhite);
    QCOMPARE(image.pixel(275 - width, 150), kWhite);
    QCOMPARE(alpha(image, 20, 150) + alpha(image, 276, 150), 0);
}

void TestIconRenderer::topBadgeBelowBorder_data()
{
    QTest::addColumn<bool>("border");
    QTest::addColumn<int>("position");
    QTest::newRow("top, border 9") << true << 1;
    QTest::newRow("top, no border") << false << 1;
    QTest::newRow("bottom, border 9") << true << 0;
}

void TestIconRenderer::topBadgeBelowBorder()
{
    QFETCH(bool, border);
    QFETCH(int, position);
    IconStyle style = plainStyle();
    style.useBorder = border;
    style.borderWidth = 9;
    style.borderColor = QColor(kBlue);
    style.useBadge = true;
    style.badgeOrientation = IconStyle::Horizontal;
    style.badgeOrientationHorizontal = position;
    style.badgeBackColor = QColor(kRed);
    const QImage image = canvas(style);
    const int w = border ? 9 : 0;
    // The band's first row (top) or last row (bottom) lies w inside the box 21 .. 275;
    // x = 40 is left of the centred text.
    const int edge = position == 1 ? 21 + w : 275 - w, outside = position == 1 ? edge - 1 : edge + 1;
    QCOMPARE(image.pixel(40, edge), kRed);
    QCOMPARE(image.pixel(40, outside), border ? kBlue : 0u);
}

void TestIconRenderer::threeD()
{
    IconStyle style = plainStyle();
    style.useBorder = style.useBack3dEffect = true;
    IconStyle flat = style;
    flat.useBack3dEffect = false;
    QCOMPARE(canvas(style, covering(0xff808080)), canvas(flat, covering(0xff808080)));  // no background
    style.useBackground = true;
    style.backStyle = IconStyle::Solid;
    // The background comes back 5 + 5 / 2 pixels up and left: the last 7 columns keep the
    // black of alpha 40 over white (two of them left of the 5-pixel border).
    const QImage image = canvas(style);
    QCOMPARE(image.pixel(268, 150), kWhite);
    QVERIFY(qAbs(qRed(image.pixel(269, 150)) - 215) <= 2 && image.pixel(270, 150) == image.pixel(269, 150));
}

void TestIconRenderer::clipOnAndOff()
{
    IconStyle style = plainStyle();
    style.shape = IconStyle::Circle;
    style.useBorder = true;
    style.borderColor = QColor(kBlue);
    const QImage clipped = IconRenderer::renderOutput(style, 1, covering(kRed));
    QCOMPARE(alpha(clipped, 2, 2), 0);
    QCOMPARE(clipped.pixel(0, 128), kBlue);
    // Unclipped, the object lies over the border and fills the icon square, no further.
    style.clipImage = false;
    const QImage free = canvas(style, covering(kRed));
    QVERIFY(free.pixel(24, 24) == kRed && free.pixel(22, 150) == kRed);
    QVERIFY(free.pixel(21, 150) != kRed && alpha(free, 10, 150) == 0);
}

void TestIconRenderer::scaleFaults()
{
    ImageData object;
    object.image = QImage(4000, 3000, QImage::Format_RGB32);
    object.image.fill(Qt::gray);
    object.position = QPoint(3, 4);
    object.rect = QRect(3, 4, 1, 1);
    for (int scale : {0, -250}) {  // wheeled down to nothing
        object.scale = scale;
        object.rebuildDisplayImage();
        QVERIFY(object.displayImage.isNull());
        QCOMPARE(object.rect, QRect(3, 4, 0, 0));
    }
    // Wheeled far up: held to the pixel budget, not a 40-gigapixel allocation.
    object.scale = 100000;
    object.rotation = 30;
    object.rebuildDisplayImage();
    const qint64 pixels = qint64(object.displayImage.width()) * object.displayImage.height();
    QVERIFY(pixels <= ImageData::kMaxDisplayPixels && pixels > ImageData::kMaxDisplayPixels / 2);
    QVERIFY(object.scale > 100 && object.scale < 300);
}

void TestIconRenderer::styleDefaultsAndClamps_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("radius 400") << "Container/radius" << 400 << 360;
    QTest::newRow("text size 30") << "Badge/badgeTextSize" << 30 << 25;
    QTest::newRow("text size 3") << "Badge/badgeTextSize" << 3 << 17;
    QTest::newRow("line width 99") << "Badge/badgeLineWidth" << 99 << 20;
    QTest::newRow("shape 7") << "Container/shape" << 7 << 0;
    QTest::newRow("canvas 9") << "Canvas/canvasSize" << 9 << 1;
}

void TestIconRenderer::styleDefaultsAndClamps()
{
    QFETCH(QString, key);
    QFETCH(int, stored);
    QFETCH(int, expected);
    QSettings settings(dir.filePath(QTest::currentDataTag() + QStringLiteral(".ini")), QSettings::IniFormat);
    IconStyle style;
    style.load(settings);
    // First run: rectangle, no background; border on, #3282F6, 5; badge off, diagonal,
    // Bottom Right, 18 pixels; 256 canvas, clip on.
    QVERIFY(style.shape == 0 && !style.useBackground && style.useBorder && !style.useBadge && style.clipImage);
    QCOMPARE(style.borderColor, QColor(0x32, 0x82, 0xf6));
    QVERIFY(style.borderWidth == 5 && style.badgeOrientation == 0 && style.badgeOrientationDiagonal == 3);
    QVERIFY(style.canvasSize == 1 && style.badgeTextFont.pixelSize() == 18);

    settings.setValue(key, stored);
    style.load(settings);
    const QHash<QString, int> got = {
        {"Container/radius", style.radius}, {"Badge/badgeTextSize", style.badgeTextFont.pixelSize()},
        {"Badge/badgeLineWidth", style.badgeLineWidth}, {"Container/shape", style.shape},
        {"Canvas/canvasSize", style.canvasSize},
    };
    QCOMPARE(got.value(key), expected);
}

void TestIconRenderer::styleRoundTrip()
{
    QSettings settings(dir.filePath(QStringLiteral("roundtrip.ini")), QSettings::IniFormat);
    IconStyle first;
    first.backColor1 = QColor(0x12, 0xab, 0xef);
    first.canvasSize = 2;
    first.save(settings);
    QCOMPARE(settings.value("Container/backColor1").toString(), QStringLiteral("#12abef"));
    // A colour setNamedColor cannot read keeps the first-run colour.
    settings.setValue("Badge/badgeBackColor", "not a colour");
    settings.setValue("Badge/badgeTextColor", "navy");
    IconStyle second;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Not a colour.*badgeBackColor"));
    second.load(settings);
    QVERIFY(second.backColor1 == first.backColor1 && second.badgeTextFont.pixelSize() == 2 * second.badgeTextSize);
    QVERIFY(second.badgeBackColor == QColor(0xeb, 0x33, 0x24) && second.badgeTextColor == QColor(0, 0, 128));
}

QTEST_MAIN(TestIconRenderer)
#include "tst_iconrenderer.moc"
