#include "kvpopupmenu.h"

#include <QPushButton>

KvPopupMenu::KvPopupMenu(QPushButton* button, QWidget* parent)
    : QMenu(parent)
    , button(button)
{
}

void KvPopupMenu::showEvent(QShowEvent* event)
{
    // Qt opens the menu at the button's left edge; shift it left by what it is wider.
    const QPoint at = pos();
    move(at.x() + button->width() - width(), at.y());
    QMenu::showEvent(event);
}
