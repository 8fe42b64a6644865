#include <QtTest>

#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QToolButton>

#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QProcess>

#include <sys/resource.h>

#include "dragdrop.h"
#include "create/glyphoraform.h"
#include "render/composition.h"
#include "editor/glyphorawidget.h"
#include "kvglobal.h"
#include "modalwatch.h"
#include "requirechild.h"

// The Create tab's source page and direct road, driven as a user would: pictures dropped
// on the frame as real drags, buttons clicked, the file dialogs and the message box
// answered while they run.
class TestGlyphoraForm : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void openedUrl(const QUrl& url) { openedUrls << url; }

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void preview_data();
    void preview();
    void unloadableAfterGoodReturnsToEmptyPage();
    void missingFileKeepsSource();

    void proposedIconPath_data();
    void proposedIconPath();

    void directRoad();
    void directRoadCancelled();
    void writeFailureNamesFile_data();
    void writeFailureNamesFile();
    void pictureDecodedOnce();
    void storedIconFolderIsProposed();

    void openDialogStartsInHomeThenRemembers();
    void openDialogFallsBackToPictures();
    void openDialogCancelledChangesNothing();

    void themeIcons();
    void editPageAndBack();
    void compositionSavedOpenedAndComposed();
    void badCompositionChangesNothing_data();
    void badCompositionChangesNothing();
    void saveCompositionAsksBeforeReplacing_data();
    void saveCompositionAsksBeforeReplacing();
    void laterOpenWins();

private:
    // Calls handler with the first modal dialog of type T that comes up, then closes it
    // if the handler left it open.  Gives up after a few seconds so that a missing dialog
    // fails the test instead of hanging it.
    template <typename T>
    void whenModal(std::function<void(T*)> handler);
    void dropFiles(const QList<QUrl>& urls);
    QString file(const QString& name) const { return dir.filePath(name); }
    static void writePng(const QString& path, int width, int height);
    static QImage iconImage(const QIcon& icon, int side);
    static QImage resourceImage(const QString& name);

    QTemporaryDir dir;
    GlyphoraForm* form = nullptr;
    const QList<ImageData>& objects() const { return form->composition()->imageDataList(); }
    const IconStyle& style() const { return form->composition()->iconStyle(); }
    QList<QUrl> openedUrls;

    template <typename T>
    T* child(const char* name) const
    {
        return requireChild<T>(form, name);
    }
};

void TestGlyphoraForm::writePng(const QString& path, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(40, 120, 220));
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, QColor(250, 200, 0));
    painter.end();
    QVERIFY(image.save(path, "PNG"));
}

