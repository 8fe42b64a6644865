// glyphora-cli lint and the checks behind it, on icons nobody here judged by hand:
// - the icons this program writes, at every size set, lint without a warning;
// - icons written by ImageMagick and Pillow get exactly the findings a reading of their
//   bytes by Python says are true (PNG below 256, bitmap at 256, size order, sizes);
// - libraries: wine's own lint without an error; a library repeating its images judged
//   group by group as if each stood alone;
// - hostile bytes: every cut gives findings, never a read outside the file (the sanitized
//   build runs this test too; fuzz_icolint goes further).
// The rules' verdicts on broken .ico files are held against the Windows loader under
// wine in tests/win32/run-wine-lint.sh.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QtEndian>
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

// png with its image data garbled past the zlib header, the chunk's CRC made right
// again: every chunk reads, the stream does not inflate.
QByteArray corruptPng(QByteArray png)
{
    const qsizetype type = png.indexOf("IDAT");
    const qsizetype length = qsizetype(qFromBigEndian<quint32>(png.constData() + type - 4));
    for (qsizetype i = type + 6; i < type + 4 + length / 2; ++i)
        png[i] = char(png.at(i) ^ 0x5A);
    quint32 crc = 0xFFFFFFFFu;
    for (qsizetype i = type; i < type + 4 + length; ++i) {
        crc ^= uchar(png.at(i));
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    qToBigEndian<quint32>(~crc, png.data() + type + 4 + length);
    return png;
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
    void peerIcons_data();
    void peerIcons();
    void repeatedImagesJudgedAlike();
    void undecodablePngs_data();
    void undecodablePngs();
    void largeImagesBoundedMemory();
    void wineLibraries();
    void everyCut();
    void commandLine();

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
    pe.addGroup(PeWriter::Name::fromId(4), group({6, 5, 4}));  // the first group's images, largest first
    const QString path = m_dir.filePath("repeated.dll");
    writeFile(path, pe.build());
    const IcoLint::FileReport report = IcoLint::checkFile(path);
    QCOMPARE(report.icons.size(), 4);
    const QList<QStringList> upscaled{{"upscaled@3"}, {"upscaled@3"}, {}, {"upscaled@1"}};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(rulesOf(report.icons.at(i).findings, IcoLint::Severity::Warning).filter("upscaled"), upscaled.at(i));
    // the verdict remembered from the first group, told in the last one's own entry numbers
    const auto reversed = std::find_if(report.icons.at(3).findings.cbegin(), report.icons.at(3).findings.cend(),
                                       [](const IcoLint::Finding& f) { return f.rule == "upscaled"; });
    QCOMPARE(reversed->text, QString("blurry: upscaled from 32x32 (entry 2)"));
}

void TestIcoLint::undecodablePngs_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("RGB") << int(QImage::Format_RGB32);
    QTest::newRow("palette") << int(QImage::Format_Indexed8);
    QTest::newRow("grey") << int(QImage::Format_Grayscale8);
    QTest::newRow("16-bit RGBA") << int(QImage::Format_RGBA64);
    QTest::newRow("RGBA") << int(QImage::Format_ARGB32);
}

// Windows refuses a PNG that does not decode, whatever its depth and whatever else the
// icon holds (the loader's verdict on .ico files is in run-wine-lint.sh); so does lint,
// in every group and every file that holds it, however often it met those bytes before.
void TestIcoLint::undecodablePngs()
{
    QFETCH(int, format);
    QImage picture(32, 32, QImage::Format_ARGB32);
    picture.fill(qRgba(40, 120, 200, 255));
    const QByteArray broken = corruptPng(TestIcons::pngPayload(picture.convertToFormat(QImage::Format(format))));
    const QByteArray sound16 = IcoEncoder::encodeDib(picture.scaled(16, 16));
    PeWriter pe;
    pe.addIcon(1, sound16);
    pe.addIcon(2, broken);
    const QByteArray group = PeWriter::groupPayload({{16, 16, 32, quint32(sound16.size()), 1},
                                                     {32, 32, 32, quint32(broken.size()), 2}});
    pe.addGroup(PeWriter::Name::fromId(1), group);
    pe.addGroup(PeWriter::Name::fromId(2), group);
    const QString first = m_dir.filePath("broken-a.dll"), second = m_dir.filePath("broken-b.dll");
    writeFile(second, writeFile(first, pe.build()));
    IcoLint::Session session;
    for (const QString& path : {first, second}) {
        const IcoLint::FileReport report = session.checkFile(path);
        QCOMPARE(report.icons.size(), 2);
        for (const IcoLint::Icon& icon : report.icons)
            QCOMPARE(rulesOf(icon.findings, IcoLint::Severity::Error).filter("bad-image"), QStringList{"bad-image@2"});
    }
}

// Sixteen entries of a 4096-pixel PNG, each 64 MiB decoded: lint judges one at a time
// and equal payloads once, so under an address-space limit of 1 GiB it still finds
// every one decodable.
void TestIcoLint::largeImagesBoundedMemory()
{
#if defined(__SANITIZE_ADDRESS__) || defined(GLYPHORA_SANITIZED)
    QSKIP("AddressSanitizer reserves more address space than the limit allows");
#endif
    QImage picture(4096, 4096, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setBrush(QColor(30, 120, 220));
    painter.drawEllipse(100, 100, 3896, 3896);
    painter.end();
    IcoFile::Image entry;
    entry.entry.bitCount = 32;
    entry.payload = TestIcons::pngPayload(picture);
    const QString path = m_dir.filePath("large.ico");
    writeFile(path, *IcoFile::bytes(QList<IcoFile::Image>(16, entry)));
    const Run limited = run("prlimit", {QStringLiteral("--as=%1").arg(qint64(1) << 30), kCli, "-q", "lint", path});
    QVERIFY2(!limited.out.contains("bad-image"), limited.out.constData());
    QCOMPARE(limited.exitCode, 0);
}

// Wine's libraries all draw under wine: lint finds no error in any of their groups, and
// names every group as wrestool does.  Checked together (sharing threads and the
// verdicts on the images they share), each gets the findings it gets alone.
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
    for (qsizetype i = 0; i < files.size(); ++i) {
        const Run alone = run(kCli, {"lint", "--json", files.at(i)});
        QCOMPARE(QJsonDocument::fromJson(alone.out).object().value("files").toArray().first(),
                 report.value("files").toArray().at(i));
    }
    const QJsonArray notepad = report.value("files").toArray().at(files.indexOf(dir.filePath("notepad.exe"))).toObject().value("findings").toArray();
    QVERIFY(!notepad.isEmpty());
    QCOMPARE(notepad.first().toObject().value("group").toString(), QString("768"));
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

QTEST_GUILESS_MAIN(TestIcoLint)
#include "tst_icolint.moc"
