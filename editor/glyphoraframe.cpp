#include "glyphoraframe.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include "kvglobal.h"

GlyphoraFrame::GlyphoraFrame(QWidget* parent)
    : QFrame(parent)
{
}

GlyphoraFrame::~GlyphoraFrame() = default;

void GlyphoraFrame::dragEnterEvent(QDragEnterEvent* event)
{
    event->setDropAction(Qt::LinkAction);

    const QMimeData* mime = event->mimeData();
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty()) {
        event->ignore();
        return;
    }

    // The first entry decides; a web address gives an empty path and is refused.
    const QString path = mime->urls().constFirst().toLocalFile();
    if (QFileInfo(path).isDir()) {
        event->ignore();
        return;
    }
    if (KvGlobal::isSupportedImageFile(path))
        event->accept();
    else
        event->ignore();
}

void GlyphoraFrame::dragMoveEvent(QDragMoveEvent* event)
{
    event->accept();
}

void GlyphoraFrame::dropEvent(QDropEvent* event)
{
    const QMimeData* mime = event->mimeData();
    Q_EMIT addURLs(mime ? mime->urls() : QList<QUrl>());
}
