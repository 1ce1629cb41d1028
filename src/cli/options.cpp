#include "cli/options.h"

#include <cerrno>
#include <cstdlib>

namespace nbx::cli {

bool Options::Parse(const std::vector<std::string>& args, const std::set<std::string>& valued,
                    const std::set<std::string>& flags, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            positional_.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(2);
        if (flags.count(name) != 0) {
            flags_.insert(name);
        } else if (valued.count(name) != 0) {
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
                return false;
            }
            values_[name] = args[++i];
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

std::optional<std::string> Options::Value(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::optional<int> ParseInt(const std::string& text, int min, int max) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max) {
        return std::nullopt;
    }
    return static_cast<int>(v);
}

}  // namespace nbx::cli
