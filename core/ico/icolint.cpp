#include "icolint.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "bytes/bytereader.h"
#include "bytes/imagealloc.h"
#include "icolayout.h"
#include "icondecoder.h"
#include "iconlisting.h"
#include "pe/peresourcereader.h"

namespace IcoLint {

namespace {

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qint64 kPngSignatureBytes = 8;
// IHDR, the first chunk: its length (13) at 8, "IHDR" at 12, then width and height
// (u32be), bit depth and colour type (one byte each).
constexpr qint64 kIhdrLengthOffset = 8;
constexpr qint64 kIhdrTypeOffset = 12;
constexpr qint64 kIhdrWidthOffset = 16;
constexpr qint64 kIhdrHeightOffset = 20;
constexpr qint64 kIhdrDepthOffset = 24;
constexpr qint64 kIhdrColourTypeOffset = 25;
constexpr quint32 kIhdrLength = 13;
constexpr int kPngRgba = 6;

// BITMAPCOREHEADER (12 bytes) keeps 16-bit sides and 3-byte palette entries; the info
// headers of 40 bytes and up share their first 40: size, width, height, planes, bit
// count, compression at 16, colours used at 32.
constexpr quint32 kCoreHeaderBytes = 12;
constexpr quint32 kInfoHeaderBytes = 40;
constexpr qint64 kBiCompression = 16;
constexpr qint64 kBiClrUsed = 32;
constexpr quint32 kBiRgb = 0;

// A directory byte of 0 means 256.
constexpr int kZeroByteSide = 256;
// From here on Windows wants PNG: a bitmap this size is several times the bytes.
constexpr int kPngSide = 256;

// An entry is an enlargement of a smaller one when shrinking it back gives the smaller
// one (mean absolute differences per channel of premultiplied 8-bit values, over the
// pixels either image covers, within a few levels or half the smaller one's own detail
// for a busy one), and when its edges are no sharper than those of itself shrunk to the
// smaller size and enlarged again (Checker::edgeEnergy).  The other images of an icon
// shrunk from one large picture shrink back just as well, and a mean over all pixels
// cannot tell them from an enlargement where the artwork is flat; their edges can.  Of
// the icons ImageMagick and Pillow make of each picture of the Adwaita theme, every
// larger image holds at least 1.67 times the edge energy of itself shrunk by 1.5 and
// grown back, 1.95 times by 2, 3.1 by 4 and 5.4 by 8; ImageMagick's smooth enlargements
// by 2 and 4 hold 1.1 to 1.47 times it, Qt's by 8 1.66.  An enlargement by a factor f
// holds at most kSharperAtOne + f kSharperPerFactor times it.
constexpr double kShrunkMatches = 2.5;
constexpr double kSharperAtOne = 1.3;
constexpr double kSharperPerFactor = 0.125;
// A picture soft at every size (a glow) is no sharper at its larger size than an
// enlargement; its larger image is as sharp as the picture itself, which the smaller
// one shows by holding kDetailRatio times more detail of its own (what it loses at
// half its size) than the larger one adds to it.
constexpr double kDetailRatio = 2.2;
// An enlargement of a smaller image that is nearly flat (or blank) is no visible fault.
constexpr double kMinDetail = 1.0;
// Windows shows no icon larger than this; the quality rules judge only what it shows.
constexpr int kLargestShown = 256;
// Below this much, a real drawing adds too little over the smaller image to tell it
// from an enlargement (a photo at 96 against 72 misses by about 3), and an enlargement
// blurs too little to matter.
constexpr double kMinEnlargement = 1.5;
// What a session keeps of the libraries it met, for the verdicts it remembers.
constexpr qint64 kMaxKeptBytes = qint64(64) << 20;

const QList<Rule> kRules = {
    {"bad-header", Severity::Error, "The header's reserved field is not 0 or its type is not 1 (icon): the file is damaged, and readers that check the header (Pillow, icotool) refuse it."},
    {"bad-count", Severity::Error, "The header counts no image, or more directory entries than the file (Windows refuses it) or the group (damaged) holds."},
    {"entry-outside", Severity::Error, "An entry's data lies wholly or partly outside the file: Windows refuses that image."},
    {"missing-image", Severity::Error, "A library's icon group names an RT_ICON image the library does not hold: Windows cannot show that image."},
    {"entry-overlap", Severity::Error, "An entry's data overlaps the directory or another entry's data: the file is damaged."},
    {"empty-entry", Severity::Error, "An entry states 0 bytes of data: the file is damaged (the loader reads whatever lies at its offset)."},
    {"bad-image", Severity::Error, "An entry's data is neither a bitmap nor a PNG that decodes: Windows refuses that image."},
    {"dib-header", Severity::Error, "A bitmap's header has a size Windows does not know, a compression, or an impossible width or bit count: Windows refuses that image."},
    {"dib-height", Severity::Error, "A bitmap's height is odd, or is the image's own height where it must be twice that (colour rows plus AND mask rows): Windows shows it squashed, with part of the colour taken as the mask."},
    {"dib-truncated", Severity::Error, "A bitmap's header, palette or colour rows are cut short by the end of its data: Windows refuses that image."},
    {"mask-short", Severity::Error, "A bitmap's AND mask is cut short by the end of its data: the image is damaged (its last mask rows are not there to read)."},
    {"size-mismatch", Severity::Warning, "The directory's width or height disagrees with the image's own: Windows picks the image for the wrong size and scales it."},
    {"depth-mismatch", Severity::Warning, "The directory's bit count disagrees with the image's own: Windows may pick it for the wrong display depth."},
    {"png-format", Severity::Warning, "A PNG image is not 8-bit RGBA: older loaders and several tools read only 8-bit RGBA PNG icons."},
    {"small-png", Severity::Warning, "A PNG image below 256 pixels: older loaders and some tools read only bitmaps at those sizes."},
    {"large-bitmap", Severity::Warning, "A bitmap of 256 pixels or more: several times the bytes of the same image as PNG."},
    {"duplicate", Severity::Warning, "Two entries of the same size and bit count: Windows only ever shows the first."},
    {"transparent", Severity::Error, "A 32-bit image whose alpha is 0 everywhere, with an AND mask that hides every pixel or none (a PNG has none): Windows ignores such an alpha and shows the image blank or as a solid square."},
    {"unused-alpha", Severity::Note, "A 32-bit bitmap whose alpha is 0 everywhere, with an AND mask that draws its shape: Windows shows it through the mask, with hard edges, as if it had no alpha."},
    {"upscaled", Severity::Warning, "An image of up to 256 pixels (the largest Windows shows) that is an enlargement of a smaller one in the icon: it adds no detail and looks blurry."},
    {"missing-size", Severity::Warning, "No image of 16, 32, 48 or 256 pixels: Windows scales another one, blurry, where it shows that size."},
    {"missing-dpi-size", Severity::Note, "No image of 20, 24 or 40 pixels: the small icon is soft at 125 %, 150 % and 250 % display scale."},
    {"order", Severity::Note, "The entries are not in ascending size order."},
    {"no-icons", Severity::Note, "The library holds no icon group."},
};

Severity severityOf(const char* rule)
{
    for (const Rule& r : kRules) {
        if (qstrcmp(r.id, rule) == 0)
            return r.severity;
    }
    Q_ASSERT_X(false, "IcoLint", rule);
    return Severity::Error;
}

enum class Kind { Unknown, Dib, Png };

// One image of the icon: what the directory says and what its data says.
struct Item
{
    int number = 0;              // counted from 1
    IcoLayout::Entry entry;
    std::optional<ByteReader> data;
    Kind kind = Kind::Unknown;
    bool readable = false;       // the data's own header was read and Windows takes it
    qint64 width = 0;            // from the data's own header
    qint64 height = 0;
    int bits = 0;
    // 32-bit bitmaps: where the colour rows and the mask start, for the alpha rule
    qint64 colourStart = 0;
    bool maskComplete = false;
    QImage image;                // decoded for the quality rules, premultiplied
    bool decoded = false;
    double detail = -1;          // see Checker::detail, once needed
    double edges = -1;           // see Checker::edgeEnergy, once needed (large images)
};

// What decoding a PNG told: Windows refuses one that does not decode, and shows a
// solid square for an RGBA one whose alpha is 0 everywhere.
enum class PngVerdict { Shown, Transparent, Undecodable };

// An image's bytes as a key: hashed by their length and a few samples (hashing every
// byte of every payload costs more than the lookups save), compared whole.
struct PayloadKey
{
    QByteArray bytes;
    bool operator==(const PayloadKey& other) const { return bytes == other.bytes; }
};

size_t qHash(const PayloadKey& key, size_t seed = 0)
{
    constexpr qsizetype kSample = 16;
    const QByteArray& bytes = key.bytes;
    const qsizetype size = bytes.size();
    size_t hash = ::qHash(size, seed);
    for (const qsizetype at : {qsizetype(0), size / 3, size / 2, size * 2 / 3, size - kSample}) {
        if (at >= 0 && at + kSample <= size)
            hash = ::qHashMulti(hash, QByteArrayView(bytes.constData() + at, kSample));
    }
    return hash;
}

} // namespace

// What the groups of the libraries checked in one session share: a library repeats the
// same image under many RT_ICON IDs (wine's shell32.dll holds 1,840 images, 420 of them
// distinct), programs of one family carry the same icons, and groups of the same images
// get the same verdicts.  Keyed by the images' bytes, so an equal payload is judged once,
// whichever group meets it first.  Verdicts rather than images: each group's images are
// freed before the next takes memory, where keeping them all costs more in fresh pages
// than decoding the few that are met again.  An .ico file, or a library checked alone,
// has a memo of its own: the same image under several entries is decoded once.
struct Memo
{
    QMutex mutex;
    QHash<PayloadKey, PngVerdict> png;
    // The square images of a group (their bytes, smallest first) -> each enlargement
    // found, as (large, small) indices into that list.
    QHash<QList<PayloadKey>, QList<QPair<int, int>>> upscaled;
    // The keys are views of the libraries' bytes, kept here for as long as the memo.
    QList<IconResourceSet> kept;
    qint64 keptBytes = 0;

