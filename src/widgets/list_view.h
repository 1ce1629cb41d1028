#pragma once

// The list control both list windows share: rows with column texts, an image index and item
// data, the four styles of a file explorer (icons, small icons, list, details), groups, label
// editing, and sorting by any column with the three comparison rules.
//
// Rows are addressed by their position (0 = first shown). Image indices refer to the image
// lists set with SetImageLists; all lists hold the same number of images, index i of each
// belongs to the same row image; -1 is no image.

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "widgets/sort_rules.h"

class QAbstractItemView;
class QStandardItemModel;
class QStackedLayout;

// An image list: images of one size in logical pixels, kept at the screens' device-pixel ratio
// (a 16 × 16 list holds 32 × 32 pictures with a ratio of 2 on a screen scaled by 2), so that
// rows show them at the logical size and sharp.
class ImageList {
public:
    explicit ImageList(QSize size = QSize(16, 16)) : size_(size) {}
    QSize Size() const { return size_; }
    int Count() const { return static_cast<int>(images_.size()); }
    // Fitted to the size at the screens' ratio if it differs; returns the index.
    int Add(const QPixmap& pixmap);
    void Replace(int index, const QPixmap& pixmap);
    // Pictures made for a list of the logical size: a canvas filled with the colour, an icon of
    // iconSize centred on a transparent canvas, an image stretched over a white one.
    static QPixmap Canvas(QSize size, const QColor& fill);
    static QPixmap CentredIcon(const QIcon& icon, QSize iconSize, QSize size);
    static QPixmap Stretched(const QImage& image, QSize size);
    void RemoveAll() { images_.clear(); }
    const QPixmap& At(int index) const { return images_.at(index); }

private:
    QSize size_;
    std::vector<QPixmap> images_;
};

class SListView : public QWidget {
    Q_OBJECT
public:
    enum class Style { kIcons, kSmallIcons, kList, kDetails };

    explicit SListView(QWidget* parent = nullptr);
    ~SListView() override;

    // Columns.
    void InsertColumn(int column, const QString& title, int width,
                      Qt::Alignment alignment = Qt::AlignLeft);
    void DeleteAllColumns();  // tells columnsAboutToBeDeleted first
    int ColumnCount() const;
    // The user may move columns by their headers; columns keep their numbers (logical indices)
    // wherever they are shown. Widths by column number; a width <= 0 or one beyond the columns
    // is left alone.
    std::vector<int> ColumnWidths() const;
    void SetColumnWidths(const std::vector<int>& widths);
    // The column numbers from left to right as shown.
    std::vector<int> VisualColumnOrder() const;

    // Rows. `at` < 0 or beyond the end appends. `group` < 0: no group.
    int InsertRow(int at, const QString& text, int image, std::intptr_t data, int group = -1);
    void DeleteRow(int row);
    void DeleteAllRows();  // the focused row becomes -1
    int RowCount() const;
    QString Text(int row, int column = 0) const;
    void SetText(int row, int column, const QString& text);
    int Image(int row) const;
    void SetImage(int row, int image);
    std::intptr_t Data(int row) const;
    void SetData(int row, std::intptr_t data);
    // The first row whose text equals the text, ignoring case; -1 when none.
    int FindRow(const QString& text) const;

    // Groups, shown while grouping is on; rows carry their group id.
    void SetGroupsEnabled(bool enabled);
    bool GroupsEnabled() const;
    void InsertGroup(int id, const QString& header);
    void RemoveAllGroups();

    // Images.
    void SetImageLists(const ImageList* small, const ImageList* normal);
    void UpdateImages();  // the lists' images changed; repaint

    // Style and repainting.
    void SetStyle(Style style);
    Style GetStyle() const;
    void SetRedraw(bool on);
    void SetBackground(const QColor& color, const QPixmap& watermark = QPixmap());

    // Selection and focus.
    std::vector<int> SelectedRows() const;  // in row order
    void SetSelected(int row, bool selected);
    void ClearSelection();
    int FocusedRow() const { return focusedRow_; }
    void SetCutState(int row, bool cut);
    bool CutState(int row) const;

    // Label editing. BeginLabelEdit asks OnBeginLabelEdit; the edit ends in OnEndLabelEdit
    // with the text, or none when it was cancelled.
    bool BeginLabelEdit(int row);
    bool IsLabelEditing() const;
    class QLineEdit* LabelEditor() const;  // while editing

    // Sorting: order < 0 ascending, > 0 descending, 0 toggles (ascending for a new column).
    // False, leaving the rows alone, when the list is empty; column and direction change anyway.
    bool SortByColumn(int order, int column, nbx::ui::CompareRule rule);
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }
    void MoveRowToTop(int row, int group);

    // The row under a point of this widget, -1 for none.
    int RowAt(const QPoint& point) const;
    QRect RowRect(int row) const;
    QAbstractItemView* CurrentItemView() const;

signals:
    // The columns are about to go (DeleteAllColumns): the last moment to read their widths.
    void columnsAboutToBeDeleted();

protected:
    virtual void OnColumnClick(int column);
    virtual void OnFocusedRowChanging(int newRow, int oldRow);
    // Default: refuse in details style, allow otherwise.
    virtual bool OnBeginLabelEdit(int row);
    // Return true to keep the new text.
    virtual bool OnEndLabelEdit(int row, const std::optional<QString>& text);
    virtual void OnRowDoubleClicked(int row, Qt::KeyboardModifiers modifiers);
    virtual void OnContextMenu(const QPoint& globalPos);
    virtual void OnSelectionChanged();
    // Key presses reach this first; the event then goes on its normal way.
    virtual void OnKeyDown(QKeyEvent* event);

private:
    struct Impl;
    Impl* impl_;
    int sortColumn_ = -1;
    bool ascending_ = true;
    int focusedRow_ = -1;
};
