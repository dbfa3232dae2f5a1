#pragma once

#include <QIcon>
#include <QImage>

/// The program's tray icon, drawn here rather than loaded: a blue letter W on a light cyan
/// ground inside a one-pixel black frame.
namespace TrayIconImage {

/// The picture at @p size pixels square; 16 is the original, larger sizes serve HiDPI trays.
QImage wImage(int size);

/// The icon with its 16, 22, 24, 32, 48 and 64 pixel pictures.
QIcon wIcon();

} // namespace TrayIconImage
