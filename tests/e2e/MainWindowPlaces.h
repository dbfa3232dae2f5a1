#pragma once

#include "app/Form1Layout.h"

#include <QPoint>

/// Centres of the main window's buttons, within the window, from its layout, for clicking them
/// as a person does.
namespace MainWindowPlaces {

inline QPoint centreOf(Form1Layout::Place place, Form1Layout::Place frame = {})
{
    const Form1Layout::Point point = Form1Layout::centre(place, frame);
    return {point.x, point.y};
}

inline const QPoint kBeepNow = centreOf(Form1Layout::kPushButton6);
inline const QPoint kViewHistory = centreOf(Form1Layout::kPushButton3);
inline const QPoint kCopyHistory = centreOf(Form1Layout::kPushButton8);
inline const QPoint kHelp = centreOf(Form1Layout::kPushButton11);
inline const QPoint kClearHistory = centreOf(Form1Layout::kPushButton12);
inline const QPoint kChangeSound = centreOf(Form1Layout::kPushButton1, Form1Layout::kFrame2);

} // namespace MainWindowPlaces
