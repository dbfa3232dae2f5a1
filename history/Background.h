#pragma once

#include <functional>

/// Runs @p work on a thread of its own and returns when it is done. Meanwhile the calling
/// thread handles its events in a nested event loop, so the window stays responsive: timer
/// ticks, repaints and clicks are handled, and other handlers (also this caller again) may
/// run inside the wait. Rethrows, on the calling thread, whatever @p work threw.
void runInBackground(const std::function<void()>& work);
