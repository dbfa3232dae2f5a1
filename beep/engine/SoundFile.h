#pragma once

#include "beep/engine/RegularFile.h"

#include <QString>
#include <QtGlobal>
#include <memory>

/// A sound file decoded to 32-bit floating-point samples (interleaved, full scale ±1), read
/// piece by piece as the sound server takes them.
///
/// Decodes WAV of every kind (integer PCM of 8 to 32 bits, 32- and 64-bit float, IMA and
/// Microsoft ADPCM, mu-law, A-law, GSM), W64 and RF64, AIFF, AU, CAF, FLAC, Ogg Vorbis, Opus
/// and MP3 through libsndfile, and WavPack through libwavpack.
class SoundFile
{
  public:
    /// The most channels a sound may have (the sound server's limit).
    static constexpr int kMaxChannels = 32;

    virtual ~SoundFile() = default;

    /// Opens \a path for decoding. Returns null with \a whyNot set when the file cannot be
    /// opened or holds no sound that can be decoded. Special files (FIFOs, devices, folders)
    /// are refused without waiting on them.
    static std::unique_ptr<SoundFile> open(const QString& path, QString* whyNot);
    /// The identity of the file at \a path now, as open() would see it; a default one if it
    /// cannot be opened or is not a plain file.
    static FileIdentity identify(const QString& path);

    int sampleRate() const { return m_sampleRate; }
    int channels() const { return m_channels; }
    /// The length in frames that the file's header gives; -1 if unknown. The decoder may
    /// deliver fewer (a truncated file) or, for estimates, more.
    qint64 frames() const { return m_frames; }
    /// The file as it was opened.
    const FileIdentity& identity() const { return m_identity; }
    /// True for a sound held whole in memory: it can be handed to the server in one go.
    virtual bool isWhole() const { return false; }

    /// Decodes up to \a frames frames into \a samples; returns how many it decoded, 0 at the
    /// end of the sound or when the rest cannot be decoded.
    virtual qint64 read(float* samples, qint64 frames) = 0;
    /// Starts again from the first frame (for looping); false if that is impossible.
    virtual bool rewind() = 0;

  protected:
    int m_sampleRate = 0;
    int m_channels = 0;
    qint64 m_frames = -1;
    FileIdentity m_identity;
};
