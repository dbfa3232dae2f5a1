#pragma once

#include "core/Failure.h"

#include <QByteArray>
#include <QString>

/// Text files read for the Linux desktop, whose text uses LF alone as the line end: every
/// CR LF pair becomes LF, every other byte stays as it is (the bytes are UTF-8 text, as the
/// program writes it). The history log is written with CR LF; pasted as it stands, each CR
/// would show as a stray "^M" in editors and act as an extra Enter in a terminal.
namespace DesktopText {

/// Thrown when a file holds more bytes than the reader was allowed to take.
class TooLarge : public Failure
{
  public:
    TooLarge(const QString& path, qint64 size, qint64 limit);

    /// Bytes in the file, at least as many as when the reader gave up.
    qint64 size() const { return m_size; }
    /// The most bytes the reader would take.
    qint64 limit() const { return m_limit; }

  private:
    qint64 m_size;
    qint64 m_limit;
};

/// Bytes read from the file at a time; small enough to stay in the processor's cache.
inline constexpr qsizetype kChunkBytes = 64 << 10;

/// Copies [@p begin, @p end) to @p out with every CR LF pair turned into LF and returns the
/// end of what was written; @p out has room for as many bytes as the input and does not
/// overlap it. A CR as the very last byte is copied as it stands: a caller reading in pieces
/// keeps it back for the next piece.
char* crlfToLf(const char* begin, const char* end, char* out);

/// The whole file at @p path with its line ends turned into LF, read @p chunkBytes at a time.
/// Throws TooLarge when the file holds more than @p maxBytes bytes (checked before reading
/// and while reading, for a file that grows meanwhile), and Failure with the path and the
/// system's reason when it cannot be opened or read.
QByteArray readFile(const QString& path, qint64 maxBytes, qsizetype chunkBytes = kChunkBytes);

} // namespace DesktopText
