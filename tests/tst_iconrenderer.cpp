// The composed icon by probing pixels: the container's geometry on the canvas and in the
// output square, the gradient's ends, the border's visible width, where the badge band
// starts, the 3D rim, clipping on and off; and the style record's settings.
#include <QtTest>

#include <QGuiApplication>
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
    style.shape = IconStyle::Rectangle;
    style.useBackground = false;
    style.useBack3dEffect = false;
    style.useBorder = false;
    style.useGlossy = false;
    style.useBadge = false;
    style.clipImage = true;
    style.measureBadgeText();
    return style;
}

// One opaque object covering the whole canvas of size index s.
QList<ImageData> coveringObject(QRgb colour, int s = 1)
{
    ImageData object;
    object.image = QImage(300 * s, 300 * s, QImage::Format_ARGB32_Premultiplied);
    object.image.fill(colour);
    object.fitInto(300 * s);
    object.rect = QRect(object.position, object.displayImage.size());
    return {object};
}

QImage canvas(const IconStyle& style, const QList<ImageData>& objects, int s = 1)
{
    QPainterPath path;
    const QImage container = IconRenderer::drawContainer(style, s, path);
    return IconRenderer::compose(style, s, container, path, objects, true);
}

int alphaAt(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

} // namespace

class TestIconRenderer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void circleCutsOnePixelTopLeftAndLeavesTwoRightBottom_data();
    void circleCutsOnePixelTopLeftAndLeavesTwoRightBottom();
    void gradientLeftRight();
    void borderVisibleWidth_data();
    void borderVisibleWidth();
    void topBadgeStartsInsideBorder_data();
    void topBadgeStartsInsideBorder();
    void bottomBadgeEndsInsideBorder();
    void threeDNeedsBackground();
    void threeDLeavesRimBottomRight();
    void clipOnAndOff();
    void outputIsIconSquareWithoutSelection();
    void selectionOnScreenOnly();
    void everyEffectAtEverySize_data();
    void everyEffectAtEverySize();

    void fitIntoCanvas_data();
    void fitIntoCanvas();
    void scaledToNothingIsEmpty();
    void hugeScaleStaysInBudget();
    void halvingsStayCloseToPlainScale();

    void firstRunDefaults();
    void outOfRangeClamped_data();
    void outOfRangeClamped();
    void colourRoundTrip();
    void unreadableColourKeepsDefault();
    void measuredTextGrowsWithCanvas();

private:
    QTemporaryDir dir;
    int settingsCount = 0;
    QString settingsFile() { return dir.filePath(QStringLiteral("style%1.ini").arg(++settingsCount)); }
};

void TestIconRenderer::circleCutsOnePixelTopLeftAndLeavesTwoRightBottom_data()
{
    QTest::addColumn<int>("s");
    QTest::newRow("256") << 1;
    QTest::newRow("512") << 2;
    QTest::newRow("1024") << 4;
}

void TestIconRenderer::circleCutsOnePixelTopLeftAndLeavesTwoRightBottom()
{
    QFETCH(int, s);
    IconStyle style = plainStyle();
    style.shape = IconStyle::Circle;
    const QImage out = IconRenderer::renderOutput(style, s, coveringObject(0xff00ff00, s));
    const int side = 256 * s;
    QCOMPARE(out.size(), QSize(side, side));
    QCOMPARE(out.format(), QImage::Format_ARGB32_Premultiplied);
    const int mid = side / 2;
    // The ellipse spans output pixels -1 .. side - 2: its first column and row lie outside.
    QCOMPARE(alphaAt(out, 0, mid), 255);
    QCOMPARE(alphaAt(out, mid, 0), 255);
    QCOMPARE(alphaAt(out, side - 3, mid), 255);
    QCOMPARE(alphaAt(out, mid, side - 3), 255);
    for (int edge : {side - 2, side - 1}) {
        QCOMPARE(alphaAt(out, edge, mid), 0);
        QCOMPARE(alphaAt(out, mid, edge), 0);
    }
    // The corners are cut away.
    QCOMPARE(alphaAt(out, 2, 2), 0);
    QCOMPARE(alphaAt(out, side - 3, side - 3), 0);
}

