#include "heifhandler.h"

#include <QColorSpace>
#include <QIODevice>
#include <QImageReader>
#include <QLoggingCategory>
#include <QVariant>

#include <array>
#include <cstring>
#include <vector>

#include "bytes/bytereader.h"
#include "bytes/imagealloc.h"
#include "heiflibrary.h"
#include "heifstreamcheck.h"
#include "imagelimits.h"

Q_LOGGING_CATEGORY(lcHeif, "glyphora.imageformats.heif")

namespace {

// 'ftyp' is the first box of every ISO base media file: u32 size, "ftyp", the major brand,
// a u32 minor version, then compatible brands four bytes each up to the box's size.
constexpr qint64 kFtypMajorBrand = 8;
constexpr qint64 kFtypFirstCompatibleBrand = 16;
// Enough for the brand list of any ordinary file; brands past it are not looked at.
constexpr qint64 kSignaturePeekBytes = 256;

// Brands that promise a HEVC-coded picture (ISO/IEC 23008-12) or an AV1-coded one (AVIF),
// and the codec-neutral image brands that such files also carry.
constexpr std::array<const char *, 8> kHevcBrands = {"heic", "heix", "heim", "heis",
                                                     "hevc", "hevx", "hevm", "hevs"};
constexpr std::array<const char *, 2> kAv1Brands = {"avif", "avis"};
constexpr std::array<const char *, 3> kNeutralBrands = {"mif1", "msf1", "mif2"};

// libheif's built-in limit on each side; the program never raises it, it only lowers it
// when the allocation limit is so small that no side of that length could fit.
constexpr int kMaxHeifSide = 32768;
constexpr int kBytesPerOutputPixel = 4; // RGBA, 8 bits a channel
constexpr size_t kMaxIccBytes = size_t(4) << 20;

template<size_t N>
bool isOneOf(const QByteArray &brand, const std::array<const char *, N> &brands)
{
    for (const char *b : brands) {
        if (brand == b)
            return true;
    }
    return false;
}

QString heifMessage(const heif_error &error)
{
    return QString::fromUtf8(error.message ? error.message : "unknown error");
}

// The 8-bit value nearest to v on a scale of 0..maxValue: v * 255 / maxValue rounded, so
// that full scale stays full scale and mid grey stays mid grey (a plain right shift
// would darken every value and never reach 255 from odd maxima).
std::vector<quint8> depthReductionTable(int bits)
{
    const quint32 maxValue = (quint32(1) << bits) - 1;
    std::vector<quint8> table(size_t(1) << 16, 255); // values above maxValue clamp
    for (quint32 v = 0; v <= maxValue; ++v)
        table[v] = quint8((v * 255 + maxValue / 2) / maxValue);
    return table;
}

} // namespace

HeifHandler::HeifHandler() = default;

HeifHandler::~HeifHandler()
{
    release();
}

void HeifHandler::release()
{
    if (m_primary)
        m_lib->heif_image_handle_release(m_primary);
    m_primary = nullptr;
    if (m_context)
        m_lib->heif_context_free(m_context);
    m_context = nullptr;
    m_data.clear();
}

bool HeifHandler::canRead(QIODevice *device, QByteArray *format)
{
    if (!device || !device->isReadable())
        return false;
    const QByteArray head = device->peek(kSignaturePeekBytes);
    const ByteReader view(head);
    const auto boxSize = view.u32be(0);
    if (!boxSize || !view.matches(4, "ftyp", 4))
        return false;
    // size 1 means a 64-bit size follows: no ftyp is that long, and 0 ("to the end") is
    // not allowed for it
    if (*boxSize < kFtypFirstCompatibleBrand)
        return false;
    const qint64 end = qMin<qint64>(*boxSize, view.size());
    bool hevc = false, av1 = false, neutral = false;
    auto note = [&](const QByteArray &b) {
        hevc = hevc || isOneOf(b, kHevcBrands);
        av1 = av1 || isOneOf(b, kAv1Brands);
        neutral = neutral || isOneOf(b, kNeutralBrands);
    };
    const auto major = view.fourcc(kFtypMajorBrand);
    if (!major)
        return false;
    note(*major);
    for (qint64 offset = kFtypFirstCompatibleBrand; offset + 4 <= end; offset += 4) {
        const auto brand = view.fourcc(offset);
        if (!brand)
            break;
        note(*brand);
    }
    if (!hevc && !av1 && !neutral)
        return false;
    if (format)
        *format = av1 && !hevc ? QByteArray("avif") : QByteArray("heic");
    return true;
}

