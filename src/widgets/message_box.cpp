#include "widgets/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <mutex>

#include "base/strings.h"
#include "widgets/ui_events.h"
#include "widgets/ui_texts.h"

namespace nbx::ui {

namespace {

constexpr int kCaptionId = nbx::strings::kFrameTitle;

std::mutex& HookMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

MessageBoxHook CurrentHook() {
    std::lock_guard<std::mutex> lock(HookMutex());
    return Hook();
}

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::kExclamation:
            return QMessageBox::Warning;
        case MsgIcon::kQuestion:
            return QMessageBox::Question;
        case MsgIcon::kInformation:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// The answer when no box can be shown: the safe one, which never agrees to anything.
int NoBoxAnswer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::kOk:
            return kIdOk;
        case MsgButtons::kYesNo:
            return kIdNo;
        case MsgButtons::kYesNoCancel:
            return kIdCancel;
    }
    return kIdCancel;
}

int ShowOnUiThread(QWidget* parent, int stringId, const std::string& text, MsgIcon icon,
                   MsgButtons buttons) {
    if (MessageBoxHook hook = CurrentHook()) {
        return hook(stringId, text, icon, buttons);
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return NoBoxAnswer(buttons);
    }
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(nbx::strings::LoadString(kCaptionId)),
                    QString::fromStdString(text), QMessageBox::NoButton, parent);
    auto add = [&box](QMessageBox::StandardButton button, const char* label) {
        box.addButton(button)->setText(Tr(label));
    };
    switch (buttons) {
        case MsgButtons::kOk:
            add(QMessageBox::Ok, "OK");
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case MsgButtons::kYesNo:
            add(QMessageBox::Yes, "Yes");
            add(QMessageBox::No, "No");
            box.setEscapeButton(QMessageBox::No);
            break;
        case MsgButtons::kYesNoCancel:
            add(QMessageBox::Yes, "Yes");
            add(QMessageBox::No, "No");
            add(QMessageBox::Cancel, "Cancel");
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    box.setDefaultButton(buttons == MsgButtons::kOk ? QMessageBox::Ok : QMessageBox::Yes);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return kIdOk;
        case QMessageBox::Yes:
            return kIdYes;
        case QMessageBox::No:
            return kIdNo;
        case QMessageBox::Cancel:
            return kIdCancel;
        default:
            return NoBoxAnswer(buttons);
    }
}

}  // namespace

int ShowMessage(QWidget* parent, int stringId, MsgIcon icon, MsgButtons buttons) {
    return ShowMessageText(parent, stringId, nbx::strings::LoadString(stringId), icon, buttons);
}

int ShowMessageText(QWidget* parent, int stringId, const std::string& text, MsgIcon icon,
                    MsgButtons buttons) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        // No ui thread to speak of: the hook, if any, still answers.
        if (MessageBoxHook hook = CurrentHook()) {
            return hook(stringId, text, icon, buttons);
        }
        return NoBoxAnswer(buttons);
    }
    if (QThread::currentThread() == app->thread()) {
        return ShowOnUiThread(parent, stringId, text, icon, buttons);
    }
    // An engine thread asks: the box belongs to the ui thread, and the engine waits for it.
    QPointer<QWidget> guardedParent(parent);
    int answer = NoBoxAnswer(buttons);
    RunOnUiThreadAndWait(
        app, [&] { answer = ShowOnUiThread(guardedParent.data(), stringId, text, icon, buttons); });
    return answer;
}

void SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard<std::mutex> lock(HookMutex());
    Hook() = std::move(hook);
}

}  // namespace nbx::ui
