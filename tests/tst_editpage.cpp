#include <QtTest>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QToolButton>

#include <filesystem>
#include <functional>

#include "create/exportpngdialog.h"
#include "editor/glyphorahelpdialog.h"
#include "create/glyphoraform.h"
#include "render/composition.h"
#include "editor/glyphoralistwidget.h"
#include "editor/glyphorawidget.h"
#include "editor/kvcolorwidget.h"
#include "modalwatch.h"
#include "requirechild.h"

namespace {
// Starts row drags as a mouse drag on a row does, through the view's own startDrag.
class DraggableList : public GlyphoraListWidget
{
public:
    using GlyphoraListWidget::startDrag;
};

QSettings settings()
{
    return QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora"));
}
} // namespace

// The Create tab's edit page driven as a user would: objects added, reordered and
// deleted through the list, the style loaded from and saved to the settings, and "Go"
// writing the composed icon, read back by icotool and ImageMagick.
class TestEditPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void reorder_data();
    void reorder();
    void deleteLastObject();
    void boxesEditOnlyTheirOwnValue();

    void firstRunDefaults();
    void storedValuesClamped_data();
    void storedValuesClamped();
    void badgePositionsKeptPerOrientation();
    void pickedColourComesBack();

    void goWindows_data();
    void goWindows();
    void pngExportInGivenOrder();
    void pngFolderCancelled();
    void pngReplaceAskedOnce_data();
    void pngReplaceAskedOnce();
    void storedSizeListComesBack();
    void sizeDialogEdits();
    void shortcutsBoxShowsWholeTexts();

private:
    template <typename T>
    T* child(const char* name) const
    {
        return requireChild<T>(form, name);
    }
    void newForm();
    void enterEditWithObjects(int count);
    QStringList rows() const;
    void clickRow(int row);
    void dragRow(int from, const QPoint& at);
    void checkOrders(const QStringList& expectedRows);
    void chooseFolderNext(const QString& folder);
    QString file(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    GlyphoraForm* form = nullptr;
    const QList<ImageData>& objects() const { return form->composition()->imageDataList(); }
    const IconStyle& style() const { return form->composition()->iconStyle(); }
};

void TestEditPage::initTestCase()
{
    QVERIFY(dir.isValid());
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    const QColor colours[] = {QColor(220, 60, 40), QColor(40, 160, 90), QColor(50, 90, 220)};
    for (int i = 0; i < 3; ++i) {
        QImage image(400, 240, QImage::Format_ARGB32);
        image.fill(colours[i]);
        QVERIFY(image.save(file(QStringLiteral("pic%1.png").arg(i))));
    }
    QVERIFY(QDir(dir.path()).mkdir("out"));
}

void TestEditPage::init()
{
    settings().clear();
    newForm();
}

void TestEditPage::newForm()
{
    delete form;
    form = new GlyphoraForm(nullptr);
    form->resize(1200, 900);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
}

void TestEditPage::cleanup()
{
    delete form;
    form = nullptr;
}

// Object 0 from the source picture, the others dropped on the canvas one after another.
void TestEditPage::enterEditWithObjects(int count)
{
    form->on_AddURLs({QUrl::fromLocalFile(file("pic0.png"))});
    QTest::mouseClick(child<QPushButton>("editButton"), Qt::LeftButton);
    auto* canvas = child<GlyphoraWidget>("widget");
    for (int i = 1; i < count; ++i)
        canvas->addObjectFromFile(file(QStringLiteral("pic%1.png").arg(i % 3)), QPoint(60 + 40 * i, 80 + 30 * i));
    QCOMPARE(objects().size(), count);
}

QStringList TestEditPage::rows() const
{
    QStringList texts;
    auto* list = child<QListWidget>("listWidget");
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void TestEditPage::clickRow(int row)
{
    auto* list = child<QListWidget>("listWidget");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(row)).center());
}

