// glyphora-cli lint FILE... [--json]: checks .ico files and the icon groups of .exe/.dll
// files against what the Windows icon loader and shell need, one line per finding.

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QThreadPool>

#include <cstdio>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "clicommand.h"
#include "ico/icolint.h"

namespace Cli {

QString lintUsage()
{
    return QStringLiteral(
        "Usage: glyphora-cli lint FILE... [--json]\n"
        "  Checks .ico files, and every icon group of an .exe or .dll, against what the\n"
        "  Windows icon loader and shell need.  One line per finding:\n"
        "    FILE[:group]: severity rule-id: what is wrong\n"
        "  severity error (Windows does not show that image, or the file is damaged),\n"
        "  warning (shown, but blurry or wasteful) or note; entries are counted from 1.\n"
        "  Exit status 0 when no error was found, 1 otherwise (or when a file cannot be\n"
        "  read), 2 for a command line not understood.\n"
        "  --json             one JSON document instead:\n"
        "                     {\"files\": [{\"file\": ..., \"findings\": [{\"group\": ...,\n"
        "                      \"entry\": ..., \"severity\": ..., \"rule\": ..., \"text\": ...}]}],\n"
        "                      \"errors\": ..., \"warnings\": ..., \"notes\": ...}\n"
        "  -q, --quiet        print no log lines\n"
        "  --verbose          print the debug lines too\n");
}

namespace {

QString findingLine(const QString& file, const QString& group, const IcoLint::Finding& finding)
{
    QString where = file;
    if (!group.isEmpty())
        where += QLatin1Char(':') + group;
    QString text = finding.text;
    if (finding.entry > 0)
        text = QStringLiteral("entry %1: %2").arg(finding.entry).arg(text);
    return QStringLiteral("%1: %2 %3: %4\n")
        .arg(where, QLatin1String(IcoLint::severityName(finding.severity)), finding.rule, text);
}

} // namespace

int runLint(const QStringList& args)
{
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    QCommandLineParser parser;
    if (const auto status = parseCommand(QStringLiteral("lint"), args, lintUsage(), {jsonOption}, parser))
        return *status;
    const QStringList files = fileArguments(parser);
    if (files.isEmpty())
        return usageError(QStringLiteral("lint: no file given"));
    const bool json = parser.isSet(jsonOption);

#ifdef __GLIBC__
    // Every group decodes and scales images of a few hundred KiB each and frees them
    // again; by default glibc hands such memory back to the system between groups, and
    // each next group then pays a page fault for every 4 KiB it takes back.  The process
    // ends after the run, so its memory is kept until then.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    // Lint decodes PNG (Qt's own reader, for the files its quick road leaves) and bitmaps
    // (its own): Qt's image plugins, which the first PNG would load all of, are not needed.
    QCoreApplication::setLibraryPaths({});
    // The files are checked side by side on the program's pool, which a library's groups
    // share (the small files take little more than their reading), and reported in the
    // order given, each once it and those before it are done.
    struct Checked
    {
        IcoLint::FileReport report;
        QString failure;
        QSemaphore done;
    };
    std::vector<Checked> checked(size_t(files.size()));
    IcoLint::Session session;
    for (qsizetype i = 0; i < files.size(); ++i) {
        Checked* slot = &checked[size_t(i)];
        const QString file = files.at(i);
        QThreadPool::globalInstance()->start([slot, file, &session] {
            const QFileInfo info(file);
            if (!info.exists())
                slot->failure = QStringLiteral("no such file");
            else if (!info.isFile())
                slot->failure = QStringLiteral("not a file");
            else
                slot->report = session.checkFile(file);
            slot->done.release();
        });
    }

    int counts[3] = {0, 0, 0};  // by IcoLint::Severity
    bool failed = false;
    QJsonArray jsonFiles;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString& file = files.at(i);
        Checked& slot = checked[size_t(i)];
        slot.done.acquire();
        QJsonObject jsonFile{{"file", file}};
        QJsonArray jsonFindings;
        QString failure = slot.failure;
        const IcoLint::FileReport report = std::move(slot.report);
        if (failure.isEmpty())
            failure = report.failure;
        if (!failure.isEmpty()) {
            failed = true;
            printError(QStringLiteral("lint: %1: %2").arg(file, failure));
            jsonFile.insert("failure", failure);
        }
        QString text;
        for (const IcoLint::Icon& icon : report.icons) {
            for (const IcoLint::Finding& finding : icon.findings) {
                ++counts[int(finding.severity)];
                if (json) {
                    QJsonObject object{{"severity", IcoLint::severityName(finding.severity)},
                                       {"rule", finding.rule},
                                       {"text", finding.text}};
                    if (!icon.group.isEmpty())
                        object.insert("group", icon.group);
                    if (finding.entry > 0)
                        object.insert("entry", finding.entry);
                    jsonFindings.append(object);
                } else {
                    text += findingLine(file, icon.group, finding);
                }
            }
        }
        if (!text.isEmpty()) {
            const QByteArray out = text.toUtf8();
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        }
        jsonFile.insert("findings", jsonFindings);
        jsonFiles.append(jsonFile);
    }
    if (json) {
        const QJsonObject document{{"files", jsonFiles},
                                   {"errors", counts[int(IcoLint::Severity::Error)]},
                                   {"warnings", counts[int(IcoLint::Severity::Warning)]},
                                   {"notes", counts[int(IcoLint::Severity::Note)]}};
        const QByteArray out = QJsonDocument(document).toJson(QJsonDocument::Indented);
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    }
    return failed || counts[int(IcoLint::Severity::Error)] ? kExitFailed : kExitOk;
}

} // namespace Cli
