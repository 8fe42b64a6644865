#include <QtTest>

#include <QAction>
#include <QLabel>
#include <QTabWidget>
#include <QToolBar>

#include "app/aboutdialog.h"
#include "create/glyphoraform.h"
#include "kvglobal.h"
#include "kvregistrystore.h"
#include "app/mainwindow.h"

// The main window, its toolbar, theme icons, Shift forwarding and remembered geometry,
// and the About box.
class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void windowAndToolbar();
    void themeIconsFollowScheme();
    void shiftForwarding();
    void geometryFirstStart();
    void geometryRoundTrip();
    void geometryOffScreenIsClamped();
    void geometryOfAnotherTypeIsIgnored();
    void aboutBox();
    void productIdentity();

private:
    static void storeGeometry(qint32 x, qint32 y, qint32 w, qint32 h);
};

namespace {

const QString kGeometryKey = QStringLiteral("Software\\Vantrel\\Orvasto");

QImage imageOf(const QIcon& icon)
{
    return icon.pixmap(QSize(24, 24)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage resourceImage(const char* name)
{
    return QImage(QStringLiteral(":/resources/images/") + QLatin1String(name)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QAction* toolbarAction(MainWindow& window, const QString& text)
{
    const QList<QAction*> actions = window.findChild<QToolBar*>(QStringLiteral("toolbar"))->actions();
    for (QAction* action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(32, 32, 32));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(45, 45, 45));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Button, QColor(45, 45, 45));
    palette.setColor(QPalette::ButtonText, Qt::white);
    return palette;
}

} // namespace

void TestMainWindow::init()
{
    QFile::remove(KvRegistryStore::defaultFilePath());
}

void TestMainWindow::storeGeometry(qint32 x, qint32 y, qint32 w, qint32 h)
{
    QVERIFY(KvGlobal::writeRegistryDword(KvGlobal::CurrentUser, kGeometryKey, QStringLiteral("posX"), quint32(x)));
    QVERIFY(KvGlobal::writeRegistryDword(KvGlobal::CurrentUser, kGeometryKey, QStringLiteral("posY"), quint32(y)));
    QVERIFY(KvGlobal::writeRegistryDword(KvGlobal::CurrentUser, kGeometryKey, QStringLiteral("width"), quint32(w)));
    QVERIFY(KvGlobal::writeRegistryDword(KvGlobal::CurrentUser, kGeometryKey, QStringLiteral("height"), quint32(h)));
}

void TestMainWindow::windowAndToolbar()
{
    MainWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Vantrel Glyphora"));
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Create Icon"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Extract Icon"));
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(tabs->widget(0)->findChild<GlyphoraForm*>());

    auto* toolbar = window.findChild<QToolBar*>(QStringLiteral("toolbar"));
    QVERIFY(toolbar);
    QCOMPARE(window.toolBarArea(toolbar), Qt::TopToolBarArea);
    QVERIFY(!toolbar->isMovable());
    QCOMPARE(toolbar->iconSize(), QSize(24, 24));
    QCOMPARE(toolbar->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QStringList texts;
    for (QAction* action : toolbar->actions())
        texts << action->text();
    QCOMPARE(texts, (QStringList{QStringLiteral("Update"), QStringLiteral("website"), QStringLiteral("About")}));
}

void TestMainWindow::themeIconsFollowScheme()
{
    const QPalette light = QGuiApplication::palette();
    QVERIFY(!KvGlobal::isDarkColorScheme());
    MainWindow window;
    QAction* update = toolbarAction(window, QStringLiteral("Update"));
    QAction* website = toolbarAction(window, QStringLiteral("website"));
    QAction* about = toolbarAction(window, QStringLiteral("About"));
    for (const char* name : {"Update24.png", "UpdateWhite24.png", "websiteIcon24.png", "websiteWhiteIcon24.png",
                             "About24.png", "AboutWhite24.png"})
        QVERIFY2(!resourceImage(name).isNull(), name);
    QVERIFY(resourceImage("Update24.png") != resourceImage("UpdateWhite24.png"));
    QCOMPARE(imageOf(update->icon()), resourceImage("Update24.png"));
    QCOMPARE(imageOf(website->icon()), resourceImage("websiteIcon24.png"));
    QCOMPARE(imageOf(about->icon()), resourceImage("About24.png"));

    QApplication::setPalette(darkPalette());
    QVERIFY(KvGlobal::isDarkColorScheme());
    QEvent themeChange(QEvent::ThemeChange);
    QApplication::sendEvent(&window, &themeChange);
    QCOMPARE(imageOf(update->icon()), resourceImage("UpdateWhite24.png"));
    QCOMPARE(imageOf(website->icon()), resourceImage("websiteWhiteIcon24.png"));
    QCOMPARE(imageOf(about->icon()), resourceImage("AboutWhite24.png"));

    QApplication::setPalette(light);
    QApplication::sendEvent(&window, &themeChange);
    QCOMPARE(imageOf(update->icon()), resourceImage("Update24.png"));
}

void TestMainWindow::shiftForwarding()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    GlyphoraForm::setShiftKeyPressed(false);
    QTest::keyPress(&window, Qt::Key_A);
    QVERIFY(!GlyphoraForm::shiftKeyPressed);
    QTest::keyPress(&window, Qt::Key_Shift);
    QVERIFY(GlyphoraForm::shiftKeyPressed);
    // Releasing any key, Shift still held, ends the rotate mode.
    QTest::keyRelease(&window, Qt::Key_A, Qt::ShiftModifier);
    QVERIFY(!GlyphoraForm::shiftKeyPressed);
}

