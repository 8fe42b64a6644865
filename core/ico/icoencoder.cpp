#include "icoencoder.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QtDebug>
#include <QtEndian>

#include <cstring>
#include <limits>
#include <thread>

#include "picture/sourceimage.h"
#include "picture/svgdocument.h"

namespace IcoEncoder {

namespace {

struct EncodedEntry
{
    int size = 0;
    bool png = false;
    QByteArray payload;
};

const char* kindLabel(int size)
{
    return size < kFirstPngSize ? "BMP" : "PNG";
}

void putU16(char* at, quint16 value)
{
    qToLittleEndian(value, at);
}

void putU32(char* at, quint32 value)
{
    qToLittleEndian(value, at);
}

// The payload of one S x S ARGB32 entry image.  False only when the PNG writer fails.
bool encodeEntry(const QImage& image, int size, EncodedEntry& entry)
{
    entry.size = size;
    entry.png = size >= kFirstPngSize;
    if (!entry.png) {
        entry.payload = encodeDib(image);
        return true;
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&buffer, "PNG");
    writer.setQuality(-1);
    if (!writer.write(image))
        return false;
    entry.payload = png;
    return true;
}

void logEncoded(const EncodedEntry& entry)
{
    qDebug() << "Encoded" << entry.size << "x" << entry.size << kindLabel(entry.size) << "size:"
             << entry.payload.size() << "bytes";
}

void setReason(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
}

QString writeReason(const QString& outputPath, const QString& error)
{
    return QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(outputPath), error);
}

// Header, directory and payloads, written through QSaveFile so that a failure leaves
// any old file as it was and no partial file behind.
bool writeFile(const QList<EncodedEntry>& entries, const QString& outputPath, QString* reason)
{
    const int count = int(entries.size());
    qint64 total = kHeaderBytes + qint64(kDirectoryEntryBytes) * count;
    for (const EncodedEntry& entry : entries)
        total += entry.payload.size();
    // The directory's offsets and lengths are 32-bit.
    if (total > std::numeric_limits<quint32>::max()) {
        setReason(reason, QStringLiteral("the icon would be larger than 4 GiB"));
        return false;
    }

    QByteArray bytes(int(kHeaderBytes + kDirectoryEntryBytes * count), '\0');
    char* p = bytes.data();
    putU16(p + 0, 0); // reserved
    putU16(p + 2, 1); // type: icon
    putU16(p + 4, quint16(count));
    quint32 offset = quint32(kHeaderBytes + kDirectoryEntryBytes * count);
    for (int i = 0; i < count; ++i) {
        const EncodedEntry& entry = entries.at(i);
        char* e = p + kHeaderBytes + kDirectoryEntryBytes * i;
        e[0] = char(entry.size % 256); // width; 0 means 256 (and stands for 512, 1024 too)
        e[1] = char(entry.size % 256); // height
        e[2] = 0;                      // colour count
        e[3] = 0;                      // reserved
        putU16(e + 4, 1);              // planes
        putU16(e + 6, 32);             // bit count
        putU32(e + 8, quint32(entry.payload.size()));
        putU32(e + 12, offset);
        offset += quint32(entry.payload.size());
    }

    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly)) {
        qCritical() << "Error: Could not open output ICO file for writing at:" << outputPath;
        setReason(reason, writeReason(outputPath, file.errorString()));
        return false;
    }
    bool ok = file.write(bytes) == bytes.size();
    for (int i = 0; ok && i < count; ++i)
        ok = file.write(entries.at(i).payload) == entries.at(i).payload.size();
    if (!ok || !file.commit()) {
        qCritical() << "Error: Could not write output ICO file at:" << outputPath;
        setReason(reason, writeReason(outputPath, file.errorString()));
        file.cancelWriting();
        return false;
    }

    qInfo() << "Success! Multi-resolution ICO file saved to:" << outputPath;
    qInfo() << "Total images included:" << count;
    return true;
}

