#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace nbx {

// The moment a server's modification-time text names, read from any of the forms servers
// write: RFC 1123 ("Sun, 06 Nov 1994 08:49:37 GMT"), RFC 850 ("Sunday, 06-Nov-94 08:49:37 GMT"),
// asctime ("Sun Nov  6 08:49:37 1994") and ISO 8601 ("1994-11-06T08:49:37Z", with an offset,
// fractions of a second, or a blank for the T). A text without a zone is UTC, as HTTP dates are
// and as the cloud disk writes its times. None for anything else, including impossible dates.
std::optional<std::time_t> ParseServerTime(std::string_view text);

// The moment in local time as ISO 8601 with its offset: "2026-12-11T13:04:05+01:00".
std::string FormatLocalIsoTime(std::time_t when);

// The server's text as local ISO 8601 when it can be read, else the text as it came.
std::string NormalizeServerTime(const std::string& text);

}  // namespace nbx
