// The INI reader on profiles written from the fuzzer's data: whatever blanks, line ends, letter
// case, comments and junk lines surround them, every key reads back as the last value written
// for it. Any text at all is read without failing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "check.h"
#include "platform/ini.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return s;
}

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trimmed(std::string s) {
    while (!s.empty() && Blank(s.back())) {
        s.pop_back();
    }
    while (!s.empty() && Blank(s.front())) {
        s.erase(0, 1);
    }
    return s;
}

// Text that a profile can hold as a name or value: one line, no blanks around it, nothing that
// would start a comment after a blank.
std::string Field(FuzzedDataProvider& in, const std::string& forbidden) {
    std::string s = in.ConsumeRandomLengthString(12);
    std::string out;
    for (const char c : s) {
        if (c != '\n' && c != '\r' && forbidden.find(c) == std::string::npos) {
            out += c;
        }
    }
    while (!out.empty() && Blank(out.front())) {
        out.erase(0, 1);
    }
    while (!out.empty() && Blank(out.back())) {
        out.pop_back();
    }
    for (std::size_t i = 1; i < out.size(); ++i) {
        if ((out[i] == ';' || out[i] == '#') && (out[i - 1] == ' ' || out[i - 1] == '\t')) {
            out.resize(i - 1);
            while (!out.empty() && Blank(out.back())) {
                out.pop_back();
            }
            break;
        }
    }
    return out;
}

std::string Blanks(FuzzedDataProvider& in) {
    static constexpr const char* kChoices[] = {"", " ", "\t", "  \t "};
    return kChoices[in.ConsumeIntegralInRange<int>(0, 3)];
}

std::string Cased(FuzzedDataProvider& in, const std::string& s) {
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            return Lower(s);
        case 1:
            return Upper(s);
        default:
            return s;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A first byte of 0 asks for a profile written from the rest; anything else reads the rest
    // as a profile.
    if (size > 0 && data[0] != 0) {
        // Any text: read without failing, values on one line and trimmed, and the same profile
        // with CR LF line ends reads the same.
        const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
        std::string crlf;
        std::set<std::string> names = {""};
        std::string line;
        for (const char c : text) {
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
            if (c != '\n') {
                line += c;
                continue;
            }
            // Every name that could be a section or a key, to look up in both.
            const auto open = line.find('['), close = line.find(']'), eq = line.find('=');
            if (open != std::string::npos) {
                names.insert(Trimmed(
                    line.substr(open + 1, close == std::string::npos ? close : close - open - 1)));
            }
            names.insert(Trimmed(line.substr(0, eq)));
            line.clear();
        }
        nbx::IniFile lf, crlfIni;
        lf.Parse(text);
        crlfIni.Parse(crlf);
        std::size_t probes = 0;
        for (const std::string& section : names) {
            for (const std::string& key : names) {
                if (++probes > 400) {
                    break;
                }
                const auto value = lf.Find(section, key);
                FUZZ_CHECK(value == crlfIni.Find(section, key));
                if (value) {
                    FUZZ_CHECK(value->find('\n') == std::string::npos);
                    FUZZ_CHECK(value->empty() || (!Blank(value->front()) && !Blank(value->back())));
                }
            }
        }
        return 0;
    }
    FuzzedDataProvider in(data + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);

    std::string text;
    std::map<std::pair<std::string, std::string>, std::string> expected;
    std::string section;  // lines before the first section header belong to ""
    while (in.remaining_bytes() > 0) {
        const std::string eol = in.ConsumeBool() ? "\n" : "\r\n";
        switch (in.ConsumeIntegralInRange<int>(0, 4)) {
            case 0: {
                section = Field(in, "]");
                text += Blanks(in) + "[" + Blanks(in) + Cased(in, section) + Blanks(in) + "]" +
                        Blanks(in) + eol;
                break;
            }
            case 1:
            case 2: {
                const std::string key = Field(in, "=");
                if (key.empty() || key[0] == '[' || key[0] == ';' || key[0] == '#') {
                    break;
                }
                const std::string value = Field(in, "");
                if (!value.empty() && (value[0] == ';' || value[0] == '#')) {
                    break;  // after "= " that is a comment, and the value is empty
                }
                text += Blanks(in) + Cased(in, key) + Blanks(in) + "=" + Blanks(in) + value;
                if (in.ConsumeBool()) {
                    text += " ;" + Field(in, "");
                }
                text += Blanks(in) + eol;
                expected[{Lower(section), Lower(key)}] = value;
                break;
            }
            case 3:
                text += Blanks(in) + (in.ConsumeBool() ? ";" : "#") + Field(in, "") + eol;
                break;
            default:
                text += Blanks(in) + eol;
                break;
        }
    }

    nbx::IniFile ini;
    ini.Parse(text);
    for (const auto& [where, value] : expected) {
        const auto found = ini.Find(Upper(where.first), where.second);
        FUZZ_CHECK(found.has_value());
        FUZZ_CHECK(*found == value);
        FUZZ_CHECK(ini.Get(where.first, Upper(where.second)) == value);
    }
    return 0;
}
