#pragma once

#include <string>

namespace nbx {

// printf into a std::string; the compiler checks the arguments against the format.
std::string StrPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace nbx
