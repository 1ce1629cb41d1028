#include "cli/progress.h"

#include <chrono>
#include <cstdio>
#include <ostream>

#include "base/control_text.h"

namespace nbx::cli {

namespace {

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void TerminalProgress::SetFileName(const std::string& text) {
    std::lock_guard lock(mutex_);
    name_ = ShowControlCharacters(text);
}

void TerminalProgress::SetSpeedText(const std::string& text) {
    std::lock_guard lock(mutex_);
    speed_ = text;
}

void TerminalProgress::SetFileRange(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    total_ = bytes;
    pos_ = 0;
    Draw();
}

void TerminalProgress::SetFilePos(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    pos_ = bytes;
    // Redrawing every block would cost more than the transfer; ten times a second is smooth.
    if (NowMs() - lastDraw_ >= 100 || pos_ == total_) {
        Draw();
    }
}

void TerminalProgress::Draw() {
    if (!enabled_) {
        return;
    }
    lastDraw_ = NowMs();
    constexpr int kWidth = 30;
    const double fraction = total_ > 0 ? static_cast<double>(pos_) / total_ : 0.0;
    const int filled = static_cast<int>(fraction * kWidth);
    char line[160];
    std::snprintf(line, sizeof line, "\r%-24.24s [%-*s] %3d%% %12llu  %s   ", name_.c_str(), kWidth,
                  std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  static_cast<int>(fraction * 100), static_cast<unsigned long long>(pos_),
                  speed_.c_str());
    err_ << line << std::flush;
    drawn_ = true;
}

void TerminalProgress::Finish() {
    std::lock_guard lock(mutex_);
    if (drawn_) {
        err_ << '\n' << std::flush;
        drawn_ = false;
    }
}

}  // namespace nbx::cli
