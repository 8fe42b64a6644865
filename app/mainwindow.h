#pragma once

#include <QMainWindow>

class QAction;
class QStackedLayout;
class GlyphoraForm;
class ExtractIconForm;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private Q_SLOTS:
    void OnUpdate(bool checked);
    void OnWebSite(bool checked);
    void OnAbout(bool checked);

private:
    void restoreWindowGeometry();
    void updateThemeIcons();

    Ui::MainWindow* ui;
    GlyphoraForm* createForm = nullptr;
    ExtractIconForm* extractForm = nullptr;
    QStackedLayout* centralLayout = nullptr;
    QAction* updateAction = nullptr;
    QAction* websiteAction = nullptr;
    QAction* aboutAction = nullptr;
};