void TestMainWindow::geometryFirstStart()
{
    const QSize screen = KvGlobal::fullScreenClientArea();
    QVERIFY(screen.width() >= 986 && screen.height() >= 513);
    MainWindow window;
    QCOMPARE(window.geometry(), QRect(100, 100, 986, 513));
}

void TestMainWindow::geometryRoundTrip()
{
    storeGeometry(40, 60, 1100, 700);
    {
        MainWindow window;
        QCOMPARE(window.geometry(), QRect(40, 60, 1100, 700));
        window.setGeometry(QRect(120, 80, 1000, 600));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.close();
    }
    quint32 values[4] = {};
    const char* names[4] = {"posX", "posY", "width", "height"};
    for (int i = 0; i < 4; ++i)
        QVERIFY(KvGlobal::readRegistryDword(KvGlobal::CurrentUser, kGeometryKey, QLatin1String(names[i]), values[i]));
    MainWindow again;
    QCOMPARE(again.geometry(), QRect(int(values[0]), int(values[1]), int(values[2]), int(values[3])));
    QCOMPARE(again.geometry().size(), QSize(1000, 600));
}

void TestMainWindow::geometryOffScreenIsClamped()
{
    const QSize screen = KvGlobal::fullScreenClientArea();
    storeGeometry(-200, 50, 600, screen.height() + 500);
    MainWindow window;
    QCOMPARE(window.geometry(), QRect(100, 50, 986, screen.height()));
}

void TestMainWindow::geometryOfAnotherTypeIsIgnored()
{
    storeGeometry(30, 30, 1000, 600);
    QVERIFY(KvGlobal::writeRegistryString(KvGlobal::CurrentUser, kGeometryKey, QStringLiteral("posX"), QStringLiteral("100")));
    QTest::ignoreMessage(QtDebugMsg, "\"Software\\\\Vantrel\\\\Orvasto\"  :  \"posX\"  : Cannot read DWORD from registry.");
    MainWindow window;
    QCOMPARE(window.geometry(), QRect(100, 30, 1000, 600));
}

void TestMainWindow::aboutBox()
{
    AboutDialog dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About"));
    auto* title = dialog.findChild<QLabel*>(QStringLiteral("label"));
    QCOMPARE(title->text(), QStringLiteral("Vantrel Glyphora"));
    // The title takes its width from the name, not from the form.
    QCOMPARE(title->width(), title->sizeHint().width());
    QVERIFY(title->width() != 301);
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("versionLabel"))->text(), QStringLiteral("Version: 3.2.0"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("label_5"))->text(), QStringLiteral("for Windows 11 and 10"));

    auto* web = dialog.findChild<QLabel*>(QStringLiteral("webLabel"));
    QCOMPARE(web->textFormat(), Qt::RichText);
    QVERIFY(web->openExternalLinks());
    QVERIFY(web->textInteractionFlags().testFlag(Qt::LinksAccessibleByKeyboard));
    QVERIFY(web->textInteractionFlags().testFlag(Qt::LinksAccessibleByMouse));
    QVERIFY(web->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    const QString host = QString::fromLatin1(KvGlobal::webServerHost);
    QCOMPARE(web->text(), QStringLiteral("<a href=\"https://%1/\">%1</a>").arg(host));
    QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("label_4"))->pixmap().isNull());

    // Whatever the font, no text is cut and the link does not run into its caption.
    for (const char* name : {"label", "label_5", "versionLabel", "label_2", "webLabel", "label_3"}) {
        auto* label = dialog.findChild<QLabel*>(QLatin1String(name));
        QVERIFY2(label->width() >= label->sizeHint().width(), name);
    }
    QVERIFY(web->x() > dialog.findChild<QLabel*>(QStringLiteral("label_2"))->geometry().right());
}

void TestMainWindow::productIdentity()
{
    QCOMPARE(KvGlobal::versionString(), QStringLiteral("3.2.0"));
    QCOMPARE(KvGlobal::applicationName(), QStringLiteral("Vantrel Glyphora"));
    const QString host = QString::fromLatin1(KvGlobal::webServerHost);
    QCOMPARE(KvGlobal::websiteUrl().toString(), QStringLiteral("https://%1/").arg(host));
    QCOMPARE(KvGlobal::productPageUrl().toString(), QStringLiteral("https://%1/Glyphora.php").arg(host));
    QCOMPARE(KvGlobal::updateFileUrl().toString(), QStringLiteral("http://%1/Glyphora/update.txt").arg(host));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
