#pragma once

#include <string>
#include <string_view>

// Text from a server (names, dates, types) on its way to a terminal or into the session log:
// control characters (C0, DEL and the C1 range) are shown as escapes such as "\n", "\x1b" or
// "\u009b", so that no name can move the cursor, ring the bell or start a line of its own.
// Everything else, non-ASCII letters included, stays as it is.
std::string ShowControlCharacters(std::string_view text);
