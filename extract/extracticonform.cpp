#include "extracticonform.h"
#include "successbox.h"
#include "ui_extracticonform.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QSaveFile>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <QtDebug>
#include <QtMath>

#include "exporticondialog.h"
#include "extracticonlistview.h"
#include "ico/extracticonglobal.h"
#include "ico/icoassembly.h"
#include "ico/iconlisting.h"
#include "kvglobal.h"
#include "kvpopupmenu.h"

namespace {

constexpr int kListIconSide = 64;

QString imageResource(const char* name)
{
    return QStringLiteral(":/resources/images/") + QLatin1String(name);
}

bool hasIcoSuffix(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("ico"), Qt::CaseInsensitive) == 0;
}

// Replaces path with bytes whole or not at all: a failed write leaves the old file as it was.
bool saveBytes(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCritical().noquote() << "Error: Could not write" << path << "-" << file.errorString();
        return false;
    }
    return true;
}

} // namespace

ExtractIconForm::ExtractIconForm(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::ExtractIconForm)
    , model(new QStandardItemModel(this))
{
    ui->setupUi(this);
    ui->loadButton->setIcon(QIcon(imageResource("load_extractIcon.png")));
    ui->exportButton->setIcon(QIcon(imageResource("export_extractIcon.png")));

    buildLibraryMenu();
    buildExportMenu();

    ui->listView->setViewMode(QListView::IconMode);
    ui->listView->setResizeMode(QListView::Adjust);
    ui->listView->setModel(model);
    ui->listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->listView->setIconSize(QSize(kListIconSide, kListIconSide));
    // Every item the same size: the view lays out hundreds of them without measuring each.
    ui->listView->setUniformItemSizes(true);

    ui->exportButton->setEnabled(false);

    if (!KvGlobal::readRegistryString(KvGlobal::CurrentUser, registryKey(), QStringLiteral("loadIconPath"),
                                      loadIconPath))
        loadIconPath = KvGlobal::windowsDirectory();

    ui->listView->setAcceptDrops(true);
    updateThemeIcons();
    ui->openFileLabel->setText(QString());
}

ExtractIconForm::~ExtractIconForm()
{
    KvGlobal::writeRegistryString(KvGlobal::CurrentUser, registryKey(), QStringLiteral("loadIconPath"), loadIconPath);
    delete ui;
}

QString ExtractIconForm::registryKey()
{
    return QStringLiteral("Software\\Vantrel Sparvik Plus!\\ExtractIcon");
}

QStringList ExtractIconForm::libraryNames()
{
    return {
        QStringLiteral("imageres.dll"), QStringLiteral("shell32.dll"), QStringLiteral("ddores.dll"),
        QStringLiteral("pifmgr.dll"), QStringLiteral("explorer.exe"), QStringLiteral("accessibilitycpl.dll"),
        QStringLiteral("moricons.dll"), QStringLiteral("mmcndmgr.dll"), QStringLiteral("mmres.dll"),
        QStringLiteral("netcenter.dll"), QStringLiteral("netshell.dll"), QStringLiteral("networkexplorer.dll"),
        QStringLiteral("pnidui.dll"), QStringLiteral("sensorscpl.dll"), QStringLiteral("setupapi.dll"),
        QStringLiteral("wmploc.dll"), QStringLiteral("wpdshext.dll"), QStringLiteral("compstui.dll"),
        QStringLiteral("ieframe.dll"), QStringLiteral("dmdskres.dll"), QStringLiteral("dsuiext.dll"),
        QStringLiteral("mstscax.dll"), QStringLiteral("wiashext.dll"), QStringLiteral("comres.dll"),
        QStringLiteral("mstsc.exe"),
    };
}

QString ExtractIconForm::libraryPath(const QString& name)
{
    const QString folder = name == QLatin1String("explorer.exe") ? KvGlobal::windowsDirectory()
                                                                 : KvGlobal::systemDirectory();
    // An unknown folder must not turn the name into a path relative to the working folder.
    if (folder.isEmpty())
        return QString();
    return QDir::toNativeSeparators(QDir(QDir::fromNativeSeparators(folder)).filePath(name));
}

