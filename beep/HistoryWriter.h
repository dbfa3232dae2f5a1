#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <functional>

class MediaPlayer;

/// The beep action and the history log it writes.
namespace IntervalSave {

/// Line beginnings of the history log, by outcome.
inline const QString kBeepedAt = QStringLiteral("Beeped at ");
inline const QString kFileNotFound = QStringLiteral("Beep file not found. Fail to beeped at ");
inline const QString kNoFileSpecified =
    QStringLiteral("No beep file specified. Fail to beeped at ");

/// Who asked for a beep.
enum class Beep {
    Requested, ///< the user, with "Beep Now (Test)"
    Timed,     ///< the countdown
};

/// What one beep works with, lent by the main window for the length of the beep.
struct BeepParts
{
    /// The sound file box's text, read afresh at each step: a report's modal box lets the user
    /// change it in between.
    std::function<QString()> soundPath;
    /// The player that plays the sound.
    MediaPlayer& player;
    /// The full path of the history log.
    QString logPath;
    /// The clock that dates the log line.
    std::function<QDateTime()> now;
    /// The sound file whose player failure a timed beep reported, until a beep plays or a beep
    /// of another file comes; timed beeps of that file do not report it again.
    QString& playerFailureReported;
};

/// Performs one beep: plays the sound file named by @p parts once and appends a line to the
/// history log saying so, or why it did not. Reports its own failures, except that timed beeps
/// in a row of the same file report the player's failure to open it once, not at every beep;
/// a beep that plays, or a beep of another file, ends the row.
void BeepNow(const BeepParts& parts, Beep kind = Beep::Requested);

/// Appends @p line and CR LF to the log at @p logPath in one write, creating the file (readable
/// and writable by its owner only) when missing. A symbolic link at the log's own path is not
/// followed. Opens and closes the file within the call. Throws Failure when it cannot.
void AppendHistoryLine(const QString& logPath, const QString& line);

/// The date and time as the user reads them in the log: the short date with a four-digit
/// year, a space and the long time with seconds; a time of exactly midnight gives the date
/// alone.
QString DateTimeText(const QDateTime& when, const QLocale& locale = QLocale());

/// True when a directory search for @p path finds a file: a regular, non-hidden file, where
/// wildcards (* and ?) in the file name part take part in the search. Throws Failure for a
/// path the system rejects.
bool FindsBeepFile(const QString& path);

} // namespace IntervalSave
