#include "fastpng.h"

#include <QColorSpace>
#include <QList>

#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "bytes/bytereader.h"
#include "bytes/imagealloc.h"

namespace FastPng {

namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qint64 kSignatureBytes = 8;
constexpr qint64 kChunkOverhead = 12; // length, type, CRC
constexpr quint32 kMaxChunkLength = 0x7fffffffu;
// libpng's limit for chunks other than IDAT
constexpr quint32 kMaxAncillaryLength = 8000000;

constexpr quint8 kGrey = 0;
constexpr quint8 kRgb = 2;
constexpr quint8 kGreyAlpha = 4;
constexpr quint8 kRgba = 6;

// Ancillary chunks that make Qt's reader give another image, or attach what this road
// does not (transparency, colour profiles, text, resolution, offsets, Exif, animation).
constexpr const char* kChunksForQt[] = {"tRNS", "sRGB", "iCCP", "sBIT", "tEXt", "zTXt", "iTXt",
                                        "pHYs", "oFFs", "eXIf", "acTL", "fcTL", "fdAT"};
// Of those, the ones that only attach something to the image (a colour space, text,
// resolution, an offset, Exif): Qt's pixels are the same with or without them.
constexpr const char* kMetadataChunks[] = {"sRGB", "iCCP", "tEXt", "zTXt", "iTXt", "pHYs", "oFFs", "eXIf"};

bool isType(const ByteReader& chunkType, const char* type)
{
    return chunkType.startsWith(type, 4);
}

// Chunk types are four ASCII letters; libpng refuses a file with any other.
bool isValidType(const ByteReader& chunkType)
{
    for (int i = 0; i < 4; ++i) {
        const uchar c = chunkType.byteAt(i);
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

bool mustGoToQt(const ByteReader& chunkType, Metadata metadata)
{
    if (metadata == Metadata::Ignored) {
        for (const char* type : kMetadataChunks) {
            if (isType(chunkType, type))
                return false;
        }
    }
    // a critical chunk other than IHDR, IDAT and IEND (PLTE among them)
    if (!(chunkType.byteAt(0) & 0x20))
        return true;
    for (const char* type : kChunksForQt) {
        if (isType(chunkType, type))
            return true;
    }
    return false;
}

struct DecompressorDeleter
{
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

quint8 paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    // Selects rather than branches: which neighbour wins changes from byte to byte.
    const int bc = pb <= pc ? b : c;
    return quint8(pa <= pb && pa <= pc ? a : bc);
}

#if defined(__SSE2__) || defined(_M_X64)
// Paeth for pixels of 2, 3 or 4 bytes, the channels of a pixel at once in 16-bit lanes:
// what icon editors write at 256 pixels, and most of the time of decoding one.  The
// same choice as paeth(): with pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|, a when pa
// is the smallest, else b when pb is, else c.
template <int Bpp>
void unpaethPixels(quint8* row, const quint8* previous, qsizetype bytes)
{
    const __m128i zero = _mm_setzero_si128();
    const auto load = [&zero](const quint8* p) {
        int v = 0;
        std::memcpy(&v, p, Bpp);
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero);
    };
    const auto abs16 = [&zero](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
    const auto select = [](__m128i mask, __m128i yes, __m128i no) {
        return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
    };
    const __m128i lowBytes = _mm_set1_epi16(0xFF);
    // a, b and c in 16-bit lanes; only what depends on a (the pixel just done) is on the
    // path from one pixel to the next, which is what bounds the loop.
    __m128i a = zero, c = zero;
    for (qsizetype i = 0; i + Bpp <= bytes; i += Bpp) {
        const __m128i b = load(previous + i);
        const __m128i raw = load(row + i);
        const __m128i signedPa = _mm_sub_epi16(b, c);
        const __m128i pa = abs16(signedPa);
        const __m128i signedPb = _mm_sub_epi16(a, c);
        const __m128i pb = abs16(signedPb);
        const __m128i pc = abs16(_mm_add_epi16(signedPa, signedPb));
        const __m128i bc = select(_mm_cmpgt_epi16(pb, pc), c, b);
        const __m128i nearest = select(_mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc)), bc, a);
        a = _mm_and_si128(_mm_add_epi16(raw, nearest), lowBytes);
        const int out = _mm_cvtsi128_si32(_mm_packus_epi16(a, a));
        std::memcpy(row + i, &out, Bpp);
        c = b;
    }
}

// The average filter a pixel at a time, in 16-bit lanes: (left + up) / 2 needs 9 bits.
template <int Bpp>
void unaveragePixels(quint8* row, const quint8* previous, qsizetype bytes)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowBytes = _mm_set1_epi16(0xFF);
    const auto load = [&zero](const quint8* p) {
        int v = 0;
        std::memcpy(&v, p, Bpp);
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero);
    };
    __m128i left = zero;
    for (qsizetype i = 0; i + Bpp <= bytes; i += Bpp) {
        const __m128i average = _mm_srli_epi16(_mm_add_epi16(left, load(previous + i)), 1);
        left = _mm_and_si128(_mm_add_epi16(load(row + i), average), lowBytes);
        const int out = _mm_cvtsi128_si32(_mm_packus_epi16(left, left));
        std::memcpy(row + i, &out, Bpp);
    }
}

