#include "iconstyle.h"

#include <QFontMetrics>
#include <QLoggingCategory>
#include <QSettings>

#include <algorithm>

Q_LOGGING_CATEGORY(lcStyle, "glyphora.style", QtInfoMsg)

namespace {

// The ranges of the Create tab's controls; a stored value outside one is taken as the
// control would show it.
constexpr int kMaxRadius = 360;
constexpr int kMaxBorderWidth = 360;
constexpr int kMinBadgeTextSize = 17;
constexpr int kMaxBadgeTextSize = 25;
constexpr int kMaxBadgeLineWidth = 20;
constexpr int kShapes = 3;             // Rectangle, Rounded Rectangle, Circle
constexpr int kBackStyles = 2;         // Solid, Gradient
constexpr int kBackOrientations = 8;
constexpr int kBadgeOrientations = 2;  // Diagonal, Horizontal
constexpr int kHorizontalPositions = 2;
constexpr int kDiagonalPositions = 4;
constexpr int kCanvasSizes = 3;        // 256x256, 512x512, 1024x1024

// A combo box given an index past its entries shows none; the first entry is the
// nearest thing it can show, so an unknown index falls back to 0.
int comboIndex(const QSettings& settings, const QString& key, int fallback, int count)
{
    const int value = settings.value(key, fallback).toInt();
    return value >= 0 && value < count ? value : 0;
}

int spinValue(const QSettings& settings, const QString& key, int fallback, int min, int max)
{
    return std::clamp(settings.value(key, fallback).toInt(), min, max);
}

// Any form QColor::setNamedColor takes ("#rgb", "#rrggbb", "#aarrggbb", SVG names); a
// string it cannot read keeps the first-run colour rather than an invalid one.
QColor colorValue(const QSettings& settings, const QString& key, const QString& fallback)
{
    QColor color;
    color.setNamedColor(settings.value(key, fallback).toString());
    if (!color.isValid()) {
        qCWarning(lcStyle) << "Not a colour, first-run value used:" << key;
        color.setNamedColor(fallback);
    }
    return color;
}

} // namespace

void IconStyle::load(QSettings& settings)
{
    settings.beginGroup(QStringLiteral("Container"));
    shape = comboIndex(settings, QStringLiteral("shape"), Rectangle, kShapes);
    radius = spinValue(settings, QStringLiteral("radius"), 50, 0, kMaxRadius);
    useBackground = settings.value(QStringLiteral("useBackground"), false).toBool();
    backStyle = comboIndex(settings, QStringLiteral("backStyle"), Gradient, kBackStyles);
    backOrientation = comboIndex(settings, QStringLiteral("backOrientation"), 0, kBackOrientations);
    backColor1 = colorValue(settings, QStringLiteral("backColor1"), QStringLiteral("#FFFFFF"));
    backColor2 = colorValue(settings, QStringLiteral("backColor2"), QStringLiteral("#FFF200"));
    useBack3dEffect = settings.value(QStringLiteral("useBack3dEffect"), false).toBool();
    useBorder = settings.value(QStringLiteral("useBorder"), true).toBool();
    borderColor = colorValue(settings, QStringLiteral("borderColor"), QStringLiteral("#3282F6"));
    borderWidth = spinValue(settings, QStringLiteral("borderWidth"), 5, 0, kMaxBorderWidth);
    useGlossy = settings.value(QStringLiteral("useGlossy"), false).toBool();
    clipImage = settings.value(QStringLiteral("clipImage"), true).toBool();
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Badge"));
    useBadge = settings.value(QStringLiteral("useBadge"), false).toBool();
    badgeText = settings.value(QStringLiteral("badgeText"), QStringLiteral("50% OFF")).toString();
    badgeTextColor = colorValue(settings, QStringLiteral("badgeTextColor"), QStringLiteral("#FFFFFF"));
    badgeTextSize = spinValue(settings, QStringLiteral("badgeTextSize"), 18, kMinBadgeTextSize, kMaxBadgeTextSize);
    const QString fontString = settings.value(QStringLiteral("badgeTextFont"), QString()).toString();
    badgeTextFont = QFont();
    if (!fontString.isEmpty() && !badgeTextFont.fromString(fontString))
        qCWarning(lcStyle) << "Not a font description, default font used:" << fontString;
    // The text size and font controls make the font bold as they are filled, so the
    // record holds the font the badge is drawn with from the start.
    badgeTextFont.setWeight(QFont::Bold);
    badgeBackColor = colorValue(settings, QStringLiteral("badgeBackColor"), QStringLiteral("#EB3324"));
    badgeBorderColor = colorValue(settings, QStringLiteral("badgeBorderColor"), QStringLiteral("#FFFFFF"));
    badgeLineWidth = spinValue(settings, QStringLiteral("badgeLineWidth"), 3, 0, kMaxBadgeLineWidth);
    badgeOrientation = comboIndex(settings, QStringLiteral("badgeOrientation"), Diagonal, kBadgeOrientations);
    badgeOrientationHorizontal =
        comboIndex(settings, QStringLiteral("badgeOrientationHorizontal"), 1, kHorizontalPositions);
    badgeOrientationDiagonal = comboIndex(settings, QStringLiteral("badgeOrientationDiagonal"), 3, kDiagonalPositions);
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Canvas"));
    // Stored as the size combo's index + 1.
    canvasSize = comboIndex(settings, QStringLiteral("canvasSize"), 1, kCanvasSizes + 1);
    if (canvasSize < 1)
        canvasSize = 1;
    settings.endGroup();

    measureBadgeText();
}

