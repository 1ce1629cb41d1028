#include "ui/dlg_progress.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>
#include <climits>

#include "comn/comn_manager.h"
#include "widgets/ui_texts.h"

namespace {

// The bars count in int; a file range above that is shifted down, and its positions with it.
int ScaleShift(std::uint64_t range) {
    int shift = 0;
    while ((range >> shift) > static_cast<std::uint64_t>(INT_MAX)) {
        ++shift;
    }
    return shift;
}

// A bar of range 0..0 would show Qt's busy animation; an empty one is meant.
void SetBarRange(QProgressBar* bar, int maximum) {
    bar->setRange(0, maximum > 0 ? maximum : 1);
    if (maximum <= 0) {
        bar->setValue(0);
    }
}

void SetBarPos(QProgressBar* bar, int pos) {
    bar->setValue(std::clamp(pos, bar->minimum(), bar->maximum()));
}

}  // namespace

CDlgProgress::CDlgProgress(QWidget* frame, CNbxComnManager* manager)
    : QDialog(frame), manager_(manager) {
    setModal(false);
    setWindowTitle(nbx::ui::Tr("Title"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    fileName_ = new QLabel(nbx::ui::Tr("File Name"), this);
    speed_ = new QLabel(nbx::ui::Tr("N/A"), this);
    fileBar_ = new QProgressBar(this);
    auto* totalCaption = new QLabel(nbx::ui::Tr("Total..."), this);
    count_ = new QLabel(nbx::ui::Tr("N/A"), this);
    totalBar_ = new QProgressBar(this);
    cancel_ = new QPushButton(nbx::ui::Tr("Cancel"), this);

    // Long names are cut by the label instead of widening the dialog.
    fileName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    fileName_->setTextFormat(Qt::PlainText);
    for (QLabel* label : {speed_, count_}) {
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(fontMetrics().averageCharWidth() * 41 / 4);
    }
    for (QProgressBar* bar : {fileBar_, totalBar_}) {
        bar->setTextVisible(false);
        SetBarRange(bar, 0);
    }
    fileBar_->setValue(0);
    totalBar_->setValue(0);

    auto* grid = new QGridLayout;
    grid->addWidget(fileName_, 0, 0);
    grid->addWidget(speed_, 0, 1);
    grid->addWidget(fileBar_, 1, 0, 1, 2);
    grid->addWidget(totalCaption, 2, 0);
    grid->addWidget(count_, 2, 1);
    grid->addWidget(totalBar_, 3, 0, 1, 2);
    grid->setColumnStretch(0, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    // The template's 243 x 92 dialog units.
    const QFontMetrics metrics = fontMetrics();
    setMinimumWidth(243 * metrics.averageCharWidth() / 4);
    resize(minimumWidth(), std::max(sizeHint().height(), 92 * metrics.height() / 8));

    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        // The batch ends on its own; the manager hides the dialog then.
        if (manager_ != nullptr) {
            manager_->RequestAbort();
        }
    });
}

CDlgProgress::~CDlgProgress() = default;

void CDlgProgress::RunOnDialogThread(std::function<void()> fn) {
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    // Dropped with the dialog if it is gone before its thread gets to it.
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void CDlgProgress::SetFileName(const std::string& text) {
    RunOnDialogThread([this, text = QString::fromStdString(text)] { fileName_->setText(text); });
}

void CDlgProgress::SetSpeedText(const std::string& text) {
    RunOnDialogThread([this, text = QString::fromStdString(text)] { speed_->setText(text); });
}

void CDlgProgress::SetCountText(const std::string& text) {
    RunOnDialogThread([this, text = QString::fromStdString(text)] { count_->setText(text); });
}

void CDlgProgress::SetTotalRange(int count) {
    RunOnDialogThread([this, count] { SetBarRange(totalBar_, count); });
}

void CDlgProgress::SetFileRange(std::uint64_t bytes) {
    const int shift = ScaleShift(bytes);
    fileShift_.store(shift);
    const int maximum = static_cast<int>(bytes >> shift);
    RunOnDialogThread([this, maximum] { SetBarRange(fileBar_, maximum); });
}

void CDlgProgress::SetFilePos(std::uint64_t bytes) {
    const std::uint64_t scaled = bytes >> fileShift_.load();
    const int pos =
        scaled > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(scaled);
    // A transfer reports every block; only the latest position matters once the dialog's thread
    // gets to it, so at most one update is on its way.
    pendingFilePos_.store(pos);
    if (QThread::currentThread() == thread()) {
        SetBarPos(fileBar_, pos);
        return;
    }
    if (!filePosQueued_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                filePosQueued_.store(false);
                SetBarPos(fileBar_, pendingFilePos_.load());
            },
            Qt::QueuedConnection);
    }
}

void CDlgProgress::SetTotalPos(int count) {
    RunOnDialogThread([this, count] { SetBarPos(totalBar_, count); });
}

void CDlgProgress::ShowProgress() {
    shown_.store(true);
    RunOnDialogThread([this] {
        speed_->setText(nbx::ui::Tr("N/A"));
        count_->setText(nbx::ui::Tr("N/A"));
        SetBarPos(fileBar_, 0);
        SetBarPos(totalBar_, 0);
        // Hidden again before this arrived: the later wish wins.
        if (!shown_.load()) {
            return;
        }
        CentreOverOwner();
        show();
        raise();
        activateWindow();
    });
}

void CDlgProgress::HideProgress() {
    shown_.store(false);
    RunOnDialogThread([this] {
        if (!shown_.load()) {
            hide();
        }
    });
}

bool CDlgProgress::IsProgressShown() {
    return shown_.load();
}

bool CDlgProgress::IsProgressWindow() {
    // The window lives as long as the dialog object.
    return true;
}

void CDlgProgress::SetCaption(const QString& caption) {
    RunOnDialogThread([this, caption] { setWindowTitle(caption); });
}

QString CDlgProgress::FileNameText() const {
    return fileName_->text();
}

QString CDlgProgress::SpeedText() const {
    return speed_->text();
}

QString CDlgProgress::CountText() const {
    return count_->text();
}

void CDlgProgress::reject() {
    if (manager_ != nullptr) {
        manager_->RequestAbort();
    }
    HideProgress();
}

void CDlgProgress::CentreOverOwner() {
    const QSize size = frameGeometry().size().expandedTo(sizeHint());
    QRect area;
    if (QWidget* owner = parentWidget(); owner != nullptr && owner->isVisible()) {
        area = owner->window()->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid()) {
        move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}
