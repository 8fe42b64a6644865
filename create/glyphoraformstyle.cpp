// The Create form's style controls and the composition's IconStyle: each control asks
// the composition for one step, and every change of the style, an undo among them, is
// shown back in all the controls.

#include "create/glyphoraform.h"
#include "ui_glyphoraform.h"

#include <QAbstractSpinBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QtDebug>

#include "create/formsupport.h"
#include "render/composition.h"

using namespace FormSupport;

namespace {

// Edits of one number or text box this close together are one step: a run of arrow
// clicks, or the digits of one number typed.
constexpr qint64 kControlPauseMs = 1500;

} // namespace

void GlyphoraForm::loadIconStyle()
{
    QSettings settings = pathSettings();
    IconStyle style;
    style.load(settings);
    model->reset(style, {});
}

int GlyphoraForm::controlGesture(QObject* control)
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    const qint64 now = clock.elapsed();
    if (control != gestureControl || now - gestureAt > kControlPauseMs) {
        gesture = model->newGesture();
        gestureControl = control;
    }
    gestureAt = now;
    return gesture;
}

void GlyphoraForm::editStyle(QObject* control, const QString& key, const QVariant& value)
{
    if (!ready)
        return;
    // Choices (combos, check boxes, colours) are a step each; typed and stepped values
    // merge while they come in one run.
    const bool typed = qobject_cast<QAbstractSpinBox*>(control) || qobject_cast<QLineEdit*>(control);
    model->setStyleValue(key, value, typed ? controlGesture(control) : 0);
}

// Shows the composition's style in every control, with the ready flag down so that no
// control hands it back as a new step.
void GlyphoraForm::refreshStyleControls()
{
    NotReady notReady(ready);
    const IconStyle& style = model->iconStyle();

    ui->shapeComboBox->setCurrentIndex(style.shape);
    const bool rounded = style.shape == IconStyle::RoundedRectangle;
    ui->radiusLabel->setVisible(rounded);
    ui->radiusSpinBox->setVisible(rounded);
    ui->radiusSpinBox->setValue(style.radius);

    ui->backCheckBox->setChecked(style.useBackground);
    ui->backGroupBox->setVisible(style.useBackground);
    ui->backStyleComboBox->setCurrentIndex(style.backStyle);
    const bool gradient = style.backStyle == IconStyle::Gradient;
    ui->backColor2Label->setVisible(gradient);
    ui->backColor2Widget->setVisible(gradient);
    ui->backOrientationLabel->setVisible(gradient);
    ui->backOrientationComboBox->setVisible(gradient);
    ui->backOrientationComboBox->setCurrentIndex(style.backOrientation);
    ui->backColor1Widget->setColor(style.backColor1);
    ui->backColor2Widget->setColor(style.backColor2);

    ui->_3dEffectCheckBox->setChecked(style.useBack3dEffect);
    ui->borderCheckBox->setChecked(style.useBorder);
    ui->borderGroupBox->setVisible(style.useBorder);
    ui->borderColorWidget->setColor(style.borderColor);
    ui->borderWidthSpinBox->setValue(style.borderWidth);
    ui->glossyCheckBox->setChecked(style.useGlossy);
    ui->clipImageCheckBox->setChecked(style.clipImage);

    ui->badgeCheckBox->setChecked(style.useBadge);
    ui->badgeGroupBox->setVisible(style.useBadge);
    // Set only when it differs: setting a line edit moves its cursor to the end.
    if (ui->badgeTextLineEdit->text() != style.badgeText)
        ui->badgeTextLineEdit->setText(style.badgeText);
    ui->badgeTextColorWidget->setColor(style.badgeTextColor);
    ui->badgeTextSizeSpinBox->setValue(style.badgeTextSize);
    if (ui->badgeFontComboBox->currentFont().family() != style.badgeTextFont.family())
        ui->badgeFontComboBox->setCurrentFont(style.badgeTextFont);
    ui->badgeBackColorWidget->setColor(style.badgeBackColor);
    ui->badgeBorderColorWidget->setColor(style.badgeBorderColor);
    ui->badgeLineWidthSpinBox->setValue(style.badgeLineWidth);
    ui->badgeOrientationComboBox->setCurrentIndex(style.badgeOrientation);
    refillBadgePositions();

    ui->canvasSizeComboBox->setCurrentIndex(style.canvasSize - 1);
    measureBadgeText();
}

void GlyphoraForm::refillBadgePositions()
{
    NotReady notReady(ready);
    const IconStyle& style = model->iconStyle();
    const bool horizontal = style.badgeOrientation == IconStyle::Horizontal;
    const int wanted = horizontal ? 2 : 4;
    if (ui->badgePositionComboBox->count() != wanted) {
        ui->badgePositionComboBox->clear();
        if (horizontal)
            ui->badgePositionComboBox->addItems({tr("Bottom"), tr("Top")});
        else
            ui->badgePositionComboBox->addItems({tr("Top Left"), tr("Top Right"), tr("Bottom Left"), tr("Bottom Right")});
    }
    ui->badgePositionComboBox->setCurrentIndex(horizontal ? style.badgeOrientationHorizontal
                                                          : style.badgeOrientationDiagonal);
}

void GlyphoraForm::measureBadgeText()
{
    const IconStyle& style = model->iconStyle();
    qDebug() << "textSizeIndex: " << style.textSizeFactor();
    // The hidden label carries the text as measured, for whoever looks at the form.
    ui->tempLabel->setFont(style.badgeTextFont);
    ui->tempLabel->setText(style.badgeText);
}

