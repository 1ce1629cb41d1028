#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Small text helpers shared by the service areas.
namespace nbx::dev {

// Standard %XX decoding; "+" stays "+". Nothing for a "%" without two hex digits after it.
std::optional<std::string> PercentDecode(std::string_view text);

// The decoded name=value pairs of a request target's query, in order; nothing when one of them
// is badly encoded.
using QueryArgs = std::vector<std::pair<std::string, std::string>>;
std::optional<QueryArgs> ParseQuery(std::string_view target);
// The first value of that name, or nothing.
std::optional<std::string> QueryValue(const QueryArgs& args, std::string_view name);

// The text as a JSON string, quotes included; UTF-8 passes through as it is.
std::string JsonString(std::string_view text);

std::optional<std::string> Base64Decode(std::string_view text);

// The value of a parameter of a header such as Content-Type or Content-Disposition
// ("boundary", "name"), unquoted; nothing when it is not there.
std::optional<std::string> HeaderParameter(std::string_view header, std::string_view name);

}  // namespace nbx::dev
