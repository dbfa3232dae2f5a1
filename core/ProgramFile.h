#pragma once

#include <QByteArray>
#include <QString>

/// Where the running program's file is, as the system names it: bytes, not text, since a
/// folder name need not be valid in the locale's encoding.
namespace ProgramFile {

/// The real path of the running executable, links resolved, exactly as the kernel has it.
QByteArray path();

/// The folder that holds it, with no trailing slash (except "/" itself).
QByteArray folder();

/// A text path to that folder that opens files beside the program in this process: the
/// folder's own name when the locale can spell it, else a name of the folder that lasts as long
/// as the process (a handle to the folder under /proc/self/fd), since text cannot carry bytes
/// that the locale's encoding has no character for.
QString folderForOpening();

/// Whether @p path goes through a handle of this process (/proc/self/fd/...), as
/// folderForOpening() may name the program folder: such a path names nothing, or another
/// file, for any other process and for the next start, so it is never stored.
bool namesOnlyInThisProcess(const QString& path);

/// Whether @p bytes come back unchanged after decoding to text and encoding again.
bool spelledExactly(const QByteArray& bytes);

} // namespace ProgramFile
