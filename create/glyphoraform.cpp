#include "glyphoraform.h"
#include "successbox.h"
#include "ui_glyphoraform.h"

#include <QDir>
#include <QFileDialog>
#include <QFutureWatcher>
#include <QFileInfo>
#include <QImageWriter>
#include <QListWidgetItem>
#include <QMessageBox>
#include <QPixmap>
#include <QSaveFile>
#include <QSettings>
#include <QSpinBox>
#include <QStackedLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <QtDebug>

#include "exportpngdialog.h"
#include "glyphorahelpdialog.h"
#include "glyphorawidget.h"
#include "ico/exportnames.h"
#include "ico/icoencoder.h"
#include "kvglobal.h"
#include "picture/picturetypes.h"
#include "picture/sourceimage.h"
#include "render/compositiondocument.h"
#include "render/pngexport.h"

namespace {

constexpr int kSourcePage = 0;
constexpr int kEditPage = 1;

// An SVG source is previewed at this side; a raster picture larger than kLargePreview on
// either axis is cut down to this side on its longer axis.
constexpr int kPreviewSide = 256;
constexpr int kLargePreview = 1024;

// An SVG source becomes the first canvas object rasterised at this side.
constexpr int kSvgObjectSide = 1024;
// The hidden thumbnail of the selected object.
constexpr int kThumbnailSide = 128;
// Output combo entries.
constexpr int kOutputWindows = 0;

// The object boxes reach as far as a composition document may place, scale and turn an
// object: a drag or a drop near an edge leaves an object at a negative position, and the
// wheel scales past 100 %.  Typing cannot hide an object (a scale of 0 or below draws
// nothing), so the size box starts at 1.
constexpr int kMinTypedScale = 1;

// Clears a ready flag for the lifetime of the guard and gives back the value it had, so
// that changes made to the controls meanwhile are not fed back into the canvas.
class NotReady
{
public:
    explicit NotReady(bool& flag)
        : flag(flag)
        , previous(flag)
    {
        flag = false;
    }
    ~NotReady() { flag = previous; }

private:
    bool& flag;
    bool previous;
};

QString iconResource(const char* dark, const char* light)
{
    return QStringLiteral(":/resources/images/") + QLatin1String(KvGlobal::isDarkColorScheme() ? dark : light);
}

QSettings pathSettings()
{
    return QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora"));
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

    setUpEditPage();

    ui->loadButton->hide();
    ui->convertButton->hide();
    ui->editButton->hide();

    ready = true;
    updateThemeIcons();
}

GlyphoraForm::~GlyphoraForm()
{
    QSettings settings = pathSettings();
    iconStyle.canvasSize = ui->canvasSizeComboBox->currentIndex() + 1;
    iconStyle.save(settings);
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

// ---- Edit page: construction and the icon style --------------------------------------

void GlyphoraForm::setUpEditPage()
{
    ui->shapeComboBox->addItems({tr("Rectangle"), tr("Rounded Rectangle"), tr("Circle")});
    ui->backStyleComboBox->addItems({tr("Solid"), tr("Gradient")});
    ui->backOrientationComboBox->addItems({tr("Top - Down"), tr("Down - Top"), tr("Left - Right"),
                                           tr("Right - Left"), tr("TopLeft - DownRight"), tr("TopRight - DownLeft"),
                                           tr("DownLeft - TopRight"), tr("DownRight - TopLeft")});
    ui->badgeOrientationComboBox->addItems({tr("Diagonal"), tr("Horizontal")});
    ui->outputComboBox->addItems({tr("Windows"), tr("PNG Files")});
    // Filling this one runs its slot, which gives the canvas its first size.
    ui->canvasSizeComboBox->addItems({tr("256x256"), tr("512x512"), tr("1024x1024")});

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
    connect(ui->listWidget, SIGNAL(itemSelectionChanged()), this, SLOT(on_ListWidget_itemSelectionChanged()));
    connect(ui->listWidget, SIGNAL(itemMoved(int,int)), this, SLOT(on_ListWidget_itemMoved(int,int)));
    connect(ui->listWidget, SIGNAL(needToMoveitem(int,int)), this, SLOT(on_ListWidget_needToMoveitem(int,int)));

    loadIconStyle();
}

void GlyphoraForm::loadIconStyle()
{
    QSettings settings = pathSettings();
    iconStyle.load(settings);
    pushStyleIntoControls();
}

// The slots are connected while this runs, so every control hands its value back to the
// record: a stored value outside a control's range ends up clamped in both.  Visibility
// is set by hand too, since setting a control to the value it has emits nothing.
void GlyphoraForm::pushStyleIntoControls()
{
    // Copies first: each control's slot writes its own field back as soon as it is set.
    const IconStyle stored = iconStyle;

    ui->shapeComboBox->setCurrentIndex(stored.shape);
    const bool rounded = ui->shapeComboBox->currentIndex() == IconStyle::RoundedRectangle;
    ui->radiusLabel->setVisible(rounded);
    ui->radiusSpinBox->setVisible(rounded);
    ui->radiusSpinBox->setValue(stored.radius);

    ui->backCheckBox->setChecked(stored.useBackground);
    ui->backGroupBox->setVisible(stored.useBackground);
    ui->backStyleComboBox->setCurrentIndex(stored.backStyle);
    on_backStyleComboBox_currentIndexChanged(ui->backStyleComboBox->currentIndex());
    ui->backOrientationComboBox->setCurrentIndex(stored.backOrientation);

    on_ColorUpdated1(stored.backColor1);
    on_ColorUpdated2(stored.backColor2);
    ui->_3dEffectCheckBox->setChecked(stored.useBack3dEffect);
    ui->borderCheckBox->setChecked(stored.useBorder);
    on_BorderColorUpdated(stored.borderColor);
    ui->borderWidthSpinBox->setValue(stored.borderWidth);
    ui->borderGroupBox->setVisible(stored.useBorder);

    ui->glossyCheckBox->setChecked(stored.useGlossy);
    ui->badgeCheckBox->setChecked(stored.useBadge);
    ui->badgeGroupBox->setVisible(stored.useBadge);

    ui->badgeTextLineEdit->setText(stored.badgeText);
    on_BadgeTextColorUpdated(stored.badgeTextColor);
    ui->badgeTextSizeSpinBox->setValue(stored.badgeTextSize);
    ui->badgeFontComboBox->setCurrentFont(stored.badgeTextFont);
    on_BadgeBackColorUpdated(stored.badgeBackColor);
    on_BadgeBorderColorUpdated(stored.badgeBorderColor);
    ui->badgeLineWidthSpinBox->setValue(stored.badgeLineWidth);

    iconStyle.badgeOrientationHorizontal = stored.badgeOrientationHorizontal;
    iconStyle.badgeOrientationDiagonal = stored.badgeOrientationDiagonal;
    ui->badgeOrientationComboBox->setCurrentIndex(stored.badgeOrientation);
    iconStyle.badgeOrientation = ui->badgeOrientationComboBox->currentIndex();
    refillBadgePositions();

    ui->canvasSizeComboBox->setCurrentIndex(stored.canvasSize - 1);
    ui->clipImageCheckBox->setChecked(stored.clipImage);

    // What the controls took is what the record holds: a combo keeps its entry when asked
    // for one it does not have, and a check box set to its own state emits nothing.
    iconStyle.shape = ui->shapeComboBox->currentIndex();
    iconStyle.radius = ui->radiusSpinBox->value();
    iconStyle.useBackground = ui->backCheckBox->isChecked();
    iconStyle.backStyle = ui->backStyleComboBox->currentIndex();
    iconStyle.backOrientation = ui->backOrientationComboBox->currentIndex();
    iconStyle.useBack3dEffect = ui->_3dEffectCheckBox->isChecked();
    iconStyle.useBorder = ui->borderCheckBox->isChecked();
    iconStyle.borderWidth = ui->borderWidthSpinBox->value();
    iconStyle.useGlossy = ui->glossyCheckBox->isChecked();
    iconStyle.clipImage = ui->clipImageCheckBox->isChecked();
    iconStyle.useBadge = ui->badgeCheckBox->isChecked();
    iconStyle.badgeTextSize = ui->badgeTextSizeSpinBox->value();
    iconStyle.badgeLineWidth = ui->badgeLineWidthSpinBox->value();
    iconStyle.canvasSize = ui->canvasSizeComboBox->currentIndex() + 1;
    measureBadgeText();
    ui->widget->update();
}

void GlyphoraForm::refillBadgePositions()
{
    {
        NotReady notReady(ready);
        ui->badgePositionComboBox->clear();
        if (iconStyle.badgeOrientation == IconStyle::Horizontal) {
            ui->badgePositionComboBox->addItems({tr("Bottom"), tr("Top")});
            ui->badgePositionComboBox->setCurrentIndex(iconStyle.badgeOrientationHorizontal);
        } else {
            ui->badgePositionComboBox->addItems({tr("Top Left"), tr("Top Right"), tr("Bottom Left"), tr("Bottom Right")});
            ui->badgePositionComboBox->setCurrentIndex(iconStyle.badgeOrientationDiagonal);
        }
    }
    ready = true;
}

void GlyphoraForm::measureBadgeText()
{
    qDebug() << "textSizeIndex: " << iconStyle.textSizeFactor();
    iconStyle.measureBadgeText();
    // The hidden label carries the text as measured, for whoever looks at the form.
    ui->tempLabel->setFont(iconStyle.badgeTextFont);
    ui->tempLabel->setText(iconStyle.badgeText);
}

void GlyphoraForm::on_shapeComboBox_currentIndexChanged(int index)
{
    iconStyle.shape = index;
    const bool rounded = index == IconStyle::RoundedRectangle;
    ui->radiusLabel->setVisible(rounded);
    ui->radiusSpinBox->setVisible(rounded);
    ui->widget->update();
}

void GlyphoraForm::on_radiusSpinBox_valueChanged(int arg1)
{
    iconStyle.radius = arg1;
    ui->widget->update();
}

void GlyphoraForm::on_backCheckBox_clicked()
{
    iconStyle.useBackground = ui->backCheckBox->isChecked();
    ui->backGroupBox->setVisible(iconStyle.useBackground);
    ui->widget->update();
}

void GlyphoraForm::on_backStyleComboBox_currentIndexChanged(int index)
{
    iconStyle.backStyle = index;
    const bool gradient = index == IconStyle::Gradient;
    ui->backColor2Label->setVisible(gradient);
    ui->backColor2Widget->setVisible(gradient);
    ui->backOrientationLabel->setVisible(gradient);
    ui->backOrientationComboBox->setVisible(gradient);
    ui->widget->update();
}

void GlyphoraForm::on_backOrientationComboBox_currentIndexChanged(int index)
{
    iconStyle.backOrientation = index;
    ui->widget->update();
}

void GlyphoraForm::on_ColorUpdated1(QColor color)
{
    ui->backColor1Widget->setColor(color);
    iconStyle.backColor1 = color;
    ui->widget->update();
}

void GlyphoraForm::on_ColorUpdated2(QColor color)
{
    ui->backColor2Widget->setColor(color);
    iconStyle.backColor2 = color;
    ui->widget->update();
}

void GlyphoraForm::on__3dEffectCheckBox_clicked()
{
    iconStyle.useBack3dEffect = ui->_3dEffectCheckBox->isChecked();
    ui->widget->update();
}

void GlyphoraForm::on_borderCheckBox_clicked()
{
    iconStyle.useBorder = ui->borderCheckBox->isChecked();
    ui->borderGroupBox->setVisible(iconStyle.useBorder);
    ui->widget->update();
}

void GlyphoraForm::on_BorderColorUpdated(QColor color)
{
    ui->borderColorWidget->setColor(color);
    iconStyle.borderColor = color;
    ui->widget->update();
}

void GlyphoraForm::on_borderWidthSpinBox_valueChanged(int arg1)
{
    iconStyle.borderWidth = arg1;
    ui->widget->update();
}

void GlyphoraForm::on_glossyCheckBox_clicked()
{
    iconStyle.useGlossy = ui->glossyCheckBox->isChecked();
    ui->widget->update();
}

void GlyphoraForm::on_clipImageCheckBox_clicked()
{
    iconStyle.clipImage = ui->clipImageCheckBox->isChecked();
    ui->widget->update();
}

void GlyphoraForm::on_badgeCheckBox_clicked()
{
    iconStyle.useBadge = ui->badgeCheckBox->isChecked();
    ui->badgeGroupBox->setVisible(iconStyle.useBadge);
    ui->widget->update();
}

void GlyphoraForm::on_badgeTextLineEdit_textChanged(const QString&)
{
    iconStyle.badgeText = ui->badgeTextLineEdit->text();
    measureBadgeText();
    ui->widget->update();
}

void GlyphoraForm::on_BadgeTextColorUpdated(QColor color)
{
    ui->badgeTextColorWidget->setColor(color);
    iconStyle.badgeTextColor = color;
    ui->widget->update();
}

void GlyphoraForm::on_badgeTextSizeSpinBox_valueChanged(int arg1)
{
    iconStyle.badgeTextSize = arg1;
    iconStyle.badgeTextFont.setWeight(QFont::Bold);
    measureBadgeText();
    ui->widget->update();
}

void GlyphoraForm::on_badgeFontComboBox_currentFontChanged(const QFont&)
{
    iconStyle.badgeTextFont = ui->badgeFontComboBox->currentFont();
    iconStyle.badgeTextFont.setWeight(QFont::Bold);
    measureBadgeText();
    ui->widget->update();
}

void GlyphoraForm::on_BadgeBackColorUpdated(QColor color)
{
    ui->badgeBackColorWidget->setColor(color);
    iconStyle.badgeBackColor = color;
    ui->widget->update();
}

void GlyphoraForm::on_BadgeBorderColorUpdated(QColor color)
{
    ui->badgeBorderColorWidget->setColor(color);
    iconStyle.badgeBorderColor = color;
    ui->widget->update();
}

void GlyphoraForm::on_badgeLineWidthSpinBox_valueChanged(int arg1)
{
    iconStyle.badgeLineWidth = arg1;
    ui->widget->update();
}

void GlyphoraForm::on_badgeOrientationComboBox_currentIndexChanged(int index)
{
    iconStyle.badgeOrientation = index;
    refillBadgePositions();
    ui->widget->update();
}

void GlyphoraForm::on_badgePositionComboBox_currentIndexChanged(int index)
{
    // Refilling the combo passes through other indexes; only the user's choice counts.
    if (!ready || index < 0)
        return;
    if (iconStyle.badgeOrientation == IconStyle::Horizontal)
        iconStyle.badgeOrientationHorizontal = index;
    else
        iconStyle.badgeOrientationDiagonal = index;
    ui->widget->update();
}

// ---- Edit page: entering and leaving -------------------------------------------------

void GlyphoraForm::on_editButton_clicked()
{
    NotReady notReady(ready);
    qDebug() << "on_editButton_clicked";

    // The canvas's selection is an index into the list about to be emptied.
    ui->widget->selectByName(QStringLiteral("-1"));
    imageDataList.clear();
    ui->listWidget->dragItem = nullptr;
    ui->listWidget->clear();

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
    imageDataList.append(object);

    on_AddItem(0, object.displayImage);
    // The row is selected while the form is not ready, so the canvas is told here.
    ui->widget->selectByName(object.name());
    pageLayout->setCurrentIndex(kEditPage);
}

void GlyphoraForm::on_backButton_clicked()
{
    // The objects stay until edit mode is entered again.  The preview comes from the
    // picture decoded when it was opened.
    if (sourcePath.isEmpty())
        showNoSource();
    else
        showSourcePreview();
    pageLayout->setCurrentIndex(kSourcePage);
}

// ---- Edit page: objects and their list -------------------------------------------------

void GlyphoraForm::on_AddItem(int imageDataIndex, QImage image)
{
    if (imageDataIndex < 0 || imageDataIndex >= imageDataList.size())
        return;
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(image)), imageDataList.at(imageDataIndex).name());
    ui->listWidget->insertItem(0, item);
    ui->listWidget->setCurrentItem(item);
    on_ItemSelected(imageDataIndex);
    ui->dropImageLabel->hide();
}

