#include "widgets/list_view.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QScrollBar>
#include <QStackedLayout>
#include <QStandardItemModel>
#include <QTreeView>
#include <algorithm>
#include <map>
#include <numeric>

namespace {

enum Role : int {
    kImageRole = Qt::UserRole + 1,
    kDataRole,
    kGroupRole,
    kCutRole,
    kHeaderRole,
    kRankRole,
};

constexpr Qt::ItemFlags kRowFlags =
    Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
constexpr Qt::ItemFlags kHeaderFlags = Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;

// The ratio of device to logical pixels that pixmaps are made for: the highest of the screens,
// so that no screen shows an image scaled up.
qreal DeviceRatio() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
               ? qGuiApp->devicePixelRatio()
               : 1.0;
}

// Images of one logical size at the screens' resolution, fitted into the size with their
// proportions kept. A picture that already has that size and ratio is kept as it is.
QPixmap Fit(const QPixmap& pixmap, QSize size) {
    if (pixmap.isNull()) {
        return pixmap;
    }
    const qreal ratio = DeviceRatio();
    const QSize device = (QSizeF(size) * ratio).toSize();
    if (pixmap.size() == device && qFuzzyCompare(pixmap.devicePixelRatio(), ratio)) {
        return pixmap;
    }
    const QSize fitted = pixmap.size().scaled(device, Qt::KeepAspectRatio);
    QPixmap canvas = ImageList::Canvas(size, Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF at((device.width() - fitted.width()) / 2.0 / ratio,
                     (device.height() - fitted.height()) / 2.0 / ratio);
    painter.drawPixmap(QRectF(at, QSizeF(fitted) / ratio), pixmap, QRectF(pixmap.rect()));
    return canvas;
}

}  // namespace

int ImageList::Add(const QPixmap& pixmap) {
    images_.push_back(Fit(pixmap, size_));
    return Count() - 1;
}

void ImageList::Replace(int index, const QPixmap& pixmap) {
    if (index >= 0 && index < Count()) {
        images_[index] = Fit(pixmap, size_);
    }
}

QPixmap ImageList::Canvas(QSize size, const QColor& fill) {
    const qreal ratio = DeviceRatio();
    QPixmap canvas((QSizeF(size) * ratio).toSize());
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(fill);
    return canvas;
}

QPixmap ImageList::CentredIcon(const QIcon& icon, QSize iconSize, QSize size) {
    QPixmap canvas = Canvas(size, Qt::transparent);
    // Asked for at the canvas's ratio, so that the theme's larger pictures are used at 2x.
    const QPixmap picture = icon.pixmap(iconSize, canvas.devicePixelRatio());
    const QSizeF shown = picture.deviceIndependentSize();
    QPainter painter(&canvas);
    painter.drawPixmap(
        QPointF((size.width() - shown.width()) / 2.0, (size.height() - shown.height()) / 2.0),
        picture);
    return canvas;
}

QPixmap ImageList::Stretched(const QImage& image, QSize size) {
    QPixmap canvas = Canvas(size, Qt::white);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image);
    return canvas;
}

struct SListView::Impl {
    // The rows' pictures, alignments and the dimmed look of cut rows come from the list's
    // state instead of being stored in every cell.
    class Model : public QStandardItemModel {
    public:
        Model(Impl* impl, QObject* parent) : QStandardItemModel(parent), impl_(impl) {}
        QVariant data(const QModelIndex& index, int role) const override;
        // Puts the rows into the order given (the new model row of every model row).
        void Reorder(const std::vector<int>& rankOfModelRow);

    private:
        Impl* impl_;
    };

    // Keys of the item views reach the owner first; the label editor's own keys and focus
    // decide its end; watermarks are painted under the items.
    class Filter : public QObject {
    public:
        Filter(Impl* impl, QObject* parent) : QObject(parent), impl_(impl) {}
        bool eventFilter(QObject* watched, QEvent* event) override;

    private:
        Impl* impl_;
    };

    struct Column {
        QString title;
        int width = 0;
        Qt::Alignment alignment = Qt::AlignLeft;
    };
    struct Header {
        int group = 0;
        int modelRow = 0;
    };

    explicit Impl(SListView* owner);

    // ---- positions ----
    int ModelRow(int position) const;
    int Position(int modelRow) const;
    bool ValidRow(int position) const { return position >= 0 && position < RowCount(); }
    int RowCount() const { return model->rowCount() - static_cast<int>(headers.size()); }
    QStandardItem* Cell(int position, int column) const;
    QModelIndex IndexOf(int position) const { return model->index(ModelRow(position), 0); }
    bool IsHeaderRow(int modelRow) const;

    // ---- groups ----
    bool Grouping() const { return groupsEnabled; }
    int HeaderIndexOf(int group) const;
    // Where the rows of a group lie: [begin, end) in model rows, creating its header.
    std::pair<int, int> Segment(int group, bool createHeader);
    void InsertHeader(int group, int modelRow);
    void RemoveEmptyHeaderBefore(int modelRow);
    void ShiftHeaders(int fromModelRow, int delta);
    void Regroup();
    void RemoveHeaders();

    // ---- order ----
    void ApplyRanks(const std::vector<int>& rankOfModelRow);

