#include "imagefixtures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <array>

#include "bytes/bytereader.h"

namespace ImageFixtures {

namespace {

quint16 replicate10(quint32 v10)
{
    return quint16(v10 << 6 | v10 >> 4);
}

quint32 ramp(int position, int length, quint32 top)
{
    return length > 1 ? quint32(qint64(position) * top / (length - 1)) : 0;
}

quint32 crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t {};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xffffffffu;
    for (char b : bytes)
        c = table[(c ^ quint8(b)) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

QByteArray be32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

void put32(QByteArray *bytes, qint64 offset, quint32 v)
{
    qToBigEndian(v, bytes->data() + offset);
}

// A box found while walking a container: where it starts and how long it is.
struct Box
{
    qint64 offset = -1;
    quint32 size = 0;
    bool found() const { return offset >= 0; }
};

Box findChild(const ByteReader &file, qint64 begin, qint64 end, const char *type)
{
    for (qint64 offset = begin; offset + 8 <= end;) {
        const auto size = file.u32be(offset);
        if (!size || *size < 8 || !file.contains(offset, *size) || offset + *size > end)
            return {};
        if (file.matches(offset + 4, type, 4))
            return {offset, *size};
        offset += *size;
    }
    return {};
}

// A field of 0, 4 or 8 bytes.
std::optional<quint64> readSized(const ByteReader &file, qint64 offset, int bytes)
{
    if (bytes == 0)
        return quint64(0);
    if (bytes != 4 && bytes != 8)
        return std::nullopt;
    return file.uintBe(offset, bytes);
}

void writeSized(QByteArray *bytes, qint64 offset, int size, quint64 value)
{
    if (size == 4)
        qToBigEndian(quint32(value), bytes->data() + offset);
    else if (size == 8)
        qToBigEndian(value, bytes->data() + offset);
}

// Moves every file offset in 'iloc' that points at data stored in the file (construction
// method 0) by delta: the data sits in 'mdat' after the 'meta' box being grown.
bool shiftItemLocations(QByteArray *out, const Box &iloc, qint64 delta)
{
    const ByteReader file(*out);
    const auto version = file.u8(iloc.offset + 8);
    const auto sizes = file.u8(iloc.offset + 12);
    const auto sizes2 = file.u8(iloc.offset + 13);
    if (!allRead(version, sizes, sizes2) || *version > 2)
        return false;
    const int offsetSize = *sizes >> 4, lengthSize = *sizes & 15, baseSize = *sizes2 >> 4;
    const int indexSize = *version >= 1 ? *sizes2 & 15 : 0;
    qint64 pos = iloc.offset + 14;
    const int countBytes = *version < 2 ? 2 : 4;
    const auto itemCount = file.uintBe(pos, countBytes);
    if (!itemCount)
        return false;
    pos += countBytes;
    for (quint64 i = 0; i < *itemCount; ++i) {
        pos += countBytes; // item ID
        quint16 method = 0;
        if (*version >= 1) {
            const auto field = file.u16be(pos);
            if (!field)
                return false;
            method = *field & 15;
            pos += 2;
        }
        pos += 2; // data reference index
        const qint64 basePos = pos;
        const auto base = readSized(file, pos, baseSize);
        if (!base)
            return false;
        pos += baseSize;
        const auto extents = file.u16be(pos);
        if (!extents)
            return false;
        pos += 2;
        const bool shiftBase = method == 0 && baseSize > 0 && *base != 0;
        if (shiftBase)
            writeSized(out, basePos, baseSize, *base + delta);
        for (quint16 e = 0; e < *extents; ++e) {
            pos += indexSize;
            const auto extentOffset = readSized(file, pos, offsetSize);
            if (!extentOffset || !file.contains(pos, lengthSize))
                return false;
            if (method == 0 && !shiftBase)
                writeSized(out, pos, offsetSize, *extentOffset + delta);
            pos += offsetSize + lengthSize;
        }
    }
    return pos <= iloc.offset + iloc.size;
}

} // namespace

QImage sourceImage(const QSize &size, Source kind)
{
    const int w = size.width(), h = size.height();
    if (kind == Source::Deep) {
        QImage image(size, QImage::Format_RGBA64);
        for (int y = 0; y < h; ++y) {
            auto *line = reinterpret_cast<quint16 *>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                // every 10-bit code in turn in each channel, not a smooth ramp: the
                // depth tests look at how each code maps to 8 bits
                const quint32 i = quint32(y * w + x);
                line[4 * x + 0] = replicate10(i % 1024);
                line[4 * x + 1] = replicate10((i * 7 + 300) % 1024);
                line[4 * x + 2] = replicate10((i * 13 + 600) % 1024);
                line[4 * x + 3] = replicate10(200 + (i * 3) % 824);
            }
        }
        return image;
    }
    QImage image(size, kind == Source::Alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    for (int y = 0; y < h; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            line[4 * x + 0] = uchar(ramp(x, w, 255));
            line[4 * x + 1] = uchar(ramp(y, h, 255));
            line[4 * x + 2] = uchar(ramp(x + y, w + h - 1, 255));
            line[4 * x + 3] = kind == Source::Alpha ? uchar(255 - ramp(x + y, w + h - 1, 200)) : 255;
        }
    }
    return image;
}

QImage orientedByExif(const QImage &stored, int orientation)
{
    const int w = stored.width(), h = stored.height();
    const bool turned = orientation >= 5;
    QImage out(turned ? QSize(h, w) : stored.size(), stored.format());
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            int sx = x, sy = y;
            switch (orientation) {
            case 2: sx = w - 1 - x; break;
            case 3: sx = w - 1 - x; sy = h - 1 - y; break;
            case 4: sy = h - 1 - y; break;
            case 5: sx = y; sy = x; break;                 // transpose
            case 6: sx = y; sy = h - 1 - x; break;         // turned a quarter clockwise
            case 7: sx = w - 1 - y; sy = h - 1 - x; break; // transverse
            case 8: sx = w - 1 - y; sy = x; break;         // turned a quarter anticlockwise
            default: break;
            }
            out.setPixelColor(x, y, stored.pixelColor(sx, sy));
        }
    }
    return out;
}

