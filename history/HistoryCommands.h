#pragma once

#include <QString>

class QObject;
class ClipboardStaging;

/// What the main window's history log commands use: "View History Log" (PushButton3),
/// "Copy History To Clipboard" (PushButton8) and "Clear History Log" (PushButton12) show these
/// texts, and the copy goes through the staging box.
namespace HistoryCommands {

/// Shown by "View History Log" when there is no log.
inline const QString kNoHistoryToView =
    QStringLiteral("There isn't a history to view because actions have not been performed yet.");
/// Asked by "Clear History Log" before the log is deleted.
inline const QString kConfirmClear =
    QStringLiteral("Are you sure you want to delete the history log and start over?");

/// The largest log that "Copy History To Clipboard" puts on the clipboard: 1 GiB.
///
/// The program serves a copied text to every program that pastes it for as long as it owns
/// the clipboard, so it keeps the whole text in memory, and each program that pastes needs as
/// much again or more. Through the X server the transfer itself works beyond that (measured
/// with xclip up to 2 GiB; X announces a large transfer with a 32-bit size, so 4 GiB is its
/// ceiling), but pasting 1 GiB already took 8 to 24 s. 1 GiB is about a year of one-second
/// beeps; a larger log is better opened with "View History Log" than pasted.
inline constexpr qint64 kClipboardLimitBytes = qint64(1) << 30;

/// Told instead of copying a log of @p logBytes that is larger than @p limitBytes.
QString tooLargeToCopy(qint64 logBytes, qint64 limitBytes);

/// The staging box for the clipboard copy: the child of @p owner (the main window) named
/// "RichTextBox1", made on first use.
ClipboardStaging& RichTextBox1(QObject& owner);

} // namespace HistoryCommands