// Both sides premultiplied: a pixmap keeps no colour under fully transparent pixels.
QImage TestGlyphoraForm::iconImage(const QIcon& icon, int side)
{
    return icon.pixmap(QSize(side, side)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage TestGlyphoraForm::resourceImage(const QString& name)
{
    return QImage(QStringLiteral(":/resources/images/") + name).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void TestGlyphoraForm::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkpath(QDir::homePath()));
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openedUrl");

    writePng(file("logo.final.png"), 2000, 1000);
    writePng(file("tall.png"), 1000, 3000);
    writePng(file("small.png"), 100, 100);
    writePng(file("medium.png"), 600, 1000);
    writePng(file(".png"), 64, 64);
    QFile svg(file("logo.SVG"));
    QVERIFY(svg.open(QIODevice::WriteOnly));
    svg.write("<svg xmlns='http://www.w3.org/2000/svg' width='100' height='50'>"
              "<rect width='100' height='50' fill='#e04020'/></svg>");
    svg.close();
    QFile text(file("notes.png"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("this is not a picture\n");
    text.close();
    QFile badSvg(file("broken.svg"));
    QVERIFY(badSvg.open(QIODevice::WriteOnly));
    badSvg.write("<svg xmlns='http://www.w3.org/2000/svg'");
    badSvg.close();
    QVERIFY(QDir(dir.path()).mkdir("out"));
}

void TestGlyphoraForm::init()
{
    QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora")).clear();
    QApplication::setPalette(QApplication::style()->standardPalette());
    openedUrls.clear();
    form = new GlyphoraForm(nullptr);
    form->resize(900, 500);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
}

void TestGlyphoraForm::cleanup()
{
    delete form;
    form = nullptr;
}

template <typename T>
void TestGlyphoraForm::whenModal(std::function<void(T*)> handler)
{
    ::whenModal<T>(form, handler);
}

void TestGlyphoraForm::dropFiles(const QList<QUrl>& urls)
{
    ::dropFiles(child<QWidget>("sourceFrame"), urls);
}

void TestGlyphoraForm::preview_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("previewSize");

    QTest::newRow("2000 x 1000 to width 256") << "logo.final.png" << QSize(256, 128);
    QTest::newRow("1000 x 3000 to height 256") << "tall.png" << QSize(85, 256);
    QTest::newRow("600 x 1000 kept") << "medium.png" << QSize(600, 1000);
    QTest::newRow("100 x 100 not enlarged") << "small.png" << QSize(100, 100);
    QTest::newRow("svg of 100 x 50 at 256 x 256") << "logo.SVG" << QSize(256, 256);
    QTest::newRow("text named .png") << "notes.png" << QSize();
    QTest::newRow("broken svg") << "broken.svg" << QSize();
}

void TestGlyphoraForm::preview()
{
    QFETCH(QString, name);
    QFETCH(QSize, previewSize);

    dropFiles({QUrl::fromLocalFile(file(name)), QUrl::fromLocalFile(file("small.png"))});

    auto* button = child<QToolButton>("sourceImageButton");
    const bool loaded = previewSize.isValid();
    if (loaded)
        QCOMPARE(button->icon().availableSizes().value(0), previewSize);
    else
        QCOMPARE(iconImage(button->icon(), 256), resourceImage("_AddImageBlack256.png"));
    QCOMPARE(child<QLabel>("sourceLabel")->isVisible(), !loaded);
    QCOMPARE(child<QPushButton>("loadButton")->isVisible(), loaded);
    QCOMPARE(child<QPushButton>("convertButton")->isVisible(), loaded);
    QCOMPARE(child<QPushButton>("editButton")->isVisible(), loaded);
}

void TestGlyphoraForm::unloadableAfterGoodReturnsToEmptyPage()
{
    dropFiles({QUrl::fromLocalFile(file("logo.final.png"))});
    QVERIFY(child<QPushButton>("convertButton")->isVisible());

    // The page must not keep showing the old picture beside "Drop Image File here".
    dropFiles({QUrl::fromLocalFile(file("notes.png"))});
    QVERIFY(child<QLabel>("sourceLabel")->isVisible());
    QVERIFY(!child<QPushButton>("convertButton")->isVisible());
    QCOMPARE(iconImage(child<QToolButton>("sourceImageButton")->icon(), 256), resourceImage("_AddImageBlack256.png"));
}

void TestGlyphoraForm::missingFileKeepsSource()
{
    dropFiles({QUrl::fromLocalFile(file("logo.final.png"))});
    // Missing files are refused by the drag filter, so hand the URL on as a drop would.
    form->on_AddURLs({QUrl::fromLocalFile(file("gone.png"))});
    QCOMPARE(child<QToolButton>("sourceImageButton")->icon().availableSizes().value(0), QSize(256, 128));
    QVERIFY(child<QPushButton>("convertButton")->isVisible());

    form->on_AddURLs({});
    QVERIFY(child<QPushButton>("convertButton")->isVisible());
}

void TestGlyphoraForm::proposedIconPath_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expectedName");

    QTest::newRow("inner dots kept") << "/pics/logo.final.png" << "logo.final.ico";
    QTest::newRow("name that is only a suffix") << "/pics/.png" << ".png.ico";
    QTest::newRow("no suffix") << "/pics/logo" << "logo.ico";
    QTest::newRow("svg") << "/pics/Logo.SVG" << "Logo.ico";
    QTest::newRow("trailing dot") << "/pics/logo." << "logo.ico";
}

void TestGlyphoraForm::proposedIconPath()
{
    QFETCH(QString, source);
    QFETCH(QString, expectedName);
    const QString folder = QDir::homePath();
    QCOMPARE(GlyphoraForm::proposedIconPath(folder, source),
             QDir::toNativeSeparators(folder + QLatin1Char('/') + expectedName));
}

void TestGlyphoraForm::directRoad()
{
    dropFiles({QUrl::fromLocalFile(file("logo.final.png"))});
    const QString output = file("out/logo.final.ico");

    QString proposed;
    QString dialogTitle;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        dialogTitle = dialog->windowTitle();
        proposed = dialog->selectedFiles().value(0);
        QVERIFY(answerFileDialog(dialog, output));
    });
    QString boxText, boxTitle;
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    bool hadOk = false;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        // The box follows the save dialog; it is looked for once the dialog has gone.
        boxText = box->text();
        boxTitle = box->windowTitle();
        boxIcon = box->icon();
        hadOk = box->button(QMessageBox::Ok) != nullptr;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == QLatin1String("Open Folder"))
                button->click();
        }
    });
    QTest::mouseClick(child<QPushButton>("convertButton"), Qt::LeftButton);

    QCOMPARE(dialogTitle, QStringLiteral("Create Icon File"));
    QCOMPARE(proposed, QDir::homePath() + QStringLiteral("/logo.final.ico"));
    QCOMPARE(boxTitle, QStringLiteral("Create Icon File"));
    QCOMPARE(boxText, QStringLiteral("The Icon file have been successfully created."));
    QCOMPARE(boxIcon, QMessageBox::Information);
    QVERIFY(hadOk);
    QCOMPARE(openedUrls, QList<QUrl>{QUrl::fromLocalFile(file("out"))});

    QFile ico(output);
    QVERIFY(ico.open(QIODevice::ReadOnly));
    const QByteArray header = ico.read(6);
    QCOMPARE(header, QByteArray("\0\0\1\0\7\0", 6));  // reserved, type icon, 7 entries
    QCOMPARE(QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora")).value("Path/folderPathIcon").toString(),
             file("out"));
}

