#pragma once

#include <string>

// The message a user is shown for a failed remote operation, by its result.
int ResultMessageId(int result);
std::string ResultMessage(int result);
