#pragma once

// The subcommands of glyphora-cli.  Each lives in its own file and is listed once, in the
// table of main.cpp.

#include <QStringList>

#include <optional>

namespace Cli {

// Exit statuses shared by every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // an input could not be read or an output not written
constexpr int kExitUsage = 2;  // bad arguments

constexpr char kProgramName[] = "glyphora-cli";

// True when -q was given: the log lines are dropped, the one failure line still shows.
bool quiet();
void setQuiet(bool quiet);

// Prints "glyphora-cli: text" on stderr.
void printError(const QString& text);
// Prints a usage error and the hint to --help on stderr; returns kExitUsage.
int usageError(const QString& text);

// The arguments of a command that takes one file and one output: FILE -o|--output OUT,
// --output=OUT, -q|--quiet, -h|--help and "--" to end the options.  Returns the exit
// status when the command should end here (help shown, or a usage error), else nothing.
struct FileAndOutput
{
    QString file;
    QString output;
};
std::optional<int> parseFileAndOutput(const QString& command, const QStringList& args,
                                      const QString& usage, FileAndOutput& parsed);

// glyphora-cli ico INPUT -o OUTPUT.ico
int runIco(const QStringList& args);
QString icoUsage();

// glyphora-cli list FILE [--json]
int runList(const QStringList& args);
QString listUsage();

// glyphora-cli extract FILE -o OUTPUT.ico
int runExtract(const QStringList& args);
QString extractUsage();

} // namespace Cli