void TestGlyphoraForm::directRoadCancelled()
{
    dropFiles({QUrl::fromLocalFile(file("small.png"))});
    bool sawBox = false;
    whenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    whenModal<QMessageBox>([&](QMessageBox*) { sawBox = true; });
    QTest::mouseClick(child<QPushButton>("convertButton"), Qt::LeftButton);

    QVERIFY(!sawBox);
    QVERIFY(!QFileInfo::exists(QDir::home().filePath("small.ico")));
    QVERIFY(!QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora")).contains("Path/folderPathIcon"));
}

// A name that is an existing folder cannot be written, not even by root: the user is
// told which file failed and why, and no success box follows.
void TestGlyphoraForm::writeFailureNamesFile_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("source");

    QTest::newRow("direct road, png") << "convertButton" << "logo.final.png";
    QTest::newRow("direct road, svg") << "convertButton" << "logo.SVG";
    QTest::newRow("go, windows") << "goButton" << "small.png";
}

void TestGlyphoraForm::writeFailureNamesFile()
{
    QFETCH(QString, button);
    QFETCH(QString, source);
    const QString taken = file(QStringLiteral("out/taken %1.ico").arg(QTest::currentDataTag()));
    dropFiles({QUrl::fromLocalFile(file(source))});
    if (button == QLatin1String("goButton")) {
        QTest::mouseClick(child<QPushButton>("editButton"), Qt::LeftButton);
        child<QComboBox>("outputComboBox")->setCurrentIndex(0);
    }

    QString text, details;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int boxes = 0;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        QVERIFY(answerFileDialog(dialog, taken));
        // The dialog would open a folder of that name instead of returning it: the folder
        // comes once the name is chosen, before the form writes.
        QVERIFY(QDir().mkpath(taken));
        whenModal<QMessageBox>([&](QMessageBox* box) {
            ++boxes;
            text = box->text();
            details = box->informativeText();
            icon = box->icon();
            // A second box (a success after the failure) would be caught here.
            whenModal<QMessageBox>([&](QMessageBox*) { ++boxes; });
        });
    });
    QTest::mouseClick(child<QPushButton>(qPrintable(button)), Qt::LeftButton);
    QTRY_VERIFY(boxes > 0);
    QTest::qWait(300);
    QCOMPARE(boxes, 1);
    QCOMPARE(icon, QMessageBox::Warning);
    QVERIFY2(text.contains(QDir::toNativeSeparators(taken)), qPrintable(text));
    QVERIFY2(!details.isEmpty(), qPrintable(text));
    QVERIFY(QFileInfo(taken).isDir());
}

