#include "glyphorawidget.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include "render/iconrenderer.h"

IconStyle iconStyle;
QList<ImageData> imageDataList;

// Interface in place; the gestures and drops follow.
GlyphoraWidget::GlyphoraWidget(QWidget* parent)
    : QWidget(parent)
{
    setFocus();
}

GlyphoraWidget::~GlyphoraWidget() = default;

void GlyphoraWidget::setCanvasSizeIndex(int a)
{
    s = a > 2 ? 4 : a;
    iconSize = 256 * s;
    canvasSizePx = 300 * s;
    setFixedSize(canvasSizePx, canvasSizePx);
    repaint();
    Q_EMIT canvasSizeChanged(canvasSizePx);
    ready = true;
}

void GlyphoraWidget::selectByName(const QString&) {}
void GlyphoraWidget::setPosition(int, int) {}
void GlyphoraWidget::setScale(int) {}
void GlyphoraWidget::setRotation(int) {}

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

void GlyphoraWidget::addObjectFromFile(const QString&, const QPoint&) {}

void GlyphoraWidget::mousePressEvent(QMouseEvent* event) { QWidget::mousePressEvent(event); }
void GlyphoraWidget::mouseMoveEvent(QMouseEvent*) {}
void GlyphoraWidget::mouseReleaseEvent(QMouseEvent*) { dragging = false; }
void GlyphoraWidget::wheelEvent(QWheelEvent*) {}
void GlyphoraWidget::dragEnterEvent(QDragEnterEvent* event) { event->ignore(); }
void GlyphoraWidget::dragMoveEvent(QDragMoveEvent* event) { event->accept(); }
void GlyphoraWidget::dropEvent(QDropEvent*) {}

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
