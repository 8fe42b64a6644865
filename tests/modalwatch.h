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
