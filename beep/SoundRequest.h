#pragma once

#include <QMutex>
#include <QString>
#include <atomic>

/// What the program last asked the media player to do, shared between the window's thread
/// (which writes it) and the sound thread (which acts on it). Only the latest request counts:
/// if the sound thread falls behind, it skips straight to the newest one.
struct SoundRequest
{
    /// The file to play, empty for silence; changed together with serial.
    QString path;
    /// Counts every setUrl and close, so that the same file asked for twice plays twice.
    quint64 serial = 0;
    QMutex mutex;
    /// Play the sound again from the start each time it ends.
    std::atomic<bool> loop{false};
};
