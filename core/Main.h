#pragma once

#include <QString>

/// Small operations that several handlers share.
namespace Main {

/// True when @p path names an existing file (not a folder). Never fails.
bool FileExists(const QString& path);

/// Waits @p seconds while the window stays responsive: events, timer ticks and clicks are
/// handled during the wait, which sleeps on the event queue rather than polling. A wait of 0
/// or less returns at once without handling any event.
void WaitSeconds(double seconds);

/// @p seconds as a time of day, "hh:mm:ss" on a 24-hour clock: |seconds| modulo one day.
QString FormatSeconds(qint32 seconds);

/// @p text without the spaces at its start and end; tabs and line breaks stay, as the
/// program's texts count only spaces as blank.
QString trimSpaces(const QString& text);

/// Deletes the file at @p path after letting pending events run once; falls back to
/// ForceDeleteFile. Never fails and never tells whether the file is gone.
void RemoveFile(const QString& path);

/// Deletes the file at @p path (a read-only file too: deleting depends on the folder), never
/// changing any file's mode. Throws Failure when it cannot.
void ForceDeleteFile(const QString& path);

} // namespace Main
