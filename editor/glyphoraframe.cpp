#include "editor/glyphoraframe.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include "kvglobal.h"
#include "render/compositiondocument.h"

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
    // A saved composition is taken too; the form opens it on the edit page.
    if (KvGlobal::isSupportedImageFile(path)
        || QFileInfo(path).suffix().compare(QLatin1String(CompositionDocument::kSuffix), Qt::CaseInsensitive) == 0)
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
