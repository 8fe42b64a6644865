#include <QtTest>

#include <QAction>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSemaphore>
#include <QStandardItemModel>
#include <QStyle>
#include <QThreadPool>
#include <QFutureWatcher>
#include <QPointer>
#include <QScopeGuard>

#include <functional>

#include "extract/exporticondialog.h"
#include "extract/extracticonform.h"
#include "ico/extracticonglobal.h"
#include "kvglobal.h"
#include "modalwatch.h"
#include "pewriter.h"
#include "processrun.h"
#include "testicons.h"

// The Extract tab driven as a user would: the first load in the background, the library
// menu, files opened and dropped, and both exports, with wrestool and icotool as oracles.
namespace {

// The loader path on Linux reads wine's DLL folder when there is no wine prefix (HOME
// is a throwaway folder here), and wine's imageres.dll holds no icon group.
const QString kWineFolder = QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows");

// wrestool's RT_GROUP_ICON names of file, as it lists them.
QStringList wrestoolGroupNames(const QString& file)
{
    QStringList names;
    static const QRegularExpression line(QStringLiteral("^--type=14 --name=('?)(.*?)\\1 --language="));
    for (const QByteArray& text : run("wrestool", {"-l", "-t14", file}).out.split('\n')) {
        const auto match = line.match(QString::fromUtf8(text));
        if (match.hasMatch())
            names.append(match.captured(2));
    }
    return names;
}

// icotool's entries of an .ico file: "WxH@D" each; empty when icotool refuses the file.
QStringList icotoolEntries(const QString& file)
{
    QStringList entries;
    const Run result = run("icotool", {"-l", file});
    if (result.exitCode != 0)
        return entries;
    static const QRegularExpression line(QStringLiteral("--width=(\\d+) --height=(\\d+) --bit-depth=(\\d+)"));
    for (const QByteArray& text : result.out.split('\n')) {
        const auto match = line.match(QString::fromUtf8(text));
        if (match.hasMatch())
            entries.append(match.captured(1) + "x" + match.captured(2) + "@" + match.captured(3));
    }
    return entries;
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage solid(int side, QColor colour)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// A PE file whose groups hold PNG images of the given sides and colours, RT_ICON IDs
// counting from firstId; a group of missingIds names IDs that are not in the file.
QByteArray peWithGroups(const QList<QList<QPair<int, QColor>>>& groups, bool missingIds = false)
{
    PeWriter pe;
    quint16 id = 1;
    quint16 groupId = 100;
    for (const auto& group : groups) {
        QList<PeWriter::GroupEntry> entries;
        for (const auto& [side, colour] : group) {
            const QByteArray png = TestIcons::pngPayload(solid(side, colour));
            if (!missingIds)
                pe.addIcon(id, png);
            entries.append({quint8(side == 256 ? 0 : side), quint8(side == 256 ? 0 : side), 32,
                            quint32(png.size()), quint16(missingIds ? id + 1000 : id)});
            ++id;
        }
        pe.addGroup(PeWriter::Name::fromId(groupId++), PeWriter::groupPayload(entries));
    }
    return pe.build();
}

} // namespace

class TestExtractIconForm : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void openedUrl(const QUrl& url) { openedUrls << url; }

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void firstLoadPaintsBeforeRecordsArrive();
    void firstLoadKeepsTheEventLoopTurning();

    void listsLikeWrestool_data();
    void listsLikeWrestool();
    void icoFileGivesOneItem();
    void transparentOneBitPngStaysTransparent();
    void missingIconIdsGiveMinusOne();
    void secondGroupShowsItsOwnImages();

    void missingLibraryOpensDialog();
    void severalFilesLoadOnlyTheFirst();
    void menuLoadsLibrary();

    void drops_data();
    void drops();

    void toIcoFromParsedFile_data();
    void toIcoFromParsedFile();
    void toIcoFromLibraryWritesSelectedGroup();
    void toIcoFromIcoListWritesTheFile();
    void toIcoCancelledWritesNothing();
    void toIcoUnwritableShowsWhy_data();
    void toIcoUnwritableShowsWhy();
    void toIcoPartialNamesFailedGroups();
    void toIcoAsksBeforeReplacingGroupFiles_data();
    void toIcoAsksBeforeReplacingGroupFiles();

    void toPngOpensDialogForSelection();
    void toPngRowsAndNames();
    void toPngSameSizeGetsDistinctNames();
    void toPngRefusedNameShowsWhy();
    void toPngUnwritableFileShowsWhy();
    void toPngAsksBeforeReplacing_data();
    void toPngAsksBeforeReplacing();

    void pickDuringFirstLoadStaysListed_data();
    void pickDuringFirstLoadStaysListed();
    void secondPickWins_data();
    void secondPickWins();

    void themeIcons();

private:
    struct SeenBox
    {
        QString title;
        QString text;
        QString lines;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };
    void makeForm(bool waitForLoad = true);
    // Runs start, then waits until the list holds the newest load's records.
    void loaded(const std::function<void()>& start);
    // Records the next count message boxes in seen; box i is answered with answers[i]
    // when given, else closed.
    void answerBoxes(QList<SeenBox>* seen, const QList<QMessageBox::StandardButton>& answers = {}, int count = 1);
    // A PNG export dialog for entries with name in its name field, shown; clickExport()
    // presses its Export button.
    ExportIconDialog* pngDialog(const QList<IconImageEntry>& entries, const QString& name);
    void clickExport() { dialog->findChild<QPushButton*>("exportPngButton")->click(); }
    QPointer<ExportIconDialog> dialog;
    void dropOnList(const QString& path, bool expectAccepted = true);
    void selectRow(int row);
    void answerFileDialog(const QStringList& paths, QString* title = nullptr);
    void answerFolder(const QString& folder);
    void watchBox(bool* seen);
    QAction* libraryAction(const QString& text) const;
    QList<QAction*> checkedActions() const;
    QString file(const QString& name) const { return dir.filePath(name); }
    QStandardItemModel* model() const
    {
        return static_cast<QStandardItemModel*>(form->findChild<QListView*>("listView")->model());
    }

