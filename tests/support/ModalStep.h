// Drives a modal window from the test that opened it: the step runs once the window is the
// active modal one. Whatever the step does, even a failed ASSERT that leaves it halfway,
// the window is closed after it, so that no test waits in a modal loop for ever.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Looks every 10 ms, for up to timeoutMs, for a modal window; context ends the looking when
// it goes. A window the step leaves open fails the test.
inline void OnModalWindow(QObject* context, std::function<void(QWidget&)> step, int timeoutMs = 5000)
{
    auto* timer = new QTimer(context);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step = std::move(step), deadline = QDeadlineTimer(timeoutMs)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (!modal)
            return;
        const QPointer<QWidget> window(modal);
        step(*modal);
        if (window && window->isVisible()) {
            ADD_FAILURE() << "the step left the modal window open; it is closed now";
            if (auto* dialog = qobject_cast<QDialog*>(window.data()))
                dialog->reject();
            else
                window->close();
        }
    });
    timer->start();
}
