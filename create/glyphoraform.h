#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QUrl>
#include <QWidget>

class Composition;
class CompositionDocument;
class QStackedLayout;

namespace Ui {
class GlyphoraForm;
}

// The "Create Icon" tab.  Page 0 takes a picture (dropped on the frame or opened) and
// writes it straight into a multi-resolution .ico; page 1 is the edit page of the
// composing road, which edits the form's Composition through the canvas, the object list
// and the style controls.  The page's rooms, each in a file of its own:
//   glyphoraform.cpp         the pages, the source road, entering and leaving the edit
//                            page, undo and redo, the unsaved-changes question
//   glyphoraformstyle.cpp    the style controls and the composition's IconStyle
//   glyphoraformobjects.cpp  the object list and the canvas kept in step
//   glyphoraformoutputs.cpp  "Go", the PNG export and the composition documents
class GlyphoraForm : public QWidget
{
    Q_OBJECT

public:
    explicit GlyphoraForm(QWidget* parent);
    ~GlyphoraForm() override;

    // Picks the white icon set for a dark colour scheme, the black one otherwise.
    void updateThemeIcons();

    // True while Shift is held, as the main window sees its key events.  The canvas takes
    // Shift from each wheel event instead, which knows of a release in another window.
    static bool shiftKeyPressed;
    static void setShiftKeyPressed(bool pressed);

    // The save dialog's proposal for the icon of sourcePath in folder: the file name cut
    // before its last dot (unless that dot starts the name), plus ".ico", in native
    // separators.  logo.final.png gives logo.final.ico, .png gives .png.ico.
    static QString proposedIconPath(const QString& folder, const QString& sourcePath);

    // Opens the composition document at path on the edit page: it is read and its
    // pictures decoded in the background (a busy cursor meanwhile), then its style and
    // objects replace the current ones, nothing selected, with a fresh undo history.  A later open, or entering edit
    // mode, drops the result of an earlier one still running.  A document that cannot be
    // opened changes nothing and is named, with the reason, in a warning box.
    void openComposition(const QString& path);
    // Writes the current style and objects as a composition document; false, after a
    // warning box, when it cannot be written.  Written, the composition counts as saved.
    bool saveComposition(const QString& path);

    // The composition the edit page works on; the form owns it.
    Composition* composition() const { return model; }
    // Asks "Save changes to the composition?" when it has changes not saved: true when
    // the caller may go on (saved, discarded, or nothing to ask), false on Cancel or a
    // save that did not happen.
    bool maybeSaveChanges();

public Q_SLOTS:
    void on_AddURLs(QList<QUrl> urls);

private Q_SLOTS:
    void on_loadButton_clicked();
    void on_sourceImageButton_clicked();
    void on_convertButton_clicked();
    void on_editButton_clicked();
    void on_backButton_clicked();

    // Icon style: each stores its control's value in the program-wide style and repaints.
    void on_shapeComboBox_currentIndexChanged(int index);
    void on_radiusSpinBox_valueChanged(int arg1);
    void on_backCheckBox_clicked();
    void on_backStyleComboBox_currentIndexChanged(int index);
    void on_backOrientationComboBox_currentIndexChanged(int index);
    void on_ColorUpdated1(QColor color);
    void on_ColorUpdated2(QColor color);
    void on__3dEffectCheckBox_clicked();
    void on_borderCheckBox_clicked();
    void on_BorderColorUpdated(QColor color);
    void on_borderWidthSpinBox_valueChanged(int arg1);
    void on_glossyCheckBox_clicked();
    void on_clipImageCheckBox_clicked();
    void on_badgeCheckBox_clicked();
    void on_badgeTextLineEdit_textChanged(const QString& arg1);
    void on_BadgeTextColorUpdated(QColor color);
    void on_badgeTextSizeSpinBox_valueChanged(int arg1);
    void on_badgeFontComboBox_currentFontChanged(const QFont& f);
    void on_BadgeBackColorUpdated(QColor color);
    void on_BadgeBorderColorUpdated(QColor color);
    void on_badgeLineWidthSpinBox_valueChanged(int arg1);
    void on_badgeOrientationComboBox_currentIndexChanged(int index);
    void on_badgePositionComboBox_currentIndexChanged(int index);

