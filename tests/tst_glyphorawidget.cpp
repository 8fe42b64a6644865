// The canvas through real events: presses on overlapping objects, drags, wheel notches
// with and without Shift, drops of accepted and refused files, ids after a delete, the
// canvas sizes; and the badge text measured without a widget against a real QLabel.
#include <QtTest>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QWheelEvent>

#include "glyphoraform.h"
#include "glyphorawidget.h"
#include "render/iconstyle.h"
#include "testfiles.h"

class TestGlyphoraWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void pressSelectsTopmost();
    void pressOnNothingKeepsSelection();
    void dragMovesByMouseOffset();
    void wheelScalesAndShiftWheelRotates();
    void wheelToNothingAndBack();
    void idReusedAfterDelete();
    void dragEnter_data();
    void dragEnter();
    void dropAddsCentredObjects();
    void undecodableDropGivesEmptyObject();
    void canvasSizes_data();
    void canvasSizes();
    void selectByNameAnyCase();
    void setPositionWithoutSelectionDoesNothing();
    void paintsComposition();
    void measuredLikeLabel_data();
    void measuredLikeLabel();

private:
    QString file(const QString& name) const { return dir.filePath(name); }
    QString picture(const QString& name, QSize size, QRgb colour);
    void sendWheel(int deltaY, int times);
    bool dragAccepted(const QList<QUrl>& urls);

    QTemporaryDir dir;
    GlyphoraWidget* canvas = nullptr;
};

QString TestGlyphoraWidget::picture(const QString& name, QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    const QString path = file(name);
    if (!image.save(path, "PNG"))
        qWarning() << "cannot write" << path;
    return path;
}

void TestGlyphoraWidget::initTestCase()
{
    QVERIFY(dir.isValid());
    picture("red.png", QSize(100, 100), 0xffff0000);
    picture("blue.png", QSize(100, 100), 0xff0000ff);
    picture("wide.png", QSize(600, 200), 0xff00ff00);
    for (const QString& name : {"a.PNG", "b.jpeg", "c.gif", "d.webp", "e.tiff", "f.JPG", "g.svg", "h.tif",
                                "i.bmp", "j.heic", "k.png.txt", "broken.png"}) {
        QVERIFY(writeFile(file(name), "only the name is looked at"));
    }
    QVERIFY(QDir(dir.path()).mkdir("folder.png"));
}

void TestGlyphoraWidget::init()
{
    imageDataList.clear();
    GlyphoraForm::shiftKeyPressed = false;
    canvas = new GlyphoraWidget;
    canvas->setCanvasSizeIndex(1);
    canvas->setAcceptDrops(true);
    canvas->show();
    QVERIFY(QTest::qWaitForWindowExposed(canvas));
}

void TestGlyphoraWidget::cleanup()
{
    delete canvas;
    canvas = nullptr;
    imageDataList.clear();
    GlyphoraForm::shiftKeyPressed = false;
}

void TestGlyphoraWidget::sendWheel(int deltaY, int times)
{
    const QPointF at(150, 150);
    for (int i = 0; i < times; ++i) {
        QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, deltaY), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &wheel);
    }
}

bool TestGlyphoraWidget::dragAccepted(const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(150, 150), Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &enter);
    return enter.isAccepted();
}

void TestGlyphoraWidget::pressSelectsTopmost()
{
    canvas->addObjectFromFile(file("red.png"), QPoint(100, 100));   // 50 .. 149
    canvas->addObjectFromFile(file("blue.png"), QPoint(140, 140));  // 90 .. 189
    QSignalSpy selected(canvas, &GlyphoraWidget::itemSelected);
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(120, 120));
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(120, 120));
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.at(0).at(0).toInt(), 1);
    QCOMPARE(canvas->selectedIndex(), 1);
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    QCOMPARE(canvas->selectedIndex(), 0);
    // The right button selects nothing.
    QTest::mousePress(canvas, Qt::RightButton, Qt::NoModifier, QPoint(180, 180));
    QCOMPARE(canvas->selectedIndex(), 0);
}

