#pragma once

class QThread;

/// The one thread of the program in which all sound work happens: connecting to the sound
/// server, opening and decoding files, feeding the output. Any of these may block (a sound
/// server that does not answer holds libpulse for 30 seconds), and the window must not.
namespace SoundThread {

/// The running sound thread, started on first use. Requires a QCoreApplication; the thread is
/// stopped when the application object is destroyed.
QThread* get();

} // namespace SoundThread
