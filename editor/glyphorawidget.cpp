#include "editor/glyphorawidget.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QUndoStack>
#include <QWheelEvent>

#include <climits>
#include <cmath>

#include "picture/picturetypes.h"
#include "render/composition.h"
#include "render/iconrenderer.h"

Q_LOGGING_CATEGORY(lcCanvas, "glyphora.canvas", QtInfoMsg)

namespace {

// angleDelta() of one standard wheel notch.
constexpr int kWheelNotch = 120;
// A wheel notch this long after the last one starts a step of its own.
constexpr int kWheelPauseMs = 1000;
// Pixels an arrow key moves the selected object, alone and with Shift.
constexpr int kArrowStep = 1;
constexpr int kShiftArrowStep = 10;

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

const QList<ImageData>& noObjects()
{
    static const QList<ImageData> none;
    return none;
}

} // namespace

GlyphoraWidget::GlyphoraWidget(QWidget* parent)
    : QWidget(parent)
{
    // Clicked or tabbed to, the canvas takes the arrow keys and Delete.
    setFocusPolicy(Qt::StrongFocus);
    setFocus();
}

GlyphoraWidget::~GlyphoraWidget() = default;

void GlyphoraWidget::setComposition(Composition* composition)
{
    if (model)
        disconnect(model, nullptr, this, nullptr);
    model = composition;
    selected = -1;
    dragging = false;
    if (model) {
        connect(model, SIGNAL(styleChanged()), this, SLOT(onStyleChanged()));
        connect(model, SIGNAL(objectsReset()), this, SLOT(onObjectsReset()));
        connect(model, SIGNAL(objectRemoved(int,int)), this, SLOT(onObjectRemoved(int,int)));
        connect(model, SIGNAL(objectInserted(int)), this, SLOT(update()));
        connect(model, SIGNAL(objectReordered(int,int)), this, SLOT(update()));
        connect(model, SIGNAL(objectChanged(int)), this, SLOT(update()));
    }
    update();
}

int GlyphoraWidget::selectedIndex() const
{
    return model && selected >= 0 ? model->indexOfId(selected) : -1;
}

void GlyphoraWidget::onStyleChanged()
{
    // The canvas follows the style's size: 1, 2, 3 for the index 1, 2, 4.
    const int wanted = IconRenderer::CanvasGeometry::forSizeIndex(model->iconStyle().canvasSize).sizeIndex;
    if (!ready || wanted != s)
        setCanvasSizeIndex(model->iconStyle().canvasSize);
    update();
}

void GlyphoraWidget::onObjectRemoved(int, int id)
{
    if (id == selected) {
        selected = -1;
        dragging = false;
    }
    update();
}

