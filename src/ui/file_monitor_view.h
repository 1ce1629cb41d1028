#pragma once

// The "Opened Files List" window and the exit confirmation: the watched files of the monitor
// manager, read under its lock. Both live on the user-interface thread and only read the list;
// a row keeps its monitor's id, never the monitor, so a row whose monitor the engine has
// removed since is harmless.

#include <QMainWindow>
#include <map>
#include <memory>

#include "widgets/dlg_modal.h"
#include "widgets/list_view.h"

class CNbxFileMonitor;
class CNbxFileMonitorManager;

// The texts of one monitor's cells: file name, state, modified, device, node name, remote
// folder.
struct OpenedFileRow {
    QString fileName, state, modified, device, nodeName, remoteFolder;
};
OpenedFileRow DescribeMonitor(const CNbxFileMonitor& monitor);

// A pair of image lists (small and large) holding one icon per file type, added the first time
// a file of that type is shown; a type keeps its index for the life of the lists.
class FileTypeImages {
public:
    // The index of the type of a file of that name (by name only, the file is not looked at).
    int IndexFor(const QString& fileName);
    const ImageList& Small() const { return small_; }
    const ImageList& Large() const { return large_; }
    void Clear();

private:
    ImageList small_{QSize(16, 16)};
    ImageList large_{QSize(32, 32)};
    std::map<QString, int> byType_;
};

class CFileMonitorView : public SListView {
    Q_OBJECT
public:
    CFileMonitorView(CNbxFileMonitorManager* manager, QWidget* parent);
    ~CFileMonitorView() override;
    void RefreshOpenedFiles();
    const FileTypeImages& Images() const { return images_; }

protected:
    void OnRowDoubleClicked(int row, Qt::KeyboardModifiers modifiers) override;

private:
    CNbxFileMonitorManager* manager_;
    FileTypeImages images_;
};

// Hidden, never destroyed, by its close box; refreshes every second while shown.
class CFileMonitorFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kRefreshTimerId = 43981;
    static constexpr int kRefreshMs = 1000;
    static constexpr int kWidth = 790;
    static constexpr int kHeight = 280;
    CFileMonitorFrame(CNbxFileMonitorManager* manager, QWidget* parent = nullptr);
    CFileMonitorView* View() const { return view_; }
    // Whether the refresh timer runs (only while the window is shown).
    bool RefreshTimerActive() const { return timer_ != 0; }

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
// WM_END_MODAL. The list is filled once, when the dialog is made.
class CDlgConfirmExit : public CDlgModalNativeDialog {
    Q_OBJECT
public:
    static constexpr int kYes = 1;
    static constexpr int kNo = 2;
    CDlgConfirmExit(CNbxFileMonitorManager* manager, QWidget* parent);
    ~CDlgConfirmExit() override;
    SListView* List() const { return list_; }
    class QPushButton* YesButton() const {
        return yes_;
    }
    class QPushButton* NoButton() const {
        return no_;
    }

    // Closing the dialog, or Escape, answers No.
    void reject() override;

private:
    void ActivateRow(int row);

    SListView* list_;
    FileTypeImages images_;
    CNbxFileMonitorManager* manager_;
    class QPushButton* yes_;
    class QPushButton* no_;
};
