#pragma once

#include "beep/engine/SoundFile.h"

#include <vector>

/// A short sound decoded whole into memory, so that the sound server can be handed all of it
/// before it starts playing (nothing on this side can then starve it, however busy the
/// machine) and so that the next beep of the same file needs no decoding.
class WholeSound final : public SoundFile
{
  public:
    /// The most a sound may take in memory (32-bit float samples) to be kept whole: what
    /// PulseAudio and pipewire-pulse hold for one stream. That is 10 s of 48 kHz stereo.
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

    /// Decodes all of \a file, just opened, if its header says that it fits in kMaxBytes.
    /// Null otherwise, with \a file at its start, to be played piece by piece.
    static std::unique_ptr<WholeSound> decode(SoundFile& file);

    /// Another reader of the same samples, from their start.
    std::unique_ptr<WholeSound> copy() const;

    qint64 read(float* samples, qint64 frames) override;
    bool rewind() override;
    bool isWhole() const override { return true; }

  private:
    WholeSound(const SoundFile& file, std::shared_ptr<const std::vector<float>> samples);

    std::shared_ptr<const std::vector<float>> m_samples;
    std::size_t m_position = 0; // in samples
};
