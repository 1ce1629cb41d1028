#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text inside the program is UTF-8 in std::string. UTF-16 appears only where a peer or a stored
// layout demands it (shared-memory blocks) and in the "at most N units" limits on user text.
// Malformed input never fails a conversion: each bad sequence becomes U+FFFD.
namespace nbx::utf {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// The UTF-8 text with every malformed sequence replaced by U+FFFD; well-formed text is unchanged.
std::string Sanitize(std::string_view utf8);

// How many UTF-16 code units the text takes (a character beyond U+FFFF takes two).
std::size_t Utf16Length(std::string_view utf8);

// Terminal columns the text takes: two for East Asian wide and full-width characters.
std::size_t DisplayWidth(std::string_view utf8);

// Length in bytes of the UTF-8 character starting at `pos` (1 for a malformed byte).
std::size_t CharLength(std::string_view utf8, std::size_t pos);

}  // namespace nbx::utf
