#pragma once

// The composition the edit page works on: the icon style and the ordered image objects,
// with the undo stack every change goes through.  The canvas, the object list and the
// style controls read it and ask it to change; each change is one step on undoStack()
// and is told through the signals below.  No widget needed: the command line and the
// tests make their own.

#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QVariant>

#include "iconstyle.h"
#include "imagedata.h"

class QUndoStack;

class Composition : public QObject
{
    Q_OBJECT

public:
    // An SVG picture becomes an object rasterised at this side.
    static constexpr int kSvgSide = 1024;

    explicit Composition(QObject* parent = nullptr);
    ~Composition() override;

    const IconStyle& iconStyle() const { return style; }
    // Drawing order: index 0 first, the last on top.
    const QList<ImageData>& imageDataList() const { return objects; }
    QUndoStack* undoStack() const { return stack; }

    // The index of the object with this id, -1 when there is none.
    int indexOfId(int id) const;
    // The smallest id no object uses: ids freed by a delete come back first.
    int freeId() const;
    // A number for one gesture (a drag, a run of wheel notches, of a box's arrows): steps
    // of the same kind on the same thing with the same gesture merge into one.  0 never
    // merges.
    int newGesture() { return ++gestureCount; }

    // The picture file as an object is made from it: an SVG at kSvgSide, anything else at
    // its natural size; null when it does not decode.
    static QImage loadPicture(const QString& path);

    // Starts afresh: style and objects replaced, the undo history dropped, the
    // composition clean.  Not a step: an opened document comes in this way, so that no
    // undo brings back objects that Save would then write into the opened file.
    void reset(const IconStyle& iconStyle, const QList<ImageData>& imageDataList);

    // ---- Steps: each is pushed on the undo stack and done at once ----
    // One value of the style by its settings key ("Container/shape"), in the form the
    // settings store it; clamped as loading clamps.  A value equal to the current one is
    // no step.
    void setStyleValue(const QString& key, const QVariant& value, int gesture = 0);
    // The canvas size 1, 2 or 3, and every object whose top-left the smaller icon square
    // leaves behind pulled back inside it: one step.
    void setCanvasSize(int canvasSize);
    // Objects appended on top, in order (picture loaded, display image built): one step.
    // The steps that add and delete objects keep them whole (the decoded picture is
    // shared, not copied), so an undo never reads a file again.
    void addObjects(const QList<ImageData>& added);
    void removeObjects(const QList<int>& ids);
    // Moves the object at drawing index from to index to.
    void reorderObject(int from, int to);
    void moveObject(int id, const QPoint& position, int gesture = 0);
    void scaleObject(int id, int scale, int gesture = 0);
    void rotateObject(int id, int rotation, int gesture = 0);

Q_SIGNALS:
    void styleChanged();
    // The whole object list was replaced.
    void objectsReset();
    void objectInserted(int index);
    void objectRemoved(int index, int id);
    void objectReordered(int from, int to);
    // Position, scale or rotation of the object at index.
    void objectChanged(int index);

private:
    friend class CompositionEdit;

    // What the steps call, in both directions.
    void applyStyleValue(const QString& key, const QVariant& value);
    void insertObject(int index, const ImageData& object);
    void takeObject(int index);
    void applyOrder(int from, int to);
    void applyPlacement(int id, const QPoint& position, int scale, int rotation);

    IconStyle style;
    QList<ImageData> objects;
    QUndoStack* stack = nullptr;
    int gestureCount = 0;
};