QByteArray pngBytes(const QImage &image, int exifOrientation)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return {};
    if (exifOrientation == 1)
        return png;
    // 8-byte signature, then IHDR: length, type, 13 bytes, CRC
    constexpr qint64 kAfterHeader = 8 + 4 + 4 + 13 + 4;
    // Exif as a big-endian TIFF: header, one IFD with the Orientation tag (0x0112, SHORT)
    QByteArray exif("MM\0*", 4);
    exif += be32(8);
    exif += QByteArray("\0\1", 2);
    exif += QByteArray("\x01\x12\0\3", 4) + be32(1);
    exif += char(0) + QByteArray(1, char(exifOrientation)) + QByteArray(2, '\0');
    exif += be32(0);
    const QByteArray typeAndData = QByteArray("eXIf") + exif;
    const QByteArray chunk = be32(quint32(exif.size())) + typeAndData + be32(crc32(typeAndData));
    png.insert(kAfterHeader, chunk);
    return png;
}

bool run(const QString &program, const QStringList &arguments, QString *log)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        *log = program + " is not installed";
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path, arguments);
    const bool finished = process.waitForFinished(120000);
    *log = QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray withHeifTransform(const QByteArray &heif, int irotQuarterTurns, int imirAxis)
{
    const ByteReader file(heif);
    const Box meta = findChild(file, 0, file.size(), "meta");
    if (!meta.found())
        return {};
    const qint64 metaBegin = meta.offset + 12, metaEnd = meta.offset + meta.size;
    const Box pitm = findChild(file, metaBegin, metaEnd, "pitm");
    const Box iloc = findChild(file, metaBegin, metaEnd, "iloc");
    const Box iprp = findChild(file, metaBegin, metaEnd, "iprp");
    if (!pitm.found() || !iloc.found() || !iprp.found())
        return {};
    const Box ipco = findChild(file, iprp.offset + 8, iprp.offset + iprp.size, "ipco");
    const Box ipma = findChild(file, iprp.offset + 8, iprp.offset + iprp.size, "ipma");
    const auto pitmVersion = file.u8(pitm.offset + 8);
    if (!ipco.found() || !ipma.found() || ipma.offset < ipco.offset || !pitmVersion)
        return {};
    // the primary item's ID: 16 bits in version 0, 32 bits after
    const auto primaryId = file.uintBe(pitm.offset + 12, *pitmVersion == 0 ? 2 : 4);
    if (!primaryId)
        return {};
    const quint32 primary = quint32(*primaryId);

    int properties = 0;
    for (qint64 offset = ipco.offset + 8; offset < ipco.offset + ipco.size; ++properties) {
        const auto size = file.u32be(offset);
        if (!size || *size < 8)
            return {};
        offset += *size;
    }
    QByteArray newProperties;
    QList<int> newIndices;
    if (irotQuarterTurns >= 0) {
        newProperties += be32(9) + QByteArray("irot") + char(irotQuarterTurns & 3);
        newIndices << ++properties;
    }
    if (imirAxis >= 0) {
        newProperties += be32(9) + QByteArray("imir") + char(imirAxis & 1);
        newIndices << ++properties;
    }

    // ipma: version, 24 flag bits, entry count, then per item its ID (16 bits before
    // version 1), an association count and the associations, 8 or 16 bits each (flag 1)
    const auto ipmaVersion = file.u8(ipma.offset + 8);
    const auto ipmaFlags = file.u8(ipma.offset + 11);
    const auto entries = file.u32be(ipma.offset + 12);
    if (!allRead(ipmaVersion, ipmaFlags, entries))
        return {};
    const bool wide = *ipmaFlags & 1;
    QByteArray associations;
    for (int index : newIndices) {
        if (wide)
            associations += char(0x80 | (index >> 8)) + QByteArray(1, char(index & 0xff));
        else if (index < 0x80)
            associations += char(0x80 | index); // top bit: essential
        else
            return {};
    }
    // The alpha plane is an item of its own ('auxl' reference to the primary) and takes
    // the same transforms, or it would no longer line up with the colours.
    QList<quint32> targets = {primary};
    const Box iref = findChild(file, metaBegin, metaEnd, "iref");
    const auto irefVersion = iref.found() ? file.u8(iref.offset + 8) : std::nullopt;
    if (irefVersion) {
        const int idBytes = *irefVersion == 0 ? 2 : 4;
        for (qint64 offset = iref.offset + 12; offset + 8 <= iref.offset + iref.size;) {
            const auto size = file.u32be(offset);
            if (!size || *size < 8)
                return {};
            const qint64 fromPos = offset + 8, countPos = fromPos + idBytes;
            const auto from = file.uintBe(fromPos, idBytes);
            const auto count = file.u16be(countPos);
            if (!allRead(from, count))
                return {};
            for (quint16 i = 0; i < *count; ++i) {
                const auto to = file.uintBe(countPos + 2 + qint64(i) * idBytes, idBytes);
                if (!to)
                    return {};
                if (file.matches(offset + 4, "auxl", 4) && *to == primary)
                    targets << quint32(*from);
            }
            offset += *size;
        }
    }

    struct Entry
    {
        qint64 countPos;
        qint64 end;
    };
    QList<Entry> edits;
    qint64 pos = ipma.offset + 16;
    for (quint32 i = 0; i < *entries; ++i) {
        const int idBytes = *ipmaVersion < 1 ? 2 : 4;
        const auto id = file.uintBe(pos, idBytes);
        if (!id)
            return {};
        pos += idBytes;
        const auto count = file.u8(pos);
        if (!count)
            return {};
        const qint64 thisCount = pos;
        pos += 1 + qint64(*count) * (wide ? 2 : 1);
        if (targets.contains(quint32(*id)))
            edits.push_front({thisCount, pos}); // last first: earlier offsets stay valid
    }
    if (edits.isEmpty() || pos > ipma.offset + ipma.size)
        return {};

    const qint64 added = associations.size() * edits.size();
    const qint64 delta = newProperties.size() + added;
    QByteArray out = heif;
    if (!shiftItemLocations(&out, iloc, delta))
        return {};
    put32(&out, ipma.offset, ipma.size + quint32(added));
    for (const Entry &e : edits) {
        out[e.countPos] = char(quint8(out[e.countPos]) + newIndices.size());
        out.insert(e.end, associations);
    }
    put32(&out, ipco.offset, ipco.size + quint32(newProperties.size()));
    out.insert(ipco.offset + ipco.size, newProperties);
    put32(&out, iprp.offset, iprp.size + quint32(delta));
    put32(&out, meta.offset, meta.size + quint32(delta));
    return out;
}

