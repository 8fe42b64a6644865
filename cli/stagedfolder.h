#pragma once

// The files of a command that writes a set (compose --png-dir, png, extract) are written
// into a hidden folder inside the folder they belong in (".glyphora-cli-XXXXXX", on the
// same disk), and only when every one of them was written are they renamed to their
// places, each replacing an older file of its name.  A run that fails leaves the folder
// as it was: no new file, every old one whole.  The hidden folder goes with whatever is
// still in it, and a folder the run made for the set goes again when the set failed.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class StagedFolder
{
public:
    explicit StagedFolder(const QString& folder);
    ~StagedFolder();
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;

    enum class Missing { Make, Fail };
    // Makes the hidden folder (and, with Missing::Make, the folder itself and its missing
    // parents); the reason when it cannot.
    QString open(Missing missing);

    // The hidden folder, empty before open().
    QString stagingFolder() const;
    // Where the file of that name is written until the commit.
    QString stagedPath(const QString& name) const;
    // The file's place in the folder, as the user is told of it.
    QString finalPath(const QString& name) const;

    // Renames the staged files of names into the folder.  Nothing is renamed when one of
    // the names is taken by a folder; the reason when a file was not renamed.
    QString commit(const QStringList& names);

private:
    QString m_folder;
    QStringList m_made;  // folders open() made, the innermost first
    std::unique_ptr<QTemporaryDir> m_stage;
    bool m_committed = false;
};
