#pragma once

// The "Opened Files List" window and the exit confirmation: the watched files of the monitor
// manager, read under its lock. Both live on the user-interface thread.

#include <QMainWindow>
#include <memory>

#include "ui/dlg_modal.h"
#include "ui/list_view.h"

class CNbxFileMonitor;
class CNbxFileMonitorManager;

// The texts of one monitor's cells: file name, state, modified, device, node name, remote
// folder.
struct OpenedFileRow {
    QString fileName, state, modified, device, nodeName, remoteFolder;
};
OpenedFileRow DescribeMonitor(const CNbxFileMonitor& monitor);

class CFileMonitorView : public SListView {
    Q_OBJECT
public:
    CFileMonitorView(CNbxFileMonitorManager* manager, QWidget* parent);
    ~CFileMonitorView() override;
    void RefreshOpenedFiles();

protected:
    void OnRowDoubleClicked(int row, Qt::KeyboardModifiers modifiers) override;

private:
    CNbxFileMonitorManager* manager_;
    ImageList small_{QSize(16, 16)};
    ImageList large_{QSize(32, 32)};
};

// Hidden, never destroyed, by its close box; refreshes every second while shown.
class CFileMonitorFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kRefreshTimerId = 43981;
    static constexpr int kRefreshMs = 1000;
    CFileMonitorFrame(CNbxFileMonitorManager* manager, QWidget* parent = nullptr);
    CFileMonitorView* View() const { return view_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    CFileMonitorView* view_;
    int timer_ = 0;
};

// Asks whether to exit while files are still open: 1 Yes, 2 No or closed, or the code of a
// WM_END_MODAL.
class CDlgConfirmExit : public CDlgModalNativeDialog {
    Q_OBJECT
public:
    CDlgConfirmExit(CNbxFileMonitorManager* manager, QWidget* parent);
    SListView* List() const { return list_; }

private:
    SListView* list_;
    ImageList small_{QSize(16, 16)};
    ImageList large_{QSize(32, 32)};
    CNbxFileMonitorManager* manager_;
};