    QTemporaryDir dir;
    ExtractIconForm* form = nullptr;
    // Parent of the modal-dialog watchers: none outlives its test.
    QObject* scope = nullptr;
    QList<QUrl> openedUrls;
    QString shell32;
    int shell32Groups = 0;
};

void TestExtractIconForm::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkpath(QDir::homePath()));
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openedUrl");
    if (QStandardPaths::findExecutable("wrestool").isEmpty() || QStandardPaths::findExecutable("icotool").isEmpty())
        QSKIP("icoutils is not installed");
    shell32 = QDir(kWineFolder).filePath("shell32.dll");
    if (!QFileInfo(shell32).isFile())
        QSKIP("wine's shell32.dll is not installed");
    QVERIFY(!QFileInfo(QDir(kWineFolder).filePath("imageres.dll")).exists());
    QCOMPARE(ExtractIconForm::libraryPath("shell32.dll"), shell32);
    // The loader path lists groups with integer IDs only.
    for (const QString& name : wrestoolGroupNames(shell32)) {
        bool number = false;
        name.toInt(&number);
        shell32Groups += number;
    }
    QVERIFY(shell32Groups > 100);
    if (!qEnvironmentVariableIsSet("TEST_DEBUG")) QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    QFile one(file("one.dll"));
    QVERIFY(one.open(QIODevice::WriteOnly));
    one.write(peWithGroups({{{16, Qt::red}, {48, Qt::green}}}));
    one.close();
    QFile two(file("two.dll"));
    QVERIFY(two.open(QIODevice::WriteOnly));
    two.write(peWithGroups({{{16, Qt::red}, {48, Qt::red}}, {{32, Qt::blue}}}));
    two.close();
    QFile missing(file("missing.dll"));
    QVERIFY(missing.open(QIODevice::WriteOnly));
    missing.write(peWithGroups({{{16, Qt::red}}, {{32, Qt::blue}}}, true));
    missing.close();
    // The .ico comes from icotool, not from this program's encoder.
    QVERIFY(solid(16, Qt::red).save(file("i16.png")));
    QVERIFY(solid(48, Qt::blue).save(file("i48.png")));
    QCOMPARE(run("icotool", {"-c", "-o", file("icons.ICO"), file("i16.png"), file("i48.png")}).exitCode, 0);
    QVERIFY(QDir(dir.path()).mkdir("folder.ico"));
    QVERIFY(QDir(dir.path()).mkdir("out"));
}

void TestExtractIconForm::init()
{
    QApplication::setPalette(QApplication::style()->standardPalette());
    openedUrls.clear();
    scope = new QObject(this);
}

void TestExtractIconForm::cleanup()
{
    delete form;
    form = nullptr;
    delete scope;
    scope = nullptr;
    QDir out(file("out"));
    out.removeRecursively();
    QVERIFY(QDir().mkpath(file("out")));
}

void TestExtractIconForm::makeForm(bool waitForLoad)
{
    form = new ExtractIconForm(nullptr);
    form->resize(776, 600);
    QSignalSpy loaded(form, SIGNAL(initialLoadFinished()));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    if (waitForLoad)
        QVERIFY(loaded.count() == 1 || loaded.wait(30000));
}

void TestExtractIconForm::loaded(const std::function<void()>& start)
{
    QSignalSpy done(form, SIGNAL(loadFinished()));
    start();
    QVERIFY(done.count() > 0 || done.wait(30000));
    QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
}

void TestExtractIconForm::answerBoxes(QList<SeenBox>* seen, const QList<QMessageBox::StandardButton>& answers, int count)
{
    ::whenModal<QMessageBox>(scope, [this, seen, answers, count](QMessageBox* box) {
        seen->append({box->windowTitle(), box->text(), box->informativeText(), box->icon()});
        if (count > 1)
            answerBoxes(seen, answers.mid(1), count - 1);
        if (!answers.isEmpty() && box->button(answers.first()))
            box->button(answers.first())->click();
    });
}

ExportIconDialog* TestExtractIconForm::pngDialog(const QList<IconImageEntry>& entries, const QString& name)
{
    dialog = new ExportIconDialog(nullptr);
    dialog->entries = entries;
    dialog->fillList();
    dialog->findChild<QLineEdit*>("nameLineEdit")->setText(name);
    dialog->show();
    return dialog;
}

