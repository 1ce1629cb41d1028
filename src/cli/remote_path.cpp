#include "cli/remote_path.h"

namespace nbx::cli {

bool LooksRemote(const std::string& text) {
    const auto colon = text.find(':');
    return colon != std::string::npos && colon > 0 &&
           (colon + 1 == text.size() || text[colon + 1] == '/');
}

std::optional<RemotePath> ParseRemotePath(const std::string& text, const CNbxNodeList& nodes,
                                          std::string& error) {
    std::optional<RemotePath> best;
    for (std::size_t colon = text.find(':'); colon != std::string::npos;
         colon = text.find(':', colon + 1)) {
        const bool rootOnly = colon + 1 == text.size();
        if (colon == 0 || (!rootOnly && text[colon + 1] != '/')) {
            continue;
        }
        const std::string title = text.substr(0, colon);
        if (CNbxNode* node = nodes.lookup(title)) {
            best = RemotePath{node, title, rootOnly ? "/" : text.substr(colon + 1)};
        }
    }
    if (!best) {
        const auto colon = text.find(':');
        error = colon == std::string::npos ? "\"" + text + "\" is not TITLE:/path"
                                           : "no node is titled \"" + text.substr(0, colon) + "\"";
    }
    return best;
}

std::string BaseName(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    const auto slash = trimmed.find_last_of('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

}  // namespace nbx::cli
