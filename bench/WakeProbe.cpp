#include "WakeProbe.h"

#include <ctime>

namespace {

timespec operator+(timespec t, std::chrono::nanoseconds d)
{
    const long long ns = t.tv_nsec + d.count();
    t.tv_sec += static_cast<time_t>(ns / 1000000000);
    t.tv_nsec = static_cast<long>(ns % 1000000000);
    return t;
}

double msBetween(const timespec& from, const timespec& to)
{
    return static_cast<double>(to.tv_sec - from.tv_sec) * 1e3 +
           static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e6;
}

} // namespace

WakeProbe::WakeProbe(std::chrono::milliseconds period) : m_period(period)
{
    m_thread = std::thread([this] {
        timespec due{};
        clock_gettime(CLOCK_MONOTONIC, &due);
        while (!m_stop) {
            due = due + m_period;
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) != 0) {
            }
            timespec woke{};
            clock_gettime(CLOCK_MONOTONIC, &woke);
            m_lateMs.push_back(msBetween(due, woke));
        }
    });
}

WakeProbe::~WakeProbe()
{
    stop();
}

std::vector<double> WakeProbe::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    return m_lateMs;
}
