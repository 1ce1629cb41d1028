#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include "ui/main_frame.h"
#include "widgets/icons.h"
#include "widgets/ui_events.h"

namespace {

constexpr int kIndentRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 10;

// Draws each item of the drop-down list indented by its level.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.adjust(Indent(index), 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(Indent(index), 0);
    }

private:
    static int Indent(const QModelIndex& index) {
        return index.data(kIndentRole).toInt() * kIndentPixels;
    }
};

bool IsEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

CAddressBar::CAddressBar(CMainFrame* owner) : QComboBox(owner), owner_(owner) {
    setObjectName("addressBar");
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setIconSize(QSize(16, 16));
    setMinimumContentsLength(24);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMaxVisibleItems(20);
    setItemDelegate(new IndentDelegate(this));
    lineEdit()->installEventFilter(this);
    // Only a pick by the user counts; filling the bar selects without a signal.
    connect(this, &QComboBox::activated, owner_, [this] { owner_->OnAddressPicked(); });
}

QIcon CAddressBar::Image(int index) {
    if (index == 0) {
        return nbx::ui::ResourceIcon(128);
    }
    if (index == 1) {
        return nbx::ui::FolderIcon();
    }
    return nbx::ui::ResourceIcon(nbx::ui::DeviceIconResource(index - 2));
}

void CAddressBar::SetItems(const nbx::ui::AddressBarItems& items) {
    const QSignalBlocker quiet(this);
    clear();
    records_ = items.items;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const nbx::ui::AddressItem& item = records_[i];
        addItem(Image(item.image), QString::fromStdString(item.text));
        setItemData(static_cast<int>(i), item.indent, kIndentRole);
    }
    setCurrentIndex(items.selected >= 0 && items.selected < count() ? items.selected : -1);
}

const nbx::ui::AddressItem* CAddressBar::SelectedRecord() const {
    const int index = currentIndex();
    if (index < 0 || index >= static_cast<int>(records_.size())) {
        return nullptr;
    }
    return &records_[static_cast<std::size_t>(index)];
}

QString CAddressBar::EditText() const {
    return currentText();
}

void CAddressBar::SetEditText(const QString& text) {
    setEditText(text);
}

void CAddressBar::keyPressEvent(QKeyEvent* event) {
    if (IsEnter(event)) {
        nbx::ui::PostMessage(owner_, nbx::ui::WM_ADDRESS_ENTERED);
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool CAddressBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::KeyPress &&
        IsEnter(static_cast<QKeyEvent*>(event))) {
        nbx::ui::PostMessage(owner_, nbx::ui::WM_ADDRESS_ENTERED);
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}
