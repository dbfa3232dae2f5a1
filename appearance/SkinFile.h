#pragma once

#include <QString>

/// Largest skin file the engine reads: 1 MiB. A style sheet is a few kilobytes; anything
/// bigger is not a skin.
inline constexpr qint64 kMaxSkinFileBytes = 1024 * 1024;

/// Reads the text of the skin file at @p path without ever blocking: the file must be a
/// regular file (a folder, FIFO, socket or device is refused before it is opened), readable,
/// not empty or blank, at most kMaxSkinFileBytes long, valid UTF-8 and free of NUL bytes.
/// @throws Failure whose description names the file and the reason it cannot be used.
QString readSkinFile(const QString& path);
