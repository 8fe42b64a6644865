#pragma once

#include <QDialog>

namespace Ui {
class NewResolutionDialog;
}

// Asks for one more PNG size, 0 to 1024 pixels, and reports it through newResolution.
class NewResolutionDialog : public QDialog
{
    Q_OBJECT

public:
    explicit NewResolutionDialog(QWidget* parent);
    ~NewResolutionDialog() override;

Q_SIGNALS:
    void newResolution(int size);

private Q_SLOTS:
    void on_cancelButton_clicked();
    void on_spinBox_valueChanged(int arg1);
    void on_addButton_clicked();

private:
    Ui::NewResolutionDialog* ui;
};