void GlyphoraForm::on_ItemSelected(int imageDataIndex)
{
    if (imageDataIndex < 0 || imageDataIndex >= imageDataList.size())
        return;
    const ImageData& object = imageDataList.at(imageDataIndex);
    {
        NotReady notReady(ready);
        const QList<QListWidgetItem*> rows =
            ui->listWidget->findItems(object.name(), Qt::MatchFixedString);  // any case
        if (!rows.isEmpty()) {
            ui->listWidget->setCurrentItem(rows.constFirst());
            ui->listWidget->dragItem = rows.constFirst();
        }

        ui->selectedImageLabel->setPixmap(QPixmap::fromImage(object.image.scaled(
            kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::FastTransformation)));
        ui->selectedImageNameLabel->setText(object.name());
        ui->positionXSpinBox->setValue(object.position.x());
        ui->positionYSpinBox->setValue(object.position.y());
        ui->sizeSpinBox->setValue(object.scale);
        // The box would otherwise show the last object's angle and a step of its arrows
        // would turn this object to that angle.
        ui->rotateSpinBox->setValue(object.rotation);

        setRowButtons(ui->listWidget->currentRow());
        setObjectControlsVisible(true);
    }
    ready = true;
}

void GlyphoraForm::on_itemMoved(int imageDataIndex)
{
    if (imageDataIndex < 0 || imageDataIndex >= imageDataList.size())
        return;
    NotReady notReady(ready);
    ui->positionXSpinBox->setValue(imageDataList.at(imageDataIndex).position.x());
    ui->positionYSpinBox->setValue(imageDataList.at(imageDataIndex).position.y());
}

