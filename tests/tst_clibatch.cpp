// glyphora-cli's batch, png and compose commands as a build script meets them: outputs
// read back by Pillow and icotool, a batch with broken inputs, the names the dialogs
// give, exit statuses for the faults a user hits, and a composition document that
// renders the same after a save and a load.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

#include <unistd.h>

#include "processrun.h"
#include "render/compositiondocument.h"
#include "render/iconrenderer.h"
#include "testfiles.h"

namespace {

const QString kCli = QStringLiteral(GLYPHORA_BINARY_DIR "/bin/glyphora-cli");

// "WxH" of each file, as Pillow reads it; "error" for one it cannot read.
QStringList pillowSizes(const QStringList& files)
{
    const Run r = run(QStringLiteral("/usr/bin/python3"),
                      QStringList{QStringLiteral("-c"),
                                  QStringLiteral("import sys\nfrom PIL import Image\n"
                                                 "for f in sys.argv[1:]:\n"
                                                 "    try:\n"
                                                 "        im = Image.open(f); im.load(); print('%dx%d %s' % (im.width, im.height, im.format))\n"
                                                 "    except Exception:\n"
                                                 "        print('error')\n")}
                          + files);
    return QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QImage picture(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    QPainter painter(&image);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRect(w / 4, h / 4, w / 2, h / 2));
    return image;
}

// A document with every effect: rounded container, gradient, 3D, gloss, border, badge.
QByteArray everyEffect(const QStringList& pictures, int canvasSize)
{
    QJsonObject container{{"shape", 1}, {"radius", 400}, {"useBackground", true}, {"backStyle", 1},
                          {"backOrientation", 4}, {"backColor1", "#20a0f0"}, {"backColor2", "#fff200"},
                          {"useBack3dEffect", true}, {"useBorder", true}, {"borderWidth", 7},
                          {"useGlossy", true}, {"clipImage", true}};
    QJsonObject badge{{"useBadge", true}, {"badgeText", "NEW"}, {"badgeOrientation", 0}};
    QJsonArray objects;
    for (int i = 0; i < pictures.size(); ++i)
        objects.append(QJsonObject{{"id", i}, {"picture", pictures.at(i)}, {"x", 20 + 15 * i},
                                   {"y", 30 + 10 * i}, {"scale", 40 + 5 * i}, {"rotation", 9 * i}});
    return QJsonDocument(QJsonObject{{"format", "glyphora-composition"},
                                     {"version", 1},
                                     {"style", QJsonObject{{"Container", container},
                                                           {"Badge", badge},
                                                           {"Canvas", QJsonObject{{"canvasSize", canvasSize}}}}},
                                     {"objects", objects}})
        .toJson();
}

} // namespace

class TestCliBatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void composePngDir();
    void composeIcoMatchesRenderer();
    void batchWithBrokenInputs();
    void batchSameNameStopsFirst();
    void pngNamedAsTheDialog();
    void faults_data();
    void faults();
    void unwritableOutputFolder();
    void documentRoundTrip();
    void badDocuments_data();
    void badDocuments();
    void readmeExamples();

private:
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestCliBatch::initTestCase()
{
    QVERIFY(QFileInfo(kCli).isExecutable());
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("pics")));
    QVERIFY(picture(640, 480, qRgb(200, 40, 40)).save(file("pics/red.png")));
    QVERIFY(picture(300, 500, qRgb(40, 160, 40)).save(file("pics/green.jpg"), "JPEG"));
    QVERIFY(picture(1200, 1200, qRgba(40, 40, 200, 180)).save(file("pics/blue.png")));
    QVERIFY(writeFile(file("pics/words.png"), "these are words, not pixels\n"));
    QVERIFY(writeFile(file("pics/text.exe"), "plain text, no executable\n"));
    QVERIFY(writeFile(file("doc.glyphora"),
                      everyEffect({"pics/red.png", "pics/green.jpg", "pics/blue.png"}, 2)));
}

void TestCliBatch::composePngDir()
{
    const QString out = file("pngs");
    const Run r = run(kCli, {"-q", "compose", file("doc.glyphora"), "--png-dir", out, "--sizes", "16,48,300,1024"});
    QCOMPARE(r.exitCode, 0);
    const QStringList names{"16x16.png", "48x48.png", "300x300.png", "1024x1024.png"};
    QStringList paths;
    for (const QString& name : names)
        paths << QDir(out).filePath(name);
    QCOMPARE(pillowSizes(paths), QStringList({"16x16 PNG", "48x48 PNG", "300x300 PNG", "1024x1024 PNG"}));
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), names.size());
    // the render is not empty: the container's gradient shows in the middle
    const QImage big(paths.last());
    QVERIFY(qAlpha(big.pixel(512, 512)) > 0);
}

