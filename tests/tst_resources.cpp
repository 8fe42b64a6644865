// The program's images: every resource name the forms use exists at its pixel size, the
// window icon has its four sizes, and the Windows icon group holds the seven images that
// the executable's IDI_ICON1 must carry.
#include <QtTest>

#include <QFile>
#include <QIcon>
#include <QImage>

class TestResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void image_data();
    void image();
    void windowIconSizes();
    void windowsIconGroup();
};

void TestResources::image_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("side");

    const struct { const char* name; int side; } rows[] = {
        {"Update24.png", 24}, {"UpdateWhite24.png", 24}, {"Update128.png", 128},
        {"websiteIcon24.png", 24}, {"websiteWhiteIcon24.png", 24},
        {"About24.png", 24}, {"AboutWhite24.png", 24}, {"AboutLogo.png", 128},
        {"_BackIosBlack64.png", 64}, {"_BackIosWhite64.png", 64},
        {"_PlusBlack24.png", 24}, {"_PlusWhite24.png", 24},
        {"_EditBlack24.png", 24}, {"_EditWhite24.png", 24},
        {"_playcircleBlack24.png", 24}, {"_playcircleWhite24.png", 24},
        {"_AddImageBlack256.png", 256}, {"_AddImageWhite256.png", 256},
        {"_UpBlack24.png", 24}, {"_UpWhite24.png", 24}, {"_DownBlack24.png", 24}, {"_DownWhite24.png", 24},
        {"_DeleteBlack24.png", 24}, {"_DeleteWhite24.png", 24},
        {"load_extractIcon.png", 24}, {"_load_extractIconBlack.png", 24},
        {"_load_extractIconWhite.png", 24}, {"_load_extractIconGray.png", 24},
        {"export_extractIcon.png", 24}, {"_export_extractIcon.png", 24},
        {"_export_extractIconWhite.png", 24}, {"_export_extractIconGray.png", 24},
        {"IconYes24.png", 24}, {"IconNo24.png", 24}, {"export24.png", 24},
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << QStringLiteral(":/resources/images/") + QLatin1String(row.name) << row.side;
}

void TestResources::image()
{
    QFETCH(QString, name);
    QFETCH(int, side);
    const QImage image(name);
    QVERIFY2(!image.isNull(), qPrintable(name));
    QCOMPARE(image.size(), QSize(side, side));
    QVERIFY(image.hasAlphaChannel());
    // A placeholder or a failed render would be one flat colour.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            opaque += qAlpha(argb.pixel(x, y)) > 128 ? 1 : 0;
    QVERIFY(opaque > 0);
    QVERIFY(opaque < side * side);
}

void TestResources::windowIconSizes()
{
    for (int side : {16, 32, 48, 256}) {
        const QImage image(QStringLiteral(":/resources/images/glyphora%1.png").arg(side));
        QCOMPARE(image.size(), QSize(side, side));
    }
}

static quint32 le(const QByteArray& bytes, qint64 offset, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(offset + i));
    return value;
}

void TestResources::windowsIconGroup()
{
    QFile file(QStringLiteral(GLYPHORA_SOURCE_DIR "/resources/windows/glyphora.ico"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.size() > 6);
    QCOMPARE(le(bytes, 2, 2), 1u); // type: icon
    const int count = int(le(bytes, 4, 2));
    QCOMPARE(count, 7);
    QVERIFY(bytes.size() >= 6 + 16 * count);

    // (side, bits per pixel) of each image as its own header states it; 256 is a PNG stream.
    QList<QPair<int, int>> found;
    for (int i = 0; i < count; ++i) {
        const qint64 entry = 6 + 16 * i;
        const qint64 size = le(bytes, entry + 8, 4);
        const qint64 offset = le(bytes, entry + 12, 4);
        QVERIFY(offset + size <= bytes.size());
        const QByteArray payload = bytes.mid(offset, size);
        if (payload.startsWith("\x89PNG")) {
            const QImage image = QImage::fromData(payload, "PNG");
            QVERIFY(!image.isNull());
            found.append({image.width(), 32});
            continue;
        }
        QCOMPARE(le(payload, 0, 4), 40u); // BITMAPINFOHEADER
        const int side = int(le(payload, 4, 4));
        QCOMPARE(int(le(payload, 8, 4)), 2 * side); // colour bitmap plus AND mask
        const int bits = int(le(payload, 14, 2));
        // 8-bit images: 256-entry palette, one byte per pixel, then the 1-bit mask
        // (rows padded to 4 bytes); 32-bit images: 4 bytes per pixel, then the mask.
        const qint64 maskRow = ((side + 31) / 32) * 4;
        const qint64 expected = bits == 8 ? 40 + 256 * 4 + qint64(side) * side + maskRow * side
                                          : 40 + qint64(side) * side * 4 + maskRow * side;
        QCOMPARE(qint64(payload.size()), expected);
        found.append({side, bits});
    }
    const QList<QPair<int, int>> wanted = {{16, 8}, {32, 8}, {48, 8}, {16, 32}, {32, 32}, {48, 32}, {256, 32}};
    QCOMPARE(found, wanted);
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
