#pragma once

#include <cstdint>
#include <string>

// What the engines and the transfers report progress through; the window's progress dialog
// implements it. Transfers call it from their own thread: an implementation hands the values
// to its window's thread itself.
class CNbxComnProgressDlg {
public:
    virtual ~CNbxComnProgressDlg() = default;
    virtual void SetFileName(const std::string& text) = 0;
    virtual void SetSpeedText(const std::string& text) = 0;
    virtual void SetCountText(const std::string& text) = 0;
    virtual void SetTotalRange(int count) = 0;
    virtual void SetFileRange(std::uint64_t bytes) = 0;
    virtual void SetFilePos(std::uint64_t bytes) = 0;
    virtual void SetTotalPos(int count) = 0;
    virtual void ShowProgress() = 0;
    virtual void HideProgress() = 0;
    virtual bool IsProgressShown() = 0;
    virtual bool IsProgressWindow() = 0;  // the dialog's window exists
};