void TestGlyphoraWidget::pressOnNothingKeepsSelection()
{
    canvas->addObjectFromFile(file("red.png"), QPoint(100, 100));
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QSignalSpy selected(canvas, &GlyphoraWidget::itemSelected);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(250, 250));
    QCOMPARE(selected.count(), 0);
    QCOMPARE(canvas->selectedIndex(), 0);
}

void TestGlyphoraWidget::dragMovesByMouseOffset()
{
    canvas->addObjectFromFile(file("red.png"), QPoint(100, 100));
    QSignalSpy moved(canvas, &GlyphoraWidget::itemMoved);
    // Grabbed off-centre: only the mouse's offset counts.
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(70, 130));
    QTest::mouseMove(canvas, QPoint(90, 125));
    QTest::mouseMove(canvas, QPoint(120, 120));
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(120, 120));
    QCOMPARE(imageDataList.at(0).position, QPoint(100, 40));
    QCOMPARE(imageDataList.at(0).rect, QRect(100, 40, 100, 100));
    QVERIFY(moved.count() >= 2);
    QCOMPARE(moved.last().at(0).toInt(), 0);
    // After the release a move drags nothing.
    QTest::mouseMove(canvas, QPoint(200, 200));
    QCOMPARE(imageDataList.at(0).position, QPoint(100, 40));
}

void TestGlyphoraWidget::wheelScalesAndShiftWheelRotates()
{
    canvas->addObjectFromFile(file("wide.png"), QPoint(150, 150));
    QCOMPARE(imageDataList.at(0).scale, 50);
    canvas->selectByName(QStringLiteral("Image0"));
    const QPoint topLeft = imageDataList.at(0).position;
    QSignalSpy scaled(canvas, &GlyphoraWidget::itemScaled);
    QSignalSpy rotated(canvas, &GlyphoraWidget::itemRotated);
    sendWheel(120, 3);
    QCOMPARE(imageDataList.at(0).scale, 53);
    QCOMPARE(imageDataList.at(0).displayImage.size(), QSize(318, 106));
    QCOMPARE(scaled.count(), 3);

    GlyphoraForm::shiftKeyPressed = true;
    sendWheel(120, 3);
    QCOMPARE(imageDataList.at(0).rotation, 3);
    QCOMPARE(imageDataList.at(0).scale, 53);
    QCOMPARE(rotated.count(), 3);
    // The bounding box of 318 x 106 turned by 3 degrees, top-left fixed.
    const QRect rect = imageDataList.at(0).rect;
    QCOMPARE(rect.topLeft(), topLeft);
    QVERIFY(rect.width() >= 322 && rect.width() <= 325);
    QVERIFY(rect.height() >= 121 && rect.height() <= 124);

    sendWheel(-120, 1);
    QCOMPARE(imageDataList.at(0).rotation, 2);
    // Half a notch rounds away from zero to a whole step; an eighth is no step.
    GlyphoraForm::shiftKeyPressed = false;
    sendWheel(60, 1);
    QCOMPARE(imageDataList.at(0).scale, 54);
    sendWheel(-15, 1);
    QCOMPARE(imageDataList.at(0).scale, 54);
}

void TestGlyphoraWidget::wheelToNothingAndBack()
{
    canvas->addObjectFromFile(file("red.png"), QPoint(150, 150));
    canvas->selectByName(QStringLiteral("Image0"));
    canvas->setScale(2);
    sendWheel(-120, 3);  // 2 % -> -1 %
    QCOMPARE(imageDataList.at(0).scale, -1);
    QVERIFY(imageDataList.at(0).displayImage.isNull());
    QVERIFY(imageDataList.at(0).rect.isEmpty());
    canvas->repaint();
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QCOMPARE(canvas->selectedIndex(), 0);
    sendWheel(120, 3);
    QCOMPARE(imageDataList.at(0).scale, 2);
    QCOMPARE(imageDataList.at(0).rect, QRect(100, 100, 2, 2));
}

