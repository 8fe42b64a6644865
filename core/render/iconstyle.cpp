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
// The stored values, "Group/key" to value.
using Values = QVariantMap;

int comboIndex(const Values& settings, const QString& key, int fallback, int count)
{
    const int value = settings.value(key, fallback).toInt();
    return value >= 0 && value < count ? value : 0;
}

int spinValue(const Values& settings, const QString& key, int fallback, int min, int max)
{
    return std::clamp(settings.value(key, fallback).toInt(), min, max);
}

// Any form QColor::setNamedColor takes ("#rgb", "#rrggbb", "#aarrggbb", SVG names); a
// string it cannot read keeps the first-run colour rather than an invalid one.
QColor colorValue(const Values& settings, const QString& key, const QString& fallback)
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

namespace {

const QString kGroups[] = {QStringLiteral("Container"), QStringLiteral("Badge"), QStringLiteral("Canvas")};

} // namespace

void IconStyle::load(QSettings& settings)
{
    Values values;
    for (const QString& group : kGroups) {
        settings.beginGroup(group);
        const QStringList keys = settings.childKeys();
        for (const QString& key : keys)
            values.insert(group + QLatin1Char('/') + key, settings.value(key));
        settings.endGroup();
    }
    load(values);
}

void IconStyle::save(QSettings& settings) const
{
    const Values all = values();
    for (auto it = all.constBegin(); it != all.constEnd(); ++it)
        settings.setValue(it.key(), it.value());
}

void IconStyle::load(const QVariantMap& settings)
{
    const QString c = QStringLiteral("Container/");
    shape = comboIndex(settings, c + QStringLiteral("shape"), Rectangle, kShapes);
    radius = spinValue(settings, c + QStringLiteral("radius"), 50, 0, kMaxRadius);
    useBackground = settings.value(c + QStringLiteral("useBackground"), false).toBool();
    backStyle = comboIndex(settings, c + QStringLiteral("backStyle"), Gradient, kBackStyles);
    backOrientation = comboIndex(settings, c + QStringLiteral("backOrientation"), 0, kBackOrientations);
    backColor1 = colorValue(settings, c + QStringLiteral("backColor1"), QStringLiteral("#FFFFFF"));
    backColor2 = colorValue(settings, c + QStringLiteral("backColor2"), QStringLiteral("#FFF200"));
    useBack3dEffect = settings.value(c + QStringLiteral("useBack3dEffect"), false).toBool();
    useBorder = settings.value(c + QStringLiteral("useBorder"), true).toBool();
    borderColor = colorValue(settings, c + QStringLiteral("borderColor"), QStringLiteral("#3282F6"));
    borderWidth = spinValue(settings, c + QStringLiteral("borderWidth"), 5, 0, kMaxBorderWidth);
    useGlossy = settings.value(c + QStringLiteral("useGlossy"), false).toBool();
    clipImage = settings.value(c + QStringLiteral("clipImage"), true).toBool();

    const QString b = QStringLiteral("Badge/");
    useBadge = settings.value(b + QStringLiteral("useBadge"), false).toBool();
    badgeText = settings.value(b + QStringLiteral("badgeText"), QStringLiteral("50% OFF")).toString();
    badgeTextColor = colorValue(settings, b + QStringLiteral("badgeTextColor"), QStringLiteral("#FFFFFF"));
    badgeTextSize = spinValue(settings, b + QStringLiteral("badgeTextSize"), 18, kMinBadgeTextSize, kMaxBadgeTextSize);
    const QString fontString = settings.value(b + QStringLiteral("badgeTextFont"), QString()).toString();
    badgeTextFont = QFont();
    if (!fontString.isEmpty() && !badgeTextFont.fromString(fontString))
        qCWarning(lcStyle) << "Not a font description, default font used:" << fontString;
    // The text size and font controls make the font bold as they are filled, so the
    // record holds the font the badge is drawn with from the start.
    badgeTextFont.setWeight(QFont::Bold);
    badgeBackColor = colorValue(settings, b + QStringLiteral("badgeBackColor"), QStringLiteral("#EB3324"));
    badgeBorderColor = colorValue(settings, b + QStringLiteral("badgeBorderColor"), QStringLiteral("#FFFFFF"));
    badgeLineWidth = spinValue(settings, b + QStringLiteral("badgeLineWidth"), 3, 0, kMaxBadgeLineWidth);
    badgeOrientation = comboIndex(settings, b + QStringLiteral("badgeOrientation"), Diagonal, kBadgeOrientations);
    badgeOrientationHorizontal =
        comboIndex(settings, b + QStringLiteral("badgeOrientationHorizontal"), 1, kHorizontalPositions);
    badgeOrientationDiagonal =
        comboIndex(settings, b + QStringLiteral("badgeOrientationDiagonal"), 3, kDiagonalPositions);

    // Stored as the size combo's index + 1.
    canvasSize = comboIndex(settings, QStringLiteral("Canvas/canvasSize"), 1, kCanvasSizes + 1);
    if (canvasSize < 1)
        canvasSize = 1;

    measureBadgeText();
}

QVariantMap IconStyle::values() const
{
    Values v;
    const QString c = QStringLiteral("Container/");
    v.insert(c + QStringLiteral("shape"), shape);
    v.insert(c + QStringLiteral("radius"), radius);
    v.insert(c + QStringLiteral("useBackground"), useBackground);
    v.insert(c + QStringLiteral("backStyle"), backStyle);
    v.insert(c + QStringLiteral("backOrientation"), backOrientation);
    v.insert(c + QStringLiteral("backColor1"), backColor1.name());
    v.insert(c + QStringLiteral("backColor2"), backColor2.name());
    v.insert(c + QStringLiteral("useBack3dEffect"), useBack3dEffect);
    v.insert(c + QStringLiteral("useBorder"), useBorder);
    v.insert(c + QStringLiteral("borderColor"), borderColor.name());
    v.insert(c + QStringLiteral("borderWidth"), borderWidth);
    v.insert(c + QStringLiteral("useGlossy"), useGlossy);
    v.insert(c + QStringLiteral("clipImage"), clipImage);

    const QString b = QStringLiteral("Badge/");
    v.insert(b + QStringLiteral("useBadge"), useBadge);
    v.insert(b + QStringLiteral("badgeText"), badgeText);
    v.insert(b + QStringLiteral("badgeTextColor"), badgeTextColor.name());
    v.insert(b + QStringLiteral("badgeTextSize"), badgeTextSize);
    v.insert(b + QStringLiteral("badgeTextFont"), badgeTextFont.toString());
    v.insert(b + QStringLiteral("badgeBackColor"), badgeBackColor.name());
    v.insert(b + QStringLiteral("badgeBorderColor"), badgeBorderColor.name());
    v.insert(b + QStringLiteral("badgeLineWidth"), badgeLineWidth);
    v.insert(b + QStringLiteral("badgeOrientation"), badgeOrientation);
    v.insert(b + QStringLiteral("badgeOrientationHorizontal"), badgeOrientationHorizontal);
    v.insert(b + QStringLiteral("badgeOrientationDiagonal"), badgeOrientationDiagonal);

    v.insert(QStringLiteral("Canvas/canvasSize"), canvasSize);
    return v;
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