    // Keeps set for the memo's life; false when that would keep more than
    // kMaxKeptBytes, and set is then judged with a memo of its own.
    bool keep(const IconResourceSet& set)
    {
        qint64 bytes = set.storageBytes;
        if (!set.storage) {
            for (const QByteArray& payload : set.icons)
                bytes += payload.size();
        }
        const QMutexLocker lock(&mutex);
        if (keptBytes + bytes > kMaxKeptBytes)
            return false;
        kept.append(set);
        keptBytes += bytes;
        return true;
    }
};

namespace {

// The bytes of an item's data, without a copy: they outlive the check.
QByteArray payloadOf(const Item& item)
{
    return QByteArray::fromRawData(item.data->data(), qsizetype(item.data->size()));
}

class Checker
{
public:
    // memo: what this icon shares verdicts with, the icon's own at least, so that the
    // images of equal payloads are judged once.
    explicit Checker(Memo& memo)
        : memo(memo)
    {
    }

    QList<Finding> findings;
    Memo& memo;

    void add(const char* rule, int entry, const QString& text)
    {
        findings.append(Finding{severityOf(rule), QString::fromLatin1(rule), entry, text});
    }

    bool checkHeader(const ByteReader& bytes, qint64 entryBytes, const char* what, qint64& count)
    {
        const auto header = IcoLayout::header(bytes);
        if (!header) {
            add("bad-header", 0, QStringLiteral("%1 bytes, shorter than the 6-byte icon header").arg(bytes.size()));
            return false;
        }
        if (header->reserved != 0 || header->type != IcoLayout::kTypeIcon) {
            QString text = QStringLiteral("not an icon header: reserved field %1 and type %2, where an icon has 0 and 1")
                               .arg(header->reserved)
                               .arg(header->type);
            if (header->reserved == 0 && header->type == 2)
                text = QStringLiteral("type 2: a cursor, not an icon");
            add("bad-header", 0, text);
            return false;
        }
        count = header->count;
        if (count == 0) {
            add("bad-count", 0, QStringLiteral("the directory holds no image: Windows refuses the file"));
            return false;
        }
        const qint64 fits = (bytes.size() - IcoLayout::kHeaderBytes) / entryBytes;
        if (count > fits) {
            add("bad-count", 0,
                QStringLiteral("the header counts %1 images, but the %2 holds directory entries for only %3: %4")
                    .arg(count)
                    .arg(QLatin1String(what))
                    .arg(fits)
                    .arg(entryBytes == IcoLayout::kFileEntryBytes ? QStringLiteral("Windows refuses the file")
                                                                  : QStringLiteral("the group is damaged")));
            // What would follow are payload bytes read as directory entries.
            return false;
        }
        return true;
    }

