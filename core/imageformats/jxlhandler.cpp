#include "jxlhandler.h"

#include <QColorSpace>
#include <QIODevice>
#include <QImageReader>
#include <QLoggingCategory>
#include <QThread>
#include <QVariant>

#include <cstdlib>
#include <new>

#include "bytes/bytereader.h"
#include "bytes/imagealloc.h"
#include "imagelimits.h"
#include "jxllibrary.h"

Q_LOGGING_CATEGORY(lcJxl, "glyphora.imageformats.jxl")

namespace {

// A bare codestream starts FF 0A; the container starts with the 12-byte 'JXL ' box.
constexpr char kCodestreamSignature[] = {'\xff', '\x0a'};
constexpr char kContainerSignature[] = {'\x00', '\x00', '\x00', '\x0c', 'J',    'X',
                                        'L',    ' ',    '\x0d', '\x0a', '\x87', '\x0a'};
constexpr int kBytesPerOutputPixel = 4; // RGBA, 8 bits a channel
constexpr size_t kMaxIccBytes = size_t(4) << 20;
// libjxl decodes in 32-bit floats, three colour planes and alpha, against our four bytes
// a pixel; its memory manager may take this many times the allocation limit.
constexpr quint64 kDecoderBytesPerImageByte = 4;
// Each call to JxlDecoderProcessInput moves the decoder on by at least one event; a file
// needs a handful.  The bound turns a library fault into an error, not a hang.
constexpr int kMaxDecoderEvents = 64;
// Orientations 5 to 8 turn the picture by a quarter: the stated width becomes the height.
constexpr int kFirstTransposingOrientation = 5;
// Blocks handed out by the memory manager keep their size in front, padded to this
// alignment so that the block itself stays as aligned as malloc's.
constexpr size_t kBlockHeader = 64;

void *budgetAlloc(void *opaque, size_t size)
{
    auto *budget = static_cast<JxlHandler::MemoryBudget *>(opaque);
    if (size > SIZE_MAX - kBlockHeader)
        return nullptr;
    if (budget->limit != 0 && (size > budget->limit || budget->used > budget->limit - size))
        return nullptr;
    void *block = std::aligned_alloc(kBlockHeader, (size + kBlockHeader + kBlockHeader - 1)
                                                           / kBlockHeader * kBlockHeader);
    if (!block)
        return nullptr;
    *static_cast<size_t *>(block) = size;
    budget->used += size;
    return static_cast<char *>(block) + kBlockHeader;
}

void budgetFree(void *opaque, void *address)
{
    if (!address)
        return;
    auto *budget = static_cast<JxlHandler::MemoryBudget *>(opaque);
    void *block = static_cast<char *>(address) - kBlockHeader;
    budget->used -= *static_cast<size_t *>(block);
    std::free(block);
}

} // namespace

JxlHandler::JxlHandler() = default;

JxlHandler::~JxlHandler()
{
    release();
}

void JxlHandler::release()
{
    if (m_decoder)
        m_lib->JxlDecoderDestroy(m_decoder);
    m_decoder = nullptr;
    if (m_runner)
        m_lib->JxlResizableParallelRunnerDestroy(m_runner);
    m_runner = nullptr;
    m_data.clear();
}

bool JxlHandler::canRead(QIODevice *device)
{
    if (!device || !device->isReadable())
        return false;
    const QByteArray head = device->peek(sizeof kContainerSignature);
    const ByteReader view(head);
    return view.startsWith(kCodestreamSignature, sizeof kCodestreamSignature)
           || view.startsWith(kContainerSignature, sizeof kContainerSignature);
}

bool JxlHandler::parse()
{
    if (!canRead(device())) {
        qCWarning(lcJxl, "not a JPEG XL file");
        return false;
    }
    if (!ImageLimits::readAll(device(), &m_data)) {
        qCWarning(lcJxl, "cannot read the file, or it is larger than %lld bytes",
                  ImageLimits::kMaxFileBytes);
        return false;
    }

    m_budget.limit = quint64(allocationLimitBytes()) * kDecoderBytesPerImageByte;
    m_lib = JxlLibrary::instance();
    if (!m_lib)
        return false;
    m_memory.opaque = &m_budget;
    m_memory.alloc = budgetAlloc;
    m_memory.free = budgetFree;
    m_decoder = m_lib->JxlDecoderCreate(&m_memory);
    m_runner = m_lib->JxlResizableParallelRunnerCreate(nullptr);
    if (!m_decoder || !m_runner) {
        qCWarning(lcJxl, "libjxl could not make a decoder");
        return false;
    }
    if (m_lib->JxlDecoderSetParallelRunner(m_decoder, m_lib->JxlResizableParallelRunner, m_runner)
                != JXL_DEC_SUCCESS
        || m_lib->JxlDecoderSubscribeEvents(m_decoder,
                                     JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING
                                             | JXL_DEC_FULL_IMAGE)
                != JXL_DEC_SUCCESS
        || m_lib->JxlDecoderSetInput(m_decoder, reinterpret_cast<const uint8_t *>(m_data.constData()),
                              size_t(m_data.size()))
                != JXL_DEC_SUCCESS) {
        qCWarning(lcJxl, "libjxl refused its set-up");
        return false;
    }
    m_lib->JxlDecoderCloseInput(m_decoder);

    // the basic info is all that is parsed here: the picture is decoded in read()
    const JxlDecoderStatus status = m_lib->JxlDecoderProcessInput(m_decoder);
    if (status != JXL_DEC_BASIC_INFO
        || m_lib->JxlDecoderGetBasicInfo(m_decoder, &m_info) != JXL_DEC_SUCCESS) {
        qCWarning(lcJxl, "no image header (libjxl status %d)", int(status));
        return false;
    }
    qint64 width = m_info.xsize, height = m_info.ysize;
    if (m_info.orientation >= kFirstTransposingOrientation)
        std::swap(width, height);
    if (!fitsAllocationLimit(width, height, kBytesPerOutputPixel, kMaxAnyImageSide)) {
        qCWarning(lcJxl, "%lld x %lld image exceeds the allocation limit of %d MB", width, height,
                  QImageReader::allocationLimit());
        return false;
    }
    m_size = QSize(int(width), int(height));
    const int threads = qMin<int>(qMax(1, QThread::idealThreadCount()),
                                  int(m_lib->JxlResizableParallelRunnerSuggestThreads(width, height)));
    m_lib->JxlResizableParallelRunnerSetThreads(m_runner, size_t(threads));
    return true;
}

