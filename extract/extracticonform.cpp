#include "extracticonform.h"
#include "widgets/successbox.h"
#include "ui_extracticonform.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <QtDebug>
#include <QtMath>

#include "exporticondialog.h"
#include "extracticonlistview.h"
#include "filesave.h"
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

// Replaces path with bytes whole or not at all: a failed write leaves the old file as it
// was.  The reason when it failed, else empty.
QString saveBytes(const QString& path, const QByteArray& bytes)
{
    const FileSave::Result saved = FileSave::save(path, {bytes});
    if (!saved.ok())
        qCritical().noquote() << "Error: Could not write" << path << "-" << saved.error;
    return saved.error;
}

// One line of the failure box: the file and why it was not written.
QString cannotWrite(const QString& path, const QString& reason)
{
    return ExtractIconForm::tr("cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
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

    // The list's images are scaled in the task too, at the screen's pixels per icon pixel.
    const int listSide = qCeil(kListIconSide * devicePixelRatioF());
    watchLoad(QtConcurrent::run(QThreadPool::globalInstance(), &runInitialLoad, candidates, listSide), true);
}

void ExtractIconForm::startLoad(SourceKind kind, const QString& path)
{
    clearIcons();
    showSourcePath(path);
    // Until the records arrive the list is empty, so no export can act on a half-known
    // source.
    sourceIsParsedFile = false;
    sourceIsIcoFile = false;
    sourceFilePath = path;
    icoFileBytes.clear();
    const int listSide = qCeil(kListIconSide * devicePixelRatioF());
    watchLoad(QtConcurrent::run(QThreadPool::globalInstance(), &runLoad, kind, path, listSide), false);
}

void ExtractIconForm::watchLoad(const QFuture<LoadResult>& future, bool initial)
{
    // The task reads files and decodes images only; its result comes back to this thread
    // through the watcher's queued signal, and only here touches the list.  A load asked
    // for later makes this one's result stale: it is dropped when it arrives.
    auto* watcher = new QFutureWatcher<LoadResult>(this);
    watcher->setProperty("generation", ++loadGeneration);
    watcher->setProperty("initial", initial);
    connect(watcher, SIGNAL(finished()), this, SLOT(onLoadDone()));
    watcher->setFuture(future);
    setCursor(Qt::BusyCursor);
}

QImage ExtractIconForm::listImage(const QImage& image, int side)
{
    if (image.isNull())
        return image;
    // Converted before scaling: Qt scales a 1-bit image whose colour table holds a
    // transparent colour (a 1-bit PNG with tRNS) into opaque black.
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return source.width() > side || source.height() > side
        ? source.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : source;
}

namespace {

// What the GUI thread would otherwise do for every item at once when the records arrive:
// scale the best image to the list's size and premultiply it.
void makeListImages(ExtractIconForm::LoadResult& load, int listSide)
{
    load.listImages.reserve(load.records.size());
    for (const IconGroupRecord& record : qAsConst(load.records))
        load.listImages.append(ExtractIconForm::listImage(record.image, listSide));
}

} // namespace

ExtractIconForm::LoadResult ExtractIconForm::runInitialLoad(const QList<QPair<int, QString>>& candidates,
                                                            int listSide)
{
    LoadResult load;
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
    makeListImages(load, listSide);
    return load;
}

ExtractIconForm::LoadResult ExtractIconForm::runLoad(SourceKind kind, const QString& path, int listSide)
{
    LoadResult load;
    load.kind = kind;
    load.path = path;
    switch (kind) {
    case SourceKind::Library:
        IconListing::loadIconLibrary(path, load.records);
        break;
    case SourceKind::ParsedFile:
        IconListing::listFileIcons(path, load.records);
        break;
    case SourceKind::IcoFile: {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return load;
        if (file.size() > IconListing::kMaxIcoFileBytes) {
            qWarning().noquote() << "Warning: Not reading" << path << "- too large for an icon file.";
            return load;
        }
        load.icoBytes = file.readAll();
        IconListing::listIcoBytes(load.icoBytes, load.records);
        break;
    }
    }
    makeListImages(load, listSide);
    return load;
}

void ExtractIconForm::onLoadDone()
{
    auto* watcher = static_cast<QFutureWatcher<LoadResult>*>(sender());
    const bool newest = watcher->property("generation").toInt() == loadGeneration;
    const bool initial = watcher->property("initial").toBool();
    const QFuture<LoadResult> future = watcher->future();
    watcher->deleteLater();

    if (newest) {
        unsetCursor();
        if (future.isCanceled() || future.resultCount() == 0) {
            qWarning() << "Warning: The icon load was cancelled.";
            if (initial)
                ui->openFileLabel->setText(QString());
        } else {
            LoadResult load = future.result();
            applyLoad(load);
            if (initial)
                setCurrentLibraryAction(libraryActions.value(1 + load.libraryIndex));
        }
    }
    if (initial) {
        connectListOnce();
        Q_EMIT initialLoadFinished();
    }
    if (newest)
        Q_EMIT loadFinished();
}

void ExtractIconForm::applyLoad(LoadResult& load)
{
    clearIcons();
    showSourcePath(load.path.isEmpty() ? libraryNames().constFirst() : load.path);
    ExtractIconGlobal::IconResourceList = std::move(load.records);
    appendNewItems(load.listImages);
    qInfo().noquote() << "Listed" << ExtractIconGlobal::IconResourceList.size() << "icons from"
                      << QDir::toNativeSeparators(load.path);
    sourceIsParsedFile = load.kind == SourceKind::ParsedFile;
    sourceIsIcoFile = load.kind == SourceKind::IcoFile && !load.icoBytes.isEmpty();
    sourceFilePath = load.path;
    icoFileBytes = std::move(load.icoBytes);
    connectListOnce();
}

void ExtractIconForm::connectListOnce()
{
    if (listConnected)
        return;
    listConnected = true;
    connect(ui->listView, SIGNAL(doubleClicked(QModelIndex)), this, SLOT(OnDoubleClickListView(QModelIndex)));
    connect(ui->listView->selectionModel(), SIGNAL(selectionChanged(const QItemSelection&, const QItemSelection&)),
            this, SLOT(OnSelectionChanged(const QItemSelection&, const QItemSelection&)));
    connect(ui->listView, SIGNAL(addURLs(QList<QUrl>)), this, SLOT(on_AddURLs(QList<QUrl>)));
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
        setCurrentLibraryAction(action);
        return;
    }

    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Load Icon Files"), loadIconPath,
                                                            tr("Icon Files (*.dll *.exe *.ico)"));
    if (files.isEmpty())
        return;
    const QString file = files.constFirst();
    loadIconPath = QFileInfo(file).path();
    if (!hasIcoSuffix(file))
        listFileIcons(file);
    else
        loadIcoFile(file);
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
    startLoad(SourceKind::Library, path);
}