    void checkData(Item& item)
    {
        const ByteReader& data = *item.data;
        if (data.startsWith(kPngSignature, kPngSignatureBytes))
            checkPng(item);
        else
            checkDib(item);
    }

    void checkPng(Item& item)
    {
        const ByteReader& data = *item.data;
        item.kind = Kind::Png;
        const auto length = data.u32be(kIhdrLengthOffset);
        const auto width = data.u32be(kIhdrWidthOffset);
        const auto height = data.u32be(kIhdrHeightOffset);
        const auto depth = data.u8(kIhdrDepthOffset);
        const auto colourType = data.u8(kIhdrColourTypeOffset);
        if (!allRead(length, width, height, depth, colourType) || *length != kIhdrLength
            || !data.matches(kIhdrTypeOffset, "IHDR", 4)) {
            add("bad-image", item.number, QStringLiteral("a PNG without a readable IHDR chunk"));
            return;
        }
        if (*width == 0 || *height == 0 || *width > quint32(kMaxImageSide) || *height > quint32(kMaxImageSide)) {
            add("bad-image", item.number, QStringLiteral("a PNG of %1x%2 pixels").arg(*width).arg(*height));
            return;
        }
        item.width = *width;
        item.height = *height;
        // Bits per pixel: the samples of each colour type times the bit depth.
        static const int kSamples[] = {1, 0, 3, 1, 2, 0, 4};
        const int samples = *colourType < 7 ? kSamples[*colourType] : 0;
        item.bits = samples * *depth;
        item.readable = true;
        if (*depth != 8 || *colourType != kPngRgba) {
            static const char* const kTypeNames[] = {"grey", "", "RGB", "palette", "grey with alpha", "", "RGBA"};
            const QString type = *colourType < 7 && samples ? QLatin1String(kTypeNames[*colourType])
                                                            : QStringLiteral("colour type %1").arg(*colourType);
            add("png-format", item.number,
                QStringLiteral("a PNG in %1-bit %2, not 8-bit RGBA; older loaders and several tools read only 8-bit RGBA")
                    .arg(*depth)
                    .arg(type));
        }
        if (std::max(item.width, item.height) < kPngSide) {
            add("small-png", item.number,
                QStringLiteral("a %1x%2 PNG; older loaders and some tools read only bitmaps below 256 pixels")
                    .arg(item.width)
                    .arg(item.height));
        }
    }

    void checkDib(Item& item)
    {
        const ByteReader& data = *item.data;
        item.kind = Kind::Dib;
        const auto headerSize = data.u32le(0);
        if (!headerSize) {
            add("dib-truncated", item.number, QStringLiteral("%1 bytes, too short for a bitmap header").arg(data.size()));
            return;
        }
        qint64 width = 0, height = 0;
        int bits = 0;
        quint32 compression = kBiRgb, coloursUsed = 0;
        qint64 paletteEntryBytes = 4;
        if (*headerSize == kCoreHeaderBytes) {
            const auto w = data.u16le(4), h = data.u16le(6), b = data.u16le(10);
            if (!allRead(w, h, b)) {
                add("dib-truncated", item.number, QStringLiteral("the bitmap header is cut short"));
                return;
            }
            width = *w;
            height = qint16(*h);
            bits = *b;
            paletteEntryBytes = 3;
        } else if (*headerSize == 40 || *headerSize == 52 || *headerSize == 56 || *headerSize == 108
                   || *headerSize == 124) {
            const auto w = data.i32le(4), h = data.i32le(8);
            const auto b = data.u16le(14);
            const auto c = data.u32le(kBiCompression), used = data.u32le(kBiClrUsed);
            if (!allRead(w, h, b, c, used) || !data.contains(0, *headerSize)) {
                add("dib-truncated", item.number, QStringLiteral("the %1-byte bitmap header is cut short").arg(*headerSize));
                return;
            }
            width = *w;
            height = *h;
            bits = *b;
            compression = *c;
            coloursUsed = *used;
        } else if (*headerSize < kInfoHeaderBytes) {
            add("bad-image", item.number,
                QStringLiteral("neither a PNG nor a bitmap (its first four bytes read as a header of %1 bytes)")
                    .arg(*headerSize));
            return;
        } else {
            add("dib-header", item.number, QStringLiteral("a bitmap header of %1 bytes, which is no known size").arg(*headerSize));
            return;
        }
        if (compression != kBiRgb) {
            add("dib-header", item.number,
                QStringLiteral("a compressed bitmap (compression %1); icons must be uncompressed").arg(compression));
            return;
        }
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
            add("dib-header", item.number, QStringLiteral("a bitmap of %1 bits per pixel").arg(bits));
            return;
        }
        if (width <= 0 || width > kMaxImageSide) {
            add("dib-header", item.number, QStringLiteral("a bitmap %1 pixels wide").arg(width));
            return;
        }
        if (height <= 0) {
            add("dib-height", item.number,
                QStringLiteral("a bitmap height of %1; icon bitmaps are stored bottom-up, with a positive height").arg(height));
            return;
        }
        // biHeight counts the colour rows and the mask rows.  A writer that forgot the
        // mask stores the image's own height, which then matches the directory's height
        // byte (modulo 256) where half of it should.
        const int heightByte = item.entry.height;
        const auto fitsByte = [heightByte](qint64 side) {
            return heightByte ? side == heightByte : side >= kZeroByteSide;
        };
        if (height % 2 != 0) {
            add("dib-height", item.number,
                QStringLiteral("bitmap height %1 is odd; it counts colour rows and as many mask rows").arg(height));
            return;
        }
        if (!fitsByte(height / 2) && fitsByte(height)) {
            add("dib-height", item.number,
                QStringLiteral("bitmap height %1 is the image's own, not twice it (colour rows and mask rows): "
                               "Windows shows it %2x%3, squashed")
                    .arg(height)
                    .arg(width)
                    .arg(height / 2));
            return;
        }
        const qint64 rows = height / 2;
        if (rows > kMaxImageSide) {
            add("dib-header", item.number, QStringLiteral("a bitmap %1 pixels high").arg(rows));
            return;
        }
        item.width = width;
        item.height = rows;
        item.bits = bits;

