#pragma once

#include <QMessageBox>
#include <QString>

// The box that follows a written file: an information box with Ok and "Open Folder",
// which opens folder in the desktop shell.  Modal, without a parent, as after every
// export of the program.
void showSuccessBox(const QString& title, const QString& text, const QString& folder,
                    Qt::WindowFlags flags = Qt::Dialog);