    // ---- views ----
    QList<QStandardItem*> MakeRow(const QString& text, int image, std::intptr_t data,
                                  int group) const;
    void ApplyStyle();
    void ApplyBackground(QAbstractItemView* view);
    void RefreshImages();
    void SyncFocus();
    void CheckFocus();
    QRect EditorRect(int position) const;
    void EndLabelEdit(std::optional<QString> text);

    SListView* owner;
    Model* model;
    QTreeView* tree;
    QListView* list;
    QStackedLayout* stack;
    Filter* filter;
    std::vector<Column> columns;
    std::map<int, QString> groups;
    std::vector<Header> headers;  // by model row, which is also the order of their ids
    bool groupsEnabled = false;
    const ImageList* smallImages = nullptr;
    const ImageList* normalImages = nullptr;
    mutable std::map<std::pair<const ImageList*, int>, QPixmap> dimmed;
    Style style = Style::kIcons;
    // The cell of a row in the icon and small-icon styles; empty in the others. Those styles lay
    // out without a grid so that a group header can take a line of its own.
    QSize cell;
    QColor background;
    QPixmap watermark;
    QPersistentModelIndex focusIndex;
    QPersistentModelIndex editIndex;
    QLineEdit* editor = nullptr;
    bool endingEdit = false;
    bool dying = false;
};

// ---- Model -------------------------------------------------------------------------------

QVariant SListView::Impl::Model::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return QStandardItemModel::data(index, role);
    }
    switch (role) {
        case Qt::DisplayRole:
            // A group header spans the row from whichever column the user moved to the front.
            if (index.column() != 0 &&
                QStandardItemModel::data(index.siblingAtColumn(0), kHeaderRole).toBool()) {
                return QStandardItemModel::data(index.siblingAtColumn(0), role);
            }
            break;
        case Qt::DecorationRole: {
            // While the list goes, the image lists of a subclass are gone already.
            if (impl_->dying || index.column() != 0 ||
                QStandardItemModel::data(index, kHeaderRole).toBool()) {
                return {};
            }
            const ImageList* images =
                impl_->style == Style::kIcons ? impl_->normalImages : impl_->smallImages;
            const int image = QStandardItemModel::data(index, kImageRole).toInt();
            if (images == nullptr || image < 0 || image >= images->Count()) {
                return {};
            }
            if (!QStandardItemModel::data(index, kCutRole).toBool()) {
                return images->At(image);
            }
            auto [it, added] = impl_->dimmed.try_emplace({images, image});
            if (added) {
                it->second = QIcon(images->At(image)).pixmap(images->Size(), QIcon::Disabled);
            }
            return it->second;
        }
        case Qt::TextAlignmentRole: {
            if (QStandardItemModel::data(index.siblingAtColumn(0), kHeaderRole).toBool()) {
                return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
            }
            const std::size_t column = static_cast<std::size_t>(index.column());
            if (impl_->style != Style::kDetails || column >= impl_->columns.size() ||
                QStandardItemModel::data(index.siblingAtColumn(0), kHeaderRole).toBool()) {
                break;
            }
            return static_cast<int>(impl_->columns[column].alignment | Qt::AlignVCenter);
        }
        case Qt::ForegroundRole:
            if (QStandardItemModel::data(index.siblingAtColumn(0), kCutRole).toBool()) {
                return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
            }
            break;
        case Qt::SizeHintRole:
            if (impl_->cell.isValid() && index.column() == 0) {
                if (!QStandardItemModel::data(index, kHeaderRole).toBool()) {
                    return impl_->cell;
                }
                const int width = impl_->list->viewport()->width() - 2;
                return QSize(std::max(width, impl_->cell.width()),
                             impl_->list->fontMetrics().lineSpacing() + 12);
            }
            break;
        case Qt::FontRole:
            if (QStandardItemModel::data(index.siblingAtColumn(0), kHeaderRole).toBool()) {
                QFont font = QGuiApplication::font();
                font.setBold(true);
                return font;
            }
            break;
        default:
            break;
    }
    return QStandardItemModel::data(index, role);
}

// ---- Filter ------------------------------------------------------------------------------

bool SListView::Impl::Filter::eventFilter(QObject* watched, QEvent* event) {
    Impl* d = impl_;
    if (d->dying) {
        return false;
    }
    if (d->editor != nullptr && watched == d->editor) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            d->owner->OnKeyDown(key);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                d->EndLabelEdit(d->editor->text());
                return true;
            }
            if (key->key() == Qt::Key_Escape) {
                d->EndLabelEdit(std::nullopt);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            // A menu or another window taking the focus for a moment (the Edit menu's Cut,
            // Copy and Paste act on this editor) does not end the edit. A click elsewhere ends
            // it with what was typed, as in every desktop file manager: only Escape cancels.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
                reason != Qt::MenuBarFocusReason) {
                d->EndLabelEdit(d->editor->text());
            }
        }
        return false;
    }
    if ((watched == d->tree || watched == d->list) && event->type() == QEvent::KeyPress) {
        d->owner->OnKeyDown(static_cast<QKeyEvent*>(event));
        return false;
    }
    if (event->type() == QEvent::Paint && !d->watermark.isNull() &&
        (watched == d->tree->viewport() || watched == d->list->viewport())) {
        auto* viewport = static_cast<QWidget*>(watched);
        QPainter painter(viewport);
        const QSize size = d->watermark.deviceIndependentSize().toSize();
        painter.drawPixmap(viewport->width() - size.width(), viewport->height() - size.height(),
                           d->watermark);
    }
    return false;
}

