#include "BeepCount.h"

#include "ToneOnsets.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace BeepCount {

namespace {

// The recorder's time base may put an onset slightly before its call (by up to the monitor's
// block size).
constexpr auto kEarlyAllowance = std::chrono::milliseconds(5);

} // namespace

double Figures::lateness(double fraction) const
{
    if (latenessMs.empty())
        return 0;
    const auto last = static_cast<double>(latenessMs.size() - 1);
    return latenessMs[static_cast<std::size_t>(std::ceil(fraction * last))];
}

Figures count(const MonitorRecorder& recorder, const std::vector<Clock::time_point>& calls,
              const Options& options)
{
    const auto samples = recorder.samples();
    ToneOnsets::Options pieces;
    pieces.minSilenceSeconds = options.shortestGapSeconds;
    const auto found =
        ToneOnsets::find(samples.data(), samples.size(), MonitorRecorder::kRate, pieces);
    Figures figures;
    figures.played = static_cast<int>(calls.size());
    std::size_t t = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto next =
            i + 1 < calls.size() ? calls[i + 1] - kEarlyAllowance : Clock::time_point::max();
        while (t < found.size() && recorder.timeOf(found[t].start) < calls[i] - kEarlyAllowance)
            ++t;
        int pieceCount = 0;
        for (; t < found.size() && recorder.timeOf(found[t].start) < next; ++t) {
            if (pieceCount++ == 0)
                figures.latenessMs.push_back(std::chrono::duration<double, std::milli>(
                                                 recorder.timeOf(found[t].start) - calls[i])
                                                 .count());
        }
        figures.heard += pieceCount > 0;
        figures.withDropout += pieceCount > 1;
    }
    std::sort(figures.latenessMs.begin(), figures.latenessMs.end());
    return figures;
}

} // namespace BeepCount
