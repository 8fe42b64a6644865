#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

#include "kvglobal.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--version"))) {
        std::printf("%s\n", qPrintable(KvGlobal::versionString()));
        return 0;
    }
    std::fprintf(stderr, "usage: glyphora-cli --version\n");
    return 2;
}
