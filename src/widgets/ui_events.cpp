#include "widgets/ui_events.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

namespace nbx::ui {

namespace {

bool OnReceiverThread(const QObject* receiver) {
    return QThread::currentThread() == receiver->thread();
}

// Runs fn on the receiver's thread and waits. Qt deletes a pending blocking call together with
// a receiver destroyed before it ran, and that releases the waiting caller; `ran` tells the
// two outcomes apart.
bool CallBlocking(QObject* receiver, const std::function<void()>& fn) {
    bool ran = false;
    const bool queued = QMetaObject::invokeMethod(
        receiver,
        [&ran, &fn] {
            ran = true;
            fn();
        },
        Qt::BlockingQueuedConnection);
    return queued && ran;
}

}  // namespace

void PostMessage(QObject* receiver, int message, std::any wparam, std::intptr_t lparam) {
    if (receiver == nullptr || QCoreApplication::instance() == nullptr) {
        return;
    }
    // Events still queued for a receiver are dropped by its destruction.
    QCoreApplication::postEvent(receiver, new NbxEvent(message, std::move(wparam), lparam));
}

bool SendMessage(QObject* receiver, int message, std::any wparam, std::intptr_t lparam) {
    if (receiver == nullptr) {
        return false;
    }
    if (OnReceiverThread(receiver)) {
        NbxEvent event(message, std::move(wparam), lparam);
        return QCoreApplication::sendEvent(receiver, &event);
    }
    QPointer<QObject> guard(receiver);
    bool handled = false;
    const bool ran = CallBlocking(receiver, [&] {
        if (guard.isNull()) {
            return;
        }
        NbxEvent event(message, std::move(wparam), lparam);
        handled = QCoreApplication::sendEvent(guard.data(), &event);
    });
    return ran && handled;
}

bool RunOnUiThreadAndWait(QObject* receiver, const std::function<void()>& fn) {
    if (receiver == nullptr) {
        return false;
    }
    if (OnReceiverThread(receiver)) {
        fn();
        return true;
    }
    return CallBlocking(receiver, fn);
}

}  // namespace nbx::ui
