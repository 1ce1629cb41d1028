// The program's percent-encodings against their documented rules. The stored one: escaping keeps
// exactly the listed characters, unescaping reads any text without failing and gives valid
// UTF-8, and text that is valid UTF-8 without bytes below 10 comes back unchanged from a round
// trip. The one of the wire: only unreserved characters and "/" stay, and every byte string
// comes back from decoding exactly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text_helpers.h"
#include "check.h"
#include "platform/utf.h"

namespace {

// Written from the rules in text_helpers.h, not from the code.
bool KeptByEscape(unsigned char b) {
    const bool digit = b >= '0' && b <= '9';
    const bool letter = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
    const bool colonToZ = b >= ':' && b <= 'z' && b != '=';
    return digit || letter || colonToZ || b == '.' || b == '/';
}

std::string ModelEscape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (KeptByEscape(b)) {
            out += c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += {'%', kHex[b >> 4], kHex[b & 15]};
        }
    }
    return out;
}

int ModelHex(std::string_view character) {
    if (character.size() != 1) {
        return 0;
    }
    const char c = character[0];
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 0;
}

std::string ModelUnescape(std::string_view text) {
    std::string bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '%') {
            // The two characters after it, each a whole UTF-8 character or one stray byte.
            const std::size_t a = i + 1;
            const std::size_t b = a < text.size() ? a + nbx::utf::CharLength(text, a) : a;
            if (a < text.size() && b < text.size()) {
                const std::size_t end = b + nbx::utf::CharLength(text, b);
                const int value =
                    ModelHex(text.substr(a, b - a)) * 16 + ModelHex(text.substr(b, end - b));
                if (value >= 10) {
                    bytes += static_cast<char>(value);
                }
                i = end;
                continue;
            }
            bytes += '%';
            ++i;
        } else {
            bytes += text[i] == '+' ? ' ' : text[i];
            ++i;
        }
    }
    return nbx::utf::Sanitize(bytes);
}

bool RoundTrips(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 10) {
            return false;
        }
    }
    return nbx::utf::Sanitize(text) == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string escaped = EscapeUrlText(text);
    FUZZ_CHECK(escaped == ModelEscape(text));

    const std::string unescaped = UnescapeUrlText(text);
    FUZZ_CHECK(nbx::utf::Sanitize(unescaped) == unescaped);
    FUZZ_CHECK(unescaped == ModelUnescape(text));

    if (RoundTrips(text)) {
        FUZZ_CHECK(UnescapeUrlText(escaped) == text);
    }

    const std::string onWire = EscapeUrlPath(text);
    for (std::size_t i = 0; i < onWire.size(); ++i) {
        const char c = onWire[i];
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~' || c == '/';
        if (c == '%') {
            FUZZ_CHECK(i + 2 < onWire.size());
            for (const char h : onWire.substr(i + 1, 2)) {
                FUZZ_CHECK((h >= '0' && h <= '9') || (h >= 'A' && h <= 'F'));
            }
            i += 2;
        } else {
            FUZZ_CHECK(unreserved);
        }
    }
    FUZZ_CHECK(DecodeUrlPath(onWire) == text);
    // Decoding never drops a byte it does not decode.
    FUZZ_CHECK(DecodeUrlPath(text).size() + 2 * std::count(text.begin(), text.end(), '%') >=
               text.size());
    return 0;
}
