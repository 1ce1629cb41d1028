#pragma once

// Widget tests run on Qt's offscreen platform with the program's own main (ui_test_main.cpp):
// one QApplication for the whole test program, message boxes answered by a recorder.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "widgets/message_box.h"

namespace nbx::test {

// Handles events until the condition holds or the time is up; the condition's last value.
bool PollUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
// Handles events for the given time.
void ProcessEventsFor(std::chrono::milliseconds time);

// Installed for its lifetime instead of real message boxes: records each box and answers with
// the next queued answer (kIdYes for questions and kIdOk otherwise when none is queued).
class MessageBoxRecorder {
public:
    struct Box {
        int stringId;
        std::string text;
        nbx::ui::MsgIcon icon;
        nbx::ui::MsgButtons buttons;
    };
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    void QueueAnswer(int answer) { answers_.push_back(answer); }
    const std::vector<Box>& Boxes() const { return boxes_; }
    std::vector<int> Ids() const;
    void Clear() { boxes_.clear(); }

private:
    std::vector<Box> boxes_;
    std::vector<int> answers_;
};

}  // namespace nbx::test
