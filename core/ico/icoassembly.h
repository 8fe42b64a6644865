#pragma once

// Writes icon groups as .ico files: the group's directory with each entry's RT_ICON ID
// replaced by the offset of its payload in the file, then the payloads byte for byte.
// Every file goes through IcoFile (QSaveFile), so a failure never leaves a partial file
// and never touches a file that was there before.

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

namespace IcoAssembly {

// The .ico bytes for one group, taking its payloads from icons; nothing (after a
// logged line) when the group is malformed or names an RT_ICON that is missing.
std::optional<QByteArray> assembleGroupAsIco(const QByteArray& group,
                                             const QMap<quint16, QByteArray>& icons);

// Writes one group to outputPath.
bool writeGroupAsIco(const QByteArray& group, const QMap<quint16, QByteArray>& icons,
                     const QString& outputPath);

// Every group of a PE file: one group goes to outputPath itself, several to outputPath
// cut before its last "." plus "_N.ico" (N from 0 in directory order).  Goes on after a
// failed group; true only when every group was written.  On failure, reason (when given)
// says why in a few words: the file is no readable PE file, holds no icon group, or a
// group could not be written.
bool exportFileGroupsAsIco(const QString& sourcePath, const QString& outputPath, QString* reason = nullptr);

// The group with resource ID groupId of a library, through the module loader.
bool exportModuleGroupAsIco(const QString& libraryPath, int groupId, const QString& outputPath);

// The file name exportFileGroupsAsIco gives group index of count.
QString groupOutputPath(const QString& outputPath, int index, int count);

} // namespace IcoAssembly

using IcoAssembly::exportFileGroupsAsIco;
using IcoAssembly::exportModuleGroupAsIco;
using IcoAssembly::writeGroupAsIco;
