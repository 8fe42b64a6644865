#include "successbox.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

void showSuccessBox(const QString& title, const QString& text, const QString& folder, Qt::WindowFlags flags)
{
    QMessageBox box;
    box.setWindowFlags(flags);
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    QPushButton* openFolder = box.addButton(QMessageBox::tr("Open Folder"), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() == openFolder)
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
