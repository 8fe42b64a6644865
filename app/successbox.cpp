#include "successbox.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

namespace {

// The replace question lists this many names, then how many more there are.
constexpr int kListedNames = 5;

} // namespace

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

void showFailureBox(QWidget* parent, const QString& title, const QString& text, const QString& reason)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setInformativeText(reason);
    box.exec();
}

bool confirmReplace(QWidget* parent, const QString& title, const QStringList& existingNames)
{
    if (existingNames.isEmpty())
        return true;
    QStringList listed = existingNames.mid(0, kListedNames);
    if (existingNames.size() > kListedNames)
        listed << QMessageBox::tr("and %1 more").arg(existingNames.size() - kListedNames);
    QMessageBox box(QMessageBox::Question, title,
                    QMessageBox::tr("Replace %1 existing files?").arg(existingNames.size()),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setInformativeText(listed.join(QLatin1Char('\n')));
    return box.exec() == QMessageBox::Yes;
}
