#include "create/glyphoraform.h"
#include "ui_glyphoraform.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSettings>
#include <QSpinBox>
#include <QStackedLayout>
#include <QUndoStack>
#include <QtDebug>

#include "create/formsupport.h"
#include "editor/glyphorahelpdialog.h"
#include "editor/glyphoralistwidget.h"
#include "editor/glyphorawidget.h"
#include "ico/exportnames.h"
#include "ico/icoencoder.h"
#include "kvglobal.h"
#include "picture/picturetypes.h"
#include "picture/sourceimage.h"
#include "render/composition.h"
#include "render/compositiondocument.h"
#include "widgets/successbox.h"

using namespace FormSupport;

namespace {

// An SVG source is previewed at this side; a raster picture larger than kLargePreview on
// either axis is cut down to this side on its longer axis.
constexpr int kPreviewSide = 256;
constexpr int kLargePreview = 1024;

// An SVG source becomes the first canvas object rasterised at this side.
constexpr int kSvgObjectSide = Composition::kSvgSide;

// The object boxes reach as far as a composition document may place, scale and turn an
// object: a drag or a drop near an edge leaves an object at a negative position, and the
// wheel scales past 100 %.  Typing cannot hide an object (a scale of 0 or below draws
// nothing), so the size box starts at 1.
constexpr int kMinTypedScale = 1;

// A curved arrow turning back to the left, or to the right when mirrored (Redo), in the
// ink of the other black and white tool icons.  Drawn at twice the 24-pixel button size.
QIcon turnArrowIcon(bool mirrored)
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (mirrored) {
        painter.translate(48, 0);
        painter.scale(-1, 1);
    }
    painter.setPen(QPen(KvGlobal::isDarkColorScheme() ? Qt::white : Qt::black, 4, Qt::SolidLine, Qt::RoundCap,
                        Qt::RoundJoin));
    QPainterPath arrow;
    arrow.moveTo(8, 18);
    arrow.lineTo(30, 18);
    arrow.cubicTo(44, 18, 44, 40, 30, 40);
    arrow.lineTo(16, 40);
    arrow.moveTo(18, 8);
    arrow.lineTo(8, 18);
    arrow.lineTo(18, 28);
    painter.drawPath(arrow);
    return QIcon(pixmap);
}

} // namespace

bool GlyphoraForm::shiftKeyPressed = false;

GlyphoraForm::GlyphoraForm(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::GlyphoraForm)
{
    ui->setupUi(this);

    pageLayout = new QStackedLayout(this);
    pageLayout->setContentsMargins(8, 8, 8, 8);
    pageLayout->addWidget(ui->sourceFrame);
    pageLayout->addWidget(ui->editWidget);
    pageLayout->setCurrentIndex(kSourcePage);

    ui->sourceFrame->setAcceptDrops(true);
    connect(ui->sourceFrame, SIGNAL(addURLs(QList<QUrl>)), this, SLOT(on_AddURLs(QList<QUrl>)));

    model = new Composition(this);
    setUpEditPage();
    setUpUndo();

    ui->loadButton->hide();
    ui->convertButton->hide();
    ui->editButton->hide();

    ready = true;
    updateThemeIcons();
}

GlyphoraForm::~GlyphoraForm()
{
    QSettings settings = pathSettings();
    model->iconStyle().save(settings);
    // The canvas is destroyed after the composition: it lets go of it now.
    ui->widget->setComposition(nullptr);
    delete ui;
}

void GlyphoraForm::setShiftKeyPressed(bool pressed)
{
    shiftKeyPressed = pressed;
}