QByteArray withHeifCodedSize(const QByteArray &heif, quint32 width, quint32 height)
{
    const ByteReader file(heif);
    const Box meta = findChild(file, 0, file.size(), "meta");
    if (!meta.found())
        return {};
    const Box iprp = findChild(file, meta.offset + 12, meta.offset + meta.size, "iprp");
    if (!iprp.found())
        return {};
    const Box ipco = findChild(file, iprp.offset + 8, iprp.offset + iprp.size, "ipco");
    if (!ipco.found())
        return {};
    QByteArray out = heif;
    int changed = 0;
    for (qint64 offset = ipco.offset + 8; offset + 8 <= ipco.offset + ipco.size;) {
        const auto size = file.u32be(offset);
        if (!size || *size < 8)
            return {};
        // ispe: full box header, then width and height, 32 bits each
        if (file.matches(offset + 4, "ispe", 4) && *size >= 20) {
            put32(&out, offset + 12, width);
            put32(&out, offset + 16, height);
            ++changed;
        }
        offset += *size;
    }
    return changed ? out : QByteArray();
}

QByteArray jxlHeaderOnly(quint32 width, quint32 height)
{
    // the codestream is read least significant bit first
    QByteArray bits;
    int used = 0;
    auto put = [&](quint32 value, int count) {
        for (int i = 0; i < count; ++i, ++used) {
            if (used % 8 == 0)
                bits += '\0';
            if (value >> i & 1)
                bits[used / 8] = char(quint8(bits[used / 8]) | 1 << (used % 8));
        }
    };
    // SizeHeader: not small; each side as U32 with selector 3 = 1 + u(30); ratio 0
    put(0, 1);
    put(3, 2);
    put(height - 1, 30);
    put(0, 3);
    put(3, 2);
    put(width - 1, 30);
    // ImageMetadata: all_default
    put(1, 1);
    return QByteArray("\xff\x0a", 2) + bits + QByteArray(16, '\0');
}

