#include "widgets/dlg_modal.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "base/version.h"
#include "platform/xdg.h"
#include "widgets/icons.h"
#include "widgets/ui_events.h"
#include "widgets/ui_texts.h"

namespace {

// Shown when the build carries no copyright of its own.
constexpr const char* kFallbackCopyright = "Copyright (C) The NimbexShell developers";

}  // namespace

CDlgModalNativeDialog::CDlgModalNativeDialog(QWidget* parent) : QDialog(parent) {}

void CDlgModalNativeDialog::EndModal(int code) {
    done(code);
}

int CDlgModalNativeDialog::DoModal() {
    QCoreApplication* app = QCoreApplication::instance();
    if (qobject_cast<QApplication*>(app) == nullptr || QThread::currentThread() != app->thread()) {
        return -1;
    }
    return exec();
}

void CDlgModalNativeDialog::EndAllBelow(QWidget* widget, int code) {
    if (widget == nullptr) {
        return;
    }
    // Modal dialogs are top-level windows parented to the frame, and a dialog opened from a
    // dialog is a child of that one. Innermost first, so each modal loop can unwind. The HTML
    // dialogs take the same message; every other dialog ignores it.
    QList<QDialog*> dialogs = widget->findChildren<QDialog*>();
    std::reverse(dialogs.begin(), dialogs.end());
    QList<QPointer<QDialog>> guarded(dialogs.begin(), dialogs.end());
    for (const QPointer<QDialog>& dialog : guarded) {
        if (!dialog.isNull()) {
            nbx::ui::SendMessage(dialog.data(), nbx::ui::WM_END_MODAL, {}, code);
        }
    }
}

bool CDlgModalNativeDialog::event(QEvent* event) {
    if (nbx::ui::IsMessage(event, nbx::ui::WM_END_MODAL)) {
        EndModal(static_cast<int>(static_cast<nbx::ui::NbxEvent*>(event)->lparam));
        return true;
    }
    return QDialog::event(event);
}

CDlgAbout::CDlgAbout(QWidget* parent) : CDlgModalNativeDialog(parent) {
    setWindowTitle(nbx::ui::Tr("About NimbexShell"));

    std::string name;
    if (!Version::GetProductName(name)) {
        name = nbx::xdg::kAppName;
    }
    std::string version;
    if (!Version::GetProductVersion(version)) {
        version = "Unknown";
    }
    std::string copyright;
    if (!Version::GetLegalCopyright(copyright)) {
        copyright = kFallbackCopyright;
    }
    std::string comments;
    const bool hasComments = Version::GetComments(comments);

    auto* icon = new QLabel(this);
    const QIcon appIcon = nbx::ui::ResourceIcon(128);
    if (!appIcon.isNull()) {
        icon->setPixmap(appIcon.pixmap(32, 32));
    }
    icon->setFixedSize(32, 32);

    product_ = new QLabel(nbx::ui::Tr("%1 Version %2")
                              .arg(QString::fromStdString(name), QString::fromStdString(version)),
                          this);
    copyright_ = new QLabel(QString::fromStdString(copyright), this);
    comments_ = new QLabel(
        hasComments ? QString::fromStdString(comments) : nbx::ui::Tr("All rights reserved."), this);

    auto* texts = new QVBoxLayout;
    texts->addWidget(product_);
    texts->addWidget(copyright_);
    texts->addWidget(comments_);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(nbx::ui::Tr("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CDlgAbout::ProductLine() const {
    return product_->text();
}

QString CDlgAbout::CopyrightLine() const {
    return copyright_->text();
}

QString CDlgAbout::CommentsLine() const {
    return comments_->text();
}
