#include "glyphoraform.h"
#include "ui_glyphoraform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QStackedLayout>
#include <QtDebug>

#include "ico/icoencoder.h"
#include "kvglobal.h"
#include "picture/picturetypes.h"
#include "picture/sourceimage.h"

namespace {

constexpr int kSourcePage = 0;
constexpr int kEditPage = 1;

// An SVG source is previewed at this side; a raster picture larger than kLargePreview on
// either axis is cut down to this side on its longer axis.
constexpr int kPreviewSide = 256;
constexpr int kLargePreview = 1024;

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

    ui->loadButton->hide();
    ui->convertButton->hide();
    ui->editButton->hide();

    ready = true;
    updateThemeIcons();
}

GlyphoraForm::~GlyphoraForm()
{
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
    // Once a source is loaded the button shows its preview instead.
    if (sourcePath.isEmpty())
        ui->sourceImageButton->setIcon(QIcon(iconResource("_AddImageWhite256.png", "_AddImageBlack256.png")));
}

QString GlyphoraForm::proposedIconPath(const QString& folder, const QString& sourcePath)
{
    QString name = QFileInfo(sourcePath).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    name += QStringLiteral(".ico");
    return QDir::toNativeSeparators(QDir(folder).filePath(name));
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

    // A file that is not there leaves the current source, whose preview is rebuilt.
    if (QFileInfo(path).isFile())
        sourcePath = path;
    if (sourcePath.isEmpty()) {
        showNoSource();
        return;
    }

    QPixmap preview;
    if (SourceImage::isSvgPath(sourcePath)) {
        QImage image;
        if (KvGlobal::rasterizeSvg(sourcePath, kPreviewSide, kPreviewSide, image))
            preview = QPixmap::fromImage(image);
    } else {
        preview = QPixmap(sourcePath);
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
        showNoSource();
        return;
    }
    showSourcePreview(preview);
}

void GlyphoraForm::showSourcePreview(const QPixmap& preview)
{
    ui->sourceImageButton->setIcon(QIcon(preview));
    ui->sourceLabel->hide();
    ui->loadButton->show();
    ui->convertButton->show();
    ui->editButton->show();
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
        if (IcoEncoder::writeIcoFromSourceFile(sourcePath, iconPath))
            showIconCreatedBox(iconPath);
    }
    settings.endGroup();
}

void GlyphoraForm::showIconCreatedBox(const QString& iconPath)
{
    QMessageBox box;
    box.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(tr("Create Icon File"));
    box.setText(tr("The Icon file have been successfully created."));
    box.setStandardButtons(QMessageBox::Ok);
    QPushButton* openFolder = box.addButton(tr("Open Folder"), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() == openFolder)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(iconPath).dir().path()));
}

void GlyphoraForm::on_editButton_clicked()
{
    ready = false;
    pageLayout->setCurrentIndex(kEditPage);
    ready = true;
}

void GlyphoraForm::on_backButton_clicked()
{
    pageLayout->setCurrentIndex(kSourcePage);
}