void GlyphoraForm::updateThemeIcons()
{
    ui->backButton->setIcon(QIcon(iconResource("_BackIosWhite64.png", "_BackIosBlack64.png")));
    ui->loadButton->setIcon(QIcon(iconResource("_PlusWhite24.png", "_PlusBlack24.png")));
    ui->editButton->setIcon(QIcon(iconResource("_EditWhite24.png", "_EditBlack24.png")));
    ui->convertButton->setIcon(QIcon(iconResource("_playcircleWhite24.png", "_playcircleBlack24.png")));
    ui->upToolButton->setIcon(QIcon(iconResource("_UpWhite24.png", "_UpBlack24.png")));
    ui->downToolButton->setIcon(QIcon(iconResource("_DownWhite24.png", "_DownBlack24.png")));
    ui->deleteToolButton->setIcon(QIcon(iconResource("_DeleteWhite24.png", "_DeleteBlack24.png")));
    ui->undoButton->setIcon(turnArrowIcon(false));
    ui->redoButton->setIcon(turnArrowIcon(true));
    // Once a source is loaded the button shows its preview instead.
    if (sourcePath.isEmpty())
        ui->sourceImageButton->setIcon(QIcon(iconResource("_AddImageWhite256.png", "_AddImageBlack256.png")));
}

QString GlyphoraForm::proposedIconPath(const QString& folder, const QString& sourcePath)
{
    return QDir::toNativeSeparators(QDir(folder).filePath(ExportNames::iconFileName(sourcePath)));
}

void GlyphoraForm::on_loadButton_clicked()
{
    openSourceFileDialog();
}

void GlyphoraForm::on_sourceImageButton_clicked()
{
    openSourceFileDialog();
}

void GlyphoraForm::openSourceFileDialog()
{
    QSettings settings = pathSettings();
    settings.beginGroup(QStringLiteral("Path"));
    QString folder = settings.value(QStringLiteral("inputPath"), QDir::homePath()).toString();
    if (folder.isEmpty() || !QFileInfo::exists(folder))
        folder = KvGlobal::picturesFolder();

    const QString path = QFileDialog::getOpenFileName(
        this, tr("Add Image Files"), folder,
        tr("Image Files (%1)").arg(PictureTypes::sourceFilterPatterns()));

    // A cancelled dialog changes nothing: neither the remembered folder nor the source.
    if (path.isEmpty()) {
        settings.endGroup();
        return;
    }

    const QFileInfo infoFile(path);
    settings.setValue(QStringLiteral("inputPath"), infoFile.path());
    qDebug() << "infoFile.filePath(): " << infoFile.path();
    on_AddURLs({QUrl::fromLocalFile(path)});
    settings.endGroup();

    ui->openFileLabel->setText(QDir::toNativeSeparators(path));
}

void GlyphoraForm::on_AddURLs(QList<QUrl> urls)
{
    if (urls.isEmpty())
        return;

    const QString path = urls.constFirst().toLocalFile();
    qDebug() << "on_AddURLs: " << path;

    // A composition document opens on the edit page instead of becoming the source.
    if (QFileInfo(path).suffix().compare(QLatin1String(CompositionDocument::kSuffix), Qt::CaseInsensitive) == 0) {
        if (maybeSaveChanges())
            openComposition(path);
        return;
    }

    // A file that is not there leaves the current source, whose preview is rebuilt.
    if (QFileInfo(path).isFile()) {
        // The picture is decoded here once; the preview, the first canvas object and
        // "Create Ico File" all start from this image.  An SVG is rasterised at the
        // object's side, and its preview scaled down from that.
        QImage picture;
        if (!SourceImage::load(path, kSvgObjectSide, kSvgObjectSide, picture))
            picture = QImage();
        sourcePath = path;
        sourcePicture = picture;
    }
    if (sourcePath.isEmpty()) {
        showNoSource();
        return;
    }
    showSourcePreview();
}

bool GlyphoraForm::showSourcePreview()
{
    QPixmap preview;
    if (SourceImage::isSvgPath(sourcePath)) {
        if (!sourcePicture.isNull())
            preview = QPixmap::fromImage(sourcePicture.scaled(kPreviewSide, kPreviewSide, Qt::IgnoreAspectRatio,
                                                              Qt::SmoothTransformation));
    } else {
        preview = QPixmap::fromImage(sourcePicture);
        if (!preview.isNull() && (preview.width() > kLargePreview || preview.height() > kLargePreview)) {
            preview = preview.height() < preview.width()
                          ? preview.scaledToWidth(kPreviewSide, Qt::FastTransformation)
                          : preview.scaledToHeight(kPreviewSide, Qt::FastTransformation);
        }
    }

    // A picture that cannot be shown cannot be made into an icon either: the page goes
    // back to asking for one.
    if (preview.isNull()) {
        qWarning() << "Failed to load image from:" << sourcePath;
        sourcePath.clear();
        sourcePicture = QImage();
        showNoSource();
        return false;
    }
    ui->sourceImageButton->setIcon(QIcon(preview));
    ui->sourceLabel->hide();
    ui->loadButton->show();
    ui->convertButton->show();
    ui->editButton->show();
    return true;
}

