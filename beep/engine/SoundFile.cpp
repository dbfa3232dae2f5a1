#include "beep/engine/SoundFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <wavpack/wavpack.h>

namespace {

qint64 nanoseconds(const timespec& time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// Opens without blocking (a FIFO would wait for a writer) and makes sure it is a plain file.
int openRegularFile(const QString& path, QString* whyNot, FileIdentity* identity)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *whyNot = qt_error_string(errno);
        return -1;
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *whyNot = QStringLiteral("%1 is not a regular file").arg(path);
        ::close(fd);
        return -1;
    }
    *identity = {status.st_dev, status.st_ino, status.st_size, nanoseconds(status.st_mtim),
                 nanoseconds(status.st_ctim)};
    return fd;
}

bool usableLayout(int sampleRate, int channels)
{
    return sampleRate > 0 && sampleRate <= 384000 && channels > 0 &&
           channels <= SoundFile::kMaxChannels;
}

class SndfileDecoder final : public SoundFile
{
  public:
    explicit SndfileDecoder(SNDFILE* file, const SF_INFO& info) : m_file(file)
    {
        m_sampleRate = info.samplerate;
        m_channels = info.channels;
        m_frames = info.frames;
    }
    ~SndfileDecoder() override { sf_close(m_file); }

    qint64 read(float* samples, qint64 frames) override
    {
        const sf_count_t got = sf_readf_float(m_file, samples, frames);
        return got > 0 ? got : 0;
    }

    bool rewind() override { return sf_seek(m_file, 0, SEEK_SET) == 0; }

  private:
    SNDFILE* m_file;
};

class WavPackDecoder final : public SoundFile
{
  public:
    explicit WavPackDecoder(WavpackContext* context) : m_context(context)
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
    WavpackContext* m_context;
    bool m_float = false;
    float m_scale = 1.0f;
    std::vector<int32_t> m_words;
};

bool looksLikeWavPack(int fd)
{
    char magic[4] = {};
    return ::pread(fd, magic, sizeof magic, 0) == 4 && std::memcmp(magic, "wvpk", 4) == 0;
}

std::unique_ptr<SoundFile> openWavPack(int fd)
{
    // Through the descriptor already checked, so that the file cannot be swapped meanwhile.
    const QByteArray name = "/proc/self/fd/" + QByteArray::number(fd);
    char error[80] = {};
    WavpackContext* context = WavpackOpenFileInput(name.constData(), error, OPEN_NORMALIZE, 0);
    if (!context)
        return nullptr;
    if (!usableLayout(static_cast<int>(WavpackGetSampleRate(context)),
                      WavpackGetNumChannels(context))) {
        WavpackCloseFile(context);
        return nullptr;
    }
    return std::make_unique<WavPackDecoder>(context);
}

} // namespace

FileIdentity SoundFile::identify(const QString& path)
{
    QString whyNot;
    FileIdentity identity;
    if (const int fd = openRegularFile(path, &whyNot, &identity); fd >= 0)
        ::close(fd);
    return identity;
}

std::unique_ptr<SoundFile> SoundFile::open(const QString& path, QString* whyNot)
{
    FileIdentity identity;
    const int fd = openRegularFile(path, whyNot, &identity);
    if (fd < 0)
        return nullptr;
    std::unique_ptr<SoundFile> decoder;
    if (looksLikeWavPack(fd)) {
        decoder = openWavPack(fd);
        ::close(fd);
    } else {
        SF_INFO info{};
        // libsndfile closes the descriptor, whether it opens the file or not.
        SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
        if (file && info.frames > 0 && usableLayout(info.samplerate, info.channels))
            decoder = std::make_unique<SndfileDecoder>(file, info);
        else if (file)
            sf_close(file);
    }
    if (!decoder)
        *whyNot = QStringLiteral("%1 holds no sound that can be played").arg(path);
    else
        decoder->m_identity = identity;
    return decoder;
}
