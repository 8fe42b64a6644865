#pragma once

#include <QMenu>

class QPushButton;

// A button's drop-down menu whose right edge lines up with the button's right edge.
class KvPopupMenu : public QMenu
{
    Q_OBJECT

public:
    KvPopupMenu(QPushButton* button, QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* button;
};
