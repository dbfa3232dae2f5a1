#pragma once

#include <QString>

/// The system's own text for the Windows error code @p code (a registry call's result, or
/// GetLastError()), for the reasons that failures give.
QString windowsErrorText(long code);