// The sub filter a pixel at a time: each byte adds the one a pixel to its left.
template <int Bpp>
void unsubPixels(quint8* row, qsizetype bytes)
{
    __m128i left = _mm_setzero_si128();
    for (qsizetype i = 0; i + Bpp <= bytes; i += Bpp) {
        int raw = 0;
        std::memcpy(&raw, row + i, Bpp);
        left = _mm_add_epi8(_mm_cvtsi32_si128(raw), left);
        const int out = _mm_cvtsi128_si32(left);
        std::memcpy(row + i, &out, Bpp);
    }
}
#endif

// Undoes one row's filter in place; previous is the row above, already unfiltered (a row
// of zeros for the first row).  The first pixel has no left neighbour, which counts as
// zero; the loops past it run without a test per byte, the time of a large image.
bool unfilter(quint8 filter, quint8* row, const quint8* previous, qsizetype bytes, int bpp)
{
    const qsizetype first = std::min<qsizetype>(bpp, bytes);
    switch (filter) {
    case 0:
        return true;
    case 1:
#if defined(__SSE2__) || defined(_M_X64)
        if (bpp == 4) {
            unsubPixels<4>(row, bytes);
            return true;
        }
        if (bpp == 2) {
            unsubPixels<2>(row, bytes);
            return true;
        }
#endif
        for (qsizetype i = bpp; i < bytes; ++i)
            row[i] = quint8(row[i] + row[i - bpp]);
        return true;
    case 2: {
        qsizetype i = 0;
#if defined(__SSE2__) || defined(_M_X64)
        for (; i + 16 <= bytes; i += 16) {
            const __m128i up = _mm_loadu_si128(reinterpret_cast<const __m128i*>(previous + i));
            const __m128i own = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(own, up));
        }
#endif
        for (; i < bytes; ++i)
            row[i] = quint8(row[i] + previous[i]);
        return true;
    }
    case 3:
#if defined(__SSE2__) || defined(_M_X64)
        switch (bpp) {
        case 4:
            unaveragePixels<4>(row, previous, bytes);
            return true;
        case 3:
            unaveragePixels<3>(row, previous, bytes);
            return true;
        case 2:
            unaveragePixels<2>(row, previous, bytes);
            return true;
        }
#endif
        for (qsizetype i = 0; i < first; ++i)
            row[i] = quint8(row[i] + (previous[i] >> 1));
        for (qsizetype i = first; i < bytes; ++i)
            row[i] = quint8(row[i] + ((int(row[i - bpp]) + int(previous[i])) >> 1));
        return true;
    case 4:
#if defined(__SSE2__) || defined(_M_X64)
        switch (bpp) {
        case 4:
            unpaethPixels<4>(row, previous, bytes);
            return true;
        case 3:
            unpaethPixels<3>(row, previous, bytes);
            return true;
        case 2:
            unpaethPixels<2>(row, previous, bytes);
            return true;
        }
#endif
        // Paeth of (0, up, 0) is up.
        for (qsizetype i = 0; i < first; ++i)
            row[i] = quint8(row[i] + previous[i]);
        for (qsizetype i = first; i < bytes; ++i)
            row[i] = quint8(row[i] + paeth(row[i - bpp], previous[i], previous[i - bpp]));
        return true;
    default:
        return false;
    }
}