void TestExtractIconForm::dropOnList(const QString& path, bool expectAccepted)
{
    QWidget* viewport = form->findChild<QListView*>("listView")->viewport();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QCOMPARE(enter.isAccepted(), expectAccepted);
    if (!expectAccepted)
        return;
    QDropEvent drop(at, Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
}

void TestExtractIconForm::selectRow(int row)
{
    auto* view = form->findChild<QListView*>("listView");
    view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

void TestExtractIconForm::answerFileDialog(const QStringList& paths, QString* title)
{
    ::whenModal<QFileDialog>(scope, [paths, title](QFileDialog* dialog) {
        if (title)
            *title = dialog->windowTitle();
        if (paths.isEmpty())
            return;  // rejected by the watcher
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->setDirectory(QFileInfo(paths.first()).path());
        QStringList quoted;
        for (const QString& path : paths)
            quoted << '"' + QFileInfo(path).fileName() + '"';
        QVERIFY(::answerFileDialog(dialog, paths.size() == 1 ? QFileInfo(paths.first()).fileName() : quoted.join(' ')));
    });
}

void TestExtractIconForm::answerFolder(const QString& folder)
{
    ::whenModal<QFileDialog>(scope, [folder](QFileDialog* dialog) {
        QVERIFY(::answerFileDialog(dialog, folder));
    });
}

void TestExtractIconForm::watchBox(bool* seen)
{
    ::whenModal<QMessageBox>(scope, [seen](QMessageBox* box) {
        *seen = box->text() == "The Icon file have been successfully exported." && box->windowTitle() == "Extract Icon";
    });
}

QAction* TestExtractIconForm::libraryAction(const QString& text) const
{
    for (QAction* action : form->findChild<QPushButton*>("loadButton")->menu()->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

QList<QAction*> TestExtractIconForm::checkedActions() const
{
    QList<QAction*> checked;
    for (QAction* action : form->findChild<QPushButton*>("loadButton")->menu()->actions()) {
        if (action->isChecked())
            checked << action;
    }
    return checked;
}

void TestExtractIconForm::firstLoadPaintsBeforeRecordsArrive()
{
    // Hold the pool's only thread, so that the load waits while the window is inspected.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    QSemaphore hold;
    pool->start([&hold] { hold.acquire(); });

    QElapsedTimer clock;
    clock.start();
    qint64 firstPaint = -1;
    qint64 finished = -1;
    form = new ExtractIconForm(nullptr);
    form->resize(776, 600);
    auto* view = form->findChild<QListView*>("listView");
    struct PaintWatch : QObject
    {
        std::function<void()> onPaint;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                onPaint();
            return false;
        }
    } watch;
    watch.onPaint = [&] { if (firstPaint < 0) firstPaint = clock.elapsed(); };
    view->viewport()->installEventFilter(&watch);
    connect(form, &ExtractIconForm::initialLoadFinished, this, [&] { finished = clock.elapsed(); });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QTRY_VERIFY(firstPaint >= 0);
    QTest::qWait(100);

    QCOMPARE(form->findChild<QLabel*>("openFileLabel")->text(), QStringLiteral("Please wait..."));
    QCOMPARE(model()->rowCount(), 0);
    // Before the records arrive the list takes no drops and no double-clicks.
    dropOnList(file("icons.ICO"));
    QCOMPARE(model()->rowCount(), 0);
    QVERIFY(!form->findChild<QPushButton*>("exportButton")->isEnabled());

    hold.release();
    QTRY_VERIFY_WITH_TIMEOUT(finished >= 0, 30000);
    pool->setMaxThreadCount(threads);
    QVERIFY2(firstPaint < finished, qPrintable(QStringLiteral("painted at %1 ms, loaded at %2 ms").arg(firstPaint).arg(finished)));

    // Whole: every group of wine's shell32.dll (imageres.dll is missing), one item each.
    QCOMPARE(ExtractIconGlobal::IconResourceList.size(), shell32Groups);
    QCOMPARE(model()->rowCount(), shell32Groups);
    for (int row = 0; row < shell32Groups; ++row)
        QCOMPARE(model()->item(row)->text(), QString::number(ExtractIconGlobal::IconResourceList.at(row).id));
    QCOMPARE(form->findChild<QLabel*>("openFileLabel")->text(), shell32);
    QCOMPARE(checkedActions(), QList<QAction*>{libraryAction("shell32.dll")});

    // Now connected: a drop loads, a selection enables the export button.
    loaded([&] { dropOnList(file("icons.ICO")); });
    QCOMPARE(model()->rowCount(), 1);
    selectRow(0);
    QVERIFY(form->findChild<QPushButton*>("exportButton")->isEnabled());
}

void TestExtractIconForm::firstLoadKeepsTheEventLoopTurning()
{
    int turns = 0;
    QTimer ticker;
    ticker.setInterval(0);
    connect(&ticker, &QTimer::timeout, this, [&] { ++turns; });
    ticker.start();
    makeForm(false);
    QSignalSpy loaded(form, SIGNAL(initialLoadFinished()));
    const int before = turns;
    QVERIFY(loaded.wait(30000));
    // Listing shell32.dll takes a good tenth of a second; the loop kept going meanwhile.
    QVERIFY2(turns - before > 10, qPrintable(QString::number(turns - before)));
    QCOMPARE(model()->rowCount(), shell32Groups);
}

void TestExtractIconForm::listsLikeWrestool_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("groups");
    for (const QString& name : QDir(kWineFolder).entryList({"*.dll", "*.exe"}, QDir::Files, QDir::Name)) {
        const QString path = QDir(kWineFolder).filePath(name);
        const int groups = int(wrestoolGroupNames(path).size());
        if (groups > 0)
            QTest::newRow(qPrintable(name)) << path << groups;
    }
}

void TestExtractIconForm::listsLikeWrestool()
{
    QFETCH(QString, path);
    QFETCH(int, groups);
    if (!form)
        makeForm();
    loaded([&] { form->listFileIcons(path); });
    QCOMPARE(model()->rowCount(), groups);
    for (int row = 0; row < groups; ++row) {
        const IconGroupRecord& record = ExtractIconGlobal::IconResourceList.at(row);
        QCOMPARE(model()->item(row)->text(), QString::number(record.id));
        QVERIFY(!record.image.isNull());
    }
}

void TestExtractIconForm::icoFileGivesOneItem()
{
    makeForm();
    QString title;
    answerFileDialog({file("icons.ICO")}, &title);
    loaded([&] { libraryAction("load from external dll, exe, ico")->trigger(); });
    QCOMPARE(title, QStringLiteral("Load Icon Files"));
    QCOMPARE(model()->rowCount(), 1);
    QCOMPARE(model()->item(0)->text(), QStringLiteral("0"));
    QCOMPARE(ExtractIconGlobal::IconResourceList.first().entries.size(), 2);
    QCOMPARE(ExtractIconGlobal::IconResourceList.first().image.width(), 48);
    QCOMPARE(checkedActions(), QList<QAction*>{libraryAction("load from external dll, exe, ico")});
}

void TestExtractIconForm::transparentOneBitPngStaysTransparent()
{
    // A 1-bit PNG whose colour 0 is transparent, stored in the icon as it is.
    QImage mono(256, 256, QImage::Format_Mono);
    mono.setColorTable({qRgba(0, 0, 0, 0), qRgba(255, 255, 255, 255)});
    mono.fill(0);
    QVERIFY(mono.save(file("mono256.png")));
    QCOMPARE(run("icotool", {"-c", "-r", file("mono256.png"), "-o", file("mono.ico")}).exitCode, 0);
    makeForm();
    answerFileDialog({file("mono.ico")});
    loaded([&] { libraryAction("load from external dll, exe, ico")->trigger(); });
    QCOMPARE(model()->rowCount(), 1);
    const QImage shown = model()->item(0)->icon().pixmap(48).toImage();
    QCOMPARE(qAlpha(shown.pixel(24, 24)), 0);
}

void TestExtractIconForm::missingIconIdsGiveMinusOne()
{
    makeForm();
    QTest::ignoreMessage(QtInfoMsg, "No icons found in the file.");
    loaded([&] { form->listFileIcons(file("missing.dll")); });
    QCOMPARE(model()->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(model()->item(row)->text(), QStringLiteral("-1"));
        QVERIFY(ExtractIconGlobal::IconResourceList.at(row).image.isNull());
    }
    // Such a record opens no dialog.
    selectRow(0);
    bool opened = false;
    ::whenModal<ExportIconDialog>(scope, [&](ExportIconDialog*) { opened = true; });
    form->exportToPngSelected(false);
    QVERIFY(!opened);
}

void TestExtractIconForm::secondGroupShowsItsOwnImages()
{
    makeForm();
    loaded([&] { form->listFileIcons(file("two.dll")); });
    QCOMPARE(model()->rowCount(), 2);
    const QImage shown = model()->item(1)->icon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown.size(), QSize(32, 32));
    QCOMPARE(QColor(shown.pixel(16, 16)), QColor(Qt::blue));
    QCOMPARE(ExtractIconGlobal::IconResourceList.at(1).entries.size(), 1);
    QCOMPARE(ExtractIconGlobal::IconResourceList.at(0).image.width(), 48);
}

void TestExtractIconForm::missingLibraryOpensDialog()
{
    makeForm();
    QVERIFY(!QFileInfo(QDir(kWineFolder).filePath("ddores.dll")).exists());
    QString title;
    answerFileDialog({}, &title);
    libraryAction("ddores.dll")->trigger();
    QCOMPARE(title, QStringLiteral("Load Icon Files"));
    QCOMPARE(model()->rowCount(), shell32Groups);
    QCOMPARE(checkedActions(), QList<QAction*>{libraryAction("shell32.dll")});
    QVERIFY(!libraryAction("ddores.dll")->isCheckable());
}

void TestExtractIconForm::severalFilesLoadOnlyTheFirst()
{
    makeForm();
    answerFileDialog({file("icons.ICO"), file("two.dll")});
    loaded([&] { libraryAction("ddores.dll")->trigger(); });
    QCOMPARE(model()->rowCount(), 1);
    QCOMPARE(model()->item(0)->text(), QStringLiteral("0"));
    QCOMPARE(checkedActions(), QList<QAction*>{libraryAction("ddores.dll")});
    QVERIFY(!libraryAction("shell32.dll")->isCheckable());
}

void TestExtractIconForm::menuLoadsLibrary()
{
    makeForm();
    // The second load wins over the first, still running.
    loaded([&] {
        form->listFileIcons(file("two.dll"));
        libraryAction("explorer.exe")->trigger();
    });
    const QString explorer = QDir(kWineFolder).filePath("explorer.exe");
    QCOMPARE(form->findChild<QLabel*>("openFileLabel")->text(), explorer);
    QCOMPARE(model()->rowCount(), int(wrestoolGroupNames(explorer).size()));
    QCOMPARE(checkedActions(), QList<QAction*>{libraryAction("explorer.exe")});
}

void TestExtractIconForm::drops_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("icons.ICO") << "icons.ICO" << true;
    QTest::newRow(".dll") << "two.dll" << false;
    QTest::newRow("folder named .ico") << "folder.ico" << false;
    QTest::newRow("missing .ico") << "gone.ico" << false;
}