namespace {

// Bits written most significant first, as AV1 and HEVC headers are.
class BitWriter
{
public:
    void put(quint64 value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            if (m_used % 8 == 0)
                m_bytes += '\0';
            if (value >> i & 1)
                m_bytes[m_used / 8] = char(quint8(m_bytes[m_used / 8]) | 0x80 >> (m_used % 8));
            ++m_used;
        }
    }
    // HEVC's ue(v)
    void expGolomb(quint64 value)
    {
        int bits = 0;
        while ((value + 1) >> (bits + 1))
            ++bits;
        put(0, bits);
        put(value + 1, bits + 1);
    }
    // The stop bit and zeros up to the byte boundary.
    QByteArray finished()
    {
        put(1, 1);
        while (m_used % 8)
            put(0, 1);
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    int m_used = 0;
};

int bitsFor(quint32 value)
{
    int bits = 1;
    while (bits < 32 && value >> bits)
        ++bits;
    return bits;
}

QByteArray box(const char *type, const QByteArray &payload)
{
    return be32(quint32(8 + payload.size())) + QByteArray(type, 4) + payload;
}

QByteArray fullBox(const char *type, quint8 version, quint32 flags, const QByteArray &payload)
{
    return box(type, be32(quint32(version) << 24 | flags) + payload);
}

QByteArray be16(quint16 v)
{
    QByteArray out(2, '\0');
    qToBigEndian(v, out.data());
    return out;
}

QByteArray av1SequenceHeader(const StreamSize &stream)
{
    BitWriter bits;
    const int widthBits = stream.sizeBits ? stream.sizeBits : bitsFor(stream.width - 1);
    const int heightBits = stream.sizeBits ? stream.sizeBits : bitsFor(stream.height - 1);
    bits.put(0, 3); // seq_profile
    bits.put(stream.reducedHeader ? 1 : 0, 1); // still_picture
    bits.put(stream.reducedHeader ? 1 : 0, 1);
    if (stream.reducedHeader) {
        bits.put(8, 5); // seq_level_idx
    } else {
        bits.put(0, 1);  // timing_info_present_flag
        bits.put(0, 1);  // initial_display_delay_present_flag
        bits.put(0, 5);  // operating_points_cnt_minus_1
        bits.put(0, 12); // operating_point_idc
        bits.put(8, 5);  // seq_level_idx, past 7: a tier bit follows
        bits.put(0, 1);
    }
    bits.put(widthBits - 1, 4);
    bits.put(heightBits - 1, 4);
    bits.put(stream.width - 1, widthBits);
    bits.put(stream.height - 1, heightBits);
    if (!stream.reducedHeader) {
        bits.put(0, 1); // frame_id_numbers_present_flag
    }
    bits.put(0, 3); // 128x128 superblocks, filter intra, intra edge filter
    if (!stream.reducedHeader) {
        bits.put(0, 5); // inter-intra, masked compound, warped motion, dual filter, order hint
        bits.put(1, 1); // seq_choose_screen_content_tools
        bits.put(1, 1); // seq_choose_integer_mv
    }
    bits.put(0, 3); // superres, cdef, restoration
    bits.put(0, 4); // 8 bits, colour, no colour description, studio range
    bits.put(0, 2); // chroma_sample_position
    bits.put(0, 1); // separate_uv_delta_q
    bits.put(0, 1); // film_grain_params_present
    return bits.finished();
}

QByteArray obu(quint8 type, const QByteArray &payload)
{
    QByteArray out(1, char(type << 3 | 2));
    quint32 size = quint32(payload.size());
    do {
        quint8 byte = size & 0x7f;
        size >>= 7;
        out += char(size ? byte | 0x80 : byte);
    } while (size);
    return out + payload;
}

// An SPS NAL unit, emulation prevention bytes in place.
QByteArray hevcSps(const StreamSize &stream)
{
    BitWriter bits;
    bits.put(0, 4); // sps_video_parameter_set_id
    bits.put(0, 3); // sps_max_sub_layers_minus1
    bits.put(1, 1); // sps_temporal_id_nesting_flag
    bits.put(1, 8); // profile space, tier, general_profile_idc 1 (Main)
    bits.put(0x60000000, 32);
    bits.put(0x9, 4); // progressive, frame only
    bits.put(0, 44);
    bits.put(93, 8); // general_level_idc
    bits.expGolomb(0); // sps_seq_parameter_set_id
    bits.expGolomb(1); // 4:2:0
    bits.expGolomb(stream.width);
    bits.expGolomb(stream.height);
    bits.put(0, 1); // conformance_window_flag
    bits.expGolomb(0);
    bits.expGolomb(0);
    bits.expGolomb(4);
    const QByteArray rbsp = bits.finished();
    QByteArray nal("\x42\x01", 2);
    int zeros = 0;
    for (char c : rbsp) {
        if (zeros >= 2 && quint8(c) <= 3) {
            nal += '\x03';
            zeros = 0;
        }
        nal += c;
        zeros = c == 0 ? zeros + 1 : 0;
    }
    return nal;
}

// ftyp, meta with one item (ID 1, the primary) of itemType with an 'ispe' and the given
// configuration property, and mdat holding its data.
QByteArray heifFile(const char *brand, const char *itemType, const QSize &ispe,
                    const QByteArray &config, const QByteArray &data)
{
    const QByteArray ftyp =
            box("ftyp", QByteArray(brand, 4) + be32(0) + QByteArray("mif1", 4) + QByteArray(brand, 4));
    auto meta = [&](quint32 dataOffset) {
        const QByteArray hdlr = fullBox("hdlr", 0, 0, be32(0) + "pict" + QByteArray(13, '\0'));
        const QByteArray pitm = fullBox("pitm", 0, 0, be16(1));
        const QByteArray iloc = fullBox("iloc", 0, 0,
                                        QByteArray("\x44\x00", 2) + be16(1) + be16(1) + be16(0)
                                                + be16(1) + be32(dataOffset)
                                                + be32(quint32(data.size())));
        const QByteArray infe = fullBox("infe", 2, 0,
                                        be16(1) + be16(0) + QByteArray(itemType, 4) + QByteArray(1, '\0'));
        const QByteArray iinf = fullBox("iinf", 0, 0, be16(1) + infe);
        const QByteArray ispeBox = fullBox("ispe", 0, 0, be32(quint32(ispe.width()))
                                                             + be32(quint32(ispe.height())));
        const QByteArray ipco = box("ipco", ispeBox + config);
        const QByteArray associations = config.isEmpty() ? QByteArray("\x01\x01", 2)
                                                         : QByteArray("\x02\x01\x82", 3);
        const QByteArray ipma = fullBox("ipma", 0, 0, be32(1) + be16(1) + associations);
        return fullBox("meta", 0, 0, hdlr + pitm + iloc + iinf + box("iprp", ipco + ipma));
    };
    const quint32 dataOffset = quint32(ftyp.size() + meta(0).size() + 8);
    return ftyp + meta(dataOffset) + box("mdat", data);
}

} // namespace

