// glyphora-cli's batch, png and compose commands as a build script meets them: outputs
// read back by Pillow and icotool, a batch with broken inputs, the names the dialogs
// give, exit statuses for the faults a user hits, a composition document that renders
// the same after a save and a load, the size sets, and the same bytes on every run.
#include <QtTest>

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

#include <unistd.h>

#include "ico/icoencoder.h"
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

// Fine lines and small dots: drawn at each size they stay sharp, scaled from another size
// they go soft.
const QByteArray kFineDrawing =
    "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 64 64'>\n"
    "<rect x='2' y='2' width='60' height='60' rx='8' fill='#2060c0'/>\n"
    "<circle cx='32' cy='32' r='20' fill='none' stroke='#ffffff' stroke-width='1.5'/>\n"
    "<path d='M8 32 H56 M32 8 V56 M12 12 L52 52' stroke='#ffd000' stroke-width='1'/>\n"
    "<circle cx='20' cy='44' r='3' fill='#ff3030'/>\n"
    "</svg>\n";
// The widths icotool lists, in directory order.
QList<int> icotoolWidths(const QString& ico)
{
    QList<int> widths;
    const Run listed = run("icotool", {"-l", ico});
    for (const QByteArray& line : listed.out.split('\n')) {
        const int at = line.indexOf("--width=");
        if (at >= 0)
            widths << line.mid(at + 8, line.indexOf(' ', at) - at - 8).toInt();
    }
    return widths;
}

