// glyphora-cli ico INPUT -o OUTPUT.ico [--sizes LIST]: the source-file road of the Create
// tab, without its message box.  glyphora-cli ico INPUT... --out-dir DIR [--jobs N]: the
// same road for many pictures at once, on N threads of one process.

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "clicommand.h"
#include "ico/exportnames.h"
#include "ico/icoencoder.h"
#include "picture/picturetypes.h"

namespace Cli {

QString icoUsage()
{
    return QStringLiteral(
        "Usage: glyphora-cli ico INPUT -o OUTPUT.ico [--sizes LIST]\n"
        "       glyphora-cli ico INPUT... --out-dir DIR [--jobs N] [--sizes LIST]\n"
        "  Writes a Windows icon with the sizes 16, 24, 32, 48, 64, 128 (32-bit bitmaps)\n"
        "  and 256 (PNG), or those of --sizes: below 256 32-bit bitmaps, from 256 on PNG.\n"
        "  An SVG INPUT is drawn afresh at every size; any other picture is fitted into\n"
        "  256 x 256 (or the largest size, when larger) and scaled from there.  An\n"
        "  existing OUTPUT is replaced only when the whole icon was written.  The same\n"
        "  INPUT and options give the same bytes, whatever --jobs.\n"
        "  With --out-dir every INPUT becomes DIR/NAME.ico, NAME being the input's file\n"
        "  name without its last suffix (as the save dialog proposes it); two inputs that\n"
        "  would give the same NAME.ico are an error before anything is written.  A\n"
        "  picture that fails gets one line on stderr and the others are still done; the\n"
        "  exit status is then 1.  A summary line ends the run.\n"
        "  INPUT: %1,\n"
        "  or another picture that a Qt image reader here decodes (bmp, ...).\n"
        "  -o, --output FILE  the icon file to write\n"
        "  --out-dir DIR      the folder of the icons (made when missing)\n"
        "  --jobs N           pictures converted at once (default: the number of cores)\n"
        "  --sizes LIST       the icon's sizes, comma-separated, 1 to %2, or a set:\n"
        "                     default  16, 24, 32, 48, 64, 128, 256\n"
        "                     dpi      16, 20, 24, 30, 32, 36, 40, 48, 60, 64, 72, 80,\n"
        "                              96, 256: every size Windows 11 asks for, 100 %\n"
        "                              to 400 % scale\n"
        "                     minimal  16, 32, 48, 256\n"
        "  -q, --quiet        print no log lines\n"
        "  --verbose          print the debug lines too\n")
        .arg(PictureTypes::sourceSuffixes().join(QLatin1String(", ")))
        .arg(IcoEncoder::kMaxIconSide);
}

namespace {

constexpr int kMaxJobs = 256;

// A bar of the pictures done, redrawn on one terminal line of stderr; only when stderr is
// a terminal, so that a log or a pipe never sees it.
class Progress
{
public:
    explicit Progress(int total)
        : m_total(total)
        , m_shown(isatty(STDERR_FILENO) == 1)
    {
    }

    // Prints line (a failure) above the bar.
    void print(const QString& line)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_drawn)
            std::fputs("\r\033[K", stderr);
        printError(line);
        m_drawn = false;
    }

    void draw(int done)
    {
        if (!m_shown)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        constexpr int kWidth = 30;
        const int filled = m_total ? done * kWidth / m_total : kWidth;
        std::fprintf(stderr, "\r[%s%s] %d/%d", QByteArray(filled, '#').constData(),
                     QByteArray(kWidth - filled, ' ').constData(), done, m_total);
        std::fflush(stderr);
        m_drawn = true;
    }

    void finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_drawn)
            std::fputs("\r\033[K", stderr);
        m_drawn = false;
    }

private:
    std::mutex m_mutex;
    const int m_total;
    const bool m_shown;
    bool m_drawn = false;
};

int runSingle(const QCommandLineParser& parser, const QCommandLineOption& outputOption, const QList<int>& sizes)
{
    const QStringList outputs = parser.values(outputOption);
    if (outputs.size() > 1)
        return usageError(QStringLiteral("ico: more than one output given"));
    QString input;
    if (const auto status = takeOneFile(QStringLiteral("ico"), parser, input))
        return *status;
    if (outputs.isEmpty() || outputs.constFirst().isEmpty())
        return usageError(QStringLiteral("ico: no output given (-o OUTPUT.ico)"));
    const QString output = outputs.constFirst();

    QString reason;
    if (!IcoEncoder::writeIcoFromSourceFile(input, output, &reason, sizes)) {
        printError(QStringLiteral("%1: %2").arg(input, reason));
        return kExitFailed;
    }
    return kExitOk;
}

