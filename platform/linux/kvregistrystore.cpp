#include "kvregistrystore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <QtDebug>

#include <cmath>

namespace {

// The store holds a handful of paths and numbers; anything far larger is not ours.
constexpr qint64 kMaxStoreFileSize = 16 * 1024 * 1024;

constexpr char kFormatTag[] = "glyphora-registry-1";
constexpr char kTypeString[] = "REG_SZ";
constexpr char kTypeDword[] = "REG_DWORD";

// "Software\\Vantrel\\\\Orvasto\\" -> ["Software", "Vantrel", "Orvasto"]
QStringList keyParts(const QString& root, const QString& subKey)
{
    QStringList parts{root};
    parts += subKey.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts;
}

QString joinedKey(const QStringList& parts)
{
    return parts.join(QLatin1Char('\\'));
}

// Registry names are case-insensitive; the first spelling written is the one kept.
QString findName(const QJsonObject& object, const QString& name)
{
    if (object.contains(name))
        return name;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.key();
    }
    return {};
}

void moveAside(const QString& path, const QString& reason)
{
    const QString aside = path + QStringLiteral(".corrupt-")
                          + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz"));
    if (QFile::rename(path, aside))
        qWarning().noquote() << "Settings store" << path << "is unreadable (" + reason + "); moved aside to" << aside;
    else
        qWarning().noquote() << "Settings store" << path << "is unreadable (" + reason + "); treated as empty";
}

enum class Load { Ok, Corrupt, Unreadable };

// Reads the store's key table; a missing file is an empty store.
Load readKeys(const QString& path, QJsonObject& keys, QString& reason)
{
    keys = {};
    QFile file(path);
    if (!file.exists())
        return Load::Ok;
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return Load::Unreadable;
    }
    if (file.size() > kMaxStoreFileSize) {
        reason = QStringLiteral("too large");
        return Load::Corrupt;
    }
    const QByteArray bytes = file.read(kMaxStoreFileSize + 1);
    if (bytes.size() > kMaxStoreFileSize) {
        reason = QStringLiteral("too large");
        return Load::Corrupt;
    }

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        reason = error.errorString();
        return Load::Corrupt;
    }
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(QLatin1String("format")).toString() != QLatin1String(kFormatTag)
        || !root.value(QLatin1String("keys")).isObject()) {
        reason = QStringLiteral("not a settings store");
        return Load::Corrupt;
    }
    keys = root.value(QLatin1String("keys")).toObject();
    return Load::Ok;
}

// The key table, with a corrupt file moved aside so that it is reported once and the
// next write starts afresh.  Moving needs the lock; lockHeld says whether the caller has it.
QJsonObject loadKeys(const QString& path, bool lockHeld, int lockTimeoutMs)
{
    QJsonObject keys;
    QString reason;
    Load load = readKeys(path, keys, reason);
    if (load == Load::Corrupt && !lockHeld) {
        QLockFile lock(path + QStringLiteral(".lock"));
        if (lock.tryLock(lockTimeoutMs)) {
            // Someone may have repaired it meanwhile.
            load = readKeys(path, keys, reason);
            if (load == Load::Corrupt)
                moveAside(path, reason);
            return keys;
        }
    } else if (load == Load::Corrupt) {
        moveAside(path, reason);
        return keys;
    }
    if (load != Load::Ok)
        qWarning().noquote() << "Settings store" << path << "is unreadable (" + reason + "); treated as empty";
    return keys;
}

// Looks up one value of the given type under root\subKey.
KvRegistryStore::Status lookUp(const QString& path, int lockTimeoutMs, const QString& root,
                               const QString& subKey, const QString& valueName, const char* type,
                               QJsonValue& data)
{
    const QJsonObject keys = loadKeys(path, false, lockTimeoutMs);
    const QString keyName = findName(keys, joinedKey(keyParts(root, subKey)));
    if (keyName.isEmpty())
        return KvRegistryStore::Status::NoKey;
    const QJsonObject values = keys.value(keyName).toObject();
    const QString name = findName(values, valueName);
    if (name.isEmpty())
        return KvRegistryStore::Status::NoValue;
    const QJsonObject value = values.value(name).toObject();
    if (value.value(QLatin1String("type")).toString() != QLatin1String(type))
        return KvRegistryStore::Status::NoValue;
    data = value.value(QLatin1String("data"));
    return KvRegistryStore::Status::Ok;
}

