#include "editor/glyphoralistwidget.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QtDebug>

GlyphoraListWidget::GlyphoraListWidget(QWidget* parent)
    : QListWidget(parent)
{
}

GlyphoraListWidget::~GlyphoraListWidget() = default;

void GlyphoraListWidget::dragEnterEvent(QDragEnterEvent* event)
{
    // Only rows of this very list may be dropped here; files and other widgets' drags are
    // refused by leaving the event unaccepted.
    if (event->source() == this)
        event->accept();
    else
        event->ignore();
}

void GlyphoraListWidget::dragMoveEvent(QDragMoveEvent* event)
{
    setDropIndicatorShown(true);
    event->accept();
    QListView::dragMoveEvent(event);
}

void GlyphoraListWidget::dropEvent(QDropEvent* event)
{
    if (event->source() != this)
        return;

    // Without a dragged item there is no old row to report: a drag that did not start
    // from a selected row, or whose item has been removed since, moves nothing.
    const int oldRow = dragItem ? indexFromItem(dragItem).row() : -1;
    if (oldRow < 0) {
        event->ignore();
        return;
    }

    const QPoint pos = event->position().toPoint();
    const int target = indexAt(pos).row();
    const int last = count() - 1;

    int newRow = target;
    bool listMovesRow = false;
    switch (dropIndicatorPosition()) {
    case QAbstractItemView::OnItem:
        qDebug() << "QAbstractItemView::OnItem";
        newRow = target;
        break;
    case QAbstractItemView::AboveItem:
        newRow = oldRow < target ? target - 1 : target;
        listMovesRow = true;
        break;
    case QAbstractItemView::BelowItem:
        qDebug() << "QAbstractItemView::BelowItem";
        newRow = oldRow > target ? target + 1 : target;
        listMovesRow = true;
        break;
    case QAbstractItemView::OnViewport:
        newRow = last;
        break;
    }
    newRow = qBound(0, newRow, qMax(0, last));

    if (!listMovesRow) {
        // The receiver moves the row.  The event stays unaccepted so that the drag ends
        // without a move action and the view does not remove the dragged row afterwards.
        Q_EMIT needToMoveitem(oldRow, newRow);
        return;
    }

    Q_EMIT itemMoved(oldRow, newRow);
    setDropIndicatorShown(false);
    QListWidget::dropEvent(event);
}
