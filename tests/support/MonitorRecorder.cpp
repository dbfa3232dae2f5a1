#include "MonitorRecorder.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How long parec may let the sound sit in the server before it takes it. Short, so that
// blocks arrive soon after the server renders them; but on PipeWire a capture's latency sets
// the cycle of the whole graph, and a cycle of a millisecond loses sound on a busy machine,
// in the recording and in what is played.
int captureLatencyMs()
{
    FILE* info = popen("pactl info 2>/dev/null", "r");
    if (!info)
        return 1;
    char line[256];
    bool pipeWire = false;
    while (std::fgets(line, sizeof line, info))
        pipeWire = pipeWire || std::strstr(line, "PipeWire");
    pclose(info);
    return pipeWire ? 20 : 1;
}

} // namespace

MonitorRecorder::MonitorRecorder(std::string device) : m_device(std::move(device))
{
}

MonitorRecorder::~MonitorRecorder()
{
    stop();
}

bool MonitorRecorder::start(std::string* error, std::chrono::milliseconds timeout)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const std::string deviceArg = "--device=" + m_device;
    const std::string rateArg = "--rate=" + std::to_string(kRate);
    const std::string latencyArg = "--latency-msec=" + std::to_string(captureLatencyMs());
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (m_pid == 0) {
        // parec must not outlive a test that crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        dup2(fds[1], STDOUT_FILENO);
        execlp("parec", "parec", "--raw", "--format=s16le", "--channels=1", rateArg.c_str(),
               latencyArg.c_str(), deviceArg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    m_reader = std::thread([this, fd = fds[0]] { readLoop(fd); });

    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        {
            std::lock_guard lock(m_mutex);
            if (m_samples.size() >= kRate / 5)
                return true;
            if (m_ended)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    *error = "parec delivered no sound data from " + m_device;
    stop();
    return false;
}

void MonitorRecorder::stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    if (m_reader.joinable())
        m_reader.join();
}

void MonitorRecorder::readLoop(int fd)
{
    std::vector<char> block(8192);
    std::size_t pending = 0; // bytes of an odd trailing half sample
    char carry = 0;
    for (;;) {
        const ssize_t n = read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const auto arrival = Clock::now();
        std::lock_guard lock(m_mutex);
        std::size_t i = 0;
        if (pending) {
            const unsigned char bytes[2] = {static_cast<unsigned char>(carry),
                                            static_cast<unsigned char>(block[0])};
            m_samples.push_back(static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8)));
            pending = 0;
            i = 1;
        }
        for (; i + 1 < static_cast<std::size_t>(n); i += 2) {
            const auto lo = static_cast<unsigned char>(block[i]);
            const auto hi = static_cast<unsigned char>(block[i + 1]);
            m_samples.push_back(static_cast<std::int16_t>(lo | (hi << 8)));
        }
        if (i < static_cast<std::size_t>(n)) {
            carry = block[i];
            pending = 1;
        }
        const auto recorded = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(m_samples.size()) / kRate));
        m_blocks.push_back({m_samples.size(), arrival.time_since_epoch() - recorded});
    }
    close(fd);
    std::lock_guard lock(m_mutex);
    m_ended = true;
}

std::vector<std::int16_t> MonitorRecorder::samples() const
{
    std::lock_guard lock(m_mutex);
    return m_samples;
}

std::size_t MonitorRecorder::sampleCount() const
{
    std::lock_guard lock(m_mutex);
    return m_samples.size();
}

MonitorRecorder::Clock::time_point MonitorRecorder::timeOf(std::size_t index) const
{
    constexpr std::size_t kWindow = kRate;
    std::lock_guard lock(m_mutex);
    const auto first =
        std::lower_bound(m_blocks.begin(), m_blocks.end(), index > kWindow ? index - kWindow : 0,
                         [](const Block& block, std::size_t at) { return block.end < at; });
    Clock::duration start = Clock::duration::max();
    for (auto block = first; block != m_blocks.end() && block->end <= index + kWindow; ++block)
        start = std::min(start, block->start);
    if (start == Clock::duration::max() && !m_blocks.empty())
        start = m_blocks.back().start;
    const auto at = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(index) / kRate));
    return Clock::time_point(start + at);
}
