#pragma once

#include <QByteArray>
#include <QDialog>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace Ui {
class CheckUpdateDialog;
}

class CheckUpdateDialog : public QDialog
{
    Q_OBJECT

public:
    // The most of update.txt that is read; a server that sends more is cut off there.
    static constexpr qint64 maxUpdateFileSize = 64 * 1024;

    explicit CheckUpdateDialog(QWidget* parent);
    ~CheckUpdateDialog() override;

    // Points every dialog made afterwards at another update file (the tests' local
    // server); an empty URL restores the maker's.
    static void setUpdateFileUrlForTesting(const QUrl& url);

private Q_SLOTS:
    void on_closeButton_clicked();
    void fileIsReady(QNetworkReply* reply);
    void on_downloadButton_clicked();
    void readReplyData();

private:
    void parseUpdateItem(const QString& item);

    Ui::CheckUpdateDialog* ui;
    int latestMajorVersion = 0;
    int latestMinorVersion = 0;
    int latestSubMinorVersion = 0;
    QNetworkAccessManager* manager = nullptr;
    QByteArray body;
};
