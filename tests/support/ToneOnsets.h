#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// Finds the tones in a mono recording: stretches where the signal rises above a threshold
/// after silence. Used to count the beeps that really reached the sound server and to time
/// their onsets.
namespace ToneOnsets {

/// One tone, as sample positions in the recording.
struct Tone
{
    std::size_t start = 0; ///< first sample above the threshold
    std::size_t end = 0;   ///< one past the last sample above the threshold
};

struct Options
{
    /// Level that counts as sound, as a fraction of full scale (0.01 is -40 dBFS).
    double threshold = 0.01;
    /// Quiet time that separates two tones; longer than half a period of any tone, so that
    /// a tone's zero crossings never split it.
    double minSilenceSeconds = 0.03;
};

/// The tones in \a samples (signed 16-bit, mono, \a rate samples a second), in time order.
std::vector<Tone> find(const std::int16_t* samples, std::size_t count, int rate,
                       const Options& options = {});

} // namespace ToneOnsets