void GlyphoraForm::on_itemScaled(int imageDataIndex)
{
    if (imageDataIndex < 0 || imageDataIndex >= imageDataList.size())
        return;
    NotReady notReady(ready);
    ui->sizeSpinBox->setValue(imageDataList.at(imageDataIndex).scale);
}

void GlyphoraForm::on_itemRotated(int imageDataIndex)
{
    if (imageDataIndex < 0 || imageDataIndex >= imageDataList.size())
        return;
    NotReady notReady(ready);
    ui->rotateSpinBox->setValue(imageDataList.at(imageDataIndex).rotation);
}

// Each box changes only its own coordinate: the other is the object's own, not what the
// other box shows, which may have been clamped or not refreshed.
void GlyphoraForm::on_positionXSpinBox_valueChanged(int arg1)
{
    const int index = ui->widget->selectedIndex();
    if (ready && index >= 0 && index < imageDataList.size())
        ui->widget->setPosition(arg1, imageDataList.at(index).position.y());
}

void GlyphoraForm::on_positionYSpinBox_valueChanged(int arg1)
{
    const int index = ui->widget->selectedIndex();
    if (ready && index >= 0 && index < imageDataList.size())
        ui->widget->setPosition(imageDataList.at(index).position.x(), arg1);
}

void GlyphoraForm::on_sizeSpinBox_valueChanged(int arg1)
{
    if (ready)
        ui->widget->setScale(arg1);
}

