#include "icoencoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QtDebug>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>

#include "icofile.h"
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

// The payload of one S x S ARGB32 entry image.  False when there is no image (it could
// not be made) or the PNG writer fails.
bool encodeEntry(const QImage& image, int size, EncodedEntry& entry)
{
    if (image.isNull())
        return false;
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

// Header, directory and payloads, written through IcoFile so that a failure leaves
// any old file as it was and no partial file behind.  Each entry is logged first.
bool writeFile(const QList<EncodedEntry>& entries, const QString& outputPath, QString* reason)
{
    for (const EncodedEntry& entry : entries)
        logEncoded(entry);
    QList<IcoFile::Image> images;
    images.reserve(entries.size());
    for (const EncodedEntry& entry : entries) {
        IcoFile::Image image;
        // width and height: 0 means 256 or more.  The size modulo 256 would say 44 for a
        // 300 entry, and the loader would take it for a 44 x 44 image.
        image.entry.width = quint8(entry.size < 256 ? entry.size : 0);
        image.entry.height = image.entry.width;
        image.entry.planes = 1;
        image.entry.bitCount = 32;
        image.payload = entry.payload;
        images.append(image);
    }
    const IcoFile::SaveResult saved = IcoFile::save(outputPath, images);
    switch (saved.failure) {
    case IcoFile::Failure::None:
        break;
    case IcoFile::Failure::TooLarge:
        setReason(reason, QStringLiteral("the icon would be larger than 4 GiB"));
        return false;
    case IcoFile::Failure::Open:
        qCritical() << "Error: Could not open output ICO file for writing at:" << outputPath;
        setReason(reason, writeReason(outputPath, saved.error));
        return false;
    case IcoFile::Failure::Write:
        qCritical() << "Error: Could not write output ICO file at:" << outputPath;
        setReason(reason, writeReason(outputPath, saved.error));
        return false;
    }

    qInfo() << "Success! Multi-resolution ICO file saved to:" << outputPath;
    qInfo() << "Total images included:" << entries.size();
    return true;
}

// Encodes the entries for sizes, split over two threads: the PNG entries, which cost the
// most, on a second thread (their images from makePngImage(size)) while this one does
// the bitmaps (from makeBitmapImage(size)).  With PngThreads::Both, for a maker that may
// run on both threads at once, the second thread keeps only the largest PNG (a 1024 entry
// alone costs more than all the others) and this one does the other PNGs after the
// bitmaps.  Otherwise each maker runs on its one thread only.  A maker gives a null image
// when it cannot make one.  On success entries gets every size's entry in the order of
// sizes and the result is 0; otherwise the result is a size that failed, a bitmap one
// first.
enum class PngThreads { Second, Both };

template <typename MakeBitmapImage, typename MakePngImage>
int encodeSplit(const QList<int>& sizes, MakeBitmapImage makeBitmapImage, MakePngImage makePngImage,
                QList<EncodedEntry>& entries, PngThreads pngThreads = PngThreads::Second)
{
    const int largest = sizes.isEmpty() ? 0 : *std::max_element(sizes.cbegin(), sizes.cend());
    const auto onSecondThread = [&](int size) {
        return size >= kFirstPngSize && (pngThreads == PngThreads::Second || size == largest);
    };
    QList<EncodedEntry> encoded(sizes.size());
    EncodedEntry* slot = encoded.data(); // each index is written by one thread only
    int pngFailed = 0;
    std::thread worker([&] {
        for (int i = 0; i < sizes.size(); ++i) {
            const int size = sizes.at(i);
            if (onSecondThread(size) && !encodeEntry(makePngImage(size), size, slot[i])) {
                pngFailed = size;
                return;
            }
        }
    });
    int failedHere = 0;
    for (int i = 0; i < sizes.size() && failedHere == 0; ++i) {
        const int size = sizes.at(i);
        if (size < kFirstPngSize && !encodeEntry(makeBitmapImage(size), size, slot[i]))
            failedHere = size;
    }
    for (int i = 0; i < sizes.size() && failedHere == 0; ++i) {
        const int size = sizes.at(i);
        if (size >= kFirstPngSize && !onSecondThread(size) && !encodeEntry(makePngImage(size), size, slot[i]))
            failedHere = size;
    }
    worker.join();

    const int failed = failedHere ? failedHere : pngFailed;
    if (failed == 0)
        entries = encoded;
    return failed;
}

void warnIfNot256(const QImage& master)
{
    if (master.size() != QSize(kMasterSide, kMasterSide))
        qWarning() << "Warning: Input image is not 256x256. Resizing will proceed, but results may vary.";
}

// The sizes to write: the default list of a master this wide, or the caller's sizes in
// directory order; empty, with the reason, when one of the caller's sizes is out of range.
QList<int> sizesToWrite(const QList<int>& requested, int masterWidth, QString* reason)
{
    if (requested.isEmpty())
        return iconSizes(masterWidth);
    const QList<int> sizes = orderedSizes(requested);
    if (sizes.isEmpty()) {
        qCritical() << "Error: Icon sizes must lie between 1 and" << kMaxIconSide;
        setReason(reason, QStringLiteral("icon sizes must lie between 1 and %1").arg(kMaxIconSide));
    }
    return sizes;
}

// A copy of image without its text: a picture's comments and time stamps (ImageMagick's
// date:create and date:modify among them) would otherwise ride along into every PNG
// entry, and two icons of the same pixels would differ by the hour their pictures were
// saved.  Colour space and resolution stay.
QImage withoutText(const QImage& image)
{
    if (image.textKeys().isEmpty())
        return image;
    // A view of the same pixels carries no metadata; copy() makes it own them.
    QImage bare(image.constBits(), image.width(), image.height(), image.bytesPerLine(), image.format());
    bare.setColorTable(image.colorTable());
    bare.setColorSpace(image.colorSpace());
    bare.setDotsPerMeterX(image.dotsPerMeterX());
    bare.setDotsPerMeterY(image.dotsPerMeterY());
    return bare.copy();
}

// The .ico of a master scaled to every size; false, after its log line and with the
// reason, when an entry cannot be encoded or the file not written.
bool writeFromMaster(const QImage& source, const QString& outputPath, QString* reason,
                     const QList<int>& requested)
{
    const QList<int> sizes = sizesToWrite(requested, source.width(), reason);
    if (sizes.isEmpty())
        return false;
    const QImage master = withoutText(source);
    warnIfNot256(master);
    auto fitted = [&](int size) { return fitToSquare(master, size); };
    QList<EncodedEntry> entries;
    const int failed = encodeSplit(sizes, fitted, fitted, entries, PngThreads::Both);
    if (failed) {
        qCritical() << "Failed to encode image size" << failed << "to" << kindLabel(failed);
        setReason(reason, QStringLiteral("cannot encode the %1 x %1 image").arg(failed));
        return false;
    }
    return writeFile(entries, outputPath, reason);
}

// An SVG rasterised afresh at every size.  The file is read once; the PNG entries (the
// master among them) are drawn from the master's document on a second thread while this
// one, with its own parse of the same bytes, draws the small ones.
bool writeIcoFromSvg(const QString& sourcePath, const QString& outputPath, QString* reason,
                     const QList<int>& requested)
{
    QByteArray data;
    SvgDocument document;
    QImage master;
    if (!SvgDocument::readFile(sourcePath, data) || !document.load(data)
        || !document.render(kMasterSide, kMasterSide, master)) {
        qCritical() << "Error: Failed to load source image";
        const QString unavailable = SvgDocument::unavailableReason();
        setReason(reason, unavailable.isEmpty() ? QStringLiteral("not a readable SVG drawing")
                                                : QStringLiteral("SVG support is unavailable: %1").arg(unavailable));
        return false;
    }
    const QList<int> sizes = sizesToWrite(requested, master.width(), reason);
    if (sizes.isEmpty())
        return false;

    // The bitmaps come from a parse of their own (a document is drawn by one thread at a
    // time), made on the thread that draws them; the PNG sizes from the master's document.
    std::optional<SvgDocument> own;
    auto bitmapImage = [&](int size) {
        if (!own) {
            own.emplace();
            own->load(data);
        }
        QImage image;
        if (own->isNull() || !own->render(size, size, image))
            return QImage();
        return image.convertToFormat(QImage::Format_ARGB32);
    };
    auto pngImage = [&](int size) {
        QImage image = master;
        if (size != kMasterSide && !document.render(size, size, image))
            return QImage();
        return image.convertToFormat(QImage::Format_ARGB32);
    };
    QList<EncodedEntry> entries;
    const int failedSize = encodeSplit(sizes, bitmapImage, pngImage, entries);
    if (failedSize) {
        qCritical() << "Failed to encode image size" << failedSize << "to" << kindLabel(failedSize);
        setReason(reason, QStringLiteral("cannot draw the SVG at every size"));
        return false;
    }
    warnIfNot256(master);
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

QList<int> orderedSizes(QList<int> sizes)
{
    for (const int size : std::as_const(sizes)) {
        if (size < 1 || size > kMaxIconSide)
            return {};
    }
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
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

bool writeIcoFromImage(const QImage& master, const QString& outputPath, QString* reason, const QList<int>& sizes)
{
    if (master.isNull()) {
        qCritical() << "Error: Failed to load source image";
        setReason(reason, QStringLiteral("no image to write"));
        return false;
    }
    return writeFromMaster(master, outputPath, reason, sizes);
}

bool writeIcoFromSourceFile(const QString& sourcePath, const QString& outputPath, QString* reason,
                            const QList<int>& sizes)
{
    if (!QFileInfo::exists(sourcePath)) {
        setReason(reason, QStringLiteral("No such file"));
        return false;
    }
    if (SourceImage::isSvgPath(sourcePath))
        return writeIcoFromSvg(sourcePath, outputPath, reason, sizes);

    // Entries above 256 get a master of their own size, so that they are scaled down from
    // the picture rather than enlarged from a 256 master.
    int masterSide = kMasterSide;
    for (const int size : sizes)
        masterSide = std::max(masterSide, std::min(size, kMaxIconSide));
    QImage master;
    QString readerReason;
    if (!SourceImage::loadRasterFitted(sourcePath, masterSide, master, &readerReason)) {
        qWarning() << "Failed to load image from:" << sourcePath;
        setReason(reason, readerReason.isEmpty() ? QStringLiteral("cannot decode the image") : readerReason);
        return false;
    }
    return writeFromMaster(master, outputPath, reason, sizes);
}

} // namespace IcoEncoder
