#include "heifstreamcheck.h"

#include <QHash>
#include <QList>

namespace HeifStreamCheck {

namespace {

constexpr int kBytesPerPixel = 4;
// What an AV1 frame header may state beyond its sequence header's maximum, as a multiple
// of the limit (see the header).
constexpr qint64 kOverrideFactor = 4;
// The SPS fields up to the picture size fit in well under this many bytes, even with all
// seven sub-layers described.
constexpr qint64 kSpsPrefixBytes = 512;

constexpr quint8 kObuSequenceHeader = 1;
constexpr quint8 kNalSps = 33;

// MSB-first bits of a view; every read past the end fails and stays failed.
class BitReader
{
public:
    explicit BitReader(const ByteReader &view) : m_view(view) {}

    bool ok() const { return m_ok; }

    quint64 bits(int count)
    {
        quint64 value = 0;
        for (int i = 0; i < count && m_ok; ++i) {
            const auto byte = m_view.u8(m_bit / 8);
            if (!byte) {
                m_ok = false;
                return 0;
            }
            value = value << 1 | ((*byte >> (7 - m_bit % 8)) & 1);
            ++m_bit;
        }
        return m_ok ? value : 0;
    }
    bool flag() { return bits(1) != 0; }
    void skip(int count) { bits(count); }

