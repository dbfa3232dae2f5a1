#pragma once

#include <QByteArray>
#include <QString>

/// Replacing a small file whole: readers see the old contents or the new, never a part, and a
/// write that fails (a full disk, a crash) leaves the old file as it was.
namespace AtomicFile {

/// Replaces the file at @p path with @p bytes. The bytes go to a new file beside it, which is
/// written to the end, synced and then renamed over the old one; a link is followed and its
/// target replaced. The new file keeps the old one's permissions (always readable and
/// writable by its owner); a file made anew gets the usual ones (0666 less the umask).
/// Throws Failure whose description is the reason (for example "No space left on device");
/// then the old file is untouched and the new one removed.
void replace(const QString& path, const QByteArray& bytes);

/// Removes the new files that replacements of @p path, ended before they were done, left
/// beside it a minute ago or earlier. Only names that replace() makes are touched.
void removeStaleTemporaries(const QString& path);

} // namespace AtomicFile
