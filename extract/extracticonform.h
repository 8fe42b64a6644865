#pragma once

#include <QWidget>

namespace Ui {
class ExtractIconForm;
}

// The "Extract Icon" tab.
class ExtractIconForm : public QWidget
{
    Q_OBJECT

public:
    explicit ExtractIconForm(QWidget* parent);
    ~ExtractIconForm() override;

    void updateThemeIcons();

private:
    Ui::ExtractIconForm* ui;
};
