// HEIC, AVIF and JPEG XL pictures, made by Debian's encoders, along every road that turns
// a picture into an icon: dropped on the Create tab and converted, written by the core's
// direct road, and by glyphora-cli.  Each ends in an .ico that icotool lists and whose
// largest entry shows the picture the right way up.
#include <QtTest>

#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>

#include <functional>

#include "dragdrop.h"
#include "create/glyphoraform.h"
#include "ico/icoencoder.h"
#include "imagefixtures.h"
#include "modalwatch.h"

namespace {

using ImageFixtures::Source;

constexpr QSize kSourceSize(300, 200);
constexpr int kIconEntries = 7; // 256, 128, 64, 48, 32, 24, 16

// A file of the test: its encoder and options, and the Exif orientation that describes
// the rotation the file carries (put in the PNG for cjxl, as 'irot' boxes for HEIF).
struct Picture
{
    QString suffix;
    int orientation;
};

QHash<QString, Picture> pictures()
{
    return {{"heic", {"heic", 1}},           {"avif", {"avif", 1}},
            {"jxl", {"jxl", 1}},             {"heic turned", {"heic", 6}},
            {"avif turned", {"avif", 6}},    {"jxl turned", {"jxl", 6}}};
}

QString icotoolListing(const QString &ico)
{
    QString log;
    return ImageFixtures::run("icotool", {"-l", ico}, &log) ? log : QString();
}

QImage largestEntry(const QString &ico)
{
    QImageReader reader(ico, "ico");
    QImage best;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        const QImage entry = reader.read();
        if (entry.width() > best.width())
            best = entry;
    }
    return best;
}

// Mean per-channel difference of two premultiplied images of one size, 0..255.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (x.size() != y.size())
        return 255;
    qint64 sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row), *q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return double(sum) / (qint64(x.width()) * x.height() * 4);
}

} // namespace

class TestPhotoRoads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void roads_data();
    void dropFrame();
    void dropFrame_data() { roads_data(); }
    void directRoad();
    void directRoad_data() { roads_data(); }
    void commandLine();
    void commandLine_data() { roads_data(); }

private:
    QString path(const QString &name) const { return m_made.value(name); }
    // The ico is right: icotool lists every entry, and the 256 one is the picture as it
    // should look, fitted into the square.
    void verifyIcon(const QString &ico, const QString &name);
    template<typename T>
    void whenModal(QObject *parent, std::function<void(T *)> handler);

    QTemporaryDir m_dir;
    QHash<QString, QString> m_made;
};

void TestPhotoRoads::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir().mkpath(QDir::homePath()));
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    const QImage source = ImageFixtures::sourceImage(kSourceSize, Source::Alpha);
    const auto all = pictures();
    for (auto it = all.begin(); it != all.end(); ++it) {
        const QString stem = m_dir.filePath(QString(it.key()).replace(' ', '_'));
        const bool jxl = it->suffix == "jxl";
        QFile png(stem + ".png");
        QVERIFY(png.open(QIODevice::WriteOnly));
        png.write(ImageFixtures::pngBytes(source, jxl ? it->orientation : 1));
        png.close();
        const QString out = stem + "." + it->suffix;
        QString log;
        const bool ok = jxl ? ImageFixtures::run("cjxl", {png.fileName(), out}, &log)
                            : ImageFixtures::run("heif-enc", {"-q", "90", "-o", out, png.fileName()},
                                                 &log);
        QVERIFY2(ok, qPrintable(log));
        if (!jxl && it->orientation == 6) {
            // Exif 6 is a quarter turn clockwise: three anticlockwise ones in 'irot'
            QFile f(out);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const QByteArray turned = ImageFixtures::withHeifTransform(f.readAll(), 3, -1);
            QVERIFY(!turned.isEmpty());
            f.seek(0);
            f.write(turned);
        }
        m_made.insert(it.key(), out);
    }
    QVERIFY(QDir(m_dir.path()).mkdir("out"));
}

void TestPhotoRoads::roads_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"heic", "avif", "jxl", "heic turned", "avif turned", "jxl turned"})
        QTest::newRow(name) << name;
}

void TestPhotoRoads::verifyIcon(const QString &ico, const QString &name)
{
    const QString listing = icotoolListing(ico);
    QCOMPARE(listing.count("--bit-depth=32"), kIconEntries);
    QVERIFY2(listing.contains("--width=256 --height=256"), qPrintable(listing));
    const QImage expected = IcoEncoder::fitToSquare(
            ImageFixtures::orientedByExif(ImageFixtures::sourceImage(kSourceSize, Source::Alpha),
                                          pictures().value(name).orientation),
            256);
    const QImage entry = largestEntry(ico);
    QCOMPARE(entry.size(), QSize(256, 256));
    // lossy codecs on smooth ramps: a few levels; a turned or mirrored picture is far off
    const double d = meanDifference(entry, expected);
    QVERIFY2(d < 4, qPrintable(QString::number(d)));
}

void TestPhotoRoads::directRoad()
{
    QFETCH(QString, name);
    const QString ico = m_dir.filePath("out/direct " + name + ".ico");
    QString reason;
    QVERIFY2(IcoEncoder::writeIcoFromSourceFile(path(name), ico, &reason), qPrintable(reason));
    verifyIcon(ico, name);
}

void TestPhotoRoads::commandLine()
{
    QFETCH(QString, name);
    const QString ico = m_dir.filePath("out/cli " + name + ".ico");
    QProcess cli;
    cli.start(QStringLiteral(GLYPHORA_BINARY_DIR "/bin/glyphora-cli"), {"-q", "ico", path(name), "-o", ico});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(cli.readAllStandardError(), QByteArray());
    verifyIcon(ico, name);
}

template<typename T>
void TestPhotoRoads::whenModal(QObject *parent, std::function<void(T *)> handler)
{
    ::whenModal<T>(parent, handler);
}

void TestPhotoRoads::dropFrame()
{
    QFETCH(QString, name);
    GlyphoraForm form(nullptr);
    form.resize(900, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *frame = form.findChild<QWidget *>("sourceFrame");
    auto *preview = form.findChild<QToolButton *>("sourceImageButton");
    auto *convert = form.findChild<QPushButton *>("convertButton");
    QVERIFY(frame && preview && convert);

    dropFiles(frame, {QUrl::fromLocalFile(path(name))});
    // a picture this small is previewed at its own size, turned as the file says:
    // 300 x 200 lies, the turned ones stand
    const bool turned = pictures().value(name).orientation >= 5;
    QCOMPARE(preview->icon().availableSizes().value(0),
             turned ? kSourceSize.transposed() : kSourceSize);
    QVERIFY(convert->isVisible());

    const QString ico = m_dir.filePath("out/dropped " + QString(name).replace(' ', '_') + ".ico");
    whenModal<QFileDialog>(&form, [&](QFileDialog *dialog) {
        QVERIFY(answerFileDialog(dialog, ico));
    });
    QString boxText;
    whenModal<QMessageBox>(&form, [&](QMessageBox *box) {
        boxText = box->text();
        box->accept();
    });
    QTest::mouseClick(convert, Qt::LeftButton);
    QCOMPARE(boxText, QStringLiteral("The Icon file have been successfully created."));
    verifyIcon(ico, name);
}

QTEST_MAIN(TestPhotoRoads)
#include "tst_photoroads.moc"
