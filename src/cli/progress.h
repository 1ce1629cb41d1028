#pragma once

#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>

#include "remotefs/progress.h"

namespace nbx::cli {

// A one-line progress bar with the speed, redrawn on standard error while a transfer runs.
// Only shown on a terminal; scripts get no progress output.
class TerminalProgress : public CNbxComnProgressDlg {
public:
    TerminalProgress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    ~TerminalProgress() override { Finish(); }

    void SetFileName(const std::string& text) override;
    void SetSpeedText(const std::string& text) override;
    void SetCountText(const std::string&) override {}
    void SetTotalRange(int) override {}
    void SetFileRange(std::uint64_t bytes) override;
    void SetFilePos(std::uint64_t bytes) override;
    void SetTotalPos(int) override {}
    void ShowProgress() override {}
    void HideProgress() override {}
    bool IsProgressShown() override { return enabled_; }
    bool IsProgressWindow() override { return enabled_; }

    void Finish();  // ends the line

private:
    void Draw();

    std::ostream& err_;
    const bool enabled_;
    std::mutex mutex_;
    std::string name_;
    std::string speed_ = "N/A";
    std::uint64_t total_ = 0;
    std::uint64_t pos_ = 0;
    std::int64_t lastDraw_ = 0;
    bool drawn_ = false;
};

}  // namespace nbx::cli
