// glyphora-cli lint and the checks behind it, on icons nobody here judged by hand:
// - the icons this program writes, at every size set, lint without a warning;
// - icons written by ImageMagick and Pillow get exactly the findings a reading of their
//   bytes by Python says are true (PNG below 256, bitmap at 256, size order, sizes);
// - libraries: wine's own lint without an error, and groups built to break a rule get it;
// - hostile bytes: every cut and every field pushed to its limit gives findings, never a
//   read outside the file (the sanitized build runs this test too).
// The rules' verdicts on broken .ico files are held against the Windows loader under
// wine in tests/win32/run-wine-lint.sh.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "ico/icoencoder.h"
#include "ico/icofile.h"
#include "ico/icolint.h"
#include "pewriter.h"
#include "processrun.h"
#include "testicons.h"

namespace {

const QString kCli = QStringLiteral(GLYPHORA_BINARY_DIR "/bin/glyphora-cli");
const QString kPython = QStringLiteral("/usr/bin/python3");
const char kWineFolder[] = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";

QStringList rulesOf(const QList<IcoLint::Finding>& findings, IcoLint::Severity atLeast)
{
    QStringList rules;
    for (const IcoLint::Finding& finding : findings) {
        if (finding.severity >= atLeast)
            rules.append(QStringLiteral("%1@%2").arg(finding.rule).arg(finding.entry));
    }
    return rules;
}

QByteArray writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return bytes;
}

// An .ico as the encoder writes one, at the sizes given: each entry drawn by draw(side).
QByteArray icoOf(const QList<int>& sizes, const std::function<QImage(int)>& draw)
{
    QList<IcoFile::Image> images;
    for (int side : sizes) {
        const QImage image = draw(side).convertToFormat(QImage::Format_ARGB32);
        IcoFile::Image entry;
        entry.entry.width = entry.entry.height = quint8(side % 256);
        entry.entry.planes = 1;
        entry.entry.bitCount = 32;
        entry.payload = side < IcoEncoder::kFirstPngSize ? IcoEncoder::encodeDib(image)
                                                         : TestIcons::pngPayload(image);
        images.append(entry);
    }
    return IcoFile::bytes(images).value_or(QByteArray());
}

QByteArray soundIco()
{
    return icoOf({16, 32}, [](int side) {
        QImage image(side, side, QImage::Format_ARGB32);
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x)
                image.setPixel(x, y, qRgba(x * 8, y * 8, (x ^ y) * 8, 255));
        }
        return image;
    });
}

} // namespace

class TestIcoLint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void ownIconsLintClean_data();
    void ownIconsLintClean();
    void upscaled_data();
    void upscaled();
    void upscaledAmongSizes_data();
    void upscaledAmongSizes();
    void peerIcons_data();
    void peerIcons();
    void libraryGroups_data();
    void libraryGroups();
    void repeatedImagesJudgedAlike();
    void wineLibraries();
    void hostileFields_data();
    void hostileFields();
    void everyCut();
    void commandLine();
    void severalFiles_data();
    void severalFiles();

private:
    QTemporaryDir m_dir;
    QString m_inputs;
};

void TestIcoLint::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_inputs = m_dir.filePath("inputs");
    const Run made = run(kPython, {QStringLiteral(GLYPHORA_SOURCE_DIR "/bench/make-inputs.py"), m_inputs});
    QCOMPARE(made.exitCode, 0);
}

void TestIcoLint::ownIconsLintClean_data()
{
    QTest::addColumn<QString>("sizes");
    for (const char* set : {"default", "dpi", "minimal", "16,32,48,256,512,1024"})
        QTest::newRow(set) << QString::fromLatin1(set);
}

// The program's own icons of a photo, a soft picture, a wide one and a drawing, at each
// size set: icotool reads every entry, and lint finds nothing to warn about.
void TestIcoLint::ownIconsLintClean()
{
    QFETCH(QString, sizes);
    QStringList icons;
    for (const char* input : {"photo.jpg", "soft.png", "wide.png", "drawing.svg"}) {
        const QString out = m_dir.filePath(QStringLiteral("own-%1.ico").arg(input));
        QCOMPARE(run(kCli, {"-q", "ico", QDir(m_inputs).filePath(input), "-o", out, "--sizes", sizes}).exitCode, 0);
        QVERIFY(run("icotool", {"-l", out}).out.count("--icon") >= 3);
        icons.append(out);
    }
    const Run linted = run(kCli, QStringList{"lint"} + icons);
    QCOMPARE(linted.exitCode, 0);
    QVERIFY2(!linted.out.contains(" warning ") && !linted.out.contains(" error "), linted.out.constData());
}

