#pragma once

#include <QByteArray>

/// Format of the default sound.
inline constexpr int kBeepSampleRate = 44100;
inline constexpr int kBeepChannels = 1;
inline constexpr int kBeepBitsPerSample = 16;

/// The default beep: a soft bell tone on 880 Hz, 0.35 seconds, as a complete RIFF/WAVE file
/// of 16-bit PCM. It sounds from its first milliseconds, so the time a beep is heard can be
/// measured from the moment it is started, and fades out to its last sample.
QByteArray makeBeepWave();
