#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include "render/iconstyle.h"
#include "render/imagedata.h"

class Composition;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QWheelEvent;

// The composing canvas of the Create tab: image objects placed by dropping picture files,
// selected with the mouse, dragged, scaled with the wheel and rotated with Shift + wheel,
// moved with the arrow keys (Shift: 10 pixels) and removed with Delete while it has the
// focus.  It paints the composition it is given and renders the icon square that the
// .ico and PNG roads write.  Every change it makes is a step of the composition's undo
// stack; a drag, and a run of wheel notches, is one step.
class GlyphoraWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GlyphoraWidget(QWidget* parent = nullptr);
    ~GlyphoraWidget() override;

    // The composition drawn and edited; not owned.  Without one the canvas shows nothing
    // and takes no input.
    void setComposition(Composition* composition);
    Composition* composition() const { return model; }

    // s = a (anything above 2 gives 4); the widget becomes 300 s square and ready to paint.
    void setCanvasSizeIndex(int a);
    // Selects the object named "Image" + id (any case) and emits itemSelected; "-1" clears
    // the selection quietly; an unknown name changes nothing.
    void selectByName(const QString& name);
    // These act on the selected object and emit nothing; each is a step of its own.
    void setPosition(int x, int y);
    void setScale(int percent);
    void setRotation(int degrees);

    int sizeIndex() const { return s; }
    int iconSide() const { return iconSize; }
    int canvasSide() const { return canvasSizePx; }
    // The drawing index of the selected object, -1 when there is none.
    int selectedIndex() const;
    // The id of the selected object, -1 when there is none.
    int selectedId() const { return hasSelection() ? selected : -1; }
    // Selects the object with this id (emitting itemSelected); -1 or an unknown id clears
    // the selection quietly.
    void selectById(int id);

    // The renderer on this canvas's size and the composition's style and objects.
    QImage drawContainer(QPainterPath& containerPath) const;
    QImage compose(const QImage& container, const QPainterPath& containerPath, bool output) const;
    // The I x I icon square, without the selection.
    QImage renderOutput() const;

    // Adds an object made from the picture file at path, centred on point; emits addItem.
    void addObjectFromFile(const QString& path, const QPoint& point);

Q_SIGNALS:
    void addItem(int imageDataIndex, QImage image);
    void itemSelected(int imageDataIndex);
    void itemMoved(int imageDataIndex);
    void itemScaled(int imageDataIndex);
    void itemRotated(int imageDataIndex);
    void canvasSizeChanged(int size);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private Q_SLOTS:
    void onStyleChanged();
    void onObjectRemoved(int index, int id);
    void onObjectsReset();

private:
    bool hasSelection() const { return selectedIndex() >= 0; }
    // An object made from the picture file at path, centred on point, fitted into the
    // canvas, with the smallest id neither the composition nor taken uses.
    ImageData makeObject(const QString& path, const QPoint& point, const QList<int>& taken) const;
    // Adds made objects as one step and tells of each with addItem.
    void addObjects(const QList<ImageData>& objects);

    Composition* model = nullptr;
    bool ready = false;
    int iconSize = 256;
    int canvasSizePx = 300;
    int s = 1;
    QPoint pressPos;
    QPoint pressObjectPos;
    int selected = -1;   // the selected object's id
    bool dragging = false;
    int dragGesture = 0;
    // Wheel angle not yet making a whole notch, and whether it was meant to rotate.
    int wheelRemainder = 0;
    bool wheelRotates = false;
    // Notches on one object, in one sense and without a pause, are one step.
    int wheelGesture = 0;
    int wheelObject = -1;
    QElapsedTimer wheelClock;
};
