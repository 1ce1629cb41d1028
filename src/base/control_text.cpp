#include "base/control_text.h"

#include <cstdio>

std::string ShowControlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto ch = static_cast<unsigned char>(text[i]);
        char escape[8];
        if (ch == '\n') {
            out += "\\n";
        } else if (ch == '\r') {
            out += "\\r";
        } else if (ch == '\t') {
            out += "\\t";
        } else if (ch < 0x20 || ch == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", ch);
            out += escape;
        } else if (ch == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F: a terminal takes U+009B as the start of an escape sequence.
            std::snprintf(escape, sizeof escape, "\\u%04x",
                          static_cast<unsigned char>(text[i + 1]));
            out += escape;
            ++i;
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out;
}
