#pragma once

#include <QString>

class QWidget;

/// The text of the help message: where users can ask their questions.
QString helpMessageText();

/// Shows the help message in a modal message box over @p parent, with an OK button only, no
/// icon and @p applicationTitle as its title, and returns when the user has closed it.
/// @throws Failure when there is no widget application to show a message box in.
void ShowHelpMessage(QWidget* parent, const QString& applicationTitle);
