#include <QtTest>

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

#include "editor/glyphoralistwidget.h"

namespace {
// Starts drags the way a mouse drag on a row does, through the view's own startDrag,
// which also removes the dragged row afterwards when the drop asks for a plain move.
class DraggableList : public GlyphoraListWidget
{
public:
    using GlyphoraListWidget::GlyphoraListWidget;
    using GlyphoraListWidget::startDrag;
};
} // namespace

// The object list's drop handling.  Each case runs inside a real drag started from the
// list (so that the drop's source is the list itself), sends the enter, move and drop
// events to the list's viewport, and checks the signal and the resulting row order.
class TestGlyphoraListWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void drop_data();
    void drop();

    void dropOntoItself();
    void releaseOntoItselfMovesNothing();
    void foreignDragRefused();
    void foreignDropIgnored();
    void dropWithoutDragItemMovesNothing();

private:
    enum class Where { OnItem, AboveItem, BelowItem, BelowLastRow };

    QPoint dropPoint(int row, Where where) const;
    // A drag of row `from` that ends with a release over `at`.
    void dragAndDrop(int from, const QPoint& at);
    // The enter, move and drop events of a drag of row `from` (by default the dragged item
    // is that row's) sent straight to the viewport at `at`.
    void sendDropInsideDrag(int from, const QPoint& at, QListWidgetItem* dragged = nullptr);
    QStringList rows() const;

    DraggableList* list = nullptr;
};

void TestGlyphoraListWidget::init()
{
    list = new DraggableList(nullptr);
    list->setAcceptDrops(true);
    list->setDragEnabled(true);
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->setDefaultDropAction(Qt::MoveAction);
    list->addItems({"Image2", "Image1", "Image0"});
    list->resize(200, 300);
    list->show();
    QVERIFY(QTest::qWaitForWindowExposed(list));
}

void TestGlyphoraListWidget::cleanup()
{
    delete list;
    list = nullptr;
}

QPoint TestGlyphoraListWidget::dropPoint(int row, Where where) const
{
    if (where == Where::BelowLastRow) {
        const QRect last = list->visualItemRect(list->item(list->count() - 1));
        return QPoint(last.center().x(), last.bottom() + 40);
    }
    const QRect r = list->visualItemRect(list->item(row));
    switch (where) {
    case Where::AboveItem:
        return QPoint(r.center().x(), r.top() + 1);
    case Where::BelowItem:
        return QPoint(r.center().x(), r.bottom() - 1);
    default:
        return r.center();
    }
}

void TestGlyphoraListWidget::dragAndDrop(int from, const QPoint& at)
{
    list->setCurrentRow(from);
    list->dragItem = list->selectedItems().value(0);

    // The drag is carried by mouse moves and a release over the list's window, which the
    // platform's drag and drop turns into the enter, move and drop events of the view.
    QWindow* window = list->window()->windowHandle();
    const QPoint inWindow = list->viewport()->mapTo(list->window(), at);
    QTimer::singleShot(0, list, [&]() {
        QTest::mouseMove(window, inWindow - QPoint(0, 2));
        QTest::mouseMove(window, inWindow);
        QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, inWindow);
    });
    list->startDrag(Qt::MoveAction);
}

void TestGlyphoraListWidget::sendDropInsideDrag(int from, const QPoint& at, QListWidgetItem* dragged)
{
    list->setCurrentRow(from);
    list->dragItem = dragged ? dragged : list->selectedItems().value(0);

    // The events go straight to the viewport from inside a drag started by the list, so
    // the drop's source is the list even where the view would not let a real one land.
    QTimer::singleShot(0, list, [&]() {
        std::unique_ptr<QMimeData> mime(list->model()->mimeData(list->selectionModel()->selectedIndexes()));
        QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &move);
        QDropEvent drop(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &drop);
        QDrag::cancel();
    });
    list->startDrag(Qt::MoveAction);
}

QStringList TestGlyphoraListWidget::rows() const
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void TestGlyphoraListWidget::drop_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("targetRow");
    QTest::addColumn<int>("where");
    QTest::addColumn<QString>("signal");  // "moved" or "needToMove"
    QTest::addColumn<int>("newRow");
    QTest::addColumn<QStringList>("rowsAfter");

    const QStringList unchanged{"Image2", "Image1", "Image0"};
    QTest::newRow("below the last row") << 0 << -1 << int(Where::BelowLastRow) << "needToMove" << 2 << unchanged;
    QTest::newRow("row 0 above row 2") << 0 << 2 << int(Where::AboveItem) << "moved" << 1
                                       << QStringList{"Image1", "Image2", "Image0"};
    QTest::newRow("row 2 below row 0") << 2 << 0 << int(Where::BelowItem) << "moved" << 1
                                       << QStringList{"Image2", "Image0", "Image1"};
    QTest::newRow("above the row directly below") << 0 << 1 << int(Where::AboveItem) << "moved" << 0 << unchanged;
    QTest::newRow("row 1 above row 0") << 1 << 0 << int(Where::AboveItem) << "moved" << 0
                                       << QStringList{"Image1", "Image2", "Image0"};
    QTest::newRow("row 0 below row 2") << 0 << 2 << int(Where::BelowItem) << "moved" << 2
                                       << QStringList{"Image1", "Image0", "Image2"};
}