void ExtractIconForm::buildLibraryMenu()
{
    libraryMenu = new KvPopupMenu(ui->loadButton, this);
    QAction* external = libraryMenu->addAction(tr("load from external dll, exe, ico"));
    libraryActions.append(external);
    libraryMenu->addSeparator();
    for (const QString& name : libraryNames())
        libraryActions.append(libraryMenu->addAction(name));
    for (QAction* action : qAsConst(libraryActions))
        connect(action, SIGNAL(triggered(bool)), this, SLOT(menuSelected(bool)));
    ui->loadButton->setMenu(libraryMenu);
}

void ExtractIconForm::buildExportMenu()
{
    exportMenu = new KvPopupMenu(ui->exportButton, this);
    exportToPngAction = exportMenu->addAction(tr("to PNG"));
    exportToIcoAction = exportMenu->addAction(tr("to Ico"));
    connect(exportToPngAction, SIGNAL(triggered(bool)), this, SLOT(exportToPngSelected(bool)));
    connect(exportToIcoAction, SIGNAL(triggered(bool)), this, SLOT(exportToIcoSelected(bool)));
    ui->exportButton->setMenu(exportMenu);
}

void ExtractIconForm::updateThemeIcons()
{
    const bool dark = KvGlobal::isDarkColorScheme();
    const char* exportIcon = !ui->exportButton->isEnabled() ? "_export_extractIconGray.png"
                             : dark                         ? "_export_extractIconWhite.png"
                                                            : "_export_extractIcon.png";
    const char* loadIcon = !ui->loadButton->isEnabled() ? "_load_extractIconGray.png"
                           : dark                       ? "_load_extractIconWhite.png"
                                                        : "_load_extractIconBlack.png";
    ui->exportButton->setIcon(QIcon(imageResource(exportIcon)));
    ui->loadButton->setIcon(QIcon(imageResource(loadIcon)));
}

void ExtractIconForm::showEvent(QShowEvent* event)
{
    if (shown)
        return;
    shown = true;
    qDebug() << "showEvent";
    QWidget::showEvent(event);
    // The show event ends and the window paints before the initial load begins.
    QTimer::singleShot(0, this, SLOT(onTimeout()));
}

void ExtractIconForm::onTimeout()
{
    qDebug() << "onTimeout";
    ui->openFileLabel->setText(tr("Please wait..."));

    // imageres.dll first; where it is missing or holds no icon group (wine's holds none)
    // the menu's other libraries in order.
    const QStringList names = libraryNames();
    QList<QPair<int, QString>> candidates;
    for (int i = 0; i < names.size(); ++i)
        candidates.append({i, libraryPath(names.at(i))});

    initialLoadWatcher = new QFutureWatcher<InitialLoad>(this);
    connect(initialLoadWatcher, SIGNAL(finished()), this, SLOT(onInitialLoadDone()));
    // The task reads files and decodes images only; its result comes back to this
    // thread through the watcher's queued signal, and only here touches the list.
    // The list's images are scaled there too, at the screen's pixels per icon pixel.
    const int listSide = qCeil(kListIconSide * devicePixelRatioF());
    initialLoadWatcher->setFuture(
        QtConcurrent::run(QThreadPool::globalInstance(), &runInitialLoad, candidates, listSide));
}