bool JxlHandler::read(QImage *image)
{
    if (m_read || !ensureParsed())
        return false;
    m_read = true; // the first frame only: a second read reports the end

    const bool hasAlpha = m_info.alpha_bits > 0;
    const QImage::Format format = !hasAlpha             ? QImage::Format_RGBX8888
            : m_info.alpha_premultiplied ? QImage::Format_RGBA8888_Premultiplied
                                         : QImage::Format_RGBA8888;
    QImage result = imageAlloc(m_size.width(), m_size.height(), format, kMaxAnyImageSide);
    if (result.isNull()) {
        qCWarning(lcJxl, "cannot allocate a %d x %d image", m_size.width(), m_size.height());
        release();
        return false;
    }
    // grey images come out as grey, alpha-less ones with an opaque fourth channel
    const JxlPixelFormat pixelFormat = {4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};

    QByteArray icc;
    bool done = false;
    for (int event = 0; event < kMaxDecoderEvents && !done; ++event) {
        const JxlDecoderStatus status = m_lib->JxlDecoderProcessInput(m_decoder);
        switch (status) {
        case JXL_DEC_COLOR_ENCODING: {
            // pictures kept in the codec's own colour space are asked for in sRGB; the
            // others come out in their own, described by the profile
            if (!m_info.uses_original_profile) {
                JxlColorEncoding srgb;
                m_lib->JxlColorEncodingSetToSRGB(&srgb, m_info.num_color_channels < 3);
                m_lib->JxlDecoderSetPreferredColorProfile(m_decoder, &srgb);
            }
            size_t iccSize = 0;
            if (m_lib->JxlDecoderGetICCProfileSize(m_decoder, &pixelFormat, JXL_COLOR_PROFILE_TARGET_DATA,
                                            &iccSize)
                        == JXL_DEC_SUCCESS
                && iccSize > 0 && iccSize <= kMaxIccBytes) {
                icc.resize(qsizetype(iccSize));
                if (m_lib->JxlDecoderGetColorAsICCProfile(m_decoder, &pixelFormat,
                                                   JXL_COLOR_PROFILE_TARGET_DATA,
                                                   reinterpret_cast<uint8_t *>(icc.data()), iccSize)
                    != JXL_DEC_SUCCESS)
                    icc.clear();
            }
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            size_t needed = 0;
            if (m_lib->JxlDecoderImageOutBufferSize(m_decoder, &pixelFormat, &needed) != JXL_DEC_SUCCESS
                || needed != size_t(result.sizeInBytes())) {
                qCWarning(lcJxl, "libjxl wants %zu bytes for a %d x %d image", needed,
                          m_size.width(), m_size.height());
                release();
                return false;
            }
            if (m_lib->JxlDecoderSetImageOutBuffer(m_decoder, &pixelFormat, result.bits(), needed)
                != JXL_DEC_SUCCESS) {
                qCWarning(lcJxl, "libjxl refused the output buffer");
                release();
                return false;
            }
            break;
        }
        case JXL_DEC_FULL_IMAGE:
            done = true;
            break;
        case JXL_DEC_NEED_MORE_INPUT:
            qCWarning(lcJxl, "the file is truncated");
            release();
            return false;
        case JXL_DEC_ERROR:
            qCWarning(lcJxl, "the file is malformed");
            release();
            return false;
        default:
            qCWarning(lcJxl, "unexpected libjxl status %d", int(status));
            release();
            return false;
        }
    }
    release();
    if (!done) {
        qCWarning(lcJxl, "libjxl did not finish the picture");
        return false;
    }
    if (!icc.isEmpty()) {
        const QColorSpace space = QColorSpace::fromIccProfile(icc);
        if (space.isValid() && space != QColorSpace::SRgb)
            result.setColorSpace(space);
    }
    *image = result;
    return true;
}

bool JxlHandler::supportsOption(ImageOption option) const
{
    return option == Size || option == ImageFormat;
}

QVariant JxlHandler::option(ImageOption option) const
{
    if (!supportsOption(option) || !ensureParsed())
        return {};
    if (option == Size)
        return m_size;
    return m_info.alpha_bits > 0 ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888;
}