        const qint64 paletteEntries = bits <= 8 ? (coloursUsed ? qint64(coloursUsed) : qint64(1) << bits) : 0;
        const qint64 palette = paletteEntries * paletteEntryBytes;
        const qint64 colourStride = ((qint64(bits) * width + 31) / 32) * 4;
        const qint64 maskStride = ((width + 31) / 32) * 4;
        const qint64 colourStart = qint64(*headerSize) + palette;
        const qint64 colourEnd = colourStart + colourStride * rows;
        const qint64 maskEnd = colourEnd + maskStride * rows;
        if (colourEnd > data.size()) {
            add("dib-truncated", item.number,
                QStringLiteral("the bitmap's header, palette and colour rows need %1 bytes, its data has %2")
                    .arg(colourEnd)
                    .arg(data.size()));
            return;
        }
        item.colourStart = colourStart;
        item.maskComplete = maskEnd <= data.size();
        if (!item.maskComplete) {
            add("mask-short", item.number,
                QStringLiteral("the AND mask needs %1 bytes after the colour rows, the data has %2")
                    .arg(maskEnd - colourEnd)
                    .arg(data.size() - colourEnd));
            return;
        }
        item.readable = true;
        if (width >= kPngSide || rows >= kPngSide) {
            add("large-bitmap", item.number,
                QStringLiteral("a %1x%2 bitmap of %3 bytes; as PNG it would take a fraction of that")
                    .arg(width)
                    .arg(rows)
                    .arg(data.size()));
        }
    }

    // The directory against the data, once both were read.
    void checkDirectory(const Item& item)
    {
        const int widthByte = item.entry.width, heightByte = item.entry.height;
        const auto disagrees = [](int byte, qint64 side) {
            return byte ? byte != side : side < kZeroByteSide;
        };
        if (disagrees(widthByte, item.width) || disagrees(heightByte, item.height)) {
            add("size-mismatch", item.number,
                QStringLiteral("the directory says %1x%2, the image is %3x%4")
                    .arg(widthByte ? widthByte : kZeroByteSide)
                    .arg(heightByte ? heightByte : kZeroByteSide)
                    .arg(item.width)
                    .arg(item.height));
        }
        // A PNG is always drawn from 32-bit pixels, whatever its own depth; png-format
        // says what is unusual about it.
        if (item.kind == Kind::Dib && item.entry.bitCount != 0 && item.entry.bitCount != item.bits) {
            add("depth-mismatch", item.number,
                QStringLiteral("the directory says %1 bits per pixel, the image has %2").arg(item.entry.bitCount).arg(item.bits));
        }
    }

    // A 32-bit bitmap whose every alpha is 0: Windows then ignores the alpha and draws
    // the colour rows through the AND mask.  All of it set hides every pixel (blank);
    // none set shows the colour rows as an opaque square, where the writer meant
    // transparency; a mask that draws a shape is what icons before alpha did, and shows.
    void checkBitmapAlpha(const Item& item)
    {
        const ByteReader& data = *item.data;
        const qint64 pixels = item.width * item.height;
        for (qint64 i = 0; i < pixels; ++i) {
            if (data.byteAt(item.colourStart + i * 4 + 3))
                return;
        }
        const qint64 maskStride = ((item.width + 31) / 32) * 4;
        const qint64 maskStart = item.colourStart + pixels * 4;
        qint64 hidden = 0;
        for (qint64 y = 0; y < item.height; ++y) {
            for (qint64 x = 0; x < item.width; ++x)
                hidden += (data.byteAt(maskStart + y * maskStride + x / 8) >> (7 - x % 8)) & 1;
        }
        if (hidden == pixels) {
            add("transparent", item.number,
                QStringLiteral("alpha is 0 in every pixel and the AND mask hides them all: shown blank"));
        } else if (hidden == 0) {
            add("transparent", item.number,
                QStringLiteral("alpha is 0 in every pixel, so Windows ignores the alpha and shows the colour "
                               "rows as a solid square through an AND mask that hides nothing"));
        } else {
            add("unused-alpha", item.number,
                QStringLiteral("alpha is 0 in every pixel: Windows shows the image through its AND mask, "
                               "with hard edges"));
        }
    }