QImage ExtractIconForm::listImage(const QImage& image, int side)
{
    if (image.isNull())
        return image;
    const QImage fitted = image.width() > side || image.height() > side
        ? image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : image;
    return fitted.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

ExtractIconForm::InitialLoad ExtractIconForm::runInitialLoad(const QList<QPair<int, QString>>& candidates,
                                                             int listSide)
{
    InitialLoad load;
    if (!candidates.isEmpty()) {
        load.libraryIndex = candidates.constFirst().first;
        load.path = candidates.constFirst().second;
    }
    for (const auto& [index, path] : candidates) {
        if (path.isEmpty() || !QFileInfo(path).isFile())
            continue;
        QList<IconGroupRecord> records;
        if (!IconListing::loadIconLibrary(path, records) || records.isEmpty())
            continue;
        load.libraryIndex = index;
        load.path = path;
        load.records = std::move(records);
        break;
    }
    // What the GUI thread would otherwise do for every item at once when the records
    // arrive: scale the best image to the list's size and premultiply it.
    load.listImages.reserve(load.records.size());
    for (const IconGroupRecord& record : qAsConst(load.records))
        load.listImages.append(listImage(record.image, listSide));
    return load;
}

void ExtractIconForm::onInitialLoadDone()
{
    const QFuture<InitialLoad> future = initialLoadWatcher->future();
    initialLoadWatcher->deleteLater();
    initialLoadWatcher = nullptr;
    if (future.isCanceled() || future.resultCount() == 0) {
        qWarning() << "Warning: The initial icon load was cancelled.";
        ui->openFileLabel->setText(QString());
        return;
    }
    InitialLoad load = future.result();

    clearIcons();
    showSourcePath(load.path.isEmpty() ? libraryNames().constFirst() : load.path);
    ExtractIconGlobal::IconResourceList = std::move(load.records);
    appendNewItems(load.listImages);
    sourceIsParsedFile = false;
    sourceIsIcoFile = false;
    sourceFilePath = load.path;
    setCurrentLibraryAction(libraryActions.value(1 + load.libraryIndex));

    connect(ui->listView, SIGNAL(doubleClicked(QModelIndex)), this, SLOT(OnDoubleClickListView(QModelIndex)));
    connect(ui->listView->selectionModel(), SIGNAL(selectionChanged(const QItemSelection&, const QItemSelection&)),
            this, SLOT(OnSelectionChanged(const QItemSelection&, const QItemSelection&)));
    connect(ui->listView, SIGNAL(addURLs(QList<QUrl>)), this, SLOT(on_AddURLs(QList<QUrl>)));
    Q_EMIT initialLoadFinished();
}

void ExtractIconForm::setCurrentLibraryAction(QAction* action)
{
    if (currentLibraryAction) {
        currentLibraryAction->setChecked(false);
        currentLibraryAction->setCheckable(false);
    }
    currentLibraryAction = action;
    if (action) {
        action->setCheckable(true);
        action->setChecked(true);
    }
}

void ExtractIconForm::menuSelected(bool)
{
    auto* action = qobject_cast<QAction*>(sender());
    const int index = libraryActions.indexOf(action);
    if (index < 0)
        return;
    // Entry 0 names no file: it always asks.
    const QString path = index == 0 ? QString() : libraryPath(action->text());
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        loadIconLibrary(path);
        sourceIsParsedFile = false;
        setCurrentLibraryAction(action);
        return;
    }

    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Load Icon Files"), loadIconPath,
                                                            tr("Icon Files (*.dll *.exe *.ico)"));
    if (files.isEmpty())
        return;
    const QString file = files.constFirst();
    loadIconPath = QFileInfo(file).path();
    if (!hasIcoSuffix(file)) {
        listFileIcons(file);
        sourceIsParsedFile = true;
        sourceFilePath = file;
    } else {
        loadIcoFile(file);
        sourceIsParsedFile = false;
    }
    setCurrentLibraryAction(action);
}

void ExtractIconForm::showSourcePath(const QString& path)
{
    ui->openFileLabel->setText(QDir::toNativeSeparators(path));
}

void ExtractIconForm::clearIcons()
{
    model->clear();
    ExtractIconGlobal::IconResourceList.clear();
    shownCount = 0;
    ui->exportButton->setEnabled(false);
    updateThemeIcons();
}

void ExtractIconForm::appendNewItems(const QList<QImage>& listImages)
{
    const QList<IconGroupRecord>& records = ExtractIconGlobal::IconResourceList;
    QList<QStandardItem*> items;
    items.reserve(records.size() - shownCount);
    for (int row = shownCount; row < records.size(); ++row) {
        const IconGroupRecord& record = records.at(row);
        const QImage& image = row < listImages.size() ? listImages.at(row) : record.image;
        auto* item = new QStandardItem(QIcon(QPixmap::fromImage(image)), QString::number(record.id));
        item->setData(tr("Icon %1").arg(record.id), Qt::AccessibleTextRole);
        items.append(item);
    }
    // One insertion: the view lays the items out once.
    if (!items.isEmpty())
        model->invisibleRootItem()->appendRows(items);
    shownCount = records.size();
}

void ExtractIconForm::loadIconLibrary(const QString& path)
{
    showSourcePath(path);
    clearIcons();
    sourceIsIcoFile = false;
    sourceFilePath = path;
    icoFileBytes.clear();
    if (IconListing::loadIconLibrary(path, ExtractIconGlobal::IconResourceList))
        appendNewItems();
}

