#include "cli/verb_support.h"

#include <ostream>

#include "base/control_text.h"
#include "remotefs/nbx_file.h"
#include "remotefs/result_message.h"

namespace nbx::cli {

bool Verb::LoadNodes() {
    if (!nodes_.LoadListFromDB()) {
        Fail("the node database cannot be read");
        return false;
    }
    loaded_ = true;
    return true;
}

std::optional<RemotePath> Verb::Remote(const std::string& text) {
    if (!loaded_ && !LoadNodes()) {
        return std::nullopt;
    }
    std::string error;
    auto remote = ParseRemotePath(text, nodes_, error);
    if (!remote) {
        Fail(error);
        return remote;
    }
    // Said here, before anything is sent: the services refuse such a path too, but only with
    // the system's general message.
    if (const std::string problem = RemotePathProblem(remote->path); !problem.empty()) {
        Fail("\"" + text + "\" cannot be addressed: " + problem);
        return std::nullopt;
    }
    return remote;
}

int Verb::Usage(const std::string& message) {
    io_.err << "nimbex " << name_ << ": " << ShowControlCharacters(message) << " (see nimbex "
            << name_ << " --help)\n";
    return kUsage;
}

int Verb::Fail(const std::string& message) {
    io_.err << "nimbex " << name_ << ": " << ShowControlCharacters(message) << '\n';
    return kFailed;
}

int Verb::FailResult(int result) {
    return Fail(ResultMessage(result));
}

}  // namespace nbx::cli
