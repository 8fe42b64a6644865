#pragma once

// Linux stand-ins for the Windows folders the program reads system icons from: a wine
// prefix when there is one, else the folder where Debian's wine keeps its Windows DLLs.

#include <QString>

namespace linuxplatform {

// Where the installed wine keeps its 64-bit PE DLLs on Debian 12.
inline constexpr char kWineDllFolder[] = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";

// $WINEPREFIX, else ~/.wine.
QString winePrefix();
// <prefix>/drive_c/windows if it exists, else the wine DLL folder if it exists, else empty.
QString windowsDirectory();
// <prefix>/drive_c/windows/system32 if it exists, else the wine DLL folder, else empty.
QString systemDirectory();

} // namespace linuxplatform