void TestExtractIconForm::drops()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    if (!form)
        makeForm();
    loaded([&] { form->listFileIcons(file("two.dll")); });
    if (accepted)
        loaded([&] { dropOnList(file(name), accepted); });
    else
        dropOnList(file(name), accepted);
    QCOMPARE(model()->rowCount(), accepted ? 1 : 2);
}

void TestExtractIconForm::toIcoFromParsedFile_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QList<int>>("entries");
    QTest::newRow("one group") << "one.dll" << QStringList{"a.ico"} << QList<int>{2};
    QTest::newRow("two groups") << "two.dll" << QStringList{"a_0.ico", "a_1.ico"} << QList<int>{2, 1};
}

void TestExtractIconForm::toIcoFromParsedFile()
{
    QFETCH(QString, source);
    QFETCH(QStringList, written);
    QFETCH(QList<int>, entries);
    makeForm();
    answerFileDialog({file(source)});
    loaded([&] { libraryAction("load from external dll, exe, ico")->trigger(); });
    selectRow(written.size() - 1);
    answerFileDialog({file("out/a.ico")});
    bool box = false;
    watchBox(&box);
    form->findChild<QPushButton*>("exportButton")->menu()->actions().at(1)->trigger();
    QVERIFY(box);
    QCOMPARE(QDir(file("out")).entryList(QDir::Files), written);
    for (int i = 0; i < written.size(); ++i)
        QCOMPARE(icotoolEntries(file("out/" + written.at(i))).size(), entries.at(i));
}