// The picture is read when it is opened: the edit page and the icon are made from it even
// once the file has gone.
void TestGlyphoraForm::pictureDecodedOnce()
{
    const QString copy = file("out/once.png");
    QVERIFY(QFile::copy(file("medium.png"), copy));
    dropFiles({QUrl::fromLocalFile(copy)});
    QVERIFY(QFile::remove(copy));

    const QString output = file("out/once.ico");
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        QVERIFY(answerFileDialog(dialog, output));
        whenModal<QMessageBox>([](QMessageBox*) {});
    });
    QTest::mouseClick(child<QPushButton>("convertButton"), Qt::LeftButton);
    QProcess icotool;
    icotool.start("icotool", {"-l", output});
    QVERIFY(icotool.waitForFinished());
    QCOMPARE(icotool.exitCode(), 0);
    QVERIFY(icotool.readAllStandardOutput().contains("--width=256 --height=256"));

    QTest::mouseClick(child<QPushButton>("editButton"), Qt::LeftButton);
    QCOMPARE(objects().value(0).image.size(), QSize(600, 1000));
    QTest::mouseClick(child<QPushButton>("backButton"), Qt::LeftButton);
    QVERIFY(child<QPushButton>("convertButton")->isVisible());
}

void TestGlyphoraForm::storedIconFolderIsProposed()
{
    QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora")).setValue("Path/folderPathIcon", file("out"));
    dropFiles({QUrl::fromLocalFile(file(".png"))});
    QString proposed;
    whenModal<QFileDialog>([&](QFileDialog* dialog) { proposed = dialog->selectedFiles().value(0); });
    QTest::mouseClick(child<QPushButton>("convertButton"), Qt::LeftButton);
    QCOMPARE(proposed, file("out/.png.ico"));
}

void TestGlyphoraForm::openDialogStartsInHomeThenRemembers()
{
    QString firstFolder, filter;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        firstFolder = dialog->directory().absolutePath();
        filter = dialog->nameFilters().join(";;");
        QVERIFY(answerFileDialog(dialog, file("logo.final.png")));
    });
    QTest::mouseClick(child<QToolButton>("sourceImageButton"), Qt::LeftButton);

    QCOMPARE(firstFolder, QDir::homePath());
    QCOMPARE(filter, QStringLiteral("Image Files (*.avif *.gif *.heic *.heif *.jpg *.jpeg *.jxl *.png *.svg *.tif *.tiff *.webp)"));
    // A picture the drop frame takes must be one the dialog offers.
    const QString patterns = filter.section(QLatin1Char('('), 1).chopped(1);
    for (const char* name : {"a.AVIF", "b.jxl", "c.heic", "d.svg", "e.TIF", "f.webp"})
        QVERIFY2(QDir::match(patterns, QString::fromLatin1(name)), name);
    QCOMPARE(child<QLabel>("openFileLabel")->text(), QDir::toNativeSeparators(file("logo.final.png")));
    QCOMPARE(child<QToolButton>("sourceImageButton")->icon().availableSizes().value(0), QSize(256, 128));

    // The replace button opens the same dialog in the folder of the last file.
    QString secondFolder;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        secondFolder = dialog->directory().absolutePath();
        QVERIFY(answerFileDialog(dialog, file("small.png")));
    });
    QTest::mouseClick(child<QPushButton>("loadButton"), Qt::LeftButton);
    QCOMPARE(secondFolder, dir.path());
    QCOMPARE(child<QToolButton>("sourceImageButton")->icon().availableSizes().value(0), QSize(100, 100));
}

