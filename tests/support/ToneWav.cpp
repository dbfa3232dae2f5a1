#include "ToneWav.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace ToneWav {
namespace {

int bytesPerSample(Sample sample)
{
    switch (sample) {
    case Sample::UInt8:
        return 1;
    case Sample::Int16:
        return 2;
    case Sample::Int24:
        return 3;
    case Sample::Int32:
    case Sample::Float32:
        return 4;
    case Sample::Float64:
        return 8;
    }
    return 2;
}

void appendLE(QByteArray& out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

void appendSample(QByteArray& out, Sample sample, double value)
{
    switch (sample) {
    case Sample::UInt8:
        appendLE(out, static_cast<quint32>(std::lround(128.0 + value * 127.0)), 1);
        break;
    case Sample::Int16:
        appendLE(out, static_cast<quint32>(static_cast<qint32>(std::lround(value * 32767.0))), 2);
        break;
    case Sample::Int24:
        appendLE(out, static_cast<quint32>(static_cast<qint32>(std::lround(value * 8388607.0))), 3);
        break;
    case Sample::Int32:
        appendLE(out, static_cast<quint32>(static_cast<qint32>(std::lround(value * 2147483647.0))),
                 4);
        break;
    case Sample::Float32: {
        const auto f = static_cast<float>(value);
        quint32 bits;
        std::memcpy(&bits, &f, sizeof bits);
        appendLE(out, bits, 4);
        break;
    }
    case Sample::Float64: {
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        appendLE(out, bits, 8);
        break;
    }
    }
}

} // namespace

QByteArray make(const Format& format, double frequency, double seconds, double amplitude)
{
    const int width = bytesPerSample(format.sample);
    const auto frames = static_cast<quint32>(std::lround(seconds * format.rate));
    const quint32 dataBytes = frames * format.channels * width;
    const bool isFloat = format.sample == Sample::Float32 || format.sample == Sample::Float64;

    QByteArray out;
    out.reserve(static_cast<qsizetype>(dataBytes) + 58);
    out.append("RIFF");
    appendLE(out, 4 + (8 + 18) + (isFloat ? 12 : 0) + 8 + dataBytes, 4);
    out.append("WAVE");
    out.append("fmt ");
    appendLE(out, 18, 4);
    appendLE(out, isFloat ? 3 : 1, 2); // WAVE_FORMAT_IEEE_FLOAT or WAVE_FORMAT_PCM
    appendLE(out, format.channels, 2);
    appendLE(out, format.rate, 4);
    appendLE(out, format.rate * format.channels * width, 4);
    appendLE(out, format.channels * width, 2);
    appendLE(out, 8 * width, 2);
    appendLE(out, 0, 2);
    if (isFloat) { // non-PCM files carry a fact chunk with the frame count
        out.append("fact");
        appendLE(out, 4, 4);
        appendLE(out, frames, 4);
    }
    out.append("data");
    appendLE(out, dataBytes, 4);

    const double fade = 0.005 * format.rate;
    for (quint32 i = 0; i < frames; ++i) {
        const double envelope = std::min({1.0, i / fade, (frames - 1 - i) / fade});
        const double value =
            amplitude * envelope * std::sin(2 * std::numbers::pi * frequency * i / format.rate);
        for (int c = 0; c < format.channels; ++c)
            appendSample(out, format.sample, value);
    }
    return out;
}

bool write(const QString& path, const Format& format, double frequency, double seconds,
           double amplitude)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = make(format, frequency, seconds, amplitude);
    return file.write(bytes) == bytes.size() && file.flush();
}

QString describe(const Format& format)
{
    static const char* const names[] = {"u8", "s16", "s24", "s32", "f32", "f64"};
    return QStringLiteral("%1 %2 %3")
        .arg(QLatin1String(names[static_cast<int>(format.sample)]))
        .arg(format.channels == 1 ? QStringLiteral("mono") : QStringLiteral("stereo"))
        .arg(format.rate);
}

} // namespace ToneWav