void TestIconRenderer::gradientLeftRight()
{
    IconStyle style = plainStyle();
    style.useBackground = true;
    style.backStyle = IconStyle::Gradient;
    style.backOrientation = 2;  // "Left - Right"
    style.backColor1 = QColor(QStringLiteral("#FFFFFF"));
    style.backColor2 = QColor(QStringLiteral("#FFF200"));
    const QImage image = canvas(style, {});
    // The container box is (21, 21, 255, 255) on the 300 canvas: columns 21 .. 275.
    const QRgb left = image.pixel(21, 150);
    QCOMPARE(qRed(left), 255);
    QCOMPARE(qGreen(left), 255);
    QVERIFY2(qBlue(left) >= 253, qPrintable(QString::number(qBlue(left))));
    QCOMPARE(image.pixel(275, 150), qRgb(0xff, 0xf2, 0x00));
    QCOMPARE(alphaAt(image, 20, 150), 0);
    QCOMPARE(alphaAt(image, 276, 150), 0);
    // Blue falls steadily from left to right and stays put from top to bottom.
    QVERIFY(qBlue(image.pixel(100, 150)) > qBlue(image.pixel(200, 150)));
    for (int x : {21, 60, 148, 230, 275})
        for (int y : {22, 100, 200, 275})
            QCOMPARE(image.pixel(x, y), image.pixel(x, 21));
}

void TestIconRenderer::borderVisibleWidth_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("width");
    QTest::newRow("rectangle 5") << int(IconStyle::Rectangle) << 5;
    QTest::newRow("rectangle 12") << int(IconStyle::Rectangle) << 12;
    QTest::newRow("rounded 5") << int(IconStyle::RoundedRectangle) << 5;
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
    style.borderColor = QColor(0, 0, 255);
    const QImage image = canvas(style, coveringObject(0xffffffff));
    // Along the middle row the path's box runs from x = 21 to x = 276 (exclusive).
    const QRgb blue = qRgb(0, 0, 255), white = qRgb(255, 255, 255);
    int leftBlue = 0, rightBlue = 0;
    for (int x = 0; x < 150; ++x)
        leftBlue += image.pixel(x, 150) == blue;
    for (int x = 150; x < 300; ++x)
        rightBlue += image.pixel(x, 150) == blue;
    QCOMPARE(leftBlue, width);
    QCOMPARE(rightBlue, width);
    QCOMPARE(image.pixel(21, 150), blue);
    QCOMPARE(image.pixel(21 + width, 150), white);
    QCOMPARE(alphaAt(image, 20, 150), 0);
    QCOMPARE(image.pixel(275, 150), blue);
    QCOMPARE(image.pixel(275 - width, 150), white);
    QCOMPARE(alphaAt(image, 276, 150), 0);
}

void TestIconRenderer::topBadgeStartsInsideBorder_data()
{
    QTest::addColumn<bool>("border");
    QTest::addColumn<int>("width");
    QTest::newRow("border 5") << true << 5;
    QTest::newRow("border 9") << true << 9;
    QTest::newRow("no border") << false << 5;
}

void TestIconRenderer::topBadgeStartsInsideBorder()
{
    QFETCH(bool, border);
    QFETCH(int, width);
    IconStyle style = plainStyle();
    style.useBorder = border;
    style.borderWidth = width;
    style.borderColor = QColor(0, 0, 255);
    style.useBadge = true;
    style.badgeOrientation = IconStyle::Horizontal;
    style.badgeOrientationHorizontal = 1;  // Top
    style.badgeBackColor = QColor(255, 0, 0);
    style.measureBadgeText();
    const QImage image = canvas(style, {});
    const int top = 21 + (border ? width : 0);
    // x = 40 is left of the centred text.
    QCOMPARE(image.pixel(40, top), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(40, top + 5), qRgb(255, 0, 0));
    if (border)
        QCOMPARE(image.pixel(40, top - 1), qRgb(0, 0, 255));
    else
        QCOMPARE(alphaAt(image, 40, top - 1), 0);
}

void TestIconRenderer::bottomBadgeEndsInsideBorder()
{
    IconStyle style = plainStyle();
    style.useBorder = true;
    style.borderWidth = 6;
    style.borderColor = QColor(0, 0, 255);
    style.useBadge = true;
    style.badgeOrientation = IconStyle::Horizontal;
    style.badgeOrientationHorizontal = 0;  // Bottom
    style.badgeBackColor = QColor(255, 0, 0);
    style.measureBadgeText();
    const QImage image = canvas(style, {});
    // The box ends at 276 (exclusive); the border covers 270 .. 275.
    QCOMPARE(image.pixel(40, 269), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(40, 270), qRgb(0, 0, 255));
    QCOMPARE(alphaAt(image, 40, 150), 0);
}

