#include "icondecoder.h"

#include <QRgba64>
#include <QtDebug>

#include <optional>

#include "bytes/bytereader.h"
#include "fastpng.h"
#include "bytes/imagealloc.h"

namespace IconDecoder {

namespace {

constexpr char kPngSignature[] = "\x89PNG";
constexpr qint64 kPngSignatureBytes = 4;

// BITMAPINFOHEADER field offsets.
constexpr qint64 kBiSize = 0;
constexpr qint64 kBiWidth = 4;
constexpr qint64 kBiHeight = 8;
constexpr qint64 kBiBitCount = 14;
constexpr qint64 kBiClrUsed = 32;

// Bytes per stored row, padded to a 32-bit boundary; 64-bit, as bits * width may be huge.
qint64 rowStride(qint64 bitCount, qint64 width)
{
    return ((bitCount * width + 31) / 32) * 4;
}

// entries palette colours as 0x00RRGGBB; nothing when the palette reaches past the end.
std::optional<QList<QRgb>> readPalette(const ByteReader& payload, qint64 start, qint64 entries)
{
    const auto bytes = payload.sub(start, entries * kPaletteEntrySize);
    if (!bytes)
        return std::nullopt;
    QList<QRgb> palette;
    palette.reserve(qsizetype(entries));
    for (qint64 i = 0; i < entries; ++i) {
        const auto colour = bytes->u32le(i * kPaletteEntrySize);
        if (!colour)
            return std::nullopt;
        palette.append(*colour & 0x00FFFFFFu);
    }
    return palette;
}

// The colour of pixel x of one stored row, without alpha except for 32 bits; true when
// the bit count is one of 1, 4, 8, 24, 32.
struct RowDecoder
{
    int bitCount;
    const QList<QRgb>& palette;

    bool supported() const
    {
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24
            || bitCount == 32;
    }

    QRgb paletteColour(qint64 index) const
    {
        return index < palette.size() ? palette.at(qsizetype(index)) : QRgb(0);
    }

