#include "extracticonlistview.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QtDebug>

ExtractIconListView::ExtractIconListView(QWidget* parent)
    : QListView(parent)
{
    // Rows are the records of the loaded source in order: nothing may drag them around.
    setMovement(QListView::Static);
    setDragEnabled(false);
}

bool ExtractIconListView::isDroppableIconFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return false;
    // Only what follows the last dot counts: "icons.tar.ico" is an icon, "a.ico.txt" is not.
    const QString complete = info.completeSuffix();
    const QString suffix = complete.mid(complete.lastIndexOf(QLatin1Char('.')) + 1);
    qDebug().noquote() << "ext: " << suffix;
    return suffix.compare(QLatin1String("ico"), Qt::CaseInsensitive) == 0;
}

void ExtractIconListView::dragEnterEvent(QDragEnterEvent* event)
{
    event->setDropAction(Qt::LinkAction);
    const QMimeData* mime = event->mimeData();
    if (mime && mime->hasUrls() && !mime->urls().isEmpty()
        && isDroppableIconFile(mime->urls().constFirst().toLocalFile()))
        event->accept();
    else
        event->ignore();
}

void ExtractIconListView::dragMoveEvent(QDragMoveEvent* event)
{
    event->accept();
}

void ExtractIconListView::dropEvent(QDropEvent* event)
{
    // The base class is not asked: it would move items inside the view.
    if (event->mimeData())
        Q_EMIT addURLs(event->mimeData()->urls());
    event->acceptProposedAction();
}
