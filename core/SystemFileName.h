#pragma once

#include <QByteArray>
#include <QString>

/// The bytes of @p path as the rooms hand it to the system's file calls (open, stat, unlink,
/// rename): on Linux the locale's encoding, since a name there is bytes; on Windows UTF-8, which
/// the file-call layer turns into the system's UTF-16 name, so that a name the ANSI code page
/// cannot spell ("日本") reaches the file whole.
QByteArray SystemFileName(const QString& path);