// Encodes the entries for sizes, each image made by makeImage(size).  The PNG entries,
// which cost the most, are encoded on a second thread while this one does the bitmaps;
// makeImage must therefore only read shared state.
template <typename MakeImage>
bool encodeAll(const QList<int>& sizes, MakeImage makeImage, QList<EncodedEntry>& entries, QString* reason)
{
    QList<EncodedEntry> encoded(sizes.size());
    EncodedEntry* slot = encoded.data(); // each index is written by one thread only
    int largeFailed = 0;
    std::thread worker([&] {
        for (int i = 0; i < sizes.size(); ++i) {
            if (sizes.at(i) >= kFirstPngSize && !encodeEntry(makeImage(sizes.at(i)), sizes.at(i), slot[i])) {
                largeFailed = sizes.at(i);
                return;
            }
        }
    });
    int smallFailed = 0;
    for (int i = 0; i < sizes.size() && smallFailed == 0; ++i) {
        if (sizes.at(i) < kFirstPngSize && !encodeEntry(makeImage(sizes.at(i)), sizes.at(i), slot[i]))
            smallFailed = sizes.at(i);
    }
    worker.join();

    const int failed = smallFailed ? smallFailed : largeFailed;
    if (failed) {
        qCritical() << "Failed to encode image size" << failed << "to" << kindLabel(failed);
        setReason(reason, QStringLiteral("cannot encode the %1 x %1 image").arg(failed));
        return false;
    }
    entries = encoded;
    return true;
}

void warnIfNot256(const QImage& master)
{
    if (master.size() != QSize(kMasterSide, kMasterSide))
        qWarning() << "Warning: Input image is not 256x256. Resizing will proceed, but results may vary.";
}

// An SVG rasterised afresh at every size.  The document is read once; the largest entry,
// which is also the master, is drawn on this thread while a second thread, with its own
// parse of the same bytes, draws the small ones.
bool writeIcoFromSvg(const QString& sourcePath, const QString& outputPath, QString* reason)
{
    QByteArray data;
    SvgDocument document;
    QImage master;
    if (!SvgDocument::readFile(sourcePath, data) || !document.load(data)
        || !document.render(kMasterSide, kMasterSide, master)) {
        qCritical() << "Error: Failed to load source image";
        setReason(reason, QStringLiteral("not a readable SVG drawing"));
        return false;
    }
    const QList<int> sizes = iconSizes(master.width());

    QList<EncodedEntry> small;
    bool smallOk = true;
    int smallFailedSize = 0;
    std::thread worker([&] {
        SvgDocument own;
        if (!own.load(data)) {
            smallOk = false;
            return;
        }
        for (int size : sizes) {
            if (size >= kFirstPngSize)
                continue;
            QImage image;
            EncodedEntry entry;
            if (!own.render(size, size, image)
                || !encodeEntry(image.convertToFormat(QImage::Format_ARGB32), size, entry)) {
                smallOk = false;
                smallFailedSize = size;
                return;
            }
            small.append(entry);
        }
    });

    QList<EncodedEntry> large;
    bool largeOk = true;
    int failedSize = 0;
    for (int size : sizes) {
        if (size < kFirstPngSize)
            continue;
        QImage image = master;
        if (size != kMasterSide && !document.render(size, size, image)) {
            largeOk = false;
            failedSize = size;
            break;
        }
        EncodedEntry entry;
        if (!encodeEntry(image.convertToFormat(QImage::Format_ARGB32), size, entry)) {
            largeOk = false;
            failedSize = size;
            break;
        }
        large.append(entry);
    }
    worker.join();

    if (failedSize == 0)
        failedSize = smallFailedSize;
    if (!smallOk || !largeOk) {
        if (failedSize > 0)
            qCritical() << "Failed to encode image size" << failedSize << "to" << kindLabel(failedSize);
        else
            qCritical() << "Error: Failed to load source image";
        setReason(reason, QStringLiteral("cannot draw the SVG at every size"));
        return false;
    }
    warnIfNot256(master);
    const QList<EncodedEntry> entries = small + large;
    for (const EncodedEntry& entry : entries)
        logEncoded(entry);
    return writeFile(entries, outputPath, reason);
}

} // namespace

QList<int> iconSizes(int masterWidth)
{
    QList<int> sizes{16, 24, 32, 48, 64, 128, 256};
    if (masterWidth > 256)
        sizes.append(512);
    if (masterWidth > 512)
        sizes.append(1024);
    return sizes;
}