void TestGlyphoraForm::openDialogFallsBackToPictures()
{
    const QString pictures = KvGlobal::picturesFolder();
    QVERIFY(QDir().mkpath(pictures));
    QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora")).setValue("Path/inputPath", file("no/such/folder"));
    QString folder;
    whenModal<QFileDialog>([&](QFileDialog* dialog) { folder = dialog->directory().absolutePath(); });
    QTest::mouseClick(child<QToolButton>("sourceImageButton"), Qt::LeftButton);
    QCOMPARE(folder, QDir(pictures).absolutePath());
}

void TestGlyphoraForm::openDialogCancelledChangesNothing()
{
    dropFiles({QUrl::fromLocalFile(file("logo.final.png"))});
    QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora")).setValue("Path/inputPath", dir.path());
    child<QLabel>("openFileLabel")->setText(QStringLiteral("before"));

    whenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QTest::mouseClick(child<QPushButton>("loadButton"), Qt::LeftButton);

    QCOMPARE(QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora")).value("Path/inputPath").toString(),
             dir.path());
    QCOMPARE(child<QLabel>("openFileLabel")->text(), QStringLiteral("before"));
    QCOMPARE(child<QToolButton>("sourceImageButton")->icon().availableSizes().value(0), QSize(256, 128));
    QVERIFY(child<QPushButton>("convertButton")->isVisible());
}

void TestGlyphoraForm::themeIcons()
{
    struct Expect {
        const char* button;
        const char* dark;
        const char* light;
        int side;
    };
    const Expect table[] = {
        {"backButton", "_BackIosWhite64.png", "_BackIosBlack64.png", 64},
        {"loadButton", "_PlusWhite24.png", "_PlusBlack24.png", 24},
        {"editButton", "_EditWhite24.png", "_EditBlack24.png", 24},
        {"convertButton", "_playcircleWhite24.png", "_playcircleBlack24.png", 24},
        {"sourceImageButton", "_AddImageWhite256.png", "_AddImageBlack256.png", 256},
    };
    const auto check = [&](bool dark) {
        for (const Expect& e : table) {
            const QIcon icon = child<QAbstractButton>(e.button)->icon();
            QVERIFY2(iconImage(icon, e.side) == resourceImage(QLatin1String(dark ? e.dark : e.light)), e.button);
        }
    };
    check(false);

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(32, 32, 32));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(24, 24, 24));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Button, QColor(45, 45, 45));
    dark.setColor(QPalette::ButtonText, Qt::white);
    QApplication::setPalette(dark);
    QVERIFY(KvGlobal::isDarkColorScheme());
    form->updateThemeIcons();
    check(true);

    // Once a picture is loaded its preview stays through a theme change.
    dropFiles({QUrl::fromLocalFile(file("small.png"))});
    QApplication::setPalette(QApplication::style()->standardPalette());
    form->updateThemeIcons();
    QCOMPARE(child<QToolButton>("sourceImageButton")->icon().availableSizes().value(0), QSize(100, 100));
    QVERIFY(iconImage(child<QPushButton>("editButton")->icon(), 24) == resourceImage("_EditBlack24.png"));
}

