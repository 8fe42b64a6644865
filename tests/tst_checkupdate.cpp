#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

#include "app/checkupdatedialog.h"

// The update check against a real HTTP server on 127.0.0.1.
class UpdateServer : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Body, Endless, CloseAtOnce };

    UpdateServer(Mode mode, QByteArray body, QByteArray status = "200 OK")
        : m_mode(mode), m_body(std::move(body)), m_status(std::move(status))
    {
        connect(&m_server, SIGNAL(newConnection()), this, SLOT(onConnection()));
        m_server.listen(QHostAddress::LocalHost);
    }

    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/Glyphora/update.txt").arg(m_server.serverPort()));
    }
    QByteArray requestLine() const { return m_requestLine; }
    qint64 bytesSent() const { return m_sent; }
    bool clientGone() const { return m_clientGone; }

private Q_SLOTS:
    void onConnection()
    {
        // Qt retries a request whose connection dropped, so every connection is served.
        m_socket = m_server.nextPendingConnection();
        m_request.clear();
        m_answered = false;
        connect(m_socket, SIGNAL(readyRead()), this, SLOT(onRequest()));
        connect(m_socket, SIGNAL(disconnected()), this, SLOT(onGone()));
    }

    void onRequest()
    {
        if (sender() != m_socket)
            return;
        m_request += m_socket->readAll();
        if (!m_request.contains("\r\n\r\n") || m_answered)
            return;
        m_answered = true;
        m_requestLine = m_request.left(m_request.indexOf("\r\n"));
        if (m_mode == Mode::CloseAtOnce) {
            m_socket->disconnectFromHost();
            return;
        }
        if (m_mode == Mode::Body) {
            m_socket->write("HTTP/1.1 " + m_status + "\r\nContent-Type: text/plain\r\nContent-Length: "
                            + QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" + m_body);
            m_socket->disconnectFromHost();
            return;
        }
        // No length, no end: the body goes on for as long as the client takes it.
        m_socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
        connect(m_socket, SIGNAL(bytesWritten(qint64)), this, SLOT(sendMore()));
        sendMore();
    }

    void sendMore()
    {
        if (m_clientGone || m_socket->bytesToWrite() > 256 * 1024)
            return;
        const QByteArray chunk(64 * 1024, 'x');
        m_sent += m_socket->write(chunk);
    }

    void onGone()
    {
        if (sender() == m_socket)
            m_clientGone = true;
    }

private:
    QTcpServer m_server;
    QTcpSocket* m_socket = nullptr;
    Mode m_mode;
    QByteArray m_body;
    QByteArray m_status;
    QByteArray m_request;
    QByteArray m_requestLine;
    bool m_answered = false;
    bool m_clientGone = false;
    qint64 m_sent = 0;
};

class TestCheckUpdate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void answer_data();
    void answer();
    void initialState();
    void networkFailure();
    void endlessBodyIsCut();
    void closeDeletesDialog();
};

namespace {

const QString kNoUpdate = QStringLiteral("There are no software updates available at this time.");
const QString kChecking = QStringLiteral("Checking for update ...");

QLabel* messageLabel(QDialog* dialog)
{
    return dialog->findChild<QLabel*>(QStringLiteral("messageLabel"));
}

QPushButton* downloadButton(QDialog* dialog)
{
    return dialog->findChild<QPushButton*>(QStringLiteral("downloadButton"));
}

bool waitForAnswer(QDialog* dialog)
{
    return QTest::qWaitFor([&] { return messageLabel(dialog)->text() != kChecking; }, 20000);
}

} // namespace

void TestCheckUpdate::cleanup()
{
    CheckUpdateDialog::setUpdateFileUrlForTesting(QUrl());
}

void TestCheckUpdate::answer_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("button");

    const QString visit = QStringLiteral("Visit Website");
    const QString download = QStringLiteral("Download update");

    QTest::newRow("same version") << QByteArray("majorVersion=3;minorVersion=2;subMinorVersion=0") << kNoUpdate << visit;
    QTest::newRow("CR LF lines") << QByteArray("majorVersion=3;\r\nminorVersion=2;\r\nsubMinorVersion=1\r\n")
                                 << QStringLiteral("Version 3.2.1 is available to download.") << download;
    QTest::newRow("missing sub-minor") << QByteArray("majorVersion=3;minorVersion=3")
                                       << QStringLiteral("Version 3.3.0 is available to download.") << download;
    QTest::newRow("major wins over lower minor") << QByteArray("majorVersion=4;minorVersion=0;subMinorVersion=0")
                                                 << QStringLiteral("Version 4.0.0 is available to download.") << download;
    QTest::newRow("older") << QByteArray("majorVersion=2;minorVersion=9;subMinorVersion=9") << kNoUpdate << visit;
    QTest::newRow("LF only, major 3") << QByteArray("majorVersion=3;\nminorVersion=3;\nsubMinorVersion=1") << kNoUpdate << visit;
    QTest::newRow("LF only, major 4") << QByteArray("majorVersion=4;\nminorVersion=3;\nsubMinorVersion=1")
                                      << QStringLiteral("Version 4.0.0 is available to download.") << download;
    QTest::newRow("wrong case key") << QByteArray("MajorVersion=9;minorVersion=2") << kNoUpdate << visit;
    QTest::newRow("space before =") << QByteArray("majorVersion =9") << kNoUpdate << visit;
    QTest::newRow("trailing ;") << QByteArray("majorVersion=3;minorVersion=2;subMinorVersion=5;")
                                << QStringLiteral("Version 3.2.5 is available to download.") << download;
    QTest::newRow("value not a number") << QByteArray("majorVersion=abc;minorVersion=9") << kNoUpdate << visit;
    QTest::newRow("key twice, last wins") << QByteArray("majorVersion=9;majorVersion=3;minorVersion=4")
                                          << QStringLiteral("Version 3.4.0 is available to download.") << download;
    QTest::newRow("items without =") << QByteArray(";;junk;majorVersion=5;=;x") << QStringLiteral("Version 5.0.0 is available to download.")
                                     << download;
    QTest::newRow("empty body") << QByteArray() << kNoUpdate << visit;
    QTest::newRow("not UTF-8") << QByteArray("\xff\xfe\x00m;majorVersion=3;minorVersion=7", 34)
                               << QStringLiteral("Version 3.7.0 is available to download.") << download;
    // What lies past the first 64 KiB is never read.
    QTest::newRow("key past the limit") << (QByteArray(CheckUpdateDialog::maxUpdateFileSize, ' ') + ";majorVersion=9")
                                        << kNoUpdate << visit;
    QTest::newRow("key inside the limit") << ("majorVersion=9;" + QByteArray(CheckUpdateDialog::maxUpdateFileSize * 4, ' '))
                                          << QStringLiteral("Version 9.0.0 is available to download.") << download;
}

