#pragma once

// The style of a composed icon: container shape, background, 3D effect, border, gloss,
// clipping, text badge and canvas size.  The Create tab writes it from its controls, the
// renderer reads it.  Stored with QSettings under the groups "Container", "Badge" and
// "Canvas", each field under the key of its own name.

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>
#include <QVariantMap>

class QSettings;

struct IconStyle
{
    enum Shape { Rectangle = 0, RoundedRectangle = 1, Circle = 2 };
    enum BackStyle { Solid = 0, Gradient = 1 };
    enum BadgeOrientation { Diagonal = 0, Horizontal = 1 };

    int shape = Rectangle;
    int radius = 0;             // 0-360, corner radius of the rounded rectangle in canvas pixels
    bool useBackground = false;
    int backStyle = Solid;
    int backOrientation = 0;    // 0-7, the gradient directions of the orientation combo
    QColor backColor1 = Qt::white;
    QColor backColor2 = Qt::yellow;
    bool useBack3dEffect = true;
    bool useBorder = true;
    QColor borderColor = Qt::black;
    int borderWidth = 5;        // 0-360, visible width inside the shape
    bool useGlossy = true;
    bool clipImage = true;
    bool useBadge = true;
    QString badgeText = QStringLiteral("50% OFF");
    QColor badgeTextColor = Qt::white;
    int badgeTextSize = 32;     // 17-25 once loaded; the text size at the 256 canvas
    QFont badgeTextFont;        // carries pixel size factor x badgeTextSize
    QColor badgeBackColor = Qt::red;
    QColor badgeBorderColor = Qt::white;
    int badgeLineWidth = 6;     // 0-20, outline of the diagonal band
    int badgeTextWidth = 0;     // measured, not stored
    int badgeTextHeight = 0;    // measured, not stored
    int badgeOrientation = Horizontal;
    int badgeOrientationHorizontal = 1; // 0 Bottom, 1 Top
    int badgeOrientationDiagonal = 3;   // 0 Top Left, 1 Top Right, 2 Bottom Left, 3 Bottom Right
    int canvasSize = 1;         // 1 256x256, 2 512x512, 3 1024x1024

    // Reads every key with its first-run default; values out of range are clamped as the
    // Create tab's controls clamp them (an unknown combo index gives the first entry), a
    // colour QColor::setNamedColor cannot read keeps its first-run colour.  The font comes
    // back bold, as the text size and font controls make it, and measured.
    void load(QSettings& settings);
    // Writes every key: colours as "#rrggbb", the font as QFont::toString().
    void save(QSettings& settings) const;

    // The same keys and forms as a map, "Group/key" to value ("Container/shape" -> 0),
    // for a composition document that carries the style with it.  Loading from a map
    // clamps and falls back exactly as loading from the settings does.
    void load(const QVariantMap& values);
    QVariantMap values() const;

    // 1, 2 or 4 for canvasSize 1, 2 or 3: the scale of the badge text.
    int textSizeFactor() const;
    // Gives the font its pixel size (factor x badgeTextSize) and measures badgeText in it,
    // as a label fitted to the text would (badgeTextWidth, badgeTextHeight).
    void measureBadgeText();

    // The size a QLabel showing text as plain text in font takes by adjustSize() (no frame,
    // margin or indent), measured without a widget.
    static QSize labelTextSize(const QFont& font, const QString& text);
};