void convertRow(quint8 colourType, const quint8* in, QRgb* out, int width)
{
    switch (colourType) {
    case kRgba: {
        // R, G, B, A bytes to QRgb's 0xAARRGGBB, which little-endian memory holds as
        // B, G, R, A: red and blue change places.
        int x = 0;
#if defined(__SSE2__) || defined(_M_X64)
        const __m128i keep = _mm_set1_epi32(int(0xFF00FF00u));
        const __m128i low = _mm_set1_epi32(0xFF);
        for (; x + 4 <= width; x += 4, in += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            const __m128i swapped = _mm_or_si128(
                _mm_and_si128(v, keep),
                _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low), _mm_slli_epi32(_mm_and_si128(v, low), 16)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), swapped);
        }
#endif
        for (; x < width; ++x, in += 4)
            out[x] = qRgba(in[0], in[1], in[2], in[3]);
        break;
    }
    case kRgb:
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = qRgb(in[0], in[1], in[2]);
        break;
    case kGreyAlpha: {
        int x = 0;
#if defined(__SSE2__) || defined(_M_X64)
        // Four grey, alpha pairs at a time: the grey byte spread over red, green and blue.
        const __m128i zero = _mm_setzero_si128();
        const __m128i low = _mm_set1_epi16(0xFF);
        for (; x + 4 <= width; x += 4, in += 8) {
            const __m128i pairs = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
            const __m128i grey = _mm_unpacklo_epi16(_mm_and_si128(pairs, low), zero);
            const __m128i alpha = _mm_unpacklo_epi16(_mm_srli_epi16(pairs, 8), zero);
            const __m128i pixels = _mm_or_si128(
                _mm_or_si128(_mm_slli_epi32(alpha, 24), _mm_slli_epi32(grey, 16)),
                _mm_or_si128(_mm_slli_epi32(grey, 8), grey));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), pixels);
        }
#endif
        for (; x < width; ++x, in += 2)
            out[x] = qRgba(in[0], in[0], in[0], in[1]);
        break;
    }
    }
}

int bytesPerPixel(quint8 colourType)
{
    switch (colourType) {
    case kRgba:
        return 4;
    case kRgb:
        return 3;
    case kGreyAlpha:
        return 2;
    default:
        return 0;
    }
}

// libpng checks the chromaticities of cHRM in ways of its own and drops those it does not
// like; the quick road takes the sRGB (Rec. 709) ones that icon editors write, the rest
// goes to Qt.
constexpr quint32 kSrgbChromaticities[8] = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
// gAMA values far inside what libpng accepts (1/2.2 is 45455)
constexpr quint32 kMinGamma = 10000;
constexpr quint32 kMaxGamma = 250000;

// gAMA (gamma x 100000) and cHRM (white point and primaries, x and y each x 100000).
struct ColourChunks
{
    quint32 gamma = 0;
    quint32 chromaticities[8] = {};
};

std::optional<ColourChunks> readColourChunks(const ByteReader& gama, const ByteReader& chrm)
{
    ColourChunks result;
    const auto gamma = gama.u32be(0);
    if (!gamma)
        return std::nullopt;
    result.gamma = *gamma;
    for (int i = 0; i < 8; ++i) {
        const auto value = chrm.u32be(i * 4);
        if (!value)
            return std::nullopt;
        result.chromaticities[i] = *value;
    }
    return result;
}

bool isPlainColourChunks(const ColourChunks& chunks)
{
    if (chunks.gamma < kMinGamma || chunks.gamma > kMaxGamma)
        return false;
    for (int i = 0; i < 8; ++i) {
        if (chunks.chromaticities[i] != kSrgbChromaticities[i])
            return false;
    }
    return true;
}

// What Qt's PNG reader makes of gAMA and cHRM: the primaries with the gamma curve
// 1 / gamma.
QColorSpace colourSpace(const ColourChunks& chunks)
{
    auto point = [&](int index) {
        return QPointF(chunks.chromaticities[index * 2] / 100000.0,
                       chunks.chromaticities[index * 2 + 1] / 100000.0);
    };
    return QColorSpace(point(0), point(1), point(2), point(3), QColorSpace::TransferFunction::Gamma,
                       float(1.0 / (chunks.gamma / 100000.0)));
}

} // namespace

