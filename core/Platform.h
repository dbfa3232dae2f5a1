#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class MediaPlayer;
class QObject;
class QWidget;
class TrayShell;

/// What the program reaches outside itself: the clock, chance, the desktop's programs and
/// dialogs, and the end of the process. Every member has a real default (Platform::real());
/// tests replace single members so that they need neither midnight, nor luck, nor a desktop.
struct Platform
{
    /// The local wall-clock time, for the dates and times the user reads.
    std::function<QDateTime()> now;
    /// One uniform random fraction in [0, 1) from a generator seeded from the clock.
    std::function<double()> randomFraction;
    /// Opens an address with the desktop's default handler without waiting for it.
    /// Throws Failure when no handler could be started.
    std::function<void(const QUrl&)> openUrl;
    /// Opens a plain-text file in the platform's text editor without waiting for it (Notepad on
    /// Windows). Throws Failure when no editor could be started.
    std::function<void(const QString& path)> openTextFile;
    /// Shows an open-file dialog; returns the chosen path, or an empty text when cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& nameFilter)>
        openFileName;
    /// Ends the whole program: at once while a handler is suspended in a wait, else by
    /// leaving the main loop as soon as the caller returns.
    std::function<void()> endProgram;
    /// The notification area and its balloons; the desktop's own when empty.
    std::shared_ptr<TrayShell> trayShell;
    /// Makes the media player that plays the beeps, a child of @p parent; the real one when
    /// empty.
    std::function<MediaPlayer*(QObject* parent)> makeMediaPlayer;
    /// The folder that holds the program's real executable file.
    QString programFolder;

    /// The platform of the running program.
    static Platform real();
};