// A mouse drag of row `from` released over `at` in the list's viewport.
void TestEditPage::dragRow(int from, const QPoint& at)
{
    clickRow(from);
    auto* list = static_cast<DraggableList*>(child<GlyphoraListWidget>("listWidget"));
    QWindow* window = list->window()->windowHandle();
    const QPoint inWindow = list->viewport()->mapTo(list->window(), at);
    QTimer::singleShot(0, list, [&]() {
        QTest::mouseMove(window, inWindow - QPoint(0, 2));
        QTest::mouseMove(window, inWindow);
        QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, inWindow);
    });
    list->startDrag(Qt::MoveAction);
}

// Row r shows object count - 1 - r, and the canvas has the selected row's object selected.
void TestEditPage::checkOrders(const QStringList& expectedRows)
{
    QCOMPARE(rows(), expectedRows);
    QStringList drawn;
    for (const ImageData& object : objects())
        drawn.prepend(object.name());
    QCOMPARE(drawn, expectedRows);

    auto* list = child<QListWidget>("listWidget");
    const QList<QListWidgetItem*> selected = list->selectedItems();
    const int index = child<GlyphoraWidget>("widget")->selectedIndex();
    if (!selected.isEmpty()) {
        QVERIFY(index >= 0 && index < objects().size());
        QCOMPARE(objects().at(index).name(), selected.constFirst()->text());
        const int row = list->row(selected.constFirst());
        QCOMPARE(child<QToolButton>("upToolButton")->isEnabled(), row > 0);
        QCOMPARE(child<QToolButton>("downToolButton")->isEnabled(), row < list->count() - 1);
    }
}

void TestEditPage::reorder_data()
{
    QTest::addColumn<QStringList>("steps");  // "click R", "up", "down", "delete", "drag R above|below|end T"
    QTest::addColumn<QStringList>("expectedRows");

    QTest::newRow("new objects on top") << QStringList{} << QStringList{"Image2", "Image1", "Image0"};
    QTest::newRow("bottom row up") << QStringList{"click 2", "up"} << QStringList{"Image2", "Image0", "Image1"};
    QTest::newRow("bottom row up twice") << QStringList{"click 2", "up", "up"}
                                         << QStringList{"Image0", "Image2", "Image1"};
    QTest::newRow("top row down") << QStringList{"click 0", "down"} << QStringList{"Image1", "Image2", "Image0"};
    QTest::newRow("up then down") << QStringList{"click 1", "up", "down"}
                                  << QStringList{"Image2", "Image1", "Image0"};
    QTest::newRow("drag row 0 above row 2") << QStringList{"drag 0 above 2"}
                                            << QStringList{"Image1", "Image2", "Image0"};
    QTest::newRow("drag row 2 below row 0") << QStringList{"drag 2 below 0"}
                                            << QStringList{"Image2", "Image0", "Image1"};
    QTest::newRow("drag row 0 past the last") << QStringList{"drag 0 end 0"}
                                              << QStringList{"Image1", "Image0", "Image2"};
    QTest::newRow("delete the middle") << QStringList{"click 1", "delete"} << QStringList{"Image2", "Image0"};
    QTest::newRow("move then delete") << QStringList{"click 2", "up", "delete", "click 1", "up"}
                                      << QStringList{"Image1", "Image2"};
}

