#include "compositiondocument.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSet>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <limits>

#include "picture/sourceimage.h"

Q_LOGGING_CATEGORY(lcDocument, "glyphora.document", QtInfoMsg)

namespace {

// A document is a few kilobytes; anything past this is not one.
constexpr qint64 kMaxDocumentBytes = qint64(16) << 20;

// An SVG picture is drawn at this size, as the edit page draws its first object.
constexpr int kSvgSide = 1024;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// A JSON number as an int, rounded, held inside int's range (a double past it would
// make the conversion undefined).  False for anything but a number.
bool toInt(const QJsonValue& value, int& out)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    if (std::isnan(d))
        return false;
    out = int(std::clamp(std::round(d), double(std::numeric_limits<int>::min()),
                         double(std::numeric_limits<int>::max())));
    return true;
}

// The style's values read from the document's "style" object, typed as a fresh style
// types them (int, bool or string); a key of another type is an error, an unknown key a
// warning.
bool readStyle(const QJsonObject& style, QVariantMap& values, QString* error, QStringList& warnings)
{
    const QVariantMap defaults = IconStyle().values();
    for (auto group = style.constBegin(); group != style.constEnd(); ++group) {
        if (!group.value().isObject()) {
            setError(error, QStringLiteral("style: \"%1\" is not an object").arg(group.key()));
            return false;
        }
        const QJsonObject keys = group.value().toObject();
        for (auto it = keys.constBegin(); it != keys.constEnd(); ++it) {
            const QString key = group.key() + QLatin1Char('/') + it.key();
            if (!defaults.contains(key)) {
                warnings.append(QStringLiteral("style: unknown key %1 ignored").arg(key));
                continue;
            }
            const QMetaType::Type type = QMetaType::Type(defaults.value(key).typeId());
            if (type == QMetaType::Int) {
                int number = 0;
                if (!toInt(it.value(), number)) {
                    setError(error, QStringLiteral("style: %1 is not a number").arg(key));
                    return false;
                }
                values.insert(key, number);
            } else if (type == QMetaType::Bool) {
                if (!it.value().isBool()) {
                    setError(error, QStringLiteral("style: %1 is not true or false").arg(key));
                    return false;
                }
                values.insert(key, it.value().toBool());
            } else {
                if (!it.value().isString()) {
                    setError(error, QStringLiteral("style: %1 is not a string").arg(key));
                    return false;
                }
                values.insert(key, it.value().toString());
            }
        }
    }
    return true;
}

// One integer field of an object: absent gives fallback, a number is clamped to
// [-bound, bound] or [1, bound], anything else is an error.
bool objectInt(const QJsonObject& object, const QString& name, const QString& key, int fallback, int min,
               int max, int& out, QString* error, QStringList& warnings)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) {
        out = fallback;
        return true;
    }
    int number = 0;
    if (!toInt(value, number)) {
        setError(error, QStringLiteral("%1: \"%2\" is not a number").arg(name, key));
        return false;
    }
    out = std::clamp(number, min, max);
    if (out != number)
        warnings.append(QStringLiteral("%1: %2 %3 out of range, %4 used").arg(name, key).arg(number).arg(out));
    return true;
}

} // namespace

