#pragma once

#include <QString>

/// Opens the plain-text file @p path in the platform's text editor and does not wait for it:
/// Notepad on Windows, the desktop's default program for plain text elsewhere.
/// @throws Failure when no editor could be started.
void OpenInTextEditor(const QString& path);
