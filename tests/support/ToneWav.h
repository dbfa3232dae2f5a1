#pragma once

#include <QByteArray>
#include <QString>

/// WAV files holding one sine tone, in the sample formats a user's sound file may have.
/// Tests write them so that no sound file needs to ship with the tests.
namespace ToneWav {

enum class Sample { UInt8, Int16, Int24, Int32, Float32, Float64 };

struct Format
{
    int rate = 44100;
    int channels = 1;
    Sample sample = Sample::Int16;
};

/// A complete WAV file: \a seconds of a \a frequency Hz sine at \a amplitude (0..1 of full
/// scale), with 5 ms fades so that the tone starts and ends without a click.
QByteArray make(const Format& format, double frequency, double seconds, double amplitude = 0.5);

/// Writes make(...) to \a path; returns false if the file could not be written.
bool write(const QString& path, const Format& format, double frequency, double seconds,
           double amplitude = 0.5);

/// "s16 mono 44100" and the like, for test names and messages.
QString describe(const Format& format);

} // namespace ToneWav