void GlyphoraForm::showNoSource()
{
    ui->sourceLabel->show();
    ui->loadButton->hide();
    ui->convertButton->hide();
    ui->editButton->hide();
    updateThemeIcons();
}

void GlyphoraForm::on_convertButton_clicked()
{
    if (sourcePath.isEmpty())
        return;

    QSettings settings = pathSettings();
    settings.beginGroup(QStringLiteral("Path"));
    const QString folder = settings.value(QStringLiteral("folderPathIcon"), QDir::homePath()).toString();

    QString iconPath = QFileDialog::getSaveFileName(this, tr("Create Icon File"), proposedIconPath(folder, sourcePath),
                                                    tr("Icon file (*.ico)"));
    iconPath = QDir::toNativeSeparators(iconPath);
    if (!iconPath.isEmpty()) {
        settings.setValue(QStringLiteral("folderPathIcon"), QFileInfo(iconPath).dir().path());
        settings.endGroup();
        QString reason;
        // An SVG is drawn afresh at every icon size; a raster picture is scaled from the
        // image decoded when it was opened, fitted into the 256 master as the encoder's
        // own loader would.
        bool written = false;
        if (SourceImage::isSvgPath(sourcePath)) {
            written = IcoEncoder::writeIcoFromSourceFile(sourcePath, iconPath, &reason);
        } else {
            QImage master = sourcePicture;
            const QSize fitted = SourceImage::fittedSize(master.size(), IcoEncoder::kMasterSide);
            if (!master.isNull() && master.size() != QSize(IcoEncoder::kMasterSide, IcoEncoder::kMasterSide))
                master = master.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            written = IcoEncoder::writeIcoFromImage(master, iconPath, &reason);
        }
        if (written)
            showIconCreatedBox(iconPath);
        else
            showIconFailedBox(iconPath, reason);
        return;
    }
    settings.endGroup();
}

