#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class MediaPlayer;

/// The beep action: one beep of the chosen sound file, logged in the history log. Part of the
/// IntervalSave module, as is the log writer (beep/HistoryWriter.h).
namespace IntervalSave {

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

/// True when a directory search for @p path finds a file: a regular, non-hidden file, where
/// wildcards (* and ?) in the file name part take part in the search. Throws Failure for a
/// path the system rejects.
bool FindsBeepFile(const QString& path);

} // namespace IntervalSave
