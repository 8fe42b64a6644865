#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class QStackedLayout;

namespace Ui {
class GlyphoraForm;
}

// The "Create Icon" tab.  Page 0 takes a picture (dropped on the frame or opened) and
// writes it straight into a multi-resolution .ico; page 1 is the edit page of the
// composing road.
class GlyphoraForm : public QWidget
{
    Q_OBJECT

public:
    explicit GlyphoraForm(QWidget* parent);
    ~GlyphoraForm() override;

    // Picks the white icon set for a dark colour scheme, the black one otherwise.
    void updateThemeIcons();

    // True while Shift is held: the canvas then rotates instead of scaling on the wheel.
    static bool shiftKeyPressed;
    static void setShiftKeyPressed(bool pressed);

    // The save dialog's proposal for the icon of sourcePath in folder: the file name cut
    // before its last dot (unless that dot starts the name), plus ".ico", in native
    // separators.  logo.final.png gives logo.final.ico, .png gives .png.ico.
    static QString proposedIconPath(const QString& folder, const QString& sourcePath);

public Q_SLOTS:
    void on_AddURLs(QList<QUrl> urls);

private Q_SLOTS:
    void on_loadButton_clicked();
    void on_sourceImageButton_clicked();
    void on_convertButton_clicked();
    void on_editButton_clicked();
    void on_backButton_clicked();

private:
    void openSourceFileDialog();
    void showSourcePreview(const QPixmap& preview);
    void showNoSource();
    void showIconCreatedBox(const QString& iconPath);

    Ui::GlyphoraForm* ui;
    QStackedLayout* pageLayout = nullptr;

    // The current picture file; empty until one that exists and can be shown is given.
    QString sourcePath;
    // False while the form changes its own controls, so that their slots do not feed the
    // change back.
    bool ready = false;
};
