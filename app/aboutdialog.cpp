#include "app/aboutdialog.h"
#include "ui_aboutdialog.h"

#include <QLabel>

#include "kvglobal.h"

namespace {

// The form is laid out for Segoe UI; with wider fonts a fixed-width label would cut its
// text, so it may grow (never shrink) to what the text needs.
void growToFit(QLabel* label)
{
    const int needed = label->sizeHint().width();
    if (needed > label->width())
        label->resize(needed, label->height());
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);

    ui->label->setText(KvGlobal::applicationName());
    ui->label->adjustSize();
    ui->versionLabel->setText(QStringLiteral("Version: ") + KvGlobal::versionString());

    const QString host = QString::fromLatin1(KvGlobal::webServerHost);
    ui->webLabel->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                              .arg(KvGlobal::websiteUrl().toString(), host.toHtmlEscaped()));
    ui->webLabel->setTextFormat(Qt::RichText);
    ui->webLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse
                                          | Qt::LinksAccessibleByKeyboard);
    ui->webLabel->setOpenExternalLinks(true);

    growToFit(ui->label_5);
    growToFit(ui->label_2);
    growToFit(ui->webLabel);
    constexpr int kCaptionGap = 4;
    const int linkLeft = ui->label_2->geometry().right() + 1 + kCaptionGap;
    if (ui->webLabel->x() < linkLeft)
        ui->webLabel->move(linkLeft, ui->webLabel->y());
}

AboutDialog::~AboutDialog()
{
    delete ui;
}

void AboutDialog::on_closeButton_clicked()
{
    deleteLater();
}
