#pragma once

// One explorer window: the address bar above its view, the status bar with the thumbnail
// slider below, and what works for this window alone: its file-system service, its queue of
// actions (communication manager) and of thumbnails, and the progress dialog. It decides
// whether the view shows the node list (mode 1) or a folder of the current node (mode 2).
// Everything here runs on the user-interface thread; the engines reach the frame only through
// ID_REFRESH_LOCATION (sent) and through the view.

#include <QComboBox>
#include <QMainWindow>
#include <QPointer>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "comn/comn_manager.h"
#include "monitor/thumb_manager.h"
#include "remotefs/fs_service.h"
#include "ui/explorer_frame.h"
#include "ui/ui_logic.h"
#include "ui/window_settings.h"
#include "widgets/dlg_modal.h"
#include "widgets/list_view.h"

class CDlgProgress;
class CNbxNode;
class CTerraPaneView;
class CMainFrame;
class QAction;
class QLabel;
class QSlider;
class QMenu;

// The address bar: an editable combo box whose items carry an AddressItem. Enter posts
// WM_ADDRESS_ENTERED to the owner frame.
class CAddressBar : public QComboBox {
    Q_OBJECT
public:
    explicit CAddressBar(CMainFrame* owner);
    // Replaces the items, selecting items.selected.
    void SetItems(const nbx::ui::AddressBarItems& items);
    // The record of the selected item; none when nothing is selected.
    const nbx::ui::AddressItem* SelectedRecord() const;
    QString EditText() const;
    void SetEditText(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Enter in the edit field.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The image of the address-bar image list, by its index.
    static QIcon Image(int index);

    CMainFrame* owner_;
    std::vector<nbx::ui::AddressItem> records_;
};

class CMainFrame : public QMainWindow, public nbx::ui::IExplorerFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 740, kHeight = 480, kMinSize = 356;

    CMainFrame();
    ~CMainFrame() override;

    // Creates the window's parts and starts the engines; false (logged) when a part failed.
    bool Create();

    // The view and what the view reads directly.
    QWidget* FrameWidget() override { return this; }
    CMainFrame* HostFrame() override { return this; }
    CTerraPaneView* View() const override { return view_; }
    bool IsInFront() const override;
    CNbxFileSystemService& FileSystem() override { return *fileSystem_; }
    const std::shared_ptr<CNbxFileSystemService>& SharedFileSystem() const { return fileSystem_; }
    // The frame's engines are given this long to end when it goes; one that does not is left
    // to end by itself, with everything it uses kept alive until then. Tests shorten it.
    static std::chrono::milliseconds stopTimeout;
    CNbxComnManager& ComnManager() override { return comnManager_; }
    CNbxFileThumbManager& ThumbManager() override { return thumbManager_; }
    CDlgProgress* Progress() const override { return progress_; }
    CNbxNode* CurrentNode() const override { return currentNode_; }
    void SetCurrentNode(CNbxNode* node) override { currentNode_ = node; }
    const std::string& TempFolder() const { return tempFolder_; }
    int GetViewMode() const override { return viewMode_; }
    // The view calls it once the columns of the mode are made; they get the widths the mode's
    // columns had last.
    void SetViewMode(int mode) override;
    bool IsNavigating() const { return navigating_; }
    CAddressBar* AddressBar() const { return addressBar_; }
    // The actions of the keys that no menu shows, in the order F2, F5, parent, Ctrl+L, Ctrl+W.
    const std::vector<QAction*>& KeyActions() const { return keyActions_; }

    // Refills the address bar for the path and sets the window title.
    void SetLocation(const std::string& path) override;
    // Lists the address selected in the address bar; reports a failure with a message box.
    bool NavigateFromAddress() override;
    // Leaves the current node and shows the node list.
    void ShowNodeView() override;
    // ID_REFRESH_LOCATION.
    void RefreshLocation() override;
    void LayoutStatusBar();
    void SetStatusText(int part, const QString& text) override;
    QString StatusText(int part) const;
    void SetProgressTitle(int stringId) override;
    void SetProgressPreparing() override;
    void SetBigIcon(int resource) override;

    // The thumbnail slider (12..24; thumbnails 4 × position).
    QSlider* Slider() const { return slider_; }
    void ShowSlider(bool show) override;
    void SetSliderPosition(int position) override;

    // What the window keeps between sessions (place, size, column widths per mode, the node
    // list's style). Applied before the window is first shown; a place off every screen is
    // left to the window system. A frame of the program saves them when it goes.
    nbx::ui::WindowSettings CurrentSettings() const;
    void ApplySettings(const nbx::ui::WindowSettings& settings);

    // For new windows: the active view's settings.
    int GetViewStyle() const;
    void ApplySort(int column, bool ascending);
    void ApplyThumbnailSize(int width, int height, bool sliderOnly);

    // The action of a command number; every menu entry and shortcut is one.
    QAction* Action(int command) const;
    // Updates the enabled and checked states of the actions (the view decides most).
    void UpdateCommands() override;

    // Typed and picked addresses (also reachable through the events).
    void OnAddressEntered();
    void OnAddressPicked();

    // The exit confirmation shown over this frame, while it is shown.
    void SetExitDialog(QWidget* dialog) { exitDialog_ = dialog; }
    CDlgAbout* AboutDialog() const { return about_.data(); }

protected:
    bool event(QEvent* event) override;  // the messages of the frame
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;                    // activation
    bool eventFilter(QObject* watched, QEvent* event) override;  // the status bar's size

private:
    void BuildMenus();
    QAction* AddAction(QMenu* menu, int command, const char* text, bool checkable = false);
    void OnCommand(int command);
    void OnAbout();
    void Destroy();
    void FillAddressBar(const std::string& path);
    // Opens the node for a typed or picked address, returning to where the frame was when
    // that fails.
    void OpenNodeFromAddress(const std::string& title, const std::string& path);
    void OnSliderMoved(int position);
    // Ends the dialogs below the frame that are still shown with the code.
    void EndShownDialogs(int code);
    void FocusView();

    // Shared with the communication engine, which may outlive the frame.
    std::shared_ptr<CNbxFileSystemService> fileSystem_ = std::make_shared<CNbxFileSystemService>();
    CNbxComnManager comnManager_;
    CNbxFileThumbManager thumbManager_;
    CNbxNode* currentNode_ = nullptr;
    std::string tempFolder_;
    int viewMode_ = kModeNone;
    CDlgProgress* progress_ = nullptr;
    QPointer<CDlgAbout> about_;
    QPointer<QWidget> exitDialog_;
    bool navigating_ = false;
    bool destroyed_ = false;
    bool forceClose_ = false;  // WM_CLOSE_FRAME: close without further questions
    // The column widths each mode had when its columns last went, by mode.
    std::map<int, std::vector<int>> columnWidths_;
    CAddressBar* addressBar_ = nullptr;
    std::vector<QAction*> keyActions_;  // F2, F5, Backspace and Alt+Up, Ctrl+L, Ctrl+W
    CTerraPaneView* view_ = nullptr;
    QLabel* statusParts_[3] = {};
    QSlider* slider_ = nullptr;
    std::map<int, QAction*> actions_;
    QMenu* arrangeMenu_ = nullptr;
};
