// glyphora-cli as a build script meets it: each kind of picture, the failures that must
// leave an old icon alone (exit 1, one line naming the file), usage errors (exit 2),
// --help, --version and -q.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>

#include <unistd.h>

#include "processrun.h"
#include "testfiles.h"

namespace {

const QString kCli = QStringLiteral(GLYPHORA_BINARY_DIR "/bin/glyphora-cli");
const QByteArray kOldIcon("an icon written earlier");

Run cli(const QStringList& args)
{
    return run(kCli, args);
}

int icotoolEntries(const QString& ico)
{
    const Run r = run(QStringLiteral("icotool"), {QStringLiteral("-l"), ico});
    if (r.exitCode != 0)
        return -1;
    return int(r.out.count("--bit-depth=32"));
}

QImage picture(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgba(x * 255 / w, y * 255 / h, 128, 255 - (x + y) % 64));
    return image;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void inputKinds_data();
    void inputKinds();
    void logLines();
    void failedInputKeepsOldIcon_data();
    void failedInputKeepsOldIcon();
    void unwritableFolder();
    void fullDiskKeepsOldFile_data();
    void fullDiskKeepsOldFile();
    void usageErrors_data();
    void usageErrors();
    void usageMessages_data();
    void usageMessages();
    void helpAndVersion();

private:
    QTemporaryDir m_dir;
};

void TestCli::initTestCase()
{
    QVERIFY(QFileInfo(kCli).isExecutable());
    QVERIFY(m_dir.isValid());
    const QImage image = picture(300, 200);
    QVERIFY(image.save(m_dir.filePath(QStringLiteral("pic.png"))));
    QByteArray damaged = readFile(m_dir.filePath(QStringLiteral("pic.png")));
    damaged[damaged.size() / 2] = char(damaged.at(damaged.size() / 2) ^ 0x5a);
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("damaged.png")), damaged));
    QVERIFY(image.save(m_dir.filePath(QStringLiteral("Photo.JPG")), "JPEG"));
    QVERIFY(image.save(m_dir.filePath(QStringLiteral("pic.bmp")), "BMP"));
    if (QImageWriter::supportedImageFormats().contains("tiff"))
        QVERIFY(image.save(m_dir.filePath(QStringLiteral("pic.tif")), "TIFF"));
    if (QImageWriter::supportedImageFormats().contains("webp"))
        QVERIFY(image.save(m_dir.filePath(QStringLiteral("pic.webp")), "WEBP"));
    // Qt writes no GIF; Debian's Pillow does
    const Run gif = run(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-c"),
                         QStringLiteral("import sys\nfrom PIL import Image\n"
                                        "Image.new('P', (64, 40), 3).save(sys.argv[1])"),
                         m_dir.filePath(QStringLiteral("pic.gif"))});
    QCOMPARE(gif.exitCode, 0);
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("logo.SVG")),
                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"50\">"
                       "<circle cx=\"50\" cy=\"25\" r=\"20\" fill=\"#3282F6\"/></svg>"));
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("notes.png")), "these are words, not pixels\n"));
}

void TestCli::inputKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("png") << "pic.png";
    QTest::newRow("upper-case JPG") << "Photo.JPG";
    QTest::newRow("bmp") << "pic.bmp";
    QTest::newRow("gif") << "pic.gif";
    QTest::newRow("tif") << "pic.tif";
    QTest::newRow("webp") << "pic.webp";
    QTest::newRow("upper-case SVG") << "logo.SVG";
}

void TestCli::inputKinds()
{
    QFETCH(QString, name);
    const QString input = m_dir.filePath(name);
    if (!QFile::exists(input))
        QSKIP("no Qt writer for this format here");
    const QString output = m_dir.filePath(name + QStringLiteral(".ico"));
    const Run r = cli({QStringLiteral("-q"), QStringLiteral("ico"), input, QStringLiteral("-o"), output});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray()); // -q: not a line
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(icotoolEntries(output), 7);
}

void TestCli::logLines()
{
    // Without -q the encoder's information lines show, its debug lines only with
    // --verbose; -q may also follow the command.
    const QString output = m_dir.filePath(QStringLiteral("log.ico"));
    Run r = cli({QStringLiteral("ico"), m_dir.filePath(QStringLiteral("pic.png")), QStringLiteral("--output"), output});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(!r.err.contains("Encoded 16 x 16"));
    QVERIFY(r.err.contains("Success! Multi-resolution ICO file saved to:"));
    QVERIFY(r.err.contains("Total images included: 7"));
    r = cli({QStringLiteral("ico"), QStringLiteral("--verbose"), m_dir.filePath(QStringLiteral("pic.png")),
             QStringLiteral("-o"), output});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.contains("Encoded 16 x 16 BMP size: 1128 bytes"));
    QVERIFY(r.err.contains("Total images included: 7"));
    r = cli({QStringLiteral("ico"), m_dir.filePath(QStringLiteral("pic.png")), QStringLiteral("-o"), output,
             QStringLiteral("-q")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());
}

