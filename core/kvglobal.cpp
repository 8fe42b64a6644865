#include "kvglobal.h"

#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QStandardPaths>
#include <QStyleHints>
#include <QtDebug>

#ifdef Q_OS_WIN
#include "win32/winplatform.h"
#else
#include "linux/kvregistrystore.h"
#include "linux/linuxplatform.h"
#endif

#include "picture/picturetypes.h"

namespace KvGlobal {

namespace {

#ifdef Q_OS_WIN
winplatform::RootKey nativeRoot(RootKey)
{
    return winplatform::RootKey::CurrentUser;
}

std::wstring wide(const QString& text)
{
    return text.toStdWString();
}
#else
QString storeRoot(RootKey)
{
    return QStringLiteral("HKEY_CURRENT_USER");
}
#endif

QUrl makeUrl(const char* scheme, const QString& path)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(scheme));
    url.setHost(QString::fromLatin1(webServerHost));
    url.setPath(path);
    return url;
}

} // namespace

QString applicationName()
{
    return QStringLiteral("Vantrel Glyphora");
}

QString versionString()
{
    return QStringLiteral("%1.%2.%3").arg(majorVersion).arg(minorVersion).arg(subMinorVersion);
}

QUrl websiteUrl()
{
    return makeUrl("https", QStringLiteral("/"));
}

QUrl productPageUrl()
{
    return makeUrl("https", QStringLiteral("/Glyphora.php"));
}

QUrl updateFileUrl()
{
    return makeUrl("http", QStringLiteral("/Glyphora/update.txt"));
}

bool readRegistryString(RootKey root, QString subKey, QString valueName, QString& out)
{
    out.clear();
#ifdef Q_OS_WIN
    std::wstring value;
    const winplatform::RegStatus status =
        winplatform::readRegistryString(nativeRoot(root), wide(subKey), wide(valueName), value);
    if (status == winplatform::RegStatus::NoKey)
        return false;
    if (status == winplatform::RegStatus::NoValue) {
        qDebug() << "error";
        return false;
    }
    out = QString::fromStdWString(value);
    return true;
#else
    const KvRegistryStore::Status status = KvRegistryStore().readString(storeRoot(root), subKey, valueName, out);
    if (status == KvRegistryStore::Status::NoKey)
        return false;
    if (status == KvRegistryStore::Status::NoValue) {
        qDebug() << "error";
        return false;
    }
    return true;
#endif
}

bool writeRegistryString(RootKey root, QString subKey, QString valueName, QString value)
{
#ifdef Q_OS_WIN
    return winplatform::writeRegistryString(nativeRoot(root), wide(subKey), wide(valueName), wide(value));
#else
    return KvRegistryStore().writeString(storeRoot(root), subKey, valueName, value);
#endif
}

bool readRegistryDword(RootKey root, QString subKey, QString valueName, quint32& out)
{
    std::uint32_t value = out;
#ifdef Q_OS_WIN
    const bool ok = winplatform::readRegistryDword(nativeRoot(root), wide(subKey), wide(valueName), value);
#else
    const bool ok = KvRegistryStore().readDword(storeRoot(root), subKey, valueName, value)
                    == KvRegistryStore::Status::Ok;
#endif
    if (!ok) {
        qDebug() << subKey << " : " << valueName << " : Cannot read DWORD from registry.";
        return false;
    }
    out = value;
    return true;
}

bool writeRegistryDword(RootKey root, QString subKey, QString valueName, quint32 value)
{
#ifdef Q_OS_WIN
    bool written = false;
    if (!winplatform::writeRegistryDword(nativeRoot(root), wide(subKey), wide(valueName), value, &written))
        return false;
    if (written)
        qDebug() << "true";
    return true;
#else
    // The store either replaces its file whole or leaves it; there is no half-written case
    // in which the key would exist without the value.
    if (!KvRegistryStore().writeDword(storeRoot(root), subKey, valueName, value))
        return false;
    qDebug() << "true";
    return true;
#endif
}

QString documentsFolder()
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(winplatform::documentsFolder());
#else
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#endif
}

QString picturesFolder()
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(winplatform::picturesFolder());
#else
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
#endif
}

namespace {

// Both lookups log the name of the system call when it gives nothing.
QString reportIfEmpty(const QString& path, const char* call)
{
    if (path.isEmpty())
        qDebug() << call;
    return path;
}

} // namespace

QString windowsDirectory()
{
#ifdef Q_OS_WIN
    return reportIfEmpty(QString::fromStdWString(winplatform::windowsDirectory()), "GetWindowsDirectory");
#else
    return reportIfEmpty(QDir::toNativeSeparators(linuxplatform::windowsDirectory()), "GetWindowsDirectory");
#endif
}

QString systemDirectory()
{
#ifdef Q_OS_WIN
    return reportIfEmpty(QString::fromStdWString(winplatform::systemDirectory()), "GetSystemDirectory");
#else
    return reportIfEmpty(QDir::toNativeSeparators(linuxplatform::systemDirectory()), "GetSystemDirectory");
#endif
}

namespace {

void openUrl(const QUrl& url)
{
#ifdef Q_OS_WIN
    winplatform::openUrl(wide(url.toString()));
#else
    QDesktopServices::openUrl(url);
#endif
}

} // namespace

void openWebsite()
{
    openUrl(websiteUrl());
}

void openProductPage()
{
    openUrl(productPageUrl());
}

QSize fullScreenClientArea()
{
#ifdef Q_OS_WIN
    return QSize(winplatform::fullScreenClientWidth(), winplatform::fullScreenClientHeight());
#else
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() : QSize();
#endif
}

bool isDarkColorScheme()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QGuiApplication::styleHints()->colorScheme() == Qt::ColorScheme::Dark;
#else
    // No colour scheme hint before Qt 6.5: a dark window background means a dark scheme.
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
#endif
}

bool isSupportedImageFile(const QString& path)
{
    return PictureTypes::isSourcePicture(path);
}

} // namespace KvGlobal
