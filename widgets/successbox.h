#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

// The box that follows a written file: an information box with Ok and "Open Folder",
// which opens folder in the desktop shell.  Modal, without a parent, as after every
// export of the program.
void showSuccessBox(const QString& title, const QString& text, const QString& folder,
                    Qt::WindowFlags flags = Qt::Dialog);

// The box that follows a failed export: a warning with Ok whose text says what failed and
// whose lines name each file not written with its reason ("C:\out\a_1.ico: Is a
// directory").  A long list shows its first lines and keeps the rest under "Show
// Details".  Modal over parent.
void showFailureBox(QWidget* parent, const QString& title, const QString& text, const QStringList& lines);

// Asks once before files of paths that already exist are replaced: "Replace N existing
// files?" with the first few names.  True when none exists or the user agreed.
bool confirmReplaceFiles(QWidget* parent, const QString& title, const QStringList& paths);