void TestIcoLint::upscaled_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("transform");  // Qt::TransformationMode; -1: drawn at 256 itself
    QTest::newRow("256 from 32, nearest") << 32 << int(Qt::FastTransformation);
    QTest::newRow("256 from 32, bilinear") << 32 << int(Qt::SmoothTransformation);
    QTest::newRow("256 drawn itself") << 32 << -1;
}

// The photo at 16 and at a small size, and at 256 either drawn from the photo or
// enlarged from the small image, as an icon editor's "resize up" does.
void TestIcoLint::upscaled()
{
    QFETCH(int, from);
    QFETCH(int, transform);
    QImage picture;
    QVERIFY(picture.load(QDir(m_inputs).filePath("photo.jpg")));
    const QImage small = IcoEncoder::fitToSquare(picture, from);
    const QByteArray ico = icoOf({16, from, 256}, [&](int side) {
        if (side == 256 && transform >= 0)
            return small.scaled(side, side, Qt::IgnoreAspectRatio, Qt::TransformationMode(transform));
        return IcoEncoder::fitToSquare(picture, side);
    });
    QStringList found;
    for (const IcoLint::Finding& finding : IcoLint::checkIcoBytes(ico)) {
        if (finding.rule == "upscaled")
            found.append(QStringLiteral("%1: %2").arg(finding.entry).arg(finding.text));
    }
    const QStringList expected = transform >= 0
        ? QStringList{QStringLiteral("3: blurry: upscaled from %1x%1 (entry 2)").arg(from)}
        : QStringList();
    QCOMPARE(found, expected);
}

void TestIcoLint::upscaledAmongSizes_data()
{
    QTest::addColumn<int>("enlarged");   // the side drawn as an enlargement
    QTest::addColumn<int>("from");       // of this side, or 0 for a flat square of it
    QTest::addColumn<int>("transform");  // Qt::TransformationMode
    QTest::addColumn<QString>("expected");
    QTest::newRow("256 from 48, bilinear") << 256 << 48 << int(Qt::SmoothTransformation)
                                           << "4: blurry: upscaled from 48x48 (entry 3)";
    QTest::newRow("256 from 16, nearest") << 256 << 16 << int(Qt::FastTransformation)
                                          << "4: blurry: upscaled from 16x16 (entry 1)";
    QTest::newRow("48 from 16, nearest") << 48 << 16 << int(Qt::FastTransformation)
                                         << "3: blurry: upscaled from 16x16 (entry 1)";
    QTest::newRow("256 from a flat 16") << 256 << 0 << int(Qt::SmoothTransformation) << "";
}

// The photo at 16, 32, 48 and 256, one of them enlarged from a smaller one: each larger
// image is held against every smaller one, and the finding names the one it came from.
void TestIcoLint::upscaledAmongSizes()
{
    QFETCH(int, enlarged);
    QFETCH(int, from);
    QFETCH(int, transform);
    QFETCH(QString, expected);
    QImage picture;
    QVERIFY(picture.load(QDir(m_inputs).filePath("photo.jpg")));
    QImage source;
    if (from) {
        source = IcoEncoder::fitToSquare(picture, from);
    } else {
        source = QImage(16, 16, QImage::Format_ARGB32);
        source.fill(qRgba(40, 90, 160, 255));
    }
    const QByteArray ico = icoOf({16, 32, 48, 256}, [&](int side) {
        if (side == enlarged)
            return source.scaled(side, side, Qt::IgnoreAspectRatio, Qt::TransformationMode(transform));
        if (!from && side == 16)
            return source;
        return IcoEncoder::fitToSquare(picture, side);
    });
    QStringList found;
    for (const IcoLint::Finding& finding : IcoLint::checkIcoBytes(ico)) {
        if (finding.rule == "upscaled")
            found.append(QStringLiteral("%1: %2").arg(finding.entry).arg(finding.text));
    }
    QCOMPARE(found.join(QLatin1Char('\n')), expected);
}

void TestIcoLint::peerIcons_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("input");
    for (const char* input : {"soft.png", "photo.jpg"}) {
        QTest::addRow("ImageMagick, %s", input) << "imagemagick" << input;
        QTest::addRow("Pillow, %s", input) << "pillow" << input;
    }
}

