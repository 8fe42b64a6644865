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

// The box that follows a write that failed: a warning naming the file (text) with the
// writer's reason beneath it.
void showFailureBox(QWidget* parent, const QString& title, const QString& text, const QString& reason);

// Asks once before a batch of files replaces the existing ones named in existingNames:
// "Replace N existing files?" with the first few names.  True when there are none or the
// user agrees.
bool confirmReplace(QWidget* parent, const QString& title, const QStringList& existingNames);
