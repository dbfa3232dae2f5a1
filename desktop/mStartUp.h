#pragma once

#include <QString>

/// Starting the program at log-on: the autostart entry names the running program itself.
namespace mStartUp {

/// The real path of the running program's executable, links resolved.
QString executablePath();

/// Writes the autostart entry for the running program. Silent on every failure.
void AddToStartup();
/// Writes the autostart entry for @p executable instead (tests name their own).
void AddToStartup(const QString& executable);

/// Removes the autostart entry. Silent on every failure.
void RemoveFromStartup();

} // namespace mStartUp