void GlyphoraForm::on_rotateSpinBox_valueChanged(int arg1)
{
    if (ready)
        ui->widget->setRotation(arg1);
}

void GlyphoraForm::setObjectControlsVisible(bool visible)
{
    QWidget* controls[] = {ui->positionLabel, ui->positionXSpinBox, ui->commaLabel, ui->positionYSpinBox,
                           ui->sizeLabel,     ui->sizeSpinBox,      ui->percentLabel, ui->rotateLabel,
                           ui->rotateSpinBox};
    for (QWidget* control : controls)
        control->setVisible(visible);
    ui->objectNoteLabel->setVisible(!visible);
}

void GlyphoraForm::setRowButtons(int row)
{
    const bool any = row >= 0;
    ui->upToolButton->setEnabled(any && row >= 1);
    ui->downToolButton->setEnabled(any && row < ui->listWidget->count() - 1);
    ui->deleteToolButton->setEnabled(any);
}

void GlyphoraForm::on_ListWidget_itemSelectionChanged()
{
    if (!ready)
        return;
    const QList<QListWidgetItem*> selected = ui->listWidget->selectedItems();
    if (selected.isEmpty()) {
        setRowButtons(-1);
        return;
    }
    QListWidgetItem* first = selected.constFirst();
    ui->listWidget->dragItem = first;
    ui->widget->selectByName(first->text());
    setRowButtons(ui->listWidget->row(first));
}

