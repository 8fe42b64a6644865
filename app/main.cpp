#include <QApplication>
#include <QIcon>

#include <cstdio>

#include "mainwindow.h"

#ifdef Q_OS_WIN
namespace {

// The cross-built Qt's default handler loses every line in a GUI program; this one writes
// them to stderr, which a Windows user gets with "glyphora.exe 2> glyphora.log".
void writeLogLine(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace
#endif

int main(int argc, char** argv)
{
#ifdef Q_OS_WIN
    qInstallMessageHandler(writeLogLine);
#endif
    QApplication app(argc, argv);
    // Before any widget exists; it also wins over a style given with Qt's -style argument.
    QApplication::setStyle(QStringLiteral("Fusion"));
#ifndef Q_OS_WIN
    // On Windows the executable's icon group IDI_ICON1 gives the window and taskbar icon.
    QIcon windowIcon;
    for (int size : {16, 32, 48, 256})
        windowIcon.addFile(QStringLiteral(":/resources/images/glyphora%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(windowIcon);
#endif
    MainWindow window;
    window.show();
    return app.exec();
}