void TestEditPage::reorder()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expectedRows);
    enterEditWithObjects(3);
    auto* list = child<QListWidget>("listWidget");

    for (const QString& step : steps) {
        const QStringList words = step.split(QLatin1Char(' '));
        if (words[0] == QLatin1String("click")) {
            clickRow(words[1].toInt());
        } else if (words[0] == QLatin1String("up")) {
            QTest::mouseClick(child<QToolButton>("upToolButton"), Qt::LeftButton);
        } else if (words[0] == QLatin1String("down")) {
            QTest::mouseClick(child<QToolButton>("downToolButton"), Qt::LeftButton);
        } else if (words[0] == QLatin1String("delete")) {
            QTest::mouseClick(child<QToolButton>("deleteToolButton"), Qt::LeftButton);
        } else {
            const QRect target = list->visualItemRect(list->item(words[3].toInt()));
            const QPoint at = words[2] == QLatin1String("above")   ? QPoint(target.center().x(), target.top() + 1)
                              : words[2] == QLatin1String("below") ? QPoint(target.center().x(), target.bottom() - 1)
                                                                   : QPoint(target.center().x(), target.bottom() + 60);
            dragRow(words[1].toInt(), at);
        }
        checkOrders(rows());
    }
    checkOrders(expectedRows);

    // The topmost row's object is the one drawn last: press where they all overlap.
    auto* canvas = child<GlyphoraWidget>("widget");
    const ImageData& top = objects().constLast();
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, top.rect.center());
    QCOMPARE(list->selectedItems().value(0)->text(), expectedRows.first());
}

void TestEditPage::deleteLastObject()
{
    enterEditWithObjects(1);
    QVERIFY(child<QLabel>("dropImageLabel")->isHidden());
    QVERIFY(!child<QLabel>("positionLabel")->isHidden());
    QTest::mouseClick(child<QToolButton>("deleteToolButton"), Qt::LeftButton);

    QVERIFY(objects().isEmpty());
    QVERIFY(!child<QLabel>("dropImageLabel")->isHidden());
    QVERIFY(!child<QLabel>("objectNoteLabel")->isHidden());
    QVERIFY(child<QSpinBox>("positionXSpinBox")->isHidden());
    for (const char* name : {"upToolButton", "downToolButton", "deleteToolButton"})
        QVERIFY2(!child<QToolButton>(name)->isEnabled(), name);
    // With no selection, typing a position moves nothing and does not crash.
    child<QSpinBox>("positionXSpinBox")->setValue(40);
}

// An object dropped near the left edge lies at x = -40: the box shows it, and editing Y
// leaves it there.  The wheel takes it to 150 %, which the size box shows and steps from.
void TestEditPage::boxesEditOnlyTheirOwnValue()
{
    enterEditWithObjects(1);
    auto* canvas = child<GlyphoraWidget>("widget");
    canvas->addObjectFromFile(file("pic1.png"), QPoint(110, 100));  // 300 x 180 at 75 %
    const int index = canvas->selectedIndex();
    QCOMPARE(objects().at(index).position, QPoint(-40, 10));
    auto* x = child<QSpinBox>("positionXSpinBox");
    auto* y = child<QSpinBox>("positionYSpinBox");
    QCOMPARE(x->value(), -40);

    y->setFocus();
    y->selectAll();
    QTest::keyClicks(y, "70");
    QCOMPARE(objects().at(index).position, QPoint(-40, 70));
    QTest::keyClick(x, Qt::Key_Up);
    QCOMPARE(objects().at(index).position, QPoint(-39, 70));

    // 75 notches in one turn of a fast wheel.
    QWheelEvent wheel(QPointF(20, 80), canvas->mapToGlobal(QPointF(20, 80)), QPoint(), QPoint(0, 75 * 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &wheel);
    auto* size = child<QSpinBox>("sizeSpinBox");
    QCOMPARE(objects().at(index).scale, 150);
    QCOMPARE(size->value(), 150);
    QTest::keyClick(size, Qt::Key_Up);
    QCOMPARE(objects().at(index).scale, 151);
    QCOMPARE(objects().at(index).position, QPoint(-39, 70));

    // Selecting the other object and back shows this one's values, and moves nothing.
    clickRow(1);
    clickRow(0);
    QCOMPARE(x->value(), -39);
    QCOMPARE(size->value(), 151);
    QCOMPARE(objects().at(index).position, QPoint(-39, 70));
}

void TestEditPage::firstRunDefaults()
{
    QCOMPARE(child<QComboBox>("shapeComboBox")->currentIndex(), 0);
    QVERIFY(child<QSpinBox>("radiusSpinBox")->isHidden());
    QVERIFY(!child<QCheckBox>("backCheckBox")->isChecked());
    QVERIFY(child<QWidget>("backGroupBox")->isHidden());
    QVERIFY(child<QCheckBox>("borderCheckBox")->isChecked());
    QCOMPARE(child<KvColorWidget>("borderColorWidget")->currentColor(), QColor("#3282F6"));
    QCOMPARE(child<QSpinBox>("borderWidthSpinBox")->value(), 5);
    QVERIFY(!child<QCheckBox>("badgeCheckBox")->isChecked());
    QCOMPARE(child<QComboBox>("badgeOrientationComboBox")->currentText(), QStringLiteral("Diagonal"));
    QCOMPARE(child<QComboBox>("badgePositionComboBox")->currentText(), QStringLiteral("Bottom Right"));
    QCOMPARE(child<QComboBox>("canvasSizeComboBox")->currentText(), QStringLiteral("256x256"));
    QVERIFY(child<QCheckBox>("clipImageCheckBox")->isChecked());
    QCOMPARE(child<GlyphoraWidget>("widget")->width(), 300);
    // The record is what the controls show.
    QCOMPARE(style().badgeOrientation, int(IconStyle::Diagonal));
    QCOMPARE(style().useBadge, false);
    QCOMPARE(style().borderColor, QColor("#3282F6"));
}

void TestEditPage::storedValuesClamped_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("spinBox");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");

    QTest::newRow("text size 30") << "Badge/badgeTextSize" << "badgeTextSizeSpinBox" << 30 << 25;
    QTest::newRow("text size 3") << "Badge/badgeTextSize" << "badgeTextSizeSpinBox" << 3 << 17;
    QTest::newRow("radius 400") << "Container/radius" << "radiusSpinBox" << 400 << 360;
    QTest::newRow("border width -4") << "Container/borderWidth" << "borderWidthSpinBox" << -4 << 0;
    QTest::newRow("line width 99") << "Badge/badgeLineWidth" << "badgeLineWidthSpinBox" << 99 << 20;
}

