#pragma once

// The subcommands of glyphora-cli.  Each lives in its own file and is listed once, in the
// table of main.cpp.

#include <QCommandLineParser>
#include <QStringList>

#include <optional>

#include "ico/icongrouprecord.h"

namespace Cli {

// Exit statuses shared by every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // an input could not be read or an output not written
constexpr int kExitUsage = 2;  // bad arguments

constexpr char kProgramName[] = "glyphora-cli";

// True when -q was given: the log lines are dropped, the one failure line still shows.
bool quiet();
void setQuiet(bool quiet);
// --verbose: the debug lines are printed too (by default they are dropped).
void setVerbose(bool verbose);

// Prints "glyphora-cli: text" on stderr.
void printError(const QString& text);
// Prints a usage error and the hint to --help on stderr; returns kExitUsage.
int usageError(const QString& text);

// Parses a command's own arguments with its options and the -q|--quiet and -h|--help that
// every command takes; "--" ends the options.  Returns the exit status when the command
// should end here (help shown, or a usage error), else nothing, with parser filled.
std::optional<int> parseCommand(const QString& command, const QStringList& args, const QString& usage,
                                const QList<QCommandLineOption>& options, QCommandLineParser& parser);

// The file arguments of a command.  On Windows, where the shell leaves wildcards to the
// program, an argument whose last part holds * or ? stands for the files it matches, in
// name order (itself when none does, to be reported as missing).
QStringList fileArguments(const QCommandLineParser& parser);
QStringList expandWildcards(const QStringList& arguments);

// The one file a command works on, from the parsed positional arguments; a usage error
// when there is none or more than one.
std::optional<int> takeOneFile(const QString& command, const QCommandLineParser& parser, QString& file);

// The arguments of a command that takes one file and one output: FILE -o|--output OUT,
// --output=OUT, and the options of every command.  Returns as parseCommand does.
struct FileAndOutput
{
    QString file;
    QString output;
};
std::optional<int> parseFileAndOutput(const QString& command, const QStringList& args,
                                      const QString& usage, FileAndOutput& parsed);

// The value of --sizes: comma-separated sizes from 1 to 1024, or the name of a set
// ("default" gives defaultSizes, the command's own list; empty for the encoder's).  A
// usage error, before anything is written, for any other word.
std::optional<int> parseSizes(const QString& command, const QStringList& values, const QList<int>& defaultSizes,
                              QList<int>& sizes);
// "default, dpi, minimal"
QString sizeSetNames();

// glyphora-cli ico INPUT -o OUTPUT.ico [--sizes LIST]
int runIco(const QStringList& args);
QString icoUsage();

// glyphora-cli list FILE [--json]
int runList(const QStringList& args);
QString listUsage();
// The icon groups of an .exe, .dll or .ico as list lists them, row n being records[n];
// on failure the exit status, after one line naming the file.
std::optional<int> loadGroups(const QString& command, const QString& input, QList<IconGroupRecord>& records);

// glyphora-cli png FILE --group ROW|NAME --out-dir DIR [--name NAME]
int runPng(const QStringList& args);
QString pngUsage();

// glyphora-cli compose DOC.glyphora -o OUT.ico | --png-dir DIR [--sizes LIST]
int runCompose(const QStringList& args);
QString composeUsage();

// glyphora-cli extract FILE -o OUTPUT.ico
int runExtract(const QStringList& args);
QString extractUsage();

// glyphora-cli lint FILE... [--json]
int runLint(const QStringList& args);
QString lintUsage();

} // namespace Cli