    // AV1's uvlc() and HEVC's ue(v) share one form: n zeros, a one, then n bits.
    quint64 expGolomb()
    {
        int zeros = 0;
        while (m_ok && !flag()) {
            if (++zeros > 32) {
                m_ok = false;
                return 0;
            }
        }
        return ((quint64(1) << zeros) - 1) + bits(zeros);
    }

private:
    ByteReader m_view;
    qint64 m_bit = 0;
    bool m_ok = true;
};

// Whether aWidth x aHeight is more pixels than bWidth x bHeight.  An HEVC side may be as
// large as 2^33 (ue(v) of 32 zero bits), so the areas are compared as 128-bit products,
// each kept in two 64-bit halves: two such sides overflow 64 bits.
bool largerArea(qint64 aWidth, qint64 aHeight, qint64 bWidth, qint64 bHeight)
{
    struct Wide
    {
        quint64 high;
        quint64 low;
    };
    auto product = [](quint64 x, quint64 y) {
        const quint64 xLow = x & 0xffffffffu, xHigh = x >> 32;
        const quint64 yLow = y & 0xffffffffu, yHigh = y >> 32;
        const quint64 lowLow = xLow * yLow;
        const quint64 highLow = xHigh * yLow;
        const quint64 lowHigh = xLow * yHigh;
        const quint64 middle = (lowLow >> 32) + (highLow & 0xffffffffu) + (lowHigh & 0xffffffffu);
        return Wide{xHigh * yHigh + (highLow >> 32) + (lowHigh >> 32) + (middle >> 32),
                    (middle << 32) | (lowLow & 0xffffffffu)};
    };
    // the sides are never negative: bits read from the stream, plus one at most
    const Wide a = product(quint64(qMax<qint64>(0, aWidth)), quint64(qMax<qint64>(0, aHeight)));
    const Wide b = product(quint64(qMax<qint64>(0, bWidth)), quint64(qMax<qint64>(0, bHeight)));
    return a.high != b.high ? a.high > b.high : a.low > b.low;
}

FrameBound larger(const std::optional<FrameBound> &a, const FrameBound &b)
{
    if (!a)
        return b;
    FrameBound result = *a;
    if (largerArea(b.width, b.height, a->width, a->height)) {
        result.width = b.width;
        result.height = b.height;
    }
    if (largerArea(b.boundWidth, b.boundHeight, a->boundWidth, a->boundHeight)) {
        result.boundWidth = b.boundWidth;
        result.boundHeight = b.boundHeight;
    }
    return result;
}

// The AV1 sequence header, sequence_header_obu() in section 5.5 of the bitstream format, up to
// max_frame_height_minus_1.
std::optional<FrameBound> parseSequenceHeader(const ByteReader &obu)
{
    BitReader bits(obu);
    bits.skip(3); // seq_profile
    bits.skip(1); // still_picture
    const bool reduced = bits.flag();
    if (reduced) {
        bits.skip(5); // seq_level_idx[0]
    } else {
        bool decoderModelInfo = false;
        int bufferDelayBits = 0;
        if (bits.flag()) { // timing_info_present_flag
            bits.skip(32); // num_units_in_display_tick
            bits.skip(32); // time_scale
            if (bits.flag()) // equal_picture_interval
                bits.expGolomb(); // num_ticks_per_picture_minus_1
            decoderModelInfo = bits.flag();
            if (decoderModelInfo) {
                bufferDelayBits = int(bits.bits(5)) + 1;
                bits.skip(32); // num_units_in_decoding_tick
                bits.skip(5);  // buffer_removal_time_length_minus_1
                bits.skip(5);  // frame_presentation_time_length_minus_1
            }
        }
        const bool initialDisplayDelay = bits.flag();
        const int operatingPoints = int(bits.bits(5)) + 1;
        for (int i = 0; i < operatingPoints && bits.ok(); ++i) {
            bits.skip(12); // operating_point_idc
            if (bits.bits(5) > 7) // seq_level_idx
                bits.skip(1);     // seq_tier
            if (decoderModelInfo && bits.flag()) {
                bits.skip(bufferDelayBits); // decoder_buffer_delay
                bits.skip(bufferDelayBits); // encoder_buffer_delay
                bits.skip(1);               // low_delay_mode_flag
            }
            if (initialDisplayDelay && bits.flag())
                bits.skip(4); // initial_display_delay_minus_1
        }
    }
    const int widthBits = int(bits.bits(4)) + 1;
    const int heightBits = int(bits.bits(4)) + 1;
    const qint64 width = qint64(bits.bits(widthBits)) + 1;
    const qint64 height = qint64(bits.bits(heightBits)) + 1;
    if (!bits.ok())
        return std::nullopt;
    FrameBound bound;
    bound.width = width;
    bound.height = height;
    // frame_size_override_flag is always 0 under a reduced header
    bound.boundWidth = reduced ? width : qint64(1) << widthBits;
    bound.boundHeight = reduced ? height : qint64(1) << heightBits;
    return bound;
}

// The RBSP of a NAL unit's first bytes: emulation prevention (00 00 03) removed.
QByteArray unescapedPrefix(const ByteReader &nal, qint64 maxBytes)
{
    QByteArray rbsp;
    int zeros = 0;
    for (qint64 i = 0; i < nal.size() && rbsp.size() < maxBytes; ++i) {
        const quint8 byte = nal.byteAt(i);
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        zeros = byte == 0 ? zeros + 1 : 0;
        rbsp.append(char(byte));
    }
    return rbsp;
}

// seq_parameter_set_rbsp() of H.265 (7.3.2.2), after the two-byte NAL header, up to
// pic_height_in_luma_samples.
std::optional<FrameBound> parseSps(const ByteReader &nal)
{
    const QByteArray rbsp = unescapedPrefix(nal.tail(2), kSpsPrefixBytes);
    BitReader bits{ByteReader(rbsp)};
    bits.skip(4); // sps_video_parameter_set_id
    const int subLayers = int(bits.bits(3)); // sps_max_sub_layers_minus1
    bits.skip(1);                             // sps_temporal_id_nesting_flag
    // profile_tier_level(1, sps_max_sub_layers_minus1)
    bits.skip(96); // general profile, tier, flags and level
    bool profilePresent[8] = {};
    bool levelPresent[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profilePresent[i] = bits.flag();
        levelPresent[i] = bits.flag();
    }
    if (subLayers > 0)
        bits.skip(2 * (8 - subLayers)); // reserved_zero_2bits
    for (int i = 0; i < subLayers; ++i) {
        if (profilePresent[i])
            bits.skip(88);
        if (levelPresent[i])
            bits.skip(8);
    }
    bits.expGolomb(); // sps_seq_parameter_set_id
    if (bits.expGolomb() == 3) // chroma_format_idc
        bits.skip(1);          // separate_colour_plane_flag
    const quint64 width = bits.expGolomb();
    const quint64 height = bits.expGolomb();
    if (!bits.ok())
        return std::nullopt;
    FrameBound bound;
    bound.width = bound.boundWidth = qint64(width);
    bound.height = bound.boundHeight = qint64(height);
    return bound;
}

// The NAL unit type, from the first byte of its header (0 for an empty unit).
quint8 nalType(const ByteReader &nal)
{
    return (nal.byteAt(0) >> 1) & 0x3f;
}

// A NAL unit of an hvcC record or of sample data: an SPS widens *result to its picture
// size.  False when an SPS is cut short; other units are passed over.
bool takeSps(const ByteReader &nal, std::optional<FrameBound> *result)
{
    if (nalType(nal) != kNalSps)
        return true;
    const auto bound = parseSps(nal);
    if (!bound)
        return false;
    *result = larger(*result, *bound);
    return true;
}

// Whether width x height at 4 bytes a pixel fits factor times the limit, without the
// product overflowing: each side may be as large as 2^32.
bool fits(qint64 width, qint64 height, qint64 limitBytes, qint64 factor)
{
    if (width <= 0 || height <= 0)
        return true; // nothing that allocates
    const qint64 pixels = limitBytes / kBytesPerPixel * factor;
    return width <= pixels && height <= pixels / width;
}

// One box of an ISO base media file: its type and the view of its payload.
struct Box
{
    QByteArray type;
    ByteReader payload;
};

// The boxes inside a view, one after the other, until the view ends or a size is wrong.
class BoxWalker
{
public:
    explicit BoxWalker(const ByteReader &view) : m_view(view) {}

