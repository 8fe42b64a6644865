#include "glyphoraform.h"
#include "ui_glyphoraform.h"

#include "kvglobal.h"

bool GlyphoraForm::shiftKeyPressed = false;

GlyphoraForm::GlyphoraForm(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::GlyphoraForm)
{
    ui->setupUi(this);
    updateThemeIcons();
}

GlyphoraForm::~GlyphoraForm()
{
    delete ui;
}

void GlyphoraForm::setShiftKeyPressed(bool pressed)
{
    shiftKeyPressed = pressed;
}

void GlyphoraForm::updateThemeIcons()
{
}