void TestCliBatch::composeIcoMatchesRenderer()
{
    const QString out = file("composed.ico");
    const Run r = run(kCli, {"-q", "compose", file("doc.glyphora"), "-o", out});
    QCOMPARE(r.exitCode, 0);
    // the 512 canvas: 16 ... 256, then 512 (PNG) from the wider master
    const Run listed = run("icotool", {"-l", out});
    QCOMPARE(listed.exitCode, 0);
    QCOMPARE(int(listed.out.count("--icon")), 8);
    QVERIFY(listed.out.contains("--width=512 --height=512"));
}

void TestCliBatch::batchWithBrokenInputs()
{
    const QString out = file("batch");
    const QStringList inputs{file("pics/red.png"), file("pics/words.png"), file("pics/green.jpg"),
                             file("pics/absent.png"), file("pics/blue.png")};
    for (const QString& jobs : {QStringLiteral("1"), QStringLiteral("3")}) {
        QDir(out).removeRecursively();
        const Run r = run(kCli, QStringList{"-q", "ico"} + inputs + QStringList{"--out-dir", out, "--jobs", jobs});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList({"blue.ico", "green.ico", "red.ico"}));
        for (const QString& name : {"blue.ico", "green.ico", "red.ico"})
            QCOMPARE(run("icotool", {"-l", QDir(out).filePath(name)}).out.count("--icon"), 7);
        // one line per failure, naming the file; no progress bar on a pipe
        QList<QByteArray> lines = r.err.trimmed().split('\n');
        std::sort(lines.begin(), lines.end());
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith(("glyphora-cli: " + file("pics/absent.png") + ": ").toUtf8()), lines.at(0));
        QVERIFY2(lines.at(1).startsWith(("glyphora-cli: " + file("pics/words.png") + ": ").toUtf8()), lines.at(1));
        QVERIFY(!r.err.contains('\r'));
        QCOMPARE(r.out, QByteArray("ico: 3 converted, 2 failed\n"));
    }
}

void TestCliBatch::batchSameNameStopsFirst()
{
    QVERIFY(QDir(m_dir.path()).mkpath("other"));
    QVERIFY(QFile::copy(file("pics/green.jpg"), file("other/red.jpg")));
    const QString out = file("samename");
    const Run r = run(kCli, {"ico", file("pics/blue.png"), file("pics/red.png"), file("other/red.jpg"),
                             "--out-dir", out});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(file("pics/red.png").toUtf8()) && r.err.contains(file("other/red.jpg").toUtf8()),
             r.err.constData());
    QVERIFY(!QFileInfo::exists(out));  // nothing written, not even blue.ico
}