QByteArray encodeDib(const QImage& source)
{
    const QImage image =
        source.format() == QImage::Format_ARGB32 ? source : source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    const qint64 colourBytes = qint64(width) * height * 4;
    const qint64 maskBytes = qint64(height) * (((width + 31) / 32) * 4);
    const qint64 total = kDibHeaderBytes + colourBytes + maskBytes;
    if (image.isNull() || total > std::numeric_limits<int>::max())
        return QByteArray();

    QByteArray dib(int(total), '\0');
    char* p = dib.data();
    putU32(p + 0, kDibHeaderBytes);
    putU32(p + 4, quint32(width));
    putU32(p + 8, quint32(height * 2)); // colour bitmap plus mask
    putU16(p + 12, 1);                  // planes
    putU16(p + 14, 32);                 // bit count
    putU32(p + 16, 0);                  // BI_RGB
    putU32(p + 20, quint32(colourBytes + maskBytes));
    putU32(p + 24, quint32(kPixelsPerMetre));
    putU32(p + 28, quint32(kPixelsPerMetre));
    putU32(p + 32, 0); // colours used
    putU32(p + 36, 0); // important colours

    // Bottom-up rows; an ARGB32 word stored little-endian is B, G, R, A.
    char* out = p + kDibHeaderBytes;
    for (int y = height - 1; y >= 0; --y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x, out += 4)
            putU32(out, row[x]);
    }
    // The AND mask stays zero: the alpha channel carries the transparency.
    return dib;
}

QImage fitToSquare(const QImage& image, int side)
{
    if (image.isNull() || side <= 0)
        return QImage();
    QImage scaled = image;
    const QSize fitted = SourceImage::fittedSize(image.size(), side);
    if (image.size() != fitted)
        scaled = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.format() != QImage::Format_ARGB32)
        scaled = scaled.convertToFormat(QImage::Format_ARGB32);
    if (scaled.isNull() || scaled.size() == QSize(side, side))
        return scaled;

    QImage square(side, side, QImage::Format_ARGB32);
    if (square.isNull())
        return square;
    square.fill(Qt::transparent);
    const int left = (side - scaled.width()) / 2;
    const int top = (side - scaled.height()) / 2;
    for (int y = 0; y < scaled.height(); ++y)
        std::memcpy(square.scanLine(top + y) + left * 4, scaled.constScanLine(y), size_t(scaled.width()) * 4);
    return square;
}

bool writeIcoFromImage(const QImage& master, const QString& outputPath)
{
    if (master.isNull()) {
        qCritical() << "Error: Failed to load source image";
        return false;
    }
    warnIfNot256(master);
    QList<EncodedEntry> entries;
    if (!encodeAll(iconSizes(master.width()), [&](int size) { return fitToSquare(master, size); }, entries, nullptr))
        return false;
    for (const EncodedEntry& entry : entries)
        logEncoded(entry);
    return writeFile(entries, outputPath, nullptr);
}

bool writeIcoFromSourceFile(const QString& sourcePath, const QString& outputPath, QString* reason)
{
    if (!QFileInfo::exists(sourcePath)) {
        setReason(reason, QStringLiteral("No such file"));
        return false;
    }
    if (SourceImage::isSvgPath(sourcePath))
        return writeIcoFromSvg(sourcePath, outputPath, reason);

    QImage master;
    QString readerReason;
    if (!SourceImage::loadRasterFitted(sourcePath, kMasterSide, master, &readerReason)) {
        qWarning() << "Failed to load image from:" << sourcePath;
        setReason(reason, readerReason.isEmpty() ? QStringLiteral("cannot decode the image") : readerReason);
        return false;
    }
    warnIfNot256(master);
    QList<EncodedEntry> entries;
    if (!encodeAll(iconSizes(master.width()), [&](int size) { return fitToSquare(master, size); }, entries, reason))
        return false;
    for (const EncodedEntry& entry : entries)
        logEncoded(entry);
    return writeFile(entries, outputPath, reason);
}

} // namespace IcoEncoder