void TestIconRenderer::threeDNeedsBackground()
{
    IconStyle style = plainStyle();
    style.useBorder = true;
    const QList<ImageData> objects = coveringObject(0xff808080);
    const QImage flat = canvas(style, objects);
    style.useBack3dEffect = true;
    QCOMPARE(canvas(style, objects), flat);
    IconStyle off = style;
    off.useBack3dEffect = false;
    QCOMPARE(canvas(style, {}), canvas(off, {}));
}

void TestIconRenderer::threeDLeavesRimBottomRight()
{
    IconStyle style = plainStyle();
    style.useBackground = true;
    style.backStyle = IconStyle::Solid;
    style.backColor1 = Qt::white;
    style.useBack3dEffect = true;
    const QImage image = canvas(style, {});
    // The background comes back 5 pixels up and left of itself: the last 5 columns and
    // rows of the box (271 .. 275) keep the black of alpha 40 over white.
    QCOMPARE(image.pixel(150, 150), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(22, 22), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(270, 150), qRgb(255, 255, 255));
    const int dark = qRed(image.pixel(271, 150));
    QVERIFY2(dark >= 213 && dark <= 217, qPrintable(QString::number(dark)));
    QCOMPARE(image.pixel(275, 150), image.pixel(271, 150));
    QCOMPARE(image.pixel(150, 273), image.pixel(271, 150));
    QCOMPARE(alphaAt(image, 276, 150), 0);
}

void TestIconRenderer::clipOnAndOff()
{
    IconStyle style = plainStyle();
    style.shape = IconStyle::Circle;
    style.useBorder = true;
    style.borderColor = QColor(0, 0, 255);
    const QList<ImageData> objects = coveringObject(0xffff0000);

    const QImage clipped = IconRenderer::renderOutput(style, 1, objects);
    QCOMPARE(alphaAt(clipped, 2, 2), 0);
    QCOMPARE(clipped.pixel(0, 128), qRgb(0, 0, 255));  // border over the object

    style.clipImage = false;
    const QImage free = IconRenderer::renderOutput(style, 1, objects);
    // The object lies on top of the border and fills the whole icon square...
    QCOMPARE(free.pixel(2, 2), qRgb(255, 0, 0));
    QCOMPARE(free.pixel(0, 128), qRgb(255, 0, 0));
    QCOMPARE(free.pixel(255, 255), qRgb(255, 0, 0));
    // ...but not the margin of the canvas around it.
    const QImage whole = canvas(style, objects);
    QCOMPARE(alphaAt(whole, 21, 150), 255);
    QCOMPARE(alphaAt(whole, 10, 150), 0);
    QCOMPARE(alphaAt(whole, 278, 150), 0);
}

void TestIconRenderer::outputIsIconSquareWithoutSelection()
{
    IconStyle style = plainStyle();
    style.useBackground = true;
    style.backStyle = IconStyle::Solid;
    style.backColor1 = QColor(10, 20, 30);
    QPainterPath path;
    const QImage container = IconRenderer::drawContainer(style, 2, path);
    const QImage onScreen = IconRenderer::compose(style, 2, container, path, {}, true);
    QCOMPARE(IconRenderer::renderOutput(style, 2, {}), onScreen.copy(44, 44, 512, 512));
}

void TestIconRenderer::selectionOnScreenOnly()
{
    IconStyle style = plainStyle();
    QPainterPath path;
    const QImage container = IconRenderer::drawContainer(style, 1, path);
    const QRect frame(60, 60, 100, 80);
    const QImage screen = IconRenderer::compose(style, 1, container, path, {}, false, frame);
    const QImage output = IconRenderer::compose(style, 1, container, path, {}, true, frame);
    // Dashes along the top edge, one pixel wide at s = 1.
    int dashes = 0;
    for (int x = 60; x <= 160; ++x) {
        dashes += screen.pixel(x, 60) == qRgb(0, 0, 0);
        QCOMPARE(alphaAt(output, x, 60), 0);
        QCOMPARE(alphaAt(screen, x, 59), 0);
    }
    QVERIFY2(dashes > 30 && dashes < 90, qPrintable(QString::number(dashes)));
    // No frame for "none" nor for an object scaled to nothing.
    QCOMPARE(IconRenderer::compose(style, 1, container, path, {}, false, QRect(-1, -1, -1, -1)), output);
    QCOMPARE(IconRenderer::compose(style, 1, container, path, {}, false, QRect(100, 100, 0, 0)), output);
}

