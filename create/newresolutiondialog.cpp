#include "create/newresolutiondialog.h"
#include "ui_newresolutiondialog.h"

namespace {
constexpr int kInitialSize = 128;
}

NewResolutionDialog::NewResolutionDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::NewResolutionDialog)
{
    ui->setupUi(this);
    ui->spinBox->setValue(kInitialSize);
    on_spinBox_valueChanged(kInitialSize);
}

NewResolutionDialog::~NewResolutionDialog()
{
    delete ui;
}

void NewResolutionDialog::on_cancelButton_clicked()
{
    deleteLater();
}

void NewResolutionDialog::on_spinBox_valueChanged(int arg1)
{
    ui->pixelLabel->setText(QStringLiteral("x") + QString::number(arg1));
}

void NewResolutionDialog::on_addButton_clicked()
{
    Q_EMIT newResolution(ui->spinBox->value());
    deleteLater();
}