// ---- Impl --------------------------------------------------------------------------------

SListView::Impl::Impl(SListView* view) : owner(view) {
    model = new Model(this, view);
    model->setColumnCount(1);
    model->setSortRole(kRankRole);

    tree = new QTreeView(view);
    tree->setModel(model);
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setUniformRowHeights(true);
    tree->setAllColumnsShowFocus(true);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSortingEnabled(false);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree->header()->setSectionsClickable(true);
    // Columns are moved by dragging their headers, the first one too. Everything else addresses
    // columns by their logical index, which a move leaves alone.
    tree->header()->setSectionsMovable(true);
    tree->header()->setFirstSectionMovable(true);
    tree->header()->setStretchLastSection(false);
    tree->header()->setSortIndicatorShown(false);

    list = new QListView(view);
    list->setModel(model);
    list->setSelectionModel(tree->selectionModel());
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setUniformItemSizes(false);

    stack = new QStackedLayout(view);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(list);
    stack->addWidget(tree);

    filter = new Filter(this, view);
    for (QAbstractItemView* itemView :
         {static_cast<QAbstractItemView*>(tree), static_cast<QAbstractItemView*>(list)}) {
        itemView->installEventFilter(filter);
        itemView->viewport()->installEventFilter(filter);
        QObject::connect(itemView, &QAbstractItemView::doubleClicked, view,
                         [this](const QModelIndex& index) {
                             if (dying || !index.isValid() || IsHeaderRow(index.row())) {
                                 return;
                             }
                             owner->OnRowDoubleClicked(Position(index.row()),
                                                       QGuiApplication::keyboardModifiers());
                         });
        QObject::connect(itemView, &QWidget::customContextMenuRequested, view,
                         [this, itemView](const QPoint& pos) {
                             if (!dying) {
                                 owner->OnContextMenu(itemView->viewport()->mapToGlobal(pos));
                             }
                         });
        // A watermark stays where it is while the items scroll over it.
        for (QScrollBar* bar : {itemView->horizontalScrollBar(), itemView->verticalScrollBar()}) {
            QObject::connect(bar, &QScrollBar::valueChanged, view, [this, itemView] {
                if (!watermark.isNull()) {
                    itemView->viewport()->update();
                }
            });
        }
    }
    QObject::connect(tree->header(), &QHeaderView::sectionClicked, view, [this](int column) {
        if (!dying) {
            owner->OnColumnClick(column);
        }
    });
    QItemSelectionModel* selection = tree->selectionModel();
    QObject::connect(selection, &QItemSelectionModel::selectionChanged, view, [this] {
        if (dying) {
            return;
        }
        CheckFocus();
        owner->OnSelectionChanged();
    });
    QObject::connect(selection, &QItemSelectionModel::currentChanged, view, [this] {
        if (!dying) {
            CheckFocus();
        }
    });
    ApplyStyle();
}

int SListView::Impl::ModelRow(int position) const {
    int row = position;
    for (const Header& header : headers) {
        if (header.modelRow <= row) {
            ++row;
        } else {
            break;
        }
    }
    return row;
}

int SListView::Impl::Position(int modelRow) const {
    int before = 0;
    for (const Header& header : headers) {
        if (header.modelRow < modelRow) {
            ++before;
        } else {
            break;
        }
    }
    return modelRow - before;
}

QStandardItem* SListView::Impl::Cell(int position, int column) const {
    if (!ValidRow(position) || column < 0 || column >= model->columnCount()) {
        return nullptr;
    }
    return model->item(ModelRow(position), column);
}

bool SListView::Impl::IsHeaderRow(int modelRow) const {
    return std::any_of(headers.begin(), headers.end(),
                       [modelRow](const Header& h) { return h.modelRow == modelRow; });
}

