#include "composition.h"

#include <QHash>
#include <QLoggingCategory>
#include <QUndoStack>

#include <algorithm>

#include "iconrenderer.h"
#include "picture/sourceimage.h"

Q_LOGGING_CATEGORY(lcComposition, "glyphora.composition", QtInfoMsg)

namespace {

// The kinds of step, as QUndoCommand::id() tells them apart for merging.
enum EditKind { StyleEdit = 1, MoveEdit, ScaleEdit, RotateEdit };

// The name a style key has in the Undo and Redo tool tips.
QString styleLabel(const QString& key)
{
    static const QHash<QString, const char*> labels = {
        {QStringLiteral("Container/shape"), "Shape"},
        {QStringLiteral("Container/radius"), "Radius"},
        {QStringLiteral("Container/useBackground"), "Background"},
        {QStringLiteral("Container/backStyle"), "Background Style"},
        {QStringLiteral("Container/backOrientation"), "Gradient Orientation"},
        {QStringLiteral("Container/backColor1"), "Background Color"},
        {QStringLiteral("Container/backColor2"), "Second Background Color"},
        {QStringLiteral("Container/useBack3dEffect"), "3D Effect"},
        {QStringLiteral("Container/useBorder"), "Border"},
        {QStringLiteral("Container/borderColor"), "Border Color"},
        {QStringLiteral("Container/borderWidth"), "Border Width"},
        {QStringLiteral("Container/useGlossy"), "Glossy"},
        {QStringLiteral("Container/clipImage"), "Clip Image"},
        {QStringLiteral("Badge/useBadge"), "Badge"},
        {QStringLiteral("Badge/badgeText"), "Badge Text"},
        {QStringLiteral("Badge/badgeTextColor"), "Badge Text Color"},
        {QStringLiteral("Badge/badgeTextSize"), "Badge Text Size"},
        {QStringLiteral("Badge/badgeTextFont"), "Badge Font"},
        {QStringLiteral("Badge/badgeBackColor"), "Badge Color"},
        {QStringLiteral("Badge/badgeBorderColor"), "Badge Border Color"},
        {QStringLiteral("Badge/badgeLineWidth"), "Badge Line Width"},
        {QStringLiteral("Badge/badgeOrientation"), "Badge Orientation"},
        {QStringLiteral("Badge/badgeOrientationHorizontal"), "Badge Position"},
        {QStringLiteral("Badge/badgeOrientationDiagonal"), "Badge Position"},
        {QStringLiteral("Canvas/canvasSize"), "Canvas Size"},
    };
    const char* label = labels.value(key);
    return label ? QString::fromLatin1(label) : key;
}

QString objectName(int id)
{
    return QStringLiteral("Image%1").arg(id);
}

} // namespace

// The base of every step: the composition's own doors, open to the steps only.
class CompositionEdit : public QUndoCommand
{
public:
    CompositionEdit(Composition* composition, const QString& text, QUndoCommand* parent = nullptr)
        : QUndoCommand(text, parent)
        , composition(composition)
    {
    }

protected:
    void applyStyleValue(const QString& key, const QVariant& value) { composition->applyStyleValue(key, value); }
    void insertObject(int index, const ImageData& object) { composition->insertObject(index, object); }
    void takeObject(int index) { composition->takeObject(index); }
    void applyOrder(int from, int to) { composition->applyOrder(from, to); }
    void applyPlacement(int id, const QPoint& position, int scale, int rotation)
    {
        composition->applyPlacement(id, position, scale, rotation);
    }

    Composition* composition;
};

namespace {

class StyleValueEdit : public CompositionEdit
{
public:
    StyleValueEdit(Composition* composition, const QString& key, const QVariant& before, const QVariant& after,
                   int gesture, QUndoCommand* parent = nullptr)
        : CompositionEdit(composition, QStringLiteral("Change %1").arg(styleLabel(key)), parent)
        , key(key)
        , before(before)
        , after(after)
        , gesture(gesture)
    {
    }

    int id() const override { return StyleEdit; }
    void redo() override { applyStyleValue(key, after); }
    void undo() override { applyStyleValue(key, before); }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const StyleValueEdit*>(other);
        if (gesture == 0 || next->gesture != gesture || next->key != key)
            return false;
        after = next->after;
        setObsolete(after == before);
        return true;
    }

private:
    QString key;
    QVariant before;
    QVariant after;
    int gesture;
};

// A move, scale or rotation of one object: its three values before and after.
class PlacementEdit : public CompositionEdit
{
public:
    struct Values
    {
        QPoint position;
        int scale = 100;
        int rotation = 0;
        bool operator==(const Values& o) const
        {
            return position == o.position && scale == o.scale && rotation == o.rotation;
        }
    };

