#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include "ico/iconimageentry.h"

namespace Ui {
class ExportIconDialog;
}

// Writes the checked images of one icon group as PNG files, named NAME_WxW_Dbits.png,
// into a folder the user picks; the folder is remembered in the registry.
class ExportIconDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ExportIconDialog(QWidget* parent);
    ~ExportIconDialog() override;

    // Shows iconId as the name and one checked row per entry, the last entry on top.
    void fillList();

    // The file name of entry for the base name name: 5, 48 pixels, 32 bits give
    // 5_48x48_32bits.png.
    static QString pngFileName(const QString& name, const IconImageEntry& entry);

    int iconId = -1;
    QList<IconImageEntry> entries;
    QString exportPath;

private Q_SLOTS:
    void on_exportPngButton_clicked();
    void on_checkAllButton_clicked();
    void on_uncheckAllButton_clicked();
    void on_cancelButton_clicked();

private:
    void setAllChecked(Qt::CheckState state);

    Ui::ExportIconDialog* ui;
};
