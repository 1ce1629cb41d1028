#include <ostream>

#include "cli/verb_support.h"
#include "nodes/nbx_node.h"
#include "remotefs/fs_service.h"
#include "remotefs/ft_service.h"

namespace nbx::cli {

namespace {

bool IsFolderPath(const std::string& path) {
    return !path.empty() && path.back() == '/';
}

// Whether a path the user wrote without a trailing "/" names a folder: servers want folders
// addressed as such for a deep delete, copy or move.
std::string AsTyped(CNbxFileSystemService& fs, const CNbxNode& node, const std::string& path) {
    if (IsFolderPath(path) || path.empty()) {
        return path;
    }
    if (fs._LIST(node, path) == 200) {
        const CNbxFile* self = fs.GetFirst();
        if (self != nullptr && self->isFolder) {
            return path + "/";
        }
    }
    return path;
}

int RunOneRemote(const char* name, const std::vector<std::string>& args, Io& io,
                 int (*act)(CNbxFileSystemService&, RemotePath&)) {
    Verb verb(name, io);
    if (args.size() != 1) {
        return verb.Usage("give one TITLE:/path");
    }
    if (!verb.LoadNodes()) {
        return kFailed;
    }
    auto remote = verb.Remote(args[0]);
    if (!remote) {
        return kFailed;
    }
    CNbxFileSystemService fs;
    const int result = act(fs, *remote);
    return result == 200 ? kOk : verb.FailResult(result);
}

int RunTwoRemote(const char* name, const std::vector<std::string>& args, Io& io, bool move) {
    Verb verb(name, io);
    if (args.size() != 2) {
        return verb.Usage("give TITLE:/source and TITLE:/destination");
    }
    if (!verb.LoadNodes()) {
        return kFailed;
    }
    auto source = verb.Remote(args[0]);
    auto destination = source ? verb.Remote(args[1]) : std::nullopt;
    if (!source || !destination) {
        return kFailed;
    }
    if (source->node != destination->node) {
        return verb.Fail("both paths must be on the same node");
    }
    CNbxFileSystemService fs;
    const std::string from = AsTyped(fs, *source->node, source->path);
    std::string to = destination->path;
    if (IsFolderPath(to)) {
        to += BaseName(from) + (IsFolderPath(from) ? "/" : "");
    } else if (IsFolderPath(from)) {
        to += "/";
    }
    const int result = move ? fs._MOVE(*source->node, from, to) : fs._COPY(*source->node, from, to);
    return result == 200 ? kOk : verb.FailResult(result);
}

}  // namespace

int RunMkdir(const std::vector<std::string>& args, Io& io) {
    return RunOneRemote("mkdir", args, io, [](CNbxFileSystemService& fs, RemotePath& r) {
        return fs._CREATE(*r.node, IsFolderPath(r.path) ? r.path : r.path + "/");
    });
}

int RunRm(const std::vector<std::string>& args, Io& io) {
    return RunOneRemote("rm", args, io, [](CNbxFileSystemService& fs, RemotePath& r) {
        if (r.path == "/") {
            return 403;  // never the whole node
        }
        return fs._DELETE(*r.node, AsTyped(fs, *r.node, r.path));
    });
}

int RunCp(const std::vector<std::string>& args, Io& io) {
    return RunTwoRemote("cp", args, io, false);
}

int RunMv(const std::vector<std::string>& args, Io& io) {
    return RunTwoRemote("mv", args, io, true);
}

int RunExists(const std::vector<std::string>& args, Io& io) {
    Verb verb("exists", io);
    if (args.size() != 1) {
        return verb.Usage("give one TITLE:/path");
    }
    if (!verb.LoadNodes()) {
        return kFailed;
    }
    auto remote = verb.Remote(args[0]);
    if (!remote) {
        return kFailed;
    }
    CNbxFileTransferService ft;
    return ft._EXIST(*remote->node, remote->path) == 200 ? kOk : kFailed;
}

int RunProbe(const std::vector<std::string>& args, Io& io) {
    Verb verb("probe", io);
    if (args.size() != 1) {
        return verb.Usage("give one node title");
    }
    if (!verb.LoadNodes()) {
        return kFailed;
    }
    CNbxNode* node = verb.Nodes().lookup(args[0]);
    if (node == nullptr) {
        return verb.Fail("no node is titled \"" + args[0] + "\"");
    }
    CNbxFileTransferService ft;
    const int status = ft._CHECK_ONLINE(*node);
    if (status == 200) {
        io.out << NodeStateName(NodeState::Online) << '\n';
        return kOk;
    }
    io.out << NodeStateName(NodeState::Offline) << " (" << status << ")\n";
    return kFailed;
}

}  // namespace nbx::cli
