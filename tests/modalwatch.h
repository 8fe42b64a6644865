#pragma once

// Answers the next modal dialog of type T that opens within five seconds: handler gets
// it, then it is rejected if still open.  The watcher is a child of parent, so none
// outlives the test that set it.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

template <typename T>
void whenModal(QObject* parent, std::function<void(T*)> handler)
{
    auto* timer = new QTimer(parent);
    QElapsedTimer elapsed;
    elapsed.start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, elapsed, handler]() {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            handler(dialog);
            if (dialog->isVisible())
                dialog->reject();
        } else if (elapsed.elapsed() < 5000) {
            return;
        }
        timer->stop();
        timer->deleteLater();
    });
    timer->start();
}

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>

// Answers an open file dialog as a person does: types text into its name field and
// presses its accept button (Open, Save or Choose).  selectFile() is not enough: it
// leaves the name field alone while that field has focus, so the dialog would return
// its own proposal or the test's name depending on timing.  text may be a full path, a
// name in the dialog's folder, or several quoted names.  Returns false when the dialog
// has no name field or its accept button is disabled for that text.
inline bool answerFileDialog(QFileDialog* dialog, const QString& text)
{
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (!name || !buttons)
        return false;
    name->setFocus();
    name->setText(text);
    QAbstractButton* accept = nullptr;
    for (QAbstractButton* button : buttons->buttons()) {
        if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
            accept = button;
    }
    if (!accept || !accept->isEnabled())
        return false;
    accept->click();
    return true;
}
