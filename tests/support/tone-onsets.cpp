// tone-onsets: lists the tones in a recording of the sound server's output, one line each:
// the onset and the duration in milliseconds. Reads raw signed 16-bit little-endian samples
// (parec --raw --format=s16le) or a 16-bit PCM WAV file (parecord), from a file or stdin.
//
//   tone-onsets [--rate N] [--channels N] [--threshold F] [--min-silence-ms N] [FILE]
//
// Defaults: 44100 Hz, 2 channels (PulseAudio's default), threshold 0.01 of full scale
// (-40 dBFS), tones separated by at least 30 ms of silence. A WAV header overrides rate and
// channels.

#include "ToneOnsets.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::cerr << "usage: tone-onsets [--rate N] [--channels N] [--threshold F] "
                 "[--min-silence-ms N] [FILE]\n";
    return 2;
}

std::uint32_t le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

// Skips a WAV header if there is one; returns the offset of the samples.
std::size_t parseWav(const std::vector<unsigned char>& bytes, int& rate, int& channels)
{
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return 0;
    std::size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const std::uint32_t size = le32(&bytes[pos + 4]);
        if (std::memcmp(&bytes[pos], "fmt ", 4) == 0 && pos + 24 <= bytes.size()) {
            channels = bytes[pos + 10] | (bytes[pos + 11] << 8);
            rate = static_cast<int>(le32(&bytes[pos + 12]));
            const int bits = bytes[pos + 22] | (bytes[pos + 23] << 8);
            if (bits != 16) {
                std::cerr << "tone-onsets: only 16-bit WAV recordings are read\n";
                std::exit(2);
            }
        } else if (std::memcmp(&bytes[pos], "data", 4) == 0) {
            return pos + 8;
        }
        pos += 8 + size + (size & 1);
    }
    return bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    int rate = 44100;
    int channels = 2;
    ToneOnsets::Options options;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--rate" && hasValue)
            rate = std::atoi(argv[++i]);
        else if (arg == "--channels" && hasValue)
            channels = std::atoi(argv[++i]);
        else if (arg == "--threshold" && hasValue)
            options.threshold = std::atof(argv[++i]);
        else if (arg == "--min-silence-ms" && hasValue)
            options.minSilenceSeconds = std::atof(argv[++i]) / 1000.0;
        else if (!arg.empty() && arg[0] != '-' && !path)
            path = argv[i];
        else
            return usage();
    }

    std::vector<unsigned char> bytes;
    if (path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::cerr << "tone-onsets: cannot read " << path << "\n";
            return 1;
        }
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    } else {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), {});
    }
    const std::size_t start = parseWav(bytes, rate, channels);
    if (rate <= 0 || channels <= 0)
        return usage();

    // Mix down to mono by keeping each frame's loudest channel, so that a tone on one side
    // only still counts.
    const std::size_t frames = (bytes.size() - start) / (2 * channels);
    std::vector<std::int16_t> mono(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        int loudest = 0;
        for (int c = 0; c < channels; ++c) {
            const std::size_t at = start + 2 * (f * channels + c);
            const int v = static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8));
            if (std::abs(v) > std::abs(loudest))
                loudest = v;
        }
        mono[f] = static_cast<std::int16_t>(loudest);
    }

    for (const auto& tone : ToneOnsets::find(mono.data(), mono.size(), rate, options))
        std::printf("%.1f %.1f\n", 1000.0 * tone.start / rate,
                    1000.0 * (tone.end - tone.start) / rate);
    return 0;
}
