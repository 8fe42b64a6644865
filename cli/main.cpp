// glyphora-cli: the program's roads for build scripts.  A small dispatcher: global
// options first, then one subcommand with its own arguments.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <atomic>
#include <memory>

#include <cstdio>

#include "clicommand.h"
#include "kvglobal.h"
#include "stderrlog.h"
#include "stderrrelay.h"

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
    {"png", "write the images of one icon group as PNG files", Cli::runPng},
    {"compose", "render a saved composition (.glyphora) to an .ico or PNG files", Cli::runCompose},
    {"lint", "check .ico files and the icons of an .exe or .dll for what Windows needs", Cli::runLint},
};

// Read by the stderr relay's thread too.
std::atomic<bool> quietFlag{false};
bool verboseFlag = false;
QtMessageHandler qtHandler = nullptr;

void messageFilter(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (quietFlag && type != QtFatalMsg)
        return;
    if (type == QtFatalMsg)
        StderrRelay::finishRunning();
    // The readers' debug lines follow every directory entry (thousands for one system
    // library); they are for whoever looks into a file, not for a build log.
    if (type == QtDebugMsg && !verboseFlag)
        return;
    // The offscreen platform of compose makes a runtime folder of its own when the
    // session names none, and says so; nothing a user of this tool has to act on.
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (qtHandler)
        qtHandler(type, context, message);
}

void printHelp()
{
    QString text = QStringLiteral("Usage: %1 [-q | --verbose] COMMAND [ARGUMENTS]\n\nCommands:\n").arg(QLatin1String(Cli::kProgramName));
    for (const Command& command : kCommands)
        text += QStringLiteral("  %1  %2\n").arg(QString::fromLatin1(command.name).leftJustified(8), QLatin1String(command.summary));
    text += QStringLiteral("\nOptions:\n"
                           "  -q, --quiet  print no log lines (a failure still prints one line)\n"
                           "  --verbose    print the debug lines too (by default only the\n"
                           "               information, warning and error lines)\n"
                           "  -h, --help   show this help (COMMAND --help: that command's)\n"
                           "  --version    show the version\n\n");
    text += Cli::icoUsage();
    text += QLatin1Char('\n') + Cli::listUsage();
    text += QLatin1Char('\n') + Cli::extractUsage();
    text += QLatin1Char('\n') + Cli::pngUsage();
    text += QLatin1Char('\n') + Cli::composeUsage();
    text += QLatin1Char('\n') + Cli::lintUsage();
    std::fputs(qPrintable(text), stdout);
}

const QCommandLineOption kQuietOption(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
const QCommandLineOption kVerboseOption(QStringLiteral("verbose"));
const QCommandLineOption kHelpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
const QCommandLineOption kOutputOption(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE"));

// The argument, as it was written, that carries the option the parser names without its
// dashes and value: "--sizes=16" for "sizes".  Only what stands before "--" counts.
QString writtenAs(const QStringList& args, const QString& name)
{
    for (const QString& arg : args) {
        if (arg == QLatin1String("--"))
            break;
        if (arg.startsWith(QLatin1Char('-')) && arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0) == name)
            return arg;
    }
    return QLatin1Char('-') + name;
}

// Turns a failed parse into the usage error the tool has always given.  The parser fails
// for an unknown option, for an option of a value that ends the line ("-o") and for a
// value given to a flag ("--json=1"); the last is reported as an unknown option too.
int parseError(const QString& prefix, const QStringList& args, const QCommandLineParser& parser,
               const QList<QCommandLineOption>& valueOptions)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString option = writtenAs(args, parser.unknownOptionNames().constFirst());
        return Cli::usageError(prefix + QStringLiteral("unknown option '%1'").arg(option));
    }
    const QString last = args.isEmpty() ? QString() : args.constLast();
    for (const QCommandLineOption& option : valueOptions) {
        for (const QString& name : option.names()) {
            if (last == QLatin1Char('-') + name || last == QLatin1String("--") + name) {
                const QString what = option.valueName() == QLatin1String("FILE") ? QStringLiteral("a file name")
                    : option.valueName() == QLatin1String("DIR")                 ? QStringLiteral("a folder name")
                                                                                 : QStringLiteral("a value");
                return Cli::usageError(prefix + QStringLiteral("%1 needs %2").arg(last, what));
            }
        }
    }
    for (const QString& arg : args) {
        if (arg == QLatin1String("--"))
            break;
        if (arg.startsWith(QLatin1Char('-')) && arg.contains(QLatin1Char('=')))
            return Cli::usageError(prefix + QStringLiteral("unknown option '%1'").arg(arg));
    }
    return Cli::usageError(prefix + parser.errorText());
}

