// glyphora-decodediff PICTURE...: how far the reduced-size decode of the icon road drifts
// from decoding every pixel.  For each picture, prints the largest difference of one
// colour or alpha channel, over every pixel of every entry, between the entries made
// through the reduced decode and through the full decode, and the same for the 256 entry.

#include <QCoreApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ico/icoencoder.h"
#include "picture/sourceimage.h"

namespace {

int largestChannelDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            largest = std::max({largest, std::abs(qRed(pa[x]) - qRed(pb[x])), std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                                std::abs(qBlue(pa[x]) - qBlue(pb[x])), std::abs(qAlpha(pa[x]) - qAlpha(pb[x]))});
        }
    }
    return largest;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList paths = app.arguments().mid(1);
    if (paths.isEmpty()) {
        std::fprintf(stderr, "usage: glyphora-decodediff PICTURE...\n");
        return 2;
    }
    int status = 0;
    for (const QString& path : paths) {
        QImage reduced;
        QImage full;
        if (!SourceImage::loadRasterFitted(path, IcoEncoder::kMasterSide, reduced, nullptr, SourceImage::Decode::Reduced)
            || !SourceImage::loadRasterFitted(path, IcoEncoder::kMasterSide, full, nullptr, SourceImage::Decode::Full)) {
            std::fprintf(stderr, "%s: cannot decode\n", qPrintable(path));
            status = 1;
            continue;
        }
        int largest = 0;
        int at256 = 0;
        for (int size : IcoEncoder::iconSizes(reduced.width())) {
            const int d = largestChannelDifference(IcoEncoder::fitToSquare(reduced, size),
                                                   IcoEncoder::fitToSquare(full, size));
            largest = std::max(largest, d);
            if (size == IcoEncoder::kMasterSide)
                at256 = d;
        }
        std::printf("%s\t256 entry %d\tany entry %d\n", qPrintable(path), at256, largest);
    }
    return status;
}