bool HeifHandler::parse()
{
    if (!canRead(device())) {
        qCWarning(lcHeif, "not a HEIF or AVIF file");
        return false;
    }
    if (!ImageLimits::readAll(device(), &m_data)) {
        qCWarning(lcHeif, "cannot read the file, or it is larger than %lld bytes",
                  ImageLimits::kMaxFileBytes);
        return false;
    }

    m_lib = HeifLibrary::instance();
    if (!m_lib)
        return false;
    m_context = m_lib->heif_context_alloc();
    if (!m_context) {
        qCWarning(lcHeif, "libheif could not make a context");
        return false;
    }
    const qint64 limit = allocationLimitBytes();
    if (limit > 0) {
        const qint64 side = qMin<qint64>(kMaxHeifSide, limit / kBytesPerOutputPixel);
        m_lib->heif_context_set_maximum_image_size_limit(m_context, int(qMax<qint64>(1, side)));
    }

    heif_error error = m_lib->heif_context_read_from_memory_without_copy(
            m_context, m_data.constData(), size_t(m_data.size()), nullptr);
    if (error.code != heif_error_Ok) {
        qCWarning(lcHeif) << "cannot read the file:" << heifMessage(error);
        return false;
    }
    error = m_lib->heif_context_get_primary_image_handle(m_context, &m_primary);
    if (error.code != heif_error_Ok || !m_primary) {
        qCWarning(lcHeif) << "no primary image:" << heifMessage(error);
        return false;
    }

    const int width = m_lib->heif_image_handle_get_width(m_primary);
    const int height = m_lib->heif_image_handle_get_height(m_primary);
    // libheif decodes the coded size ('ispe') first and crops and rotates afterwards, so
    // both have to stay inside the limit
    const int codedWidth = m_lib->heif_image_handle_get_ispe_width(m_primary);
    const int codedHeight = m_lib->heif_image_handle_get_ispe_height(m_primary);
    if (width <= 0 || height <= 0) {
        qCWarning(lcHeif, "the primary image states no size (%d x %d)", width, height);
        return false;
    }
    if (!fitsAllocationLimit(width, height, kBytesPerOutputPixel, kMaxAnyImageSide)
        || (codedWidth > 0 && codedHeight > 0
            && !fitsAllocationLimit(codedWidth, codedHeight, kBytesPerOutputPixel, kMaxAnyImageSide))) {
        qCWarning(lcHeif, "%d x %d image exceeds the allocation limit of %d MB", width, height,
                  QImageReader::allocationLimit());
        return false;
    }
    // the decoders size their frames from the bitstreams, not from 'ispe'
    QString why;
    if (!HeifStreamCheck::framesFit(m_data, allocationLimitBytes(), &why)) {
        qCWarning(lcHeif).noquote() << "not decoding the file:" << why;
        return false;
    }
    m_size = QSize(width, height);
    m_hasAlpha = m_lib->heif_image_handle_has_alpha_channel(m_primary) != 0;
    m_bitDepth = m_lib->heif_image_handle_get_luma_bits_per_pixel(m_primary);
    if (m_bitDepth <= 0)
        m_bitDepth = 8;
    if (m_bitDepth > 16) {
        qCWarning(lcHeif, "unsupported bit depth %d", m_bitDepth);
        return false;
    }
    return true;
}

