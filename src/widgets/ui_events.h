#pragma once

// The window messages and commands of the explorer, as Qt events whose type is the message
// number itself, and as QActions that carry their command number in data().

#include <QEvent>
#include <QObject>
#include <any>
#include <cstdint>
#include <functional>

namespace nbx::ui {

enum Message : int {
    WM_ADDRESS_ENTERED = 1026,
    WM_NODE_STATE = 1027,  // wparam: std::string title; lparam: the state
    WM_SECOND_INSTANCE_NEW_FRAME = 1124,
    WM_SECOND_INSTANCE_SHORTCUT = 1125,
    WM_VIEW_OPEN = 1224,
    WM_VIEW_DELETE = 1225,
    WM_VIEW_ESCAPE = 1226,
    WM_ASYNC_TRANSFER_START = 1424,
    WM_ASYNC_TRANSFER_FINISH = 1425,
    WM_FILE_MONITOR_CLOSED = 1434,           // wparam: std::shared_ptr<CNbxFileMonitor>
    WM_FILE_MONITOR_CLOSED_MODIFIED = 1435,  // wparam: std::shared_ptr<CNbxFileMonitor>
    WM_THUMB_DOWNLOAD_START = 1444,
    WM_THUMB_DOWNLOAD_FINISH = 1445,
    WM_END_MODAL = 1624,  // lparam: the end code
    WM_CLOSE_FRAME = 1625,
};

enum Command : int {
    ID_FILE_NEW = 57600,
    ID_REFRESH_LOCATION = 32787,
    ID_EDIT_CUT = 32909,
    ID_EDIT_COPY = 32910,
    ID_EDIT_PASTE = 32911,
    ID_EDIT_UNDO = 32914,
    ID_FILE_OPEN_ITEM = 32920,
    ID_FILE_NEW_FOLDER = 32923,
    ID_FILE_SHORTCUT_DESKTOP = 32928,
    ID_FILE_SHORTCUT_DOCUMENTS = 32929,
    ID_FILE_SHORTCUT_FOLDER = 32930,
    ID_FILE_COPY_URL = 32932,
    ID_FILE_RENAME = 32934,
    ID_FILE_EDIT = 32936,
    ID_FILE_DELETE = 32938,
    ID_EDIT_SELECT_ALL = 32959,
    ID_ARRANGE_NAME = 32971,
    ID_ARRANGE_SIZE = 32972,
    ID_ARRANGE_TYPE = 32973,
    ID_ARRANGE_DATE = 32974,
    ID_VIEW_REFRESH = 32975,
    ID_APP_NEW_FRAME = 32978,
    ID_APP_EXIT = 32979,
    ID_APP_CHECK_UPDATES = 32980,
    ID_NODE_CONFIGURATION = 32981,
    ID_APP_ABOUT = 32982,
    ID_OPENED_FILES = 32985,
    ID_VIEW_LARGE_ICONS = 32997,
    ID_VIEW_ICONS = 32800,
    ID_VIEW_SMALL_ICONS = 32801,
    ID_VIEW_LIST = 32802,
    ID_VIEW_DETAILS = 32803,
};

// One message. The event type is the message number.
class NbxEvent : public QEvent {
public:
    explicit NbxEvent(int message, std::any wparam = {}, std::intptr_t lparam = 0)
        : QEvent(static_cast<QEvent::Type>(message)), wparam(std::move(wparam)), lparam(lparam) {}
    int Message() const { return static_cast<int>(type()); }
    std::any wparam;
    std::intptr_t lparam;
};

inline bool IsMessage(const QEvent* event, int message) {
    return static_cast<int>(event->type()) == message;
}

// Posted: queued for the receiver's thread, returns at once. Dropped when the receiver is gone.
void PostMessage(QObject* receiver, int message, std::any wparam = {}, std::intptr_t lparam = 0);
// Sent: handled before this returns. From another thread the caller waits for the receiver's
// thread; a receiver destroyed meanwhile releases the caller. False when the event was not
// accepted or the receiver is gone.
bool SendMessage(QObject* receiver, int message, std::any wparam = {}, std::intptr_t lparam = 0);

// Runs fn on the receiver's thread and waits for it (at once when called on that thread).
// False when the receiver went away before it ran.
bool RunOnUiThreadAndWait(QObject* receiver, const std::function<void()>& fn);

}  // namespace nbx::ui
