#pragma once

// The SystemResources folder of Windows 10 1903 and later: the icons of many system
// libraries (imageres.dll among them) live in <Windows>\SystemResources\NAME.mun, and the
// library itself holds none.

#include <QString>

#include "iconresourceset.h"

namespace SystemResources {

// <Windows directory>/SystemResources/<file name of libraryPath>.mun when that file
// exists, else empty.
QString munPath(const QString& libraryPath);

// The file to read instead of path when path holds no icon group of its own: its .mun,
// when path is a file and that .mun exists and is another file; else empty.  The one
// rule of the fallback, for the module loader layer (IconModule) and the PE reader.
QString munFallback(const QString& path);

// readIconResources on path; when that finds no icon group and the library's .mun
// exists, the .mun's resources instead.
bool readIconResourcesOrMun(const QString& path, IconResourceSet& result);

} // namespace SystemResources