    bool next(Box *box)
    {
        if (m_broken || m_pos >= m_view.size())
            return false;
        const auto size32 = m_view.u32be(m_pos);
        const auto type = m_view.fourcc(m_pos + 4);
        if (!allRead(size32, type))
            return fail();
        qint64 header = 8;
        qint64 size = *size32;
        if (*size32 == 1) {
            const auto size64 = m_view.u64be(m_pos + 8);
            if (!size64 || *size64 > quint64(m_view.size()))
                return fail();
            size = qint64(*size64);
            header = 16;
        } else if (*size32 == 0) {
            size = m_view.size() - m_pos; // to the end of the enclosing box
        }
        if (*type == "uuid")
            header += 16;
        const auto payload = m_view.sub(m_pos + header, size - header);
        if (size < header || !m_view.contains(m_pos, size) || !payload)
            return fail();
        box->type = *type;
        box->payload = *payload;
        m_pos += size;
        return true;
    }

private:
    bool fail()
    {
        m_broken = true;
        return false;
    }

    ByteReader m_view;
    qint64 m_pos = 0;
    bool m_broken = false;
};

bool findBox(const ByteReader &view, const char *type, Box *found)
{
    BoxWalker walker(view);
    Box box;
    while (walker.next(&box)) {
        if (box.type == type) {
            *found = box;
            return true;
        }
    }
    return false;
}

// An unsigned big-endian field of 0, 2, 4 or 8 bytes at *pos, which moves past it.
std::optional<quint64> readSized(const ByteReader &view, qint64 *pos, int bytes)
{
    if (bytes == 0)
        return quint64(0);
    if (bytes != 2 && bytes != 4 && bytes != 8)
        return std::nullopt;
    const auto value = view.uintBe(*pos, bytes);
    if (value)
        *pos += bytes;
    return value;
}

struct Extent
{
    quint64 offset = 0;
    quint64 length = 0; // 0: to the end of the source
};

struct Location
{
    int constructionMethod = 0;
    quint16 dataReference = 0;
    QList<Extent> extents;
};

// The 'iloc' box: item ID -> where its bytes are.  False when the box is malformed.
bool parseIloc(const ByteReader &iloc, QHash<quint32, Location> *locations)
{
    const auto version = iloc.u8(0);
    const auto sizes = iloc.u8(4);
    const auto moreSizes = iloc.u8(5);
    if (!allRead(version, sizes, moreSizes) || *version > 2)
        return false;
    const int offsetBytes = *sizes >> 4, lengthBytes = *sizes & 15;
    const int baseOffsetBytes = *moreSizes >> 4;
    const int indexBytes = *version >= 1 ? *moreSizes & 15 : 0;
    // item_count and item_ID: 16 bits before version 2, 32 bits from it
    const int countOrIdBytes = *version < 2 ? 2 : 4;
    qint64 pos = 6;
    const auto count = readSized(iloc, &pos, countOrIdBytes);
    if (!count)
        return false;
    // each item takes at least six bytes, so the loop ends with the box
    for (quint32 i = 0; i < quint32(*count); ++i) {
        const auto id = readSized(iloc, &pos, countOrIdBytes);
        if (!id)
            return false;
        Location location;
        if (*version >= 1) {
            const auto method = readSized(iloc, &pos, 2);
            if (!method)
                return false;
            location.constructionMethod = int(*method & 15);
        }
        const auto dataReference = readSized(iloc, &pos, 2);
        const auto baseOffset = dataReference ? readSized(iloc, &pos, baseOffsetBytes) : std::nullopt;
        const auto extentCount = baseOffset ? readSized(iloc, &pos, 2) : std::nullopt;
        if (!extentCount)
            return false;
        location.dataReference = quint16(*dataReference);
        for (quint64 e = 0; e < *extentCount; ++e) {
            const auto index = readSized(iloc, &pos, indexBytes);
            const auto offset = index ? readSized(iloc, &pos, offsetBytes) : std::nullopt;
            const auto length = offset ? readSized(iloc, &pos, lengthBytes) : std::nullopt;
            if (!length)
                return false;
            if (*offset > quint64(INT64_MAX) - *baseOffset)
                return false;
            Extent extent;
            extent.offset = *offset + *baseOffset;
            extent.length = *length;
            location.extents.append(extent);
        }
        locations->insert(quint32(*id), location);
    }
    return true;
}

// The 'iinf' box: item ID -> item type, from the version 2 and 3 'infe' entries.
void parseIinf(const ByteReader &iinf, QHash<quint32, QByteArray> *types)
{
    const auto version = iinf.u8(0);
    if (!version)
        return;
    BoxWalker walker(iinf.tail(*version == 0 ? 6 : 8));
    Box box;
    while (walker.next(&box)) {
        const auto infeVersion = box.payload.u8(0);
        if (box.type != "infe" || !infeVersion)
            continue;
        if (*infeVersion == 2) {
            const auto id = box.payload.u16be(4);
            const auto type = box.payload.fourcc(8);
            if (allRead(id, type))
                types->insert(*id, *type);
        } else if (*infeVersion == 3) {
            const auto id = box.payload.u32be(4);
            const auto type = box.payload.fourcc(10);
            if (allRead(id, type))
                types->insert(*id, *type);
        }
    }
}

// What the walk of the items learns, and the reason of the first refusal.
class Checker
{
public:
    Checker(const QByteArray &file, qint64 limitBytes)
        : m_file(file), m_limit(limitBytes), m_copyBudget(2 * qint64(file.size()) + (1 << 20))
    {
    }

