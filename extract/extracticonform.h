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

    // What the initial load found, handed from its task to the GUI thread whole.
    struct InitialLoad
    {
        int libraryIndex = 0;  // into libraryNames(): the entry to check
        QString path;          // the library listed (or, when none had icons, imageres.dll's)
        QList<IconGroupRecord> records;
        QList<QImage> listImages;  // each record's image as the list shows it
    };
    // The initial load's work, run off the GUI thread: the first library of candidates
    // (index into libraryNames(), path) that exists and has icon groups, with its list
    // images made at listSide pixels.
    static InitialLoad runInitialLoad(const QList<QPair<int, QString>>& candidates, int listSide);
    // image made no larger than side x side, premultiplied, as the list draws it.
    static QImage listImage(const QImage& image, int side);

Q_SIGNALS:
    // The initial load's records are in the list.
    void initialLoadFinished();

public Q_SLOTS:
    void onTimeout();
    void menuSelected(bool checked);
    void exportToPngSelected(bool checked);
    void exportToIcoSelected(bool checked);
    void OnDoubleClickListView(QModelIndex index);
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void on_AddURLs(QList<QUrl> urls);

    void loadIconLibrary(const QString& path);
    void listFileIcons(const QString& path);
    void loadIcoFile(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;

private Q_SLOTS:
    void onInitialLoadDone();

private:
    void buildLibraryMenu();
    void buildExportMenu();
    void clearIcons();
    // listImages, when given, hold the list's image of each record by row.
    void appendNewItems(const QList<QImage>& listImages = {});
    void showSourcePath(const QString& path);
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
    QFutureWatcher<InitialLoad>* initialLoadWatcher = nullptr;

    QString loadIconPath;
    bool shown = false;
    int shownCount = 0;

    // Where the list came from: the PE reader (the .ico export reads the file again),
    // an .ico file (its bytes are the export), or else a library through the module loader.
    bool sourceIsParsedFile = false;
    bool sourceIsIcoFile = false;
    QString sourceFilePath;
    QByteArray icoFileBytes;
};