void TestExtractIconForm::toIcoFromLibraryWritesSelectedGroup()
{
    makeForm();
    const int row = 5;
    selectRow(row);
    answerFileDialog({file("out/lib.ico")});
    bool box = false;
    watchBox(&box);
    form->exportToIcoSelected(false);
    QVERIFY(box);
    const IconGroupRecord& record = ExtractIconGlobal::IconResourceList.at(row);
    QStringList expected;
    for (const IconImageEntry& entry : record.entries)
        expected << QStringLiteral("%1x%2").arg(entry.image.width()).arg(entry.image.height());
    QStringList listed = icotoolEntries(file("out/lib.ico"));
    for (QString& entry : listed)
        entry.truncate(entry.indexOf('@'));
    QCOMPARE(listed, expected);
    // The same bytes wrestool takes out of the library for that group ID.
    const Run theirs = run("wrestool", {"-x", "-t14", "--name=" + QString::number(record.id), shell32});
    QCOMPARE(theirs.exitCode, 0);
    QVERIFY(theirs.out.startsWith(readBytes(file("out/lib.ico"))));
}

void TestExtractIconForm::toIcoFromIcoListWritesTheFile()
{
    makeForm();
    loaded([&] { dropOnList(file("icons.ICO")); });
    selectRow(0);
    answerFileDialog({file("out/copy.ico")});
    bool box = false;
    watchBox(&box);
    form->exportToIcoSelected(false);
    QVERIFY(box);
    QCOMPARE(readBytes(file("out/copy.ico")), readBytes(file("icons.ICO")));
    // icotool's own depth choice for a one-colour picture is not ours to pin: sizes only.
    QStringList listed = icotoolEntries(file("out/copy.ico"));
    for (QString& entry : listed)
        entry.truncate(entry.indexOf('@'));
    QCOMPARE(listed, (QStringList{"16x16", "48x48"}));
}

void TestExtractIconForm::toIcoCancelledWritesNothing()
{
    makeForm();
    selectRow(0);
    // This HOME has no Documents folder: the dialog starts at home with an empty name.
    QVERIFY(!QFileInfo(KvGlobal::documentsFolder()).exists());
    QString start;
    QString name = "unset";
    ::whenModal<QFileDialog>(scope, [&](QFileDialog* dialog) {
        start = dialog->directory().absolutePath();
        name = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
    });
    bool box = false;
    watchBox(&box);
    form->exportToIcoSelected(false);
    QVERIFY(!box);
    QVERIFY(QDir(file("out")).isEmpty());
    QCOMPARE(start, QDir::homePath());
    QCOMPARE(name, QString());
}

void TestExtractIconForm::toIcoUnwritableShowsWhy_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("library") << QString();
    QTest::newRow("file with one group") << "one.dll";
    QTest::newRow("ico file") << "icons.ICO";
}

