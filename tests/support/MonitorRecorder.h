#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

/// Records what the sound server plays, from a sink's monitor, with parec. Each sample gets
/// the monotonic time at which it reached the server, so that a test can time a sound from
/// the call that started it.
///
/// The time base is the earliest arrival seen: for every block read, its arrival time minus
/// the duration recorded so far bounds the recording's start from above, and the smallest
/// bound is the one with the least transport delay. The server renders with its own clock,
/// which may fall behind the real one (PipeWire's timer on a busy machine), so the bound is
/// taken among the blocks within a second of the sample timed.
class MonitorRecorder
{
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kRate = 48000;

    /// \a device is a PulseAudio source; by default the monitor of the default sink.
    explicit MonitorRecorder(std::string device = "@DEFAULT_MONITOR@");
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

    /// Starts parec and waits (at most \a timeout) until sound data flows. Returns false with
    /// \a error set if it could not start.
    bool start(std::string* error, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    /// Stops parec; the samples recorded so far stay available.
    void stop();

    /// Mono signed 16-bit samples at kRate recorded so far.
    std::vector<std::int16_t> samples() const;
    std::size_t sampleCount() const;
    /// When sample \a index reached the sound server.
    Clock::time_point timeOf(std::size_t index) const;

  private:
    void readLoop(int fd);

    std::string m_device;
    pid_t m_pid = -1;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::vector<std::int16_t> m_samples;
    // For each block read: the bound it gives, and the samples recorded with it.
    struct Block
    {
        std::size_t end;
        Clock::duration start;
    };
    std::vector<Block> m_blocks;
    bool m_ended = false;
};