int runBatch(const QStringList& inputs, const QString& outDir, int jobs, const QList<int>& sizes)
{
    // The names first: two inputs bound for one icon stop the run before any work.
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity kNames = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity kNames = Qt::CaseSensitive;
#endif
    QStringList outputs;
    QHash<QString, int> byName;
    for (int i = 0; i < inputs.size(); ++i) {
        const QString name = ExportNames::iconFileName(inputs.at(i));
        const QString key = kNames == Qt::CaseInsensitive ? name.toLower() : name;
        if (byName.contains(key)) {
            return usageError(QStringLiteral("ico: %1 and %2 would both be written to %3")
                                  .arg(inputs.at(byName.value(key)), inputs.at(i), QDir(outDir).filePath(name)));
        }
        byName.insert(key, i);
        outputs.append(QDir(outDir).filePath(name));
    }
    if (!QFileInfo(outDir).isDir() && !QDir().mkpath(outDir)) {
        printError(QStringLiteral("ico: %1: the folder cannot be made").arg(outDir));
        return kExitFailed;
    }

#ifdef __GLIBC__
    // Each picture allocates its file, its pixels and its scaled copies afresh, several
    // megabytes each.  Past glibc's default threshold (128 KB, raised only slowly) every
    // one is a fresh mapping whose pages fault in and are unmapped again; kept in the heap
    // (up to glibc's largest threshold, 32 MB) they are reused by the next picture.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif

    Progress progress(int(inputs.size()));
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<int> failed{0};
    std::mutex mutex;
    std::condition_variable finished;
    auto work = [&] {
        for (int i = next++; i < inputs.size(); i = next++) {
            QString reason;
            if (!IcoEncoder::writeIcoFromSourceFile(inputs.at(i), outputs.at(i), &reason, sizes)) {
                ++failed;
                progress.print(QStringLiteral("%1: %2").arg(inputs.at(i), reason));
            }
            ++done;
            finished.notify_one();
        }
    };
    std::vector<std::thread> workers;
    const int threads = std::min(jobs, int(inputs.size()));
    for (int t = 1; t < threads; ++t)
        workers.emplace_back(work);
    // This thread works too; the bar is drawn between its pictures and by the wait below.
    std::thread drawer([&] {
        std::unique_lock<std::mutex> lock(mutex);
        int drawn = -1;
        while (done < inputs.size()) {
            finished.wait_for(lock, std::chrono::milliseconds(100));
            if (done != drawn) {
                drawn = done;
                progress.draw(drawn);
            }
        }
    });
    work();
    for (std::thread& worker : workers)
        worker.join();
    finished.notify_one();
    drawer.join();
    progress.finish();

    std::fprintf(stdout, "ico: %d converted, %d failed\n", int(inputs.size()) - failed.load(), failed.load());
    return failed ? kExitFailed : kExitOk;
}

} // namespace

int runIco(const QStringList& args)
{
    const QCommandLineOption outputOption(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                          QStringLiteral("FILE"));
    const QCommandLineOption outDirOption(QStringLiteral("out-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption jobsOption(QStringLiteral("jobs"), QString(), QStringLiteral("N"));
    const QCommandLineOption sizesOption(QStringLiteral("sizes"), QString(), QStringLiteral("LIST"));
    QCommandLineParser parser;
    if (const auto status = parseCommand(QStringLiteral("ico"), args, icoUsage(),
                                         {outputOption, outDirOption, jobsOption, sizesOption}, parser))
        return *status;
    // An empty list leaves the sizes to the encoder, as the Create tab has them.
    QList<int> sizes;
    if (const auto status = parseSizes(QStringLiteral("ico"), parser.values(sizesOption), {}, sizes))
        return *status;
    if (!parser.isSet(outDirOption)) {
        if (parser.isSet(jobsOption))
            return usageError(QStringLiteral("ico: --jobs goes with --out-dir"));
        return runSingle(parser, outputOption, sizes);
    }
    if (parser.isSet(outputOption))
        return usageError(QStringLiteral("ico: give -o OUTPUT.ico for one picture or --out-dir DIR, not both"));
    if (parser.values(outDirOption).size() > 1 || parser.values(jobsOption).size() > 1)
        return usageError(QStringLiteral("ico: --out-dir and --jobs are given once"));
    const QString outDir = parser.value(outDirOption);
    if (outDir.isEmpty())
        return usageError(QStringLiteral("ico: no folder given (--out-dir DIR)"));
    int jobs = std::max(1, QThread::idealThreadCount());
    if (parser.isSet(jobsOption)) {
        bool ok = false;
        jobs = parser.value(jobsOption).toInt(&ok);
        if (!ok || jobs < 1 || jobs > kMaxJobs)
            return usageError(QStringLiteral("ico: --jobs takes a number from 1 to %1").arg(kMaxJobs));
    }
    QStringList inputs = fileArguments(parser);
    if (inputs.isEmpty())
        return usageError(QStringLiteral("ico: no file given"));
    for (const QString& input : std::as_const(inputs)) {
        if (input.isEmpty())
            return usageError(QStringLiteral("ico: an empty file name was given"));
    }
    return runBatch(inputs, outDir, jobs, sizes);
}

} // namespace Cli
