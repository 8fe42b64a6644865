#pragma once

// Program-wide operations that touch the operating system or that several windows need:
// typed per-user registry values, the folder chooser, well-known folders, the product's
// name and version, and the maker's web pages.  No state of its own.

#include <QImage>
#include <QRect>
#include <QString>
#include <QUrl>

namespace KvGlobal {

constexpr int majorVersion = 3;
constexpr int minorVersion = 2;
constexpr int subMinorVersion = 0;

// The maker's web server.
inline constexpr char webServerHost[] = "www.vantrel.example";

// The program only ever uses the current user's part of the registry.
enum RootKey { CurrentUser };

QString applicationName();
QString versionString();

// https://host/ and https://host/Glyphora.php, and the update file http://host/Glyphora/update.txt.
QUrl websiteUrl();
QUrl productPageUrl();
QUrl updateFileUrl();

// Typed registry access.  A read asks for one type and fails on a value of another; a
// string read that fails clears out, a DWORD read that fails leaves out as it was.  The
// writes return false only when the subkey cannot be created or opened.
bool readRegistryString(RootKey root, QString subKey, QString valueName, QString& out);
bool writeRegistryString(RootKey root, QString subKey, QString valueName, QString value);
bool readRegistryDword(RootKey root, QString subKey, QString valueName, quint32& out);
bool writeRegistryDword(RootKey root, QString subKey, QString valueName, quint32 value);

// The modal folder chooser; empty when cancelled.  Lives with the widgets (app/).
QString browseForFolder(QString initialFolder, QString title);

QString documentsFolder();
QString picturesFolder();
QString windowsDirectory();
QString systemDirectory();

void openWebsite();
void openProductPage();

// The client area of a full-screen window on the primary monitor (W and H of the
// window geometry rules).
QSize fullScreenClientArea();

// True when the colour scheme is dark; every updateThemeIcons() asks this.
bool isDarkColorScheme();

// Rasterises the SVG file at path into exactly width x height pixels (the drawing at the
// largest size that keeps its proportions, centred), Format_RGBA8888, straight alpha, on
// a transparent background.  On failure (unreadable file, not an SVG) returns false and
// leaves out as it was.
bool rasterizeSvg(const QString& path, int width, int height, QImage& out);

// True for an existing regular file whose last suffix, in any case, names a picture type
// that the Create tab takes as its source (PictureTypes::sourceSuffixes()).  Only the name
// is looked at, never the content.
bool isSupportedImageFile(const QString& path);

} // namespace KvGlobal