    QRgb colour(const ByteReader& row, qint64 x) const
    {
        switch (bitCount) {
        case 32:
            return QRgb(row.byteAt(x * 4)) | (QRgb(row.byteAt(x * 4 + 1)) << 8)
                | (QRgb(row.byteAt(x * 4 + 2)) << 16) | (QRgb(row.byteAt(x * 4 + 3)) << 24);
        case 24:
            return QRgb(row.byteAt(x * 3)) | (QRgb(row.byteAt(x * 3 + 1)) << 8)
                | (QRgb(row.byteAt(x * 3 + 2)) << 16);
        case 8:
            return paletteColour(row.byteAt(x));
        case 4: {
            const uchar pair = row.byteAt(x / 2);
            return paletteColour((x % 2) ? (pair & 0x0F) : (pair >> 4));
        }
        case 1:
            return paletteColour((row.byteAt(x / 8) >> (7 - x % 8)) & 1);
        default:
            return 0;
        }
    }
};

bool maskBit(const ByteReader& maskRow, qint64 x)
{
    return (maskRow.byteAt(x / 8) >> (7 - x % 8)) & 1;
}

// The stored row that output row y comes from (rows are bottom-up); empty past the end.
ByteReader storedRow(const ByteReader& bitmap, qint64 stride, qint64 height, qint64 y)
{
    const qint64 at = (height - 1 - y) * stride;
    if (const auto row = bitmap.sub(at, stride))
        return *row;
    return bitmap.tail(at);
}

void logInvalidDib(int entryNumber)
{
    qWarning() << "Skipping invalid BMP image entry" << entryNumber;
}

} // namespace

bool isPngPayload(const QByteArray& payload)
{
    return ByteReader(payload).startsWith(kPngSignature, kPngSignatureBytes);
}

QImage decodePng(const QByteArray& payload, FastPng::Metadata metadata)
{
    QImage image = FastPng::decode(payload, metadata);
    if (image.isNull())
        image.loadFromData(payload, "PNG");
    return image;
}

void decodeIconEntry(const QByteArray& payload, int entryNumber, IconGroupRecord& record,
                     int groupBitCount)
{
    const ByteReader bytes(payload);
    QImage image;
    if (bytes.size() > 7 && isPngPayload(payload)) {
        image = decodePng(payload);
        if (image.isNull()) {
            qCritical() << "Error: Could not parse embedded PNG data for entry" << entryNumber;
            return;
        }
    } else {
        const auto biSize = bytes.u32le(kBiSize);
        const auto biWidth = bytes.i32le(kBiWidth);
        const auto biHeight = bytes.i32le(kBiHeight);
        const auto biBitCount = bytes.u16le(kBiBitCount);
        const auto biClrUsed = bytes.u32le(kBiClrUsed);
        // The whole 40-byte header must be there, and the data must start inside the payload.
        if (!allRead(biSize, biWidth, biHeight, biBitCount, biClrUsed) || *biSize < kBitmapInfoHeaderSize
            || qint64(*biSize) >= bytes.size() || *biWidth <= 0 || *biHeight < 2) {
            logInvalidDib(entryNumber);
            return;
        }
        const qint64 width = *biWidth;
        const qint64 height = *biHeight / 2;
        const int bitCount = *biBitCount;
        // Bounded before any size is computed from them.
        if (width > kMaxImageSide || height > kMaxImageSide) {
            logInvalidDib(entryNumber);
            return;
        }

        qint64 colourStart = *biSize;
        QList<QRgb> palette;
        if (bitCount <= 8) {
            const qint64 entries = *biClrUsed ? qint64(*biClrUsed) : (qint64(1) << bitCount);
            auto read = readPalette(bytes, colourStart, entries);
            if (!read) {
                logInvalidDib(entryNumber);
                return;
            }
            palette = *read;
            colourStart += entries * kPaletteEntrySize;
        }
        const qint64 colourStride = rowStride(bitCount, width);
        const qint64 maskStride = rowStride(1, width);
        const auto colour = bytes.sub(colourStart, colourStride * height);
        image = imageAlloc(width, height, QImage::Format_ARGB32);
        if (!colour || image.isNull()) {
            logInvalidDib(entryNumber);
            return;
        }
        const ByteReader mask = bytes.tail(colourStart + colourStride * height);
        const RowDecoder decoder{bitCount, palette};
        for (qint64 y = 0; y < height; ++y) {
            const ByteReader row = storedRow(*colour, colourStride, height, y);
            const ByteReader maskRow = storedRow(mask, maskStride, height, y);
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
            for (qint64 x = 0; x < width; ++x) {
                QRgb value = decoder.colour(row, x);
                if (bitCount != 32)
                    value = (value & 0x00FFFFFFu) | (maskBit(maskRow, x) ? 0u : 0xFF000000u);
                line[x] = value;
            }
        }
    }

    IconImageEntry entry;
    entry.image = image;
    entry.width = image.width();
    entry.depth = groupBitCount;
    record.entries.append(entry);
    if (record.image.width() < image.width())
        record.image = image;
}

QImage decodeModuleDib(const QByteArray& payload, int entryWidth, int entryHeight, int* bitCount)
{
    const ByteReader bytes(payload);
    const auto biHeight = bytes.i32le(kBiHeight);
    const auto biBitCount = bytes.u16le(kBiBitCount);
    if (bitCount)
        *bitCount = biBitCount ? int(*biBitCount) : 0;
    if (!allRead(biHeight, biBitCount) || !bytes.contains(0, kBitmapInfoHeaderSize) || *biHeight < 0)
        return QImage();
    const int bits = *biBitCount;

    // Decided on the directory's height byte, before a 0 byte is replaced.
    const bool applyMask = bits < 32 && entryHeight != *biHeight;
    qint64 width = entryWidth;
    qint64 height = entryHeight;
    if (width == 0 || height == 0) {
        // A 0 byte stands for 256 or more, so the payload's own header decides: biWidth
        // by biHeight / 2.  For the square icons of 256 this is the square of side
        // biHeight / 2; a non-square image keeps its own proportions instead of being
        // read as a square that its rows do not fill.
        width = bytes.i32le(kBiWidth).value_or(0);
        height = quint32(*biHeight) / 2;
    }
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        return QImage();

    // The palette or the pixels follow the header: 40 bytes, or the 52, 56, 108 or 124 of
    // the later headers (colour masks, colour space), which icon writers use too and whose
    // extra fields an icon does not need.  Read from byte 40 on, such a DIB would come out
    // as its own header bytes shifted into the picture.  Any other stated size counts 40.
    qint64 colourStart = kBitmapInfoHeaderSize;
    const quint32 headerSize = bytes.u32le(kBiSize).value_or(0);
    switch (headerSize) {
    case 52: case 56: case 108: case 124:
        colourStart = headerSize;
        break;
    default:
        break;
    }
    QList<QRgb> palette;
    if (bits == 1 || bits == 4 || bits == 8) {
        auto read = readPalette(bytes, colourStart, qint64(1) << bits);
        if (!read)
            return QImage();
        palette = *read;
        colourStart += palette.size() * kPaletteEntrySize;
    }
    const RowDecoder decoder{bits, palette};
    const qint64 colourStride = rowStride(bits, width);
    const qint64 maskStride = rowStride(1, width);
    std::optional<ByteReader> colour;
    if (decoder.supported()) {
        colour = bytes.sub(colourStart, colourStride * height);
        if (!colour)
            return QImage();
    }
    QImage image = imageAlloc(width, height, QImage::Format_RGBA64);
    if (image.isNull())
        return QImage();
    const ByteReader mask = bytes.tail(colourStart + colourStride * height);

    for (qint64 y = 0; y < height; ++y) {
        QRgba64* line = reinterpret_cast<QRgba64*>(image.scanLine(int(y)));
        const ByteReader maskRow = storedRow(mask, maskStride, height, y);
        const ByteReader row = colour ? storedRow(*colour, colourStride, height, y) : ByteReader();
        for (qint64 x = 0; x < width; ++x) {
            QRgb value = 0;  // transparent black for an unsupported bit count
            if (colour) {
                value = decoder.colour(row, x);
                if (bits != 32)
                    value |= 0xFF000000u;
            }
            if (applyMask && maskBit(maskRow, x))
                value &= 0x00FFFFFFu;
            line[x] = QRgba64::fromArgb32(value);
        }
    }
    return image;
}

} // namespace IconDecoder
