#pragma once

#include <QWidget>

namespace Ui {
class GlyphoraForm;
}

// The "Create Icon" tab.
class GlyphoraForm : public QWidget
{
    Q_OBJECT

public:
    explicit GlyphoraForm(QWidget* parent);
    ~GlyphoraForm() override;

    void updateThemeIcons();

    // True while Shift is held: the canvas then rotates instead of scaling on the wheel.
    static bool shiftKeyPressed;
    static void setShiftKeyPressed(bool pressed);

private:
    Ui::GlyphoraForm* ui;
};
