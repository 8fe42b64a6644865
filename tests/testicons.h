#pragma once

// Icon payloads for the tests: headerless DIBs of any bit count, with a chosen palette,
// pixels and mask, and PNG payloads.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QList>

#include <functional>

namespace TestIcons {

inline void put16(QByteArray& b, qint64 at, quint16 v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

inline void put32(QByteArray& b, qint64 at, quint32 v)
{
    put16(b, at, quint16(v & 0xFFFF));
    put16(b, at + 2, quint16(v >> 16));
}

struct Dib
{
    int width = 16;
    int height = 16;
    int bitCount = 32;
    quint32 clrUsed = 0;
    QList<QRgb> palette;                        // stored as blue, green, red, 0
    int paletteEntries = -1;                    // entries written; -1: clrUsed or 2^bits
    std::function<quint32(int, int)> pixel;     // palette index, or 0xAARRGGBB
    std::function<bool(int, int)> mask;         // true: mask bit 1 (transparent)
    qint64 biHeight = 0;                        // 0: 2 * height
    quint32 biSize = 40;
    bool withMask = true;

    static qint64 stride(int bits, int width) { return ((qint64(bits) * width + 31) / 32) * 4; }

    QByteArray build() const
    {
        const int entries = paletteEntries >= 0
            ? paletteEntries
            : (bitCount <= 8 ? int(clrUsed ? clrUsed : (1u << bitCount)) : 0);
        const qint64 colourStride = stride(bitCount, width);
        const qint64 maskStride = stride(1, width);
        QByteArray b(biSize, '\0');
        put32(b, 0, biSize);
        put32(b, 4, quint32(width));
        put32(b, 8, quint32(biHeight ? biHeight : 2 * height));
        put16(b, 12, 1);
        put16(b, 14, quint16(bitCount));
        put32(b, 32, clrUsed);
        for (int i = 0; i < entries; ++i) {
            const QRgb c = i < palette.size() ? palette.at(i) : 0;
            b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
        }
        for (int row = height - 1; row >= 0; --row) {
            QByteArray line(colourStride, '\0');
            for (int x = 0; x < width; ++x) {
                const quint32 v = pixel ? pixel(x, row) : 0;
                switch (bitCount) {
                case 32: put32(line, x * 4, v); break;
                case 24:
                    line[x * 3] = char(v & 0xFF);
                    line[x * 3 + 1] = char((v >> 8) & 0xFF);
                    line[x * 3 + 2] = char((v >> 16) & 0xFF);
                    break;
                case 16: put16(line, x * 2, quint16(v)); break;
                case 8: line[x] = char(v); break;
                case 4: line[x / 2] = char(uchar(line[x / 2]) | ((v & 0xF) << ((x % 2) ? 0 : 4))); break;
                case 1: line[x / 8] = char(uchar(line[x / 8]) | ((v & 1) << (7 - x % 8))); break;
                default: break;
                }
            }
            b.append(line);
        }
        if (withMask) {
            for (int row = height - 1; row >= 0; --row) {
                QByteArray line(maskStride, '\0');
                for (int x = 0; x < width; ++x) {
                    if (mask && mask(x, row))
                        line[x / 8] = char(uchar(line[x / 8]) | (1 << (7 - x % 8)));
                }
                b.append(line);
            }
        }
        return b;
    }
};

inline QByteArray pngPayload(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A 32-bit DIB of a w x h pattern with soft alpha.
inline QByteArray patternDib(int w, int h, quint32 seed = 1)
{
    Dib dib;
    dib.width = w;
    dib.height = h;
    dib.pixel = [seed](int x, int y) {
        return quint32(qRgba((x * 37 + seed * 11) & 0xFF, (y * 53 + seed) & 0xFF,
                             (x * y + seed * 7) & 0xFF, (x + y * 3 + seed) & 0xFF));
    };
    return dib.build();
}

} // namespace TestIcons