bool HeifHandler::read(QImage *image)
{
    if (m_read || !ensureParsed())
        return false;
    m_read = true; // one image: a second read reports the end

    const bool premultiplied = m_hasAlpha && m_lib->heif_image_handle_is_premultiplied_alpha(m_primary);
    const QImage::Format format = !m_hasAlpha ? QImage::Format_RGBX8888
            : premultiplied                  ? QImage::Format_RGBA8888_Premultiplied
                                             : QImage::Format_RGBA8888;
    QImage result = imageAlloc(m_size.width(), m_size.height(), format, kMaxAnyImageSide);
    if (result.isNull()) {
        qCWarning(lcHeif, "cannot allocate a %d x %d image", m_size.width(), m_size.height());
        return false;
    }

    const bool deep = m_bitDepth > 8;
    heif_decoding_options *options = m_lib->heif_decoding_options_alloc();
    if (options)
        options->convert_hdr_to_8bit = 0; // reduced here, with rounding
    heif_image *decoded = nullptr;
    const heif_error error = m_lib->heif_decode_image(
            m_primary, &decoded, heif_colorspace_RGB,
            deep ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RGBA, options);
    m_lib->heif_decoding_options_free(options);
    if (error.code != heif_error_Ok || !decoded) {
        qCWarning(lcHeif) << "cannot decode the primary image:" << heifMessage(error);
        if (decoded)
            m_lib->heif_image_release(decoded);
        return false;
    }

    int stride = 0;
    const uint8_t *plane = m_lib->heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int width = m_lib->heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = m_lib->heif_image_get_height(decoded, heif_channel_interleaved);
    const int sourcePixelBytes = deep ? 8 : 4;
    if (!plane || width != m_size.width() || height != m_size.height() || stride <= 0
        || qint64(stride) < qint64(width) * sourcePixelBytes) {
        qCWarning(lcHeif, "libheif returned a %d x %d picture for a %d x %d image", width, height,
                  m_size.width(), m_size.height());
        m_lib->heif_image_release(decoded);
        return false;
    }

    if (!deep) {
        for (int y = 0; y < height; ++y) {
            uchar *out = result.scanLine(y);
            std::memcpy(out, plane + qsizetype(y) * stride, size_t(width) * 4);
            if (!m_hasAlpha) {
                for (int x = 0; x < width; ++x)
                    out[x * 4 + 3] = 0xff;
            }
        }
    } else {
        const int bits = m_lib->heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved);
        const std::vector<quint8> table = depthReductionTable(bits > 8 && bits <= 16 ? bits : 16);
        for (int y = 0; y < height; ++y) {
            const uint8_t *in = plane + qsizetype(y) * stride;
            uchar *out = result.scanLine(y);
            for (int i = 0; i < width * 4; ++i)
                out[i] = table[quint16(in[2 * i] | in[2 * i + 1] << 8)];
            if (!m_hasAlpha) {
                for (int x = 0; x < width; ++x)
                    out[x * 4 + 3] = 0xff;
            }
        }
    }
    // the decoded picture, not the file's header, says whether its colours carry the alpha
    if (m_hasAlpha && (m_lib->heif_image_is_premultiplied_alpha(decoded) != 0) != premultiplied) {
        result.reinterpretAsFormat(premultiplied ? QImage::Format_RGBA8888
                                                 : QImage::Format_RGBA8888_Premultiplied);
    }
    m_lib->heif_image_release(decoded);

    const heif_color_profile_type profile = m_lib->heif_image_handle_get_color_profile_type(m_primary);
    if (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) {
        const size_t iccSize = m_lib->heif_image_handle_get_raw_color_profile_size(m_primary);
        if (iccSize > 0 && iccSize <= kMaxIccBytes) {
            QByteArray icc(qsizetype(iccSize), Qt::Uninitialized);
            if (m_lib->heif_image_handle_get_raw_color_profile(m_primary, icc.data()).code == heif_error_Ok) {
                const QColorSpace space = QColorSpace::fromIccProfile(icc);
                if (space.isValid())
                    result.setColorSpace(space);
            }
        }
    }

    *image = result;
    return true;
}

bool HeifHandler::supportsOption(ImageOption option) const
{
    return option == Size || option == ImageFormat;
}

QVariant HeifHandler::option(ImageOption option) const
{
    if (!supportsOption(option) || !ensureParsed())
        return {};
    if (option == Size)
        return m_size;
    return m_hasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888;
}
