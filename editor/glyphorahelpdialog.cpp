#include "editor/glyphorahelpdialog.h"
#include "ui_glyphorahelpdialog.h"

#include <QLabel>

#include <algorithm>

GlyphoraHelpDialog::GlyphoraHelpDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::GlyphoraHelpDialog)
{
    ui->setupUi(this);
    // The boxes are placed for a 9-point interface font.  Every text grows to fit itself
    // (a larger font or a longer translation), the descriptions move right of the widest
    // caption, and the dialog grows to hold them all, so nothing is cut off.
    const QList<QLabel*> captions = {ui->scrollWheelLabel, ui->shiftScrollWheelLabel, ui->undoKeyLabel,
                                     ui->redoKeyLabel,     ui->arrowKeysLabel,        ui->shiftArrowKeysLabel,
                                     ui->deleteKeyLabel};
    const QList<QLabel*> descriptions = {ui->label_6, ui->label_7, ui->undoLabel, ui->redoLabel,
                                         ui->arrowLabel, ui->shiftArrowLabel, ui->deleteLabel};
    ui->titleLabel->adjustSize();
    int widest = 0;
    for (QLabel* label : captions + descriptions)
        label->adjustSize();
    for (const QLabel* caption : captions)
        widest = std::max(widest, caption->geometry().right());
    for (QLabel* description : descriptions) {
        if (description->x() <= widest + 8)
            description->move(widest + 16, description->y());
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