    PlacementEdit(Composition* composition, EditKind kind, int objectId, const Values& before, const Values& after,
                  int gesture, QUndoCommand* parent = nullptr)
        : CompositionEdit(composition, textFor(kind, objectId), parent)
        , kind(kind)
        , objectId(objectId)
        , before(before)
        , after(after)
        , gesture(gesture)
    {
    }

    int id() const override { return kind; }
    void redo() override { applyPlacement(objectId, after.position, after.scale, after.rotation); }
    void undo() override { applyPlacement(objectId, before.position, before.scale, before.rotation); }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const PlacementEdit*>(other);
        if (gesture == 0 || next->gesture != gesture || next->objectId != objectId)
            return false;
        after = next->after;
        setObsolete(after == before);
        return true;
    }

private:
    static QString textFor(EditKind kind, int objectId)
    {
        const char* verb = kind == MoveEdit ? "Move" : kind == ScaleEdit ? "Scale" : "Rotate";
        return QStringLiteral("%1 %2").arg(QLatin1String(verb), objectName(objectId));
    }

    EditKind kind;
    int objectId;
    Values before;
    Values after;
    int gesture;
};

// Objects appended on top, kept as they were made for every redo.
class AddEdit : public CompositionEdit
{
public:
    AddEdit(Composition* composition, const QList<ImageData>& added)
        : CompositionEdit(composition, added.size() == 1 ? QStringLiteral("Add %1").arg(added.constFirst().name())
                                                         : QStringLiteral("Add %1 Images").arg(added.size()))
        , added(added)
        , first(int(composition->imageDataList().size()))
    {
    }

    void redo() override
    {
        for (qsizetype i = 0; i < added.size(); ++i)
            insertObject(first + int(i), added.at(i));
    }
    void undo() override
    {
        for (qsizetype i = added.size() - 1; i >= 0; --i)
            takeObject(first + int(i));
    }

private:
    QList<ImageData> added;
    int first;
};

// Objects deleted, kept whole for the undo: their pictures as decoded, their display
// images as drawn.
class RemoveEdit : public CompositionEdit
{
public:
    // indexes ascending
    RemoveEdit(Composition* composition, const QList<int>& indexes)
        : CompositionEdit(composition, QString())
        , indexes(indexes)
    {
        for (int index : indexes)
            removed.append(composition->imageDataList().at(index));
        setText(removed.size() == 1 ? QStringLiteral("Delete %1").arg(objectName(removed.constFirst().id))
                                    : QStringLiteral("Delete %1 Images").arg(removed.size()));
    }

    void redo() override
    {
        for (qsizetype i = indexes.size() - 1; i >= 0; --i)
            takeObject(indexes.at(i));
    }
    void undo() override
    {
        for (qsizetype i = 0; i < removed.size(); ++i)
            insertObject(indexes.at(i), removed.at(i));
    }

private:
    QList<int> indexes;
    QList<ImageData> removed;
};

class ReorderEdit : public CompositionEdit
{
public:
    ReorderEdit(Composition* composition, int from, int to)
        : CompositionEdit(composition,
                          QStringLiteral("Reorder %1").arg(objectName(composition->imageDataList().at(from).id)))
        , from(from)
        , to(to)
    {
    }
    void redo() override { applyOrder(from, to); }
    void undo() override { applyOrder(to, from); }

private:
    int from;
    int to;
};

PlacementEdit::Values valuesOf(const ImageData& object)
{
    return {object.position, object.scale, object.rotation};
}

} // namespace

Composition::Composition(QObject* parent)
    : QObject(parent)
    , stack(new QUndoStack(this))
{
}

Composition::~Composition() = default;

int Composition::indexOfId(int id) const
{
    for (qsizetype i = 0; i < objects.size(); ++i) {
        if (objects.at(i).id == id)
            return int(i);
    }
    return -1;
}

int Composition::freeId() const
{
    int id = 0;
    while (indexOfId(id) >= 0)
        ++id;
    return id;
}

QImage Composition::loadPicture(const QString& path)
{
    QImage image;
    if (path.isEmpty() || !SourceImage::load(path, kSvgSide, kSvgSide, image))
        return QImage();
    return image;
}

void Composition::reset(const IconStyle& iconStyle, const QList<ImageData>& imageDataList)
{
    stack->clear();
    style = iconStyle;
    objects = imageDataList;
    Q_EMIT styleChanged();
    Q_EMIT objectsReset();
}

void Composition::setStyleValue(const QString& key, const QVariant& value, int gesture)
{
    const QVariantMap values = style.values();
    if (!values.contains(key)) {
        qCWarning(lcComposition) << "No such style value:" << key;
        return;
    }
    // Compared as loading would store it: a value the style clamps back to the current
    // one changes nothing.
    IconStyle probe = style;
    QVariantMap changed = values;
    changed.insert(key, value);
    probe.load(changed);
    const QVariant stored = probe.values().value(key);
    if (stored == values.value(key))
        return;
    stack->push(new StyleValueEdit(this, key, values.value(key), stored, gesture));
}

