#include "editor/glyphorahelpdialog.h"
#include "ui_glyphorahelpdialog.h"

#include <algorithm>

GlyphoraHelpDialog::GlyphoraHelpDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::GlyphoraHelpDialog)
{
    ui->setupUi(this);
    // The boxes are placed for a 9-point interface font.  Every text grows to fit itself
    // (a larger font or a longer translation), the descriptions move right of the widest
    // caption, and the dialog grows to hold them all, so nothing is cut off.
    for (QLabel* label : {ui->titleLabel, ui->scrollWheelLabel, ui->shiftScrollWheelLabel, ui->label_6, ui->label_7})
        label->adjustSize();
    const int captions = std::max(ui->scrollWheelLabel->geometry().right(), ui->shiftScrollWheelLabel->geometry().right());
    for (QLabel* description : {ui->label_6, ui->label_7}) {
        if (description->x() <= captions + 8)
            description->move(captions + 16, description->y());
    }
    int right = 0;
    for (const QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        right = std::max(right, child->geometry().right());
    if (right + 20 > width()) {
        ui->okButton->move(ui->okButton->x() + right + 20 - width(), ui->okButton->y());
        resize(right + 20, height());
    }
}

GlyphoraHelpDialog::~GlyphoraHelpDialog()
{
    delete ui;
}

void GlyphoraHelpDialog::on_okButton_clicked()
{
    deleteLater();
}
