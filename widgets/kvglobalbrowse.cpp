// KvGlobal::browseForFolder lives with the widgets: on Linux it is Qt's directory dialog,
// which needs QtWidgets; the rest of KvGlobal is in the widget-free core.

#include "kvglobal.h"

#ifdef Q_OS_WIN
#include "win32/winplatform.h"
#else
#include <QDir>
#include <QFileDialog>
#endif

namespace KvGlobal {

namespace {
// The Windows folder browser copies title and folder into MAX_PATH buffers, so neither
// holds more than 259 characters; keep the same limit everywhere.
constexpr int kMaxPathChars = 259;
}

QString browseForFolder(QString initialFolder, QString title)
{
    initialFolder.truncate(kMaxPathChars);
    title.truncate(kMaxPathChars);
#ifdef Q_OS_WIN
    return QString::fromStdWString(winplatform::browseForFolder(initialFolder.toStdWString(), title.toStdWString()));
#else
    const QString folder = QFileDialog::getExistingDirectory(nullptr, title, initialFolder,
                                                             QFileDialog::ShowDirsOnly);
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
#endif
}

} // namespace KvGlobal