QByteArray heifWithStreamSize(Codec codec, const QSize &ispe, const StreamSize &stream)
{
    return heifWithStreamSizes(codec, ispe, {stream});
}

QByteArray heifWithStreamSizes(Codec codec, const QSize &ispe, const QList<StreamSize> &streams)
{
    const bool av1 = codec == Codec::Av1;
    QByteArray config, data;
    if (av1) {
        QByteArray sequences;
        for (const StreamSize &stream : streams)
            sequences += obu(1, av1SequenceHeader(stream));
        config = box("av1C", QByteArray("\x81\x08\x0c\x00", 4) + sequences);
        // temporal delimiter, the sequence headers again, a frame of filler
        data = obu(2, {}) + sequences + obu(6, QByteArray(24, '\xa5'));
    } else {
        // hvcC: 22 bytes of fields, one array (SPS, 0x21 with array_completeness) of
        // streams.size() NAL units, each with its 16-bit length
        QByteArray record = QByteArray("\x01\x01\x60\x00\x00\x00\x90\x00\x00\x00"
                                       "\x00\x00\x5d\xf0\x00\xfc\xfd\xf8\xf8\x00"
                                       "\x00\x0f\x01\xa1", 24)
                + be16(quint16(streams.size()));
        for (const StreamSize &stream : streams) {
            const QByteArray sps = hevcSps(stream);
            record += be16(quint16(sps.size())) + sps;
            data += be32(quint32(sps.size())) + sps;
        }
        config = box("hvcC", record);
        const QByteArray slice = QByteArray("\x26\x01", 2) + QByteArray(24, '\xa5');
        data += be32(quint32(slice.size())) + slice;
    }
    return heifFile(av1 ? "avif" : "heic", av1 ? "av01" : "hvc1", ispe, config, data);
}

QByteArray heifWithCanvas(const char *itemType, quint32 width, quint32 height)
{
    const bool wide = width > 0xffff || height > 0xffff;
    QByteArray data = QByteArray(1, '\0') + char(wide ? 1 : 0);
    if (qstrcmp(itemType, "grid") == 0)
        data += QByteArray(2, '\0'); // one row, one column
    else
        data += QByteArray(8, '\0'); // four fill values
    data += wide ? be32(width) + be32(height) : be16(quint16(width)) + be16(quint16(height));
    return heifFile("heic", itemType, QSize(64, 64), {}, data);
}

} // namespace ImageFixtures
