// What a .glyphora document may ask of the machine: an object count, a budget of display
// and picture pixels checked from the pictures' headers before anything is decoded, no
// picture on another machine, and one decode (and one set of halvings) per picture file.

#include <QtTest>

#include <QImageReader>
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

// Big-endian 32-bit fields, as PNG and MNG chunks hold them.
QByteArray be32(std::initializer_list<quint32> values)
{
    QByteArray out;
    for (quint32 v : values)
        for (int shift : {24, 16, 8, 0})
            out.append(char(v >> shift));
    return out;
}

// One PNG chunk: length, type and data, CRC-32 of type and data, as libpng checks it.
QByteArray chunk(const QByteArray& typeAndData)
{
    quint32 crc = 0xffffffff;
    for (char byte : typeAndData) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0u - (crc & 1)));
    }
    return be32({quint32(typeAndData.size() - 4)}) + typeAndData + be32({~crc});
}

// A PNG whose header states width x height; its image data is empty.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    // 8 bits, RGBA, deflate, no filter, no interlace
    const QByteArray ihdr = "IHDR" + be32({width, height}) + QByteArray("\x08\x06\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk(ihdr) + chunk("IDAT") + chunk("IEND");
}

// An MNG of one side x side frame of grey: MHDR (frame size, no ticks, layer, frame or
// time counts, simplicity 1), the frame as 8-bit grey PNG chunks, MEND.
QByteArray greyMng(quint32 side, char grey)
{
    QByteArray rows;
    for (quint32 y = 0; y < side; ++y)
        rows += '\0' + QByteArray(int(side), grey); // filter type 0, then the row
    const QByteArray ihdr = "IHDR" + be32({side, side}) + QByteArray("\x08\x00\x00\x00\x00", 5);
    return QByteArray("\x8aMNG\r\n\x1a\n", 8) + chunk("MHDR" + be32({side, side, 0, 0, 0, 0, 1})) + chunk(ihdr)
        + chunk("IDAT" + qCompress(rows).mid(4)) + chunk("IEND") + chunk("MEND");
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

    // Pictures whose header gives no size (Qt's MNG reader tells it only as it decodes):
    // a hard link, a symbolic link, another spelling and a copy of one are one decode;
    // twelve different ones under a budget of one and a half are refused at the second,
    // within the budget, and the others are never decoded.
    void unknownSizes()
    {
        if (!QImageReader::supportedImageFormats().contains("mng"))
            QSKIP("Qt's MNG reader is not installed");
        constexpr int kSide = 2400; // 22 MB decoded
        QList<Object> distinct;
        for (int i = 0; i < 12; ++i) {
            distinct.append({QStringLiteral("m%1.mng").arg(i), 1});
            QVERIFY(writeFile(file(distinct.last().picture), greyMng(kSide, char(20 * i))));
        }
        QVERIFY(!QImageReader(file("m0.mng")).size().isValid());
        QVERIFY(QFile::copy(file("m0.mng"), file("copy.mng")));
        QCOMPARE(::link(qPrintable(file("m0.mng")), qPrintable(file("hard.mng"))), 0);
        QVERIFY(QFile::link(file("m0.mng"), file("soft.mng")));

        CompositionDocument doc;
        doc.limits.maxPicturePixels = qint64(kSide) * kSide * 3 / 2;
        QString error;
        QVERIFY2(doc.fromJson(document({{"m0.mng", 1}, {"hard.mng", 2}, {"soft.mng", 3}, {"sub/../m0.mng", 4},
                                        {"copy.mng", 5}}),
                              QDir(m_dir.path()), &error),
                 qPrintable(error));
        for (const ImageData& data : std::as_const(doc.objects))
            QCOMPARE(data.image.constBits(), doc.objects.at(0).image.constBits());

        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        QVERIFY(!doc.fromJson(document(distinct), QDir(m_dir.path()), &error));
        QVERIFY2(error.startsWith("Image1: "), qPrintable(error));
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        QVERIFY2(after.ru_maxrss - before.ru_maxrss < 96 * 1024, qPrintable(QString::number(after.ru_maxrss)));
        QCOMPARE(doc.objects.size(), 5);
    }

    // Picture names that read as something else unless written with ./ before them: the
    // document saved beside them, above them and below them opens to the same files.
    void awkwardNamesReopen()
    {
        QVERIFY(QDir(m_dir.path()).mkpath("names/deeper"));
        QList<ImageData> objects;
        for (const char* name : {"v2:logo.png", ":logo.png", "\\\\host\\logo.png", "c:logo.png", "deeper/http:x.png"}) {
            ImageData data;
            data.id = int(objects.size());
            data.path = file(QStringLiteral("names/") + QLatin1String(name));
            QVERIFY(QFile::copy(file("small.png"), data.path));
            objects.append(data);
        }
        for (const char* name : {"names/a.glyphora", "a.glyphora", "names/deeper/a.glyphora"}) {
            QString error;
            QVERIFY2(CompositionDocument::save(file(name), IconStyle(), objects, &error), qPrintable(error));
            CompositionDocument reopened;
            QVERIFY2(reopened.load(file(name), &error), qPrintable(QString(name) + ": " + error));
            for (qsizetype i = 0; i < objects.size(); ++i)
                QCOMPARE(reopened.objects.at(i).path, objects.at(i).path);
        }
    }
};

QTEST_MAIN(TestDocumentLimits)
#include "tst_documentlimits.moc"