void TestIconRenderer::everyEffectAtEverySize_data()
{
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("position");
    QTest::newRow("256 diagonal bottom right") << 1 << int(IconStyle::Diagonal) << 3;
    QTest::newRow("512 diagonal top left") << 2 << int(IconStyle::Diagonal) << 0;
    QTest::newRow("1024 diagonal top right") << 4 << int(IconStyle::Diagonal) << 1;
    QTest::newRow("1024 horizontal bottom") << 4 << int(IconStyle::Horizontal) << 0;
}

void TestIconRenderer::everyEffectAtEverySize()
{
    QFETCH(int, s);
    QFETCH(int, orientation);
    QFETCH(int, position);
    IconStyle style;
    style.canvasSize = s == 4 ? 3 : s;
    style.shape = IconStyle::RoundedRectangle;
    style.radius = 30;
    style.useBackground = style.useBack3dEffect = style.useBorder = style.useGlossy = style.useBadge = true;
    style.backStyle = IconStyle::Gradient;
    style.badgeOrientation = orientation;
    style.badgeOrientationDiagonal = position;
    style.badgeOrientationHorizontal = position;
    style.badgeBackColor = QColor(255, 0, 0);
    style.measureBadgeText();
    const QImage out = IconRenderer::renderOutput(style, s, {});
    QCOMPARE(out.size(), QSize(256 * s, 256 * s));
    // Some of the band shows in the corner it was put in.
    const int side = 256 * s;
    const QRect corner = orientation == IconStyle::Horizontal ? QRect(0, side - 40 * s, side, 40 * s)
        : position == 0 ? QRect(0, 0, side / 3, side / 3)
        : position == 1 ? QRect(side - side / 3, 0, side / 3, side / 3)
                        : QRect(side - side / 3, side - side / 3, side / 3, side / 3);
    int red = 0;
    for (int y = corner.top(); y <= corner.bottom(); ++y)
        for (int x = corner.left(); x <= corner.right(); ++x)
            red += qRed(out.pixel(x, y)) > 200 && qGreen(out.pixel(x, y)) < 120;
    QVERIFY2(red > 100 * s * s, qPrintable(QString::number(red)));
}

void TestIconRenderer::fitIntoCanvas_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("2000 x 1000 on 300") << QSize(2000, 1000) << 300 << 15 << QSize(300, 150);
    QTest::newRow("600 x 200 on 300") << QSize(600, 200) << 300 << 50 << QSize(300, 100);
    QTest::newRow("100 x 100 stays") << QSize(100, 100) << 300 << 100 << QSize(100, 100);
    QTest::newRow("4000 x 3000 on 1200") << QSize(4000, 3000) << 1200 << 30 << QSize(1200, 900);
    QTest::newRow("4000 x 3000 on 300") << QSize(4000, 3000) << 300 << 7 << QSize(280, 210);
    QTest::newRow("1 x 5000 on 300") << QSize(1, 5000) << 300 << 6 << QSize(0, 0);
}

void TestIconRenderer::fitIntoCanvas()
{
    QFETCH(QSize, size);
    QFETCH(int, side);
    QFETCH(int, scale);
    QFETCH(QSize, shown);
    ImageData object;
    object.image = QImage(size, QImage::Format_RGB32);
    object.image.fill(0xff336699);
    object.position = QPoint(7, 9);
    object.fitInto(side);
    QCOMPARE(object.scale, scale);
    QCOMPARE(object.displayImage.size(), shown.isEmpty() ? QSize(0, 0) : shown);
    QCOMPARE(object.rect, QRect(QPoint(7, 9), shown.isEmpty() ? QSize(0, 0) : shown));
    if (!shown.isEmpty())
        QCOMPARE(object.displayImage.pixel(shown.width() / 2, shown.height() / 2), 0xff336699);
}

void TestIconRenderer::scaledToNothingIsEmpty()
{
    ImageData object;
    object.image = QImage(50, 40, QImage::Format_ARGB32);
    object.image.fill(Qt::red);
    object.position = QPoint(3, 4);
    object.rect = QRect(3, 4, 50, 40);
    for (int scale : {0, -1, -250}) {
        object.scale = scale;
        object.rebuildDisplayImage();
        QVERIFY(object.displayImage.isNull());
        QVERIFY(object.rect.isEmpty());
    }
    object.scale = 2;  // 1 x 0 pixels: still nothing
    object.rebuildDisplayImage();
    QVERIFY(object.displayImage.isNull());
    object.scale = 10;
    object.rotation = 90;
    object.rebuildDisplayImage();
    QCOMPARE(object.rect, QRect(3, 4, 4, 5));
    ImageData none;
    none.fitInto(300);
    QCOMPARE(none.scale, 100);
    QVERIFY(none.displayImage.isNull());
}

