#include "history/DesktopText.h"
#include "core/SystemFileName.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

QString systemReason(const QString& what, const QString& path)
{
    return QStringLiteral("%1 %2: %3")
        .arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

// Closes the file however the reader leaves.
struct FileDescriptor
{
    int fd;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

DesktopText::TooLarge::TooLarge(const QString& path, qint64 size, qint64 limit)
    : Failure(QStringLiteral("%1 holds %2 bytes, more than the %3 bytes that can be taken.")
                  .arg(path)
                  .arg(size)
                  .arg(limit)),
      m_size(size), m_limit(limit)
{
}

char* DesktopText::crlfToLf(const char* begin, const char* end, char* out)
{
    const char* in = begin;
#if defined(__SSE2__)
    // A log line is about 32 bytes, so a 16-byte block holds no CR or a single one: a block
    // without one is copied whole, and a block with a single CR LF pair is copied in two
    // overlapping stores around the CR. Anything else goes one CR at a time. Converting then
    // costs less than reading the file did.
    const __m128i cr = _mm_set1_epi8('\r');
    while (end - in >= 32) { // so that a load may start anywhere in this block
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, cr)));
        // Stored whole even when only part of it counts: the bytes beyond are written again
        // by the next store, and out never runs ahead of in, so they stay inside the output.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
        if (mask == 0) {
            in += 16;
            out += 16;
            continue;
        }
        const int crAt = __builtin_ctz(mask);
        if ((mask & (mask - 1)) == 0 && in[crAt + 1] == '\n') {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + crAt),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + crAt + 1)));
            in += 16;
            out += 15;
            continue;
        }
        in += crAt + 1;
        out += crAt;
        if (*in != '\n')
            *out++ = '\r'; // a lone CR stays
    }
#endif
    while (in < end) {
        const char c = *in++;
        if (c == '\r' && in < end && *in == '\n')
            continue;
        *out++ = c;
    }
    return out;
}

QByteArray DesktopText::readFile(const QString& path, qint64 maxBytes, qsizetype chunkBytes)
{
    const QByteArray name = SystemFileName(path);
    // Without blocking: a FIFO would wait for a writer. A device or a FIFO is refused.
    FileDescriptor file{::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0)
        throw Failure(systemReason(QStringLiteral("Cannot open"), path));
    struct stat info
    {
    };
    if (::fstat(file.fd, &info) != 0)
        throw Failure(systemReason(QStringLiteral("Cannot read"), path));
    if (!S_ISREG(info.st_mode))
        throw Failure(QStringLiteral("%1 is not a regular file").arg(path));
    if (info.st_size > maxBytes)
        throw TooLarge(path, info.st_size, maxBytes);

    QByteArray text;
    text.reserve(qsizetype(info.st_size));
    // One byte in front of each chunk for a CR that ended the chunk before: its LF may come
    // first in this one.
    const auto buffer = std::make_unique<char[]>(size_t(chunkBytes) + 1);
    qsizetype carried = 0;
    qint64 total = 0;
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer.get() + carried, size_t(chunkBytes));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Failure(systemReason(QStringLiteral("Cannot read"), path));
        }
        total += got;
        if (total > maxBytes)
            throw TooLarge(path, total, maxBytes);
        const qsizetype filled = carried + qsizetype(got);
        const bool atEnd = got == 0;
        carried = !atEnd && filled > 0 && buffer[filled - 1] == '\r' ? 1 : 0;
        const qsizetype start = text.size();
        text.resize(start + filled - carried);
        char* const written =
            crlfToLf(buffer.get(), buffer.get() + filled - carried, text.data() + start);
        text.resize(written - text.constData());
        if (atEnd)
            break;
        if (carried)
            buffer[0] = '\r';
    }
    return text;
}