QByteArray CompositionDocument::toJson(const IconStyle& style, const QList<ImageData>& objects, const QDir& folder)
{
    QJsonObject groups;
    const QVariantMap values = style.values();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const QString group = it.key().section(QLatin1Char('/'), 0, 0);
        const QString key = it.key().section(QLatin1Char('/'), 1);
        QJsonObject members = groups.value(group).toObject();
        members.insert(key, QJsonValue::fromVariant(it.value()));
        groups.insert(group, members);
    }
    QJsonArray list;
    for (const ImageData& object : objects) {
        const QString picture = object.path.isEmpty() ? QString()
                                                      : QDir::fromNativeSeparators(folder.relativeFilePath(object.path));
        list.append(QJsonObject{{"id", object.id},
                                {"picture", picture},
                                {"x", object.position.x()},
                                {"y", object.position.y()},
                                {"scale", object.scale},
                                {"rotation", object.rotation}});
    }
    const QJsonObject document{{"format", QLatin1String(kFormatName)},
                               {"version", kVersion},
                               {"style", groups},
                               {"objects", list}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

bool CompositionDocument::fromJson(const QByteArray& json, const QDir& folder, QString* error, QStringList* warnings)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        setError(error, QStringLiteral("not a JSON document (%1 at byte %2)")
                            .arg(parseError.errorString())
                            .arg(parseError.offset));
        return false;
    }
    if (!document.isObject()) {
        setError(error, QStringLiteral("not a composition document (no JSON object)"));
        return false;
    }
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("format")).toString() != QLatin1String(kFormatName)) {
        setError(error, QStringLiteral("not a composition document (\"format\" is not \"%1\")")
                            .arg(QLatin1String(kFormatName)));
        return false;
    }
    int version = 0;
    if (!toInt(root.value(QLatin1String("version")), version)) {
        setError(error, QStringLiteral("no format version"));
        return false;
    }
    if (version != kVersion) {
        setError(error, QStringLiteral("unknown format version %1 (this program reads version %2)")
                            .arg(version)
                            .arg(kVersion));
        return false;
    }

    QStringList notes;
    QVariantMap values;
    const QJsonValue styleValue = root.value(QLatin1String("style"));
    if (!styleValue.isUndefined() && !styleValue.isObject()) {
        setError(error, QStringLiteral("\"style\" is not an object"));
        return false;
    }
    if (!readStyle(styleValue.toObject(), values, error, notes))
        return false;
    IconStyle newStyle;
    newStyle.load(values);
    // The style clamps as its controls do; say where a value was changed.
    const QVariantMap loaded = newStyle.values();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (it.value().typeId() == QMetaType::Int && loaded.value(it.key()) != it.value()) {
            notes.append(QStringLiteral("style: %1 %2 out of range, %3 used")
                             .arg(it.key(), it.value().toString(), loaded.value(it.key()).toString()));
        }
    }

    const QJsonValue objectsValue = root.value(QLatin1String("objects"));
    if (!objectsValue.isUndefined() && !objectsValue.isArray()) {
        setError(error, QStringLiteral("\"objects\" is not a list"));
        return false;
    }
    const QJsonArray list = objectsValue.toArray();
    QList<ImageData> newObjects;
    newObjects.reserve(list.size());
    QSet<int> ids;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString position = QStringLiteral("object %1").arg(i + 1);
        if (!list.at(i).isObject()) {
            setError(error, QStringLiteral("%1 is not a JSON object").arg(position));
            return false;
        }
        const QJsonObject object = list.at(i).toObject();
        ImageData data;
        if (!toInt(object.value(QLatin1String("id")), data.id) || data.id < 0) {
            setError(error, QStringLiteral("%1: no \"id\" of 0 or more").arg(position));
            return false;
        }
        const QString name = data.name();
        if (ids.contains(data.id)) {
            setError(error, QStringLiteral("%1: the id %2 is given twice").arg(position).arg(data.id));
            return false;
        }
        ids.insert(data.id);
        int x = 0, y = 0;
        if (!objectInt(object, name, QStringLiteral("x"), 0, -kMaxPosition, kMaxPosition, x, error, notes)
            || !objectInt(object, name, QStringLiteral("y"), 0, -kMaxPosition, kMaxPosition, y, error, notes)
            || !objectInt(object, name, QStringLiteral("scale"), 100, 1, kMaxScale, data.scale, error, notes)
            || !objectInt(object, name, QStringLiteral("rotation"), 0, -kMaxRotation, kMaxRotation, data.rotation,
                          error, notes))
            return false;
        data.position = QPoint(x, y);
        data.rect = QRect(data.position, QSize(0, 0));

        const QString picture = object.value(QLatin1String("picture")).toString();
        if (picture.isEmpty()) {
            setError(error, QStringLiteral("%1: no picture named").arg(name));
            return false;
        }
        data.path = QDir::cleanPath(folder.absoluteFilePath(picture));
        if (!QFileInfo(data.path).isFile()) {
            setError(error, QStringLiteral("%1: picture %2 not found").arg(name, QDir::toNativeSeparators(data.path)));
            return false;
        }
        newObjects.append(data);
    }

    // The pictures are decoded once each (objects made from one picture share it: a
    // QImage is shared until written) and, like the objects' display images, on every
    // core.  A picture that cannot be read is named with the first object made from it.
    QStringList paths;
    QHash<QString, qsizetype> pathIndex;
    for (const ImageData& data : std::as_const(newObjects)) {
        if (!pathIndex.contains(data.path)) {
            pathIndex.insert(data.path, paths.size());
            paths.append(data.path);
        }
    }
    QList<QImage> pictures(paths.size());
    QImage* decoded = pictures.data(); // each slot is written by one task only
    QThreadPool pool;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString path = paths.at(i);
        pool.start([path, slot = decoded + i] {
            QImage image;
            if (SourceImage::load(path, kSvgSide, kSvgSide, image))
                *slot = image;
        });
    }
    pool.waitForDone();
    for (ImageData& data : newObjects) {
        data.image = pictures.at(pathIndex.value(data.path));
        if (data.image.isNull()) {
            setError(error, QStringLiteral("%1: picture %2 cannot be read")
                                .arg(data.name(), QDir::toNativeSeparators(data.path)));
            return false;
        }
    }
    QList<int> askedScales;
    for (const ImageData& data : std::as_const(newObjects))
        askedScales.append(data.scale);
    for (ImageData& data : newObjects)
        pool.start([&data] { data.rebuildDisplayImage(); });
    pool.waitForDone();
    for (qsizetype i = 0; i < newObjects.size(); ++i) {
        const ImageData& data = newObjects.at(i);
        if (data.scale != askedScales.at(i))
            notes.append(QStringLiteral("%1: scale %2 too large, %3 used")
                             .arg(data.name()).arg(askedScales.at(i)).arg(data.scale));
    }

    for (const QString& note : std::as_const(notes))
        qCWarning(lcDocument) << qPrintable(note);
    if (warnings)
        *warnings = notes;
    style = newStyle;
    objects = newObjects;
    return true;
}

bool CompositionDocument::load(const QString& path, QString* error, QStringList* warnings)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.exists() ? QStringLiteral("cannot be read: %1").arg(file.errorString())
                                      : QStringLiteral("no such file"));
        return false;
    }
    if (file.size() > kMaxDocumentBytes) {
        setError(error, QStringLiteral("not a composition document (larger than %1 MB)").arg(kMaxDocumentBytes >> 20));
        return false;
    }
    const QByteArray json = file.read(kMaxDocumentBytes + 1);
    if (json.size() > kMaxDocumentBytes) {
        setError(error, QStringLiteral("not a composition document (larger than %1 MB)").arg(kMaxDocumentBytes >> 20));
        return false;
    }
    return fromJson(json, QFileInfo(path).absoluteDir(), error, warnings);
}

bool CompositionDocument::save(const QString& path, const IconStyle& style, const QList<ImageData>& objects,
                               QString* error)
{
    for (const ImageData& object : objects) {
        if (object.path.isEmpty()) {
            setError(error, QStringLiteral("%1 has no picture file").arg(object.name()));
            return false;
        }
    }
    const QByteArray json = toJson(style, objects, QFileInfo(path).absoluteDir());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        setError(error, QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return true;
}