void TestGlyphoraListWidget::drop()
{
    QFETCH(int, from);
    QFETCH(int, targetRow);
    QFETCH(int, where);
    QFETCH(QString, signal);
    QFETCH(int, newRow);
    QFETCH(QStringList, rowsAfter);

    QSignalSpy moved(list, SIGNAL(itemMoved(int,int)));
    QSignalSpy needToMove(list, SIGNAL(needToMoveitem(int,int)));

    // A receiver of itemMoved must still see the old order: the list moves the row only
    // after the signal has returned.
    QStringList orderSeenByReceiver;
    connect(list, &GlyphoraListWidget::itemMoved, this, [&]() { orderSeenByReceiver = rows(); });

    dragAndDrop(from, dropPoint(targetRow, Where(where)));

    QSignalSpy& fired = signal == "moved" ? moved : needToMove;
    QSignalSpy& silent = signal == "moved" ? needToMove : moved;
    QCOMPARE(fired.count(), 1);
    QCOMPARE(silent.count(), 0);
    QCOMPARE(fired.at(0).at(0).toInt(), from);
    QCOMPARE(fired.at(0).at(1).toInt(), newRow);
    if (signal == "moved")
        QCOMPARE(orderSeenByReceiver, (QStringList{"Image2", "Image1", "Image0"}));
    QCOMPARE(rows(), rowsAfter);
    QCOMPARE(list->count(), 3);
    QVERIFY(!list->showDropIndicator() || signal == "needToMove");
}

void TestGlyphoraListWidget::dropOntoItself()
{
    QSignalSpy moved(list, SIGNAL(itemMoved(int,int)));
    QSignalSpy needToMove(list, SIGNAL(needToMoveitem(int,int)));
    sendDropInsideDrag(1, dropPoint(1, Where::OnItem));

    QCOMPARE(moved.count(), 0);
    QCOMPARE(needToMove.count(), 1);
    QCOMPARE(needToMove.at(0).at(0).toInt(), 1);
    QCOMPARE(needToMove.at(0).at(1).toInt(), 1);
    QCOMPARE(rows(), (QStringList{"Image2", "Image1", "Image0"}));
}

void TestGlyphoraListWidget::releaseOntoItselfMovesNothing()
{
    // The view refuses a drop of a row onto itself while the drag moves, so the drop
    // never comes and the rows stay.
    QSignalSpy moved(list, SIGNAL(itemMoved(int,int)));
    dragAndDrop(1, dropPoint(1, Where::OnItem));
    QCOMPARE(moved.count(), 0);
    QCOMPARE(rows(), (QStringList{"Image2", "Image1", "Image0"}));
}

void TestGlyphoraListWidget::foreignDragRefused()
{
    // Files from outside the program have no source widget.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/tmp/photo.png")});
    QDragEnterEvent enter(dropPoint(0, Where::OnItem), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
}

void TestGlyphoraListWidget::foreignDropIgnored()
{
    QSignalSpy moved(list, SIGNAL(itemMoved(int,int)));
    QSignalSpy needToMove(list, SIGNAL(needToMoveitem(int,int)));
    list->dragItem = list->item(0);

    QMimeData mime;
    mime.setText("Image9");
    QDropEvent drop(dropPoint(2, Where::OnItem), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    QCOMPARE(moved.count() + needToMove.count(), 0);
    QCOMPARE(rows(), (QStringList{"Image2", "Image1", "Image0"}));
}

void TestGlyphoraListWidget::dropWithoutDragItemMovesNothing()
{
    QSignalSpy moved(list, SIGNAL(itemMoved(int,int)));
    QSignalSpy needToMove(list, SIGNAL(needToMoveitem(int,int)));

    // A dragged item removed before the drop leaves no old row to report.
    list->setCurrentRow(0);
    QListWidgetItem* stale = list->takeItem(0);
    list->addItem(QStringLiteral("Image3"));
    sendDropInsideDrag(0, dropPoint(2, Where::AboveItem), stale);
    delete stale;

    QCOMPARE(moved.count() + needToMove.count(), 0);
    QCOMPARE(rows(), (QStringList{"Image1", "Image0", "Image3"}));
}

QTEST_MAIN(TestGlyphoraListWidget)
#include "tst_glyphoralistwidget.moc"