void TestEditPage::storedValuesClamped()
{
    QFETCH(QString, key);
    QFETCH(QString, spinBox);
    QFETCH(int, stored);
    QFETCH(int, shown);

    // The open form writes its style back when it closes, so it goes first.
    delete form;
    form = nullptr;
    settings().setValue(key, stored);
    newForm();
    QCOMPARE(child<QSpinBox>(qPrintable(spinBox))->value(), shown);
    delete form;
    form = nullptr;
    // What is used is what is shown, and that is what the next run finds.
    QCOMPARE(settings().value(key).toInt(), shown);
}

void TestEditPage::badgePositionsKeptPerOrientation()
{
    delete form;
    form = nullptr;
    settings().setValue("Badge/badgeOrientation", 0);
    settings().setValue("Badge/badgeOrientationDiagonal", 1);
    settings().setValue("Badge/badgeOrientationHorizontal", 0);
    newForm();
    auto* orientation = child<QComboBox>("badgeOrientationComboBox");
    auto* position = child<QComboBox>("badgePositionComboBox");
    QCOMPARE(position->count(), 4);
    QCOMPARE(position->currentText(), QStringLiteral("Top Right"));

    orientation->setCurrentIndex(1);
    QCOMPARE(position->count(), 2);
    QCOMPARE(position->currentText(), QStringLiteral("Bottom"));
    position->setCurrentIndex(1);  // "Top"
    QCOMPARE(style().badgeOrientationHorizontal, 1);

    orientation->setCurrentIndex(0);
    QCOMPARE(position->currentText(), QStringLiteral("Top Right"));
    QCOMPARE(style().badgeOrientationDiagonal, 1);
    QCOMPARE(style().badgeOrientationHorizontal, 1);

    delete form;
    form = nullptr;
    QCOMPARE(settings().value("Badge/badgeOrientationDiagonal").toInt(), 1);
    QCOMPARE(settings().value("Badge/badgeOrientationHorizontal").toInt(), 1);
}

