#pragma once

// The names the program gives the files it writes, kept in one place so that the dialogs
// and the command line name the same picture the same way.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace ExportNames {

// The .ico name the save dialog proposes for a source picture: its file name with the
// last suffix replaced by "ico" ("a.tar.png" gives "a.tar.ico", ".hidden" gives
// ".hidden.ico", a name without a dot gets ".ico" added).  The folder is dropped.
QString iconFileName(const QString& sourcePath);

// The file name of one image of an icon group exported as PNG: NAME_WxW_Dbits.png, with
// W the image's width and D its bits per pixel ("5_48x48_32bits.png"; an empty name
// gives "_48x48_32bits.png").  The name is taken as it is.
QString groupPngFileName(const QString& name, int width, int depth);

// The file names of images of one group written together, each a (width, depth) pair, in
// the order given: groupPngFileName, except that an image whose name an earlier one took
// gets "_2", "_3", ... before ".png" ("5_32x32_32bits_2.png"), so that no image of the
// batch replaces another.
QStringList distinctGroupPngFileNames(const QString& name, const QList<QPair<int, int>>& images);

// The file name of a composed icon exported at N x N pixels: "NxN.png".
QString composedPngFileName(int side);

} // namespace ExportNames