void TestCliBatch::pngNamedAsTheDialog()
{
    // An .ico of the seven sizes, then its one group as PNG files.
    const QString ico = file("forpng.ico");
    QCOMPARE(run(kCli, {"-q", "ico", file("pics/red.png"), "-o", ico}).exitCode, 0);
    const QString out = file("grouppng");
    Run r = run(kCli, {"-q", "png", ico, "--group", "0", "--out-dir", out});
    QCOMPARE(r.exitCode, 0);
    QStringList expected;
    for (const int side : {16, 24, 32, 48, 64, 128, 256})
        expected << QStringLiteral("0_%1x%1_32bits.png").arg(side);  // the group's id, 0 for an .ico
    QStringList written = QDir(out).entryList(QDir::Files);
    expected.sort();
    written.sort();
    QCOMPARE(written, expected);
    QCOMPARE(pillowSizes({QDir(out).filePath("0_48x48_32bits.png")}), QStringList{"48x48 PNG"});

    r = run(kCli, {"-q", "png", ico, "--group", "0", "--out-dir", out, "--name", "app"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(QFileInfo::exists(QDir(out).filePath("app_256x256_32bits.png")));
    // a name that is a path, and a row past the groups
    QCOMPARE(run(kCli, {"png", ico, "--group", "0", "--out-dir", out, "--name", "../up"}).exitCode, 2);
    r = run(kCli, {"png", ico, "--group", "1", "--out-dir", out});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("no group at row 1"), r.err.constData());
}

void TestCliBatch::faults_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("named");
    const QString out = QStringLiteral("@out");
    QTest::newRow("batch: missing file") << QStringList{"ico", "@pics/absent.png", "--out-dir", out} << 1
                                         << "@pics/absent.png: No such file";
    QTest::newRow("batch: non-picture") << QStringList{"ico", "@pics/words.png", "--out-dir", out} << 1
                                        << "@pics/words.png: ";
    QTest::newRow("png: missing file") << QStringList{"png", "@pics/absent.exe", "--group", "0", "--out-dir", out}
                                       << 1 << "png: @pics/absent.exe: no such file";
    QTest::newRow("png: text file named .exe")
        << QStringList{"png", "@pics/text.exe", "--group", "0", "--out-dir", out} << 1
        << "png: @pics/text.exe: not a readable executable or library";
    QTest::newRow("png: a picture, not an icon file")
        << QStringList{"png", "@pics/red.png", "--group", "0", "--out-dir", out} << 1 << "png: @pics/red.png: ";
    QTest::newRow("compose: missing document") << QStringList{"compose", "@absent.glyphora", "-o", "@x.ico"} << 1
                                               << "compose: @absent.glyphora: no such file";
    QTest::newRow("compose: a picture as document")
        << QStringList{"compose", "@pics/red.png", "-o", "@x.ico"} << 1 << "compose: @pics/red.png: not a JSON document";
    QTest::newRow("compose: both outputs")
        << QStringList{"compose", "@doc.glyphora", "-o", "@x.ico", "--png-dir", out} << 2 << "compose: give one of";
    QTest::newRow("compose: size 0") << QStringList{"compose", "@doc.glyphora", "--png-dir", out, "--sizes", "16,0"}
                                     << 2 << "compose: '0' is not a size";
    QTest::newRow("ico: -o and --out-dir") << QStringList{"ico", "@pics/red.png", "-o", "@x.ico", "--out-dir", out}
                                           << 2 << "ico: give -o";
    QTest::newRow("ico: --jobs without --out-dir") << QStringList{"ico", "@pics/red.png", "-o", "@x.ico", "--jobs", "2"}
                                                   << 2 << "ico: --jobs goes with --out-dir";
    QTest::newRow("png: no group") << QStringList{"png", "@pics/text.exe", "--out-dir", out} << 2
                                   << "png: --group needs a row number";
}

// The status, one line naming the file (or the argument) and nothing written.
void TestCliBatch::faults()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, named);
    for (QString& arg : args)
        arg.replace(QLatin1Char('@'), m_dir.path() + QLatin1Char('/'));
    named.replace(QLatin1Char('@'), m_dir.path() + QLatin1Char('/'));
    QDir(file("out")).removeRecursively();
    const Run r = run(kCli, QStringList{"-q"} + args);
    QCOMPARE(r.exitCode, status);
    const QByteArray first = r.err.split('\n').first();
    QVERIFY2(first.startsWith("glyphora-cli: ") && first.contains(named.toUtf8()), r.err.constData());
    QVERIFY(!QFileInfo::exists(file("x.ico")));
    QCOMPARE(QDir(file("out")).entryList(QDir::Files), QStringList());
}

void TestCliBatch::unwritableOutputFolder()
{
    const QString locked = file("locked");
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFileDevice::ExeOther
                                                    | QFileDevice::ReadOther));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                              | QFileDevice::ExeOther));
    const QStringList args{"-q", "ico", file("pics/red.png"), file("pics/green.jpg"), "--out-dir", locked};
    Run r;
    if (geteuid() == 0) {
        // root writes anywhere: run as nobody, who may read the pictures but not write here
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("running as root without setpriv");
        QVERIFY(QFile::setPermissions(file("pics"), QFile::permissions(file("pics")) | QFileDevice::ExeOther
                                                         | QFileDevice::ReadOther));
        r = run(setpriv, QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", kCli} + args);
    } else {
        r = run(kCli, args);
    }
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList());
    const QList<QByteArray> lines = r.err.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    for (const QByteArray& line : lines)
        QVERIFY2(line.contains("cannot write") && line.contains(locked.toUtf8()), line.constData());
    QCOMPARE(r.out, QByteArray("ico: 0 converted, 2 failed\n"));
}

void TestCliBatch::documentRoundTrip()
{
    CompositionDocument first;
    QString error;
    QVERIFY2(first.load(file("doc.glyphora"), &error), qPrintable(error));
    QCOMPARE(first.objects.size(), 3);
    QCOMPARE(first.style.radius, 360);  // 400 clamped as the radius control clamps it

    // saved in another folder: the picture paths follow, relative to the new place
    QVERIFY(QDir(m_dir.path()).mkpath("saved/deeper"));
    const QString saved = file("saved/deeper/again.glyphora");
    QVERIFY2(CompositionDocument::save(saved, first.style, first.objects, &error), qPrintable(error));
    const QJsonObject json = QJsonDocument::fromJson(readFile(saved)).object();
    QCOMPARE(json.value("objects").toArray().at(1).toObject().value("picture").toString(),
             QStringLiteral("../../pics/green.jpg"));

    CompositionDocument second;
    QVERIFY2(second.load(saved, &error), qPrintable(error));
    QCOMPARE(second.style.values(), first.style.values());
    const QImage a = IconRenderer::renderOutput(first.style, first.style.canvasSize, first.objects);
    const QImage b = IconRenderer::renderOutput(second.style, second.style.canvasSize, second.objects);
    QCOMPARE(a.size(), QSize(512, 512));
    QCOMPARE(a, b);
}