void ExtractIconForm::listFileIcons(const QString& path)
{
    clearIcons();
    showSourcePath(path);
    sourceIsIcoFile = false;
    sourceFilePath = path;
    icoFileBytes.clear();
    if (IconListing::listFileIcons(path, ExtractIconGlobal::IconResourceList))
        appendNewItems();
}

void ExtractIconForm::loadIcoFile(const QString& path)
{
    clearIcons();
    showSourcePath(path);
    sourceIsIcoFile = false;
    sourceFilePath = path;
    icoFileBytes.clear();

    // The bytes are kept: exporting this list "to Ico" writes them back as they are.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (file.size() > IconListing::kMaxIcoFileBytes) {
        qWarning().noquote() << "Warning: Not reading" << path << "- too large for an icon file.";
        return;
    }
    icoFileBytes = file.readAll();
    file.close();
    IconListing::listIcoBytes(icoFileBytes, ExtractIconGlobal::IconResourceList);
    sourceIsIcoFile = true;
    appendNewItems();
}

int ExtractIconForm::currentRow() const
{
    const QModelIndexList selected = ui->listView->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return -1;
    const QStandardItem* item = model->itemFromIndex(selected.constFirst());
    return item ? item->row() : -1;
}

void ExtractIconForm::OnSelectionChanged(const QItemSelection& selected, const QItemSelection&)
{
    ui->exportButton->setEnabled(!selected.isEmpty());
    updateThemeIcons();
}

void ExtractIconForm::OnDoubleClickListView(QModelIndex index)
{
    const int row = index.row();
    if (row < 0 || row >= ExtractIconGlobal::IconResourceList.size())
        return;
    if (ExtractIconGlobal::IconResourceList.at(row).id >= 0)
        openExportDialog(row);
}

void ExtractIconForm::exportToPngSelected(bool)
{
    const int row = currentRow();
    if (row < 0 || row >= ExtractIconGlobal::IconResourceList.size())
        return;
    if (ExtractIconGlobal::IconResourceList.at(row).id >= 0)
        openExportDialog(row);
}

void ExtractIconForm::openExportDialog(int row)
{
    const IconGroupRecord& record = ExtractIconGlobal::IconResourceList.at(row);
    QPointer<ExportIconDialog> dialog = new ExportIconDialog(this);
    dialog->iconId = record.id;
    dialog->entries = record.entries;
    dialog->fillList();
    dialog->exec();
    // Closed by Escape or the title bar it is still here; its destructor stores the folder.
    delete dialog.data();
}

void ExtractIconForm::exportToIcoSelected(bool)
{
    const int row = currentRow();
    if (row < 0 || row >= ExtractIconGlobal::IconResourceList.size())
        return;

    QString folder;
    if (KvGlobal::readRegistryString(KvGlobal::CurrentUser, registryKey(), QStringLiteral("exportIconPath"), folder))
        folder = QDir::toNativeSeparators(folder);
    else
        folder = KvGlobal::documentsFolder();
    // A folder that is gone (or a Documents folder never made) would otherwise land in
    // the dialog's file name field.
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();

    const QString answer = QDir::toNativeSeparators(
        QFileDialog::getSaveFileName(this, QStringLiteral("Save to ICO File"), folder, QStringLiteral("ICO files (*.ico)")));
    if (answer.isEmpty())
        return;

    bool ok = false;
    if (sourceIsParsedFile)
        ok = exportFileGroupsAsIco(sourceFilePath, answer);
    else if (sourceIsIcoFile)
        // The list is the file itself: its own bytes are the icon.
        ok = saveBytes(answer, icoFileBytes);
    else
        ok = exportModuleGroupAsIco(sourceFilePath, ExtractIconGlobal::IconResourceList.at(row).id, answer);
    if (ok)
        showExportedBox(answer);
}

void ExtractIconForm::showExportedBox(const QString& path)
{
    showSuccessBox(tr("Extract Icon"), tr("The Icon file have been successfully exported."), QFileInfo(path).path());
}

void ExtractIconForm::on_AddURLs(QList<QUrl> urls)
{
    if (urls.isEmpty())
        return;
    const QString path = QDir::toNativeSeparators(urls.constFirst().toLocalFile());
    loadIconPath = QFileInfo(path).path();
    if (!hasIcoSuffix(path))
        loadIconLibrary(path);
    else
        loadIcoFile(path);
    sourceIsParsedFile = false;
}
