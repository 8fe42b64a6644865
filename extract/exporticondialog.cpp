#include "exporticondialog.h"
#include "widgets/successbox.h"
#include "ui_exporticondialog.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QListWidgetItem>
#include <QPixmap>
#include <QSaveFile>
#include <QUrl>
#include <QtDebug>

#include "extracticonform.h"
#include "ico/exportnames.h"
#include "kvglobal.h"
#include "render/pngexport.h"

ExportIconDialog::ExportIconDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ExportIconDialog)
{
    ui->setupUi(this);

    QString value;
    if (KvGlobal::readRegistryString(KvGlobal::CurrentUser, ExtractIconForm::registryKey(),
                                     QStringLiteral("exportIconPath"), value))
        exportPath = QDir::toNativeSeparators(value);
    else
        exportPath = KvGlobal::documentsFolder();
}

ExportIconDialog::~ExportIconDialog()
{
    // Saved on every close, so a folder chosen for a failed export still comes back.
    KvGlobal::writeRegistryString(KvGlobal::CurrentUser, ExtractIconForm::registryKey(),
                                  QStringLiteral("exportIconPath"), exportPath);
    delete ui;
}

QString ExportIconDialog::pngFileName(const QString& name, const IconImageEntry& entry)
{
    return ExportNames::groupPngFileName(name, entry.width, entry.depth);
}

void ExportIconDialog::fillList()
{
    ui->nameLineEdit->setText(QString::number(iconId));
    for (const IconImageEntry& entry : qAsConst(entries)) {
        auto* item = new QListWidgetItem(
            QIcon(QPixmap::fromImage(entry.image)),
            QStringLiteral("%1x%1 %2 bits").arg(entry.width).arg(entry.depth));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        // Each row goes on top: the list shows the group's last image first.
        ui->listWidget->insertItem(0, item);
    }
}

void ExportIconDialog::setAllChecked(Qt::CheckState state)
{
    for (int row = 0; row < ui->listWidget->count(); ++row)
        ui->listWidget->item(row)->setCheckState(state);
}

void ExportIconDialog::on_checkAllButton_clicked()
{
    setAllChecked(Qt::Checked);
}

void ExportIconDialog::on_uncheckAllButton_clicked()
{
    setAllChecked(Qt::Unchecked);
}

void ExportIconDialog::on_cancelButton_clicked()
{
    deleteLater();
}

void ExportIconDialog::on_exportPngButton_clicked()
{
    // A folder that is gone would otherwise land in the chooser's name field.
    const QString start = QFileInfo(exportPath).isDir() ? exportPath : QDir::toNativeSeparators(QDir::homePath());
    const QString folder = KvGlobal::browseForFolder(start, tr("Select folder ..."));
    if (folder.isEmpty() || !QDir(folder).exists())
        return;
    exportPath = QDir::toNativeSeparators(folder);

    // The checked rows from the top, as they are written.
    const int count = entries.size();
    QList<int> chosen;
    QList<QPair<int, int>> sizes;
    for (int row = 0; row < ui->listWidget->count() && row < count; ++row) {
        if (ui->listWidget->item(row)->checkState() != Qt::Checked)
            continue;
        const IconImageEntry& entry = entries.at(count - 1 - row);
        chosen.append(count - 1 - row);
        sizes.append({entry.width, entry.depth});
    }
    const QStringList names = ExportNames::distinctGroupPngFileNames(ui->nameLineEdit->text(), sizes);
    QStringList paths;
    for (const QString& name : names)
        paths.append(QDir::toNativeSeparators(QDir(folder).filePath(name)));
    // Refused: nothing is written and the dialog stays, for another name or folder.
    if (!confirmReplaceFiles(this, tr("Extract Icon"), paths))
        return;

    int written = 0;
    QStringList failures;
    for (int i = 0; i < paths.size(); ++i) {
        // Through a QSaveFile: a failed write leaves neither a half-written file nor a
        // damaged copy of one that was there before.
        QString error;
        if (!PngExport::writePng(entries.at(chosen.at(i)).image, paths.at(i), &error)) {
            qDebug().noquote() << "Cannot overwrite: " << paths.at(i);
            failures.append(error);
            continue;
        }
        ++written;
    }

    if (!failures.isEmpty()) {
        showFailureBox(this, tr("Extract Icon"),
                       written == 0 ? tr("No PNG file could be written.")
                                    : tr("%1 of %2 PNG files could not be written.").arg(failures.size()).arg(paths.size()),
                       failures);
    } else if (written > 0) {
        showSuccessBox(tr("Extract Icon"), tr("The Icon file have been successfully exported."), exportPath);
    }
    deleteLater();
}