void GlyphoraForm::moveObjectForRows(int oldRow, int newRow)
{
    const int count = int(imageDataList.size());
    const int from = count - 1 - oldRow;
    const int to = count - 1 - newRow;
    if (from < 0 || from >= count || to < 0 || to >= count)
        return;
    imageDataList.move(from, to);
}

// The canvas keeps its selection as an index, which a reorder leaves on another object:
// select the row's object again by name.
void GlyphoraForm::selectRowObject(int row)
{
    QListWidgetItem* item = ui->listWidget->item(row);
    if (!item)
        return;
    ui->listWidget->dragItem = item;
    ui->widget->selectByName(item->text());
    ui->widget->update();
}

void GlyphoraForm::moveSelectedRow(int step)
{
    const int row = ui->listWidget->currentRow();
    const int newRow = row + step;
    if (row < 0 || newRow < 0 || newRow >= ui->listWidget->count())
        return;
    {
        NotReady notReady(ready);
        QListWidgetItem* item = ui->listWidget->takeItem(row);
        ui->listWidget->insertItem(newRow, item);
        ui->listWidget->setCurrentItem(item);
        moveObjectForRows(row, newRow);
        selectRowObject(newRow);
        setRowButtons(newRow);
    }
    ready = true;
}

void GlyphoraForm::on_upToolButton_clicked()
{
    moveSelectedRow(-1);
}