void GlyphoraForm::showIconCreatedBox(const QString& iconPath)
{
    showSuccessBox(tr("Create Icon File"), tr("The Icon file have been successfully created."),
                   QFileInfo(iconPath).dir().path(), Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
}

void GlyphoraForm::showIconFailedBox(const QString& iconPath, const QString& reason)
{
    showFailureBox(this, tr("Create Icon File"),
                   tr("The Icon file %1 could not be created.").arg(QDir::toNativeSeparators(iconPath)), {reason});
}

// ---- Edit page: construction ------------------------------------------------------------

void GlyphoraForm::setUpEditPage()
{
    ui->shapeComboBox->addItems({tr("Rectangle"), tr("Rounded Rectangle"), tr("Circle")});
    ui->backStyleComboBox->addItems({tr("Solid"), tr("Gradient")});
    ui->backOrientationComboBox->addItems({tr("Top - Down"), tr("Down - Top"), tr("Left - Right"),
                                           tr("Right - Left"), tr("TopLeft - DownRight"), tr("TopRight - DownLeft"),
                                           tr("DownLeft - TopRight"), tr("DownRight - TopLeft")});
    ui->badgeOrientationComboBox->addItems({tr("Diagonal"), tr("Horizontal")});
    ui->outputComboBox->addItems({tr("Windows"), tr("PNG Files")});
    {
        // Filled before there is a style to follow; the style gives the canvas its size.
        NotReady notReady(ready);
        ui->canvasSizeComboBox->addItems({tr("256x256"), tr("512x512"), tr("1024x1024")});
    }

    ui->tempLabel->hide();
    ui->selectedImageNameLabel->hide();
    ui->selectedImageLabel->hide();
    ui->upToolButton->setEnabled(false);
    ui->downToolButton->setEnabled(false);
    ui->deleteToolButton->setEnabled(false);
    setObjectControlsVisible(false);

    for (QSpinBox* box : {ui->positionXSpinBox, ui->positionYSpinBox})
        box->setRange(-CompositionDocument::kMaxPosition, CompositionDocument::kMaxPosition);
    ui->sizeSpinBox->setRange(kMinTypedScale, CompositionDocument::kMaxScale);

    // Spin boxes whose label does not say which one they are.
    ui->positionXSpinBox->setAccessibleName(tr("Position X"));
    ui->positionYSpinBox->setAccessibleName(tr("Position Y"));
    ui->sizeSpinBox->setAccessibleName(tr("Size in percent"));
    ui->rotateSpinBox->setAccessibleName(tr("Rotation in degrees"));

    ui->widget->setAcceptDrops(true);
    ui->listWidget->setAcceptDrops(true);
    ui->listWidget->setDragEnabled(true);
    ui->listWidget->setDragDropMode(QAbstractItemView::InternalMove);
    ui->listWidget->setDefaultDropAction(Qt::MoveAction);

    ui->widget->setComposition(model);
    connect(model, SIGNAL(styleChanged()), this, SLOT(refreshStyleControls()));
    connect(model, SIGNAL(objectsReset()), this, SLOT(on_ObjectsReset()));
    connect(model, SIGNAL(objectInserted(int)), this, SLOT(on_ObjectInserted(int)));
    connect(model, SIGNAL(objectRemoved(int,int)), this, SLOT(on_ObjectRemoved(int,int)));
    connect(model, SIGNAL(objectReordered(int,int)), this, SLOT(on_ObjectReordered(int,int)));
    connect(model, SIGNAL(objectChanged(int)), this, SLOT(on_ObjectChanged(int)));

    connect(ui->widget, SIGNAL(addItem(int,QImage)), this, SLOT(on_AddItem(int,QImage)));
    connect(ui->widget, SIGNAL(itemSelected(int)), this, SLOT(on_ItemSelected(int)));
    connect(ui->widget, SIGNAL(itemMoved(int)), this, SLOT(on_itemMoved(int)));
    connect(ui->widget, SIGNAL(itemScaled(int)), this, SLOT(on_itemScaled(int)));
    connect(ui->widget, SIGNAL(itemRotated(int)), this, SLOT(on_itemRotated(int)));
    connect(ui->backColor1Widget, SIGNAL(colorUpdated(QColor)), this, SLOT(on_ColorUpdated1(QColor)));
    connect(ui->backColor2Widget, SIGNAL(colorUpdated(QColor)), this, SLOT(on_ColorUpdated2(QColor)));
    connect(ui->borderColorWidget, SIGNAL(colorUpdated(QColor)), this, SLOT(on_BorderColorUpdated(QColor)));
    connect(ui->badgeTextColorWidget, SIGNAL(colorUpdated(QColor)), this, SLOT(on_BadgeTextColorUpdated(QColor)));
    connect(ui->badgeBackColorWidget, SIGNAL(colorUpdated(QColor)), this, SLOT(on_BadgeBackColorUpdated(QColor)));
    connect(ui->badgeBorderColorWidget, SIGNAL(colorUpdated(QColor)), this,
            SLOT(on_BadgeBorderColorUpdated(QColor)));
    connect(ui->listWidget, &QListWidget::itemSelectionChanged, this, &GlyphoraForm::on_ListWidget_itemSelectionChanged);
    connect(ui->listWidget, &GlyphoraListWidget::itemMoved, this, &GlyphoraForm::on_ListWidget_itemMoved);
    connect(ui->listWidget, &GlyphoraListWidget::needToMoveitem, this, &GlyphoraForm::on_ListWidget_needToMoveitem);

    loadIconStyle();
}

// ---- Edit page: undo and redo ----------------------------------------------------------

void GlyphoraForm::setUpUndo()
{
    QUndoStack* stack = model->undoStack();
    ui->undoButton->setEnabled(false);
    ui->redoButton->setEnabled(false);
    connect(stack, SIGNAL(canUndoChanged(bool)), ui->undoButton, SLOT(setEnabled(bool)));
    connect(stack, SIGNAL(canRedoChanged(bool)), ui->redoButton, SLOT(setEnabled(bool)));
    connect(stack, SIGNAL(undoTextChanged(QString)), this, SLOT(updateUndoTips()));
    connect(stack, SIGNAL(redoTextChanged(QString)), this, SLOT(updateUndoTips()));
    connect(stack, SIGNAL(indexChanged(int)), this, SLOT(updateUndoTips()));

    // The keys work wherever the focus is on the edit page, and only there; a line or
    // number box with the focus undoes its own typing first.
    auto* undoAction = new QAction(tr("Undo"), ui->editWidget);
    undoAction->setShortcuts(QKeySequence::Undo);
    undoAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    auto* redoAction = new QAction(tr("Redo"), ui->editWidget);
    redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redoAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ui->editWidget->addAction(undoAction);
    ui->editWidget->addAction(redoAction);
    connect(undoAction, SIGNAL(triggered()), this, SLOT(on_undoButton_clicked()));
    connect(redoAction, SIGNAL(triggered()), this, SLOT(on_redoButton_clicked()));
    updateUndoTips();
}

void GlyphoraForm::updateUndoTips()
{
    const QUndoStack* stack = model->undoStack();
    ui->undoButton->setToolTip(stack->canUndo() ? tr("Undo %1").arg(stack->undoText()) : tr("Undo"));
    ui->redoButton->setToolTip(stack->canRedo() ? tr("Redo %1").arg(stack->redoText()) : tr("Redo"));
}

void GlyphoraForm::on_undoButton_clicked()
{
    model->undoStack()->undo();
}

void GlyphoraForm::on_redoButton_clicked()
{
    model->undoStack()->redo();
}

// ---- Edit page: entering and leaving -------------------------------------------------

void GlyphoraForm::on_editButton_clicked()
{
    NotReady notReady(ready);
    qDebug() << "on_editButton_clicked";

    // A composition still loading would replace what the user starts here.
    dropCompositionLoads();

    ImageData object;
    object.path = sourcePath;
    object.image = sourcePicture;
    if (object.image.isNull())
        qWarning() << "Failed to load image from:" << sourcePath;
    const int side = ui->widget->canvasSide();
    object.fitInto(side);
    object.position = QPoint(int((side - object.displayImage.width()) * 0.5),
                             int((side - object.displayImage.height()) * 0.5));
    object.rect = QRect(object.position, object.displayImage.size());
    object.id = 0;
    object.rotation = 0;
    // A new composition: nothing to undo, nothing to save yet.
    model->reset(model->iconStyle(), {object});
    documentPath.clear();

    // The row is selected while the form is not ready, so the canvas is told here.
    on_AddItem(0, object.displayImage);
    ui->widget->selectById(object.id);
    pageLayout->setCurrentIndex(kEditPage);
}

void GlyphoraForm::on_backButton_clicked()
{
    const bool changed = !model->undoStack()->isClean();
    if (!maybeSaveChanges())
        return;
    // Changes the user chose to discard go now; saved or unchanged objects stay until
    // edit mode is entered again.
    if (changed && !model->undoStack()->isClean()) {
        model->reset(model->iconStyle(), {});
        documentPath.clear();
    }
    // The preview comes from the picture decoded when it was opened.
    if (sourcePath.isEmpty())
        showNoSource();
    else
        showSourcePreview();
    pageLayout->setCurrentIndex(kSourcePage);
}

bool GlyphoraForm::maybeSaveChanges()
{
    if (model->undoStack()->isClean())
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Glyphora"), tr("Save changes to the composition?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: {
        const QString path = documentPath.isEmpty() ? askCompositionSavePath() : documentPath;
        return !path.isEmpty() && saveComposition(path);
    }
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void GlyphoraForm::on_helpButton_clicked()
{
    auto* dialog = new GlyphoraHelpDialog(this);
    // Closed by its frame or Escape it would otherwise stay hidden until the form goes.
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->exec();
}
