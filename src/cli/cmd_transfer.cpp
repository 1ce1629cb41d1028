#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <ostream>
#include <random>

#include "cli/progress.h"
#include "cli/verb_support.h"
#include "remotefs/ft_service.h"
#include "remotefs/nbx_file.h"

namespace nbx::cli {

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A new file beside `local`, of a name no one could plant a link at beforehand; "" when none
// can be made. Created exclusively, so never through a link, with the mode the umask gives.
std::string MakePartFile(const std::string& local) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".nimbex-part-%08x", random());
        const std::string name = local + suffix;
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

}  // namespace

int RunGet(const std::vector<std::string>& args, Io& io) {
    Verb verb("get", io);
    if (args.size() != 2) {
        return verb.Usage("give TITLE:/file and a local path");
    }
    auto remote = verb.Remote(args[0]);
    if (!remote) {
        return kFailed;
    }
    if (remote->path.back() == '/') {
        return verb.Usage("give a file, not a folder");
    }
    std::string local = args[1];
    if (IsDirectory(local)) {
        local += "/" + BaseName(remote->path);
    }
    TerminalProgress progress(io.err, io.errIsTerminal);
    progress.SetFileName(BaseName(remote->path));
    CNbxFileTransferService ft;
    ft.SetProgressDlg(&progress);
    // Into a file beside the target, which replaces it only once the download is whole: a
    // failed download must not cost the user the file that was there.
    const std::string part = MakePartFile(local);
    if (part.empty()) {
        return verb.Fail("the local file \"" + local + "\" could not be written");
    }
    int result = ft._DOWNLOAD(*remote->node, remote->path, part);
    progress.Finish();
    if (result == 200 && std::rename(part.c_str(), local.c_str()) != 0) {
        result = -1;
    }
    if (result != 200) {
        std::remove(part.c_str());
    }
    if (result == -1) {
        return verb.Fail("the local file \"" + local + "\" could not be written");
    }
    if (result == 400 && remote->node->device_type != 9) {
        // The download says only that it was refused; the server's status says why.
        CNbxFileTransferService probe;
        const int status =
            probe.CNbxFtWebDav::_DOWNLOAD(ComposeNodeUrl(*remote->node, remote->path), "",
                                          remote->node->login, remote->node->password, true);
        return verb.FailResult(status == 200 ? result : status);
    }
    return result == 200 ? kOk : verb.FailResult(result);
}

int RunPut(const std::vector<std::string>& args, Io& io) {
    Verb verb("put", io);
    if (args.size() != 2) {
        return verb.Usage("give a local file and TITLE:/path");
    }
    auto remote = verb.Remote(args[1]);
    if (!remote) {
        return kFailed;
    }
    const std::string& local = args[0];
    if (IsDirectory(local)) {
        return verb.Usage("give a file, not a folder");
    }
    std::string path = remote->path;
    if (path.back() == '/') {
        path += BaseName(local);
    }
    TerminalProgress progress(io.err, io.errIsTerminal);
    progress.SetFileName(BaseName(local));
    CNbxFileTransferService ft;
    ft.SetProgressDlg(&progress);
    const int result = ft._UPLOAD(*remote->node, local, path);
    progress.Finish();
    if (result == -1) {
        return verb.Fail("the local file \"" + local + "\" could not be read");
    }
    return result == 200 ? kOk : verb.FailResult(result);
}

}  // namespace nbx::cli
