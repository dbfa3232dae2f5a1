#include "ToneOnsets.h"

#include <cmath>
#include <cstdlib>

namespace ToneOnsets {

std::vector<Tone> find(const std::int16_t* samples, std::size_t count, int rate,
                       const Options& options)
{
    const int level = static_cast<int>(std::lround(options.threshold * 32768.0));
    const auto gap = static_cast<std::size_t>(std::lround(options.minSilenceSeconds * rate));
    std::vector<Tone> tones;
    bool inTone = false;
    Tone current;
    for (std::size_t i = 0; i < count; ++i) {
        if (std::abs(static_cast<int>(samples[i])) <= level)
            continue;
        if (inTone && i - current.end < gap) {
            current.end = i + 1;
            continue;
        }
        if (inTone)
            tones.push_back(current);
        inTone = true;
        current = {i, i + 1};
    }
    if (inTone)
        tones.push_back(current);
    return tones;
}

} // namespace ToneOnsets
