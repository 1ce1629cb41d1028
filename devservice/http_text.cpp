#include "http_text.h"

#include <cstdio>

namespace nbx::dev {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out += char(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<QueryArgs> ParseQuery(std::string_view target) {
    QueryArgs args;
    const size_t mark = target.find('?');
    if (mark == std::string_view::npos) {
        return args;
    }
    std::string_view query = target.substr(mark + 1);
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) {
            continue;
        }
        const size_t eq = pair.find('=');
        auto name = PercentDecode(pair.substr(0, eq));
        auto value = PercentDecode(eq == std::string_view::npos ? "" : pair.substr(eq + 1));
        if (!name || !value) {
            return std::nullopt;
        }
        args.emplace_back(std::move(*name), std::move(*value));
    }
    return args;
}

std::optional<std::string> QueryValue(const QueryArgs& args, std::string_view name) {
    for (const auto& [key, value] : args) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::optional<std::string> Base64Decode(std::string_view text) {
    std::string out;
    unsigned bits = 0;
    int count = 0;
    size_t padding = 0;
    for (const char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+') {
            value = 62;
        } else if (c == '/') {
            value = 63;
        } else if (c == '=') {
            ++padding;
            continue;
        } else {
            return std::nullopt;
        }
        if (padding > 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | unsigned(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += char((bits >> count) & 0xFF);
        }
    }
    if (padding > 2) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> HeaderParameter(std::string_view header, std::string_view name) {
    // Parameters come after the first ";"; a quoted value may hold ";" itself.
    size_t at = header.find(';');
    while (at != std::string_view::npos) {
        at = header.find_first_not_of(" \t", at + 1);
        if (at == std::string_view::npos) {
            break;
        }
        const size_t eq = header.find('=', at);
        if (eq == std::string_view::npos) {
            break;
        }
        std::string_view key = header.substr(at, eq - at);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) {
            key.remove_suffix(1);
        }
        std::string value;
        size_t end;
        if (eq + 1 < header.size() && header[eq + 1] == '"') {
            end = header.find('"', eq + 2);
            if (end == std::string_view::npos) {
                return std::nullopt;
            }
            value = std::string(header.substr(eq + 2, end - eq - 2));
            end = header.find(';', end);
        } else {
            end = header.find(';', eq + 1);
            std::string_view raw = header.substr(
                eq + 1, end == std::string_view::npos ? std::string_view::npos : end - eq - 1);
            while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t')) {
                raw.remove_suffix(1);
            }
            value = std::string(raw);
        }
        if (EqualsIgnoringCase(key, name)) {
            return value;
        }
        at = end;
    }
    return std::nullopt;
}

}  // namespace nbx::dev
