#include "extracticonform.h"
#include "ui_extracticonform.h"

#include "kvglobal.h"

ExtractIconForm::ExtractIconForm(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::ExtractIconForm)
{
    ui->setupUi(this);
    updateThemeIcons();
}

ExtractIconForm::~ExtractIconForm()
{
    delete ui;
}

void ExtractIconForm::updateThemeIcons()
{
}
