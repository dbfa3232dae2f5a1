#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// Watches one folder with inotify and keeps, for every change to a file in it, the
/// monotonic time at which the change was seen. This is how the benchmarks see, from outside
/// and without changing the program, when it appended a line to its history log or wrote
/// its settings.
class FileEvents
{
  public:
    using Clock = std::chrono::steady_clock;

    struct Event
    {
        std::string name;
        std::uint32_t mask = 0;
        Clock::time_point at;
    };

    /// Starts watching \a folder for modifications, finished writes and files renamed into it.
    /// Throws std::runtime_error if it cannot.
    explicit FileEvents(const std::string& folder);
    ~FileEvents();
    FileEvents(const FileEvents&) = delete;
    FileEvents& operator=(const FileEvents&) = delete;

    /// Times of the events on \a name whose mask has a bit of \a mask, seen at or after \a since.
    std::vector<Clock::time_point> times(const std::string& name, std::uint32_t mask,
                                         Clock::time_point since = {}) const;

    /// Waits until times(name, mask, since) has at least \a count entries, or \a deadline.
    bool waitFor(const std::string& name, std::uint32_t mask, std::size_t count,
                 Clock::time_point since, Clock::time_point deadline) const;

  private:
    void readLoop();

    int m_fd = -1;
    int m_stopPipe[2] = {-1, -1};
    std::thread m_reader;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Event> m_events;
};
