#pragma once

#include <QString>

/// The text rules that start-up uses to name the application and its history log.
namespace NameRules {

/// The application title: @p productName shortened word by word to at most 40 characters.
/// The last word is always dropped once; a name without a space is used whole.
QString AppTitleFor(const QString& productName);

/// Sets the application title from the product name (the title of every message box that
/// has none of its own). It is the program's own: Qt's application display name stays unset,
/// as Qt would append it to every window title.
void SetAppTitle();

/// The application title; the product name until SetAppTitle() has run.
QString AppTitle();

/// @p text without its last word when that word equals @p word (or @p word is empty).
QString DropLastWord(const QString& text, const QString& word);

/// @p text without the characters that may not stand in a file name.
QString CleanFileName(const QString& text);

/// The user's state folder ($XDG_STATE_HOME, by default ~/.local/state).
QString StateFolder();

/// The path of the history log: in the folder named by "TEMP" when that is set, otherwise in
/// the user's state folder ($XDG_STATE_HOME, by default ~/.local/state).
QString HistoryLogPathFor(const QString& productName);

} // namespace NameRules
