// Times the composed icon: a full composition with every effect on and 10 image objects
// at each canvas size (what every repaint costs), the PNG export sizes (render and
// scale), and one wheel notch on an object made from a 4000 x 3000 photo (rebuild of
// its display image and a full render).  Prints median milliseconds, and how far the
// display image scaled through the halvings drifts from a plain smooth scale of the whole
// photo (the largest difference of one channel, 0-255); and one undo of each kind of step
// with its repaint at the 1024 canvas.
//
//   glyphora-composebench PHOTO OBJECT_PICTURE... [--runs N]

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <QUndoStack>

#include "render/composition.h"
#include "render/iconrenderer.h"
#include "render/iconstyle.h"
#include "render/imagedata.h"

namespace {

// The median of runs timings, or with least set their minimum (steadier on a loaded
// machine, for differences between two timings).
double medianMs(int runs, const std::function<void()>& work, bool least = false)
{
    work();  // warm caches and the glyph cache
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return least ? times.front() : times[times.size() / 2];
}

IconStyle everyEffect(int sizeIndex)
{
    IconStyle style;
    style.shape = IconStyle::RoundedRectangle;
    style.radius = 40;
    style.useBackground = true;
    style.backStyle = IconStyle::Gradient;
    style.backOrientation = 4;
    style.backColor1 = QColor(QStringLiteral("#FFFFFF"));
    style.backColor2 = QColor(QStringLiteral("#FFF200"));
    style.useBack3dEffect = true;
    style.useBorder = true;
    style.borderColor = QColor(QStringLiteral("#3282F6"));
    style.borderWidth = 5;
    style.useGlossy = true;
    style.clipImage = true;
    style.useBadge = true;
    style.badgeOrientation = IconStyle::Diagonal;
    style.badgeOrientationDiagonal = 3;
    style.badgeTextSize = 18;
    style.badgeLineWidth = 3;
    style.canvasSize = sizeIndex == 4 ? 3 : sizeIndex;
    style.measureBadgeText();
    return style;
}

// 10 objects spread over the canvas, each fitted and then shown at 40 to 85 %, a few
// turned, as a user would leave them.
QList<ImageData> objectsFor(const QList<QImage>& pictures, int canvasSide)
{
    QList<ImageData> objects;
    for (int i = 0; i < 10; ++i) {
        ImageData object;
        object.image = pictures.at(i % pictures.size());
        object.id = i;
        object.fitInto(canvasSide);
        object.scale = object.scale * (40 + 5 * i) / 100;
        object.rotation = i % 3 == 0 ? 15 * i : 0;
        object.position = QPoint(canvasSide * (i % 4) / 5, canvasSide * (i / 4) / 4);
        object.rebuildDisplayImage();
        objects.append(object);
    }
    return objects;
}

QImage repaint(const IconStyle& style, int s, const QList<ImageData>& objects, const QRect& selection)
{
    QPainterPath path;
    const QImage container = IconRenderer::drawContainer(style, s, path);
    return IconRenderer::compose(style, s, container, path, objects, false, selection);
}

int largestChannelDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            worst = std::max({worst, std::abs(qRed(p[col]) - qRed(q[col])), std::abs(qGreen(p[col]) - qGreen(q[col])),
                              std::abs(qBlue(p[col]) - qBlue(q[col])), std::abs(qAlpha(p[col]) - qAlpha(q[col]))});
        }
    }
    return worst;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int runs = 41;
    const int runsAt = args.indexOf(QStringLiteral("--runs"));
    if (runsAt >= 0 && runsAt + 1 < args.size()) {
        runs = std::max(1, args.at(runsAt + 1).toInt());
        args.remove(runsAt, 2);
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: glyphora-composebench PHOTO OBJECT_PICTURE... [--runs N]\n");
        return 2;
    }
    const QImage photo(args.at(0));
    QList<QImage> pictures;
    for (const QString& path : args.mid(1))
        pictures.append(QImage(path));
    if (photo.isNull() || std::any_of(pictures.cbegin(), pictures.cend(), [](const QImage& p) { return p.isNull(); })) {
        std::fprintf(stderr, "composebench: a picture did not load\n");
        return 1;
    }
    std::printf("photo %dx%d, %d runs each, medians\n\n", photo.width(), photo.height(), runs);

    double render300 = 0, render1200 = 0, worstNotch = 0;
    int worstDifference = 0;
    for (int s : {1, 2, 4}) {
        const int side = 300 * s;
        const IconStyle style = everyEffect(s);
        const QList<ImageData> objects = objectsFor(pictures, side);
        const QRect selection = objects.at(3).rect;
        const double render = medianMs(runs, [&] { repaint(style, s, objects, selection); });
        if (s == 1)
            render300 = render;
        if (s == 4)
            render1200 = render;
        std::printf("composition at %dx%d (every effect, 10 objects): %.2f ms\n", side, side, render);

        // The photo as an eleventh object, fitted and on top; each notch goes up or down
        // one percent in turn so that the size stays where a user would be.
        QList<ImageData> withPhoto = objects;
        ImageData big;
        big.image = photo;
        big.id = 10;
        big.fitInto(side);
        big.position = QPoint(side / 10, side / 10);
        withPhoto.append(big);
        const int fitted = big.scale;
        const double addMs = medianMs(5, [&] {
            ImageData fresh;
            fresh.image = photo;
            fresh.fitInto(side);
        });
        ImageData& selected = withPhoto.last();
        int notch = 0;
        const auto wheel = [&] {
            selected.scale = fitted + (notch++ % 2 == 0 ? 1 : 0);
            selected.rebuildDisplayImage();
            repaint(style, s, withPhoto, selected.rect);
        };
        const double notchMs = medianMs(runs, wheel);
        const auto plain = [&] {
            selected.scale = fitted + (notch++ % 2 == 0 ? 1 : 0);
            selected.displayImage = photo.scaled(photo.width() * selected.scale / 100,
                                                 photo.height() * selected.scale / 100, Qt::IgnoreAspectRatio,
                                                 Qt::SmoothTransformation);
        };
        const double plainMs = medianMs(std::min(runs, 15), plain);
        const double rebuildMs = medianMs(runs, [&] {
            selected.scale = fitted + (notch++ % 2 == 0 ? 1 : 0);
            selected.rebuildDisplayImage();
        });
        worstNotch = std::max(worstNotch, notchMs);
        std::printf("  wheel notch on the photo at %d%% (rebuild + render): %.2f ms"
                    " (rebuild %.2f ms; plain rescale of the photo alone %.2f ms)\n"
                    "  fitting the photo when it is dropped (halvings made once): %.2f ms\n",
                    fitted + 1, notchMs, rebuildMs, plainMs, addMs);

        for (int scale : {fitted - 1, fitted, fitted + 1, fitted + 2}) {
            ImageData probe = big;
            probe.scale = scale;
            probe.rebuildDisplayImage();
            const QImage reference = photo.scaled(photo.width() * scale / 100, photo.height() * scale / 100,
                                                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            worstDifference = std::max(worstDifference, largestChannelDifference(probe.displayImage, reference));
        }
    }

    // Where a 1200 x 1200 repaint goes: each effect switched off in turn, against all on.
    std::printf("\nat 1200 x 1200, the cost of each part (all on, minus the part off; fastest runs):\n");
    {
        const IconStyle all = everyEffect(4);
        const QList<ImageData> objects = objectsFor(pictures, 1200);
        const QRect selection = objects.at(3).rect;
        const double full = medianMs(runs, [&] { repaint(all, 4, objects, selection); }, true);
        QPainterPath path;
        const double container = medianMs(runs, [&] { IconRenderer::drawContainer(all, 4, path); }, true);
        std::printf("  all on: %.2f ms, of which the container image %.2f ms\n", full, container);
        const struct { const char* name; std::function<void(IconStyle&)> off; } parts[] = {
            {"background (and so 3D)", [](IconStyle& st) { st.useBackground = false; }},
            {"3D effect", [](IconStyle& st) { st.useBack3dEffect = false; }},
            {"badge", [](IconStyle& st) { st.useBadge = false; }},
            {"gloss", [](IconStyle& st) { st.useGlossy = false; }},
            {"border", [](IconStyle& st) { st.useBorder = false; }},
            {"rounded clip (rectangle instead)", [](IconStyle& st) { st.shape = IconStyle::Rectangle; }},
        };
        for (const auto& part : parts) {
            IconStyle style = all;
            part.off(style);
            const double without = medianMs(runs, [&] { repaint(style, 4, objects, selection); }, true);
            std::printf("  %-34s %.2f ms\n", part.name, full - without);
        }
        const double noObjects = medianMs(runs, [&] { repaint(all, 4, {}, selection); }, true);
        std::printf("  %-34s %.2f ms\n", "10 objects", full - noObjects);
    }

    std::printf("\nPNG export at the 1024 canvas (render + smooth scale):\n");
    {
        const IconStyle style = everyEffect(4);
        const QList<ImageData> objects = objectsFor(pictures, 1200);
        double total = 0;
        for (int size : {16, 32, 48, 256, 512, 1024}) {
            const double ms = medianMs(std::max(5, runs / 2), [&] {
                IconRenderer::renderOutput(style, 4, objects)
                    .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            });
            total += ms;
            std::printf("  %4d: %.2f ms\n", size, ms);
        }
        std::printf("  all six: %.2f ms\n", total);
    }

    // One undo and the repaint it asks for, on the 1024 canvas with 10 objects, for each
    // kind of step; each run redoes the step untimed first.  The figure is the slowest.
    std::printf("\nundo at the 1024 canvas, 10 objects (undo + repaint):\n");
    double worstUndo = 0;
    {
        Composition composition;
        composition.reset(everyEffect(4), objectsFor(pictures, 1200));
        const struct { const char* name; std::function<void()> step; } steps[] = {
            {"move", [&] { composition.moveObject(3, composition.imageDataList().at(3).position + QPoint(5, 5)); }},
            {"wheel notch", [&] { composition.scaleObject(3, composition.imageDataList().at(3).scale + 1); }},
            {"rotation", [&] { composition.rotateObject(0, composition.imageDataList().at(0).rotation + 1); }},
            {"style value", [&] { composition.setStyleValue(QStringLiteral("Container/radius"), 44); }},
            {"reorder", [&] { composition.reorderObject(2, 7); }},
        };
        for (const auto& step : steps) {
            step.step();
            std::vector<double> times;
            for (int i = 0; i < runs; ++i) {
                composition.undoStack()->redo();
                QElapsedTimer timer;
                timer.start();
                composition.undoStack()->undo();
                repaint(composition.iconStyle(), 4, composition.imageDataList(), composition.imageDataList().at(3).rect);
                times.push_back(timer.nsecsElapsed() / 1e6);
            }
            std::sort(times.begin(), times.end());
            const double ms = times[times.size() / 2];
            worstUndo = std::max(worstUndo, ms);
            std::printf("  %-12s %.2f ms\n", step.name, ms);
        }
    }

    std::printf("\nrender 300: %.1f ms\n", render300);
    std::printf("render 1200: %.1f ms\n", render1200);
    std::printf("wheel notch: %.1f ms\n", worstNotch);
    std::printf("largest channel difference: %d\n", worstDifference);
    std::printf("undo: %.1f ms\n", worstUndo);
    return 0;
}
