#include "beep/engine/WholeSound.h"

#include <algorithm>
#include <cstring>

WholeSound::WholeSound(const SoundFile& file, std::shared_ptr<const std::vector<float>> samples)
    : m_samples(std::move(samples))
{
    m_sampleRate = file.sampleRate();
    m_channels = file.channels();
    m_frames = static_cast<qint64>(m_samples->size()) / m_channels;
    m_identity = file.identity();
}

std::unique_ptr<WholeSound> WholeSound::decode(SoundFile& file)
{
    const qint64 maxFrames = kMaxBytes / qint64(sizeof(float)) / file.channels();
    if (file.frames() < 0 || file.frames() > maxFrames)
        return nullptr;
    auto samples = std::make_shared<std::vector<float>>();
    samples->reserve(static_cast<std::size_t>(file.frames() * file.channels()));
    // The header's length is a promise that estimates (MP3) and truncated files break: read
    // to the end, and a little past the limit to see it broken.
    constexpr qint64 kPieceFrames = 4096;
    qint64 decoded = 0;
    for (;;) {
        samples->resize(static_cast<std::size_t>((decoded + kPieceFrames) * file.channels()));
        const qint64 got = file.read(samples->data() + decoded * file.channels(), kPieceFrames);
        decoded += got;
        if (got == 0 || decoded > maxFrames)
            break;
    }
    if (decoded > maxFrames && file.rewind())
        return nullptr;
    samples->resize(static_cast<std::size_t>(std::min(decoded, maxFrames) * file.channels()));
    samples->shrink_to_fit();
    return std::unique_ptr<WholeSound>(new WholeSound(file, std::move(samples)));
}

std::unique_ptr<WholeSound> WholeSound::copy() const
{
    return std::unique_ptr<WholeSound>(new WholeSound(*this, m_samples));
}

qint64 WholeSound::read(float* samples, qint64 frames)
{
    const std::size_t count =
        std::min(static_cast<std::size_t>(frames) * m_channels, m_samples->size() - m_position);
    std::memcpy(samples, m_samples->data() + m_position, count * sizeof(float));
    m_position += count;
    return static_cast<qint64>(count) / m_channels;
}

bool WholeSound::rewind()
{
    m_position = 0;
    return true;
}
