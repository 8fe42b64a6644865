#include "widgets/successbox.h"

#include <QDesktopServices>
#include <QFileInfo>
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

namespace {

// Lines a box shows in its text; more go to its details.
constexpr int kShownLines = 8;
// File names the replace question names before "and N more".
constexpr int kShownNames = 5;

} // namespace

void showFailureBox(QWidget* parent, const QString& title, const QString& text, const QStringList& lines)
{
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(title);
    box.setText(text);
    QStringList shown = lines.mid(0, kShownLines);
    if (lines.size() > kShownLines) {
        shown.append(QMessageBox::tr("and %1 more").arg(lines.size() - kShownLines));
        box.setDetailedText(lines.join(QLatin1Char('\n')));
    }
    box.setInformativeText(shown.join(QLatin1Char('\n')));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool confirmReplaceFiles(QWidget* parent, const QString& title, const QStringList& paths)
{
    QStringList existing;
    for (const QString& path : paths) {
        if (QFileInfo::exists(path) && !existing.contains(path))
            existing.append(path);
    }
    if (existing.isEmpty())
        return true;
    QStringList names;
    for (const QString& path : existing.mid(0, kShownNames))
        names.append(QFileInfo(path).fileName());
    if (existing.size() > kShownNames)
        names.append(QMessageBox::tr("and %1 more").arg(existing.size() - kShownNames));

    QMessageBox box(parent);
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(title);
    box.setText(existing.size() == 1 ? QMessageBox::tr("Replace 1 existing file?")
                                     : QMessageBox::tr("Replace %1 existing files?").arg(existing.size()));
    box.setInformativeText(names.join(QLatin1Char('\n')));
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
