#pragma once

#include <QList>
#include <QListView>
#include <QUrl>

// The Extract tab's icon list.  It takes dropped .ico files and nothing else, and its
// items never move: a drop only reports the files.
class ExtractIconListView : public QListView
{
    Q_OBJECT

public:
    explicit ExtractIconListView(QWidget* parent = nullptr);

    // True for an existing file (not a folder) whose last suffix is "ico" in any case.
    static bool isDroppableIconFile(const QString& path);

Q_SIGNALS:
    void addURLs(QList<QUrl> urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
