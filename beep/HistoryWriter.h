#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

/// The history log that the beep action writes: one line per beep, dated as the user reads
/// dates. Part of the IntervalSave module, as is the beep action (beep/BeepAction.h).
namespace IntervalSave {

/// Line beginnings of the history log, by outcome.
inline const QString kBeepedAt = QStringLiteral("Beeped at ");
inline const QString kFileNotFound = QStringLiteral("Beep file not found. Fail to beeped at ");
inline const QString kNoFileSpecified =
    QStringLiteral("No beep file specified. Fail to beeped at ");

/// Appends @p line and CR LF to the log at @p logPath in one write, creating the file (readable
/// and writable by its owner only) when missing. A symbolic link at the log's own path is not
/// followed. Opens and closes the file within the call, holding its lock meanwhile, so that
/// lines of two copies never mix; a line that fails part way is taken back. Throws Failure when
/// it cannot.
void AppendHistoryLine(const QString& logPath, const QString& line);

/// The date and time as the user reads them in the log: the short date with a four-digit
/// year, a space and the long time with seconds; a time of exactly midnight gives the date
/// alone.
QString DateTimeText(const QDateTime& when, const QLocale& locale = QLocale());

} // namespace IntervalSave