void TestCheckUpdate::answer()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    QFETCH(QString, button);

    UpdateServer server(UpdateServer::Mode::Body, body);
    CheckUpdateDialog::setUpdateFileUrlForTesting(server.url());
    QScopedPointer<CheckUpdateDialog> dialog(new CheckUpdateDialog(nullptr));
    QVERIFY(waitForAnswer(dialog.data()));
    QCOMPARE(messageLabel(dialog.data())->text(), message);
    QCOMPARE(downloadButton(dialog.data())->text(), button);
    QVERIFY(!downloadButton(dialog.data())->isHidden());
    QCOMPARE(server.requestLine(), QByteArray("GET /Glyphora/update.txt HTTP/1.1"));
}

void TestCheckUpdate::initialState()
{
    // A server that never answers keeps the dialog checking.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    CheckUpdateDialog::setUpdateFileUrlForTesting(
        QUrl(QStringLiteral("http://127.0.0.1:%1/Glyphora/update.txt").arg(silent.serverPort())));
    CheckUpdateDialog dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Check Update"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("installVersionLabel"))->text(),
             QStringLiteral("Installed Version: 3.2.0"));
    QCOMPARE(messageLabel(&dialog)->text(), kChecking);
    QVERIFY(downloadButton(&dialog)->isHidden());
    QTest::qWait(300);
    QCOMPARE(messageLabel(&dialog)->text(), kChecking);
}

void TestCheckUpdate::networkFailure()
{
    // Nobody listens on the port, or the server drops the connection, or answers 404:
    // all count as "no update".
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    CheckUpdateDialog::setUpdateFileUrlForTesting(QUrl(QStringLiteral("http://127.0.0.1:%1/Glyphora/update.txt").arg(port)));
    {
        CheckUpdateDialog dialog(nullptr);
        QVERIFY(waitForAnswer(&dialog));
        QCOMPARE(messageLabel(&dialog)->text(), kNoUpdate);
    }
    UpdateServer dropping(UpdateServer::Mode::CloseAtOnce, {});
    CheckUpdateDialog::setUpdateFileUrlForTesting(dropping.url());
    {
        CheckUpdateDialog dialog(nullptr);
        QVERIFY(waitForAnswer(&dialog));
        QCOMPARE(messageLabel(&dialog)->text(), kNoUpdate);
    }
    UpdateServer notFound(UpdateServer::Mode::Body, "<html>majorVersion=1</html>", "404 Not Found");
    CheckUpdateDialog::setUpdateFileUrlForTesting(notFound.url());
    {
        CheckUpdateDialog dialog(nullptr);
        QVERIFY(waitForAnswer(&dialog));
        QCOMPARE(messageLabel(&dialog)->text(), kNoUpdate);
        QCOMPARE(downloadButton(&dialog)->text(), QStringLiteral("Visit Website"));
    }
}

void TestCheckUpdate::endlessBodyIsCut()
{
    UpdateServer server(UpdateServer::Mode::Endless, {});
    CheckUpdateDialog::setUpdateFileUrlForTesting(server.url());
    CheckUpdateDialog dialog(nullptr);
    QVERIFY(waitForAnswer(&dialog));
    QCOMPARE(messageLabel(&dialog)->text(), kNoUpdate);
    // The dialog hung up instead of taking the stream whole.
    QVERIFY(QTest::qWaitFor([&] { return server.clientGone(); }, 10000));
    QVERIFY2(server.bytesSent() < 64 * 1024 * 1024, QByteArray::number(server.bytesSent()));
}

void TestCheckUpdate::closeDeletesDialog()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    CheckUpdateDialog::setUpdateFileUrlForTesting(
        QUrl(QStringLiteral("http://127.0.0.1:%1/Glyphora/update.txt").arg(silent.serverPort())));
    QPointer<CheckUpdateDialog> dialog = new CheckUpdateDialog(nullptr);
    QTimer::singleShot(0, dialog, [&] {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
    });
    dialog->exec();
    QVERIFY(QTest::qWaitFor([&] { return dialog.isNull(); }, 5000));
}

QTEST_MAIN(TestCheckUpdate)
#include "tst_checkupdate.moc"
