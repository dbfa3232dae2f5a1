#include "BeepSound.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double kSeconds = 0.35;
constexpr double kFundamental = 880.0;
/// Peak level as a fraction of full scale: clearly audible, but not harsh.
constexpr double kLevel = 0.5;
/// A quick rise: long enough not to click, short enough to be heard at once.
constexpr double kAttackSeconds = 0.0015;
/// The last stretch is faded to silence so that the sound ends without a click.
constexpr double kFadeSeconds = 0.04;

/// A partial of the tone: higher partials die away sooner, as on a struck bell.
struct Partial
{
    double multiple;
    double amplitude;
    double decaySeconds;
};
constexpr std::array<Partial, 3> kPartials{{
    {1.0, 1.0, 0.11},
    {2.0, 0.35, 0.06},
    {3.0, 0.12, 0.04},
}};

template <typename T> void put(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian<T>(value, bytes);
    out.append(bytes, sizeof(T));
}

double sampleAt(double t, double total)
{
    double value = 0;
    for (const Partial& p : kPartials)
        value += p.amplitude * std::exp(-t / p.decaySeconds) *
                 std::sin(2 * std::numbers::pi * kFundamental * p.multiple * t);
    double envelope = 1;
    if (t < kAttackSeconds)
        envelope = std::sin(std::numbers::pi / 2 * t / kAttackSeconds);
    if (t > total - kFadeSeconds)
        envelope *= std::pow(
            std::cos(std::numbers::pi / 2 * (t - (total - kFadeSeconds)) / kFadeSeconds), 2);
    return value * envelope;
}

} // namespace

QByteArray makeBeepWave()
{
    const int frames = int(kSeconds * kBeepSampleRate);
    std::vector<double> samples(frames);
    double peak = 0;
    for (int i = 0; i < frames; ++i) {
        samples[i] = sampleAt(double(i) / kBeepSampleRate, kSeconds);
        peak = std::max(peak, std::abs(samples[i]));
    }

    const quint32 blockAlign = kBeepChannels * kBeepBitsPerSample / 8;
    const quint32 dataBytes = frames * blockAlign;
    QByteArray wave;
    wave.append("RIFF");
    put<quint32>(wave, 36 + dataBytes);
    wave.append("WAVE");
    wave.append("fmt ");
    put<quint32>(wave, 16);
    put<quint16>(wave, 1); // PCM
    put<quint16>(wave, kBeepChannels);
    put<quint32>(wave, kBeepSampleRate);
    put<quint32>(wave, kBeepSampleRate * blockAlign);
    put<quint16>(wave, blockAlign);
    put<quint16>(wave, kBeepBitsPerSample);
    wave.append("data");
    put<quint32>(wave, dataBytes);
    for (double sample : samples)
        put<qint16>(wave, qint16(std::lround(sample / peak * kLevel * 32767)));
    return wave;
}