void GlyphoraWidget::onObjectsReset()
{
    selected = -1;
    dragging = false;
    update();
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

void GlyphoraWidget::selectById(int id)
{
    const int index = model && id >= 0 ? model->indexOfId(id) : -1;
    if (index < 0) {
        selected = -1;
        update();
        return;
    }
    selected = id;
    wheelRemainder = 0;
    update();
    Q_EMIT itemSelected(index);
}

void GlyphoraWidget::selectByName(const QString& name)
{
    if (name.compare(QLatin1String("-1"), Qt::CaseInsensitive) == 0) {
        selectById(-1);
        return;
    }
    if (!model)
        return;
    for (const ImageData& object : model->imageDataList()) {
        if (object.name().compare(name, Qt::CaseInsensitive) == 0) {
            selectById(object.id);
            return;
        }
    }
}

void GlyphoraWidget::setPosition(int x, int y)
{
    if (hasSelection())
        model->moveObject(selected, QPoint(x, y));
}

void GlyphoraWidget::setScale(int percent)
{
    if (hasSelection())
        model->scaleObject(selected, percent);
}

void GlyphoraWidget::setRotation(int degrees)
{
    if (hasSelection())
        model->rotateObject(selected, degrees);
}

QImage GlyphoraWidget::drawContainer(QPainterPath& containerPath) const
{
    return IconRenderer::drawContainer(model ? model->iconStyle() : IconStyle(), s, containerPath);
}

QImage GlyphoraWidget::compose(const QImage& container, const QPainterPath& containerPath, bool output) const
{
    const int index = selectedIndex();
    const QRect selectionRect = index >= 0 ? model->imageDataList().at(index).rect : QRect(-1, -1, -1, -1);
    return IconRenderer::compose(model ? model->iconStyle() : IconStyle(), s, container, containerPath,
                                 model ? model->imageDataList() : noObjects(), output, selectionRect);
}

QImage GlyphoraWidget::renderOutput() const
{
    return IconRenderer::renderOutput(model ? model->iconStyle() : IconStyle(), s,
                                      model ? model->imageDataList() : noObjects());
}

ImageData GlyphoraWidget::makeObject(const QString& path, const QPoint& point, const QList<int>& taken) const
{
    ImageData object;
    object.path = path;
    // A file that does not decode still becomes an object, empty and out of reach of the
    // mouse, so that the list shows what was dropped.
    object.image = Composition::loadPicture(path);
    if (object.image.isNull())
        qCWarning(lcCanvas) << "Failed to load image from:" << path;
    object.fitInto(canvasSizePx);
    const QSize size = object.displayImage.size();
    object.position = point - QPoint(size.width() / 2, size.height() / 2);
    object.rect = QRect(object.position, size);
    int id = 0;
    while (model->indexOfId(id) >= 0 || taken.contains(id))
        ++id;
    object.id = id;
    object.rotation = 0;
    return object;
}

void GlyphoraWidget::addObjects(const QList<ImageData>& objects)
{
    if (objects.isEmpty())
        return;
    const int first = int(model->imageDataList().size());
    model->addObjects(objects);
    selected = objects.constLast().id;
    update();
    for (qsizetype i = 0; i < objects.size(); ++i)
        Q_EMIT addItem(first + int(i), objects.at(i).displayImage);
}

void GlyphoraWidget::addObjectFromFile(const QString& path, const QPoint& point)
{
    if (model)
        addObjects({makeObject(path, point, {})});
}

void GlyphoraWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !model)
        return;
    const QPoint p = event->position().toPoint();
    const QRect probe(p, QSize(1, 1));
    const QList<ImageData>& objects = model->imageDataList();
    for (int i = int(objects.size()) - 1; i >= 0; --i) {
        if (!objects.at(i).rect.intersects(probe))
            continue;
        selectById(objects.at(i).id);
        pressPos = p;
        // The form may have reordered or removed objects in its slot.
        if (hasSelection()) {
            pressObjectPos = model->imageDataList().at(selectedIndex()).position;
            dragging = true;
            dragGesture = model->newGesture();
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
    model->moveObject(selected, pressObjectPos + (event->position().toPoint() - pressPos), dragGesture);
    Q_EMIT itemMoved(selectedIndex());
}

void GlyphoraWidget::mouseReleaseEvent(QMouseEvent*)
{
    dragging = false;
}

void GlyphoraWidget::keyPressEvent(QKeyEvent* event)
{
    if (!hasSelection()) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int step = event->modifiers().testFlag(Qt::ShiftModifier) ? kShiftArrowStep : kArrowStep;
    QPoint offset;
    switch (event->key()) {
    case Qt::Key_Left:
        offset = QPoint(-step, 0);
        break;
    case Qt::Key_Right:
        offset = QPoint(step, 0);
        break;
    case Qt::Key_Up:
        offset = QPoint(0, -step);
        break;
    case Qt::Key_Down:
        offset = QPoint(0, step);
        break;
    case Qt::Key_Delete:
        model->removeObjects({selected});
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const ImageData& object = model->imageDataList().at(selectedIndex());
    model->moveObject(selected, object.position + offset);
    Q_EMIT itemMoved(selectedIndex());
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
    const bool newRun = rotate != wheelRotates || wheelObject != selected || !wheelClock.isValid()
        || wheelClock.elapsed() > kWheelPauseMs;
    if (rotate != wheelRotates || (wheelRemainder < 0) != (delta < 0))
        wheelRemainder = 0;
    wheelRotates = rotate;
    const qint64 total = qint64(wheelRemainder) + delta;
    const int steps = int(total / kWheelNotch);
    wheelRemainder = int(total % kWheelNotch);
    if (steps == 0)
        return;
    if (newRun)
        wheelGesture = model->newGesture();
    wheelObject = selected;
    wheelClock.start();

    // Each notch is a degree or a percentage point; the spin boxes bound only typing.
    const ImageData& object = model->imageDataList().at(selectedIndex());
    if (rotate) {
        model->rotateObject(selected, object.rotation + steps, wheelGesture);
        Q_EMIT itemRotated(selectedIndex());
    } else {
        model->scaleObject(selected, object.scale + steps, wheelGesture);
        Q_EMIT itemScaled(selectedIndex());
    }
}

void GlyphoraWidget::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (model && mime && mime->hasUrls() && !mime->urls().isEmpty()
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
    if (!model || !mime || !mime->hasUrls())
        return;
    const QPoint point(roundToInt(event->position().x()), roundToInt(event->position().y()));
    // Several files land on the same point, each later one on top; the drop is one step.
    QList<ImageData> objects;
    QList<int> taken;
    for (const QUrl& url : mime->urls()) {
        const QString path = url.toLocalFile();
        if (!PictureTypes::isCanvasPicture(path))
            continue;
        objects.append(makeObject(path, point, taken));
        taken.append(objects.constLast().id);
    }
    if (objects.isEmpty())
        return;
    addObjects(objects);
    event->acceptProposedAction();
}

void GlyphoraWidget::paintEvent(QPaintEvent*)
{
    if (!ready || !model)
        return;
    QPainterPath path;
    const QImage container = drawContainer(path);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawImage(0, 0, compose(container, path, false));
}
