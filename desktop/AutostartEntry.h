#pragma once

#include <QByteArray>
#include <QString>

/// The per-user autostart entry that starts the program at log-on: a desktop entry in
/// $XDG_CONFIG_HOME/autostart (~/.config/autostart when the variable is not set). A failed
/// write is reported; a failed removal is silent.
namespace AutostartEntry {

/// Full path of the entry: the autostart folder and the program's desktop identity.
QString autostartEntryPath();

/// @p argument as one argument of a desktop entry's Exec line: in double quotes, with the
/// double quote, backtick, dollar sign and backslash escaped by a backslash and every percent
/// sign doubled; then escaped as a string value (every backslash doubled, tab, newline and
/// carriage return written as escapes), so that a launcher hands the exact text to the
/// program.
QString quoteExecArgument(const QString& argument);

/// The Exec value that starts @p executablePath with no arguments: the quoted path, or a shell
/// that runs it for a path with a percent sign (which GLib's launchers mishandle) or one that
/// a desktop entry cannot hold (not UTF-8, or with a control character other than tab, line
/// feed and carriage return).
QString execLine(const QByteArray& executablePath);

/// The whole entry that starts @p executablePath with no arguments.
QString autostartEntryText(const QByteArray& executablePath);

/// Writes the entry for @p executablePath, replacing one that is there, atomically; creates
/// the autostart folder when it is missing. Throws Failure when it could not be written.
void SetRunEntry(const QByteArray& executablePath);

/// Removes the entry, whether or not it exists. Silent on every failure.
void DeleteRunEntry();

} // namespace AutostartEntry
