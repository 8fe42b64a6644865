#include "app/checkupdatedialog.h"
#include "ui_checkupdatedialog.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QtDebug>

#include "kvglobal.h"

namespace {

QUrl& updateFileUrlOverride()
{
    static QUrl url;
    return url;
}

} // namespace

void CheckUpdateDialog::setUpdateFileUrlForTesting(const QUrl& url)
{
    updateFileUrlOverride() = url;
}

CheckUpdateDialog::CheckUpdateDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::CheckUpdateDialog)
{
    ui->setupUi(this);
    latestMajorVersion = 0;
    latestMinorVersion = 0;
    latestSubMinorVersion = 0;

    ui->downloadButton->hide();
    ui->installVersionLabel->setText(QStringLiteral("Installed Version: %1.%2.%3")
                                         .arg(KvGlobal::majorVersion)
                                         .arg(KvGlobal::minorVersion)
                                         .arg(KvGlobal::subMinorVersion));

    manager = new QNetworkAccessManager(this);
    connect(manager, SIGNAL(finished(QNetworkReply*)), this, SLOT(fileIsReady(QNetworkReply*)));

    const QUrl url = updateFileUrlOverride().isEmpty() ? KvGlobal::updateFileUrl() : updateFileUrlOverride();
    QNetworkReply* reply = manager->get(QNetworkRequest(url));
    // The body is taken as it arrives, so that a server sending without end cannot fill
    // the memory; see readReplyData().
    connect(reply, SIGNAL(readyRead()), this, SLOT(readReplyData()));
}

CheckUpdateDialog::~CheckUpdateDialog()
{
    delete ui;
}

void CheckUpdateDialog::on_closeButton_clicked()
{
    deleteLater();
}

void CheckUpdateDialog::on_downloadButton_clicked()
{
    KvGlobal::openProductPage();
}

void CheckUpdateDialog::readReplyData()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return;
    const qint64 room = maxUpdateFileSize - body.size();
    if (room > 0)
        body += reply->read(room);
    if (body.size() >= maxUpdateFileSize && reply->bytesAvailable() > 0) {
        // Enough: whatever follows is not read.  abort() finishes the reply, and
        // fileIsReady() works on what has been kept.
        reply->abort();
    }
}

void CheckUpdateDialog::fileIsReady(QNetworkReply* reply)
{
    const qint64 room = maxUpdateFileSize - body.size();
    if (room > 0 && reply->isOpen())
        body += reply->read(room);
    QString text = QString::fromUtf8(body);
    body.clear();

    const QString crlf = QStringLiteral("\r\n");
    int separator;
    while ((separator = text.indexOf(QLatin1Char(';'))) >= 0) {
        QString item = text.left(separator);
        item.remove(crlf);
        parseUpdateItem(item);
        text.remove(0, separator + 1);
    }
    text.remove(crlf);
    parseUpdateItem(text);

    const bool newer = latestMajorVersion > KvGlobal::majorVersion
                       || (latestMajorVersion == KvGlobal::majorVersion && latestMinorVersion > KvGlobal::minorVersion)
                       || (latestMajorVersion == KvGlobal::majorVersion && latestMinorVersion == KvGlobal::minorVersion
                           && latestSubMinorVersion > KvGlobal::subMinorVersion);
    if (newer) {
        ui->downloadButton->setText(QStringLiteral("Download update"));
        ui->downloadButton->show();
        ui->messageLabel->setText(QStringLiteral("Version %1.%2.%3 is available to download.")
                                      .arg(latestMajorVersion)
                                      .arg(latestMinorVersion)
                                      .arg(latestSubMinorVersion));
    } else {
        ui->messageLabel->setText(QStringLiteral("There are no software updates available at this time."));
        ui->downloadButton->setText(QStringLiteral("Visit Website"));
        ui->downloadButton->show();
    }
    ui->messageLabel->adjustSize();
    reply->deleteLater();
}

void CheckUpdateDialog::parseUpdateItem(const QString& item)
{
    if (item.isEmpty())
        return;
    const int equals = item.indexOf(QLatin1Char('='));
    if (equals < 0)
        return;
    const QString key = item.left(equals);
    const QString value = item.mid(equals + 1);
    qDebug() << key;
    qDebug() << value;
    if (key == QLatin1String("majorVersion")) {
        qDebug() << "majorVersion found";
        latestMajorVersion = value.toInt(nullptr, 10);
    } else if (key == QLatin1String("minorVersion")) {
        qDebug() << "minorVersion found";
        latestMinorVersion = value.toInt(nullptr, 10);
    } else if (key == QLatin1String("subMinorVersion")) {
        qDebug() << "subMinorVersion found";
        latestSubMinorVersion = value.toInt(nullptr, 10);
    }
}
