#include "support/ui_test_support.h"

#include <QApplication>
#include <QThread>
#include <cstdlib>
#include <mutex>

namespace nbx::test {

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void ProcessEventsFor(std::chrono::milliseconds time) {
    const auto until = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

MessageBoxRecorder::MessageBoxRecorder() {
    // Boxes may be asked for from an engine thread that waits for the ui thread; the hook runs
    // on the ui thread (message_box.cpp shows boxes only there).
    nbx::ui::SetMessageBoxHook([this](int id, const std::string& text, nbx::ui::MsgIcon icon,
                                      nbx::ui::MsgButtons buttons) {
        boxes_.push_back({id, text, icon, buttons});
        if (!answers_.empty()) {
            int answer = answers_.front();
            answers_.erase(answers_.begin());
            return answer;
        }
        return buttons == nbx::ui::MsgButtons::kOk ? int(nbx::ui::kIdOk) : int(nbx::ui::kIdYes);
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    nbx::ui::SetMessageBoxHook(nullptr);
}

std::vector<int> MessageBoxRecorder::Ids() const {
    std::vector<int> ids;
    for (const Box& box : boxes_) {
        ids.push_back(box.stringId);
    }
    return ids;
}

}  // namespace nbx::test