void TestEditPage::pickedColourComesBack()
{
    auto* swatch = child<KvColorWidget>("badgeBackColorWidget");
    QSignalSpy updated(swatch, SIGNAL(colorUpdated(QColor)));
    whenModal<QColorDialog>(form, [](QColorDialog* dialog) {
        dialog->setCurrentColor(QColor(18, 52, 86));
        dialog->accept();
    });
    QTest::mouseClick(swatch, Qt::LeftButton);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(style().badgeBackColor, QColor(18, 52, 86));

    // A right click opens nothing.
    QTest::mouseClick(swatch, Qt::RightButton);
    QCOMPARE(updated.count(), 1);

    newForm();
    QCOMPARE(child<KvColorWidget>("badgeBackColorWidget")->currentColor(), QColor(18, 52, 86));
    QCOMPARE(style().badgeBackColor, QColor(18, 52, 86));
}

void TestEditPage::goWindows_data()
{
    QTest::addColumn<int>("canvasIndex");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("largest");

    QTest::newRow("256") << 0 << 7 << 256;
    QTest::newRow("512") << 1 << 8 << 512;
    QTest::newRow("1024") << 2 << 9 << 1024;
}

void TestEditPage::goWindows()
{
    QFETCH(int, canvasIndex);
    QFETCH(int, entries);
    QFETCH(int, largest);

    enterEditWithObjects(2);
    child<QComboBox>("canvasSizeComboBox")->setCurrentIndex(canvasIndex);
    child<QComboBox>("outputComboBox")->setCurrentIndex(0);
    const QString output = file(QStringLiteral("out/composed%1.ico").arg(largest));
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    whenModal<QFileDialog>(form, [&](QFileDialog* dialog) {
        QVERIFY(answerFileDialog(dialog, output));
        whenModal<QMessageBox>(form, [&](QMessageBox* box) { boxIcon = box->icon(); });
    });
    QTest::mouseClick(child<QPushButton>("goButton"), Qt::LeftButton);
    QCOMPARE(boxIcon, QMessageBox::Information);

    QProcess icotool;
    icotool.start("icotool", {"-l", output});
    QVERIFY(icotool.waitForFinished());
    QCOMPARE(icotool.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(icotool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), entries);
    QVERIFY2(lines.last().contains(QStringLiteral("--width=%1").arg(largest)), qPrintable(lines.last()));
    QCOMPARE(settings().value("Path/folderPathIcon").toString(), file("out"));
}

// On Linux the folder chooser is Qt's directory dialog.
void TestEditPage::chooseFolderNext(const QString& folder)
{
    whenModal<QFileDialog>(form, [folder](QFileDialog* dialog) {
        if (folder.isEmpty())
            return;  // left open: the watcher rejects it
        QVERIFY(answerFileDialog(dialog, folder));
    });
}

void TestEditPage::pngExportInGivenOrder()
{
    enterEditWithObjects(1);
    const QString folder = file("png");
    QVERIFY(QDir().mkpath(folder));
    // An old file of the same name is replaced once the user agrees; the success box
    // follows.
    QVERIFY(QImage(8, 8, QImage::Format_ARGB32).save(folder + "/48x48.png"));

    QString question, done;
    chooseFolderNext(folder);
    whenModal<QMessageBox>(form, [&](QMessageBox* box) {
        question = box->text();
        whenModal<QMessageBox>(form, [&](QMessageBox* next) { done = next->text(); });
        box->button(QMessageBox::Yes)->click();
    });
    QVERIFY(QMetaObject::invokeMethod(form, "on_exportImages", Q_ARG(QList<int>, (QList<int>{256, 48, 32, 16}))));
    QCOMPARE(question, QStringLiteral("Replace 1 existing file?"));
    QCOMPARE(done, QStringLiteral("The PNG files have been successfully created."));

    std::filesystem::file_time_type previous;
    for (int side : {256, 48, 32, 16}) {
        const QString path = QStringLiteral("%1/%2x%2.png").arg(folder).arg(side);
        QProcess identify;
        identify.start("identify", {"-format", "%m %wx%h", path});
        QVERIFY(identify.waitForFinished());
        QCOMPARE(QString::fromUtf8(identify.readAllStandardOutput()), QStringLiteral("PNG %1x%1").arg(side));
        const auto written = std::filesystem::last_write_time(path.toStdString());
        QVERIFY2(side == 256 || written > previous, qPrintable(path));
        previous = written;
    }
    QCOMPARE(settings().value("Path/folderPathPNG").toString(), folder);
}