    // Every PNG is decoded once, whatever its depth, for Windows refuses one that does
    // not decode.  Its image is kept only when keep (the quality rules may need it, and
    // it is at most kLargestShown square); any other is judged and freed at once, so a
    // group holds one large image at a time.  An equal payload met before, in this icon
    // or another of the memo's, has its verdict remembered and is not decoded again.
    void checkPngData(Item& item, bool keep)
    {
        std::optional<PngVerdict> verdict;
        {
            const QMutexLocker lock(&memo.mutex);
            const auto found = memo.png.constFind(PayloadKey{payloadOf(item)});
            if (found != memo.png.constEnd())
                verdict = *found;
        }
        if (!verdict) {
            QImage image = decodePng(item);
            verdict = image.isNull() ? PngVerdict::Undecodable : pngVerdict(image, item.bits);
            if (keep) {
                item.decoded = true;
                if (!image.isNull())
                    item.image = std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
            }
            const QMutexLocker lock(&memo.mutex);
            memo.png.insert(PayloadKey{payloadOf(item)}, *verdict);
        }
        if (*verdict == PngVerdict::Undecodable) {
            item.decoded = true; // nothing for the quality rules either
            add("bad-image", item.number, QStringLiteral("the PNG data does not decode"));
        } else if (*verdict == PngVerdict::Transparent) {
            add("transparent", item.number,
                QStringLiteral("alpha is 0 in every pixel, so Windows ignores the alpha and shows a solid square "
                               "instead of nothing"));
        }
    }

