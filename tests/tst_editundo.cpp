// Undo and redo on the edit page, through the mouse, the wheel, the keys and the
// controls a user touches: a long mixed session undone and redone to the very pixels it
// drew, a gesture as one step, and the unsaved-changes question on every road that
// would drop a composition.
#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QUndoStack>

#include "app/mainwindow.h"
#include "create/glyphoraform.h"
#include "dragdrop.h"
#include "editor/glyphorawidget.h"
#include "modalwatch.h"
#include "requirechild.h"
#include "render/composition.h"
#include "render/compositiondocument.h"
#include "render/iconrenderer.h"

class TestEditUndo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void mixedSessionUndoneAndRedone();
    void gestureIsOneStep();
    void unsavedChanges_data();
    void unsavedChanges();

private:
    template <typename T>
    T* child(const char* name) const
    {
        return requireChild<T>(form, name);
    }
    GlyphoraWidget* canvas() const { return child<GlyphoraWidget>("widget"); }
    QUndoStack* stack() const { return form->composition()->undoStack(); }
    void enterEdit();
    void wheel(int notches, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void drag(const QPoint& from, const QPoint& to);
    QString file(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    MainWindow* window = nullptr;
    GlyphoraForm* form = nullptr;
};

void TestEditUndo::initTestCase()
{
    QVERIFY(dir.isValid());
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    // Pictures with detail, so that a misplaced or misscaled object shows in the pixels.
    for (int i = 0; i < 3; ++i) {
        QImage image(360, 200, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgba((x * (i + 3)) & 255, (y * 5) & 255, (x ^ y) & 255, 160 + (x + y) % 96));
        QVERIFY(image.save(file(QStringLiteral("pic%1.png").arg(i))));
    }
}

void TestEditUndo::init()
{
    QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora")).clear();
    window = new MainWindow;
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    form = window->findChild<GlyphoraForm*>();
    QVERIFY(form);
}

void TestEditUndo::cleanup()
{
    // A composition left changed would ask when the window goes.
    form->composition()->undoStack()->setClean();
    delete window;
    window = nullptr;
    form = nullptr;
}

void TestEditUndo::enterEdit()
{
    form->on_AddURLs({QUrl::fromLocalFile(file("pic0.png"))});
    QTest::mouseClick(child<QPushButton>("editButton"), Qt::LeftButton);
    QVERIFY(canvas()->isVisible());
}

void TestEditUndo::wheel(int notches, Qt::KeyboardModifiers modifiers)
{
    for (int i = 0; i < notches; ++i) {
        QWheelEvent event(QPointF(150, 150), canvas()->mapToGlobal(QPointF(150, 150)), QPoint(),
                          QPoint(0, notches < 0 ? -120 : 120), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas(), &event);
    }
}

void TestEditUndo::drag(const QPoint& from, const QPoint& to)
{
    QTest::mousePress(canvas(), Qt::LeftButton, Qt::NoModifier, from);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(canvas(), from + (to - from) * step / 4);
    QTest::mouseRelease(canvas(), Qt::LeftButton, Qt::NoModifier, to);
}

// Thirty-odd edits of every kind; undoing them all with Ctrl+Z draws the first render
// again, redoing them with Ctrl+Y and Ctrl+Shift+Z the last, and the document saved at
// the end opens in a new window to that same drawing.
void TestEditUndo::mixedSessionUndoneAndRedone()
{
    enterEdit();
    const QImage first = canvas()->renderOutput();
    const auto key = [this](int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        canvas()->setFocus();
        QTest::keyClick(canvas(), Qt::Key(k), m);
    };

    dropFiles(canvas(), {QUrl::fromLocalFile(file("pic1.png")), QUrl::fromLocalFile(file("pic2.png"))});
    drag(QPoint(150, 150), QPoint(120, 110));
    wheel(7);
    wheel(4, Qt::ShiftModifier);
    key(Qt::Key_Right);
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(child<QSpinBox>("positionXSpinBox"), Qt::Key_Up);
    auto* size = child<QSpinBox>("sizeSpinBox");
    size->selectAll();
    QTest::keyClicks(size, "40");
    QTest::keyClick(child<QSpinBox>("rotateSpinBox"), Qt::Key_Down);
    QTest::mouseClick(child<QToolButton>("downToolButton"), Qt::LeftButton);
    child<QComboBox>("shapeComboBox")->setCurrentIndex(1);
    QTest::keyClick(child<QSpinBox>("radiusSpinBox"), Qt::Key_Up);
    child<QCheckBox>("backCheckBox")->click();
    child<QComboBox>("backStyleComboBox")->setCurrentIndex(1);
    child<QComboBox>("backOrientationComboBox")->setCurrentIndex(4);
    child<QCheckBox>("_3dEffectCheckBox")->click();
    child<QCheckBox>("glossyCheckBox")->click();
    child<QSpinBox>("borderWidthSpinBox")->setValue(9);
    child<QCheckBox>("badgeCheckBox")->click();
    auto* text = child<QLineEdit>("badgeTextLineEdit");
    text->selectAll();
    QTest::keyClicks(text, "NEW");
    child<QComboBox>("badgeOrientationComboBox")->setCurrentIndex(1);
    child<QComboBox>("badgePositionComboBox")->setCurrentIndex(0);
    child<QSpinBox>("badgeTextSizeSpinBox")->setValue(20);
    child<QCheckBox>("clipImageCheckBox")->click();
    QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 150));
    key(Qt::Key_Delete);
    drag(QPoint(60, 150), QPoint(80, 170));
    wheel(-3);
    child<QComboBox>("canvasSizeComboBox")->setCurrentIndex(1);
    wheel(5);
    dropFiles(canvas(), {QUrl::fromLocalFile(file("pic2.png"))});
    key(Qt::Key_Up, Qt::ShiftModifier);
    QTest::mouseClick(child<QToolButton>("upToolButton"), Qt::LeftButton);
    child<QComboBox>("shapeComboBox")->setCurrentIndex(2);

    const QImage last = canvas()->renderOutput();
    QCOMPARE(last.size(), QSize(512, 512));
    QVERIFY(last != first);
    QVERIFY2(stack()->count() >= 30, qPrintable(QString::number(stack()->count())));

    // Added and deleted objects come back as drawn, not read again from their files.
    for (const char* name : {"pic1.png", "pic2.png"})
        QVERIFY(QFile::rename(file(name), file(name) + ".away"));
    auto* undo = child<QToolButton>("undoButton");
    auto* redo = child<QToolButton>("redoButton");
    QVERIFY(!redo->isEnabled());
    for (int i = 0; undo->isEnabled() && i < 100; ++i)
        key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(stack()->index(), 0);
    QCOMPARE(canvas()->renderOutput(), first);
    QCOMPARE(child<QComboBox>("shapeComboBox")->currentIndex(), 0);
    QCOMPARE(child<QListWidget>("listWidget")->count(), 1);

    for (int i = 0; redo->isEnabled() && i < 100; ++i)
        key(i % 2 ? Qt::Key_Y : Qt::Key_Z, i % 2 ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(stack()->index(), stack()->count());
    QCOMPARE(canvas()->renderOutput(), last);
    for (const char* name : {"pic1.png", "pic2.png"})
        QVERIFY(QFile::rename(file(name) + ".away", file(name)));

    const QString document = file("session.glyphora");
    QVERIFY(form->saveComposition(document));
    QVERIFY(stack()->isClean());
    MainWindow again;
    auto* reopened = again.findChild<GlyphoraForm*>();
    reopened->openComposition(document);
    auto* reopenedCanvas = reopened->findChild<GlyphoraWidget*>("widget");
    QTRY_COMPARE(reopened->composition()->imageDataList().size(), form->composition()->imageDataList().size());
    QCOMPARE(reopenedCanvas->renderOutput(), last);
}

