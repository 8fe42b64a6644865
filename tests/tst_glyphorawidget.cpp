// The canvas through real events: presses on overlapping objects, drags, wheel notches
// with and without Shift, drops of accepted and refused files, ids after a delete, the
// canvas sizes; and the badge text measured without a widget against a real QLabel.
#include <QtTest>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QWheelEvent>

#include "create/glyphoraform.h"
#include "editor/glyphorawidget.h"
#include "render/composition.h"
#include "testfiles.h"

class TestGlyphoraWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup()
    {
        delete canvas;
        delete model;
        GlyphoraForm::shiftKeyPressed = false;
    }

    void pressSelectsTopmostAndDrags();
    void wheelScalesAndShiftWheelRotates();
    void wheelShiftFromEvent();
    void touchpadSteps_data();
    void touchpadSteps();
    void idReusedAndStaleSelection();
    void drops_data();
    void drops();
    void canvasSizeIndex3();
    void measuredLikeLabel_data();
    void measuredLikeLabel();

private:
    QString file(const QString& name) const { return dir.filePath(name); }
    void wheel(int deltaY, int times, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int deltaX = 0);

    QTemporaryDir dir;
    GlyphoraWidget* canvas = nullptr;
    Composition* model = nullptr;
    const QList<ImageData>& objects() const { return model->imageDataList(); }
};

void TestGlyphoraWidget::initTestCase()
{
    QVERIFY(dir.isValid());
    QImage square(100, 100, QImage::Format_ARGB32);
    square.fill(Qt::red);
    QVERIFY(square.save(file("red.png")));
    QVERIFY(square.scaled(600, 200).save(file("wide.png")));
    for (const char* name : {"a.PNG", "b.jpeg", "c.webp", "d.tiff", "e.svg", "f.tif", "g.bmp", "h.png.txt"})
        QVERIFY(writeFile(file(name), "only the name is looked at"));
    QVERIFY(QDir(dir.path()).mkdir("folder.png"));
}

void TestGlyphoraWidget::init()
{
    model = new Composition;
    canvas = new GlyphoraWidget;
    canvas->setComposition(model);
    canvas->setCanvasSizeIndex(1);
    canvas->setAcceptDrops(true);
    canvas->show();
    QVERIFY(QTest::qWaitForWindowExposed(canvas));
}

void TestGlyphoraWidget::wheel(int deltaY, int times, Qt::KeyboardModifiers modifiers, int deltaX)
{
    for (int i = 0; i < times; ++i) {
        QWheelEvent event(QPointF(150, 150), canvas->mapToGlobal(QPointF(150, 150)), QPoint(), QPoint(deltaX, deltaY),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &event);
    }
}

void TestGlyphoraWidget::pressSelectsTopmostAndDrags()
{
    canvas->addObjectFromFile(file("red.png"), QPoint(100, 100));   // 50 .. 149
    canvas->addObjectFromFile(file("red.png"), QPoint(140, 140));   // 90 .. 189, on top
    QSignalSpy selected(canvas, &GlyphoraWidget::itemSelected);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(120, 120));
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.at(0).at(0).toInt(), 1);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(250, 250));  // nothing: kept
    QCOMPARE(canvas->selectedIndex(), 1);

    // Grabbed off-centre: only the mouse's offset counts.
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(60, 70));
    QCOMPARE(canvas->selectedIndex(), 0);
    QTest::mouseMove(canvas, QPoint(85, 65));
    QTest::mouseMove(canvas, QPoint(110, 60));
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(110, 60));
    QCOMPARE(objects().at(0).rect, QRect(100, 40, 100, 100));
    QTest::mouseMove(canvas, QPoint(200, 200));  // released: no drag
    QCOMPARE(objects().at(0).position, QPoint(100, 40));
}

void TestGlyphoraWidget::wheelScalesAndShiftWheelRotates()
{
    canvas->addObjectFromFile(file("wide.png"), QPoint(150, 150));  // fitted to 50 %
    canvas->selectByName(QStringLiteral("image0"));
    const QPoint topLeft = objects().at(0).position;
    QSignalSpy scaled(canvas, &GlyphoraWidget::itemScaled);
    wheel(120, 3);
    QCOMPARE(objects().at(0).scale, 53);
    QCOMPARE(objects().at(0).rect, QRect(topLeft, QSize(318, 106)));
    QCOMPARE(scaled.count(), 3);
    wheel(120, 3, Qt::ShiftModifier);
    QCOMPARE(objects().at(0).rotation, 3);
    // The bounding box of 318 x 106 turned by 3 degrees (323.1 x 122.5), top-left fixed.
    const QRect rect = objects().at(0).rect;
    QVERIFY(rect.topLeft() == topLeft && qAbs(rect.width() - 324) <= 1 && qAbs(rect.height() - 123) <= 1);
}

// The event's own Shift decides: a flag left set by a Shift released in another window
// does not turn the wheel into rotation, and a sideways Shift scroll still rotates.
void TestGlyphoraWidget::wheelShiftFromEvent()
{
    canvas->addObjectFromFile(file("red.png"), QPoint(150, 150));
    canvas->selectByName(QStringLiteral("Image0"));
    GlyphoraForm::shiftKeyPressed = true;
    wheel(120, 2);
    QCOMPARE(objects().at(0).scale, 102);
    QCOMPARE(objects().at(0).rotation, 0);
    GlyphoraForm::shiftKeyPressed = false;
    wheel(0, 1, Qt::ShiftModifier, -120);
    QCOMPARE(objects().at(0).rotation, -1);
    QCOMPARE(objects().at(0).scale, 102);
}

