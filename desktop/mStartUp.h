#pragma once

#include <QByteArray>

/// Starting the program at log-on: the autostart entry names the running program itself.
namespace mStartUp {

/// The real path of the running program's executable, links resolved, as the system names it.
QByteArray executablePath();

/// Writes the autostart entry for the running program. Throws Failure when it could not be
/// written, so that nobody is told the program will start at log-on when it will not.
void AddToStartup();
/// Writes the autostart entry for @p executable instead (tests name their own).
void AddToStartup(const QByteArray& executable);

/// Removes the autostart entry. Silent on every failure.
void RemoveFromStartup();

/// True when an autostart entry is there, whoever wrote it.
bool IsInStartup();

} // namespace mStartUp