bool store(const QString& path, int lockTimeoutMs, const QString& root, const QString& subKey,
           const QString& valueName, const char* type, const QJsonValue& data)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        qWarning().noquote() << "Settings store: cannot create" << info.absolutePath();
        return false;
    }
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(lockTimeoutMs)) {
        qWarning().noquote() << "Settings store" << path << "is locked by another process";
        return false;
    }

    QJsonObject keys = loadKeys(path, true, lockTimeoutMs);
    // Like RegCreateKeyExW, creating a key creates every missing parent.
    const QStringList parts = keyParts(root, subKey);
    for (int n = 1; n <= parts.size(); ++n) {
        const QString partial = joinedKey(parts.mid(0, n));
        if (findName(keys, partial).isEmpty())
            keys.insert(partial, QJsonObject());
    }
    const QString keyName = findName(keys, joinedKey(parts));
    QJsonObject values = keys.value(keyName).toObject();
    QString name = findName(values, valueName);
    if (name.isEmpty())
        name = valueName;
    values.insert(name, QJsonObject{{QLatin1String("type"), QLatin1String(type)}, {QLatin1String("data"), data}});
    keys.insert(keyName, values);

    const QJsonObject document{{QLatin1String("format"), QLatin1String(kFormatTag)}, {QLatin1String("keys"), keys}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << "Settings store" << path << "cannot be written:" << file.errorString();
        return false;
    }
    // QFileDevice holds a small file back until the commit, and commit() neither reports
    // nor refuses a write that fails then (a full disk): the store would be replaced by an
    // empty one.  The explicit flush fails first.
    const QByteArray bytes = QJsonDocument(document).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        qWarning().noquote() << "Settings store" << path << "cannot be written:" << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qWarning().noquote() << "Settings store" << path << "cannot be written:" << file.errorString();
        return false;
    }
    return true;
}

} // namespace

KvRegistryStore::KvRegistryStore(const QString& filePath, int lockTimeoutMs)
    : m_filePath(filePath)
    , m_lockTimeoutMs(lockTimeoutMs)
{
}

QString KvRegistryStore::defaultFilePath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config + QStringLiteral("/Vantrel/Glyphora/registry.json");
}

KvRegistryStore::Status KvRegistryStore::readString(const QString& root, const QString& subKey,
                                                    const QString& valueName, QString& out) const
{
    out.clear();
    QJsonValue data;
    const Status status = lookUp(m_filePath, m_lockTimeoutMs, root, subKey, valueName, kTypeString, data);
    if (status != Status::Ok)
        return status;
    if (!data.isString())
        return Status::NoValue;
    out = data.toString();
    return Status::Ok;
}

KvRegistryStore::Status KvRegistryStore::readDword(const QString& root, const QString& subKey,
                                                   const QString& valueName, std::uint32_t& out) const
{
    QJsonValue data;
    const Status status = lookUp(m_filePath, m_lockTimeoutMs, root, subKey, valueName, kTypeDword, data);
    if (status != Status::Ok)
        return status;
    // A hand-edited file may hold anything here; only a whole number in range is a DWORD.
    const double number = data.toDouble(-1);
    if (!data.isDouble() || number < 0 || number > 4294967295.0 || std::floor(number) != number)
        return Status::NoValue;
    out = static_cast<std::uint32_t>(number);
    return Status::Ok;
}

bool KvRegistryStore::writeString(const QString& root, const QString& subKey,
                                  const QString& valueName, const QString& value)
{
    return store(m_filePath, m_lockTimeoutMs, root, subKey, valueName, kTypeString, value);
}

bool KvRegistryStore::writeDword(const QString& root, const QString& subKey,
                                 const QString& valueName, std::uint32_t value)
{
    return store(m_filePath, m_lockTimeoutMs, root, subKey, valueName, kTypeDword, static_cast<double>(value));
}
