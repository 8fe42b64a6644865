#pragma once

#include <QByteArray>
#include <QFutureWatcher>
#include <QItemSelection>
#include <QList>
#include <QModelIndex>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include "ico/icongrouprecord.h"

class QAction;
class QStandardItemModel;
class KvPopupMenu;

namespace Ui {
class ExtractIconForm;
}

// The "Extract Icon" tab: lists the icon groups of a system library, a chosen .exe/.dll
// or an .ico file, and exports the selected one as an .ico file or as PNG files.
class ExtractIconForm : public QWidget
{
    Q_OBJECT

public:
    explicit ExtractIconForm(QWidget* parent);
    ~ExtractIconForm() override;

    // The registry subkey of the tab's folders (loadIconPath, exportIconPath).
    static QString registryKey();
    // The library menu's file names in menu order, without the first entry.
    static QStringList libraryNames();
    // Where the menu looks for name: explorer.exe in the Windows directory, every other
    // file in the system directory; empty when that directory is unknown.
    static QString libraryPath(const QString& name);

    // Load and export buttons in the white set for a dark colour scheme, the black one
    // otherwise, grey while disabled.
    void updateThemeIcons();

    // The row of the first selected item, or -1.
    int currentRow() const;

    // Where a list comes from: a library through the module loader, an .exe/.dll through
    // the PE reader (its "to Ico" reads the file again), or an .ico file.
    enum class SourceKind { Library, ParsedFile, IcoFile };
    // What one load found, handed from its task to the GUI thread whole.
    struct LoadResult
    {
        SourceKind kind = SourceKind::Library;
        int libraryIndex = 0;  // initial load: into libraryNames(), the entry to check
        QString path;          // the source listed (initial load: imageres.dll's when none had icons)
        QList<IconGroupRecord> records;
        QList<QImage> listImages;  // each record's image as the list shows it
        QByteArray icoBytes;       // an .ico file's bytes: its "to Ico" writes them back as they are
    };
    // The initial load's work, run off the GUI thread: the first library of candidates
    // (index into libraryNames(), path) that exists and has icon groups, with its list
    // images made at listSide pixels.
    static LoadResult runInitialLoad(const QList<QPair<int, QString>>& candidates, int listSide);
    // One source read off the GUI thread, with its list images made at listSide pixels.
    static LoadResult runLoad(SourceKind kind, const QString& path, int listSide);
    // image made no larger than side x side, premultiplied, as the list draws it.
    static QImage listImage(const QImage& image, int side);

Q_SIGNALS:
    // The initial load has ended; its records are in the list unless a later load
    // replaced them.
    void initialLoadFinished();
    // The newest load's records are in the list.
    void loadFinished();

public Q_SLOTS:
    void onTimeout();
    void menuSelected(bool checked);
    void exportToPngSelected(bool checked);
    void exportToIcoSelected(bool checked);
    void OnDoubleClickListView(QModelIndex index);
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void on_AddURLs(QList<QUrl> urls);

    // Each clears the list, shows the path and reads the source in the background; the
    // list fills when the newest load is done (loadFinished).
    void loadIconLibrary(const QString& path);
    void listFileIcons(const QString& path);
    void loadIcoFile(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;

private Q_SLOTS:
    void onLoadDone();

private:
    void buildLibraryMenu();
    void buildExportMenu();
    void clearIcons();
    // listImages, when given, hold the list's image of each record by row.
    void appendNewItems(const QList<QImage>& listImages = {});
    void showSourcePath(const QString& path);
    void startLoad(SourceKind kind, const QString& path);
    void watchLoad(const QFuture<LoadResult>& future, bool initial);
    void applyLoad(LoadResult& load);
    void connectListOnce();
    void setCurrentLibraryAction(QAction* action);
    void openExportDialog(int row);
    void showExportedBox(const QString& path);

    Ui::ExtractIconForm* ui;
    QStandardItemModel* model = nullptr;
    KvPopupMenu* libraryMenu = nullptr;
    KvPopupMenu* exportMenu = nullptr;
    QList<QAction*> libraryActions;  // [0] opens the file dialog, [1 + i] is libraryNames()[i]
    QAction* exportToPngAction = nullptr;
    QAction* exportToIcoAction = nullptr;
    QAction* currentLibraryAction = nullptr;
    // Counts the loads asked for; only the newest one's result reaches the list.
    int loadGeneration = 0;
    bool listConnected = false;

    QString loadIconPath;
    bool shown = false;
    int shownCount = 0;

    // Where the list came from (SourceKind), set when its records arrive.
    bool sourceIsParsedFile = false;
    bool sourceIsIcoFile = false;
    QString sourceFilePath;
    QByteArray icoFileBytes;
};
