#include <QApplication>
#include <QIcon>

#include "app/mainwindow.h"
#include "stderrlog.h"

int main(int argc, char** argv)
{
#ifdef Q_OS_WIN
    // Lost otherwise; "glyphora.exe 2> glyphora.log" keeps them.
    qInstallMessageHandler(writeLogLineToStderr);
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