void GlyphoraForm::on_shapeComboBox_currentIndexChanged(int index)
{
    editStyle(ui->shapeComboBox, QStringLiteral("Container/shape"), index);
}

void GlyphoraForm::on_radiusSpinBox_valueChanged(int arg1)
{
    editStyle(ui->radiusSpinBox, QStringLiteral("Container/radius"), arg1);
}

void GlyphoraForm::on_backCheckBox_clicked()
{
    editStyle(ui->backCheckBox, QStringLiteral("Container/useBackground"), ui->backCheckBox->isChecked());
}

void GlyphoraForm::on_backStyleComboBox_currentIndexChanged(int index)
{
    editStyle(ui->backStyleComboBox, QStringLiteral("Container/backStyle"), index);
}

void GlyphoraForm::on_backOrientationComboBox_currentIndexChanged(int index)
{
    editStyle(ui->backOrientationComboBox, QStringLiteral("Container/backOrientation"), index);
}

void GlyphoraForm::on_ColorUpdated1(QColor color)
{
    editStyle(ui->backColor1Widget, QStringLiteral("Container/backColor1"), color.name());
}

void GlyphoraForm::on_ColorUpdated2(QColor color)
{
    editStyle(ui->backColor2Widget, QStringLiteral("Container/backColor2"), color.name());
}

void GlyphoraForm::on__3dEffectCheckBox_clicked()
{
    editStyle(ui->_3dEffectCheckBox, QStringLiteral("Container/useBack3dEffect"), ui->_3dEffectCheckBox->isChecked());
}

void GlyphoraForm::on_borderCheckBox_clicked()
{
    editStyle(ui->borderCheckBox, QStringLiteral("Container/useBorder"), ui->borderCheckBox->isChecked());
}

void GlyphoraForm::on_BorderColorUpdated(QColor color)
{
    editStyle(ui->borderColorWidget, QStringLiteral("Container/borderColor"), color.name());
}

void GlyphoraForm::on_borderWidthSpinBox_valueChanged(int arg1)
{
    editStyle(ui->borderWidthSpinBox, QStringLiteral("Container/borderWidth"), arg1);
}

void GlyphoraForm::on_glossyCheckBox_clicked()
{
    editStyle(ui->glossyCheckBox, QStringLiteral("Container/useGlossy"), ui->glossyCheckBox->isChecked());
}

void GlyphoraForm::on_clipImageCheckBox_clicked()
{
    editStyle(ui->clipImageCheckBox, QStringLiteral("Container/clipImage"), ui->clipImageCheckBox->isChecked());
}

void GlyphoraForm::on_badgeCheckBox_clicked()
{
    editStyle(ui->badgeCheckBox, QStringLiteral("Badge/useBadge"), ui->badgeCheckBox->isChecked());
}

void GlyphoraForm::on_badgeTextLineEdit_textChanged(const QString&)
{
    editStyle(ui->badgeTextLineEdit, QStringLiteral("Badge/badgeText"), ui->badgeTextLineEdit->text());
}

void GlyphoraForm::on_BadgeTextColorUpdated(QColor color)
{
    editStyle(ui->badgeTextColorWidget, QStringLiteral("Badge/badgeTextColor"), color.name());
}

void GlyphoraForm::on_badgeTextSizeSpinBox_valueChanged(int arg1)
{
    editStyle(ui->badgeTextSizeSpinBox, QStringLiteral("Badge/badgeTextSize"), arg1);
}

void GlyphoraForm::on_badgeFontComboBox_currentFontChanged(const QFont&)
{
    QFont font = ui->badgeFontComboBox->currentFont();
    font.setWeight(QFont::Bold);
    editStyle(ui->badgeFontComboBox, QStringLiteral("Badge/badgeTextFont"), font.toString());
}

void GlyphoraForm::on_BadgeBackColorUpdated(QColor color)
{
    editStyle(ui->badgeBackColorWidget, QStringLiteral("Badge/badgeBackColor"), color.name());
}

void GlyphoraForm::on_BadgeBorderColorUpdated(QColor color)
{
    editStyle(ui->badgeBorderColorWidget, QStringLiteral("Badge/badgeBorderColor"), color.name());
}

void GlyphoraForm::on_badgeLineWidthSpinBox_valueChanged(int arg1)
{
    editStyle(ui->badgeLineWidthSpinBox, QStringLiteral("Badge/badgeLineWidth"), arg1);
}

void GlyphoraForm::on_badgeOrientationComboBox_currentIndexChanged(int index)
{
    editStyle(ui->badgeOrientationComboBox, QStringLiteral("Badge/badgeOrientation"), index);
}

void GlyphoraForm::on_badgePositionComboBox_currentIndexChanged(int index)
{
    // Refilling the combo passes through other indexes; only the user's choice counts.
    if (index < 0)
        return;
    const bool horizontal = model->iconStyle().badgeOrientation == IconStyle::Horizontal;
    editStyle(ui->badgePositionComboBox,
              horizontal ? QStringLiteral("Badge/badgeOrientationHorizontal")
                         : QStringLiteral("Badge/badgeOrientationDiagonal"),
              index);
}

void GlyphoraForm::on_canvasSizeComboBox_currentIndexChanged(int index)
{
    // The canvas and the objects follow the composition's new size.
    if (ready && index >= 0)
        model->setCanvasSize(index + 1);
}
