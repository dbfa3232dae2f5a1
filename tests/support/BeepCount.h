#pragma once

#include "MonitorRecorder.h"

#include <vector>

/// Counts what became of a series of beeps in a recording of the sink's monitor: which were
/// heard, how late each began, and which were broken up by a dropout (a quiet stretch inside
/// the sound, after which the rest of it plays late).
namespace BeepCount {

using Clock = MonitorRecorder::Clock;

struct Figures
{
    int played = 0;
    int heard = 0;
    /// Beeps with a quiet stretch of at least Options::shortestGapSeconds inside them.
    int withDropout = 0;
    /// From each heard beep's call to its first sample at the server, in ascending order.
    std::vector<double> latenessMs;

    /// The \a fraction quantile of latenessMs (0.95: the 95th percentile); 0 if none heard.
    double lateness(double fraction) const;
};

struct Options
{
    /// A quiet stretch this long inside a beep counts as a dropout; shorter ones are the
    /// sound's own (a tone's zero crossings, its fades).
    double shortestGapSeconds = 0.010;
};

/// Matches each of \a calls with the sound recorded between it and the next call (or the end
/// of the recording): the beeps must be shorter than the time between two calls.
Figures count(const MonitorRecorder& recorder, const std::vector<Clock::time_point>& calls,
              const Options& options = {});

} // namespace BeepCount
