#pragma once

// Message boxes by string id, with a seam: a test sets a hook that records the question and
// answers it instead of a person.

#include <functional>
#include <string>

class QWidget;

namespace nbx::ui {

enum class MsgIcon { kExclamation, kQuestion, kInformation };
enum class MsgButtons { kOk, kYesNo, kYesNoCancel };
// The answers, by the numbers callers compare with.
enum MsgResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// The text of the string id, shown modally over parent (may be null). Returns the answer.
int ShowMessage(QWidget* parent, int stringId, MsgIcon icon, MsgButtons buttons = MsgButtons::kOk);
// The same with a text already formatted from string stringId (for "%s"/"%d" texts).
int ShowMessageText(QWidget* parent, int stringId, const std::string& text, MsgIcon icon,
                    MsgButtons buttons = MsgButtons::kOk);

// Installed by tests: called instead of showing a box, returns the answer. Empty: show boxes.
using MessageBoxHook =
    std::function<int(int stringId, const std::string& text, MsgIcon icon, MsgButtons buttons)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace nbx::ui