QImage decode(const QByteArray& png, Metadata metadata)
{
    const ByteReader bytes(png);
    if (!bytes.startsWith(kSignature, kSignatureBytes))
        return QImage();

    // The chunks: IHDR first, then gAMA and cHRM (optional, both or neither) before the
    // image data, the IDAT chunks one after the other, IEND.  Every CRC is checked, as
    // libpng checks them.
    qint64 pos = kSignatureBytes;
    quint32 width = 0, height = 0;
    quint8 colourType = 0;
    std::optional<ByteReader> gama, chrm;
    QList<ByteReader> data;
    qint64 dataBytes = 0;
    bool dataEnded = false;
    bool ended = false;
    for (int index = 0; !ended; ++index) {
        // length (big-endian), type, data, CRC of type and data
        const auto length = bytes.u32be(pos);
        if (!length || *length > kMaxChunkLength)
            return QImage();
        const auto chunk = bytes.sub(pos + 4, qint64(*length) + 4);
        const auto crc = bytes.u32be(pos + 8 + qint64(*length));
        if (!chunk || !crc)
            return QImage();
        if (libdeflate_crc32(0, chunk->data(), size_t(chunk->size())) != *crc)
            return QImage();
        const auto typeBytes = chunk->sub(0, 4);
        const auto bodyBytes = chunk->sub(4, *length);
        if (!typeBytes || !bodyBytes)
            return QImage();
        const ByteReader& type = *typeBytes;
        const ByteReader& body = *bodyBytes;
        if (!isValidType(type) || (*length > kMaxAncillaryLength && !isType(type, "IDAT")))
            return QImage();
        pos += kChunkOverhead + qint64(*length);

        if (index == 0) {
            if (!isType(type, "IHDR") || *length != 13)
                return QImage();
            // width, height, bit depth, colour type, compression, filter, interlace
            const auto w = body.u32be(0), h = body.u32be(4);
            const auto depth = body.u8(8), colour = body.u8(9);
            const auto compression = body.u8(10), filter = body.u8(11), interlace = body.u8(12);
            if (!allRead(w, h, depth, colour, compression, filter, interlace))
                return QImage();
            width = *w;
            height = *h;
            colourType = *colour;
            // 8 bits, deflate, the standard filters, no interlacing.  Pictures larger than
            // an icon image (kMaxImageSide) or the allocation limit go to Qt's reader,
            // which decides on them with its own limit.
            if (!fitsAllocationLimit(width, height, 4) || *depth != 8
                || bytesPerPixel(colourType) == 0 || *compression != 0 || *filter != 0
                || *interlace != 0)
                return QImage();
        } else if (isType(type, "IDAT")) {
            if (dataEnded)
                return QImage();
            data.append(body);
            dataBytes += *length;
        } else if (isType(type, "IEND")) {
            ended = true;
        } else {
            if (!data.isEmpty())
                dataEnded = true;
            if (isType(type, "gAMA") || isType(type, "cHRM")) {
                auto& slot = isType(type, "gAMA") ? gama : chrm;
                if (slot || !data.isEmpty() || *length != (isType(type, "gAMA") ? 4u : 32u))
                    return QImage();
                slot = body;
            } else if (isType(type, "IHDR") || mustGoToQt(type, metadata)) {
                return QImage();
            }
        }
    }
    if (data.isEmpty() || bool(gama) != bool(chrm))
        return QImage();
    std::optional<ColourChunks> colourChunks;
    if (gama) {
        colourChunks = readColourChunks(*gama, *chrm);
        if (!colourChunks || !isPlainColourChunks(*colourChunks))
            return QImage();
    }

    // The zlib stream, joined when it spans several IDAT chunks.
    QByteArray joined;
    const char* stream = data.first().data();
    if (data.size() > 1) {
        joined.reserve(qsizetype(dataBytes));
        for (const ByteReader& part : qAsConst(data))
            joined.append(part.data(), qsizetype(part.size()));
        stream = joined.constData();
    }
    const int bpp = bytesPerPixel(colourType);
    const qsizetype rowBytes = qsizetype(width) * bpp;
    const qsizetype stride = rowBytes + 1; // the filter byte first
    const size_t rawBytes = size_t(stride) * height;
    std::unique_ptr<quint8[]> raw(new (std::nothrow) quint8[rawBytes]);
    std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> inflater(
        libdeflate_alloc_decompressor());
    if (!raw || !inflater)
        return QImage();
    size_t consumed = 0, produced = 0;
    if (libdeflate_zlib_decompress_ex(inflater.get(), stream, size_t(dataBytes), raw.get(), rawBytes,
                                      &consumed, &produced)
            != LIBDEFLATE_SUCCESS
        || consumed != size_t(dataBytes) || produced != rawBytes)
        return QImage();

    QImage image = imageAlloc(width, height,
                              colourType == kRgb ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (image.isNull())
        return QImage();
    // The row above the first, for the filters that read one.
    const std::vector<quint8> zeros(size_t(rowBytes), 0);
    const quint8* previous = zeros.data();
    for (quint32 y = 0; y < height; ++y) {
        quint8* row = raw.get() + qsizetype(y) * stride;
        if (!unfilter(row[0], row + 1, previous, rowBytes, bpp))
            return QImage();
        convertRow(colourType, row + 1, reinterpret_cast<QRgb*>(image.scanLine(int(y))),
                   int(width));
        previous = row + 1;
    }
    if (colourChunks) {
        const QColorSpace space = colourSpace(*colourChunks);
        if (!space.isValid())
            return QImage();
        image.setColorSpace(space);
    }
    return image;
}

} // namespace FastPng
