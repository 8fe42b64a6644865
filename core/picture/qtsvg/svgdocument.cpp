// SvgDocument drawn by Qt SVG, for the Windows build, where librsvg and cairo are not
// available.  Qt SVG reads SVG Tiny 1.2: filters, masks and some CSS are not drawn.
#include "picture/svgdocument.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QtDebug>

namespace {

// The size used when a document states neither a size nor a viewBox, as with librsvg.
constexpr double kFallbackSide = 100.0;

struct DocumentScan
{
    QString outsideFile; // the first outside file an <image> names
    bool statesSize = false; // the root states a viewBox, or both width and height
};

// Qt SVG opens the file named by an <image>'s href that is not a data: URL, relative to
// the working folder when the document came as bytes.  A picture must not make the
// program read other files (on Windows a \\server\share name even reaches the network),
// so such a document is refused.
DocumentScan scanDocument(const QByteArray& data)
{
    DocumentScan scan;
    QXmlStreamReader xml(data);
    bool root = true;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (root) {
            root = false;
            scan.statesSize = attributes.hasAttribute(QLatin1String("viewBox"))
                || (attributes.hasAttribute(QLatin1String("width")) && attributes.hasAttribute(QLatin1String("height")));
        }
        if (xml.name() != QLatin1String("image"))
            continue;
        for (const QXmlStreamAttribute& attribute : attributes) {
            if (attribute.name() != QLatin1String("href"))
                continue;
            const QString target = attribute.value().trimmed().toString();
            if (!target.isEmpty() && !target.startsWith(QLatin1String("data"), Qt::CaseInsensitive)) {
                scan.outsideFile = target;
                return scan;
            }
        }
    }
    return scan;
}

} // namespace

struct SvgDocument::Private
{
    QSvgRenderer renderer;
    QSizeF size;
};

SvgDocument::SvgDocument() = default;
SvgDocument::~SvgDocument() = default;
SvgDocument::SvgDocument(SvgDocument&& other) noexcept = default;
SvgDocument& SvgDocument::operator=(SvgDocument&& other) noexcept = default;

void SvgDocument::setLibraryName(const QString&)
{
    // Qt SVG is linked, there is no library to name.
}

QString SvgDocument::unavailableReason()
{
    return QString();
}

bool SvgDocument::load(const QByteArray& data)
{
    d.reset();
    if (data.isEmpty())
        return false;
    const DocumentScan scan = scanDocument(data);
    if (!scan.outsideFile.isEmpty()) {
        qWarning().noquote() << "SVG refused: it refers to the outside file" << scan.outsideFile;
        return false;
    }

    auto p = std::make_unique<Private>();
    if (!p->renderer.load(data) || !p->renderer.isValid())
        return false;

    QSizeF size(kFallbackSide, kFallbackSide);
    if (scan.statesSize) {
        // Qt SVG gives the width and height, or the viewBox for relative ones.
        size = p->renderer.defaultSize();
        if (size.isEmpty())
            size = p->renderer.viewBoxF().size();
    } else {
        // Qt SVG would take the drawing's bounds; librsvg draws the user space's first
        // 100 x 100 units, and both builds should draw a picture alike.
        p->renderer.setViewBox(QRectF(QPointF(0, 0), size));
    }
    if (!(size.width() > 0) || !(size.height() > 0) || !qIsFinite(size.width()) || !qIsFinite(size.height()))
        return false;

    p->size = size;
    d = std::move(p);
    return true;
}

bool SvgDocument::isNull() const
{
    return !d;
}

QSizeF SvgDocument::size() const
{
    return d ? d->size : QSizeF();
}

bool SvgDocument::draw(QImage& canvas, const QRectF& target) const
{
    QPainter painter(&canvas);
    if (!painter.isActive())
        return false;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    d->renderer.render(&painter, target);
    return true;
}
