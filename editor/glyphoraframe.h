#pragma once

#include <QFrame>
#include <QList>
#include <QUrl>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;

// The source area of the Create tab.  It takes a drag of picture files from outside the
// program when the first entry is a local file of a supported picture type, and hands
// every dropped URL, unfiltered, to its owner.  A composition document (.glyphora) is
// taken the same way.
class GlyphoraFrame : public QFrame
{
    Q_OBJECT

public:
    explicit GlyphoraFrame(QWidget* parent = nullptr);
    ~GlyphoraFrame() override;

Q_SIGNALS:
    void addURLs(QList<QUrl> urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