void TestIconRenderer::hugeScaleStaysInBudget()
{
    ImageData object;
    object.image = QImage(4000, 3000, QImage::Format_RGB32);
    object.image.fill(Qt::gray);
    object.scale = 100000;  // 4000 x 3000 km wide: a wheel held down for a long time
    object.rotation = 30;
    object.rebuildDisplayImage();
    QVERIFY(object.scale < 100000);
    QVERIFY(object.scale > 100);
    const qint64 pixels = qint64(object.displayImage.width()) * object.displayImage.height();
    QVERIFY(pixels <= ImageData::kMaxDisplayPixels);
    QVERIFY(pixels > ImageData::kMaxDisplayPixels / 2);
}

void TestIconRenderer::halvingsStayCloseToPlainScale()
{
    // A photo-like picture: smooth shading in every channel.  (Hard edges finer than a
    // halving differ more; the benchmark measures a real photo.)
    QImage photo(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb(x * 255 / 1600, y * 255 / 1200, int(128 + 100 * std::sin(x / 40.0) * std::cos(y / 55.0)));
    }
    ImageData object;
    object.image = photo;
    for (int scale : {7, 13, 24, 31, 49}) {
        object.scale = scale;
        object.rebuildDisplayImage();
        const QImage plain = photo.scaled(photo.width() * scale / 100, photo.height() * scale / 100,
                                          Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QCOMPARE(object.displayImage.size(), plain.size());
        int worst = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x) {
                const QRgb a = object.displayImage.pixel(x, y), b = plain.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
            }
        QVERIFY2(worst <= 3, qPrintable(QStringLiteral("scale %1: %2").arg(scale).arg(worst)));
    }
    QVERIFY(!object.halvings.isEmpty());
    // A copy shares them.
    const ImageData copy = object;
    QCOMPARE(copy.halvings.constFirst().constBits(), object.halvings.constFirst().constBits());
}

void TestIconRenderer::firstRunDefaults()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    IconStyle style;
    style.load(settings);
    QCOMPARE(style.shape, int(IconStyle::Rectangle));
    QCOMPARE(style.radius, 50);
    QCOMPARE(style.useBackground, false);
    QCOMPARE(style.backStyle, int(IconStyle::Gradient));
    QCOMPARE(style.backColor1, QColor(255, 255, 255));
    QCOMPARE(style.backColor2, QColor(0xff, 0xf2, 0x00));
    QCOMPARE(style.useBack3dEffect, false);
    QCOMPARE(style.useBorder, true);
    QCOMPARE(style.borderColor, QColor(0x32, 0x82, 0xf6));
    QCOMPARE(style.borderWidth, 5);
    QCOMPARE(style.useGlossy, false);
    QCOMPARE(style.clipImage, true);
    QCOMPARE(style.useBadge, false);
    QCOMPARE(style.badgeText, QStringLiteral("50% OFF"));
    QCOMPARE(style.badgeTextSize, 18);
    QCOMPARE(style.badgeTextFont.pixelSize(), 18);
    QCOMPARE(style.badgeBackColor, QColor(0xeb, 0x33, 0x24));
    QCOMPARE(style.badgeLineWidth, 3);
    QCOMPARE(style.badgeOrientation, int(IconStyle::Diagonal));
    QCOMPARE(style.badgeOrientationDiagonal, 3);
    QCOMPARE(style.badgeOrientationHorizontal, 1);
    QCOMPARE(style.canvasSize, 1);
    QVERIFY(style.badgeTextWidth > 0);
    QVERIFY(style.badgeTextHeight >= 18);
}

