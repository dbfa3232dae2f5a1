#include "FileEvents.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <unistd.h>

FileEvents::FileEvents(const std::string& folder)
{
    m_fd = inotify_init1(IN_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error(std::string("inotify: ") + std::strerror(errno));
    if (inotify_add_watch(m_fd, folder.c_str(), IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO) < 0 ||
        pipe2(m_stopPipe, O_CLOEXEC) != 0) {
        const std::string why = std::strerror(errno);
        close(m_fd);
        throw std::runtime_error("cannot watch " + folder + ": " + why);
    }
    m_reader = std::thread([this] { readLoop(); });
}

FileEvents::~FileEvents()
{
    const char stop = 0;
    [[maybe_unused]] const ssize_t written = write(m_stopPipe[1], &stop, 1);
    m_reader.join();
    close(m_fd);
    close(m_stopPipe[0]);
    close(m_stopPipe[1]);
}

std::vector<FileEvents::Clock::time_point>
FileEvents::times(const std::string& name, std::uint32_t mask, Clock::time_point since) const
{
    std::lock_guard lock(m_mutex);
    std::vector<Clock::time_point> result;
    for (const Event& event : m_events)
        if (event.name == name && (event.mask & mask) && event.at >= since)
            result.push_back(event.at);
    return result;
}

bool FileEvents::waitFor(const std::string& name, std::uint32_t mask, std::size_t count,
                         Clock::time_point since, Clock::time_point deadline) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_until(lock, deadline, [&] {
        std::size_t found = 0;
        for (const Event& event : m_events)
            if (event.name == name && (event.mask & mask) && event.at >= since)
                ++found;
        return found >= count;
    });
}

void FileEvents::readLoop()
{
    // The watcher is the stopwatch: on a busy machine an ordinary thread may be woken
    // milliseconds late, a real-time one is not. It sleeps all the time it does not read, so
    // the program under test keeps its share. Without the right to do so it stays ordinary.
    sched_param realtime{};
    realtime.sched_priority = 10;
    sched_setscheduler(0, SCHED_FIFO, &realtime);

    alignas(inotify_event) char buffer[4096];
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        const ssize_t length = read(m_fd, buffer, sizeof buffer);
        const auto at = Clock::now();
        if (length <= 0)
            continue;
        std::lock_guard lock(m_mutex);
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            m_events.push_back(
                {event->len ? std::string(event->name) : std::string(), event->mask, at});
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
        m_changed.notify_all();
    }
}