    // Only an 8-bit RGBA PNG counts as a 32-bit image whose alpha Windows may ignore.
    static PngVerdict pngVerdict(const QImage& decoded, int bits)
    {
        if (bits != 32 || !decoded.hasAlphaChannel())
            return PngVerdict::Shown;
        const QImage image = decoded.format() == QImage::Format_ARGB32 ? decoded
                                                                       : decoded.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(line[x]))
                    return PngVerdict::Shown;
            }
        }
        return PngVerdict::Transparent;
    }

    static QImage decodePng(const Item& item)
    {
        return IconDecoder::decodePng(payloadOf(item), FastPng::Metadata::Ignored); // only the pixels are judged
    }

    // An image for the quality rules: a bitmap at its own size, whatever the directory
    // says.  Once: an image that does not decode stays null.
    void decode(Item& item)
    {
        if (item.decoded)
            return;
        item.decoded = true;
        QImage image = item.kind == Kind::Png ? decodePng(item) : decodeModuleDib(payloadOf(item), 0, 0);
        // In place: the decoded pixels are not needed as they were.
        if (!image.isNull())
            item.image = std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }

    void checkSet(QList<Item>& items)
    {
        // What Windows matches a requested size against: the directory, 0 standing for
        // the image's own side from 256 up.
        const auto sideOf = [](const Item& item) {
            return item.entry.width ? int(item.entry.width) : int(std::max<qint64>(item.width, kZeroByteSide));
        };
        const auto bitsOf = [](const Item& item) {
            return item.entry.bitCount ? int(item.entry.bitCount) : item.bits;
        };
        QList<int> sides;
        for (int i = 0; i < items.size(); ++i) {
            const Item& item = items.at(i);
            sides.append(sideOf(item));
            for (int j = 0; j < i; ++j) {
                const Item& earlier = items.at(j);
                if (sideOf(earlier) == sideOf(item) && earlier.entry.height == item.entry.height
                    && bitsOf(earlier) == bitsOf(item)) {
                    add("duplicate", item.number,
                        QStringLiteral("%1x%1 at %2 bits per pixel, as entry %3; only the first is ever shown")
                            .arg(sideOf(item))
                            .arg(bitsOf(item))
                            .arg(earlier.number));
                    break;
                }
            }
        }
        if (items.isEmpty())
            return;
        QStringList missing;
        for (int side : {16, 32, 48, 256}) {
            if (!sides.contains(side))
                missing.append(QStringLiteral("%1x%1").arg(side));
        }
        if (!missing.isEmpty()) {
            add("missing-size", 0,
                QStringLiteral("no %1 image; Windows scales another one where it shows that size")
                    .arg(missing.join(QLatin1String(", "))));
        }
        struct DpiSize { int side; const char* scale; };
        QStringList soft;
        for (const DpiSize& dpi : {DpiSize{20, "125 %"}, DpiSize{24, "150 %"}, DpiSize{40, "250 %"}}) {
            if (!sides.contains(dpi.side))
                soft.append(QStringLiteral("%1x%1 (%2)").arg(dpi.side).arg(QLatin1String(dpi.scale)));
        }
        if (!soft.isEmpty()) {
            add("missing-dpi-size", 0,
                QStringLiteral("no %1 image; the small icon is soft at those display scales")
                    .arg(soft.join(QLatin1String(", "))));
        }
        for (int i = 1; i < sides.size(); ++i) {
            if (sides.at(i) < sides.at(i - 1)) {
                add("order", 0, QStringLiteral("entry %1 (%2x%2) follows a larger one; the sizes are not ascending")
                                    .arg(items.at(i).number)
                                    .arg(sides.at(i)));
                break;
            }
        }
    }

    // The images the enlargement rule compares: one of each square size Windows shows,
    // smallest first; of one size the deepest (the first of equal depth), for the others
    // of that size are the same picture in fewer colours.
    static QList<Item*> squaresBySide(QList<Item>& items)
    {
        QMap<qint64, Item*> bySide;
        for (Item& item : items) {
            if (!item.readable || item.width != item.height || item.width > kLargestShown)
                continue;
            Item*& kept = bySide[item.width];
            if (!kept || item.bits > kept->bits)
                kept = &item;
        }
        return bySide.values();
    }

    // Each square image against the smaller square images of the icon; a finding names
    // the one it was enlarged from.  Remembered by the images' bytes: the same images in
    // another group get the same findings in their own entry numbers.
    void checkUpscaled(const QList<Item*>& sides)
    {
        if (sides.size() < 2)
            return;
        QList<PayloadKey> key;
        for (const Item* item : sides)
            key.append(PayloadKey{payloadOf(*item)});
        QList<QPair<int, int>> known;
        bool found = false;
        {
            const QMutexLocker lock(&memo.mutex);
            const auto it = memo.upscaled.constFind(key);
            found = it != memo.upscaled.constEnd();
            if (found)
                known = *it;
        }
        if (found) {
            for (const auto& [large, small] : std::as_const(known))
                addUpscaled(*sides.at(large), *sides.at(small));
            return;
        }
        QList<QPair<int, int>> enlargements;
        QList<Item*> squares;
        for (Item* item : sides) {
            decode(*item);
            if (!item->image.isNull())
                squares.append(item);
        }
        for (int i = 1; i < squares.size(); ++i) {
            Item& large = *squares.at(i);
            int candidates = 0;
            while (candidates < i && large.width >= squares.at(candidates)->width * kMinEnlargement)
                ++candidates;
            if (!candidates)
                continue;
            // Each shrink of the large image is made once and serves both tests below.
            QMap<int, Shrunk> shrinks;
            const auto shrunkTo = [&](int side) -> const Shrunk& {
                auto found = shrinks.find(side);
                if (found == shrinks.end())
                    found = shrinks.insert(side, shrink(large.image, side));
                return *found;
            };
            // An enlargement shrinks back to the image it was made from and is made of
            // blocks (nearest neighbour, named by the smallest block size), or is hardly
            // sharper than itself brought down to that size and up again (kSharperAtOne).
            // Of the smaller images it passes for an enlargement of, the one it matches
            // best is named: an image enlarged from 32 loses nothing at 32 but its detail
            // between 32 and 16 at 16.
            const auto shrinksBack = [&](Item& small) {
                if (small.detail < 0)
                    small.detail = detail(small.image);
                return shrinksTo(shrunkTo(int(small.width)).converted, small.image, small.detail);
            };
            const Item* from = nullptr;
            for (int j = 0; j < candidates && !from; ++j) {
                Item& small = *squares.at(j);
                if (isBlockEnlargement(large.image, int(small.width)) && shrinksBack(small))
                    from = &small;
            }
            double best = 1.0;
            bool nearest = true;
            for (int j = from ? -1 : candidates - 1; j >= 0; --j) {
                Item& small = *squares.at(j);
                if (!shrinksBack(small))
                    continue;
                if (large.edges < 0)
                    large.edges = edgeEnergy(large.image);
                const Shrunk& shrunk = shrunkTo(int(small.width));
                const double factor = double(large.width) / double(small.width);
                const double sharper = large.edges / std::max(edgeEnergy(shrunk.grown()), 1.0);
                const double score = sharper / (kSharperAtOne + factor * kSharperPerFactor);
                // Detail beyond the nearest smaller image it shrinks back to is detail
                // beyond every smaller one.
                if (nearest && score > 1.0)
                    break;
                nearest = false;
                if (score <= best && addsLittle(large.image, shrunk.grown(), small.detail)) {
                    from = &small;
                    best = score;
                }
            }
            if (from) {
                addUpscaled(large, *from);
                enlargements.append({int(sides.indexOf(&large)), int(sides.indexOf(from))});
            }
        }
        const QMutexLocker lock(&memo.mutex);
        memo.upscaled.insert(key, enlargements);
    }

    void addUpscaled(const Item& large, const Item& small)
    {
        add("upscaled", large.number,
            QStringLiteral("blurry: upscaled from %1x%1 (entry %2)").arg(small.width).arg(small.number));
    }

    // An image shrunk to a square side, as Qt's smooth scaling gives it and in the
    // premultiplied format the differences are taken in, and that enlarged again to
    // the image's own size once it is asked for: the image without what it holds beyond
    // the smaller size.
    struct Shrunk
    {
        QImage converted;
        QSize size;
        mutable QImage grownBack;

        const QImage& grown() const
        {
            if (grownBack.isNull())
                grownBack = converted.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
            return grownBack;
        }
    };

    static Shrunk shrink(const QImage& image, int side)
    {
        Shrunk shrunk;
        shrunk.converted = image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        shrunk.size = image.size();
        return shrunk;
    }

    // True when the large image, shrunk to the small one's size and enlarged again
    // (grown), misses itself by much less than the small image holds of its own
    // (kDetailRatio): not a picture soft at every size.
    static bool addsLittle(const QImage& large, const QImage& grown, double smallDetail)
    {
        return meanDifference(grown, large) * kDetailRatio <= smallDetail;
    }

    // Over the pixels that either image covers, so that an overlay drawn in one corner
    // is not judged by the transparent rest.
    static double meanDifference(const QImage& a, const QImage& b)
    {
        qint64 sum = 0, covered = 0;
        const int width = a.width(), height = a.height();
        for (int y = 0; y < height; ++y) {
            const QRgb* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
            const QRgb* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
            int x = 0;
#if defined(__SSE2__) || defined(_M_X64)
            // Four pixels at a time: the bytes of the pixels neither covers are cleared,
            // then the sum of absolute differences of all 16 bytes at once.
            const __m128i alphas = _mm_set1_epi32(int(0xFF000000u));
            const __m128i zero = _mm_setzero_si128();
            __m128i sums = zero, counts = zero;
            for (; x + 4 <= width; x += 4) {
                const __m128i pp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
                const __m128i qq = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + x));
                const __m128i uncovered = _mm_cmpeq_epi32(_mm_and_si128(_mm_or_si128(pp, qq), alphas), zero);
                sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_andnot_si128(uncovered, pp), _mm_andnot_si128(uncovered, qq)));
                counts = _mm_sub_epi32(counts, _mm_andnot_si128(uncovered, _mm_set1_epi32(-1)));
            }
            alignas(16) qint64 sumLanes[2];
            alignas(16) qint32 countLanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(sumLanes), sums);
            _mm_store_si128(reinterpret_cast<__m128i*>(countLanes), counts);
            sum += sumLanes[0] + sumLanes[1];
            covered += qint64(countLanes[0]) + countLanes[1] + countLanes[2] + countLanes[3];
