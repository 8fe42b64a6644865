// What a .glyphora document may ask of the machine: an object count, a budget of display
// and picture pixels checked from the pictures' headers before anything is decoded, no
// picture on another machine, and one decode (and one set of halvings) per picture file.

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include "processrun.h"
#include "render/compositiondocument.h"
#include "testfiles.h"

namespace {

const QString kCli = QStringLiteral(GLYPHORA_BINARY_DIR "/bin/glyphora-cli");

struct Object
{
    QString picture;
    int scale = 100;
    int rotation = 0;
};

QByteArray document(const QList<Object>& objects)
{
    QJsonArray list;
    for (int i = 0; i < objects.size(); ++i)
        list.append(QJsonObject{{"id", i},
                                {"picture", objects.at(i).picture},
                                {"scale", objects.at(i).scale},
                                {"rotation", objects.at(i).rotation}});
    return QJsonDocument(QJsonObject{{"format", "glyphora-composition"}, {"version", 1}, {"objects", list}}).toJson();
}

QList<Object> repeated(const Object& object, int count)
{
    return QList<Object>(count, object);
}

// One PNG chunk: length, type and data, CRC-32 of type and data, as libpng checks it.
QByteArray chunk(const QByteArray& typeAndData)
{
    QByteArray out;
    const auto put32 = [&out](quint32 v) {
        for (int shift : {24, 16, 8, 0})
            out.append(char(v >> shift));
    };
    put32(quint32(typeAndData.size() - 4));
    out.append(typeAndData);
    quint32 crc = 0xffffffff;
    for (char byte : typeAndData) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0u - (crc & 1)));
    }
    put32(~crc);
    return out;
}

// A PNG whose header states width x height; its image data is empty.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    QByteArray ihdr("IHDR");
    for (quint32 v : {width, height})
        for (int shift : {24, 16, 8, 0})
            ihdr.append(char(v >> shift));
    ihdr.append("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, no filter, no interlace
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk(ihdr) + chunk("IDAT") + chunk("IEND");
}

// An MNG whose side x side canvas (MHDR: the size, no ticks, layer, frame or time counts,
// simplicity 1) shows one grey pixel, a 1 x 1 8-bit grey PNG.
QByteArray mng(quint32 side, char grey)
{
    QByteArray mhdr("MHDR");
    QDataStream(&mhdr, QIODevice::Append) << side << side << 0u << 0u << 0u << 0u << 1u;
    const QByteArray idat = "IDAT" + qCompress(QByteArray(1, '\0') + grey).mid(4); // filter 0, the pixel
    const QByteArray ihdr("IHDR\0\0\0\1\0\0\0\1\x08\0\0\0\0", 17);
    return QByteArray("\x8aMNG\r\n\x1a\n", 8) + chunk(mhdr) + chunk(ihdr) + chunk(idat) + chunk("IEND") + chunk("MEND");
}

long peakChildKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestDocumentLimits : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QImage small(10, 10, QImage::Format_ARGB32);
        small.fill(QColor(200, 30, 30));
        QVERIFY(small.save(file("small.png")));
        QImage photo(1000, 800, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
        QVERIFY(photo.save(file("photo.png")));
        QVERIFY(writeFile(file("huge.png"), pngHeaderOnly(20000, 20000)));
        QVERIFY(QDir(m_dir.path()).mkpath("sub"));
    }

    // Twenty display images of 256 MB each from a few-KB document: refused from the
    // headers, before any picture is decoded, by the command line.  The first child of
    // this process, so the peak is its own.
    void hostileCompose()
    {
        const QString path = file("hostile.glyphora");
        QVERIFY(writeFile(path, document(repeated({"small.png", 100000}, 20))));
        const QString out = file("hostile.ico");
        const Run r = run(kCli, {"compose", path, "-o", out});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("display images would take 5120 MB, more than the 1024 MB a document may use"),
                 r.err.constData());
        QVERIFY(!QFile::exists(out));
        const long peak = peakChildKilobytes();
        QVERIFY2(peak < 150 * 1024, qPrintable(QString::number(peak)));
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("reason");
        QTest::newRow("257 objects") << document(repeated({"small.png"}, 257))
                                     << "257 image objects, more than the 256 a document may hold";
        QTest::newRow("twenty objects at 100000 %") << document(repeated({"small.png", 100000}, 20))
                                                    << "display images would take 5120 MB";
        QTest::newRow("turned by 45 degrees, counted as drawn")
            << document(repeated({"photo.png", 900, 45}, 5)) << "display images would take 1277 MB";
        QTest::newRow("a header of 20000 x 20000") << document({{"huge.png", 1}})
                                                   << "the pictures would take 1525 MB once decoded";
        const QString remote = "is on another machine; a document's pictures must be files of this machine";
        const QString url = "is a URL; a document's pictures must be files of this machine";
        QTest::newRow("\\\\host\\share") << document({{"\\\\host\\share\\a.png"}}) << "picture \\\\host\\share\\a.png " + remote;
        QTest::newRow("//host") << document({{"//host/a.png"}}) << "picture //host/a.png " + remote;
        QTest::newRow("\\\\?\\UNC") << document({{"\\\\?\\UNC\\host\\share\\a.png"}}) << remote;
        QTest::newRow("mixed separators") << document({{"/\\host/a.png"}}) << remote;
        QTest::newRow("http") << document({{"http://x/a.png"}}) << "picture http://x/a.png " + url;
        QTest::newRow("file://host") << document({{"file://host/a.png"}}) << "picture file://host/a.png " + url;
        QTest::newRow("smb") << document({{"smb://host/share/a.png"}}) << url;
        QTest::newRow("second object remote") << document({{"small.png"}, {"//host/a.png"}}) << "Image1: picture //host/a.png";
    }

    // The reason names the limit; the document loaded before stays; memory stays small.
    void refused()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, reason);
        CompositionDocument doc;
        QString error;
        QVERIFY2(doc.fromJson(document({{"small.png", 50}}), QDir(m_dir.path()), &error), qPrintable(error));
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        QVERIFY(!doc.fromJson(json, QDir(m_dir.path()), &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(doc.objects.size(), 1);
        QCOMPARE(doc.objects.at(0).scale, 50);
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        QVERIFY2(after.ru_maxrss - before.ru_maxrss < 64 * 1024, qPrintable(QString::number(after.ru_maxrss)));
    }

    // A drive letter is a local path, not a URL scheme.
    void driveLetterIsLocal()
    {
        CompositionDocument doc;
        QString error;
        QVERIFY(!doc.fromJson(document({{"C:/pictures/a.png"}}), QDir(m_dir.path()), &error));
        QVERIFY2(error.contains("not found"), qPrintable(error));
    }

    // Exactly at the display budget loads; one pixel more is refused.
    void budgetEdge()
    {
        CompositionDocument doc;
        doc.limits.maxDisplayPixels = 2 * 100 * 100;
        QString error;
        QVERIFY2(doc.fromJson(document(repeated({"small.png", 1000}, 2)), QDir(m_dir.path()), &error),
                 qPrintable(error));
        QCOMPARE(doc.objects.at(1).displayImage.size(), QSize(100, 100));
        QVERIFY(!doc.fromJson(document({{"small.png", 1000}, {"small.png", 1000}, {"small.png", 10}}),
                              QDir(m_dir.path()), &error));
        QVERIFY2(error.contains("more than the 0 MB"), qPrintable(error));
        doc.limits.maxObjects = 2;
        QVERIFY(!doc.fromJson(document(repeated({"small.png"}, 3)), QDir(m_dir.path()), &error));
        QVERIFY2(error.contains("3 image objects, more than the 2"), qPrintable(error));
    }

    // Ten objects of one photo, under two names of the same file: one decode, one set of
    // halvings, and each display image as a lone object of that scale gets it.
    void oneDecodePerPicture()
    {
        QList<Object> objects;
        for (int i = 0; i < 10; ++i)
            objects.append({i % 2 ? "sub/../photo.png" : "photo.png", 10 + i});
        CompositionDocument doc;
        QString error;
        QVERIFY2(doc.fromJson(document(objects), QDir(m_dir.path()), &error), qPrintable(error));
        QCOMPARE(doc.objects.size(), 10);
        const ImageData& first = doc.objects.at(0);
        QVERIFY(first.halvings && !first.halvings->isEmpty());
        for (const ImageData& data : std::as_const(doc.objects)) {
            QCOMPARE(data.image.constBits(), first.image.constBits());
            QCOMPARE(data.image.cacheKey(), first.image.cacheKey());
            QCOMPARE(data.halvings.get(), first.halvings.get());
        }
        CompositionDocument alone;
        QVERIFY(alone.fromJson(document({{"photo.png", 19}}), QDir(m_dir.path()), &error));
        QCOMPARE(doc.objects.at(9).displayImage, alone.objects.at(0).displayImage);
    }

    // Pictures whose header gives no size (MNG): a hard link of one is one decode, and
    // twelve of 22 MB past a budget of 33 MB are refused within it, not all decoded.
    void unknownSizes()
    {
        QList<Object> distinct;
        for (int i = 0; i < 12; ++i) {
            distinct.append({QStringLiteral("m%1.mng").arg(i), 1});
            QVERIFY(writeFile(file(distinct.last().picture), mng(2400, char(20 * i))));
        }
        QCOMPARE(::link(qPrintable(file("m0.mng")), qPrintable(file("hard.mng"))), 0);
        CompositionDocument doc;
        doc.limits.maxPicturePixels = 2400 * 2400 * 3 / 2;
        QString error;
        QVERIFY2(doc.fromJson(document({{"m0.mng", 1}, {"hard.mng", 1}}), QDir(m_dir.path()), &error),
                 qPrintable(error));
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        QVERIFY(!doc.fromJson(document(distinct), QDir(m_dir.path()), &error));
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        QVERIFY2(after.ru_maxrss - before.ru_maxrss < 64 * 1024, qPrintable(QString::number(after.ru_maxrss)));
    }

    // Names that read as a URL, a share or a resource reopen from the document saved beside them.
    void awkwardNamesReopen()
    {
        for (const char* name : {"v2:logo.png", ":logo.png", "\\\\host\\logo.png"}) {
            ImageData object;
            object.path = m_dir.path() + '/' + name; // not filePath(), which takes :logo.png as it is
            QVERIFY(QFile::copy(file("small.png"), object.path));
            QString error;
            QVERIFY2(CompositionDocument::save(file("names.glyphora"), IconStyle(), {object}, &error),
                     qPrintable(error));
            CompositionDocument reopened;
            QVERIFY2(reopened.load(file("names.glyphora"), &error), qPrintable(error));
            QCOMPARE(reopened.objects.at(0).path, object.path);
        }
    }
};

QTEST_MAIN(TestDocumentLimits)
#include "tst_documentlimits.moc"