void TestIconRenderer::outOfRangeClamped_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("radius 400") << "Container/radius" << QVariant(400) << 360;
    QTest::newRow("radius -5") << "Container/radius" << QVariant(-5) << 0;
    QTest::newRow("border 9000") << "Container/borderWidth" << QVariant(9000) << 360;
    QTest::newRow("text size 30") << "Badge/badgeTextSize" << QVariant(30) << 25;
    QTest::newRow("text size 3") << "Badge/badgeTextSize" << QVariant(3) << 17;
    QTest::newRow("text size not a number") << "Badge/badgeTextSize" << QVariant("big") << 17;
    QTest::newRow("line width 99") << "Badge/badgeLineWidth" << QVariant(99) << 20;
    QTest::newRow("shape 7") << "Container/shape" << QVariant(7) << 0;
    QTest::newRow("orientation -1") << "Container/backOrientation" << QVariant(-1) << 0;
    QTest::newRow("orientation 7") << "Container/backOrientation" << QVariant(7) << 7;
    QTest::newRow("diagonal 4") << "Badge/badgeOrientationDiagonal" << QVariant(4) << 0;
    QTest::newRow("canvas 3") << "Canvas/canvasSize" << QVariant(3) << 3;
    QTest::newRow("canvas 0") << "Canvas/canvasSize" << QVariant(0) << 1;
    QTest::newRow("canvas 9") << "Canvas/canvasSize" << QVariant(9) << 1;
}

void TestIconRenderer::outOfRangeClamped()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(int, expected);
    const QString file = settingsFile();
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue(key, stored);
    }
    QSettings settings(file, QSettings::IniFormat);
    IconStyle style;
    style.load(settings);
    const QHash<QString, int> got = {
        {"Container/radius", style.radius}, {"Container/borderWidth", style.borderWidth},
        {"Badge/badgeTextSize", style.badgeTextSize}, {"Badge/badgeLineWidth", style.badgeLineWidth},
        {"Container/shape", style.shape}, {"Container/backOrientation", style.backOrientation},
        {"Badge/badgeOrientationDiagonal", style.badgeOrientationDiagonal}, {"Canvas/canvasSize", style.canvasSize},
    };
    QCOMPARE(got.value(key, -100), expected);
    if (key == QLatin1String("Badge/badgeTextSize"))
        QCOMPARE(style.badgeTextFont.pixelSize(), expected);
}

void TestIconRenderer::colourRoundTrip()
{
    const QString file = settingsFile();
    IconStyle first;
    {
        QSettings settings(file, QSettings::IniFormat);
        first.load(settings);
        first.backColor1 = QColor(0x12, 0xab, 0xef);
        first.badgeBorderColor = QColor(0xfe, 0xdc, 0xba);
        first.badgeTextFont.setFamily(QStringLiteral("Sans Serif"));
        first.badgeTextFont.setItalic(true);
        first.canvasSize = 2;
        first.save(settings);
    }
    QSettings settings(file, QSettings::IniFormat);
    QCOMPARE(settings.value("Container/backColor1").toString(), QStringLiteral("#12abef"));
    IconStyle second;
    second.load(settings);
    QCOMPARE(second.backColor1, first.backColor1);
    QCOMPARE(second.badgeBorderColor, first.badgeBorderColor);
    QCOMPARE(second.borderColor, first.borderColor);
    QCOMPARE(second.badgeTextFont.family(), first.badgeTextFont.family());
    QVERIFY(second.badgeTextFont.italic());
    QCOMPARE(second.canvasSize, 2);
    QCOMPARE(second.badgeTextFont.pixelSize(), 2 * second.badgeTextSize);
}

void TestIconRenderer::unreadableColourKeepsDefault()
{
    const QString file = settingsFile();
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue("Container/borderColor", "not a colour");
        settings.setValue("Badge/badgeBackColor", "navy");
        settings.setValue("Badge/badgeTextColor", "#ABC");
    }
    QSettings settings(file, QSettings::IniFormat);
    IconStyle style;
    style.load(settings);
    QCOMPARE(style.borderColor, QColor(0x32, 0x82, 0xf6));
    QCOMPARE(style.badgeBackColor, QColor(0, 0, 128));
    QCOMPARE(style.badgeTextColor, QColor(0xaa, 0xbb, 0xcc));
}

void TestIconRenderer::measuredTextGrowsWithCanvas()
{
    IconStyle style = plainStyle();
    style.badgeTextSize = 20;
    style.canvasSize = 1;
    style.measureBadgeText();
    const int width1 = style.badgeTextWidth, height1 = style.badgeTextHeight;
    style.canvasSize = 3;
    style.measureBadgeText();
    QCOMPARE(style.badgeTextFont.pixelSize(), 80);
    QVERIFY(style.badgeTextWidth > 3 * width1);
    QVERIFY(style.badgeTextHeight > 3 * height1);
    style.badgeText.clear();
    style.measureBadgeText();
    QCOMPARE(style.badgeTextWidth, 0);
}

QTEST_MAIN(TestIconRenderer)
#include "tst_iconrenderer.moc"
