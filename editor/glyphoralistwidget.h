#pragma once

#include <QListWidget>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;

// The list of the composition's image objects.  Rows are reordered only by dragging
// within this list; each drop is reported as (old row, new row) before any row changes.
// With itemMoved the list moves the row itself right after the signal returns; with
// needToMoveitem the receiver moves it.
class GlyphoraListWidget : public QListWidget
{
    Q_OBJECT

public:
    explicit GlyphoraListWidget(QWidget* parent = nullptr);
    ~GlyphoraListWidget() override;

    // The item whose row is the old row of the next drop; the owner keeps it equal to the
    // first selected item.  Not owned.
    QListWidgetItem* dragItem = nullptr;

Q_SIGNALS:
    void itemMoved(int oldPos, int newPos);
    void needToMoveitem(int oldPos, int newPos);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
