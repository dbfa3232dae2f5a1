#pragma once

/// The program's main event loop, and the handlers that let events run while they are in
/// progress.
namespace MainLoop {

/// Runs the main event loop (QApplication::exec) until the program ends; returns its status.
int exec();

/// Handles the pending events once (DoEvents) and returns. Handlers that those events start
/// run inside this call, while the caller is suspended in it.
void DoEvents();

/// True while the main loop runs and no handler is suspended, neither in DoEvents() nor in a
/// nested event loop (a message box, a dialog, WaitSeconds, a balloon wait).
bool runsAlone();

} // namespace MainLoop