int SListView::Impl::HeaderIndexOf(int group) const {
    for (std::size_t i = 0; i < headers.size(); ++i) {
        if (headers[i].group == group) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::pair<int, int> SListView::Impl::Segment(int group, bool createHeader) {
    if (groups.count(group) == 0) {
        // Rows of no known group come first, before every header.
        return {0, headers.empty() ? model->rowCount() : headers.front().modelRow};
    }
    int index = HeaderIndexOf(group);
    if (index < 0) {
        if (!createHeader) {
            return {0, 0};
        }
        int at = model->rowCount();
        for (const Header& header : headers) {
            if (header.group > group) {
                at = header.modelRow;
                break;
            }
        }
        InsertHeader(group, at);
        index = HeaderIndexOf(group);
    }
    const int begin = headers[index].modelRow + 1;
    const int end = static_cast<std::size_t>(index) + 1 < headers.size()
                        ? headers[index + 1].modelRow
                        : model->rowCount();
    return {begin, end};
}

void SListView::Impl::InsertHeader(int group, int modelRow) {
    QList<QStandardItem*> cells;
    for (int column = 0; column < model->columnCount(); ++column) {
        auto* cell = new QStandardItem(column == 0 ? groups[group] : QString());
        cell->setFlags(kHeaderFlags);
        cell->setData(true, kHeaderRole);
        cell->setData(group, kGroupRole);
        cells.append(cell);
    }
    // The header's own entry first, so the position arithmetic holds while views react.
    ShiftHeaders(modelRow, 1);
    auto it = std::lower_bound(headers.begin(), headers.end(), modelRow,
                               [](const Header& h, int row) { return h.modelRow < row; });
    headers.insert(it, Header{group, modelRow});
    model->insertRow(modelRow, cells);
    tree->setFirstColumnSpanned(modelRow, QModelIndex(), true);
}

void SListView::Impl::ShiftHeaders(int fromModelRow, int delta) {
    for (Header& header : headers) {
        if (header.modelRow >= fromModelRow) {
            header.modelRow += delta;
        }
    }
}

// After the row at modelRow went away (headers already shifted): a header whose group has no
// row left goes too.
void SListView::Impl::RemoveEmptyHeaderBefore(int modelRow) {
    int index = -1;
    for (std::size_t i = 0; i < headers.size() && headers[i].modelRow < modelRow; ++i) {
        index = static_cast<int>(i);
    }
    if (index < 0) {
        return;
    }
    const std::size_t i = static_cast<std::size_t>(index);
    const int end = i + 1 < headers.size() ? headers[i + 1].modelRow : model->rowCount();
    if (headers[i].modelRow + 1 != end) {
        return;
    }
    const int row = headers[i].modelRow;
    headers.erase(headers.begin() + index);
    ShiftHeaders(row, -1);
    model->removeRow(row);
}

void SListView::Impl::RemoveHeaders() {
    while (!headers.empty()) {
        const int row = headers.back().modelRow;
        headers.pop_back();
        model->removeRow(row);
    }
}

void SListView::Impl::ApplyRanks(const std::vector<int>& rankOfModelRow) {
    // Selection, current row and focus follow their rows; header spans are set again.
    const int rows = model->rowCount();
    QItemSelectionModel* selection = tree->selectionModel();
    std::vector<int> selectedRows;
    for (const QModelIndex& index : selection->selectedRows()) {
        selectedRows.push_back(rankOfModelRow[static_cast<std::size_t>(index.row())]);
    }
    const QModelIndex current = selection->currentIndex();
    const int currentRow =
        current.isValid() ? rankOfModelRow[static_cast<std::size_t>(current.row())] : -1;
    const int focusRow =
        focusIndex.isValid() ? rankOfModelRow[static_cast<std::size_t>(focusIndex.row())] : -1;
    model->Reorder(rankOfModelRow);
    for (const Header& header : headers) {
        tree->setFirstColumnSpanned(header.modelRow, QModelIndex(), true);
    }
    focusIndex =
        focusRow >= 0 ? QPersistentModelIndex(model->index(focusRow, 0)) : QPersistentModelIndex();
    std::sort(selectedRows.begin(), selectedRows.end());
    QItemSelection moved;
    for (std::size_t i = 0; i < selectedRows.size();) {
        std::size_t j = i;
        while (j + 1 < selectedRows.size() && selectedRows[j + 1] == selectedRows[j] + 1) {
            ++j;
        }
        moved.select(model->index(selectedRows[i], 0),
                     model->index(selectedRows[j], model->columnCount() - 1));
        i = j + 1;
    }
    if (currentRow >= 0 && currentRow < rows) {
        selection->setCurrentIndex(model->index(currentRow, current.column()),
                                   QItemSelectionModel::NoUpdate);
    }
    selection->select(moved, QItemSelectionModel::ClearAndSelect);
}

// The rows are taken out and put back rather than sorted in place: after the model's own sort
// every later change of a cell (and deleting the rows) searches for the cell in its parent,
// which makes a large sorted list slow in the square of its rows.
void SListView::Impl::Model::Reorder(const std::vector<int>& rankOfModelRow) {
    const int rows = rowCount();
    beginResetModel();
    {
        const QSignalBlocker blocker(this);
        std::vector<QList<QStandardItem*>> taken(static_cast<std::size_t>(rows));
        for (int row = rows - 1; row >= 0; --row) {
            taken[static_cast<std::size_t>(rankOfModelRow[static_cast<std::size_t>(row)])] =
                takeRow(row);
        }
        for (QList<QStandardItem*>& cells : taken) {
            appendRow(cells);
        }
    }
    endResetModel();
}

void SListView::Impl::Regroup() {
    RemoveHeaders();
    if (!groupsEnabled) {
        return;
    }
    const int rows = model->rowCount();
    std::vector<int> keys(static_cast<std::size_t>(rows));
    std::vector<int> order(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        const int group = model->item(row, 0)->data(kGroupRole).toInt();
        auto it = groups.find(group);
        keys[static_cast<std::size_t>(row)] =
            it == groups.end() ? 0 : 1 + static_cast<int>(std::distance(groups.begin(), it));
    }
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
        return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
    });
    std::vector<int> ranks(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        ranks[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = i;
    }
    ApplyRanks(ranks);

    // Headers in front of the first row of every group that has rows, last first so the
    // places found stay valid.
    std::vector<std::pair<int, int>> starts;  // group id, model row
    int previousKey = 0;
    for (int i = 0; i < rows; ++i) {
        const int key = keys[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])];
        if (key != previousKey) {
            starts.emplace_back(std::next(groups.begin(), key - 1)->first, i);
            previousKey = key;
        }
    }
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        InsertHeader(it->first, it->second);
    }
}

