#pragma once

// What each mode of the view does on its own: its commands and their states, opening a row,
// its context menu, its label edits, its status-bar texts, its sorting and where it keeps the
// view style. The view decides which mode a command or event goes to.

#include <QPoint>
#include <QString>
#include <optional>

class CViewMode {
public:
    virtual ~CViewMode() = default;

    virtual void OnCommand(int command) = 0;
    virtual bool IsCommandEnabled(int command) const = 0;
    virtual void OpenRow(int row, bool newWindow) = 0;
    virtual void OnContextMenu(const QPoint& globalPos) = 0;
    virtual bool OnBeginLabelEdit(int row) = 0;
    virtual bool OnEndLabelEdit(int row, const std::optional<QString>& text) = 0;
    virtual void UpdateStatusBar() = 0;
    // order: -1 ascending, 1 descending, 0 toggled (a column click).
    virtual void SortBy(int column, int order) = 0;
    // The style a view style command chose, kept where this mode keeps it.
    virtual void RememberViewStyle(int style) = 0;
};