void GlyphoraForm::on_downToolButton_clicked()
{
    moveSelectedRow(+1);
}

void GlyphoraForm::on_ListWidget_itemMoved(int oldPos, int newPos)
{
    // The list moves the row itself once this returns; only the objects move here.
    QListWidgetItem* item = ui->listWidget->item(oldPos);
    if (!item)
        return;
    {
        NotReady notReady(ready);
        moveObjectForRows(oldPos, newPos);
        ui->widget->selectByName(item->text());
        ui->widget->update();
        setRowButtons(newPos);
    }
    ready = true;
}

void GlyphoraForm::on_ListWidget_needToMoveitem(int oldPos, int newPos)
{
    const int count = ui->listWidget->count();
    if (oldPos < 0 || oldPos >= count || newPos < 0 || newPos >= count)
        return;
    {
        NotReady notReady(ready);
        QListWidgetItem* item = ui->listWidget->takeItem(oldPos);
        ui->listWidget->insertItem(newPos, item);
        for (int row : {oldPos, oldPos + 1}) {
            if (QListWidgetItem* other = ui->listWidget->item(row))
                other->setSelected(false);
        }
        ui->listWidget->setCurrentItem(item);
        moveObjectForRows(oldPos, newPos);
        selectRowObject(newPos);
        setRowButtons(newPos);
    }
    ready = true;
}

void GlyphoraForm::on_deleteToolButton_clicked()
{
    {
        NotReady notReady(ready);
        const QList<QListWidgetItem*> selected = ui->listWidget->selectedItems();
        // The canvas's selection is an index into the list about to shrink.
        ui->widget->selectByName(QStringLiteral("-1"));
        for (QListWidgetItem* item : selected) {
            const QString name = item->text();
            imageDataList.removeIf([&name](const ImageData& object) {
                return object.name().compare(name, Qt::CaseInsensitive) == 0;
            });
            if (ui->listWidget->dragItem == item)
                ui->listWidget->dragItem = nullptr;
            delete ui->listWidget->takeItem(ui->listWidget->row(item));
        }
        // Nothing is selected on the canvas now; the list says the same.
        ui->listWidget->clearSelection();
        setObjectControlsVisible(false);
        setRowButtons(-1);
        ui->widget->update();
        if (ui->listWidget->count() == 0)
            ui->dropImageLabel->show();
    }
    ready = true;
}

