#include "create/exportpngdialog.h"
#include "ui_exportpngdialog.h"

#include <QSettings>

#include "create/newresolutiondialog.h"

namespace {

// The sizes a first run offers, smallest first.
constexpr int kDefaultSizes[] = {16, 32, 48, 256};
// Sizes run from 0 to the new-size spin box's 1024 and never repeat, so a list that the
// dialog itself stored has at most 1025 rows; a larger stored count is not believed.
constexpr int kLargestSize = 1024;
constexpr int kMostRows = kLargestSize + 1;

QSettings exportSettings()
{
    return QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora"));
}

QString rowText(int size)
{
    return QStringLiteral("%1x%1").arg(size);
}

// The number before the first "x" of a row, or -1 when there is none.
int rowSize(const QListWidgetItem* item)
{
    bool ok = false;
    const int size = item->text().section(QLatin1Char('x'), 0, 0).toInt(&ok);
    return ok ? size : -1;
}

} // namespace

ExportPNGDialog::ExportPNGDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ExportPNGDialog)
{
    ui->setupUi(this);
    connect(ui->listWidget, SIGNAL(itemSelectionChanged()), this, SLOT(on_ListWidget_itemSelectionChanged()));
    restoreSizes();
}

ExportPNGDialog::~ExportPNGDialog()
{
    delete ui;
}

void ExportPNGDialog::restoreSizes()
{
    QSettings settings = exportSettings();
    settings.beginGroup(QStringLiteral("ExportSize"));
    const int count = qMin(settings.value(QStringLiteral("exportSizeCount"), 0).toInt(), kMostRows);
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        const int size = settings.value(QStringLiteral("exportSize%1").arg(i)).toInt(&ok);
        if (ok && size >= 0 && size <= kLargestSize)
            on_newResolution(size);
    }
    settings.endGroup();

    // Nothing stored, an empty list, or no entry that is a size: the defaults.
    if (ui->listWidget->count() == 0) {
        for (int size : kDefaultSizes)
            on_newResolution(size);
    }
}

QList<int> ExportPNGDialog::sizes() const
{
    QList<int> result;
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const int size = rowSize(ui->listWidget->item(row));
        if (size >= 0)
            result << size;
    }
    return result;
}

void ExportPNGDialog::on_ListWidget_itemSelectionChanged()
{
    const bool any = !ui->listWidget->selectedItems().isEmpty();
    ui->addButton->setEnabled(any);
    ui->removeButton->setEnabled(any);
}

void ExportPNGDialog::on_cancelButton_clicked()
{
    deleteLater();
}

void ExportPNGDialog::on_removeButton_clicked()
{
    const QList<QListWidgetItem*> selected = ui->listWidget->selectedItems();
    for (QListWidgetItem* item : selected)
        delete ui->listWidget->takeItem(ui->listWidget->row(item));
}

void ExportPNGDialog::on_exportButton_clicked()
{
    QList<int> result;
    QSettings settings = exportSettings();
    settings.beginGroup(QStringLiteral("ExportSize"));
    // Entries of a longer list stored before would otherwise linger past the new count.
    settings.remove(QString());
    settings.setValue(QStringLiteral("exportSizeCount"), ui->listWidget->count());
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const int size = rowSize(ui->listWidget->item(row));
        if (size < 0)
            continue;
        settings.setValue(QStringLiteral("exportSize%1").arg(row), size);
        result << size;
    }
    settings.endGroup();

    Q_EMIT exportImages(result);
    deleteLater();
}

void ExportPNGDialog::on_addButton_clicked()
{
    auto* dialog = new NewResolutionDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, SIGNAL(newResolution(int)), this, SLOT(on_newResolution(int)));
    dialog->exec();
}

void ExportPNGDialog::on_newResolution(int size)
{
    // Sorted insertion: before the first larger row; an equal row means nothing to add.
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const int existing = rowSize(ui->listWidget->item(row));
        if (existing < 0)
            continue;
        if (existing == size)
            return;
        if (existing > size) {
            ui->listWidget->insertItem(row, rowText(size));
            return;
        }
    }
    ui->listWidget->addItem(rowText(size));
}
