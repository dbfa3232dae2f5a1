#pragma once

#include <QPoint>

/// Centres of the main window's buttons, within the window, from its layout in twips (15 to
/// the pixel), for clicking them as a person does.
namespace MainWindowPlaces {

constexpr int centre(int position, int size)
{
    return (position + size / 2) / 15;
}

inline const QPoint kBeepNow(centre(120, 7800), centre(6420, 405));
inline const QPoint kViewHistory(centre(120, 3840), centre(6930, 405));
inline const QPoint kCopyHistory(centre(4080, 3840), centre(6930, 405));
inline const QPoint kHelp(centre(120, 3840), centre(7440, 405));
inline const QPoint kClearHistory(centre(4080, 3840), centre(7440, 405));
inline const QPoint kChangeSound(centre(120 + 240, 3600), centre(1530 + 750, 405));

} // namespace MainWindowPlaces
