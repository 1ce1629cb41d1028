#pragma once

// The monotonic clock and the waiting times of the program's timers, in one place so that
// tests can move time forward or shorten the waits instead of sleeping through them. In the
// program the clock is steady_clock itself and every wait is as asked.

#include <chrono>

namespace nbx::clock {

using Clock = std::chrono::steady_clock;

// steady_clock's time plus whatever a test has advanced it by.
Clock::time_point Now();
// How long a timer asked for `interval` waits: the interval, or a test's shorter cap.
std::chrono::milliseconds Wait(std::chrono::milliseconds interval);
// Wait() in whole milliseconds, at least 1, for QObject::startTimer and its kind.
int WaitMs(std::chrono::milliseconds interval);

// For tests: while it lives, Now() runs ahead by what Advance added and Wait() returns at most
// the cap; both are undone when it goes. Safe to use with engine threads reading the clock.
class TestClock {
public:
    TestClock();
    ~TestClock();
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;

    void Advance(std::chrono::milliseconds by);
    void CapWaits(std::chrono::milliseconds cap);
};

}  // namespace nbx::clock
