#pragma once

#include <QString>

/// The per-user autostart entry that starts the program at log-on: a desktop entry in
/// $XDG_CONFIG_HOME/autostart (~/.config/autostart when the variable is not set). Writing and
/// removing it never report a failure.
namespace RegStuff {

/// Full path of the entry: the autostart folder and the program's desktop identity.
QString autostartEntryPath();

/// @p argument as one argument of a desktop entry's Exec line: in double quotes, with the
/// double quote, backtick, dollar sign and backslash escaped by a backslash and every percent
/// sign doubled; then escaped as a string value (every backslash doubled, tab, newline and
/// carriage return written as escapes), so that a launcher hands the exact text to the
/// program.
QString quoteExecArgument(const QString& argument);

/// The Exec value that starts @p executablePath with no arguments: the quoted path, or for a
/// path with a percent sign (which GLib's launchers mishandle) a shell that runs it.
QString execLine(const QString& executablePath);

/// The whole entry that starts @p executablePath with no arguments.
QString autostartEntryText(const QString& executablePath);

/// Writes the entry for @p executablePath, replacing one that is there, atomically; creates
/// the autostart folder when it is missing. Silent on every failure.
void SetRunEntry(const QString& executablePath);

/// Removes the entry, whether or not it exists. Silent on every failure.
void DeleteRunEntry();

} // namespace RegStuff
