#pragma once

// The question to upload a local copy again that was changed and closed, asked over the folder
// listing; while the window is behind another or a batch runs, it is asked again later.

#include <map>
#include <memory>

class CFolderMode;
class CNbxFileMonitor;

class CReupload {
public:
    explicit CReupload(CFolderMode& mode);
    CReupload(const CReupload&) = delete;
    CReupload& operator=(const CReupload&) = delete;

    void OnClosedModified(const std::shared_ptr<CNbxFileMonitor>& monitor);
    // The retries wait on timers of the view.
    bool OwnsTimer(int timerId) const { return timers_.count(timerId) != 0; }
    void OnTimer(int timerId);

private:
    void Ask(const std::shared_ptr<CNbxFileMonitor>& monitor);

    CFolderMode& mode_;
    std::map<int, std::shared_ptr<CNbxFileMonitor>> timers_;
};