void TestGlyphoraForm::editPageAndBack()
{
    dropFiles({QUrl::fromLocalFile(file("small.png"))});
    QWidget* sourcePage = child<QWidget>("sourceFrame");
    QWidget* editPage = child<QWidget>("editWidget");
    QVERIFY(sourcePage->isVisible());
    QVERIFY(!editPage->isVisible());

    QTest::mouseClick(child<QPushButton>("editButton"), Qt::LeftButton);
    QVERIFY(editPage->isVisible());
    QVERIFY(!sourcePage->isVisible());

    QTest::mouseClick(child<QPushButton>("backButton"), Qt::LeftButton);
    QVERIFY(sourcePage->isVisible());
    QCOMPARE(child<QToolButton>("sourceImageButton")->icon().availableSizes().value(0), QSize(100, 100));
}

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// A composition saved from the edit page, opened again by a drop, and written by "Go"
// and by glyphora-cli compose: the three icons are the same bytes.
void TestGlyphoraForm::compositionSavedOpenedAndComposed()
{
    dropFiles({QUrl::fromLocalFile(file("logo.final.png"))});
    QTest::mouseClick(child<QPushButton>("editButton"), Qt::LeftButton);
    child<GlyphoraWidget>("widget")->addObjectFromFile(file("small.png"), QPoint(120, 90));
    child<QComboBox>("shapeComboBox")->setCurrentIndex(2);
    child<QCheckBox>("badgeCheckBox")->click();
    child<QCheckBox>("glossyCheckBox")->click();
    child<QComboBox>("outputComboBox")->setCurrentIndex(0);

    // "Go" follows a written icon with the success box.
    int successBoxes = 0;
    auto answer = [&](const QString& path) {
        whenModal<QFileDialog>([&, path](QFileDialog* dialog) {
            const bool ico = path.endsWith(QLatin1String(".ico"));
            QVERIFY(answerFileDialog(dialog, path));
            if (ico) {
                whenModal<QMessageBox>([&](QMessageBox* box) {
                    if (box->icon() == QMessageBox::Information)
                        ++successBoxes;
                });
            }
        });
    };
    answer(file("out/go.ico"));
    QTest::mouseClick(child<QPushButton>("goButton"), Qt::LeftButton);
    QCOMPARE(successBoxes, 1);
    answer(file("out/comp"));  // the suffix is added
    QTest::mouseClick(child<QPushButton>("saveCompositionButton"), Qt::LeftButton);
    const QString document = file("out/comp.glyphora");
    QVERIFY(QFileInfo::exists(document));

    // Change everything, then open the document over it from the source page.
    child<QComboBox>("shapeComboBox")->setCurrentIndex(0);
    child<QListWidget>("listWidget")->item(0)->setSelected(true);
    QTest::mouseClick(child<QToolButton>("deleteToolButton"), Qt::LeftButton);
    // Those changes are not saved: "Back" asks, and they are discarded.
    whenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Discard)->click(); });
    QTest::mouseClick(child<QPushButton>("backButton"), Qt::LeftButton);
    dropFiles({QUrl::fromLocalFile(document)});

    // Opened in the background: the page changes once the pictures are decoded.
    QTRY_VERIFY(child<QWidget>("editWidget")->isVisible());
    auto* list = child<QListWidget>("listWidget");
    QTRY_COMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Image1"));  // topmost first
    QCOMPARE(list->item(1)->text(), QStringLiteral("Image0"));
    QVERIFY(list->selectedItems().isEmpty());
    QCOMPARE(child<GlyphoraWidget>("widget")->selectedIndex(), -1);
    QVERIFY(child<QLabel>("objectNoteLabel")->isVisible());
    QCOMPARE(child<QComboBox>("shapeComboBox")->currentIndex(), 2);

    answer(file("out/go2.ico"));
    QTest::mouseClick(child<QPushButton>("goButton"), Qt::LeftButton);
    QCOMPARE(successBoxes, 2);

    QProcess cli;
    cli.start(QStringLiteral(GLYPHORA_BINARY_DIR "/bin/glyphora-cli"),
              {"-q", "compose", document, "-o", file("out/cli.ico")});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    const QByteArray go = fileBytes(file("out/go.ico"));
    QVERIFY(go.size() > 1000);
    QVERIFY(fileBytes(file("out/go2.ico")) == go);
    QVERIFY(fileBytes(file("out/cli.ico")) == go);
}

// A document of a later version is named in a warning and the page keeps its objects.
void TestGlyphoraForm::badCompositionChangesNothing_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    QTest::newRow("later version") << QByteArray(R"({"format": "glyphora-composition", "version": 7, "objects": []})")
                                   << QStringLiteral("unknown format version 7");
    // A few hundred bytes that would ask for twenty display images of 256 MB each.
    QByteArray objects;
    for (int i = 0; i < 20; ++i) {
        objects += QStringLiteral(R"(%1{"id": %2, "picture": "../small.png", "x": 0, "y": 0, "scale": 100000, "rotation": 0})")
                       .arg(i ? ", " : "").arg(i).toUtf8();
    }
    QTest::newRow("hostile scale") << R"({"format": "glyphora-composition", "version": 1, "objects": [)" + objects + "]}"
                                   << QStringLiteral("display images");
}

