#include "editor/kvcolorwidget.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

KvColorWidget::KvColorWidget(QWidget* parent)
    : QWidget(parent)
{
}

KvColorWidget::~KvColorWidget() = default;

void KvColorWidget::setColor(const QColor& newColor)
{
    color = newColor;
    repaint();
}

void KvColorWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;

    // A fresh dialog for every click; it lives on the stack, so it is gone once it closes.
    QColorDialog dialog;
    dialog.setCurrentColor(color);
    connect(&dialog, &QColorDialog::colorSelected, this, [this](const QColor& c) {
        // Receivers see the new colour as the argument while the swatch still holds the old.
        Q_EMIT colorUpdated(c);
        color = c;
        repaint();
    });
    dialog.exec();
}

void KvColorWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), color);
    painter.setPen(QPen(Qt::red));
    // The outline on the outermost pixels: a rectangle drawn with a one-pixel pen covers
    // width + 1 by height + 1 pixels.
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    QWidget::paintEvent(event);
    painter.end();
}
