#include <QtTest>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include "editor/glyphoraframe.h"
#include "kvglobal.h"
#include "picture/picturetypes.h"

// Which files the Create tab takes by name, and the drop frame's drag filter, with real
// files on disk and real mime data sent to the widget.
class TestGlyphoraFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void supportedImageFile_data();
    void supportedImageFile();

    void dragEnter_data();
    void dragEnter();

    void dropEmitsAllUrls();
    void dragMoveIsAccepted();

private:
    QString file(const QString& name) const { return dir.filePath(name); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(file(name)); }

    QTemporaryDir dir;
};

void TestGlyphoraFrame::initTestCase()
{
    QVERIFY(dir.isValid());
    const QStringList names = {
        "photo.PNG", "photo.png", "logo.SVG", "a.gif", "b.heif", "c.HEIC", "d.avif", "e.jxl",
        "f.jpg", "g.JPEG", "h.tif", "i.tiff", "j.webp", "archive.tar.png", "picture.png.txt",
        "notes.txt", "icon.ico", "image.bmp", "noext", "trailingdot.", ".png", "second.png",
    };
    for (const QString& name : names) {
        QFile f(file(name));
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(name));
        f.write("not looked at");  // only the name decides
    }
    QVERIFY(QDir(dir.path()).mkdir("folder.png"));
    QVERIFY(QDir(dir.path()).mkdir("plainfolder"));
}

void TestGlyphoraFrame::supportedImageFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<bool>("canvas"); // may be dropped on the canvas as a further object


    QTest::newRow("upper-case png") << "photo.PNG" << true << true;
    QTest::newRow("upper-case svg") << "logo.SVG" << true << false;
    QTest::newRow("gif") << "a.gif" << true << true;
    QTest::newRow("heif") << "b.heif" << true << false;
    QTest::newRow("heic") << "c.HEIC" << true << false;
    QTest::newRow("avif") << "d.avif" << true << false;
    QTest::newRow("jxl") << "e.jxl" << true << false;
    QTest::newRow("jpg") << "f.jpg" << true << true;
    QTest::newRow("jpeg") << "g.JPEG" << true << true;
    QTest::newRow("tif") << "h.tif" << true << false;
    QTest::newRow("tiff") << "i.tiff" << true << true;
    QTest::newRow("webp") << "j.webp" << true << true;
    QTest::newRow("last suffix counts") << "archive.tar.png" << true << true;
    QTest::newRow("picture name, text suffix") << "picture.png.txt" << false << false;
    QTest::newRow("text") << "notes.txt" << false << false;
    QTest::newRow("ico is no source") << "icon.ico" << false << false;
    QTest::newRow("bmp is no source") << "image.bmp" << false << false;
    QTest::newRow("no dot") << "noext" << false << false;
    QTest::newRow("trailing dot") << "trailingdot." << false << false;
    QTest::newRow("dot file named like a suffix") << ".png" << true << true;
    QTest::newRow("folder with a picture name") << "folder.png" << false << false;
    QTest::newRow("missing file") << "missing.png" << false << false;
}

void TestGlyphoraFrame::supportedImageFile()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
    QFETCH(bool, canvas);
    QCOMPARE(KvGlobal::isSupportedImageFile(file(name)), expected);
    QCOMPARE(PictureTypes::isCanvasPicture(file(name)), canvas);
}

void TestGlyphoraFrame::dragEnter_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("three files, first photo.PNG")
        << QList<QUrl>{url("photo.PNG"), url("notes.txt"), url("a.gif")} << true;
    QTest::newRow("first a folder, then pictures")
        << QList<QUrl>{QUrl::fromLocalFile(dir.filePath("plainfolder")), url("photo.png")} << false;
    QTest::newRow("first a folder named like a picture")
        << QList<QUrl>{url("folder.png"), url("photo.png")} << false;
    QTest::newRow("first notes.txt") << QList<QUrl>{url("notes.txt"), url("photo.png")} << false;
    QTest::newRow("first icon.ico") << QList<QUrl>{url("icon.ico"), url("photo.png")} << false;
    QTest::newRow("first image.bmp") << QList<QUrl>{url("image.bmp"), url("photo.png")} << false;
    QTest::newRow("web address") << QList<QUrl>{QUrl("https://example.org/photo.png")} << false;
    QTest::newRow("picture.png.txt") << QList<QUrl>{url("picture.png.txt")} << false;
    QTest::newRow("archive.tar.png") << QList<QUrl>{url("archive.tar.png")} << true;
    QTest::newRow("svg") << QList<QUrl>{url("logo.SVG")} << true;
    QTest::newRow("missing file") << QList<QUrl>{url("missing.png")} << false;
    QTest::newRow("no urls") << QList<QUrl>{} << false;
}

void TestGlyphoraFrame::dragEnter()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(bool, accepted);

    GlyphoraFrame frame;
    frame.setAcceptDrops(true);
    QMimeData mime;
    if (urls.isEmpty())
        mime.setText("just text");
    else
        mime.setUrls(urls);

    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::LinkAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QCOMPARE(enter.dropAction(), Qt::LinkAction);
}

void TestGlyphoraFrame::dropEmitsAllUrls()
{
    GlyphoraFrame frame;
    frame.setAcceptDrops(true);
    QSignalSpy spy(&frame, SIGNAL(addURLs(QList<QUrl>)));

    // The drop hands on every URL in order, including those the filter would refuse.
    const QList<QUrl> urls{url("photo.PNG"), url("notes.txt"), QUrl("https://example.org/x.png")};
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::LinkAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::LinkAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &drop);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QList<QUrl>>(), urls);
}

void TestGlyphoraFrame::dragMoveIsAccepted()
{
    GlyphoraFrame frame;
    frame.setAcceptDrops(true);
    QMimeData mime;
    mime.setUrls({url("photo.png")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::LinkAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &enter);
    QDragMoveEvent move(QPoint(5, 5), Qt::LinkAction, &mime, Qt::NoButton, Qt::NoModifier);
    move.ignore();
    QCoreApplication::sendEvent(&frame, &move);
    QVERIFY(move.isAccepted());
}

QTEST_MAIN(TestGlyphoraFrame)
#include "tst_glyphoraframe.moc"
