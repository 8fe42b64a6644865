#pragma once

#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include "render/iconstyle.h"
#include "render/imagedata.h"

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMouseEvent;
class QPaintEvent;
class QWheelEvent;

// The style of the composed icon; the Create tab writes it, the canvas draws with it.
extern IconStyle iconStyle;
// The composition's image objects: index 0 is drawn first, the last on top.
extern QList<ImageData> imageDataList;

// The composing canvas of the Create tab: image objects placed by dropping picture files,
// selected with the mouse, dragged, scaled with the wheel and rotated with Shift + wheel.
// It paints the composed icon and renders the icon square that the .ico and PNG roads
// write.
class GlyphoraWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GlyphoraWidget(QWidget* parent = nullptr);
    ~GlyphoraWidget() override;

    // s = a (anything above 2 gives 4); the widget becomes 300 s square and ready to paint.
    void setCanvasSizeIndex(int a);
    // Selects the object named "Image" + id (any case) and emits itemSelected; "-1" clears
    // the selection quietly; an unknown name changes nothing.
    void selectByName(const QString& name);
    // These act on the selected object and emit nothing.
    void setPosition(int x, int y);
    void setScale(int percent);
    void setRotation(int degrees);

    int sizeIndex() const { return s; }
    int iconSide() const { return iconSize; }
    int canvasSide() const { return canvasSizePx; }
    int selectedIndex() const { return selected; }

    // The renderer on this canvas's size and the program-wide style and objects.
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
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool hasSelection() const;
    // Rebuilds the selected object's display image at its position, frames and repaints it.
    void rebuildSelected();

    bool ready = false;
    int iconSize = 256;
    int canvasSizePx = 300;
    int s = 1;
    QRect selectionRect{-1, -1, -1, -1};
    QPoint pressPos;
    QPoint pressObjectPos;
    int selected = -1;
    bool dragging = false;
    // Wheel angle not yet making a whole notch, and whether it was meant to rotate.
    int wheelRemainder = 0;
    bool wheelRotates = false;
};
