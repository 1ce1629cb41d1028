#include "base/text_helpers.h"

#include <algorithm>

#include "platform/url.h"
#include "platform/utf.h"

namespace {

// The stored rule's reading: any other character counts as 0.
int HexValue(char c) {
    return std::max(nbx::url::HexDigit(c), 0);
}

// Every byte that `keep` does not accept becomes %XX, with upper-case hex digits.
template <typename Keep>
std::string PercentEncode(std::string_view text, Keep keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (keep(b)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

}  // namespace

std::string EscapeUrlText(std::string_view text) {
    return PercentEncode(text, [](unsigned char b) {
        return b == '.' || b == '/' || (b >= 0x30 && b <= 0x7A && b != 0x3D);
    });
}

std::string UnescapeUrlText(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const char ch = text[i];
        if (ch == '%') {
            // Two characters, not two bytes: a non-ASCII character after "%" is one of them.
            const std::size_t firstLen =
                i + 1 < text.size() ? nbx::utf::CharLength(text, i + 1) : 0;
            const std::size_t second = i + 1 + firstLen;
            if (firstLen == 0 || second >= text.size()) {
                bytes += ch;  // an incomplete escape stays as it was
                ++i;
                continue;
            }
            const std::size_t secondLen = nbx::utf::CharLength(text, second);
            const int value = HexValue(firstLen == 1 ? text[i + 1] : '\0') * 16 +
                              HexValue(secondLen == 1 ? text[second] : '\0');
            if (value >= 10) {
                bytes += static_cast<char>(value);
            }
            i = second + secondLen;
        } else if (ch == '+') {
            bytes += ' ';
            ++i;
        } else {
            bytes += ch;
            ++i;
        }
    }
    return nbx::utf::Sanitize(bytes);
}

std::string EscapeUrlPath(std::string_view path) {
    return PercentEncode(path, [](unsigned char b) {
        return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
               b == '-' || b == '.' || b == '_' || b == '~' || b == '/';
    });
}

std::string DecodeUrlPath(std::string_view text) {
    return nbx::url::PercentDecode(text);
}

std::string WideToUtf8(std::u16string_view text) {
    return nbx::utf::Utf16ToUtf8(text);
}

std::u16string Utf8ToWide(std::string_view text) {
    return nbx::utf::Utf8ToUtf16(text);
}