void TestGlyphoraWidget::idReusedAfterDelete()
{
    for (int i = 0; i < 3; ++i)
        canvas->addObjectFromFile(file("red.png"), QPoint(100 + 10 * i, 100));
    QCOMPARE(imageDataList.at(2).name(), QStringLiteral("Image2"));
    // What the form's delete button does: remove the object, clear the selection.
    imageDataList.removeAt(1);
    canvas->selectByName(QStringLiteral("-1"));
    QCOMPARE(canvas->selectedIndex(), -1);
    QSignalSpy added(canvas, &GlyphoraWidget::addItem);
    canvas->addObjectFromFile(file("blue.png"), QPoint(50, 50));
    QCOMPARE(imageDataList.last().id, 1);
    QCOMPARE(added.at(0).at(0).toInt(), 2);
    canvas->addObjectFromFile(file("blue.png"), QPoint(50, 50));
    QCOMPARE(imageDataList.last().id, 3);
    // Wheel and setters with nothing selected change nothing.
    sendWheel(120, 1);
    for (const ImageData& object : std::as_const(imageDataList))
        QCOMPARE(object.scale, 100);
}

void TestGlyphoraWidget::dragEnter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("png upper case") << "a.PNG" << true;
    QTest::newRow("jpeg") << "b.jpeg" << true;
    QTest::newRow("gif") << "c.gif" << true;
    QTest::newRow("webp") << "d.webp" << true;
    QTest::newRow("tiff") << "e.tiff" << true;
    QTest::newRow("JPG") << "f.JPG" << true;
    QTest::newRow("svg") << "g.svg" << false;
    QTest::newRow("tif") << "h.tif" << false;
    QTest::newRow("bmp") << "i.bmp" << false;
    QTest::newRow("heic") << "j.heic" << false;
    QTest::newRow("last suffix txt") << "k.png.txt" << false;
    QTest::newRow("folder named png") << "folder.png" << false;
    QTest::newRow("missing file") << "missing.png" << false;
}

void TestGlyphoraWidget::dragEnter()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    QCOMPARE(dragAccepted({QUrl::fromLocalFile(file(name))}), accepted);
    // The first URL decides.
    QCOMPARE(dragAccepted({QUrl::fromLocalFile(file(name)), QUrl::fromLocalFile(file("red.png"))}), accepted);
    QVERIFY(!dragAccepted({QUrl(QStringLiteral("https://example.com/a.png"))}));
    QVERIFY(!dragAccepted({}));
}

void TestGlyphoraWidget::dropAddsCentredObjects()
{
    QSignalSpy added(canvas, &GlyphoraWidget::addItem);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file("red.png")), QUrl::fromLocalFile(file("g.svg")),
                  QUrl::fromLocalFile(file("wide.png")), QUrl::fromLocalFile(file("folder.png"))});
    // A drop reaches the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(120, 80), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(120.5, 80.4), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &drop);
    QCOMPARE(added.count(), 2);
    QCOMPARE(imageDataList.size(), 2);
    // Both centred on (121, 80), the second on top.
    QCOMPARE(imageDataList.at(0).rect.center() + QPoint(1, 1), QPoint(121, 80));
    QCOMPARE(imageDataList.at(1).rect, QRect(121 - 150, 80 - 50, 300, 100));
    QCOMPARE(added.at(1).at(0).toInt(), 1);
    QCOMPARE(added.at(1).at(1).value<QImage>().size(), QSize(300, 100));
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(121, 80));
    QCOMPARE(canvas->selectedIndex(), 1);
}

void TestGlyphoraWidget::undecodableDropGivesEmptyObject()
{
    QSignalSpy added(canvas, &GlyphoraWidget::addItem);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Failed to load image from:.*broken.png"));
    canvas->addObjectFromFile(file("broken.png"), QPoint(100, 100));
    QCOMPARE(added.count(), 1);
    QVERIFY(imageDataList.at(0).displayImage.isNull());
    QVERIFY(imageDataList.at(0).rect.isEmpty());
    canvas->selectByName(QStringLiteral("Image0"));
    sendWheel(120, 2);
    canvas->setRotation(45);
    canvas->repaint();
    QVERIFY(imageDataList.at(0).displayImage.isNull());
}

void TestGlyphoraWidget::canvasSizes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("icon");
    QTest::newRow("1") << 1 << 300 << 256;
    QTest::newRow("2") << 2 << 600 << 512;
    QTest::newRow("3") << 3 << 1200 << 1024;
}

