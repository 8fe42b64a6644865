#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QStackedLayout>
#include <QToolBar>

#include "app/aboutdialog.h"
#include "app/checkupdatedialog.h"
#include "extract/extracticonform.h"
#include "create/glyphoraform.h"
#include "kvglobal.h"
#include "app/windowgeometry.h"

namespace {

const QString kGeometryKey = QStringLiteral("Software\\Vantrel\\Orvasto");

std::optional<quint32> readGeometryValue(const QString& name)
{
    quint32 value = 0;
    if (!KvGlobal::readRegistryDword(KvGlobal::CurrentUser, kGeometryKey, name, value))
        return std::nullopt;
    return value;
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    restoreWindowGeometry();

    centralLayout = new QStackedLayout;

    createForm = new GlyphoraForm(this);
    createForm->show();
    auto* createLayout = new QHBoxLayout;
    createLayout->addWidget(createForm);
    ui->createTab->setLayout(createLayout);

    extractForm = new ExtractIconForm(this);
    extractForm->show();
    auto* extractLayout = new QHBoxLayout;
    extractLayout->addWidget(extractForm);
    ui->extractTab->setLayout(extractLayout);

    centralLayout->addWidget(ui->tabWidget);
    ui->centralwidget->setLayout(centralLayout);

    updateAction = new QAction(QIcon(QStringLiteral(":/resources/images/Update24.png")), tr("Update"), this);
    connect(updateAction, SIGNAL(triggered(bool)), this, SLOT(OnUpdate(bool)));
    websiteAction = new QAction(QIcon(QStringLiteral(":/resources/images/websiteIcon24.png")), tr("website"), this);
    connect(websiteAction, SIGNAL(triggered(bool)), this, SLOT(OnWebSite(bool)));
    aboutAction = new QAction(QIcon(QStringLiteral(":/resources/images/About24.png")), tr("About"), this);
    connect(aboutAction, SIGNAL(triggered(bool)), this, SLOT(OnAbout(bool)));

    QToolBar* toolbar = addToolBar(tr("Tabs toolbar"));
    toolbar->setObjectName(QStringLiteral("toolbar"));
    addToolBar(Qt::TopToolBarArea, toolbar);
    toolbar->setOrientation(Qt::Horizontal);
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->setIconSize(QSize(24, 24));
    toolbar->addAction(updateAction);
    toolbar->addAction(websiteAction);
    toolbar->addAction(aboutAction);

    updateThemeIcons();
    setWindowTitle(KvGlobal::applicationName());
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::restoreWindowGeometry()
{
    const QSize screen = KvGlobal::fullScreenClientArea();
    StoredWindowGeometry stored;
    stored.posX = readGeometryValue(QStringLiteral("posX"));
    stored.posY = readGeometryValue(QStringLiteral("posY"));
    stored.width = readGeometryValue(QStringLiteral("width"));
    stored.height = readGeometryValue(QStringLiteral("height"));
    setGeometry(clampWindowGeometry(static_cast<quint32>(screen.width()), static_cast<quint32>(screen.height()), stored));
}

void MainWindow::updateThemeIcons()
{
    if (createForm)
        createForm->updateThemeIcons();
    if (extractForm)
        extractForm->updateThemeIcons();

    const bool dark = KvGlobal::isDarkColorScheme();
    updateAction->setIcon(QIcon(dark ? QStringLiteral(":/resources/images/UpdateWhite24.png")
                                     : QStringLiteral(":/resources/images/Update24.png")));
    aboutAction->setIcon(QIcon(dark ? QStringLiteral(":/resources/images/AboutWhite24.png")
                                    : QStringLiteral(":/resources/images/About24.png")));
    websiteAction->setIcon(QIcon(dark ? QStringLiteral(":/resources/images/websiteWhiteIcon24.png")
                                      : QStringLiteral(":/resources/images/websiteIcon24.png")));
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (createForm && event->key() == Qt::Key_Shift)
        GlyphoraForm::setShiftKeyPressed(true);
    QMainWindow::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    // Any released key ends the rotate mode, not only Shift.
    if (createForm)
        GlyphoraForm::setShiftKeyPressed(false);
    QMainWindow::keyReleaseEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A composition with changes not saved is asked about first; Cancel keeps the window.
    if (createForm && !createForm->maybeSaveChanges()) {
        event->ignore();
        return;
    }
    const QRect rect = geometry();
    KvGlobal::writeRegistryDword(KvGlobal::CurrentUser, kGeometryKey, QStringLiteral("posX"), static_cast<quint32>(rect.x()));
    KvGlobal::writeRegistryDword(KvGlobal::CurrentUser, kGeometryKey, QStringLiteral("posY"), static_cast<quint32>(rect.y()));
    KvGlobal::writeRegistryDword(KvGlobal::CurrentUser, kGeometryKey, QStringLiteral("width"), static_cast<quint32>(rect.width()));
    KvGlobal::writeRegistryDword(KvGlobal::CurrentUser, kGeometryKey, QStringLiteral("height"), static_cast<quint32>(rect.height()));
    QMainWindow::closeEvent(event);
}

void MainWindow::changeEvent(QEvent* event)
{
    // Before Qt 6.5 the scheme is read from the palette, so a palette change is a theme
    // change too.
    if (event->type() == QEvent::ThemeChange
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
        || event->type() == QEvent::ApplicationPaletteChange
#endif
    )
        updateThemeIcons();
    QMainWindow::changeEvent(event);
}

void MainWindow::OnUpdate(bool)
{
    auto* dialog = new CheckUpdateDialog(this);
    dialog->exec();
}

void MainWindow::OnWebSite(bool)
{
    KvGlobal::openWebsite();
}

void MainWindow::OnAbout(bool)
{
    auto* dialog = new AboutDialog(this);
    dialog->exec();
}
