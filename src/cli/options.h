#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace nbx::cli {

// "--name value" options and "--flag" switches after the verb, with the positional arguments
// in order. Unknown options, and options without their value, are errors.
class Options {
public:
    // `valued` options take a value, `flags` do not. False with a message in `error` on bad input.
    bool Parse(const std::vector<std::string>& args, const std::set<std::string>& valued,
               const std::set<std::string>& flags, std::string& error);

    std::optional<std::string> Value(const std::string& name) const;
    bool Flag(const std::string& name) const { return flags_.count(name) != 0; }
    const std::vector<std::string>& Positional() const { return positional_; }

private:
    std::map<std::string, std::string> values_;
    std::set<std::string> flags_;
    std::vector<std::string> positional_;
};

// A whole decimal integer within [min, max]; nullopt otherwise.
std::optional<int> ParseInt(const std::string& text, int min, int max);

}  // namespace nbx::cli
