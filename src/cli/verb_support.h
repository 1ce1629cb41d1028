#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/remote_path.h"
#include "nodes/node_list.h"

namespace nbx::cli {

// The node list and the remote paths a verb works on, with its failures said the same way.
class Verb {
public:
    Verb(const char* name, Io& io) : name_(name), io_(io) {}

    // Loads the node list; false (after saying so) when the database cannot be read.
    bool LoadNodes();
    // A TITLE:/path argument, the node list loaded first when it is not yet; nullopt (after
    // saying why) when it names no node or the database cannot be read.
    std::optional<RemotePath> Remote(const std::string& text);

    int Usage(const std::string& message);  // exit status 2
    int Fail(const std::string& message);   // exit status 1
    int FailResult(int result);             // the system's message for a result
    const CNbxNodeList& Nodes() const { return nodes_; }

private:
    const char* name_;
    Io& io_;
    CNbxNodeList nodes_;
    bool loaded_ = false;
};

}  // namespace nbx::cli