void TestEditUndo::gestureIsOneStep()
{
    enterEdit();
    const QList<ImageData>& objects = form->composition()->imageDataList();
    const int count = stack()->count();
    wheel(10);
    QCOMPARE(stack()->count(), count + 1);
    QCOMPARE(objects.at(0).scale, 93);  // 360 x 200 fitted at 83 %, ten notches more

    const QPoint before = objects.at(0).position;
    drag(QPoint(150, 150), QPoint(100, 130));
    QCOMPARE(objects.at(0).position, before + QPoint(-50, -20));
    QCOMPARE(stack()->count(), count + 2);
    QCOMPARE(child<QToolButton>("undoButton")->toolTip(), QStringLiteral("Undo Move Image0"));

    QTest::mouseClick(child<QToolButton>("undoButton"), Qt::LeftButton);
    QCOMPARE(objects.at(0).position, before);
    QCOMPARE(child<QSpinBox>("positionXSpinBox")->value(), before.x());
    QTest::mouseClick(child<QToolButton>("undoButton"), Qt::LeftButton);
    QCOMPARE(objects.at(0).scale, 83);
    QCOMPARE(child<QSpinBox>("sizeSpinBox")->value(), 83);
    QVERIFY(!child<QToolButton>("undoButton")->isEnabled());
}

