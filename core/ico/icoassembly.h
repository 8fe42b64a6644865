#pragma once

// Writes icon groups as .ico files: the group's directory with each entry's RT_ICON ID
// replaced by the offset of its payload in the file, then the payloads byte for byte.
// Every file goes through IcoFile (QSaveFile), so a failure never leaves a partial file
// and never touches a file that was there before.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

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

// One file an export meant to write, and why it was not written (empty when it was).
struct FileResult
{
    QString path;
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// What an export of a PE file's groups did: error alone when no file was attempted (the
// source cannot be read or holds no complete group), else one result per group in
// directory order.
struct ExportResult
{
    QString error;
    QList<FileResult> files;
    bool ok() const;
    QList<FileResult> failures() const;
};

// exportFileGroupsAsIco with a reason a person can read for each file not written.
// With writeFolder the files are written there instead, under the names outputPath gives
// them (a folder the caller moves them out of); the results and log lines still name the
// paths of outputPath.
ExportResult exportFileGroups(const QString& sourcePath, const QString& outputPath,
                              const QString& writeFolder = QString());

// The paths exportFileGroups would write for sourcePath, in directory order; empty when
// the source cannot be read or holds no complete group.
QStringList fileGroupOutputPaths(const QString& sourcePath, const QString& outputPath);

// exportModuleGroupAsIco with the reason when the file was not written.
FileResult exportModuleGroup(const QString& libraryPath, int groupId, const QString& outputPath);

} // namespace IcoAssembly

using IcoAssembly::exportFileGroupsAsIco;
using IcoAssembly::exportModuleGroupAsIco;
using IcoAssembly::writeGroupAsIco;