// What is true of a peer's icon, read by Python from its bytes: for each entry whether
// it is a PNG, an 8-bit RGBA one, and its longer side; the lint must say exactly that
// and nothing worse.
void TestIcoLint::peerIcons()
{
    QFETCH(QString, writer);
    QFETCH(QString, input);
    const QString source = QDir(m_inputs).filePath(input);
    const QString ico = m_dir.filePath(QStringLiteral("peer-%1-%2.ico").arg(writer, input));
    if (writer == "imagemagick") {
        if (QStandardPaths::findExecutable("convert").isEmpty())
            QSKIP("ImageMagick is not installed");
        QCOMPARE(run("convert", {source, "-define", "icon:auto-resize=256,128,64,48,32,16", ico}).exitCode, 0);
    } else {
        QCOMPARE(run(kPython, {"-c", "import sys\nfrom PIL import Image\n"
                                     "Image.open(sys.argv[1]).save(sys.argv[2], sizes=[(s, s) for s in "
                                     "(16, 24, 32, 48, 64, 128, 256)])",
                               source, ico})
                     .exitCode,
                 0);
    }
    const Run read = run(kPython, {"-c", "import struct, sys\n"
                                         "b = open(sys.argv[1], 'rb').read()\n"
                                         "for i in range(struct.unpack_from('<H', b, 4)[0]):\n"
                                         "    w, h, c, r, p, bits, n, at = struct.unpack_from('<BBBBHHII', b, 6 + 16 * i)\n"
                                         "    d = b[at:at + n]\n"
                                         "    png = d[:8] == b'\\x89PNG\\r\\n\\x1a\\n'\n"
                                         "    side = max(struct.unpack_from('>II', d, 16)) if png else struct.unpack_from('<i', d, 4)[0]\n"
                                         "    rgba = png and d[24:26] == b'\\x08\\x06'\n"
                                         "    print(i + 1, ('png' if rgba else 'other-png') if png else 'bmp', side)\n",
                                   ico});
    QCOMPARE(read.exitCode, 0);
    QStringList expected;
    QList<int> sides;
    for (const QByteArray& line : read.out.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() != 3)
            continue;
        const int side = words.at(2).toInt();
        sides.append(side);
        if (words.at(1) == "other-png")
            expected.append(QStringLiteral("png-format@%1").arg(QString::fromLatin1(words.at(0))));
        if (words.at(1).endsWith("png") && side < 256)
            expected.append(QStringLiteral("small-png@%1").arg(QString::fromLatin1(words.at(0))));
        if (words.at(1) == "bmp" && side >= 256)
            expected.append(QStringLiteral("large-bitmap@%1").arg(QString::fromLatin1(words.at(0))));
    }
    QVERIFY(!sides.isEmpty());
    for (int side : {16, 32, 48, 256}) {
        if (!sides.contains(side)) {
            expected.prepend(QStringLiteral("missing-size@0"));
            break;
        }
    }
    QList<int> ascending = sides;
    std::sort(ascending.begin(), ascending.end());
    const IcoLint::FileReport report = IcoLint::checkFile(ico);
    QCOMPARE(report.icons.size(), 1);
    QCOMPARE(rulesOf(report.icons.first().findings, IcoLint::Severity::Warning), expected);
    QCOMPARE(rulesOf(report.icons.first().findings, IcoLint::Severity::Note).contains("order@0"), sides != ascending);
}

void TestIcoLint::libraryGroups_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<QStringList>("errors");
    const QByteArray dib = TestIcons::patternDib(32, 32);
    const auto entry = [&](quint16 id) { return PeWriter::GroupEntry{32, 32, 32, quint32(dib.size()), id}; };
    QTest::newRow("sound") << PeWriter::groupPayload({entry(1)}) << QStringList();
    QTest::newRow("RT_ICON the file lacks") << PeWriter::groupPayload({entry(1), entry(9)})
                                            << QStringList{"missing-image@2"};
    QTest::newRow("cursor group") << PeWriter::groupPayload({entry(1)}, 2) << QStringList{"bad-header@0"};
    QTest::newRow("count past the group") << PeWriter::groupPayload({entry(1)}).left(6 + 10)
                                          << QStringList{"bad-count@0"};
    QTest::newRow("empty RT_ICON") << PeWriter::groupPayload({entry(2)}) << QStringList{"empty-entry@1"};
}