// Every file under dir, by its path below dir, with its bytes.
QMap<QString, QByteArray> tree(const QString& dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), readFile(path));
    }
    return files;
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
    void sizeSets_data();
    void sizeSets();
    void dpiDrawnAtOwnSize();
    void sameBytesEveryRun();

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
    QVERIFY(writeFile(file("pics/fine.svg"), kFineDrawing));
    // an .ico of one 32x32 PNG entry with a byte of its image data changed
    QBuffer png;
    QVERIFY(png.open(QIODevice::WriteOnly) && picture(32, 32, qRgb(200, 40, 40)).save(&png, "PNG"));
    QByteArray damaged = png.data();
    damaged[damaged.size() / 2] = char(damaged.at(damaged.size() / 2) ^ 0x5a);
    QByteArray ico;
    QDataStream stream(&ico, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream << quint16(0) << quint16(1) << quint16(1) << quint8(32) << quint8(32) << quint16(0) << quint16(1)
           << quint16(32) << quint32(damaged.size()) << quint32(22);
    QVERIFY(writeFile(file("pics/damaged.ico"), ico + damaged));
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
    QTest::newRow("png: an icon whose one PNG is damaged")
        << QStringList{"png", "@pics/damaged.ico", "--group", "0", "--out-dir", out} << 1
        << "png: @pics/damaged.ico: no icon image could be read";
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
    QTest::newRow("ico: size 1025") << QStringList{"ico", "@pics/red.png", "-o", "@x.ico", "--sizes", "16,1025"} << 2
                                    << "ico: '1025' is not a size from 1 to 1024";
    QTest::newRow("ico: set among sizes") << QStringList{"ico", "@pics/red.png", "-o", "@x.ico", "--sizes", "dpi,512"}
                                          << 2 << "ico: 'dpi' is not a size";
    QTest::newRow("compose -o: size -16") << QStringList{"compose", "@doc.glyphora", "-o", "@x.ico", "--sizes=-16"}
                                          << 2 << "compose: '-16' is not a size";
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
    const QStringList commands{"ico", "list", "extract", "png", "compose", "lint"};
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

void TestCliBatch::sizeSets_data()
{
    QTest::addColumn<QStringList>("args");  // @out is the icon
    QTest::addColumn<QList<int>>("widths");
    const QList<int> dpi{16, 20, 24, 30, 32, 36, 40, 48, 60, 64, 72, 80, 96, 256};
    QTest::newRow("svg, default") << QStringList{"ico", "@pics/fine.svg", "-o", "@out", "--sizes", "default"}
                                  << QList<int>{16, 24, 32, 48, 64, 128, 256};
    QTest::newRow("svg, dpi") << QStringList{"ico", "@pics/fine.svg", "-o", "@out", "--sizes", "dpi"} << dpi;
    QTest::newRow("photo, minimal") << QStringList{"ico", "@pics/green.jpg", "-o", "@out", "--sizes", "minimal"}
                                    << QList<int>{16, 32, 48, 256};
    // in directory order, each once; 300 and 1024 are PNG whose directory bytes say 0
    QTest::newRow("photo, a list out of order") << QStringList{"ico", "@pics/red.png", "-o", "@out", "--sizes",
                                                               "1024,48,16,300,16"}
                                                << QList<int>{16, 48, 300, 1024};
    QTest::newRow("composition, dpi") << QStringList{"compose", "@doc.glyphora", "-o", "@out", "--sizes", "dpi"}
                                      << dpi;
}

// The icon holds the sizes asked for, each as large as its entry says (icotool reads the
// PNG's own header from 256 on).
void TestCliBatch::sizeSets()
{
    QFETCH(QStringList, args);
    QFETCH(QList<int>, widths);
    const QString ico = file("sizes.ico");
    QFile::remove(ico);
    for (QString& arg : args)
        arg = arg == "@out" ? ico : arg.replace(QLatin1Char('@'), m_dir.path() + QLatin1Char('/'));
    const Run r = run(kCli, QStringList{"-q"} + args);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(icotoolWidths(ico), widths);
    const QByteArray bytes = readFile(ico);
    for (int i = 0; i < widths.size(); ++i)
        QCOMPARE(quint8(bytes.at(6 + 16 * i)), quint8(widths.at(i) < 256 ? widths.at(i) : 0));
}

// An SVG is drawn afresh at each size of --sizes dpi: no entry is the 32-pixel one scaled.
void TestCliBatch::dpiDrawnAtOwnSize()
{
    const QString ico = file("fine-dpi.ico");
    QCOMPARE(run(kCli, {"-q", "ico", file("pics/fine.svg"), "-o", ico, "--sizes", "dpi"}).exitCode, 0);
    const QString out = file("fine-dpi");
    QVERIFY(QDir().mkpath(out));
    QCOMPARE(run("icotool", {"-x", "-o", out, ico}).exitCode, 0);
    QMap<int, QImage> entries;
    for (const QString& name : QDir(out).entryList({"*.png"})) {
        const QImage image = QImage(QDir(out).filePath(name)).convertToFormat(QImage::Format_ARGB32);
        entries.insert(image.width(), image);
    }
    QCOMPARE(entries.size(), 14);
    const QImage at32 = entries.value(32);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (it.key() == 32)
            continue;
        const QImage scaled = at32.scaled(it.key(), it.key(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                  .convertToFormat(QImage::Format_ARGB32);
        qint64 difference = 0;
        for (int y = 0; y < scaled.height(); ++y) {
            for (int x = 0; x < scaled.width(); ++x) {
                const QRgb a = it.value().pixel(x, y), b = scaled.pixel(x, y);
                difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b))
                    + std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b));
            }
        }
        // A scaled copy differs by next to nothing; the 16, drawn at half the 32, comes
        // closest of the true drawings, at about 2 a pixel.
        const double perPixel = double(difference) / (qint64(it.key()) * it.key());
        QVERIFY2(perPixel > 1, qPrintable(QStringLiteral("%1: %2 per pixel").arg(it.key()).arg(perPixel)));
    }
}

