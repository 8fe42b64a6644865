// glyphora-cli: the program's roads for build scripts.  A small dispatcher: global
// options first, then one subcommand with its own arguments.

#include <QCoreApplication>

#include <cstdio>

#include "clicommand.h"
#include "kvglobal.h"

namespace {

struct Command
{
    const char* name;
    const char* summary;
    int (*run)(const QStringList& args);
};

const Command kCommands[] = {
    {"ico", "make a multi-resolution .ico from a picture (ico --help lists the types)", Cli::runIco},
    {"list", "list the icon groups of an .exe, .dll or .ico", Cli::runList},
    {"extract", "write every icon group of an .exe or .dll as .ico files", Cli::runExtract},
};

bool quietFlag = false;
QtMessageHandler qtHandler = nullptr;

void messageFilter(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (quietFlag && type != QtFatalMsg)
        return;
    if (qtHandler)
        qtHandler(type, context, message);
}

void printHelp()
{
    QString text = QStringLiteral("Usage: %1 [-q] COMMAND [ARGUMENTS]\n\nCommands:\n").arg(QLatin1String(Cli::kProgramName));
    for (const Command& command : kCommands)
        text += QStringLiteral("  %1  %2\n").arg(QString::fromLatin1(command.name).leftJustified(8), QLatin1String(command.summary));
    text += QStringLiteral("\nOptions:\n"
                           "  -q, --quiet  print no log lines (a failure still prints one line)\n"
                           "  -h, --help   show this help (COMMAND --help: that command's)\n"
                           "  --version    show the version\n\n");
    text += Cli::icoUsage();
    text += QLatin1Char('\n') + Cli::listUsage();
    text += QLatin1Char('\n') + Cli::extractUsage();
    std::fputs(qPrintable(text), stdout);
}

} // namespace

namespace Cli {

bool quiet()
{
    return quietFlag;
}

void setQuiet(bool quiet)
{
    quietFlag = quiet;
}

void printError(const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", kProgramName, qPrintable(text));
}

int usageError(const QString& text)
{
    printError(text);
    std::fprintf(stderr, "Try '%s --help'.\n", kProgramName);
    return kExitUsage;
}

std::optional<int> parseFileAndOutput(const QString& command, const QStringList& args,
                                      const QString& usage, FileAndOutput& parsed)
{
    bool outputGiven = false;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            if (arg == QLatin1String("--")) {
                optionsEnded = true;
            } else if (arg == QLatin1String("-o") || arg == QLatin1String("--output")
                       || arg.startsWith(QLatin1String("--output="))) {
                if (outputGiven)
                    return usageError(QStringLiteral("%1: more than one output given").arg(command));
                if (arg.startsWith(QLatin1String("--output="))) {
                    parsed.output = arg.mid(int(qstrlen("--output=")));
                } else {
                    if (i + 1 >= args.size())
                        return usageError(QStringLiteral("%1: %2 needs a file name").arg(command, arg));
                    parsed.output = args.at(++i);
                }
                outputGiven = true;
            } else if (arg == QLatin1String("-q") || arg == QLatin1String("--quiet")) {
                setQuiet(true);
            } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
                std::fputs(qPrintable(usage), stdout);
                return kExitOk;
            } else {
                return usageError(QStringLiteral("%1: unknown option '%2'").arg(command, arg));
            }
            continue;
        }
        if (!parsed.file.isEmpty())
            return usageError(QStringLiteral("%1: more than one file given ('%2')").arg(command, arg));
        parsed.file = arg;
    }
    if (parsed.file.isEmpty())
        return usageError(QStringLiteral("%1: no file given").arg(command));
    if (!outputGiven || parsed.output.isEmpty())
        return usageError(QStringLiteral("%1: no output given (-o OUTPUT.ico)").arg(command));
    return std::nullopt;
}

} // namespace Cli

int main(int argc, char** argv)
{
    // Install the filter before anything can log; it keeps Qt's own handler for the rest.
    qtHandler = qInstallMessageHandler(messageFilter);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(Cli::kProgramName));
    QCoreApplication::setApplicationVersion(KvGlobal::versionString());

    QStringList args = app.arguments().mid(1);
    while (!args.isEmpty() && args.first().startsWith(QLatin1Char('-'))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("-q") || option == QLatin1String("--quiet")) {
            Cli::setQuiet(true);
        } else if (option == QLatin1String("-h") || option == QLatin1String("--help")) {
            printHelp();
            return Cli::kExitOk;
        } else if (option == QLatin1String("--version")) {
            std::printf("%s %s\n", Cli::kProgramName, qPrintable(KvGlobal::versionString()));
            return Cli::kExitOk;
        } else {
            return Cli::usageError(QStringLiteral("unknown option '%1'").arg(option));
        }
    }
    if (args.isEmpty())
        return Cli::usageError(QStringLiteral("no command given"));

    const QString name = args.takeFirst();
    for (const Command& command : kCommands) {
        if (name == QLatin1String(command.name))
            return command.run(args);
    }
    return Cli::usageError(QStringLiteral("unknown command '%1'").arg(name));
}