QList<QStandardItem*> SListView::Impl::MakeRow(const QString& text, int image, std::intptr_t data,
                                               int group) const {
    QList<QStandardItem*> cells;
    const int columnCount = model->columnCount();
    cells.reserve(columnCount);
    auto* first = new QStandardItem(text);
    first->setFlags(kRowFlags);
    first->setData(image, kImageRole);
    first->setData(static_cast<qlonglong>(data), kDataRole);
    first->setData(group, kGroupRole);
    cells.append(first);
    for (int column = 1; column < columnCount; ++column) {
        auto* cell = new QStandardItem;
        cell->setFlags(kRowFlags);
        cells.append(cell);
    }
    return cells;
}

void SListView::Impl::ApplyStyle() {
    const QSize smallSize = smallImages != nullptr ? smallImages->Size() : QSize(16, 16);
    const QSize normalSize = normalImages != nullptr ? normalImages->Size() : QSize(32, 32);
    QWidget* previous = stack->currentWidget();
    const bool hadFocus = previous != nullptr && previous->hasFocus();
    switch (style) {
        case Style::kDetails:
            cell = QSize();
            tree->setIconSize(smallSize);
            stack->setCurrentWidget(tree);
            break;
        case Style::kIcons: {
            const int line = list->fontMetrics().lineSpacing();
            list->setViewMode(QListView::IconMode);
            list->setFlow(QListView::LeftToRight);
            list->setWrapping(true);
            list->setWordWrap(true);
            list->setIconSize(normalSize);
            cell =
                QSize(std::max(normalSize.width() + 24, 76), normalSize.height() + 2 * line + 10);
            list->setGridSize(QSize());
            list->setMovement(QListView::Static);
            stack->setCurrentWidget(list);
            break;
        }
        case Style::kSmallIcons:
        case Style::kList:
            list->setViewMode(QListView::ListMode);
            list->setFlow(style == Style::kSmallIcons ? QListView::LeftToRight
                                                      : QListView::TopToBottom);
            list->setWrapping(true);
            list->setWordWrap(false);
            list->setIconSize(smallSize);
            cell = style == Style::kSmallIcons ? QSize(180, smallSize.height() + 6) : QSize();
            list->setGridSize(QSize());
            list->setMovement(QListView::Static);
            stack->setCurrentWidget(list);
            break;
    }
    // Whoever focuses the list focuses the items shown.
    owner->setFocusProxy(stack->currentWidget());
    if (hadFocus) {
        stack->currentWidget()->setFocus();
    }
    RefreshImages();
}

void SListView::Impl::ApplyBackground(QAbstractItemView* view) {
    QPalette palette = view->viewport()->palette();
    palette.setColor(QPalette::Base, background.isValid()
                                         ? background
                                         : QApplication::palette(view).color(QPalette::Base));
    view->viewport()->setPalette(palette);
    view->viewport()->update();
}

void SListView::Impl::RefreshImages() {
    dimmed.clear();
    // A repaint is enough: the pictures come from the image lists when painted, and the item
    // sizes do not depend on them (the views lay out again themselves when the icon size or the
    // style changes). Telling the views that every row changed would make the list measure
    // every row again, shown or not.
    tree->viewport()->update();
    list->viewport()->update();
}

void SListView::Impl::SyncFocus() {
    owner->focusedRow_ = focusIndex.isValid() ? Position(focusIndex.row()) : -1;
}

void SListView::Impl::CheckFocus() {
    QItemSelectionModel* selection = tree->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid() || IsHeaderRow(current.row()) ||
        !selection->isSelected(current.siblingAtColumn(0))) {
        SyncFocus();
        return;
    }
    const QModelIndex row = current.siblingAtColumn(0);
    if (!focusIndex.isValid() || focusIndex != row) {
        SyncFocus();
        owner->OnFocusedRowChanging(Position(row.row()), owner->focusedRow_);
        focusIndex = row;
    }
    SyncFocus();
}

QRect SListView::Impl::EditorRect(int position) const {
    QAbstractItemView* view = owner->CurrentItemView();
    const QModelIndex index = IndexOf(position);
    QRect rect = view->visualRect(index);
    const int height = view->fontMetrics().height() + 6;
    if (style == Style::kIcons) {
        const int top = rect.top() + list->iconSize().height() + 2;
        return QRect(rect.left(), top, rect.width(), height);
    }
    const int icon = view->iconSize().width() + 4;
    int width = rect.width() - icon;
    width = std::max(width, view->fontMetrics().horizontalAdvance(index.data().toString()) + 24);
    return QRect(rect.left() + icon, rect.center().y() - height / 2, width, height);
}

void SListView::Impl::EndLabelEdit(std::optional<QString> text) {
    if (editor == nullptr || endingEdit) {
        return;
    }
    endingEdit = true;
    QLineEdit* closing = editor;
    editor = nullptr;
    closing->removeEventFilter(filter);
    closing->hide();
    closing->deleteLater();
    const QPersistentModelIndex index = editIndex;
    editIndex = QPersistentModelIndex();
    if (QWidget* view = owner->CurrentItemView(); view != nullptr && owner->isVisible()) {
        view->setFocus();
    }
    // A row deleted while it was being edited has nothing left to rename.
    if (index.isValid()) {
        const int row = Position(index.row());
        if (owner->OnEndLabelEdit(row, text) && text.has_value() && index.isValid()) {
            model->itemFromIndex(index)->setText(*text);
        }
    }
    endingEdit = false;
}

