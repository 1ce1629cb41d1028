#include "platform/clock.h"

#include <algorithm>
#include <atomic>

namespace nbx::clock {
namespace {

std::atomic<std::int64_t> g_offsetMs{0};
std::atomic<std::int64_t> g_capMs{0};  // 0: no cap

}  // namespace

Clock::time_point Now() {
    return Clock::now() + std::chrono::milliseconds(g_offsetMs.load());
}

std::chrono::milliseconds Wait(std::chrono::milliseconds interval) {
    const std::int64_t cap = g_capMs.load();
    return cap > 0 ? std::min(interval, std::chrono::milliseconds(cap)) : interval;
}

int WaitMs(std::chrono::milliseconds interval) {
    return static_cast<int>(std::max<std::int64_t>(1, Wait(interval).count()));
}

TestClock::TestClock() = default;

TestClock::~TestClock() {
    g_offsetMs = 0;
    g_capMs = 0;
}

void TestClock::Advance(std::chrono::milliseconds by) {
    g_offsetMs += by.count();
}

void TestClock::CapWaits(std::chrono::milliseconds cap) {
    g_capMs = std::max<std::int64_t>(1, cap.count());
}

}  // namespace nbx::clock
