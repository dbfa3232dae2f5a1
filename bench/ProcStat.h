#pragma once

#include <set>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

/// What the kernel counts for a running process, read from /proc.
namespace ProcStat {

struct Sample
{
    std::chrono::steady_clock::time_point at;
    /// CPU time of all threads, from the scheduler's nanosecond counters (finer than the
    /// clock ticks of /proc/<pid>/stat, which matter at a few milliseconds a minute).
    double cpuSeconds = 0;
    /// CPU time of the main (GUI) thread alone.
    double mainCpuSeconds = 0;
    /// Context switches of the main thread (/proc/<pid>/status): each voluntary one is a
    /// wake-up of the event loop.
    long long mainVoluntarySwitches = 0;
    long long mainInvoluntarySwitches = 0;
    /// Context switches of all threads (the X reader, D-Bus, sound threads...).
    long long allSwitches = 0;
    /// Resident memory.
    long long rssKiB = 0;
    /// Threads alive now.
    int threads = 0;
};

/// Samples of one process that keep counting its threads that have ended: a thread that is
/// gone keeps the figures it had when last seen. Sample often (every 100 ms or so) where
/// threads come and go; Qt's thread pool, for one, ends threads that stayed idle for 30 s.
class Tracker
{
  public:
    explicit Tracker(pid_t pid) : m_pid(pid) {}

    /// The figures of the process now, or nothing if it is gone.
    std::optional<Sample> sample();

  private:
    struct Thread
    {
        double cpuSeconds = 0;
        long long switches = 0;
    };
    pid_t m_pid;
    std::map<std::string, Thread> m_threads; // by thread id
};

/// Differences between two samples of the same process, per second of the time between them.
struct Rates
{
    double seconds = 0;
    double cpuFraction = 0;     ///< of one core, all threads
    double mainCpuFraction = 0; ///< of one core, main thread
    double mainSwitchesPerSecond = 0;
    double mainVoluntaryPerSecond = 0;
    double allSwitchesPerSecond = 0;
    long long mainVoluntary = 0; ///< count, not rate
};
Rates between(const Sample& from, const Sample& to);

/// Memory of a process as the kernel accounts it (/proc/<pid>/smaps_rollup), in KiB:
/// resident, proportional (shared pages divided among their users) and private to it.
struct Memory
{
    long long rssKiB = 0;
    long long pssKiB = 0;
    long long privateKiB = 0;
};
std::optional<Memory> memoryOf(pid_t pid);

/// The shared libraries mapped into a process (/proc/<pid>/maps), by path.
std::set<std::string> librariesOf(pid_t pid);

} // namespace ProcStat