// ---- SListView ---------------------------------------------------------------------------

SListView::SListView(QWidget* parent) : QWidget(parent), impl_(new Impl(this)) {}

SListView::~SListView() {
    // The views and the model go first, while nothing they signal can reach a half-destroyed
    // list.
    impl_->dying = true;
    delete impl_->editor;
    delete impl_->tree;
    delete impl_->list;
    delete impl_->model;
    delete impl_;
}

void SListView::InsertColumn(int column, const QString& title, int width, Qt::Alignment alignment) {
    Impl& d = *impl_;
    const int count = static_cast<int>(d.columns.size());
    column = std::clamp(column, 0, count);
    if (count > 0) {
        // Column 0 carries the rows themselves; a column put in front of it takes over its texts.
        const int modelColumn = column == 0 ? 1 : column;
        QList<QStandardItem*> cells;
        for (int row = 0; row < d.model->rowCount(); ++row) {
            auto* cell = new QStandardItem;
            const bool header = d.IsHeaderRow(row);
            cell->setFlags(header ? kHeaderFlags : kRowFlags);
            if (column == 0 && !header) {
                cell->setText(d.model->item(row, 0)->text());
                d.model->item(row, 0)->setText(QString());
            }
            cells.append(cell);
        }
        d.model->insertColumn(modelColumn, cells);
    }
    d.columns.insert(d.columns.begin() + column, Impl::Column{title, width, alignment});
    for (int c = 0; c < static_cast<int>(d.columns.size()); ++c) {
        const Impl::Column& info = d.columns[static_cast<std::size_t>(c)];
        d.model->setHeaderData(c, Qt::Horizontal, info.title);
        d.model->setHeaderData(c, Qt::Horizontal,
                               static_cast<int>(info.alignment | Qt::AlignVCenter),
                               Qt::TextAlignmentRole);
        d.tree->header()->resizeSection(c, info.width);
    }
    for (const Impl::Header& header : d.headers) {
        d.tree->setFirstColumnSpanned(header.modelRow, QModelIndex(), true);
    }
}

void SListView::DeleteAllColumns() {
    Impl& d = *impl_;
    emit columnsAboutToBeDeleted();
    // The next set of columns starts in its own order.
    QHeaderView* header = d.tree->header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int from = header->visualIndex(visual);
        if (from != visual) {
            header->moveSection(from, visual);
        }
    }
    if (d.model->columnCount() > 1) {
        d.model->removeColumns(1, d.model->columnCount() - 1);
    }
    d.columns.clear();
    d.model->setHeaderData(0, Qt::Horizontal, QString());
}

int SListView::ColumnCount() const {
    return static_cast<int>(impl_->columns.size());
}

std::vector<int> SListView::ColumnWidths() const {
    std::vector<int> widths;
    for (int column = 0; column < ColumnCount(); ++column) {
        widths.push_back(impl_->tree->header()->sectionSize(column));
    }
    return widths;
}

void SListView::SetColumnWidths(const std::vector<int>& widths) {
    QHeaderView* header = impl_->tree->header();
    const int count = std::min(ColumnCount(), static_cast<int>(widths.size()));
    for (int column = 0; column < count; ++column) {
        const int width = widths[static_cast<std::size_t>(column)];
        if (width > 0) {
            header->resizeSection(column, std::max(width, header->minimumSectionSize()));
        }
    }
}

std::vector<int> SListView::VisualColumnOrder() const {
    std::vector<int> order;
    for (int visual = 0; visual < ColumnCount(); ++visual) {
        order.push_back(impl_->tree->header()->logicalIndex(visual));
    }
    return order;
}

int SListView::InsertRow(int at, const QString& text, int image, std::intptr_t data, int group) {
    Impl& d = *impl_;
    int modelRow;
    if (d.groupsEnabled) {
        const auto [begin, end] = d.Segment(group, true);
        modelRow = end;
        if (d.ValidRow(at)) {
            modelRow = std::clamp(d.ModelRow(at), begin, end);
        }
    } else {
        modelRow = d.ValidRow(at) ? at : d.model->rowCount();
    }
    d.ShiftHeaders(modelRow, 1);
    d.model->insertRow(modelRow, d.MakeRow(text, image, data, group));
    d.SyncFocus();
    return d.Position(modelRow);
}

void SListView::DeleteRow(int row) {
    Impl& d = *impl_;
    if (!d.ValidRow(row)) {
        return;
    }
    const int modelRow = d.ModelRow(row);
    d.ShiftHeaders(modelRow + 1, -1);
    d.model->removeRow(modelRow);
    if (d.groupsEnabled) {
        d.RemoveEmptyHeaderBefore(modelRow);
    }
    d.SyncFocus();
}