void TestExtractIconForm::toIcoUnwritableShowsWhy()
{
    QFETCH(QString, source);
    makeForm();
    if (!source.isEmpty()) {
        answerFileDialog({file(source)});
        loaded([&] { libraryAction("load from external dll, exe, ico")->trigger(); });
    }
    selectRow(0);
    // A file where a folder should be: no one, not even root, writes below it.
    QFile plain(file("out/plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString target = file("out/plain/x.ico");
    ::whenModal<QFileDialog>(scope, [&](QFileDialog* dialog) { QVERIFY(::answerFileDialog(dialog, target)); });
    QList<SeenBox> boxes;
    answerBoxes(&boxes, {}, 2);
    form->exportToIcoSelected(false);
    QTRY_COMPARE(boxes.size(), 1);
    QTest::qWait(100);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().icon, QMessageBox::Warning);
    QCOMPARE(boxes.first().title, QStringLiteral("Extract Icon"));
    QCOMPARE(boxes.first().text, QStringLiteral("The icon file could not be written."));
    QVERIFY2(boxes.first().lines.startsWith("cannot write " + QDir::toNativeSeparators(target) + ": "),
             qPrintable(boxes.first().lines));
    QCOMPARE(QDir(file("out")).entryList(QDir::Files), QStringList{"plain"});
}

void TestExtractIconForm::toIcoPartialNamesFailedGroups()
{
    makeForm();
    answerFileDialog({file("two.dll")});
    loaded([&] { libraryAction("load from external dll, exe, ico")->trigger(); });
    selectRow(1);
    QVERIFY(QDir(file("out")).mkdir("a_1.ico"));
    answerFileDialog({file("out/a.ico")});
    QList<SeenBox> boxes;
    answerBoxes(&boxes, {QMessageBox::Yes}, 2);
    form->exportToIcoSelected(false);
    QTRY_COMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(0).text, QStringLiteral("Replace 1 existing file?"));
    QCOMPARE(boxes.at(1).icon, QMessageBox::Warning);
    QCOMPARE(boxes.at(1).text, QStringLiteral("1 of 2 icon files could not be written."));
    QVERIFY2(boxes.at(1).lines.contains(QDir::toNativeSeparators(file("out/a_1.ico"))), qPrintable(boxes.at(1).lines));
    QVERIFY(!boxes.at(1).lines.contains("a_0.ico"));
    QCOMPARE(icotoolEntries(file("out/a_0.ico")).size(), 2);
}

void TestExtractIconForm::toIcoAsksBeforeReplacingGroupFiles_data()
{
    QTest::addColumn<bool>("agree");
    QTest::newRow("refused") << false;
    QTest::newRow("agreed") << true;
}

void TestExtractIconForm::toIcoAsksBeforeReplacingGroupFiles()
{
    QFETCH(bool, agree);
    makeForm();
    answerFileDialog({file("two.dll")});
    loaded([&] { libraryAction("load from external dll, exe, ico")->trigger(); });
    selectRow(0);
    const QByteArray older = "an older icon";
    QFile old(file("out/a_0.ico"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(older);
    old.close();
    answerFileDialog({file("out/a.ico")});
    QList<SeenBox> boxes;
    answerBoxes(&boxes, {agree ? QMessageBox::Yes : QMessageBox::No}, 2);
    form->exportToIcoSelected(false);
    QTRY_COMPARE(boxes.size(), agree ? 2 : 1);
    QCOMPARE(boxes.at(0).text, QStringLiteral("Replace 1 existing file?"));
    QCOMPARE(boxes.at(0).lines, QStringLiteral("a_0.ico"));
    if (agree) {
        QCOMPARE(boxes.at(1).text, QStringLiteral("The Icon file have been successfully exported."));
        QCOMPARE(icotoolEntries(file("out/a_0.ico")).size(), 2);
        QCOMPARE(icotoolEntries(file("out/a_1.ico")).size(), 1);
    } else {
        QTest::qWait(100);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(readBytes(file("out/a_0.ico")), older);
        QCOMPARE(QDir(file("out")).entryList(QDir::Files), QStringList{"a_0.ico"});
    }
}

void TestExtractIconForm::toPngOpensDialogForSelection()
{
    makeForm();
    loaded([&] { form->listFileIcons(file("two.dll")); });
    selectRow(0);
    QString name;
    int rows = -1;
    ::whenModal<ExportIconDialog>(scope, [&](ExportIconDialog* dialog) {
        name = dialog->findChild<QLineEdit*>("nameLineEdit")->text();
        rows = dialog->findChild<QListWidget*>("listWidget")->count();
    });
    form->findChild<QPushButton*>("exportButton")->menu()->actions().at(0)->trigger();
    QCOMPARE(name, QString::number(ExtractIconGlobal::IconResourceList.at(0).id));
    QCOMPARE(rows, 2);
}

void TestExtractIconForm::toPngRowsAndNames()
{
    QList<IconImageEntry> entries;
    for (int side : {16, 32, 48, 256})
        entries.append({solid(side, QColor(side, 0, 0)), side, side == 16 ? 8 : 32});
    auto* dialog = new ExportIconDialog(nullptr);
    dialog->iconId = 5;
    dialog->entries = entries;
    dialog->fillList();
    auto* list = dialog->findChild<QListWidget*>("listWidget");
    QStringList rows;
    for (int row = 0; row < list->count(); ++row) {
        rows << list->item(row)->text();
        QCOMPARE(list->item(row)->checkState(), Qt::Checked);
    }
    QCOMPARE(rows, (QStringList{"256x256 32 bits", "48x48 32 bits", "32x32 32 bits", "16x16 8 bits"}));
    list->item(2)->setCheckState(Qt::Unchecked);
    dialog->show();

    QPointer<ExportIconDialog> guard = dialog;
    answerFolder(file("out"));
    bool box = false;
    watchBox(&box);
    dialog->findChild<QPushButton*>("exportPngButton")->click();
    QVERIFY(box);
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(QDir(file("out")).entryList(QDir::Files),
             (QStringList{"5_16x16_8bits.png", "5_256x256_32bits.png", "5_48x48_32bits.png"}));
    const Run identify = run("identify", {"-format", "%w %h %[pixel:p{0,0}]\n", file("out/5_48x48_32bits.png")});
    QCOMPARE(identify.out.trimmed(), QByteArray("48 48 srgba(48,0,0,1)"));

    // The folder comes back in the next dialog.
    ExportIconDialog next(nullptr);
    QCOMPARE(next.exportPath, QDir::toNativeSeparators(file("out")));
}

void TestExtractIconForm::toPngSameSizeGetsDistinctNames()
{
    pngDialog({{solid(32, Qt::red), 32, 32}, {solid(16, Qt::blue), 16, 32}, {solid(32, Qt::green), 32, 32}}, "n");
    answerFolder(file("out"));
    QList<SeenBox> boxes;
    answerBoxes(&boxes);
    clickExport();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().text, QStringLiteral("The Icon file have been successfully exported."));
    // Neither image of the same size and depth replaces the other: the top row, the
    // group's last image, keeps the plain name.
    QCOMPARE(QDir(file("out")).entryList(QDir::Files),
             (QStringList{"n_16x16_32bits.png", "n_32x32_32bits.png", "n_32x32_32bits_2.png"}));
    QCOMPARE(run("identify", {"-format", "%[pixel:p{1,1}]", file("out/n_32x32_32bits.png")}).out,
             QByteArray("srgba(0,255,0,1)"));
    QCOMPARE(run("identify", {"-format", "%[pixel:p{1,1}]", file("out/n_32x32_32bits_2.png")}).out,
             QByteArray("srgba(255,0,0,1)"));
}

void TestExtractIconForm::toPngRefusedNameShowsWhy()
{
    // Longer than any file name the file system takes.
    QPointer<ExportIconDialog> guard = pngDialog({{solid(16, Qt::red), 16, 32}}, QString(300, 'x'));
    answerFolder(file("out"));
    QList<SeenBox> boxes;
    answerBoxes(&boxes);
    clickExport();
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().icon, QMessageBox::Warning);
    QCOMPARE(boxes.first().text, QStringLiteral("No PNG file could be written."));
    QVERIFY2(boxes.first().lines.contains(QString(300, 'x') + "_16x16_32bits.png"), qPrintable(boxes.first().lines));
    QVERIFY(QDir(file("out")).isEmpty());
}

