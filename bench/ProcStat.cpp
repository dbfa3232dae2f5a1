#include "ProcStat.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <string>

namespace ProcStat {
namespace {

// Fields "name:\tvalue ..." of a /proc status file.
long long statusField(const std::string& path, const std::string& name)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, name.size() + 1, name + ":") == 0)
            return std::stoll(line.substr(name.size() + 1));
    return 0;
}

double runtimeSeconds(const std::string& taskDir)
{
    std::ifstream in(taskDir + "/schedstat");
    unsigned long long ns = 0;
    in >> ns;
    return static_cast<double>(ns) / 1e9;
}

} // namespace

std::optional<Sample> Tracker::sample()
{
    const std::string dir = "/proc/" + std::to_string(m_pid);
    Sample s;
    s.at = std::chrono::steady_clock::now();
    if (!std::ifstream(dir + "/status"))
        return std::nullopt;
    s.rssKiB = statusField(dir + "/status", "VmRSS");
    s.mainVoluntarySwitches = statusField(dir + "/status", "voluntary_ctxt_switches");
    s.mainInvoluntarySwitches = statusField(dir + "/status", "nonvoluntary_ctxt_switches");
    s.mainCpuSeconds = runtimeSeconds(dir + "/task/" + std::to_string(m_pid));

    DIR* tasks = opendir((dir + "/task").c_str());
    if (!tasks)
        return std::nullopt;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string task = dir + "/task/" + entry->d_name;
        Thread& thread = m_threads[entry->d_name];
        thread.cpuSeconds = std::max(thread.cpuSeconds, runtimeSeconds(task));
        thread.switches = std::max(thread.switches,
                                   statusField(task + "/status", "voluntary_ctxt_switches") +
                                       statusField(task + "/status", "nonvoluntary_ctxt_switches"));
        ++s.threads;
    }
    closedir(tasks);
    for (const auto& [id, thread] : m_threads) {
        s.cpuSeconds += thread.cpuSeconds;
        s.allSwitches += thread.switches;
    }
    return s;
}

Rates between(const Sample& from, const Sample& to)
{
    Rates r;
    r.seconds = std::chrono::duration<double>(to.at - from.at).count();
    if (r.seconds <= 0)
        return r;
    r.cpuFraction = (to.cpuSeconds - from.cpuSeconds) / r.seconds;
    r.mainCpuFraction = (to.mainCpuSeconds - from.mainCpuSeconds) / r.seconds;
    r.mainVoluntary = to.mainVoluntarySwitches - from.mainVoluntarySwitches;
    r.mainVoluntaryPerSecond = static_cast<double>(r.mainVoluntary) / r.seconds;
    r.mainSwitchesPerSecond = static_cast<double>(r.mainVoluntary + to.mainInvoluntarySwitches -
                                                  from.mainInvoluntarySwitches) /
                              r.seconds;
    r.allSwitchesPerSecond = static_cast<double>(to.allSwitches - from.allSwitches) / r.seconds;
    return r;
}

std::optional<Memory> memoryOf(pid_t pid)
{
    const std::string rollup = "/proc/" + std::to_string(pid) + "/smaps_rollup";
    if (!std::ifstream(rollup))
        return std::nullopt;
    Memory m;
    m.rssKiB = statusField(rollup, "Rss");
    m.pssKiB = statusField(rollup, "Pss");
    m.privateKiB = statusField(rollup, "Private_Clean") + statusField(rollup, "Private_Dirty");
    return m;
}

std::set<std::string> librariesOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
    std::set<std::string> libraries;
    std::string line;
    while (std::getline(in, line)) {
        const auto path = line.find('/');
        if (path != std::string::npos && line.find(".so", path) != std::string::npos)
            libraries.insert(line.substr(path));
    }
    return libraries;
}

} // namespace ProcStat