void TestEditUndo::unsavedChanges_data()
{
    QTest::addColumn<QString>("road");
    QTest::addColumn<int>("answer");
    for (const char* road : {"back", "open", "drop", "close"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1 save").arg(road))) << road << int(QMessageBox::Save);
        QTest::newRow(qPrintable(QStringLiteral("%1 discard").arg(road))) << road << int(QMessageBox::Discard);
        QTest::newRow(qPrintable(QStringLiteral("%1 cancel").arg(road))) << road << int(QMessageBox::Cancel);
    }
}

// Save writes the document (asking where, for one never saved) and goes on; Discard goes
// on without writing; Cancel leaves page, objects and the unsaved state as they were.
void TestEditUndo::unsavedChanges()
{
    QFETCH(QString, road);
    QFETCH(int, answer);
    // A document to open on the roads that open one.
    enterEdit();
    QVERIFY(form->saveComposition(file("other.glyphora")));
    const QImage other = canvas()->renderOutput();
    int asked = 0;
    {
        // Saved, then entered afresh and not changed: the roads ask nothing.
        QObject watch;
        whenModal<QMessageBox>(&watch, [&](QMessageBox*) { ++asked; });
        QTest::mouseClick(child<QPushButton>("backButton"), Qt::LeftButton);
        QVERIFY(child<QPushButton>("editButton")->isVisible());
        QTest::mouseClick(child<QPushButton>("editButton"), Qt::LeftButton);
        QCOMPARE(asked, 0);
    }

    wheel(3);
    const QImage changed = canvas()->renderOutput();
    const QString saved = file(QStringLiteral("saved-%1.glyphora").arg(road));
    QFile::remove(saved);
    whenModal<QMessageBox>(form, [&](QMessageBox* box) {
        ++asked;
        QCOMPARE(box->text(), QStringLiteral("Save changes to the composition?"));
        if (answer == QMessageBox::Save)
            whenModal<QFileDialog>(form, [&](QFileDialog* dialog) {
                QVERIFY(answerFileDialog(dialog, saved));
                // The open dialog that may follow is cancelled.
                whenModal<QFileDialog>(form, [](QFileDialog*) {});
            });
        else if (road == QLatin1String("open") && answer == QMessageBox::Discard)
            whenModal<QFileDialog>(form, [&](QFileDialog* dialog) {
                QVERIFY(answerFileDialog(dialog, file("other.glyphora")));
            });
        box->button(QMessageBox::StandardButton(answer))->click();
    });

    bool closed = false;
    if (road == QLatin1String("back"))
        QTest::mouseClick(child<QPushButton>("backButton"), Qt::LeftButton);
    else if (road == QLatin1String("open"))
        QTest::mouseClick(child<QPushButton>("openCompositionButton"), Qt::LeftButton);
    else if (road == QLatin1String("drop"))
        form->on_AddURLs({QUrl::fromLocalFile(file("other.glyphora"))});
    else
        closed = window->close();
    QTRY_COMPARE(asked, 1);

    QCOMPARE(QFileInfo::exists(saved), answer == QMessageBox::Save);
    if (answer == QMessageBox::Cancel) {
        QVERIFY(!closed);
        QVERIFY(canvas()->isVisible());
        QVERIFY(!stack()->isClean());
        QCOMPARE(canvas()->renderOutput(), changed);
        return;
    }
    if (answer == QMessageBox::Save) {
        CompositionDocument document;
        QVERIFY(document.load(saved, nullptr));
        QCOMPARE(IconRenderer::renderOutput(document.style, document.style.canvasSize, document.objects), changed);
        QVERIFY(stack()->isClean());
    }
    if (road == QLatin1String("back")) {
        QVERIFY(child<QPushButton>("editButton")->isVisible());
        QVERIFY(stack()->isClean());
    } else if (road == QLatin1String("close")) {
        QVERIFY(closed);
    } else if (road == QLatin1String("drop") || answer == QMessageBox::Discard) {
        // The other document is opened, in the background, with nothing to undo: an undo
        // would bring back what Save then writes into the opened file.
        QTRY_COMPARE(canvas()->renderOutput(), other);
        QVERIFY(stack()->isClean());
        QVERIFY(!child<QToolButton>("undoButton")->isEnabled());
    }
}

QTEST_MAIN(TestEditUndo)
#include "tst_editundo.moc"
