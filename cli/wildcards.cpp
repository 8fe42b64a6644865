// File arguments with wildcards.  A Unix shell expands "*.png" before the program
// starts; cmd.exe passes it as written and leaves the matching to the program, so on
// Windows the tool matches it itself, as the tools of that platform do.

#include <QDir>
#include <QFileInfo>

#include "clicommand.h"

namespace Cli {

QStringList expandWildcards(const QStringList& arguments)
{
    QStringList expanded;
    for (const QString& argument : arguments) {
        // Only the last part of a path is matched ("icons\*.png", not "*\app.png"), and
        // a file whose name really holds the characters is taken as it is.
        const QString pattern = QFileInfo(argument).fileName();
        const bool wild = pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?'));
        if (!wild || QFileInfo::exists(argument)) {
            expanded.append(argument);
            continue;
        }
        // The folder as the user wrote it, separator and all, before each match.
        const QString folder = argument.left(argument.size() - pattern.size());
        const QStringList names = QDir(folder.isEmpty() ? QStringLiteral(".") : folder)
                                      .entryList({pattern}, QDir::Files, QDir::Name | QDir::IgnoreCase);
        if (names.isEmpty()) {
            // Reported by the command as any missing file is.
            expanded.append(argument);
            continue;
        }
        for (const QString& name : names)
            expanded.append(folder + name);
    }
    return expanded;
}

QStringList fileArguments(const QCommandLineParser& parser)
{
#ifdef Q_OS_WIN
    return expandWildcards(parser.positionalArguments());
#else
    return parser.positionalArguments();
#endif
}

} // namespace Cli
