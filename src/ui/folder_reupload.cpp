// A local copy of a remote file that was closed changed: the user is asked whether to upload
// it again, at once when the window is in front and no batch runs, else once that is so.
#include "ui/folder_reupload.h"

#include "base/session_log.h"
#include "base/strings.h"
#include "comn/actions.h"
#include "monitor/file_monitor.h"
#include "platform/clock.h"
#include "ui/dlg_progress.h"
#include "ui/explorer_frame.h"
#include "ui/explorer_host.h"
#include "ui/folder_mode.h"
#include "widgets/message_box.h"
#include "widgets/ui_events.h"

using nbx::strings::LoadString;
using namespace nbx::ui;

namespace {

constexpr int kReuploadRetryMs = 1000;

// The text of string `id` with its one "%s" replaced; a translation cannot make it read more.
std::string FormatOne(int id, const std::string& value) {
    std::string text = LoadString(id);
    if (const std::size_t at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

}  // namespace

CReupload::CReupload(CFolderMode& mode) : mode_(mode) {}

void CReupload::OnClosedModified(const std::shared_ptr<CNbxFileMonitor>& monitor) {
    CTerraPaneView& view = mode_.View();
    if (!view.IsBusy() && CTerraPaneView::isFrameInFront &&
        CTerraPaneView::isFrameInFront(view.Frame().HostFrame())) {
        Ask(monitor);
        return;
    }
    // Asked later, when no batch runs and the window is in front.
    const int timer =
        view.startTimer(nbx::clock::WaitMs(std::chrono::milliseconds(kReuploadRetryMs)));
    if (timer == 0) {
        Ask(monitor);
    } else {
        timers_[timer] = monitor;
    }
}

void CReupload::OnTimer(int timerId) {
    const auto found = timers_.find(timerId);
    if (found == timers_.end()) {
        return;
    }
    mode_.View().killTimer(timerId);
    std::shared_ptr<CNbxFileMonitor> monitor = std::move(found->second);
    timers_.erase(found);
    QObject* target = &mode_.View();
    if (IExplorerHost* app = ExplorerHost()) {
        if (IExplorerFrame* main = ExplorerFrameOf(app->MainWindow());
            main != nullptr && main->View() != nullptr) {
            target = main->View();
        }
    }
    PostMessage(target, WM_FILE_MONITOR_CLOSED_MODIFIED, monitor);
}

void CReupload::Ask(const std::shared_ptr<CNbxFileMonitor>& monitor) {
    const std::string& remotePath = monitor->GetRemotePath();
    if (ShowMessageText(&mode_.View(), nbx::strings::kUploadModifiedQuestion,
                        FormatOne(nbx::strings::kUploadModifiedQuestion, remotePath),
                        MsgIcon::kQuestion, MsgButtons::kYesNo) == kIdYes) {
        IExplorerFrame& frame = mode_.View().Frame();
        mode_.BeginActions(false);
        frame.SetProgressTitle(nbx::strings::kCaptionUploading);
        frame.SetProgressPreparing();
        if (CDlgProgress* progress = frame.Progress()) {
            progress->ShowProgress();
        }
        mode_.RegisterAction(
            std::make_unique<CNbxComnActionUpload>(&monitor->GetNode(), remotePath,
                                                   monitor->GetLocalPath(), remotePath),
            "CTerraPaneView::OnFileMonitorClosedModified", "CNbxComnActionUpload");
        mode_.EndActions("CTerraPaneView::OnFileMonitorClosedModified");
    }
    monitor->MarkHandled();
}
