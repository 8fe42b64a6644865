#include "glyphorawidget.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <climits>
#include <cmath>

#include "picture/picturetypes.h"
#include "render/iconrenderer.h"

Q_LOGGING_CATEGORY(lcCanvas, "glyphora.canvas", QtInfoMsg)

IconStyle iconStyle;
QList<ImageData> imageDataList;

namespace {

// angleDelta() of one standard wheel notch.
constexpr int kWheelNotch = 120;

// Half away from zero, held inside the int range.
int roundToInt(double value)
{
    const double rounded = std::round(value);
    if (!(rounded > double(INT_MIN)))
        return INT_MIN;
    if (rounded > double(INT_MAX))
        return INT_MAX;
    return int(rounded);
}

} // namespace

GlyphoraWidget::GlyphoraWidget(QWidget* parent)
    : QWidget(parent)
{
    setFocus();
}

GlyphoraWidget::~GlyphoraWidget() = default;

bool GlyphoraWidget::hasSelection() const
{
    return selected >= 0 && selected < imageDataList.size();
}

void GlyphoraWidget::setCanvasSizeIndex(int a)
{
    const IconRenderer::CanvasGeometry g = IconRenderer::CanvasGeometry::forSizeIndex(a);
    s = g.sizeIndex;
    iconSize = g.iconSide;
    canvasSizePx = g.canvasSide;
    setFixedSize(canvasSizePx, canvasSizePx);
    update();
    Q_EMIT canvasSizeChanged(canvasSizePx);
    ready = true;
}

void GlyphoraWidget::selectByName(const QString& name)
{
    if (name.compare(QLatin1String("-1"), Qt::CaseInsensitive) == 0) {
        selected = -1;
        selectionRect = QRect(-1, -1, -1, -1);
        return;
    }
    for (int i = 0; i < imageDataList.size(); ++i) {
        if (imageDataList.at(i).name().compare(name, Qt::CaseInsensitive) == 0) {
            selected = i;
            selectionRect = imageDataList.at(i).rect;
            wheelRemainder = 0;
            update();
            Q_EMIT itemSelected(i);
            return;
        }
    }
}

void GlyphoraWidget::setPosition(int x, int y)
{
    if (!hasSelection())
        return;
    ImageData& object = imageDataList[selected];
    object.position = QPoint(x, y);
    object.rect = QRect(object.position, object.displayImage.size());
    selectionRect = object.rect;
    update();
}

void GlyphoraWidget::setScale(int percent)
{
    if (!hasSelection())
        return;
    imageDataList[selected].scale = percent;
    rebuildSelected();
}

void GlyphoraWidget::setRotation(int degrees)
{
    if (!hasSelection())
        return;
    imageDataList[selected].rotation = degrees;
    rebuildSelected();
}

void GlyphoraWidget::rebuildSelected()
{
    ImageData& object = imageDataList[selected];
    object.rect.moveTopLeft(object.position);
    object.rebuildDisplayImage();
    selectionRect = object.rect;
    update();
}

QImage GlyphoraWidget::drawContainer(QPainterPath& containerPath) const
{
    return IconRenderer::drawContainer(iconStyle, s, containerPath);
}

QImage GlyphoraWidget::compose(const QImage& container, const QPainterPath& containerPath, bool output) const
{
    return IconRenderer::compose(iconStyle, s, container, containerPath, imageDataList, output, selectionRect);
}

QImage GlyphoraWidget::renderOutput() const
{
    return IconRenderer::renderOutput(iconStyle, s, imageDataList);
}

void GlyphoraWidget::addObjectFromFile(const QString& path, const QPoint& point)
{
    ImageData object;
    object.path = path;
    // A file that does not decode still becomes an object, empty and out of reach of the
    // mouse, so that the list shows what was dropped.
    if (!object.image.load(path))
        qCWarning(lcCanvas) << "Failed to load image from:" << path;
    object.fitInto(canvasSizePx);
    const QSize size = object.displayImage.size();
    object.position = point - QPoint(size.width() / 2, size.height() / 2);
    object.rect = QRect(object.position, size);

    // The smallest id no object uses: ids freed by a delete come back first.
    int id = 0;
    for (bool used = true; used; ) {
        used = false;
        for (const ImageData& other : std::as_const(imageDataList)) {
            if (other.id == id) {
                used = true;
                ++id;
                break;
            }
        }
    }
    object.id = id;
    object.rotation = 0;

    selectionRect = object.rect;
    imageDataList.append(object);
    update();
    Q_EMIT addItem(imageDataList.size() - 1, object.displayImage);
}

void GlyphoraWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    const QRect probe(p, QSize(1, 1));
    for (int i = imageDataList.size() - 1; i >= 0; --i) {
        if (!imageDataList.at(i).rect.intersects(probe))
            continue;
        selected = i;
        selectionRect = imageDataList.at(i).rect;
        wheelRemainder = 0;
        Q_EMIT itemSelected(i);
        pressPos = p;
        // The form may have reordered or removed objects in its slot.
        if (hasSelection()) {
            pressObjectPos = imageDataList.at(selected).position;
            dragging = true;
        }
        update();
        break;
    }
    QWidget::mousePressEvent(event);
}

void GlyphoraWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging || !hasSelection())
        return;
    ImageData& object = imageDataList[selected];
    object.position = pressObjectPos + (event->position().toPoint() - pressPos);
    object.rect = QRect(object.position, object.rect.size());
    selectionRect = object.rect;
    update();
    Q_EMIT itemMoved(selected);
}

void GlyphoraWidget::mouseReleaseEvent(QMouseEvent*)
{
    dragging = false;
}

void GlyphoraWidget::wheelEvent(QWheelEvent* event)
{
    if (!hasSelection())
        return;
    // Shift as the event carries it: a flag kept from key events sticks when Shift is
    // released while another window has focus.
    const bool rotate = event->modifiers().testFlag(Qt::ShiftModifier);
    // Some systems turn Shift + wheel into a sideways scroll.
    int delta = event->angleDelta().y();
    if (delta == 0 && rotate)
        delta = event->angleDelta().x();
    if (delta == 0)
        return;

    // angleDelta counts eighths of a degree; a standard notch is 120, 15 degrees, one
    // step.  Touchpads send a notch in small parts: they add up until they make one.  A
    // turn back, or a switch between scaling and rotating, starts the count afresh.
    if (rotate != wheelRotates || (wheelRemainder < 0) != (delta < 0))
        wheelRemainder = 0;
    wheelRotates = rotate;
    const qint64 total = qint64(wheelRemainder) + delta;
    const int steps = int(total / kWheelNotch);
    wheelRemainder = int(total % kWheelNotch);
    if (steps == 0)
        return;

    // Each notch is a degree or a percentage point; the spin boxes bound only typing.
    if (rotate) {
        imageDataList[selected].rotation += steps;
        rebuildSelected();
        Q_EMIT itemRotated(selected);
    } else {
        imageDataList[selected].scale += steps;
        rebuildSelected();
        Q_EMIT itemScaled(selected);
    }
}

void GlyphoraWidget::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (mime && mime->hasUrls() && !mime->urls().isEmpty()
        && PictureTypes::isCanvasPicture(mime->urls().constFirst().toLocalFile()))
        event->accept();
    else
        event->ignore();
}

void GlyphoraWidget::dragMoveEvent(QDragMoveEvent* event)
{
    event->accept();
}

void GlyphoraWidget::dropEvent(QDropEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (!mime || !mime->hasUrls())
        return;
    const QPoint point(roundToInt(event->position().x()), roundToInt(event->position().y()));
    // Several files land on the same point, each later one on top.
    bool added = false;
    for (const QUrl& url : mime->urls()) {
        const QString path = url.toLocalFile();
        if (!PictureTypes::isCanvasPicture(path))
            continue;
        addObjectFromFile(path, point);
        added = true;
    }
    if (added)
        event->acceptProposedAction();
}

void GlyphoraWidget::paintEvent(QPaintEvent*)
{
    if (!ready)
        return;
    QPainterPath path;
    const QImage container = drawContainer(path);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawImage(0, 0, compose(container, path, false));
}
