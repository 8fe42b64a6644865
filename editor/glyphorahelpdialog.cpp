#include "glyphorahelpdialog.h"
#include "ui_glyphorahelpdialog.h"

GlyphoraHelpDialog::GlyphoraHelpDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::GlyphoraHelpDialog)
{
    ui->setupUi(this);
    // The bold captions grow with their (translated) texts; the descriptions keep their boxes.
    ui->titleLabel->adjustSize();
    ui->scrollWheelLabel->adjustSize();
    ui->shiftScrollWheelLabel->adjustSize();
}

GlyphoraHelpDialog::~GlyphoraHelpDialog()
{
    delete ui;
}

void GlyphoraHelpDialog::on_okButton_clicked()
{
    deleteLater();
}