void SListView::DeleteAllRows() {
    Impl& d = *impl_;
    if (d.editor != nullptr) {
        d.EndLabelEdit(std::nullopt);
    }
    d.headers.clear();
    // From the end, a block at a time: the model finds each item it deletes by searching its
    // parent's children from the end, so one removal of every row costs the square of their
    // number (half a second for 10,000 rows).
    constexpr int kBlock = 256;
    for (int rows = d.model->rowCount(); rows > 0; rows = d.model->rowCount()) {
        const int count = std::min(rows, kBlock);
        d.model->removeRows(rows - count, count);
    }
    d.focusIndex = QPersistentModelIndex();
    focusedRow_ = -1;
}

int SListView::RowCount() const {
    return impl_->RowCount();
}

QString SListView::Text(int row, int column) const {
    QStandardItem* cell = impl_->Cell(row, column);
    return cell != nullptr ? cell->text() : QString();
}

void SListView::SetText(int row, int column, const QString& text) {
    if (QStandardItem* cell = impl_->Cell(row, column)) {
        cell->setText(text);
    }
}

int SListView::Image(int row) const {
    QStandardItem* cell = impl_->Cell(row, 0);
    return cell != nullptr ? cell->data(kImageRole).toInt() : -1;
}

void SListView::SetImage(int row, int image) {
    if (QStandardItem* cell = impl_->Cell(row, 0)) {
        cell->setData(image, kImageRole);
    }
}

std::intptr_t SListView::Data(int row) const {
    QStandardItem* cell = impl_->Cell(row, 0);
    return cell != nullptr ? static_cast<std::intptr_t>(cell->data(kDataRole).toLongLong()) : 0;
}

void SListView::SetData(int row, std::intptr_t data) {
    if (QStandardItem* cell = impl_->Cell(row, 0)) {
        cell->setData(static_cast<qlonglong>(data), kDataRole);
    }
}