    // Edit page: the objects, their list and controls, the canvas size and the output.
    void on_goButton_clicked();
    void on_exportImages(QList<int> LImageResolution);
    void on_AddItem(int imageDataIndex, QImage image);
    void on_ItemSelected(int imageDataIndex);
    void on_itemMoved(int imageDataIndex);
    void on_itemScaled(int imageDataIndex);
    void on_itemRotated(int imageDataIndex);
    void on_positionXSpinBox_valueChanged(int arg1);
    void on_positionYSpinBox_valueChanged(int arg1);
    void on_sizeSpinBox_valueChanged(int arg1);
    void on_rotateSpinBox_valueChanged(int arg1);
    void on_canvasSizeComboBox_currentIndexChanged(int index);
    void on_upToolButton_clicked();
    void on_downToolButton_clicked();
    void on_deleteToolButton_clicked();
    void on_helpButton_clicked();
    void on_saveCompositionButton_clicked();
    void on_openCompositionButton_clicked();
    void on_undoButton_clicked();
    void on_redoButton_clicked();

    // The composition told a change: the views follow it.
    void refreshStyleControls();
    void on_ObjectsReset();
    void on_ObjectInserted(int index);
    void on_ObjectRemoved(int index, int id);
    void on_ObjectReordered(int from, int to);
    void on_ObjectChanged(int index);
    void updateUndoTips();

private:
    // The object list's handlers.  Plain members connected by hand: as slots, their
    // names (after the list's signals, not its object name "listWidget") would send the
    // form's automatic connection looking for an object "ListWidget".
    void on_ListWidget_itemSelectionChanged();
    void on_ListWidget_itemMoved(int oldPos, int newPos);
    void on_ListWidget_needToMoveitem(int oldPos, int newPos);

    void setUpEditPage();
    void setUpUndo();
    void loadIconStyle();
    void refillBadgePositions();
    void measureBadgeText();
    // A step of the style from a control: runs of the same control close together merge.
    void editStyle(QObject* control, const QString& key, const QVariant& value);
    int controlGesture(QObject* control);
    void setObjectControlsVisible(bool visible);
    void setRowButtons(int row);
    // The row that shows the object with this id, -1 when there is none.
    int rowOfId(int id) const;
    int idOfRow(int row) const;
    // The object at drawing index under row newRow: the list shows the objects in reverse
    // drawing order.
    void moveObjectForRows(int oldRow, int newRow);
    void moveSelectedRow(int step);
    void showObjectValues(int imageDataIndex);
    // Asks for a composition file to save to; empty when cancelled.
    QString askCompositionSavePath();

    void openSourceFileDialog();
    // The preview of the decoded source picture; false, back on the empty page, when
    // there is none.
    bool showSourcePreview();
    void showNoSource();
    void showIconCreatedBox(const QString& iconPath);
    void showIconFailedBox(const QString& iconPath, const QString& reason);
    void showComposition(const CompositionDocument& document);
    void dropCompositionLoads();

    Ui::GlyphoraForm* ui;
    QStackedLayout* pageLayout = nullptr;
    Composition* model = nullptr;
    // The document the composition was last saved to or opened from; empty until then.
    QString documentPath;
    // The control whose edits merge into the step on top, and when it was last edited.
    QObject* gestureControl = nullptr;
    // True while a row dropped within the list is being moved: the list moves that row.
    bool listMovesRow = false;
    int gesture = 0;
    qint64 gestureAt = 0;

    // The current picture file; empty until one that exists and can be shown is given.
    QString sourcePath;
    // The source picture as decoded once when it was opened (an SVG rasterised at the
    // first object's side); null when it does not decode.
    QImage sourcePicture;
    // Counts the composition opens; only the latest one's result is shown.
    int compositionSerial = 0;
    // False while the form changes its own controls, so that their slots do not feed the
    // change back.
    bool ready = false;
};
