#pragma once

#include <string>

// Puts the text on the clipboard as plain text; false when there is no clipboard.
bool CopyTextToClipboard(const std::string& text);
// Handles the pending events of the calling thread and returns when none is left.
void PumpMessages();