void TestExtractIconForm::toPngUnwritableFileShowsWhy()
{
    // A folder where one file goes: no one, not even root, writes a file there.
    QVERIFY(QDir(file("out")).mkdir("n_16x16_32bits.png"));
    pngDialog({{solid(16, Qt::red), 16, 32}, {solid(48, Qt::blue), 48, 32}}, "n");
    answerFolder(file("out"));
    QList<SeenBox> boxes;
    answerBoxes(&boxes, {QMessageBox::Yes}, 2);
    clickExport();
    QTRY_COMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(0).text, QStringLiteral("Replace 1 existing file?"));
    // The partial run reports the file it missed, and no success.
    QCOMPARE(boxes.at(1).icon, QMessageBox::Warning);
    QCOMPARE(boxes.at(1).text, QStringLiteral("1 of 2 PNG files could not be written."));
    QVERIFY2(boxes.at(1).lines.contains(QDir::toNativeSeparators(file("out/n_16x16_32bits.png"))),
             qPrintable(boxes.at(1).lines));
    QVERIFY(!boxes.at(1).lines.contains("n_48x48"));
    QCOMPARE(QImage(file("out/n_48x48_32bits.png")).size(), QSize(48, 48));
}

void TestExtractIconForm::toPngAsksBeforeReplacing_data()
{
    QTest::addColumn<bool>("agree");
    QTest::newRow("refused") << false;
    QTest::newRow("agreed") << true;
}

void TestExtractIconForm::toPngAsksBeforeReplacing()
{
    QFETCH(bool, agree);
    const QByteArray older = "an older file of the same name";
    for (const char* name : {"n_16x16_32bits.png", "n_48x48_32bits.png"}) {
        QFile old(file("out/") + name);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(older);
    }
    QPointer<ExportIconDialog> guard =
        pngDialog({{solid(16, Qt::red), 16, 32}, {solid(32, Qt::red), 32, 32}, {solid(48, Qt::red), 48, 32}}, "n");
    answerFolder(file("out"));
    QList<SeenBox> boxes;
    answerBoxes(&boxes, {agree ? QMessageBox::Yes : QMessageBox::No}, agree ? 2 : 1);
    clickExport();
    QTRY_COMPARE(boxes.size(), agree ? 2 : 1);
    // Asked once for the batch, naming the files.
    QCOMPARE(boxes.at(0).text, QStringLiteral("Replace 2 existing files?"));
    QCOMPARE(boxes.at(0).lines, QStringLiteral("n_48x48_32bits.png\nn_16x16_32bits.png"));
    if (agree) {
        QCOMPARE(boxes.at(1).text, QStringLiteral("The Icon file have been successfully exported."));
        QCOMPARE(QImage(file("out/n_48x48_32bits.png")).size(), QSize(48, 48));
        QCOMPARE(QDir(file("out")).entryList(QDir::Files).size(), 3);
        QTRY_VERIFY(guard.isNull());
    } else {
        QCOMPARE(readBytes(file("out/n_16x16_32bits.png")), older);
        QCOMPARE(readBytes(file("out/n_48x48_32bits.png")), older);
        QCOMPARE(QDir(file("out")).entryList(QDir::Files).size(), 2);
        // The dialog stays for another name or folder.
        QTest::qWait(50);
        QVERIFY(!guard.isNull());
        delete guard.data();
    }
}

void TestExtractIconForm::pickDuringFirstLoadStaysListed_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("path");
    // wine's explorer.exe holds no icon group: the list must stay empty, not show the
    // first load's shell32.dll.
    QTest::newRow("menu library") << "explorer.exe" << QDir(kWineFolder).filePath("explorer.exe");
    QTest::newRow("file from the dialog") << "load from external dll, exe, ico" << file("two.dll");
}

