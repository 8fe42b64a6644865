#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent);
    ~AboutDialog() override;

private Q_SLOTS:
    void on_closeButton_clicked();

private:
    Ui::AboutDialog* ui;
};
