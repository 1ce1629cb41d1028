#pragma once

// The frame's transfer progress dialog, modeless. The engine thread calls the
// CNbxComnProgressDlg operations; each hands its values to the dialog's own thread and returns
// without waiting. Cancel, Escape and the close box abort the batch through the manager.

#include <QDialog>
#include <atomic>
#include <functional>

#include "remotefs/progress.h"

class CNbxComnManager;
class QLabel;
class QProgressBar;
class QPushButton;

class CDlgProgress : public QDialog, public CNbxComnProgressDlg {
    Q_OBJECT
public:
    // The manager is the owning frame's; it outlives the dialog.
    CDlgProgress(QWidget* frame, CNbxComnManager* manager);
    ~CDlgProgress() override;

    void SetFileName(const std::string& text) override;
    void SetSpeedText(const std::string& text) override;
    void SetCountText(const std::string& text) override;
    void SetTotalRange(int count) override;
    void SetFileRange(std::uint64_t bytes) override;
    void SetFilePos(std::uint64_t bytes) override;
    void SetTotalPos(int count) override;
    void ShowProgress() override;
    void HideProgress() override;
    bool IsProgressShown() override;
    bool IsProgressWindow() override;

    // The caption, set by the frame for each batch.
    void SetCaption(const QString& caption);

    // For tests: the texts and bars as shown.
    QString FileNameText() const;
    QString SpeedText() const;
    QString CountText() const;
    QProgressBar* FileBar() const { return fileBar_; }
    QProgressBar* TotalBar() const { return totalBar_; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    void reject() override;  // Escape and the close box

private:
    // At once on the dialog's thread, else queued to it without waiting.
    void RunOnDialogThread(std::function<void()> fn);
    void CentreOverOwner();

    CNbxComnManager* manager_;
    std::atomic<bool> shown_{false};
    std::atomic<int> fileShift_{0};  // the file range's scale to the bar's int range
    std::atomic<int> pendingFilePos_{0};
    std::atomic<bool> filePosQueued_{false};
    QLabel* fileName_;
    QLabel* speed_;
    QLabel* count_;
    QProgressBar* fileBar_;
    QProgressBar* totalBar_;
    QPushButton* cancel_;
};