void TestExtractIconForm::pickDuringFirstLoadStaysListed()
{
    QFETCH(QString, entry);
    QFETCH(QString, path);
    // The pool's only thread is held, so the first load is still to run when the user
    // picks, and its result arrives first.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    auto restore = qScopeGuard([&] { pool->setMaxThreadCount(threads); });
    pool->setMaxThreadCount(1);
    QSemaphore hold;
    pool->start([&hold] { hold.acquire(); });
    auto release = qScopeGuard([&] { hold.release(); });

    makeForm(false);
    QSignalSpy initialDone(form, SIGNAL(initialLoadFinished()));
    QTRY_COMPARE(form->findChild<QLabel*>("openFileLabel")->text(), QStringLiteral("Please wait..."));
    QSignalSpy inserted(model(), SIGNAL(rowsInserted(QModelIndex, int, int)));
    QSignalSpy done(form, SIGNAL(loadFinished()));
    if (entry.startsWith("load from"))
        answerFileDialog({path});
    libraryAction(entry)->trigger();
    QCOMPARE(form->cursor().shape(), Qt::BusyCursor);
    release.dismiss();
    hold.release();
    QVERIFY(initialDone.count() > 0 || initialDone.wait(30000));
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 30000);

    const int groups = path.endsWith("two.dll") ? 2 : int(wrestoolGroupNames(path).size());
    QCOMPARE(form->findChild<QLabel*>("openFileLabel")->text(), QDir::toNativeSeparators(path));
    QCOMPARE(model()->rowCount(), groups);
    QCOMPARE(ExtractIconGlobal::IconResourceList.size(), groups);
    // shell32.dll's items never showed, not even for a moment.
    QCOMPARE(inserted.count(), groups > 0 ? 1 : 0);
    QCOMPARE(checkedActions(), QList<QAction*>{libraryAction(entry)});
    QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
    if (groups > 0) {
        // The list works as after any first load.
        selectRow(0);
        QVERIFY(form->findChild<QPushButton*>("exportButton")->isEnabled());
    }
}

void TestExtractIconForm::secondPickWins_data()
{
    QTest::addColumn<bool>("held");
    // held: both wait for the pool, and the older one finishes first; free: the small
    // file is done long before shell32.dll.
    QTest::newRow("older finishes first") << true;
    QTest::newRow("older finishes last") << false;
}

void TestExtractIconForm::secondPickWins()
{
    QFETCH(bool, held);
    makeForm();
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    auto restore = qScopeGuard([&] { pool->setMaxThreadCount(threads); });
    QSemaphore hold;
    auto release = qScopeGuard([&] { hold.release(); });
    if (held) {
        pool->setMaxThreadCount(1);
        pool->start([&hold] { hold.acquire(); });
    } else {
        release.dismiss();
    }

    QSignalSpy inserted(model(), SIGNAL(rowsInserted(QModelIndex, int, int)));
    QSignalSpy done(form, SIGNAL(loadFinished()));
    libraryAction("shell32.dll")->trigger();
    form->listFileIcons(file("two.dll"));
    QCOMPARE(form->findChild<QLabel*>("openFileLabel")->text(), QDir::toNativeSeparators(file("two.dll")));
    QCOMPARE(model()->rowCount(), 0);
    QCOMPARE(form->cursor().shape(), Qt::BusyCursor);
    if (held) {
        release.dismiss();
        hold.release();
    }
    // Both results are in once their watchers are gone.
    QTRY_VERIFY_WITH_TIMEOUT((form->findChildren<QFutureWatcher<ExtractIconForm::LoadResult>*>().isEmpty()), 30000);
    QCOMPARE(done.count(), 1);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model()->rowCount(), 2);
    QCOMPARE(form->findChild<QLabel*>("openFileLabel")->text(), QDir::toNativeSeparators(file("two.dll")));
    QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);

    // Its export reads two.dll, the list's source.
    selectRow(0);
    answerFileDialog({file("out/a.ico")});
    QList<SeenBox> boxes;
    answerBoxes(&boxes);
    form->exportToIcoSelected(false);
    QCOMPARE(QDir(file("out")).entryList(QDir::Files), (QStringList{"a_0.ico", "a_1.ico"}));
}

void TestExtractIconForm::themeIcons()
{
    makeForm();
    auto image = [](const QIcon& icon) { return icon.pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32); };
    auto resource = [&](const char* name) { return image(QIcon(QStringLiteral(":/resources/images/") + name)); };
    auto* exportButton = form->findChild<QPushButton*>("exportButton");
    auto* loadButton = form->findChild<QPushButton*>("loadButton");
    QCOMPARE(image(exportButton->icon()), resource("_export_extractIconGray.png"));
    QCOMPARE(image(loadButton->icon()), resource("_load_extractIconBlack.png"));

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    selectRow(0);
    form->updateThemeIcons();
    QCOMPARE(image(exportButton->icon()), resource("_export_extractIconWhite.png"));
    QCOMPARE(image(loadButton->icon()), resource("_load_extractIconWhite.png"));
    loaded([&] { form->listFileIcons(file("two.dll")); });
    QCOMPARE(image(exportButton->icon()), resource("_export_extractIconGray.png"));
}

QTEST_MAIN(TestExtractIconForm)
#include "tst_extracticonform.moc"