void TestIcoLint::libraryGroups()
{
    QFETCH(QByteArray, group);
    QFETCH(QStringList, errors);
    PeWriter pe;
    pe.addIcon(1, TestIcons::patternDib(32, 32));
    pe.addIcon(2, QByteArray());
    pe.addGroup(PeWriter::Name::fromString("APP"), group);
    const QString path = m_dir.filePath("groups.dll");
    writeFile(path, pe.build());
    const IcoLint::FileReport report = IcoLint::checkFile(path);
    QCOMPARE(report.failure, QString());
    QCOMPARE(report.icons.size(), 1);
    QCOMPARE(report.icons.first().group, QString("APP"));
    QCOMPARE(rulesOf(report.icons.first().findings, IcoLint::Severity::Error), errors);
    QCOMPARE(run(kCli, {"lint", path}).exitCode, errors.isEmpty() ? 0 : 1);
}

// Libraries repeat images under many IDs and groups; each group is judged as if alone.
void TestIcoLint::repeatedImagesJudgedAlike()
{
    QImage picture;
    QVERIFY(picture.load(QDir(m_inputs).filePath("photo.jpg")));
    const QImage small = IcoEncoder::fitToSquare(picture, 32);
    const QByteArray dib16 = IcoEncoder::encodeDib(IcoEncoder::fitToSquare(picture, 16));
    const QByteArray dib32 = IcoEncoder::encodeDib(small);
    const QByteArray enlarged = TestIcons::pngPayload(small.scaled(256, 256, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    const QByteArray drawn = TestIcons::pngPayload(IcoEncoder::fitToSquare(picture, 256));
    PeWriter pe;
    const QList<QByteArray> payloads{dib16, dib32, enlarged, dib16, dib32, enlarged, drawn};
    for (int i = 0; i < payloads.size(); ++i)
        pe.addIcon(quint16(i + 1), payloads.at(i));
    const auto group = [&](QList<quint16> ids) {
        QList<PeWriter::GroupEntry> entries;
        for (quint16 id : ids) {
            const int side = id == 1 || id == 4 ? 16 : id == 2 || id == 5 ? 32 : 0;
            entries.append({quint8(side), quint8(side), 32, quint32(payloads.at(id - 1).size()), id});
        }
        return PeWriter::groupPayload(entries);
    };
    pe.addGroup(PeWriter::Name::fromId(1), group({1, 2, 3}));
    pe.addGroup(PeWriter::Name::fromId(2), group({4, 5, 6}));  // the same images, other IDs
    pe.addGroup(PeWriter::Name::fromId(3), group({1, 2, 7}));
    const QString path = m_dir.filePath("repeated.dll");
    writeFile(path, pe.build());
    const IcoLint::FileReport report = IcoLint::checkFile(path);
    QCOMPARE(report.icons.size(), 3);
    const QList<QStringList> upscaled{{"upscaled@3"}, {"upscaled@3"}, {}};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rulesOf(report.icons.at(i).findings, IcoLint::Severity::Warning).filter("upscaled"), upscaled.at(i));
}

// Wine's libraries all draw under wine: lint finds no error in any of their groups, and
// names every group as wrestool does.
void TestIcoLint::wineLibraries()
{
    QDir dir(QString::fromLatin1(kWineFolder));
    QStringList files;
    for (const QString& name : dir.entryList({"*.dll", "*.exe", "*.cpl"}, QDir::Files, QDir::Name)) {
        if (!run("wrestool", {"-l", "-t14", dir.filePath(name)}).out.isEmpty())
            files.append(dir.filePath(name));
    }
    if (files.isEmpty())
        QSKIP("wine's libraries are not installed");
    const Run linted = run(kCli, QStringList{"lint", "--json"} + files);
    QCOMPARE(linted.exitCode, 0);
    const QJsonObject report = QJsonDocument::fromJson(linted.out).object();
    QCOMPARE(report.value("errors").toInt(), 0);
    QCOMPARE(report.value("files").toArray().size(), files.size());
    const QJsonArray notepad = report.value("files").toArray().at(files.indexOf(dir.filePath("notepad.exe"))).toObject().value("findings").toArray();
    QVERIFY(!notepad.isEmpty());
    QCOMPARE(notepad.first().toObject().value("group").toString(), QString("768"));
}

void TestIcoLint::hostileFields_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("rule");
    const qint64 entry = 6, data = 6 + 2 * 16;
    QTest::newRow("count 65535") << qint64(4) << QByteArray("\xff\xff", 2) << "bad-count";
    QTest::newRow("offset 0xFFFFFFFF") << entry + 12 << QByteArray("\xff\xff\xff\xff", 4) << "entry-outside";
    QTest::newRow("biWidth 2^31-1") << data + 4 << QByteArray("\xff\xff\xff\x7f", 4) << "dib-header";
    QTest::newRow("biHeight -2^31") << data + 8 << QByteArray("\x00\x00\x00\x80", 4) << "dib-height";
    QTest::newRow("8 bits, 2^32-1 colours") << data + 14 << QByteArray("\x08\x00", 2) + QByteArray(16, '\0') + QByteArray("\xff\xff\xff\xff", 4) << "dib-truncated";
}

