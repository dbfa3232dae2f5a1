#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

/// The machine's own timer lateness, as a control for the program's: an ordinary thread that
/// sleeps to absolute deadlines on the monotonic clock and notes how late it woke each time.
/// What it sees while a program is measured is lateness that no program could avoid.
class WakeProbe
{
  public:
    /// Starts waking every \a period.
    explicit WakeProbe(std::chrono::milliseconds period = std::chrono::milliseconds(100));
    ~WakeProbe();
    WakeProbe(const WakeProbe&) = delete;
    WakeProbe& operator=(const WakeProbe&) = delete;

    /// Stops the thread and returns the lateness of each wake-up, in milliseconds.
    std::vector<double> stop();

  private:
    std::chrono::milliseconds m_period;
    std::atomic<bool> m_stop{false};
    std::vector<double> m_lateMs;
    std::thread m_thread;
};
