#pragma once

#include <QColor>
#include <QWidget>

class QMouseEvent;
class QPaintEvent;

// A clickable colour swatch: a filled rectangle with a thin red outline.  A left click
// opens the colour dialog; a confirmed choice is reported through colorUpdated, while the
// swatch still shows the old colour, and then shown.
class KvColorWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KvColorWidget(QWidget* parent = nullptr);
    ~KvColorWidget() override;

    // Shows the colour at once; emits nothing.
    void setColor(const QColor& newColor);
    QColor currentColor() const { return color; }

Q_SIGNALS:
    void colorUpdated(QColor color);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color = Qt::white;
};
