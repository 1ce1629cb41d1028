#pragma once

// The node list: every configured node of the application's node list, grouped into the cloud
// disk and the devices, below two entries that add a configuration. Opening, renaming, deleting
// and editing nodes, with the rules that keep configurations unchanged while other windows or
// shell transfers could use them.

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "ui/view_mode.h"

class CTerraPaneView;
class QMenu;

namespace nbx::ui {
class IExplorerFrame;
}

class CNodeListMode : public CViewMode {
public:
    explicit CNodeListMode(CTerraPaneView& view);
    ~CNodeListMode() override;
    CNodeListMode(const CNodeListMode&) = delete;
    CNodeListMode& operator=(const CNodeListMode&) = delete;

    // Columns for the node list, made when the view is created.
    void CreateColumns();
    void ListNodes();
    bool OpenNode(const std::string& title, const std::string& path);
    void UpdateNodeState(const std::string& title, int state);
    int ViewStyle() const { return viewStyle_; }
    void SetViewStyle(int style) { viewStyle_ = style; }
    bool EndOpenDialogs(int code);

    void OnCommand(int command) override;
    bool IsCommandEnabled(int command) const override;
    void OpenRow(int row, bool newWindow) override;
    void OnContextMenu(const QPoint& globalPos) override;
    bool OnBeginLabelEdit(int row) override;
    bool OnEndLabelEdit(int row, const std::optional<QString>& text) override;
    void UpdateStatusBar() override;
    void SortBy(int column, int order) override;
    void RememberViewStyle(int style) override { viewStyle_ = style; }

private:
    friend class ViewTestPeer;

    nbx::ui::IExplorerFrame& Frame() const;
    void CreateImages();
    void EnterMode();
    void InsertGroupsAndAddEntries();
    void InsertNodeRows();
    void OpenSelected();
    bool CheckNodeConfiguration(const std::string& title);
    bool WakeUpNode(const std::string& title);
    bool RenameNode(int row, const std::string& newTitle);
    void SelectAll();
    void OnFileEdit();
    void OnFileDelete();
    void OnViewRefresh();
    // Until the configuration dialogs exist, the user is told instead of nothing happening.
    void ReportNoConfigurationDialog();
    // Menu 143 with the entries grayed for the selection; null without a selection.
    std::unique_ptr<QMenu> BuildContextMenu();

    CTerraPaneView& view_;
    int viewStyle_ = 0;  // CTerraPaneView::kIcons
    int sortColumn_ = 0;
    int sortOrder_ = -1;
    QPointer<QWidget> nodeDialog_;
    QPointer<QWidget> notifier_;
};