void TestGlyphoraWidget::touchpadSteps_data()
{
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<int>("scale");

    QTest::newRow("eight of 15 make a notch") << QList<int>(8, 15) << 101;
    QTest::newRow("seven of 15 make none") << QList<int>(7, 15) << 100;
    QTest::newRow("sixteen of 15 make two") << QList<int>(16, 15) << 102;
    QTest::newRow("back before a notch") << QList<int>{15, 15, 15, 15, 15, 15, 15, -15, -15, -15, -15, -15, -15, -15, -15} << 99;
    QTest::newRow("half notches") << QList<int>{60, 60, 60} << 101;
    QTest::newRow("one big turn") << QList<int>{-360} << 97;
}

void TestGlyphoraWidget::touchpadSteps()
{
    QFETCH(QList<int>, deltas);
    QFETCH(int, scale);
    canvas->addObjectFromFile(file("red.png"), QPoint(150, 150));
    canvas->selectByName(QStringLiteral("Image0"));
    for (int delta : deltas)
        wheel(delta, 1);
    QCOMPARE(objects().at(0).scale, scale);
}

void TestGlyphoraWidget::idReusedAndStaleSelection()
{
    for (int i = 0; i < 3; ++i)
        canvas->addObjectFromFile(file("red.png"), QPoint(100, 100));
    model->removeObjects({1});  // as the form's delete button does
    canvas->selectByName(QStringLiteral("-1"));
    canvas->addObjectFromFile(file("red.png"), QPoint(50, 50));
    QCOMPARE(objects().last().name(), QStringLiteral("Image1"));

    // The form empties the list itself: a selection left behind must reach nothing.
    canvas->selectByName(QStringLiteral("Image2"));
    model->reset(IconStyle(), {});
    canvas->setPosition(1, 2);
    canvas->setScale(30);
    wheel(120, 1);
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseMove(canvas, QPoint(120, 120));
    canvas->repaint();
    QVERIFY(objects().isEmpty());
}

void TestGlyphoraWidget::drops_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    for (const char* name : {"a.PNG", "b.jpeg", "c.webp", "d.tiff"})
        QTest::newRow(name) << name << true;
    for (const char* name : {"e.svg", "f.tif", "g.bmp", "h.png.txt", "folder.png", "missing.png"})
        QTest::newRow(name) << name << false;
}

void TestGlyphoraWidget::drops()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    // The first URL decides the drag; the drop takes each file that passes, in order, all
    // centred on the drop point (121, 80) and the last on top.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file(name)), QUrl::fromLocalFile(file("red.png")),
                  QUrl::fromLocalFile(file("e.svg")), QUrl::fromLocalFile(file("wide.png"))});
    QDragEnterEvent enter(QPoint(121, 80), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    if (!accepted)
        return;
    QSignalSpy added(canvas, &GlyphoraWidget::addItem);
    QDropEvent drop(QPointF(120.5, 80.4), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &drop);
    QCOMPARE(added.count(), 3);  // name (an empty object: not a picture), red, wide
    QVERIFY(objects().at(0).displayImage.isNull());
    QCOMPARE(objects().at(1).rect, QRect(71, 30, 100, 100));
    QCOMPARE(objects().at(2).rect, QRect(-29, 30, 300, 100));
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(121, 80));
    QCOMPARE(canvas->selectedIndex(), 2);
}

void TestGlyphoraWidget::canvasSizeIndex3()
{
    QSignalSpy changed(canvas, &GlyphoraWidget::canvasSizeChanged);
    canvas->setCanvasSizeIndex(3);
    QCOMPARE(canvas->size(), QSize(1200, 1200));
    QCOMPARE(canvas->renderOutput().size(), QSize(1024, 1024));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 1200);
}

void TestGlyphoraWidget::measuredLikeLabel_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("default 100") << "50% OFF" << QString() << 100;
    QTest::newRow("serif 50") << "Sale! ijW" << "DejaVu Serif" << 50;
    QTest::newRow("accents 68") << "Ünïcödé €5 &" << QString() << 68;
    QTest::newRow("empty") << "" << QString() << 36;
}

void TestGlyphoraWidget::measuredLikeLabel()
{
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(int, pixelSize);
    QFont font;
    if (!family.isEmpty())
        font.setFamily(family);
    font.setWeight(QFont::Bold);
    QWidget parent;
    QLabel label(&parent);
    // As on the form, the label held a text before (one never given a text measures as an
    // average character).
    label.setText(QStringLiteral("TextLabel"));
    label.setText(text);
    font.setPixelSize(pixelSize);
    label.setFont(font);
    label.adjustSize();
    IconStyle style;
    style.badgeText = text;
    style.badgeTextFont = font;
    style.badgeTextSize = pixelSize;
    style.canvasSize = 1;
    style.measureBadgeText();
    QCOMPARE(QSize(style.badgeTextWidth, style.badgeTextHeight), label.size());
}

QTEST_MAIN(TestGlyphoraWidget)
#include "tst_glyphorawidget.moc"
