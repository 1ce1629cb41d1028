#pragma once

#include <optional>
#include <string>

#include "nodes/node_list.h"

namespace nbx::cli {

// "TITLE:/path" as typed into the address bar: the node with that title and a path in it.
// A title may itself hold ":/"; the longest known title that fits wins. "TITLE:" is the root.
struct RemotePath {
    CNbxNode* node = nullptr;  // owned by the list it was found in
    std::string title;
    std::string path;
};

bool LooksRemote(const std::string& text);  // has the "TITLE:/" shape
std::optional<RemotePath> ParseRemotePath(const std::string& text, const CNbxNodeList& nodes,
                                          std::string& error);

// The last component of a path, without a trailing "/".
std::string BaseName(const std::string& path);

}  // namespace nbx::cli