void Composition::setCanvasSize(int canvasSize)
{
    const QString key = QStringLiteral("Canvas/canvasSize");
    const int before = style.canvasSize;
    if (canvasSize == before)
        return;
    auto* step = new CompositionEdit(this, QStringLiteral("Change Canvas Size"));
    new StyleValueEdit(this, key, before, canvasSize, 0, step);

    // An object keeps its pixel position, unless on an axis its top-left lies beyond the
    // new icon side I (256, 512 or 1024): then it moves back by its own extent, so that
    // its far edge sits on I (never past 0); an object wholly left of or above the canvas
    // comes to 0 on that axis.  A top-left at most I lies at least C - I (44, 88 or 176)
    // pixels inside the C x C canvas, so every object can be pressed again.
    const int bound = IconRenderer::CanvasGeometry::forSizeIndex(canvasSize).iconSide;
    const auto pulledBack = [bound](int at, int extent) {
        if (at > bound)
            return std::max(0, bound - extent);
        if (at + extent <= 0)
            return 0;
        return at;
    };
    for (const ImageData& object : std::as_const(objects)) {
        const PlacementEdit::Values from = valuesOf(object);
        PlacementEdit::Values to = from;
        to.position = QPoint(pulledBack(object.position.x(), object.rect.width()),
                             pulledBack(object.position.y(), object.rect.height()));
        if (!(to == from))
            new PlacementEdit(this, MoveEdit, object.id, from, to, 0, step);
    }
    stack->push(step);
}

void Composition::addObjects(const QList<ImageData>& added)
{
    if (!added.isEmpty())
        stack->push(new AddEdit(this, added));
}

void Composition::removeObjects(const QList<int>& ids)
{
    QList<int> indexes;
    for (int id : ids) {
        const int index = indexOfId(id);
        if (index >= 0 && !indexes.contains(index))
            indexes.append(index);
    }
    if (indexes.isEmpty())
        return;
    std::sort(indexes.begin(), indexes.end());
    stack->push(new RemoveEdit(this, indexes));
}

void Composition::reorderObject(int from, int to)
{
    const int count = int(objects.size());
    if (from == to || from < 0 || from >= count || to < 0 || to >= count)
        return;
    stack->push(new ReorderEdit(this, from, to));
}

void Composition::moveObject(int id, const QPoint& position, int gesture)
{
    const int index = indexOfId(id);
    if (index < 0 || objects.at(index).position == position)
        return;
    const PlacementEdit::Values from = valuesOf(objects.at(index));
    PlacementEdit::Values to = from;
    to.position = position;
    stack->push(new PlacementEdit(this, MoveEdit, id, from, to, gesture));
}

void Composition::scaleObject(int id, int scale, int gesture)
{
    const int index = indexOfId(id);
    if (index < 0 || objects.at(index).scale == scale)
        return;
    const PlacementEdit::Values from = valuesOf(objects.at(index));
    PlacementEdit::Values to = from;
    to.scale = scale;
    stack->push(new PlacementEdit(this, ScaleEdit, id, from, to, gesture));
}

void Composition::rotateObject(int id, int rotation, int gesture)
{
    const int index = indexOfId(id);
    if (index < 0 || objects.at(index).rotation == rotation)
        return;
    const PlacementEdit::Values from = valuesOf(objects.at(index));
    PlacementEdit::Values to = from;
    to.rotation = rotation;
    stack->push(new PlacementEdit(this, RotateEdit, id, from, to, gesture));
}

void Composition::applyStyleValue(const QString& key, const QVariant& value)
{
    QVariantMap values = style.values();
    values.insert(key, value);
    style.load(values);
    Q_EMIT styleChanged();
}

void Composition::insertObject(int index, const ImageData& object)
{
    index = std::clamp(index, 0, int(objects.size()));
    objects.insert(index, object);
    Q_EMIT objectInserted(index);
}

void Composition::takeObject(int index)
{
    if (index < 0 || index >= objects.size())
        return;
    const int id = objects.at(index).id;
    objects.removeAt(index);
    Q_EMIT objectRemoved(index, id);
}

void Composition::applyOrder(int from, int to)
{
    if (from < 0 || from >= objects.size() || to < 0 || to >= objects.size())
        return;
    objects.move(from, to);
    Q_EMIT objectReordered(from, to);
}

void Composition::applyPlacement(int id, const QPoint& position, int scale, int rotation)
{
    const int index = indexOfId(id);
    if (index < 0)
        return;
    ImageData& object = objects[index];
    const bool redraw = object.scale != scale || object.rotation != rotation;
    object.position = position;
    object.scale = scale;
    object.rotation = rotation;
    object.rect.moveTopLeft(position);
    if (redraw)
        object.rebuildDisplayImage();
    Q_EMIT objectChanged(index);
}