void TestCli::failedInputKeepsOldIcon_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << "missing.png" << "No such file";
    QTest::newRow("text file named .png") << "notes.png" << "";
    // libpng prints its own error line about it; -q drops that too
    QTest::newRow("PNG with a damaged image chunk") << "damaged.png" << "";
}

void TestCli::failedInputKeepsOldIcon()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QString input = m_dir.filePath(name);
    const QString output = m_dir.filePath(QStringLiteral("old.ico"));
    QVERIFY(writeFile(output, kOldIcon));
    for (bool quiet : {true, false}) {
        QStringList args{QStringLiteral("ico"), input, QStringLiteral("-o"), output};
        if (quiet)
            args.prepend(QStringLiteral("-q"));
        const Run r = cli(args);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(readFile(output), kOldIcon);
        // the last line (with -q the only one) names the input and says why
        const QList<QByteArray> lines = r.err.trimmed().split('\n');
        if (quiet)
            QCOMPARE(lines.size(), 1);
        const QByteArray last = lines.last();
        QVERIFY2(last.startsWith("glyphora-cli: " + input.toUtf8() + ": "), last.constData());
        QVERIFY(last.size() > qsizetype(("glyphora-cli: " + input.toUtf8() + ": ").size()));
        if (!reason.isEmpty())
            QVERIFY2(last.contains(reason.toUtf8()), last.constData());
    }
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("old.ico*")}, QDir::Files).size(), 1);
}

void TestCli::unwritableFolder()
{
    // A folder the writer may not create files in.  root passes any permission bits, so
    // as root the program runs as nobody.
    QTemporaryDir base;
    QVERIFY(QFile::setPermissions(base.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                   | QFileDevice::ReadOther | QFileDevice::ExeOther
                                                   | QFileDevice::ReadGroup | QFileDevice::ExeGroup));
    const QString input = base.filePath(QStringLiteral("pic.png"));
    QVERIFY(picture(64, 64).save(input));
    const QString folder = base.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(folder));
    const QString output = QDir(folder).filePath(QStringLiteral("old.ico"));
    QVERIFY(writeFile(output, kOldIcon));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                              | QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup));

    Run r;
    if (geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("running as root without setpriv");
        r = run(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                          QStringLiteral("--clear-groups"), kCli, QStringLiteral("-q"), QStringLiteral("ico"), input,
                          QStringLiteral("-o"), output});
    } else {
        r = cli({QStringLiteral("-q"), QStringLiteral("ico"), input, QStringLiteral("-o"), output});
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(readFile(output), kOldIcon);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
    const QList<QByteArray> lines = r.err.trimmed().split('\n');
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains("cannot write") && lines.first().contains(output.toUtf8()), lines.first().constData());
}

void TestCli::fullDiskKeepsOldFile_data()
{
    QTest::addColumn<QStringList>("args");  // @ stands for the folder written to
    QTest::addColumn<QString>("old");       // a file there before the run
    QTest::addColumn<int>("limit");         // bytes a file may grow to
    const QString pic = m_dir.filePath(QStringLiteral("pic.png"));
    const QString doc = QStringLiteral(GLYPHORA_SOURCE_DIR "/examples/badge.glyphora");
    // 1150 bytes: Qt holds all of them back until the commit
    QTest::newRow("ico, one small entry") << QStringList{"ico", pic, "-o", "@/old.ico", "--sizes", "16"} << "old.ico"
                                          << 1024;
    QTest::newRow("ico") << QStringList{"ico", pic, "-o", "@/old.ico"} << "old.ico" << 4096;
    QTest::newRow("compose -o") << QStringList{"compose", doc, "-o", "@/old.ico"} << "old.ico" << 4096;
    // sets: the small files fit, 256 does not, and none of them may stay
    QTest::newRow("compose --png-dir") << QStringList{"compose", doc, "--png-dir", "@"} << "16x16.png" << 4096;
    QTest::newRow("png --out-dir") << QStringList{"png", QStringLiteral(GLYPHORA_SOURCE_DIR "/resources/windows/glyphora.ico"),
                                                  "--group", "0", "--out-dir", "@"}
                                   << "0_16x16_32bits.png" << 4096;
}

