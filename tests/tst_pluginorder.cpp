// Where Qt itself has a reader for one of these formats installed, that reader keeps the
// format: the program's static plugins come after every plugin found on disk.  The disk
// plugin here is a stand-in for "jxl" that answers with a 3 x 3 magenta picture.
#include <QtTest>

#include <QBuffer>
#include <QImageReader>

#include "imagefixtures.h"

class TestPluginOrder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void installedPluginWins_data();
    void installedPluginWins();
    void ownPluginKeepsOtherFormats();

private:
    QTemporaryDir m_dir;
    QString m_jxl;
};

void TestPluginOrder::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString png = m_dir.filePath("picture.png");
    QVERIFY(ImageFixtures::sourceImage(QSize(40, 30), ImageFixtures::Source::Alpha).save(png));
    // a bare codestream (FF 0A), which is what the stand-in recognises by content
    m_jxl = m_dir.filePath("picture.jxl");
    QString log;
    QVERIFY2(ImageFixtures::run("cjxl", {png, m_jxl, "-d", "0", "--container=0"}, &log),
             qPrintable(log));
}

void TestPluginOrder::installedPluginWins_data()
{
    QTest::addColumn<bool>("bySuffix");
    QTest::newRow("by suffix") << true;
    QTest::newRow("by content") << false;
}

void TestPluginOrder::installedPluginWins()
{
    QFETCH(bool, bySuffix);
    QImage image;
    if (bySuffix) {
        image = QImageReader(m_jxl).read();
    } else {
        QFile file(m_jxl);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        image = QImageReader(&buffer).read();
    }
    QCOMPARE(image.size(), QSize(3, 3));
    QCOMPARE(image.pixelColor(1, 1), QColor(Qt::magenta));
}

// The stand-in takes only its own key: HEIC still goes to the program's reader.
void TestPluginOrder::ownPluginKeepsOtherFormats()
{
    const QString png = m_dir.filePath("picture.png");
    const QString heic = m_dir.filePath("picture.heic");
    QString log;
    QVERIFY2(ImageFixtures::run("heif-enc", {"-o", heic, png}, &log), qPrintable(log));
    QCOMPARE(QImageReader(heic).read().size(), QSize(40, 30));
}

int main(int argc, char **argv)
{
    // before the first image is read: Qt lists the plugins once
    QCoreApplication::addLibraryPath(QStringLiteral(STAND_IN_PLUGIN_DIR));
    QCoreApplication app(argc, argv);
    TestPluginOrder test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_pluginorder.moc"