// The first word that is not an option: the command's name ("" for none).
QByteArray commandName(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            return QByteArray(argv[i]);
        if (QByteArray(argv[i]) == "--")
            return i + 1 < argc ? QByteArray(argv[i + 1]) : QByteArray();
    }
    return QByteArray();
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

void setVerbose(bool verbose)
{
    verboseFlag = verbose;
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

std::optional<int> parseCommand(const QString& command, const QStringList& args, const QString& usage,
                                const QList<QCommandLineOption>& options, QCommandLineParser& parser)
{
    parser.addOptions(options);
    parser.addOption(kQuietOption);
    parser.addOption(kVerboseOption);
    parser.addOption(kHelpOption);
    // "-qh" is no pair of flags but an unknown option, as it has always been.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // The parser skips the first word as the program's name.
    if (!parser.parse(QStringList(command) + args)) {
        QList<QCommandLineOption> valueOptions;
        for (const QCommandLineOption& option : options) {
            if (!option.valueName().isEmpty())
                valueOptions.append(option);
        }
        return parseError(command + QStringLiteral(": "), args, parser, valueOptions);
    }
    if (parser.isSet(kQuietOption))
        setQuiet(true);
    if (parser.isSet(kVerboseOption))
        setVerbose(true);
    if (parser.isSet(kHelpOption)) {
        std::fputs(qPrintable(usage), stdout);
        return kExitOk;
    }
    return std::nullopt;
}

std::optional<int> takeOneFile(const QString& command, const QCommandLineParser& parser, QString& file)
{
    const QStringList files = fileArguments(parser);
    if (files.size() > 1)
        return usageError(QStringLiteral("%1: more than one file given ('%2')").arg(command, files.at(1)));
    if (files.isEmpty() || files.constFirst().isEmpty())
        return usageError(QStringLiteral("%1: no file given").arg(command));
    file = files.constFirst();
    return std::nullopt;
}

std::optional<int> parseFileAndOutput(const QString& command, const QStringList& args,
                                      const QString& usage, FileAndOutput& parsed)
{
    QCommandLineParser parser;
    if (const auto status = parseCommand(command, args, usage, {kOutputOption}, parser))
        return status;
    const QStringList outputs = parser.values(kOutputOption);
    if (outputs.size() > 1)
        return usageError(QStringLiteral("%1: more than one output given").arg(command));
    if (const auto status = takeOneFile(command, parser, parsed.file))
        return status;
    if (outputs.isEmpty() || outputs.constFirst().isEmpty())
        return usageError(QStringLiteral("%1: no output given (-o OUTPUT.ico)").arg(command));
    parsed.output = outputs.constFirst();
    return std::nullopt;
}

} // namespace Cli

int main(int argc, char** argv)
{
    // First, so that it ends last: every line written before main returns still comes out.
    StderrRelay stderrRelay;
    // Install the filter before anything can log; it keeps Qt's own handler for the rest.
    qtHandler = qInstallMessageHandler(messageFilter);
#ifdef Q_OS_WIN
    qtHandler = writeLogLineToStderr;
#endif
    // compose draws text and paths, which needs the fonts of a GUI application; it runs
    // without a display on the offscreen platform.  The other commands start faster
    // without one.
    std::unique_ptr<QCoreApplication> application;
    const QByteArray command = commandName(argc, argv);
#ifdef Q_OS_WIN
    // There SVG pictures are drawn by Qt SVG, whose text takes Qt's fonts too.
    const bool drawsText = command == "compose" || command == "ico";
#else
    const bool drawsText = command == "compose";
#endif
    if (drawsText) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QLatin1String(Cli::kProgramName));
    QCoreApplication::setApplicationVersion(KvGlobal::versionString());

    // The global options end at the command's name; what follows is the command's own.
    QCommandLineParser parser;
    const QCommandLineOption versionOption(QStringLiteral("version"));
    parser.addOptions({kQuietOption, kVerboseOption, kHelpOption, versionOption});
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QStringList arguments = app.arguments();
    if (!parser.parse(arguments))
        return parseError(QString(), arguments.mid(1), parser, {});
    if (parser.isSet(kQuietOption))
        Cli::setQuiet(true);
    if (parser.isSet(kVerboseOption))
        Cli::setVerbose(true);
    if (parser.isSet(kHelpOption)) {
        printHelp();
        return Cli::kExitOk;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s %s\n", Cli::kProgramName, qPrintable(KvGlobal::versionString()));
        return Cli::kExitOk;
    }

    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return Cli::usageError(QStringLiteral("no command given"));
    const QString name = args.takeFirst();
    for (const Command& command : kCommands) {
        if (name == QLatin1String(command.name))
            return command.run(args);
    }
    return Cli::usageError(QStringLiteral("unknown command '%1'").arg(name));
}