    bool run();
    QString reason() const { return m_why; }

private:
    bool refuse(const QString &reason)
    {
        m_why = reason;
        return false;
    }
    bool checkBound(const std::optional<FrameBound> &bound, const char *what);
    bool checkCanvas(const ByteReader &data, qint64 sizeOffset, const char *what);
    // The bytes of an item, its extents joined; false when they are not in the file.
    bool itemBytes(const Location &location, QByteArray *storage, ByteReader *bytes);

    const QByteArray &m_file;
    qint64 m_limit;
    qint64 m_copyBudget;
    ByteReader m_idat;
    QString m_why;
};

bool Checker::checkBound(const std::optional<FrameBound> &bound, const char *what)
{
    if (!bound)
        return true;
    if (!fits(bound->width, bound->height, m_limit, 1)
        || !fits(bound->boundWidth, bound->boundHeight, m_limit, kOverrideFactor)) {
        return refuse(QStringLiteral("the %1 states frames of up to %2 x %3, past the "
                                     "allocation limit")
                              .arg(QLatin1String(what))
                              .arg(qMax(bound->width, bound->boundWidth))
                              .arg(qMax(bound->height, bound->boundHeight)));
    }
    return true;
}

// The output size of a grid or overlay item: 16-bit fields, or 32-bit ones when bit 0 of
// the flags byte (at 1) is set.
bool Checker::checkCanvas(const ByteReader &data, qint64 sizeOffset, const char *what)
{
    const bool wide = data.byteAt(1) & 1;
    const int fieldBytes = wide ? 4 : 2;
    const auto flags = data.u8(1);
    const auto width = data.uintBe(sizeOffset, fieldBytes);
    const auto height = data.uintBe(sizeOffset + fieldBytes, fieldBytes);
    if (!allRead(flags, width, height))
        return refuse(QStringLiteral("a %1 item is cut short").arg(QLatin1String(what)));
    if (!fits(qint64(*width), qint64(*height), m_limit, 1)) {
        return refuse(QStringLiteral("a %1 item states a %2 x %3 canvas, past the allocation "
                                     "limit")
                              .arg(QLatin1String(what))
                              .arg(*width)
                              .arg(*height));
    }
    return true;
}

bool Checker::itemBytes(const Location &location, QByteArray *storage, ByteReader *bytes)
{
    ByteReader source;
    if (location.dataReference != 0)
        return false; // data in another file: libheif does not read those either
    if (location.constructionMethod == 0)
        source = ByteReader(m_file);
    else if (location.constructionMethod == 1)
        source = m_idat;
    else
        return false;
    // An extent of length 0 runs to the end of its source.
    auto extentView = [&](const Extent &extent) -> std::optional<ByteReader> {
        if (extent.offset > quint64(source.size()))
            return std::nullopt;
        const qint64 offset = qint64(extent.offset);
        const qint64 length = extent.length ? qint64(qMin<quint64>(extent.length, quint64(INT64_MAX)))
                                            : source.size() - offset;
        return source.sub(offset, length);
    };
    if (location.extents.size() == 1) {
        const auto view = extentView(location.extents.first());
        *bytes = view ? *view : ByteReader();
        return view || location.extents.first().length == 0;
    }
    storage->clear();
    for (const Extent &extent : location.extents) {
        const auto view = extentView(extent);
        if (!view) {
            if (extent.length != 0)
                return false;
            continue;
        }
        // every item may list the same bytes again: the joined copies are bounded
        m_copyBudget -= view->size();
        if (m_copyBudget < 0)
            return false;
        storage->append(view->data(), view->size());
    }
    *bytes = ByteReader(*storage);
    return true;
}

bool Checker::run()
{
    const ByteReader file(m_file);
    Box meta;
    if (!findBox(file, "meta", &meta))
        return true; // libheif refuses it on its own
    // a full box: version and flags, then the children
    const ByteReader children = meta.payload.tail(4);

    Box box;
    QHash<quint32, QByteArray> types;
    QHash<quint32, Location> locations;
    if (findBox(children, "iinf", &box))
        parseIinf(box.payload, &types);
    if (findBox(children, "iloc", &box) && !parseIloc(box.payload, &locations))
        return refuse(QStringLiteral("the item locations are malformed"));
    if (findBox(children, "idat", &box))
        m_idat = box.payload;

    // Every configuration record in the file, associated with an item or not.
    int lengthBytes = 4;
    Box iprp, ipco;
    if (findBox(children, "iprp", &iprp) && findBox(iprp.payload, "ipco", &ipco)) {
        BoxWalker walker(ipco.payload);
        while (walker.next(&box)) {
            bool ok = true;
            if (box.type == "av1C") {
                // four bytes of fields, then configOBUs
                const auto bound = av1FrameBound(box.payload.tail(4), &ok);
                if (!ok)
                    return refuse(QStringLiteral("an AV1 configuration is cut short"));
                if (!checkBound(bound, "AV1 configuration"))
                    return false;
            } else if (box.type == "hvcC") {
                // lengthSizeMinusOne in the low two bits of byte 21
                if (const auto field = box.payload.u8(21))
                    lengthBytes = (*field & 3) + 1;
                const auto bound = hevcConfigFrameBound(box.payload, &ok);
                if (!ok)
                    return refuse(QStringLiteral("an HEVC configuration is cut short"));
                if (!checkBound(bound, "HEVC configuration"))
                    return false;
            }
        }
    }

    for (auto it = types.cbegin(); it != types.cend(); ++it) {
        const QByteArray &type = it.value();
        const bool av1 = type == "av01";
        const bool hevc = type == "hvc1" || type == "hev1";
        const bool grid = type == "grid";
        const bool overlay = type == "iovl";
        if (!av1 && !hevc && !grid && !overlay)
            continue;
        const auto location = locations.constFind(it.key());
        QByteArray storage;
        ByteReader data;
        if (location == locations.cend() || !itemBytes(*location, &storage, &data))
            return refuse(QStringLiteral("the data of item %1 is not in the file").arg(it.key()));
        bool ok = true;
        if (av1) {
            const auto bound = av1FrameBound(data, &ok);
            if (!ok)
                return refuse(QStringLiteral("the AV1 data of item %1 is cut short").arg(it.key()));
            if (!checkBound(bound, "AV1 stream"))
                return false;
        } else if (hevc) {
            const auto bound = hevcSampleFrameBound(data, lengthBytes, &ok);
            if (!ok)
                return refuse(QStringLiteral("the HEVC data of item %1 is cut short").arg(it.key()));
            if (!checkBound(bound, "HEVC stream"))
                return false;
        } else if (grid) {
            // version, flags, rows_minus_one, columns_minus_one, then the size
            if (!checkCanvas(data, 4, "grid"))
                return false;
        } else {
            // version, flags, four 16-bit fill values, then the size
            if (!checkCanvas(data, 10, "overlay"))
                return false;
        }
    }
    return true;
}

} // namespace

std::optional<FrameBound> av1FrameBound(const ByteReader &obus, bool *ok)
{
    *ok = true;
    std::optional<FrameBound> result;
    qint64 pos = 0;
    while (pos < obus.size()) {
        // obu_header(): forbidden bit, obu_type (4 bits), extension flag, has_size_field
        const auto header = obus.u8(pos);
        if (!header) {
            *ok = false;
            return result;
        }
        const quint8 type = (*header >> 3) & 15;
        const bool extension = *header & 4;
        const bool hasSize = *header & 2;
        pos += extension ? 2 : 1;
        qint64 size = obus.size() - pos;
        if (hasSize) {
            // leb128(): seven bits a byte, least significant first, at most eight bytes
            quint64 value = 0;
            int i = 0;
            quint8 byte = 0x80;
            for (; i < 8 && (byte & 0x80); ++i) {
                const auto next = obus.u8(pos + i);
                if (!next) {
                    *ok = false;
                    return result;
                }
                byte = *next;
                value |= quint64(byte & 0x7f) << (7 * i);
            }
            pos += i;
            if (value > quint64(obus.size())) {
                *ok = false;
                return result;
            }
            size = qint64(value);
        }
        const auto obu = obus.sub(pos, size);
        if (!obu) {
            *ok = false;
            return result;
        }
        if (type == kObuSequenceHeader) {
            const auto bound = parseSequenceHeader(*obu);
            if (!bound) {
                *ok = false;
                return result;
            }
            result = larger(result, *bound);
        }
        pos += size;
    }
    return result;
}

std::optional<FrameBound> hevcConfigFrameBound(const ByteReader &hvcC, bool *ok)
{
    *ok = true;
    std::optional<FrameBound> result;
    // numOfArrays at 22; each array: a type byte, numNalus (16 bits), then every NAL unit
    // with its 16-bit length
    const auto arrays = hvcC.u8(22);
    if (!arrays) {
        *ok = false;
        return result;
    }
    qint64 pos = 23;
    for (int a = 0; a < *arrays; ++a) {
        const auto count = hvcC.u16be(pos + 1);
        if (!count) {
            *ok = false;
            return result;
        }
        pos += 3;
        for (int n = 0; n < *count; ++n) {
            const auto length = hvcC.u16be(pos);
            const auto nal = length ? hvcC.sub(pos + 2, *length) : std::nullopt;
            if (!nal) {
                *ok = false;
                return result;
            }
            if (!takeSps(*nal, &result)) {
                *ok = false;
                return result;
            }
            pos += 2 + *length;
        }
    }
    return result;
}

std::optional<FrameBound> hevcSampleFrameBound(const ByteReader &data, int lengthBytes, bool *ok)
{
    *ok = true;
    std::optional<FrameBound> result;
    qint64 pos = 0;
    while (pos < data.size()) {
        const auto length = data.uintBe(pos, lengthBytes);
        if (!length) {
            *ok = false;
            return result;
        }
        pos += lengthBytes;
        const auto nal = *length > quint64(data.size()) ? std::nullopt : data.sub(pos, qint64(*length));
        if (!nal) {
            *ok = false;
            return result;
        }
        if (!takeSps(*nal, &result)) {
            *ok = false;
            return result;
        }
        pos += qint64(*length);
    }
    return result;
}

bool framesFit(const QByteArray &file, qint64 limitBytes, QString *why)
{
    if (limitBytes <= 0)
        return true; // the limit is switched off
    Checker checker(file, limitBytes);
    if (checker.run())
        return true;
    if (why)
        *why = checker.reason();
    return false;
}

} // namespace HeifStreamCheck