// A disk that fills while a file or a set is written (fileSizeLimit stands in for it).
// Exit 1, the system's reason, the old file whole and nothing else left.
void TestCli::fullDiskKeepsOldFile()
{
    QFETCH(QStringList, args);
    QFETCH(QString, old);
    QFETCH(int, limit);
    QTemporaryDir dir;
    for (QString& arg : args)
        arg.replace(QLatin1Char('@'), dir.path());
    const QString oldPath = dir.filePath(old);
    QVERIFY(writeFile(oldPath, kOldIcon));
    const Run r = run(kCli, QStringList{"-q"} + args, fileSizeLimit(limit));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(std::strerror(EFBIG)) && !r.err.contains("libpng"), r.err.constData());
    QCOMPARE(readFile(oldPath), kOldIcon);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList(old));
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    const QString in = QStringLiteral("pic.png");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown command") << QStringList{QStringLiteral("svg"), in};
    QTest::newRow("unknown global option") << QStringList{QStringLiteral("--fast"), QStringLiteral("ico"), in};
    QTest::newRow("ico alone") << QStringList{QStringLiteral("ico")};
    QTest::newRow("no output") << QStringList{QStringLiteral("ico"), in};
    QTest::newRow("-o without a name") << QStringList{QStringLiteral("ico"), in, QStringLiteral("-o")};
    QTest::newRow("empty output name") << QStringList{QStringLiteral("ico"), in, QStringLiteral("--output=")};
    QTest::newRow("two inputs") << QStringList{QStringLiteral("ico"), in, in, QStringLiteral("-o"), QStringLiteral("x.ico")};
    QTest::newRow("two outputs") << QStringList{QStringLiteral("ico"), in, QStringLiteral("-o"), QStringLiteral("a.ico"),
                                                QStringLiteral("-o"), QStringLiteral("b.ico")};
    QTest::newRow("unknown ico option") << QStringList{QStringLiteral("ico"), in, QStringLiteral("-o"),
                                                       QStringLiteral("x.ico"), QStringLiteral("--size=16")};
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, args);
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(kCli, args);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    const QByteArray err = process.readAllStandardError();
    QVERIFY(err.startsWith("glyphora-cli: "));
    QVERIFY(err.contains("--help"));
    // nothing written by a command line that was not understood
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("x.ico"))));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("a.ico"))));
}

void TestCli::usageMessages_data()
{
    // The first line names the offending word as it was typed.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("global") << QStringList{"--fast", "ico"} << QByteArray("unknown option '--fast'");
    QTest::newRow("global flag with a value") << QStringList{"--version=2"} << QByteArray("unknown option '--version=2'");
    QTest::newRow("no word splitting") << QStringList{"-qh"} << QByteArray("unknown option '-qh'");
    QTest::newRow("command") << QStringList{"ico", "a.png", "-o", "x.ico", "--size=16"}
                             << QByteArray("ico: unknown option '--size=16'");
    QTest::newRow("-o glued to its value") << QStringList{"ico", "a.png", "-ox.ico"}
                                           << QByteArray("ico: unknown option '-ox.ico'");
    QTest::newRow("--output last") << QStringList{"extract", "a.dll", "--output"}
                                   << QByteArray("extract: --output needs a file name");
    QTest::newRow("flag with a value") << QStringList{"list", "--json=1", "a.dll"}
                                       << QByteArray("list: unknown option '--json=1'");
    QTest::newRow("-o after --") << QStringList{"ico", "--", "-o", "x.ico"}
                                 << QByteArray("ico: more than one file given ('x.ico')");
    QTest::newRow("second file") << QStringList{"list", "a.dll", "b.dll"}
                                 << QByteArray("list: more than one file given ('b.dll')");
}

void TestCli::usageMessages()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, line);
    const Run r = cli(args);
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.err, "glyphora-cli: " + line + "\nTry 'glyphora-cli --help'.\n");
}

void TestCli::helpAndVersion()
{
    Run r = cli({QStringLiteral("--version")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("glyphora-cli 3.2.0\n"));
    r = cli({QStringLiteral("--help")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("glyphora-cli ico INPUT -o OUTPUT.ico"));
    QVERIFY(r.out.contains("--sizes LIST"));
    QVERIFY(r.out.contains("-q"));
    r = cli({QStringLiteral("ico"), QStringLiteral("--help")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.startsWith("Usage: glyphora-cli ico INPUT -o OUTPUT.ico"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