void TestGlyphoraForm::badCompositionChangesNothing()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    dropFiles({QUrl::fromLocalFile(file("small.png"))});
    QTest::mouseClick(child<QPushButton>("editButton"), Qt::LeftButton);
    QFile bad(file("out/bad.glyphora"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(json);
    bad.close();

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    bool warned = false;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        QVERIFY(answerFileDialog(dialog, file("out/bad.glyphora")));
        whenModal<QMessageBox>([&](QMessageBox* box) {
            QVERIFY2(box->text().contains(reason), qPrintable(box->text()));
            QCOMPARE(box->icon(), QMessageBox::Warning);
            warned = true;
        });
    });
    QTest::mouseClick(child<QPushButton>("openCompositionButton"), Qt::LeftButton);
    QTRY_VERIFY(warned);
    QCOMPARE(child<QListWidget>("listWidget")->count(), 1);
    QCOMPARE(objects().size(), 1);
    // ru_maxrss is the peak in KB: refusing must not have built any display image first.
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 100 * 1024,
             qPrintable(QStringLiteral("peak grew by %1 KB").arg(after.ru_maxrss - before.ru_maxrss)));
}

// "badge" typed beside an existing badge.glyphora: the dialog itself asks about the
// full name before anything is written.
void TestGlyphoraForm::saveCompositionAsksBeforeReplacing_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("refused") << false;
    QTest::newRow("agreed") << true;
}

void TestGlyphoraForm::saveCompositionAsksBeforeReplacing()
{
    QFETCH(bool, replace);
    dropFiles({QUrl::fromLocalFile(file("small.png"))});
    QTest::mouseClick(child<QPushButton>("editButton"), Qt::LeftButton);
    const QString existing = file("out/badge.glyphora");
    const QByteArray before("an older composition");
    QFile old(existing);
    QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    old.write(before);
    old.close();
    QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora")).setValue("Path/folderPathComposition", file("out"));

    QString question;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        whenModal<QMessageBox>([&](QMessageBox* box) {
            question = box->text();
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QVERIFY(answerFileDialog(dialog, QStringLiteral("badge")));
    });
    QTest::mouseClick(child<QPushButton>("saveCompositionButton"), Qt::LeftButton);
    QTRY_VERIFY(!QApplication::activeModalWidget());

    QVERIFY2(question.contains(QStringLiteral("badge.glyphora")), qPrintable(question));
    if (replace)
        QVERIFY(fileBytes(existing).startsWith("{"));
    else
        QCOMPARE(fileBytes(existing), before);
    QVERIFY(!QFileInfo::exists(file("out/badge")));
}

// Two documents opened one after the other: the canvas ends with the second, whichever
// finishes first, and the busy cursor shows until then.
void TestGlyphoraForm::laterOpenWins()
{
    const auto write = [this](const QString& name, const QByteArray& objects) {
        QFile document(file(name));
        QVERIFY(document.open(QIODevice::WriteOnly | QIODevice::Truncate));
        document.write(R"({"format": "glyphora-composition", "version": 1, "objects": [)" + objects + "]}");
    };
    write("first.glyphora", R"({"id": 0, "picture": "logo.final.png", "x": 0, "y": 0, "scale": 10, "rotation": 0},
                               {"id": 1, "picture": "tall.png", "x": 5, "y": 5, "scale": 10, "rotation": 0},
                               {"id": 2, "picture": "medium.png", "x": 9, "y": 9, "scale": 10, "rotation": 0})");
    write("second.glyphora", R"({"id": 7, "picture": "small.png", "x": 30, "y": 40, "scale": 100, "rotation": 0})");

    form->openComposition(file("first.glyphora"));
    QCOMPARE(form->cursor().shape(), Qt::BusyCursor);
    form->openComposition(file("second.glyphora"));
    auto* list = child<QListWidget>("listWidget");
    QTRY_COMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Image7"));
    QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
    // The first one's result, whenever it comes, is dropped.
    QTest::qWait(500);
    QCOMPARE(list->count(), 1);
    QCOMPARE(objects().value(0).position, QPoint(30, 40));
}

QTEST_MAIN(TestGlyphoraForm)
#include "tst_glyphoraform.moc"