#endif
            for (; x < width; ++x) {
                if (!qAlpha(p[x]) && !qAlpha(q[x]))
                    continue;
                ++covered;
                sum += std::abs(qRed(p[x]) - qRed(q[x])) + std::abs(qGreen(p[x]) - qGreen(q[x]))
                    + std::abs(qBlue(p[x]) - qBlue(q[x])) + std::abs(qAlpha(p[x]) - qAlpha(q[x]));
            }
        }
        return covered ? double(sum) / (double(covered) * 4) : 0.0;
    }

    // True when the large image, shrunk to the small one's size, gives it back: what any
    // enlargement does.
    static bool shrinksTo(const QImage& shrunk, const QImage& small, double smallDetail)
    {
        return smallDetail > kMinDetail && meanDifference(shrunk, small) <= std::max(kShrunkMatches, smallDetail / 2);
    }

    // The sum of squared differences between neighbouring pixels, across and down, of
    // all four premultiplied channels: how much edge an image holds.  Of two images of
    // one size, the sharper one holds more: an edge over one pixel counts its step
    // squared, the same step over two pixels half that.
    static double edgeEnergy(const QImage& image)
    {
        qint64 sum = 0;
        const int width = image.width(), height = image.height();
        const auto squares = [](QRgb a, QRgb b) {
            const int r = qRed(a) - qRed(b), g = qGreen(a) - qGreen(b);
            const int bl = qBlue(a) - qBlue(b), al = qAlpha(a) - qAlpha(b);
            return qint64(r * r + g * g + bl * bl + al * al);
        };
        for (int y = 0; y < height; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            const QRgb* next = y + 1 < height ? reinterpret_cast<const QRgb*>(image.constScanLine(y + 1)) : nullptr;
            int x = 0;
#if defined(__SSE2__) || defined(_M_X64)
            // Four pixels at a time, against their right and lower neighbours: the bytes
            // widened to 16 bits, and each pair of squared differences summed in 32 bits
            // (at most 2 * 255^2 each, some 8 million over a row of 256 pixels).
            const __m128i zero = _mm_setzero_si128();
            __m128i sums = zero;
            const auto add = [&](__m128i a, __m128i b) {
                const __m128i low = _mm_sub_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
                const __m128i high = _mm_sub_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
                sums = _mm_add_epi32(sums, _mm_add_epi32(_mm_madd_epi16(low, low), _mm_madd_epi16(high, high)));
            };
            for (; next && x + 4 < width; x += 4) {
                const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + x));
                add(here, _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + x + 1)));
                add(here, _mm_loadu_si128(reinterpret_cast<const __m128i*>(next + x)));
            }
            alignas(16) qint32 lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sums);
            sum += qint64(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
#endif
            for (; x < width; ++x) {
                if (x + 1 < width)
                    sum += squares(line[x], line[x + 1]);
                if (next)
                    sum += squares(line[x], next[x]);
            }
        }
        return double(sum);
    }

    // How much an image loses when shrunk to half and enlarged again: what it holds
    // beyond half its size.
    static double detail(const QImage& image)
    {
        const int half = image.width() / 2;
        return half > 0 ? meanDifference(shrink(image, half).grown(), image) : 0.0;
    }

    // True when large is made of blocks of one colour each, side / smallSide pixels wide.
    static bool isBlockEnlargement(const QImage& large, int smallSide)
    {
        const int side = large.width();
        if (side % smallSide)
            return false;
        const int block = side / smallSide;
        for (int y = 0; y < side; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(large.constScanLine(y));
            const QRgb* top = reinterpret_cast<const QRgb*>(large.constScanLine(y - y % block));
            for (int x = 0; x < side; ++x) {
                if (line[x] != top[x - x % block])
                    return false;
            }
        }
        return true;
    }

    void checkItems(QList<Item>& items)
    {
        for (Item& item : items) {
            if (!item.data)
                continue;
            checkData(item);
            if (item.readable)
                checkDirectory(item);
        }
        const QList<Item*> squares = squaresBySide(items);
        for (Item& item : items) {
            if (!item.readable)
                continue;
            if (item.kind == Kind::Png)
                checkPngData(item, squares.contains(&item));
            else if (item.bits == 32)
                checkBitmapAlpha(item);
        }
        checkSet(items);
        checkUpscaled(squares);
        std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
            return a.entry < b.entry;
        });
    }
};

QString groupName(const IconResourceName& name)
{
    return name.isId ? QString::number(name.id) : name.name;
}

} // namespace

bool FileReport::hasErrors() const
{
    if (!failure.isEmpty())
        return true;
    for (const Icon& icon : icons) {
        for (const Finding& finding : icon.findings) {
            if (finding.severity == Severity::Error)
                return true;
        }
    }
    return false;
}

const QList<Rule>& rules()
{
    return kRules;
}

const char* severityName(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        break;
    }
    return "note";
}

