#pragma once

#include <map>
#include <optional>
#include <string>

namespace nbx {

// An INI file as the program's profiles use it: "[Section]" lines, "Key=Value" lines, and
// comments on lines of their own or after a value (from a ";" or "#" that follows a blank).
// Section and key names compare without regard to case; a key that is absent reads as empty.
class IniFile {
public:
    // False when the file cannot be read; the contents stay empty then.
    bool Load(const std::string& path);
    void Parse(const std::string& text);

    std::string Get(const std::string& section, const std::string& key) const;
    std::optional<std::string> Find(const std::string& section, const std::string& key) const;

private:
    static std::string Fold(const std::string& name);
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

}  // namespace nbx