void TestCliBatch::badDocuments_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");
    QTest::newRow("not JSON") << QByteArray("<svg/>") << "not a JSON document";
    QTest::newRow("an array") << QByteArray("[1, 2]") << "no JSON object";
    QTest::newRow("other format") << QByteArray(R"({"format": "x", "version": 1})") << "not a composition document";
    QTest::newRow("version 2") << QByteArray(R"({"format": "glyphora-composition", "version": 2})")
                               << "unknown format version 2";
    QTest::newRow("missing picture")
        << QByteArray(R"({"format": "glyphora-composition", "version": 1, "objects": [{"id": 4, "picture": "gone.png"}]})")
        << "Image4: picture " + file("gone.png") + " not found";
    QTest::newRow("picture of words")
        << QByteArray(R"({"format": "glyphora-composition", "version": 1, "objects": [{"id": 1, "picture": "pics/words.png"}]})")
        << "Image1: picture " + file("pics/words.png") + " cannot be read";
    QTest::newRow("same id twice")
        << QByteArray(R"({"format": "glyphora-composition", "version": 1, "objects": [{"id": 1, "picture": "pics/red.png"}, {"id": 1, "picture": "pics/red.png"}]})")
        << "the id 1 is given twice";
    QTest::newRow("radius as text")
        << QByteArray(R"({"format": "glyphora-composition", "version": 1, "style": {"Container": {"radius": "big"}}})")
        << "Container/radius is not a number";
    QTest::newRow("huge scale number")
        << QByteArray(R"({"format": "glyphora-composition", "version": 1, "objects": [{"id": 0, "picture": "pics/red.png", "x": 1e300, "scale": "x"}]})")
        << "\"scale\" is not a number";
}

// A named reason, and the document loaded before stays as it was.
void TestCliBatch::badDocuments()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, message);
    CompositionDocument document;
    QString error;
    QVERIFY(document.load(file("doc.glyphora"), &error));
    const QVariantMap style = document.style.values();
    QVERIFY(!document.fromJson(json, QDir(m_dir.path()), &error));
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(document.objects.size(), 3);
    QCOMPARE(document.style.values(), style);
}

// The README's command-line examples, as written, from the top of the checkout; only the
// tool's path and the /tmp outputs are moved to this build and this test's folder.
void TestCliBatch::readmeExamples()
{
    const QString readme = QString::fromUtf8(readFile(QStringLiteral(GLYPHORA_SOURCE_DIR "/README.md")));
    const int section = readme.indexOf(QLatin1String("## Command line"));
    QVERIFY(section >= 0);
    const int start = readme.indexOf(QLatin1String("```sh\n"), section) + 6;
    const int end = readme.indexOf(QLatin1String("```"), start);
    QVERIFY(start > 6 && end > start);
    QString script = readme.mid(start, end - start);
    QVERIFY(script.contains(QLatin1String("cli=build/bin/glyphora-cli\n")));
    // outputs first: the build itself may live under /tmp
    script.replace(QLatin1String("/tmp/"), m_dir.path() + QLatin1String("/readme-"));
    script.replace(QLatin1String("cli=build/bin/glyphora-cli"), QLatin1String("cli=") + kCli);
    const QStringList commands{"ico", "list", "extract", "png", "compose"};
    for (const QString& command : commands)
        QVERIFY2(script.contains(QLatin1String("$cli ") + command + QLatin1Char(' ')), qPrintable(command));
    if (!QFileInfo::exists(QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/comdlg32.dll")))
        QSKIP("wine's comdlg32.dll is missing");
    QProcess shell;
    shell.setWorkingDirectory(QStringLiteral(GLYPHORA_SOURCE_DIR));
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-ec"), script});
    QVERIFY(shell.waitForFinished(120000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
    QCOMPARE(pillowSizes({file("readme-badge/256x256.png"), file("readme-pngs/app_48x48_8bits.png")}),
             QStringList({"256x256 PNG", "48x48 PNG"}));
}

QTEST_MAIN(TestCliBatch)
#include "tst_clibatch.moc"
