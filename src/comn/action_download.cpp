#include "comn/action_download.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cinttypes>
#include <cstdint>

#include "base/session_log.h"
#include "monitor/file_monitor.h"
#include "monitor/file_monitor_manager.h"
#include "platform/format.h"
#include "platform/launch.h"
#include "platform/xdg.h"

using nbx::StrPrintf;

namespace {

// Sets or clears the owner's write permission, the read-only mark of a local copy. A missing
// file is no failure here: there is nothing to mark.
bool MarkReadOnly(const std::string& path, bool readOnly) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return true;
    }
    const mode_t mode =
        readOnly ? (st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (st.st_mode | S_IWUSR);
    return mode == st.st_mode || ::chmod(path.c_str(), mode) == 0;
}

}  // namespace

std::string LocalCopyPath(const std::string& nodeTitle, const std::string& remoteFolder,
                          const std::string& itemName) {
    if (itemName.empty() || itemName == "." || itemName == ".." ||
        itemName.find('/') != std::string::npos || itemName.find('\0') != std::string::npos) {
        return {};
    }
    const std::string folder = nbx::xdg::PrivateTempDir();
    if (folder.empty()) {
        return {};
    }
    // FNV-1a over the title and the folder, a NUL between them: neither can hold one.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    const std::string key = nodeTitle + '\0' + remoteFolder;
    for (const char ch : key) {
        hash = (hash ^ static_cast<unsigned char>(ch)) * 0x100000001b3ULL;
    }
    const std::string sub = folder + "/" + StrPrintf("%016" PRIx64, hash);
    if (::mkdir(sub.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat st {};
    if (::lstat(sub.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        return {};
    }
    return sub + "/" + itemName;
}

CNbxComnActionDownload::CNbxComnActionDownload(const CNbxNode* source, std::string remotePath,
                                               std::string localPath, std::string displayName)
    : CNbxComnTransferAction(nullptr, source, std::move(localPath), std::move(remotePath),
                             std::move(displayName)) {}

void CNbxComnActionDownload::SetOpenMode(int mode) {
    openMode = mode >= OpenMode::View && mode <= OpenMode::ViewMonitor ? mode : OpenMode::None;
}

int CNbxComnActionDownload::RunMainAction() {
    if (openMode == OpenMode::ViewMonitor && monitorManager != nullptr &&
        monitorManager->IsFileOpened(targetPath, sourcePath, sourceNode) != nullptr) {
        // The copy being edited stays as it is.
        WriteLog(LogLevel::Info,
                 "CNbxComnActionDownload::RunMainAction(): "
                 "CNbxFileMonitorManager::IsFileOpened returned TRUE!");
        return ActionResult::Success;
    }
    if (monitorManager != nullptr && monitorManager->HasUnsettledChanges(targetPath)) {
        // Downloading now would overwrite the changes before the user said what becomes of
        // them; the copy is opened with them instead.
        WriteLog(LogLevel::Warning,
                 StrPrintf("CNbxComnActionDownload::RunMainAction(): the local copy \"%s\" holds "
                           "changes that were neither uploaded nor declined; it is not downloaded "
                           "again",
                           targetPath.c_str()));
        return ActionResult::Success;
    }
    transfer->SetProgressDlg(progressDlg);
    return MapTransferResult(transfer->_DOWNLOAD(sourceNode, sourcePath, targetPath));
}

int CNbxComnActionDownload::RunViewAction() {
    if (!Utils::ShellExecuteCommand(targetPath)) {
        WriteLog(LogLevel::Error, StrPrintf("CNbxComnActionDownload::RunViewAction(): "
                                            "Utils::ShellExecuteCommand() failed with arg: \"%s\"",
                                            targetPath.c_str()));
        return ActionResult::Error;
    }
    return ActionResult::Success;
}

int CNbxComnActionDownload::RunViewReadonlyAction() {
    if (!MarkReadOnly(targetPath, true)) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CNbxComnActionDownload::RunViewReadonlyAction(): "
                           "CFile::GetStatus()/CFile::SetStatus() failed with arg: \"%s\"",
                           targetPath.c_str()));
        return ActionResult::Error;
    }
    if (!Utils::ShellExecuteCommand(targetPath)) {
        WriteLog(LogLevel::Error, StrPrintf("CNbxComnActionDownload::RunViewReadonlyAction(): "
                                            "Utils::ShellExecuteCommand() failed with arg: \"%s\"",
                                            targetPath.c_str()));
        return ActionResult::Error;
    }
    return ActionResult::Success;
}

int CNbxComnActionDownload::RunViewMonitorAction() {
    if (monitorManager != nullptr) {
        if (auto monitor = monitorManager->IsFileOpened(targetPath, sourcePath, sourceNode)) {
            WriteLog(LogLevel::Info,
                     "CNbxComnActionDownload::RunViewMonitorAction(): "
                     "CNbxFileMonitorManager::IsFileOpened returned TRUE!");
            monitor->ActivateApplication();
            return ActionResult::Success;
        }
    }
    if (!MarkReadOnly(targetPath, false)) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CNbxComnActionDownload::RunViewMonitorAction(): "
                           "CFile::GetStatus()/CFile::SetStatus() failed with arg: \"%s\"",
                           targetPath.c_str()));
        return ActionResult::Error;
    }
    Utils::LaunchedProcess process;
    if (!Utils::CreateProcessCommand(targetPath, &process)) {
        WriteLog(LogLevel::Error, StrPrintf("CNbxComnActionDownload::RunViewMonitorAction(): "
                                            "Utils::CreateProcessCommand() failed with arg: \"%s\"",
                                            targetPath.c_str()));
        return ActionResult::Error;
    }
    WriteLog(LogLevel::Info,
             "CNbxComnActionDownload::RunViewMonitorAction(): registered CNbxFileMonitor()");
    if (monitorManager != nullptr) {
        monitorManager->RegisterMonitor(std::make_unique<CNbxFileMonitor>(
            sourceNode, targetPath, sourcePath, std::move(process)));
    }
    return ActionResult::Success;
}