void TestGlyphoraWidget::canvasSizes()
{
    QFETCH(int, index);
    QFETCH(int, side);
    QFETCH(int, icon);
    QSignalSpy changed(canvas, &GlyphoraWidget::canvasSizeChanged);
    canvas->setCanvasSizeIndex(index);
    QCOMPARE(canvas->size(), QSize(side, side));
    QCOMPARE(canvas->iconSide(), icon);
    QCOMPARE(canvas->canvasSide(), side);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), side);
    QCOMPARE(canvas->renderOutput().size(), QSize(icon, icon));
}

void TestGlyphoraWidget::selectByNameAnyCase()
{
    for (int i = 0; i < 3; ++i)
        canvas->addObjectFromFile(file("red.png"), QPoint(60 + 60 * i, 100));
    QSignalSpy selected(canvas, &GlyphoraWidget::itemSelected);
    canvas->selectByName(QStringLiteral("image2"));
    QCOMPARE(canvas->selectedIndex(), 2);
    QCOMPARE(selected.count(), 1);
    canvas->selectByName(QStringLiteral("Image7"));
    QCOMPARE(canvas->selectedIndex(), 2);
    QCOMPARE(selected.count(), 1);
    canvas->setPosition(5, 6);
    QCOMPARE(imageDataList.at(2).rect, QRect(5, 6, 100, 100));
}

void TestGlyphoraWidget::setPositionWithoutSelectionDoesNothing()
{
    canvas->addObjectFromFile(file("red.png"), QPoint(100, 100));
    canvas->selectByName(QStringLiteral("Image0"));
    // The form removes objects itself; a stale selection must not reach past the list.
    imageDataList.clear();
    canvas->setPosition(1, 2);
    canvas->setScale(30);
    canvas->setRotation(30);
    sendWheel(120, 1);
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseMove(canvas, QPoint(120, 120));
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(120, 120));
    canvas->repaint();
    QVERIFY(imageDataList.isEmpty());
}

void TestGlyphoraWidget::paintsComposition()
{
    iconStyle = IconStyle();
    iconStyle.useBackground = iconStyle.useBack3dEffect = iconStyle.useGlossy = iconStyle.useBadge = false;
    iconStyle.useBorder = false;
    iconStyle.measureBadgeText();
    canvas->addObjectFromFile(file("red.png"), QPoint(150, 150));
    canvas->selectByName(QStringLiteral("Image0"));
    const QImage shot = canvas->grab().toImage();
    QCOMPARE(shot.pixel(150, 150), qRgb(255, 0, 0));
    // The dashed selection along the object's top edge.
    int dashes = 0;
    for (int x = 100; x < 200; ++x)
        dashes += shot.pixel(x, 100) == qRgb(0, 0, 0);
    QVERIFY2(dashes > 30 && dashes < 90, qPrintable(QString::number(dashes)));
    QCOMPARE(canvas->renderOutput().pixel(100 - 22, 100 - 22), qRgb(255, 0, 0));
}

void TestGlyphoraWidget::measuredLikeLabel_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("default 18") << "50% OFF" << QString() << 18;
    QTest::newRow("default 100") << "50% OFF" << QString() << 100;
    QTest::newRow("serif 50") << "Sale! ijW" << "DejaVu Serif" << 50;
    QTest::newRow("mono 17") << "NEW" << "DejaVu Sans Mono" << 17;
    QTest::newRow("accents 68") << "Ünïcödé €5 &" << QString() << 68;
    QTest::newRow("empty") << "" << QString() << 36;
    QTest::newRow("spaces") << "  x  " << QString() << 25;
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
    font.setPixelSize(pixelSize);
    QWidget parent;
    QLabel label(&parent);
    label.hide();
    // As on the form, the label held a text before (a label never given one measures as
    // one average character).
    label.setText(QStringLiteral("TextLabel"));
    label.setText(text);
    label.setFont(font);
    label.adjustSize();
    QCOMPARE(IconStyle::labelTextSize(font, text), label.size());

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