int SListView::FindRow(const QString& text) const {
    const int rows = RowCount();
    for (int row = 0; row < rows; ++row) {
        if (Text(row, 0).compare(text, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return -1;
}

void SListView::SetGroupsEnabled(bool enabled) {
    Impl& d = *impl_;
    if (d.groupsEnabled == enabled) {
        return;
    }
    d.groupsEnabled = enabled;
    d.Regroup();
    d.SyncFocus();
}

bool SListView::GroupsEnabled() const {
    return impl_->groupsEnabled;
}

void SListView::InsertGroup(int id, const QString& header) {
    Impl& d = *impl_;
    const bool known = d.groups.count(id) != 0;
    d.groups[id] = header;
    if (!d.groupsEnabled) {
        return;
    }
    if (known) {
        const int index = d.HeaderIndexOf(id);
        if (index >= 0) {
            d.model->item(d.headers[static_cast<std::size_t>(index)].modelRow, 0)->setText(header);
        }
        return;
    }
    // Rows that waited for this group move under its header.
    d.Regroup();
    d.SyncFocus();
}

void SListView::RemoveAllGroups() {
    Impl& d = *impl_;
    d.groups.clear();
    d.RemoveHeaders();
    d.SyncFocus();
}

void SListView::SetImageLists(const ImageList* small, const ImageList* normal) {
    impl_->smallImages = small;
    impl_->normalImages = normal;
    impl_->ApplyStyle();
}

void SListView::UpdateImages() {
    impl_->RefreshImages();
}

void SListView::SetStyle(Style style) {
    if (impl_->editor != nullptr) {
        impl_->EndLabelEdit(std::nullopt);
    }
    impl_->style = style;
    impl_->ApplyStyle();
}

SListView::Style SListView::GetStyle() const {
    return impl_->style;
}

void SListView::SetRedraw(bool on) {
    setUpdatesEnabled(on);
    if (on) {
        update();
    }
}

void SListView::SetBackground(const QColor& color, const QPixmap& watermark) {
    impl_->background = color;
    impl_->watermark = watermark;
    impl_->ApplyBackground(impl_->tree);
    impl_->ApplyBackground(impl_->list);
}

std::vector<int> SListView::SelectedRows() const {
    const Impl& d = *impl_;
    std::vector<int> rows;
    const QModelIndexList selected = d.tree->selectionModel()->selectedIndexes();
    for (const QModelIndex& index : selected) {
        if (index.column() == 0 && !d.IsHeaderRow(index.row())) {
            rows.push_back(d.Position(index.row()));
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void SListView::SetSelected(int row, bool selected) {
    Impl& d = *impl_;
    if (!d.ValidRow(row)) {
        return;
    }
    d.tree->selectionModel()->select(
        d.IndexOf(row), (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                            QItemSelectionModel::Rows);
}

void SListView::ClearSelection() {
    impl_->tree->selectionModel()->clearSelection();
}

void SListView::SetCutState(int row, bool cut) {
    if (QStandardItem* cell = impl_->Cell(row, 0)) {
        if (cell->data(kCutRole).toBool() != cut) {
            cell->setData(cut, kCutRole);
        }
    }
}

bool SListView::CutState(int row) const {
    QStandardItem* cell = impl_->Cell(row, 0);
    return cell != nullptr && cell->data(kCutRole).toBool();
}

bool SListView::BeginLabelEdit(int row) {
    Impl& d = *impl_;
    if (!d.ValidRow(row) || d.editor != nullptr) {
        return false;
    }
    if (!OnBeginLabelEdit(row)) {
        return false;
    }
    QAbstractItemView* view = CurrentItemView();
    const QModelIndex index = d.IndexOf(row);
    view->scrollTo(index);
    d.editIndex = QPersistentModelIndex(index);
    d.editor = new QLineEdit(view->viewport());
    d.editor->setText(Text(row, 0));
    d.editor->setFrame(true);
    d.editor->setGeometry(d.EditorRect(row));
    d.editor->installEventFilter(d.filter);
    d.editor->selectAll();
    d.editor->show();
    d.editor->setFocus(Qt::OtherFocusReason);
    return true;
}

bool SListView::IsLabelEditing() const {
    return impl_->editor != nullptr;
}

QLineEdit* SListView::LabelEditor() const {
    return impl_->editor;
}

bool SListView::SortByColumn(int order, int column, nbx::ui::CompareRule rule) {
    Impl& d = *impl_;
    if (order < 0) {
        ascending_ = true;
        sortColumn_ = column;
    } else if (order > 0) {
        ascending_ = false;
        sortColumn_ = column;
    } else if (column == sortColumn_) {
        ascending_ = !ascending_;
    } else {
        ascending_ = true;
        sortColumn_ = column;
    }
    if (column >= 0 && column < d.model->columnCount()) {
        d.tree->header()->setSortIndicatorShown(true);
        d.tree->header()->setSortIndicator(column,
                                           ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
    if (RowCount() == 0) {
        return false;
    }

    // Headers stay where they are; rows are ordered within the stretch between two headers.
    struct Entry {
        int modelRow;
        int segment;
        bool header;
        nbx::ui::SortKey key;
    };
    const int rows = d.model->rowCount();
    const bool hasColumn = column >= 0 && column < d.model->columnCount();
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(rows));
    std::size_t nextHeader = 0;
    int segment = 0;
    for (int row = 0; row < rows; ++row) {
        const bool header = nextHeader < d.headers.size() && d.headers[nextHeader].modelRow == row;
        if (header) {
            ++nextHeader;
            ++segment;
        }
        std::string text;
        if (!header && hasColumn) {
            // The comparisons look at no more than 256 characters.
            if (QStandardItem* cell = d.model->item(row, column)) {
                text = cell->text().left(256).toStdString();
            }
        }
        entries.push_back(Entry{row, segment, header, nbx::ui::MakeSortKey(rule, text)});
    }
    const bool ascending = ascending_;
    std::stable_sort(entries.begin(), entries.end(),
                     [rule, ascending](const Entry& a, const Entry& b) {
                         if (a.segment != b.segment) {
                             return a.segment < b.segment;
                         }
                         if (a.header != b.header) {
                             return a.header;
                         }
                         const int result = nbx::ui::CompareKeys(rule, a.key, b.key);
                         return ascending ? result < 0 : result > 0;
                     });
    std::vector<int> ranks(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        ranks[static_cast<std::size_t>(entries[static_cast<std::size_t>(i)].modelRow)] = i;
    }
    d.ApplyRanks(ranks);
    d.SyncFocus();
    return true;
}

void SListView::MoveRowToTop(int row, int group) {
    Impl& d = *impl_;
    if (row <= 0 || !d.ValidRow(row)) {
        return;
    }
    const QPersistentModelIndex old = d.IndexOf(row);
    const int top = InsertRow(0, Text(row, 0), Image(row), Data(row), group < 0 ? -1 : group);
    const int oldRow = d.Position(old.row());
    for (int column = 1; column < ColumnCount(); ++column) {
        SetText(top, column, Text(oldRow, column));
    }
    DeleteRow(oldRow);
}

int SListView::RowAt(const QPoint& point) const {
    const Impl& d = *impl_;
    QAbstractItemView* view = CurrentItemView();
    const QModelIndex index = view->indexAt(view->viewport()->mapFrom(this, point));
    if (!index.isValid() || d.IsHeaderRow(index.row())) {
        return -1;
    }
    return d.Position(index.row());
}

QRect SListView::RowRect(int row) const {
    const Impl& d = *impl_;
    if (!d.ValidRow(row)) {
        return {};
    }
    QAbstractItemView* view = CurrentItemView();
    const QModelIndex index = d.IndexOf(row);
    QRect rect = view->visualRect(index);
    if (view == d.tree) {
        // From the first column shown to the last, in whatever order they were moved.
        for (int column = 1; column < d.model->columnCount(); ++column) {
            rect = rect.united(view->visualRect(index.siblingAtColumn(column)));
        }
    }
    return QRect(view->viewport()->mapTo(this, rect.topLeft()), rect.size());
}

QAbstractItemView* SListView::CurrentItemView() const {
    return static_cast<QAbstractItemView*>(impl_->stack->currentWidget());
}

void SListView::OnColumnClick(int column) {
    SortByColumn(0, column, nbx::ui::CompareRule::kText);
}

void SListView::OnFocusedRowChanging(int, int) {}

bool SListView::OnBeginLabelEdit(int) {
    return impl_->style != Style::kDetails;
}

bool SListView::OnEndLabelEdit(int, const std::optional<QString>&) {
    return true;
}

void SListView::OnRowDoubleClicked(int, Qt::KeyboardModifiers) {}

void SListView::OnContextMenu(const QPoint&) {}

void SListView::OnSelectionChanged() {}

void SListView::OnKeyDown(QKeyEvent*) {}