QList<Finding> checkIcoBytes(const QByteArray& bytes)
{
    Memo memo;
    Checker checker(memo);
    const ByteReader ico(bytes);
    qint64 count = 0;
    if (!checker.checkHeader(ico, IcoLayout::kFileEntryBytes, "file", count))
        return checker.findings;
    const qint64 directoryEnd = IcoLayout::directoryBytes(count, IcoLayout::kFileEntryBytes);
    QList<Item> items;
    for (qint64 i = 0; i < count; ++i) {
        Item item;
        item.number = int(i + 1);
        item.entry = *IcoLayout::fileEntry(ico, i);
        const qint64 offset = item.entry.offset, length = item.entry.length;
        if (length == 0) {
            checker.add("empty-entry", item.number, QStringLiteral("its data is stated as 0 bytes long"));
        } else if (!ico.contains(offset, length)) {
            checker.add("entry-outside", item.number,
                        QStringLiteral("its %1 bytes at offset %2 reach past the end of the file (%3 bytes)")
                            .arg(length)
                            .arg(offset)
                            .arg(ico.size()));
        } else {
            item.data = ico.sub(offset, length);
            if (offset < directoryEnd)
                checker.add("entry-overlap", item.number,
                            QStringLiteral("its data at offset %1 starts inside the directory, which ends at %2")
                                .arg(offset)
                                .arg(directoryEnd));
        }
        items.append(item);
    }
    // Overlaps between entries: sorted by offset, each range against the furthest end so far.
    QList<const Item*> placed;
    for (const Item& item : items) {
        if (item.data)
            placed.append(&item);
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Item* a, const Item* b) {
        return a->entry.offset < b->entry.offset;
    });
    const Item* furthest = nullptr;
    for (const Item* item : placed) {
        if (furthest && item->entry.offset < qint64(furthest->entry.offset) + furthest->entry.length) {
            checker.add("entry-overlap", std::max(item->number, furthest->number),
                        QStringLiteral("its data overlaps that of entry %1")
                            .arg(std::min(item->number, furthest->number)));
        }
        if (!furthest || qint64(item->entry.offset) + item->entry.length > qint64(furthest->entry.offset) + furthest->entry.length)
            furthest = item;
    }
    checker.checkItems(items);
    return checker.findings;
}

namespace {

QList<Finding> checkGroup(const QByteArray& group, const QMap<quint16, QByteArray>& icons, Memo& memo)
{
    Checker checker(memo);
    const ByteReader directory(group);
    qint64 count = 0;
    if (!checker.checkHeader(directory, IcoLayout::kGroupEntryBytes, "group", count))
        return checker.findings;
    QList<Item> items;
    for (qint64 i = 0; i < count; ++i) {
        Item item;
        item.number = int(i + 1);
        item.entry = *IcoLayout::groupEntry(directory, i);
        const auto found = icons.constFind(item.entry.iconId);
        if (found == icons.constEnd()) {
            checker.add("missing-image", item.number,
                        QStringLiteral("names RT_ICON %1, which the file does not hold").arg(item.entry.iconId));
        } else if (found->isEmpty()) {
            checker.add("empty-entry", item.number, QStringLiteral("RT_ICON %1 is 0 bytes long").arg(item.entry.iconId));
        } else {
            // The map's payloads live as long as the caller's set.
            item.data = ByteReader(*found);
        }
        items.append(item);
    }
    checker.checkItems(items);
    return checker.findings;
}

} // namespace

QList<Finding> checkGroup(const QByteArray& group, const QMap<quint16, QByteArray>& icons)
{
    Memo memo;
    return checkGroup(group, icons, memo);
}

namespace {

// With the memo of a session, or none: each library then has a memo of its own.
FileReport checkFileWith(const QString& path, Memo* sessionMemo)
{
    FileReport report;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        report.failure = QStringLiteral("cannot be opened");
        return report;
    }
    const QByteArray magic = file.peek(2);
    if (magic == QByteArrayLiteral("MZ")) {
        file.close();
        IconResourceSet set;
        if (!readIconResources(path, set, PayloadStorage::Shared)) {
            report.failure = QStringLiteral("not a readable executable or library");
            return report;
        }
        if (set.groups.isEmpty()) {
            Icon none;
            none.findings.append({Severity::Note, QStringLiteral("no-icons"), 0,
                                  QStringLiteral("no icon group in the file")});
            report.icons.append(none);
        }
        // A library holds hundreds of groups, each decoded and judged on its own.  The
        // thread checking the file takes them one at a time, and so does each thread of
        // the program's pool that comes free meanwhile: files checked side by side share
        // that pool, and no file's groups wait in its queue behind another file's.
        const qsizetype first = report.icons.size();
        report.icons.resize(first + set.groups.size());
        for (qsizetype i = 0; i < set.groups.size(); ++i) {
            report.icons[first + i].group =
                i < set.groupNames.size() ? groupName(set.groupNames.at(i)) : QString::number(i);
        }
        Memo ownMemo;
        Memo* memo = sessionMemo && sessionMemo->keep(set) ? sessionMemo : &ownMemo;
        struct Groups
        {
            const IconResourceSet* set;
            qsizetype count;
            Icon* icons;
            Memo* memo;
            std::atomic<qsizetype> next{0};
            QSemaphore done;

            // Checks unclaimed groups until none is left.  What the pointers lead to
            // lives until every claimed group is done, which checkFile waits for.
            void work()
            {
                for (qsizetype i = next++; i < count; i = next++) {
                    icons[i].findings = checkGroup(set->groups.at(i), set->icons, *memo);
                    done.release();
                }
            }
        };
        // Shared with the helpers: one may start, or still be inside release(), after
        // the wait below returns.
        const auto groups = std::make_shared<Groups>();
        groups->set = &set;
        groups->count = set.groups.size();
        groups->icons = report.icons.data() + first;
        groups->memo = memo;
        QThreadPool* pool = QThreadPool::globalInstance();
        for (qsizetype helpers = 1; helpers < qMin(qsizetype(pool->maxThreadCount()), set.groups.size()); ++helpers)
            pool->start([groups] { groups->work(); });
        groups->work();
        groups->done.acquire(int(set.groups.size()));
        return report;
    }
    if (file.size() > IconListing::kMaxIcoFileBytes) {
        report.failure = QStringLiteral("too large for an icon file");
        return report;
    }
    const QByteArray bytes = file.readAll();
    report.icons.append(Icon{QString(), checkIcoBytes(bytes)});
    return report;
}

} // namespace

Session::Session()
    : m_memo(std::make_unique<Memo>())
{
}

Session::~Session() = default;

FileReport Session::checkFile(const QString& path)
{
    return checkFileWith(path, m_memo.get());
}

FileReport checkFile(const QString& path)
{
    return checkFileWith(path, nullptr);
}

} // namespace IcoLint
