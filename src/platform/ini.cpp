#include "platform/ini.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace nbx {

namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::string StripComment(const std::string& value) {
    for (std::size_t i = 1; i < value.size(); ++i) {
        if ((value[i] == ';' || value[i] == '#') && (value[i - 1] == ' ' || value[i - 1] == '\t')) {
            return value.substr(0, i);
        }
    }
    return value;
}

}  // namespace

std::string IniFile::Fold(const std::string& name) {
    std::string out = name;
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool IniFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    Parse(text.str());
    return true;
}

void IniFile::Parse(const std::string& text) {
    sections_.clear();
    std::string section;
    std::istringstream lines(text);
    std::string raw;
    while (std::getline(lines, raw)) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line.front() == '[') {
            const auto close = line.find(']');
            section = Fold(
                Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = Fold(Trim(line.substr(0, eq)));
        sections_[section].insert_or_assign(key, Trim(StripComment(line.substr(eq + 1))));
    }
}

std::optional<std::string> IniFile::Find(const std::string& section, const std::string& key) const {
    const auto s = sections_.find(Fold(section));
    if (s == sections_.end()) {
        return std::nullopt;
    }
    const auto k = s->second.find(Fold(key));
    return k == s->second.end() ? std::nullopt : std::optional<std::string>(k->second);
}

std::string IniFile::Get(const std::string& section, const std::string& key) const {
    return Find(section, key).value_or("");
}

}  // namespace nbx
