#include <atomic>
#include <ostream>

#include "cli/progress.h"
#include "cli/verb_support.h"
#include "comn/actions.h"
#include "comn/comn_manager.h"
#include "nodes/nbx_node.h"
#include "remotefs/fs_service.h"
#include "remotefs/ft_service.h"
#include "remotefs/result_message.h"

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
    auto remote = verb.Remote(args[0]);
    if (!remote) {
        return kFailed;
    }
    CNbxFileSystemService fs;
    const int result = act(fs, *remote);
    return result == 200 ? kOk : verb.FailResult(result);
}

// Tells the waiting verb how the one action of its batch ended.
class Outcome : public IComnManagerComnActionCallback, public IComnManagerAsyncOperationCallback {
public:
    void OnComnActionSuccess() override { result = ActionResult::Success; }
    void OnComnActionAborted() override { result = ActionResult::Aborted; }
    void OnComnActionError() override { result = ActionResult::Error; }
    void OnAsyncOperationStart() override {}
    void OnAsyncOperationFinish(int, int) override { finished.Set(); }

    std::atomic<int> result{ActionResult::Error};
    nbx::Event finished{nbx::Event::Reset::Manual};
};

// A file streamed from one node to the other by the queue that the window uses too.
int BetweenNodes(Verb& verb, Io& io, CNbxFileSystemService& fs, RemotePath& source,
                 RemotePath& destination, bool move) {
    if (IsFolderPath(AsTyped(fs, *source.node, source.path))) {
        return verb.Fail("folders are copied between nodes file by file; give a file");
    }
    std::string to = destination.path;
    if (IsFolderPath(to)) {
        to += BaseName(source.path);
    }
    TerminalProgress progress(io.err, io.errIsTerminal);
    auto outcome = std::make_shared<Outcome>();
    CNbxComnManager manager;
    manager.SetFileSystemService(&fs);
    manager.SetProgressDlg(&progress);
    manager.SetComnActionCallback(outcome);
    manager.SetAsyncOperationCallback(outcome);
    if (!manager.Start()) {
        return verb.Fail("the transfer could not be started");
    }
    const std::string name = BaseName(source.path);
    if (move) {
        manager.RegisterAction(std::make_unique<CNbxComnActionMoveNodeToNode>(
            destination.node, to, source.node, source.path, name));
    } else {
        manager.RegisterAction(std::make_unique<CNbxComnActionCopyNodeToNode>(
            destination.node, to, source.node, source.path, name));
    }
    outcome->finished.Wait();
    manager.Stop();
    progress.Finish();
    if (outcome->result == ActionResult::Success) {
        return kOk;
    }
    return verb.Fail(outcome->result == ActionResult::Aborted
                         ? std::string("the transfer was aborted")
                         : "the transfer failed: " + ResultMessage(-2) + " (see the session log)");
}

int RunTwoRemote(const char* name, const std::vector<std::string>& args, Io& io, bool move) {
    Verb verb(name, io);
    if (args.size() != 2) {
        return verb.Usage("give TITLE:/source and TITLE:/destination");
    }
    auto source = verb.Remote(args[0]);
    auto destination = source ? verb.Remote(args[1]) : std::nullopt;
    if (!source || !destination) {
        return kFailed;
    }
    CNbxFileSystemService fs;
    if (source->node != destination->node) {
        return BetweenNodes(verb, io, fs, *source, *destination, move);
    }
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