void GlyphoraForm::on_helpButton_clicked()
{
    auto* dialog = new GlyphoraHelpDialog(this);
    // Closed by its frame or Escape it would otherwise stay hidden until the form goes.
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->exec();
}

// ---- Edit page: canvas size ------------------------------------------------------------

void GlyphoraForm::on_canvasSizeComboBox_currentIndexChanged(int index)
{
    if (index < 0)
        return;
    {
        NotReady notReady(ready);
        iconStyle.canvasSize = index + 1;
        measureBadgeText();
        ui->widget->setCanvasSizeIndex(index + 1);
        keepObjectsReachable();
    }
    ready = true;
}

// After a canvas-size change an object keeps its pixel position, unless on an axis its
// top-left lies beyond the new icon side I (256, 512 or 1024): then it moves back by its
// own extent, so that its far edge sits on I (never past 0); an object wholly left of or
// above the canvas comes to 0 on that axis.  A top-left at most I lies at least C - I
// (44, 88 or 176) pixels inside the C x C canvas, so every object can be pressed again.
void GlyphoraForm::keepObjectsReachable()
{
    if (imageDataList.isEmpty())
        return;
    const int bound = ui->widget->iconSide();
    const auto pulledBack = [bound](int at, int extent) {
        if (at > bound)
            return qMax(0, bound - extent);
        if (at + extent <= 0)
            return 0;
        return at;
    };

    const QListWidgetItem* current = ui->listWidget->currentItem();
    const QString currentName = current && current->isSelected() ? current->text() : QString();
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const QString name = ui->listWidget->item(row)->text();
        ui->widget->selectByName(name);
        const int index = ui->widget->selectedIndex();
        if (index < 0 || index >= imageDataList.size())
            continue;
        const ImageData& object = imageDataList.at(index);
        ui->widget->setPosition(pulledBack(object.position.x(), object.rect.width()),
                                pulledBack(object.position.y(), object.rect.height()));
    }

    // Walking the rows selected each object in turn; give the user's selection back.
    if (!currentName.isEmpty()) {
        ui->widget->selectByName(currentName);
    } else {
        ui->widget->selectByName(QStringLiteral("-1"));
        ui->listWidget->clearSelection();
        setObjectControlsVisible(false);
        setRowButtons(-1);
    }
}

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

void GlyphoraForm::on_saveCompositionButton_clicked()
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
    if (!path.isEmpty()) {
        settings.setValue(QStringLiteral("folderPathComposition"), QFileInfo(path).absolutePath());
        saveComposition(path);
    }
    settings.endGroup();
}

void GlyphoraForm::on_openCompositionButton_clicked()
{
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
    if (!CompositionDocument::save(path, iconStyle, imageDataList, &error)) {
        QMessageBox::warning(this, tr("Save Composition"),
                             tr("The composition could not be saved: %1").arg(error));
        return false;
    }
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
    NotReady notReady(ready);
    // The canvas's selection is an index into the list about to be replaced.
    ui->widget->selectByName(QStringLiteral("-1"));
    imageDataList.clear();
    ui->listWidget->dragItem = nullptr;
    ui->listWidget->clear();

    // The controls hand each value back to the style as they are set; the canvas size
    // among them resizes the canvas (with no objects on it to move).
    iconStyle = document.style;
    pushStyleIntoControls();
    ui->widget->setCanvasSizeIndex(iconStyle.canvasSize);

    imageDataList = document.objects;
    // The list shows the objects in reverse drawing order, the topmost in row 0.
    for (const ImageData& object : std::as_const(imageDataList))
        ui->listWidget->insertItem(0, new QListWidgetItem(QIcon(QPixmap::fromImage(object.displayImage)), object.name()));
    ui->listWidget->clearSelection();
    ui->listWidget->setCurrentItem(nullptr);
    setObjectControlsVisible(false);
    setRowButtons(-1);
    ui->dropImageLabel->setVisible(imageDataList.isEmpty());
    pageLayout->setCurrentIndex(kEditPage);
    ui->widget->update();
}