void ExtractIconForm::listFileIcons(const QString& path)
{
    startLoad(SourceKind::ParsedFile, path);
}

void ExtractIconForm::loadIcoFile(const QString& path)
{
    startLoad(SourceKind::IcoFile, path);
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
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->iconId = record.id;
    dialog->entries = record.entries;
    dialog->fillList();
    dialog->exec();
    // However it closed it goes; at once here, so its destructor has stored the folder
    // before anything reads it again.
    delete dialog.data();
}

void ExtractIconForm::exportToIcoSelected(bool)
{
    const int row = currentRow();
    if (row < 0 || row >= ExtractIconGlobal::IconResourceList.size())
        return;
    // Taken before the save dialog, whose event loop could let the list change.
    const int groupId = ExtractIconGlobal::IconResourceList.at(row).id;
    const bool parsedFile = sourceIsParsedFile;
    const bool icoFile = sourceIsIcoFile;
    const QString source = sourceFilePath;
    const QByteArray bytes = icoFileBytes;

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

    QStringList failures;
    int files = 1;
    if (parsedFile) {
        // One group goes to the name the save dialog confirmed; several go to NAME_n.ico,
        // names it never showed, so they are asked about here.
        const QStringList paths = IcoAssembly::fileGroupOutputPaths(source, answer);
        if (paths.size() > 1 && !confirmReplaceFiles(this, tr("Extract Icon"), paths))
            return;
        const IcoAssembly::ExportResult result = IcoAssembly::exportFileGroups(source, answer);
        if (!result.error.isEmpty())
            failures.append(cannotWrite(answer, QDir::toNativeSeparators(source) + QStringLiteral(": ") + result.error));
        files = qMax(1, int(result.files.size()));
        for (const IcoAssembly::FileResult& file : result.failures())
            failures.append(cannotWrite(file.path, file.error));
    } else if (icoFile) {
        // The list is the file itself: its own bytes are the icon.
        const QString error = saveBytes(answer, bytes);
        if (!error.isEmpty())
            failures.append(cannotWrite(answer, error));
    } else {
        const IcoAssembly::FileResult result = IcoAssembly::exportModuleGroup(source, groupId, answer);
        if (!result.ok())
            failures.append(cannotWrite(answer, result.error));
    }

    if (failures.isEmpty())
        showExportedBox(answer);
    else if (files == 1)
        showFailureBox(this, tr("Extract Icon"), tr("The icon file could not be written."), failures);
    else
        showFailureBox(this, tr("Extract Icon"),
                       tr("%1 of %2 icon files could not be written.").arg(failures.size()).arg(files), failures);
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
}
