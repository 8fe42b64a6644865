// The Extract tab in process, as a user meets it: the tab's first show with its load in
// the background, a pick of shell32.dll from the library menu and a drop of an .ico file,
// each timed by the longest gap between two turns of the event loop until its items are
// painted, and the menu load of shell32.dll timed until its items are painted.
//
//   glyphora-extracttabbench [--runs N] [--drop FILE.ico]
//
// The libraries come from KvGlobal::systemDirectory(): a wine prefix or wine's DLL folder.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "extract/extracticonform.h"
#include "ico/iconlisting.h"

namespace {

// Counts the paints of a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void waitFor(const std::function<bool()>& done, int timeoutMs = 60000)
{
    // Sleeps between events (a timer wakes it every 5 ms), so that the GUI thread's CPU
    // time counts the tab's work, not this loop's polling.
    QTimer wake;
    wake.start(5);
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// CPU time of the calling thread: steadier than wall time on a busy machine.
double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int runs = 9;
    const QStringList args = app.arguments();
    const int at = args.indexOf("--runs");
    if (at > 0 && at + 1 < args.size())
        runs = qMax(1, args.at(at + 1).toInt());
    const int dropAt = args.indexOf("--drop");
    const QString dropFile = dropAt > 0 && dropAt + 1 < args.size() ? args.at(dropAt + 1) : QString();

    ExtractIconForm form(nullptr);
    form.resize(776, 600);
    auto* view = form.findChild<QListView*>("listView");
    PaintCounter painted;
    view->viewport()->installEventFilter(&painted);
    bool loaded = false;


    // A zero-delay timer fires once per turn of the loop: the longest gap between two of
    // its ticks is the longest the window could not paint or answer input.
    QElapsedTimer clock;
    qint64 lastTick = -1;
    qint64 longest = 0;
    qint64 longestAt = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick >= 0 && now - lastTick > longest) {
            longest = now - lastTick;
            longestAt = lastTick;
        }
        lastTick = now;
    });
    // The paints counted when the records are in: the items show at the next one.
    qint64 loadedAt = 0;
    int paintsAtLoad = 0;
    QObject::connect(&form, &ExtractIconForm::initialLoadFinished, [&] {
        loaded = true;
        loadedAt = clock.nsecsElapsed();
        paintsAtLoad = painted.paints;
    });
    clock.start();
    ticker.start();
    form.show();
    // Until the records are in and the items are on screen.
    waitFor([&] { return loaded; });
    if (!loaded) {
        std::fprintf(stderr, "the initial load did not finish\n");
        return 1;
    }
    waitFor([&] { return painted.paints > paintsAtLoad; });
    ticker.stop();
    const qint64 initialLongest = longest;
    const int items = view->model()->rowCount();
    std::printf("initial load: %s, %d items in %lld ms; longest stall from %lld ms, records in at %lld ms\n",
                qPrintable(form.findChild<QWidget*>("openFileLabel")->property("text").toString()), items,
                clock.elapsed(), longestAt / 1000000, loadedAt / 1000000);

    QAction* shell32 = nullptr;
    for (QAction* action : form.findChild<QPushButton*>("loadButton")->menu()->actions()) {
        if (action->text() == QLatin1String("shell32.dll"))
            shell32 = action;
    }
    if (!shell32 || !QFileInfo::exists(ExtractIconForm::libraryPath("shell32.dll"))) {
        std::fprintf(stderr, "shell32.dll is not in the system directory\n");
        return 1;
    }
    // A load's items are on screen at the first paint after its records are in.
    bool listed = false;
    int paintsAtListed = 0;
    QObject::connect(&form, &ExtractIconForm::loadFinished, [&] {
        listed = true;
        paintsAtListed = painted.paints;
    });
    auto waitListed = [&] {
        waitFor([&] { return listed; });
        waitFor([&] { return listed && painted.paints > paintsAtListed; });
    };
    // The longest gap between two turns of the loop from action, run from the loop as a
    // click or a drop is, until its items are painted.
    auto longestStall = [&](const std::function<void()>& action) {
        waitFor([] { return false; }, 50);
        listed = false;
        lastTick = -1;
        longest = 0;
        ticker.start();
        QTimer::singleShot(0, action);
        waitListed();
        ticker.stop();
        return (longest + 500000) / 1000000;
    };
    qint64 stallPick = 0;
    for (int run = 0; run < runs; ++run)
        stallPick = qMax(stallPick, longestStall([&] { shell32->trigger(); }));
    qint64 stallDrop = -1;
    if (!dropFile.isEmpty()) {
        stallDrop = 0;
        QWidget* viewport = view->viewport();
        for (int run = 0; run < runs; ++run) {
            stallDrop = qMax(stallDrop, longestStall([&] {
                QMimeData mime;
                mime.setUrls({QUrl::fromLocalFile(dropFile)});
                const QPoint at = viewport->rect().center();
                QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(viewport, &enter);
                QDropEvent drop(at, Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(viewport, &drop);
            }));
        }
        std::printf("drop items: %d\n", int(view->model()->rowCount()));
    }

    QList<double> menuLoads;
    QList<double> menuCpu;
    for (int run = 0; run < runs; ++run) {
        waitFor([] { return false; }, 50);
        listed = false;
        QElapsedTimer load;
        load.start();
        const double cpu = threadCpuMs();
        shell32->trigger();
        waitListed();
        menuLoads.append(load.nsecsElapsed() / 1e6);
        menuCpu.append(threadCpuMs() - cpu);
    }
    std::printf("menu load items: %d\n", int(view->model()->rowCount()));

    // The listing alone, without the list: what the menu load adds on top of it.
    QList<double> listings;
    QList<double> listingCpu;
    for (int run = 0; run < runs; ++run) {
        QList<IconGroupRecord> records;
        QElapsedTimer listing;
        listing.start();
        const double cpu = threadCpuMs();
        IconListing::loadIconLibrary(ExtractIconForm::libraryPath("shell32.dll"), records);
        listings.append(listing.nsecsElapsed() / 1e6);
        listingCpu.append(threadCpuMs() - cpu);
    }
    std::printf("library listing alone: %.0f ms (GUI thread cpu %.0f ms); menu load GUI thread cpu %.0f ms\n",
                median(listings), median(listingCpu), median(menuCpu));
    std::printf("longest stall: %lld ms\n", (initialLongest + 500000) / 1000000);
    std::printf("longest stall pick: %lld ms\n", stallPick);
    if (stallDrop >= 0)
        std::printf("longest stall drop: %lld ms\n", stallDrop);
    std::printf("menu load shell32: %.0f ms\n", median(menuLoads));
    return 0;
}
