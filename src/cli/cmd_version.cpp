#include <ostream>

#include "base/version.h"
#include "cli/command.h"

namespace nbx::cli {

int RunVersion(const std::vector<std::string>& args, Io& io) {
    if (!args.empty()) {
        io.err << "nimbex version: takes no arguments\n";
        return kUsage;
    }
    std::string name;
    std::string version;
    Version::GetProductName(name);
    Version::GetProductVersion(version);
    io.out << name << ' ' << version << '\n';
    return kOk;
}

}  // namespace nbx::cli