// A field of a sound two-image icon pushed to its limit: the rule, and no read outside.
void TestIcoLint::hostileFields()
{
    QFETCH(qint64, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, rule);
    QByteArray ico = soundIco();
    ico.replace(offset, bytes.size(), bytes);
    const QStringList errors = rulesOf(IcoLint::checkIcoBytes(ico), IcoLint::Severity::Error);
    QVERIFY2(!errors.filter(QRegularExpression("^" + rule + "@")).isEmpty(), qPrintable(errors.join(' ')));
}

// Every prefix of a sound icon with a PNG entry is damaged somewhere; each gives an error.
void TestIcoLint::everyCut()
{
    const QByteArray whole = icoOf({16, 256}, [](int side) {
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(qRgba(20, 90, 200, 255));
        return image;
    });
    QCOMPARE(rulesOf(IcoLint::checkIcoBytes(whole), IcoLint::Severity::Warning), QStringList{"missing-size@0"});
    for (qsizetype length = 0; length < whole.size(); ++length) {
        const QStringList errors = rulesOf(IcoLint::checkIcoBytes(whole.left(length)), IcoLint::Severity::Error);
        QVERIFY2(!errors.isEmpty(), qPrintable(QString::number(length)));
    }
}

void TestIcoLint::commandLine()
{
    const QString sound = m_dir.filePath("sound.ico");
    writeFile(sound, soundIco());
    const QString bad = m_dir.filePath("bad.ico");
    writeFile(bad, soundIco().left(100));
    QCOMPARE(run(kCli, {"lint", sound}).exitCode, 0);
    const Run both = run(kCli, {"lint", sound, bad});
    QCOMPARE(both.exitCode, 1);
    QVERIFY(both.out.contains(bad.toUtf8() + ": error entry-outside: entry 2: "));
    const Run missing = run(kCli, {"lint", sound, m_dir.filePath("absent.ico")});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(missing.err.contains("absent.ico: no such file"));
    QCOMPARE(run(kCli, {"lint"}).exitCode, 2);
    QCOMPARE(run(kCli, {"lint", "--xml", sound}).exitCode, 2);
}

void TestIcoLint::severalFiles_data()
{
    QTest::addColumn<QStringList>("names");  // wine's libraries, or icons made here
    QTest::newRow("libraries first") << QStringList{"shell32.dll", "sound.ico", "absent.ico", "comctl32.dll",
                                                    "bad.ico", "folder", "user32.dll"};
    QTest::newRow("icons first") << QStringList{"bad.ico", "folder", "sound.ico", "user32.dll", "absent.ico",
                                                "shell32.dll", "comdlg32.dll"};
}

// Files are checked side by side: what lint says of several files is what it says of
// each alone, in the order given, failures included.
void TestIcoLint::severalFiles()
{
    QFETCH(QStringList, names);
    if (!QDir(QString::fromLatin1(kWineFolder)).exists())
        QSKIP("wine's PE libraries are not installed");
    writeFile(m_dir.filePath("sound.ico"), soundIco());
    writeFile(m_dir.filePath("bad.ico"), soundIco().left(100));
    QVERIFY(QDir(m_dir.path()).mkpath("folder"));
    QStringList paths;
    for (const QString& name : names) {
        paths.append(name.endsWith(".dll") ? QDir(QString::fromLatin1(kWineFolder)).filePath(name)
                                           : m_dir.filePath(name));
    }
    QByteArray out, err;
    QJsonArray files;
    for (const QString& path : paths) {
        out += run(kCli, {"-q", "lint", path}).out;
        err += run(kCli, {"-q", "lint", path}).err;
        files.append(QJsonDocument::fromJson(run(kCli, {"-q", "lint", "--json", path}).out)["files"][0]);
    }
    const Run all = run(kCli, QStringList{"-q", "lint"} + paths);
    QCOMPARE(all.exitCode, 1);
    QCOMPARE(all.out, out);
    QCOMPARE(all.err, err);
    const QJsonDocument json = QJsonDocument::fromJson(run(kCli, QStringList{"-q", "lint", "--json"} + paths).out);
    QCOMPARE(json["files"].toArray(), files);
}

QTEST_GUILESS_MAIN(TestIcoLint)
#include "tst_icolint.moc"
