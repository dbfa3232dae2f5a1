#include "beep/engine/SoundFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sndfile.h>
#include <vector>
#include <wavpack/wavpack.h>

// Both libraries read the file through the RegularFile already checked, so that it cannot be
// swapped meanwhile and no path is opened twice.

namespace {

bool usableLayout(int sampleRate, int channels)
{
    return sampleRate > 0 && sampleRate <= 384000 && channels > 0 &&
           channels <= SoundFile::kMaxChannels;
}

RegularFile& fileOf(void* file)
{
    return *static_cast<RegularFile*>(file);
}

SF_VIRTUAL_IO g_sndfileReader{
    [](void* file) -> sf_count_t { return fileOf(file).size(); },
    [](sf_count_t offset, int whence, void* file) -> sf_count_t {
        return fileOf(file).seek(offset, whence);
    },
    [](void* data, sf_count_t bytes, void* file) -> sf_count_t {
        return std::max<qint64>(fileOf(file).read(data, bytes), 0);
    },
    [](const void*, sf_count_t, void*) -> sf_count_t { return 0; },
    [](void* file) -> sf_count_t { return fileOf(file).position(); },
};

WavpackStreamReader64 g_wavpackReader{
    [](void* file, void* data, int32_t bytes) -> int32_t {
        return static_cast<int32_t>(std::max<qint64>(fileOf(file).read(data, bytes), 0));
    },
    [](void*, void*, int32_t) -> int32_t { return 0; },
    [](void* file) -> int64_t { return fileOf(file).position(); },
    [](void* file, int64_t position) -> int {
        return fileOf(file).seek(position, SEEK_SET) < 0 ? -1 : 0;
    },
    [](void* file, int64_t delta, int whence) -> int {
        return fileOf(file).seek(delta, whence) < 0 ? -1 : 0;
    },
    [](void* file, int byte) -> int { return fileOf(file).seek(-1, SEEK_CUR) < 0 ? EOF : byte; },
    [](void* file) -> int64_t { return fileOf(file).size(); },
    [](void*) -> int { return 1; },
    [](void*) -> int { return -1; },
    [](void*) -> int { return 0; }, // the file is closed by its owner
};

class SndfileDecoder final : public SoundFile
{
  public:
    SndfileDecoder(std::unique_ptr<RegularFile> file, SNDFILE* sound, const SF_INFO& info)
        : m_file(std::move(file)), m_sound(sound)
    {
        m_sampleRate = info.samplerate;
        m_channels = info.channels;
        m_frames = info.frames;
    }
    ~SndfileDecoder() override { sf_close(m_sound); }

    qint64 read(float* samples, qint64 frames) override
    {
        const sf_count_t got = sf_readf_float(m_sound, samples, frames);
        return got > 0 ? got : 0;
    }

    bool rewind() override { return sf_seek(m_sound, 0, SEEK_SET) == 0; }

  private:
    std::unique_ptr<RegularFile> m_file;
    SNDFILE* m_sound;
};

class WavPackDecoder final : public SoundFile
{
  public:
    WavPackDecoder(std::unique_ptr<RegularFile> file, WavpackContext* context)
        : m_file(std::move(file)), m_context(context)
    {
        m_sampleRate = static_cast<int>(WavpackGetSampleRate(context));
        m_channels = WavpackGetNumChannels(context);
        m_frames = WavpackGetNumSamples64(context);
        m_float = (WavpackGetMode(context) & MODE_FLOAT) != 0;
        m_scale = 1.0f / static_cast<float>(1u << (8 * WavpackGetBytesPerSample(context) - 1));
    }
    ~WavPackDecoder() override { WavpackCloseFile(m_context); }

    qint64 read(float* samples, qint64 frames) override
    {
        // WavPack unpacks into 32-bit words: integers right-aligned, or floats (normalised
        // to ±1 on opening).
        m_words.resize(static_cast<size_t>(frames) * m_channels);
        const uint32_t got =
            WavpackUnpackSamples(m_context, m_words.data(), static_cast<uint32_t>(frames));
        const size_t count = size_t(got) * m_channels;
        if (m_float)
            std::memcpy(samples, m_words.data(), count * sizeof(float));
        else
            for (size_t i = 0; i < count; ++i)
                samples[i] = static_cast<float>(m_words[i]) * m_scale;
        return got;
    }

    bool rewind() override { return WavpackSeekSample64(m_context, 0) != 0; }

  private:
    std::unique_ptr<RegularFile> m_file;
    WavpackContext* m_context;
    bool m_float = false;
    float m_scale = 1.0f;
    std::vector<int32_t> m_words;
};

bool looksLikeWavPack(RegularFile& file)
{
    char magic[4] = {};
    const bool wavPack = file.read(magic, sizeof magic) == 4 && std::memcmp(magic, "wvpk", 4) == 0;
    return file.seek(0, SEEK_SET) == 0 && wavPack;
}

std::unique_ptr<SoundFile> openWavPack(std::unique_ptr<RegularFile> file)
{
    char error[80] = {};
    WavpackContext* context =
        WavpackOpenFileInputEx64(&g_wavpackReader, file.get(), nullptr, error, OPEN_NORMALIZE, 0);
    if (!context)
        return nullptr;
    if (!usableLayout(static_cast<int>(WavpackGetSampleRate(context)),
                      WavpackGetNumChannels(context))) {
        WavpackCloseFile(context);
        return nullptr;
    }
    return std::make_unique<WavPackDecoder>(std::move(file), context);
}

std::unique_ptr<SoundFile> openSndfile(std::unique_ptr<RegularFile> file)
{
    SF_INFO info{};
    SNDFILE* sound = sf_open_virtual(&g_sndfileReader, SFM_READ, &info, file.get());
    if (!sound)
        return nullptr;
    if (info.frames <= 0 || !usableLayout(info.samplerate, info.channels)) {
        sf_close(sound);
        return nullptr;
    }
    return std::make_unique<SndfileDecoder>(std::move(file), sound, info);
}

} // namespace

FileIdentity SoundFile::identify(const QString& path)
{
    QString whyNot;
    const auto file = RegularFile::open(path, &whyNot);
    return file ? file->identity() : FileIdentity{};
}

std::unique_ptr<SoundFile> SoundFile::open(const QString& path, QString* whyNot)
{
    auto file = RegularFile::open(path, whyNot);
    if (!file)
        return nullptr;
    const FileIdentity identity = file->identity();
    auto decoder =
        looksLikeWavPack(*file) ? openWavPack(std::move(file)) : openSndfile(std::move(file));
    if (!decoder)
        *whyNot = QStringLiteral("%1 holds no sound that can be played").arg(path);
    else
        decoder->m_identity = identity;
    return decoder;
}