// The same inputs and options give the same bytes, for every kind of file the program
// writes: whatever --jobs, and whatever text (a time stamp) a picture carries beside its
// pixels.
void TestCliBatch::sameBytesEveryRun()
{
    QVERIFY(QDir(m_dir.path()).mkpath("same/a"));
    QVERIFY(QDir(m_dir.path()).mkpath("same/b"));
    // Two copies of one picture, saved an hour apart by a tool that stamps its files.
    for (const char* copy : {"a", "b"}) {
        QImage stamped = picture(300, 300, qRgba(200, 120, 40, 200));
        stamped.setText("date:modify", copy == QByteArray("a") ? "2026-01-01T10:00:00" : "2026-01-01T11:00:00");
        QVERIFY(stamped.save(file(QStringLiteral("same/%1/stamped.png").arg(QLatin1String(copy)))));
        QVERIFY(QFile::copy(file("pics/fine.svg"), file(QStringLiteral("same/%1/fine.svg").arg(QLatin1String(copy)))));
        QVERIFY(QFile::copy(file("pics/green.jpg"), file(QStringLiteral("same/%1/green.jpg").arg(QLatin1String(copy)))));
    }
    QVERIFY(readFile(file("same/a/stamped.png")) != readFile(file("same/b/stamped.png")));

    const auto twice = [&](const QString& kind, const QString& first, const QString& second) {
        const QMap<QString, QByteArray> a = QFileInfo(first).isDir() ? tree(first) : QMap<QString, QByteArray>{{QString(), readFile(first)}};
        const QMap<QString, QByteArray> b = QFileInfo(second).isDir() ? tree(second) : QMap<QString, QByteArray>{{QString(), readFile(second)}};
        QVERIFY2(!a.isEmpty() && !a.first().isEmpty(), qPrintable(kind));
        QCOMPARE(a.keys(), b.keys());
        for (auto it = a.cbegin(); it != a.cend(); ++it)
            QVERIFY2(it.value() == b.value(it.key()), qPrintable(kind + QLatin1Char(' ') + it.key()));
    };
    const QStringList pictures{"stamped.png", "fine.svg", "green.jpg"};
    for (const char* copy : {"a", "b"}) {
        const QString dir = file(QStringLiteral("same/%1").arg(QLatin1String(copy)));
        for (const QString& name : pictures)
            QCOMPARE(run(kCli, {"-q", "ico", dir + "/" + name, "-o", dir + "/" + name + ".ico", "--sizes", "dpi"}).exitCode, 0);
        QStringList inputs;
        for (const QString& name : pictures)
            inputs << dir + "/" + name;
        const QString jobs = copy == QByteArray("a") ? "1" : "2";
        QCOMPARE(run(kCli, QStringList{"-q", "ico"} + inputs + QStringList{"--out-dir", dir + "/batch", "--jobs", jobs}).exitCode, 0);
        QCOMPARE(run(kCli, {"-q", "png", dir + "/fine.svg.ico", "--group", "0", "--out-dir", dir + "/group"}).exitCode, 0);
        QCOMPARE(run(kCli, {"-q", "compose", file("doc.glyphora"), "-o", dir + "/doc.ico"}).exitCode, 0);
        QCOMPARE(run(kCli, {"-q", "compose", file("doc.glyphora"), "--png-dir", dir + "/doc", "--sizes", "dpi"}).exitCode, 0);
    }
    for (const QString& name : pictures)
        twice("ico " + name, file("same/a/" + name + ".ico"), file("same/b/" + name + ".ico"));
    twice("batch --jobs 1 and 2", file("same/a/batch"), file("same/b/batch"));
    twice("png", file("same/a/group"), file("same/b/group"));
    twice("compose -o", file("same/a/doc.ico"), file("same/b/doc.ico"));
    twice("compose --png-dir", file("same/a/doc"), file("same/b/doc"));

    // The GUI's writers: the composition document and the icon of "Go", the latter the
    // same bytes as compose -o writes.
    CompositionDocument document;
    QString error;
    QVERIFY2(document.load(file("doc.glyphora"), &error), qPrintable(error));
    const QImage render = IconRenderer::renderOutput(document.style, document.style.canvasSize, document.objects);
    for (const char* copy : {"a", "b"}) {
        const QString dir = file(QStringLiteral("same/%1").arg(QLatin1String(copy)));
        QVERIFY2(CompositionDocument::save(file("doc-" + QLatin1String(copy) + ".glyphora"), document.style,
                                           document.objects, &error),
                 qPrintable(error));
        QVERIFY2(IcoEncoder::writeIcoFromImage(render, dir + "/go.ico", &error), qPrintable(error));
    }
    twice("document", file("doc-a.glyphora"), file("doc-b.glyphora"));
    twice("Go", file("same/a/go.ico"), file("same/b/go.ico"));
    twice("Go and compose -o", file("same/a/go.ico"), file("same/a/doc.ico"));
}

QTEST_MAIN(TestCliBatch)
#include "tst_clibatch.moc"
