#include "stagedfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

StagedFolder::StagedFolder(const QString& folder) : m_folder(folder)
{
}

StagedFolder::~StagedFolder()
{
    m_stage.reset();
    if (m_committed)
        return;
    // rmdir removes empty folders only: one that holds anything else stays.
    for (const QString& made : std::as_const(m_made))
        QDir().rmdir(made);
}

QString StagedFolder::open(Missing missing)
{
    const QFileInfo folder(m_folder);
    if (folder.exists() && !folder.isDir())
        return QStringLiteral("not a folder");
    if (!folder.exists()) {
        if (missing == Missing::Fail)
            return QStringLiteral("no such folder");
        for (QFileInfo at(folder.absoluteFilePath()); !at.exists(); at = QFileInfo(at.absolutePath()))
            m_made.append(at.absoluteFilePath());
        if (!QDir().mkpath(m_folder))
            return QStringLiteral("the folder cannot be made");
    }
    m_stage = std::make_unique<QTemporaryDir>(QDir(m_folder).filePath(QStringLiteral(".glyphora-cli-XXXXXX")));
    if (!m_stage->isValid())
        return QStringLiteral("cannot write in the folder: %1").arg(m_stage->errorString());
    return QString();
}

QString StagedFolder::stagingFolder() const
{
    return m_stage ? m_stage->path() : QString();
}

QString StagedFolder::stagedPath(const QString& name) const
{
    return m_stage ? m_stage->filePath(name) : QString();
}

QString StagedFolder::finalPath(const QString& name) const
{
    return QDir::toNativeSeparators(QDir(m_folder).filePath(name));
}

QString StagedFolder::commit(const QStringList& names)
{
    if (!m_stage)
        return QStringLiteral("nothing was written");
    for (const QString& name : names) {
        if (QFileInfo(QDir(m_folder).filePath(name)).isDir())
            return QStringLiteral("cannot write %1: a folder has that name").arg(finalPath(name));
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString staged = stagedPath(names.at(i));
        const QString target = QDir(m_folder).filePath(names.at(i));
        // A replaced file keeps its permissions, as a file replaced through QSaveFile does.
        if (QFileInfo::exists(target))
            QFile::setPermissions(staged, QFile::permissions(target));
        // std::filesystem::rename replaces the target, as rename(2) and MoveFileEx do;
        // QFile::rename would refuse it.
        std::error_code error;
        std::filesystem::rename(QFileInfo(staged).filesystemFilePath(), QFileInfo(target).filesystemFilePath(),
                                error);
        if (error) {
            return QStringLiteral("cannot move %1 into place: %2 (%3 of %4 files moved)")
                .arg(finalPath(names.at(i)), QString::fromStdString(error.message()))
                .arg(i)
                .arg(names.size());
        }
    }
    m_committed = true;
    return QString();
}
