#include "compositiondocument.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <limits>

#include "picture/sourceimage.h"
#include "picture/svgdocument.h"

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

// Why a picture named in a document must not be opened: it lies on another machine.  Two
// leading separators of either kind are a UNC path (\\host\share, //host/share, and the
// \\?\UNC\ and \\.\ forms), opened by Windows through the network with the user's
// credentials; a scheme of two letters or more (http:, file:, smb:) is a URL.  One
// letter and a colon is a drive.  Empty when the picture is a local path.
QString remoteKind(const QString& picture)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    const auto separator = [](QChar c) { return c == QLatin1Char('/') || c == QLatin1Char('\\'); };
    if (picture.size() >= 2 && separator(picture.at(0)) && separator(picture.at(1)))
        return QStringLiteral("on another machine");
    if (scheme.match(picture).hasMatch())
        return QStringLiteral("a URL");
    return QString();
}

// The size a picture will decode to, from its header alone (an SVG is drawn at the fixed
// side); invalid when the reader cannot tell without decoding.
QSize pictureSize(const QString& path)
{
    if (SourceImage::isSvgPath(path))
        return QSize(kSvgSide, kSvgSide);
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.size();
}

// The pixels of the pictures whose sizes are known; one still unknown counts 0.
qint64 countedPixels(const QList<QSize>& sizes)
{
    qint64 pixels = 0;
    for (const QSize& size : sizes)
        pixels += size.isValid() ? qint64(size.width()) * size.height() : 0;
    return pixels;
}

qint64 megabytes(qint64 pixels)
{
    return (pixels * 4) >> 20; // 4 bytes a pixel, as the display images are held
}

// A picture's name as the document holds it: relative to folder, and read back by
// fromJson as this very file.  A relative name that would read as something else
// (v2:logo.png as a URL, \\x.png as a share, :logo.png as one of Qt's resources) is
// written as ./v2:logo.png; one on another drive stays absolute.
QString documentName(const QString& path, const QDir& folder)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    const auto readsBack = [&](const QString& name) {
        return remoteKind(name).isEmpty() && QDir::cleanPath(folder.absoluteFilePath(name)) == QDir::cleanPath(target);
    };
    const QString relative = QDir::fromNativeSeparators(folder.relativeFilePath(target));
    if (readsBack(relative))
        return relative;
    const QString dotted = QStringLiteral("./") + relative;
    return readsBack(dotted) ? dotted : QDir::fromNativeSeparators(target);
}

// One picture file of a document, decoded once for every object made from it.
struct PictureFile
{
    QString path;
    qint64 bytes = 0;
    QByteArray digest; // of its bytes, taken once another file of that length comes
};

QByteArray fileDigest(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray();
    return hash.result();
}

// The index in files of the picture that path holds, appended when it is new.  Raster
// files of the same bytes (hard links, copies) decode to the same pixels and share one
// entry; an SVG only by its path, since the files it names are found from its folder.
qsizetype pictureIndex(QList<PictureFile>& files, const QString& path)
{
    PictureFile file{path, QFileInfo(path).size(), {}};
    if (!SourceImage::isSvgPath(path)) {
        for (qsizetype i = 0; i < files.size(); ++i) {
            PictureFile& other = files[i];
            if (other.bytes != file.bytes || SourceImage::isSvgPath(other.path))
                continue;
            if (other.digest.isEmpty())
                other.digest = fileDigest(other.path);
            if (file.digest.isEmpty())
                file.digest = fileDigest(path);
            if (!file.digest.isEmpty() && file.digest == other.digest)
                return i;
        }
    }
    files.append(file);
    return files.size() - 1;
}

} // namespace

