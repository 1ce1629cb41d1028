#include "widgets/ui_helpers.h"

#include <QAbstractEventDispatcher>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <QThread>

#include "widgets/ui_events.h"

bool CopyTextToClipboard(const std::string& text) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        return false;
    }
    // The clipboard belongs to the ui thread; another thread's caller waits for it there.
    bool done = false;
    nbx::ui::RunOnUiThreadAndWait(app, [&] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard == nullptr) {
            return;
        }
        clipboard->setText(QString::fromStdString(text), QClipboard::Clipboard);
        done = true;
    });
    return done;
}

void PumpMessages() {
    // Bounded, so a timer that fires on every pass cannot keep the caller here for ever.
    constexpr int kMaxPasses = 1000;
    QAbstractEventDispatcher* dispatcher =
        QAbstractEventDispatcher::instance(QThread::currentThread());
    if (dispatcher == nullptr) {
        QCoreApplication::sendPostedEvents();
        return;
    }
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        if (!dispatcher->processEvents(QEventLoop::AllEvents)) {
            break;
        }
    }
}