void TestEditPage::pngFolderCancelled()
{
    enterEditWithObjects(1);
    settings().setValue("Path/folderPathPNG", file("out"));
    child<QComboBox>("outputComboBox")->setCurrentIndex(1);

    whenModal<ExportPNGDialog>(form, [this](ExportPNGDialog* dialog) {
        chooseFolderNext(QString());
        QMetaObject::invokeMethod(dialog->findChild<QPushButton*>("exportButton"), "click", Qt::QueuedConnection);
    });
    QTest::mouseClick(child<QPushButton>("goButton"), Qt::LeftButton);
    QTRY_VERIFY(!QApplication::activeModalWidget());

    QCOMPARE(QDir(file("out")).entryList({"*.png"}, QDir::Files), QStringList());
    QCOMPARE(settings().value("Path/folderPathPNG").toString(), file("out"));
}

void TestEditPage::pngReplaceAskedOnce_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("refused") << false;
    QTest::newRow("agreed") << true;
}

// Two of the three files exist already: one question names both, and a refusal leaves
// them and writes nothing.
void TestEditPage::pngReplaceAskedOnce()
{
    QFETCH(bool, replace);
    enterEditWithObjects(1);
    const QString folder = file(replace ? "png-agreed" : "png-refused");
    QVERIFY(QDir().mkpath(folder));
    const QByteArray old16("not a png, sixteen"), old32("not a png, thirty-two");
    for (const auto& [name, bytes] : {std::pair{"16x16.png", old16}, std::pair{"32x32.png", old32}}) {
        QFile f(QDir(folder).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    int questions = 0;
    QString names;
    chooseFolderNext(folder);
    whenModal<QMessageBox>(form, [&](QMessageBox* box) {
        ++questions;
        QCOMPARE(box->text(), QStringLiteral("Replace 2 existing files?"));
        names = box->informativeText();
        whenModal<QMessageBox>(form, [&](QMessageBox* next) {
            if (next->icon() == QMessageBox::Question)
                ++questions;
        });
        box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    QVERIFY(QMetaObject::invokeMethod(form, "on_exportImages", Q_ARG(QList<int>, (QList<int>{16, 32, 256}))));
    QTRY_VERIFY(!QApplication::activeModalWidget());

    QCOMPARE(questions, 1);
    QVERIFY(names.contains("16x16.png") && names.contains("32x32.png"));
    const auto bytes = [&](const char* name) {
        QFile f(QDir(folder).filePath(QLatin1String(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    if (replace) {
        QCOMPARE(QImage(QDir(folder).filePath("32x32.png")).size(), QSize(32, 32));
        QVERIFY(QFileInfo::exists(QDir(folder).filePath("256x256.png")));
    } else {
        QCOMPARE(bytes("16x16.png"), old16);
        QCOMPARE(bytes("32x32.png"), old32);
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath("256x256.png")));
    }
}

void TestEditPage::storedSizeListComesBack()
{
    auto* dialog = new ExportPNGDialog(form);
    QCOMPARE(dialog->sizes(), (QList<int>{16, 32, 48, 256}));
    dialog->on_newResolution(64);
    auto* list = dialog->findChild<QListWidget*>("listWidget");
    list->setCurrentRow(0);
    dialog->findChild<QPushButton*>("removeButton")->click();
    QSignalSpy exported(dialog, SIGNAL(exportImages(QList<int>)));
    dialog->findChild<QPushButton*>("exportButton")->click();
    QCOMPARE(exported.at(0).at(0).value<QList<int>>(), (QList<int>{32, 48, 64, 256}));

    auto* again = new ExportPNGDialog(form);
    QCOMPARE(again->sizes(), (QList<int>{32, 48, 64, 256}));

    // A stored list that holds no size, or a count below 1, gives the defaults.
    settings().setValue("ExportSize/exportSizeCount", 2);
    settings().setValue("ExportSize/exportSize0", "big");
    settings().setValue("ExportSize/exportSize1", "");
    QCOMPARE(ExportPNGDialog(form).sizes(), (QList<int>{16, 32, 48, 256}));
    settings().setValue("ExportSize/exportSizeCount", -3);
    settings().setValue("ExportSize/exportSize0", 64);
    QCOMPARE(ExportPNGDialog(form).sizes(), (QList<int>{16, 32, 48, 256}));
    // Stored out of order (by hand), it still comes back ascending.
    settings().setValue("ExportSize/exportSizeCount", 3);
    settings().setValue("ExportSize/exportSize0", 512);
    settings().setValue("ExportSize/exportSize1", 24);
    settings().setValue("ExportSize/exportSize2", 512);
    QCOMPARE(ExportPNGDialog(form).sizes(), (QList<int>{24, 512}));
}

void TestEditPage::sizeDialogEdits()
{
    ExportPNGDialog dialog(form);
    auto* list = dialog.findChild<QListWidget*>("listWidget");
    auto* add = dialog.findChild<QPushButton*>("addButton");
    auto* remove = dialog.findChild<QPushButton*>("removeButton");
    QVERIFY(add->isEnabled() && remove->isEnabled());

    // Through the new-size dialog, as a user types the sizes.
    const auto addThroughDialog = [&](int size) {
        whenModal<QDialog>(&dialog, [size](QDialog* asked) {
            asked->findChild<QSpinBox*>("spinBox")->setValue(size);
            asked->findChild<QPushButton*>("addButton")->click();
        });
        list->setCurrentRow(0);
        add->click();
    };
    addThroughDialog(48);    // already there
    addThroughDialog(64);
    addThroughDialog(0);
    addThroughDialog(5000);  // the spin box stops at 1024
    QCOMPARE(dialog.sizes(), (QList<int>{0, 16, 32, 48, 64, 256, 1024}));

    list->setCurrentRow(3);
    remove->click();
    QCOMPARE(dialog.sizes(), (QList<int>{0, 16, 32, 64, 256, 1024}));
    if (list->selectedItems().isEmpty())
        QVERIFY(!add->isEnabled() && !remove->isEnabled());
    list->clearSelection();
    QVERIFY(!add->isEnabled() && !remove->isEnabled());
    list->setCurrentRow(1);
    QVERIFY(add->isEnabled() && remove->isEnabled());
}

// The box's fixed places were made for a 9-point interface font; with a larger one (and
// the fonts of this machine are larger) no text may be cut off or stand outside the box.
void TestEditPage::shortcutsBoxShowsWholeTexts()
{
    for (int points : {9, 12}) {
        QFont font = QApplication::font();
        font.setPointSize(points);
        QApplication::setFont(font);
        GlyphoraHelpDialog box(form);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QList<QLabel*> labels = box.findChildren<QLabel*>();
        QCOMPARE(labels.size(), 15);
        for (const QLabel* label : labels) {
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
            QVERIFY2(box.rect().contains(label->geometry()), qPrintable(label->text()));
        }
        QVERIFY(box.rect().contains(box.findChild<QPushButton*>("okButton")->geometry()));
    }
    QApplication::setFont(QFont());
}

QTEST_MAIN(TestEditPage)
#include "tst_editpage.moc"
