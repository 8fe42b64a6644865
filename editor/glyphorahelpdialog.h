#pragma once

#include <QDialog>

namespace Ui {
class GlyphoraHelpDialog;
}

// The box that lists the mouse gestures and the keys of the composing canvas.
class GlyphoraHelpDialog : public QDialog
{
    Q_OBJECT

public:
    explicit GlyphoraHelpDialog(QWidget* parent);
    ~GlyphoraHelpDialog() override;

private Q_SLOTS:
    void on_okButton_clicked();

private:
    Ui::GlyphoraHelpDialog* ui;
};