QString CompositionDocument::checkBudgets(const QList<ImageData>& objects, const QList<QSize>& pictureSizes,
                                          const QList<qsizetype>& pictureOf) const
{
    const qint64 picturePixels = countedPixels(pictureSizes);
    if (picturePixels > limits.maxPicturePixels)
        return QStringLiteral("the pictures would take %1 MB once decoded, more than the %2 MB a document may use")
            .arg(megabytes(picturePixels))
            .arg(megabytes(limits.maxPicturePixels));
    qint64 displayPixels = 0;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        const ImageData& data = objects.at(i);
        const QSize display = ImageData::displaySize(pictureSizes.at(pictureOf.at(i)), data.scale, data.rotation);
        displayPixels += qint64(display.width()) * display.height();
    }
    if (displayPixels > limits.maxDisplayPixels)
        return QStringLiteral("the objects' display images would take %1 MB, more than the %2 MB a document may use")
            .arg(megabytes(displayPixels))
            .arg(megabytes(limits.maxDisplayPixels));
    return QString();
}

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
        const QString picture = object.path.isEmpty() ? QString() : documentName(object.path, folder);
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
    if (list.size() > limits.maxObjects) {
        setError(error, QStringLiteral("%1 image objects, more than the %2 a document may hold")
                            .arg(list.size())
                            .arg(limits.maxObjects));
        return false;
    }
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
        // Refused before the path is looked at: even asking whether it exists would reach out.
        const QString remote = remoteKind(picture);
        if (!remote.isEmpty()) {
            setError(error, QStringLiteral("%1: picture %2 is %3; a document's pictures must be files of this machine")
                                .arg(name, picture, remote));
            return false;
        }
        data.path = QDir::cleanPath(folder.absoluteFilePath(picture));
        if (!QFileInfo(data.path).isFile()) {
            setError(error, QStringLiteral("%1: picture %2 not found").arg(name, QDir::toNativeSeparators(data.path)));
            return false;
        }
        newObjects.append(data);
    }

    // Each picture is decoded once (two names of one file, a link, or a file of the same
    // bytes count once), and every object made from it holds that one QImage, so its
    // halvings are shared too.  A picture that cannot be read is named with the first
    // object made from it.
    QList<PictureFile> files;
    QHash<QString, qsizetype> fileOfName;
    QList<qsizetype> pictureOf;
    for (const ImageData& data : std::as_const(newObjects)) {
        const QString canonical = QFileInfo(data.path).canonicalFilePath();
        const QString key = canonical.isEmpty() ? data.path : canonical;
        if (!fileOfName.contains(key))
            fileOfName.insert(key, pictureIndex(files, data.path));
        pictureOf.append(fileOfName.value(key));
    }

    // The limits, from the pictures' headers: nothing is decoded for a document that
    // would pass them.  A picture whose header does not tell (an MNG) counts 0 here.
    QList<QSize> sizes;
    for (const PictureFile& picture : std::as_const(files))
        sizes.append(pictureSize(picture.path));
    QString over = checkBudgets(newObjects, sizes, pictureOf);
    if (!over.isEmpty()) {
        setError(error, over);
        return false;
    }

    // Those come first, one at a time, each decoded within what the picture budget has
    // left after all the others counted so far; the limits are checked again after each,
    // so that a document past them is refused before the next decode.
    QList<QImage> pictures(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (sizes.at(i).isValid())
            continue;
        const qint64 leftBytes = (limits.maxPicturePixels - countedPixels(sizes)) * 4;
        bool lowered = false;
        if (!SourceImage::loadWithin(files.at(i).path, leftBytes, pictures[i], &lowered)) {
            const qsizetype object = pictureOf.indexOf(i);
            setError(error, QStringLiteral("%1: picture %2 cannot be read%3")
                                .arg(newObjects.at(object).name(), QDir::toNativeSeparators(files.at(i).path),
                                     lowered ? QStringLiteral(" within the %1 MB left of the %2 MB a document's "
                                                              "pictures may use")
                                                   .arg(leftBytes >> 20)
                                                   .arg(megabytes(limits.maxPicturePixels))
                                             : QString()));
            return false;
        }
        sizes[i] = pictures.at(i).size();
        over = checkBudgets(newObjects, sizes, pictureOf);
        if (!over.isEmpty()) {
            setError(error, over);
            return false;
        }
    }

    QImage* decoded = pictures.data(); // each slot is written by one task only
    QThreadPool pool;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (!decoded[i].isNull())
            continue;
        const QString path = files.at(i).path;
        pool.start([path, slot = decoded + i] {
            QImage image;
            if (SourceImage::load(path, kSvgSide, kSvgSide, image))
                *slot = image;
        });
    }
    pool.waitForDone();
    for (qsizetype i = 0; i < newObjects.size(); ++i) {
        ImageData& data = newObjects[i];
        data.image = pictures.at(pictureOf.at(i));
        if (data.image.isNull()) {
            const QString unavailable =
                SourceImage::isSvgPath(data.path) ? SvgDocument::unavailableReason() : QString();
            setError(error, QStringLiteral("%1: picture %2 cannot be read%3")
                                .arg(data.name(), QDir::toNativeSeparators(data.path),
                                     unavailable.isEmpty() ? QString()
                                                           : QStringLiteral(" (SVG support is unavailable: %1)")
                                                                 .arg(unavailable)));
            return false;
        }
    }
    // Again with the decoded sizes: a header may not tell (or tell otherwise, as an
    // orientation tag turns a photo); the display images are not built yet.
    for (qsizetype i = 0; i < pictures.size(); ++i)
        sizes[i] = pictures.at(i).size();
    over = checkBudgets(newObjects, sizes, pictureOf);
    if (!over.isEmpty()) {
        setError(error, over);
        return false;
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
