#include "aboutdialog.h"
#include "ui_aboutdialog.h"

#include "kvglobal.h"

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
}

AboutDialog::~AboutDialog()
{
    delete ui;
}

void AboutDialog::on_closeButton_clicked()
{
    deleteLater();
}