void IconStyle::save(QSettings& settings) const
{
    settings.beginGroup(QStringLiteral("Container"));
    settings.setValue(QStringLiteral("shape"), shape);
    settings.setValue(QStringLiteral("radius"), radius);
    settings.setValue(QStringLiteral("useBackground"), useBackground);
    settings.setValue(QStringLiteral("backStyle"), backStyle);
    settings.setValue(QStringLiteral("backOrientation"), backOrientation);
    settings.setValue(QStringLiteral("backColor1"), backColor1.name());
    settings.setValue(QStringLiteral("backColor2"), backColor2.name());
    settings.setValue(QStringLiteral("useBack3dEffect"), useBack3dEffect);
    settings.setValue(QStringLiteral("useBorder"), useBorder);
    settings.setValue(QStringLiteral("borderColor"), borderColor.name());
    settings.setValue(QStringLiteral("borderWidth"), borderWidth);
    settings.setValue(QStringLiteral("useGlossy"), useGlossy);
    settings.setValue(QStringLiteral("clipImage"), clipImage);
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Badge"));
    settings.setValue(QStringLiteral("useBadge"), useBadge);
    settings.setValue(QStringLiteral("badgeText"), badgeText);
    settings.setValue(QStringLiteral("badgeTextColor"), badgeTextColor.name());
    settings.setValue(QStringLiteral("badgeTextSize"), badgeTextSize);
    settings.setValue(QStringLiteral("badgeTextFont"), badgeTextFont.toString());
    settings.setValue(QStringLiteral("badgeBackColor"), badgeBackColor.name());
    settings.setValue(QStringLiteral("badgeBorderColor"), badgeBorderColor.name());
    settings.setValue(QStringLiteral("badgeLineWidth"), badgeLineWidth);
    settings.setValue(QStringLiteral("badgeOrientation"), badgeOrientation);
    settings.setValue(QStringLiteral("badgeOrientationHorizontal"), badgeOrientationHorizontal);
    settings.setValue(QStringLiteral("badgeOrientationDiagonal"), badgeOrientationDiagonal);
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Canvas"));
    settings.setValue(QStringLiteral("canvasSize"), canvasSize);
    settings.endGroup();
}

int IconStyle::textSizeFactor() const
{
    return canvasSize >= 3 ? 4 : canvasSize == 2 ? 2 : 1;
}

QSize IconStyle::labelTextSize(const QFont& font, const QString& text)
{
    // What QLabel::sizeHint() gives for plain text with no frame, margin or indent (and
    // so what adjustSize() resizes it to): the bounding box of the text laid out
    // left-aligned in a 2000 x 2000 box, centring switched off.
    const QFontMetrics metrics(font);
    const QRect box = metrics.boundingRect(0, 0, 2000, 2000, Qt::AlignLeft, text);
    return box.size();
}

void IconStyle::measureBadgeText()
{
    const int factor = textSizeFactor();
    qCDebug(lcStyle) << "textSizeIndex: " << factor;
    badgeTextFont.setPixelSize(std::max(1, factor * badgeTextSize));
    const QSize size = labelTextSize(badgeTextFont, badgeText);
    badgeTextWidth = size.width();
    badgeTextHeight = size.height();
}
