// The Create form's outputs: "Go" as an .ico file or as PNG files, and the composition
// documents saved and opened.

#include "create/glyphoraform.h"
#include "ui_glyphoraform.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QSettings>
#include <QStackedLayout>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>
#include <QtDebug>

#include "create/exportpngdialog.h"
#include "create/formsupport.h"
#include "ico/exportnames.h"
#include "ico/icoencoder.h"
#include "kvglobal.h"
#include "render/composition.h"
#include "render/compositiondocument.h"
#include "render/pngexport.h"
#include "widgets/successbox.h"

using namespace FormSupport;

namespace {

// Output combo entries.
constexpr int kOutputWindows = 0;

} // namespace

// ---- Edit page: output -----------------------------------------------------------------

void GlyphoraForm::on_goButton_clicked()
{
    if (ui->outputComboBox->currentIndex() != kOutputWindows) {
        auto* dialog = new ExportPNGDialog(this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, SIGNAL(exportImages(QList<int>)), this, SLOT(on_exportImages(QList<int>)));
        dialog->exec();
        return;
    }

    QSettings settings = pathSettings();
    settings.beginGroup(QStringLiteral("Path"));
    const QString folder = settings.value(QStringLiteral("folderPathIcon"), QDir::homePath()).toString();
    QString iconPath = QFileDialog::getSaveFileName(this, tr("Create Icon File"), folder, tr("Icon file (*.ico)"));
    iconPath = QDir::toNativeSeparators(iconPath);
    if (!iconPath.isEmpty()) {
        settings.setValue(QStringLiteral("folderPathIcon"), QFileInfo(iconPath).dir().path());
        settings.endGroup();
        // The encoder keeps any old file when it fails.
        QString reason;
        if (IcoEncoder::writeIcoFromImage(ui->widget->renderOutput(), iconPath, &reason))
            showIconCreatedBox(iconPath);
        else
            showIconFailedBox(iconPath, reason);
        return;
    }
    settings.endGroup();
}

void GlyphoraForm::on_exportImages(QList<int> LImageResolution)
{
    QSettings settings = pathSettings();
    settings.beginGroup(QStringLiteral("Path"));
    const QString start = settings.value(QStringLiteral("folderPathPNG"), KvGlobal::documentsFolder()).toString();
    const QString folder = KvGlobal::browseForFolder(start, tr("Select folder ..."));
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        settings.endGroup();
        return;
    }
    settings.setValue(QStringLiteral("folderPathPNG"), folder);
    settings.endGroup();

    QStringList paths;
    for (int side : std::as_const(LImageResolution))
        paths << QDir(folder).filePath(ExportNames::composedPngFileName(side));
    if (!confirmReplaceFiles(this, tr("Export PNG Files"), paths))
        return;

    // One rendering serves every size; each file is scaled from it, written and let go
    // before the next, so a long size list never holds all its images at once.  A file
    // that cannot be written does not stop the others; the user hears of them together.
    const QImage master = ui->widget->renderOutput();
    QStringList failures;
    for (int side : std::as_const(LImageResolution)) {
        const QString path = QDir::toNativeSeparators(QDir(folder).filePath(ExportNames::composedPngFileName(side)));
        // Through a temporary file: a failed write leaves the old file as it was.
        QString error;
        if (!PngExport::writePng(PngExport::composedAtSize(master, side), path, &error)) {
            qDebug() << "Cannot overwrite:" << path;
            failures << error;
        }
    }
    if (!failures.isEmpty()) {
        showFailureBox(this, tr("Export PNG Files"),
                       tr("%1 of %2 PNG files could not be written.").arg(failures.size()).arg(LImageResolution.size()),
                       failures);
        return;
    }
    showSuccessBox(tr("Export PNG Files"), tr("The PNG files have been successfully created."), folder,
                   Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
}

// ---- Edit page: composition documents --------------------------------------------------

namespace {

QString compositionFilter()
{
    return GlyphoraForm::tr("Glyphora composition (*.%1)").arg(QLatin1String(CompositionDocument::kSuffix));
}

} // namespace

QString GlyphoraForm::askCompositionSavePath()
{
    QSettings settings = pathSettings();
    settings.beginGroup(QStringLiteral("Path"));
    const QString folder = settings.value(QStringLiteral("folderPathComposition"), QDir::homePath()).toString();
    // The dialog adds the suffix itself, so that its own overwrite question is asked about
    // the name that will be written.
    QFileDialog dialog(this, tr("Save Composition"), folder, compositionFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QLatin1String(CompositionDocument::kSuffix));
    const QString path = dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    if (!path.isEmpty())
        settings.setValue(QStringLiteral("folderPathComposition"), QFileInfo(path).absolutePath());
    settings.endGroup();
    return path;
}

void GlyphoraForm::on_saveCompositionButton_clicked()
{
    const QString path = askCompositionSavePath();
    if (!path.isEmpty())
        saveComposition(path);
}

void GlyphoraForm::on_openCompositionButton_clicked()
{
    if (!maybeSaveChanges())
        return;
    QSettings settings = pathSettings();
    settings.beginGroup(QStringLiteral("Path"));
    const QString folder = settings.value(QStringLiteral("folderPathComposition"), QDir::homePath()).toString();
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Composition"), folder, compositionFilter());
    if (!path.isEmpty()) {
        settings.setValue(QStringLiteral("folderPathComposition"), QFileInfo(path).absolutePath());
        openComposition(path);
    }
    settings.endGroup();
}

bool GlyphoraForm::saveComposition(const QString& path)
{
    QString error;
    if (!CompositionDocument::save(path, model->iconStyle(), model->imageDataList(), &error)) {
        QMessageBox::warning(this, tr("Save Composition"),
                             tr("The composition could not be saved: %1").arg(error));
        return false;
    }
    model->undoStack()->setClean();
    documentPath = path;
    return true;
}

namespace {

// What a background open hands back to the GUI thread.
struct CompositionLoad
{
    CompositionDocument document;
    bool ok = false;
    QString error;
};

} // namespace

void GlyphoraForm::openComposition(const QString& path)
{
    // Every picture of the document is decoded on the thread pool; the page changes only
    // when all of it is there.  A later open supersedes this one: its serial tells.
    const int serial = ++compositionSerial;
    setCursor(Qt::BusyCursor);
    auto* watcher = new QFutureWatcher<CompositionLoad>(this);
    connect(watcher, &QFutureWatcher<CompositionLoad>::finished, this, [this, watcher, serial, path]() {
        watcher->deleteLater();
        if (serial != compositionSerial) {
            qDebug() << "Superseded composition dropped:" << path;
            return;
        }
        unsetCursor();
        CompositionLoad load = watcher->result();
        if (!load.ok) {
            QMessageBox::warning(this, tr("Open Composition"),
                                 tr("%1 could not be opened: %2").arg(QDir::toNativeSeparators(path), load.error));
            return;
        }
        showComposition(load.document);
        documentPath = path;
    });
    watcher->setFuture(QtConcurrent::run([path]() {
        CompositionLoad load;
        load.ok = load.document.load(path, &load.error);
        return load;
    }));
}

void GlyphoraForm::dropCompositionLoads()
{
    ++compositionSerial;
    unsetCursor();
}

void GlyphoraForm::showComposition(const CompositionDocument& document)
{
    // A fresh history, as entering the edit page starts one: an undo that brought back
    // what was there before would leave documentPath naming the opened file, and the
    // next Save would write the old composition into it.
    model->reset(document.style, document.objects);
    pageLayout->setCurrentIndex(kEditPage);
    ui->widget->update();
}
