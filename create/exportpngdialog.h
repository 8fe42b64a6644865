#pragma once

#include <QDialog>
#include <QList>

namespace Ui {
class ExportPNGDialog;
}

// Asks which square sizes the composed icon is written at as PNG files.  The list is kept
// in ascending order, each row reading N + "x" + N; Export stores it (settings group
// "ExportSize") and hands the sizes on through exportImages.  The stored list comes back
// the next time the dialog opens.
class ExportPNGDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ExportPNGDialog(QWidget* parent);
    ~ExportPNGDialog() override;

    // The sizes of the rows from the top; rows whose text holds no number are skipped.
    QList<int> sizes() const;

Q_SIGNALS:
    void exportImages(QList<int> LImageResolution);

public Q_SLOTS:
    void on_newResolution(int size);

private Q_SLOTS:
    void on_ListWidget_itemSelectionChanged();
    void on_cancelButton_clicked();
    void on_removeButton_clicked();
    void on_exportButton_clicked();
    void on_addButton_clicked();

private:
    void restoreSizes();

    Ui::ExportPNGDialog* ui;
};
