#pragma once

#include <QColor>

class QWidget;

/// Gives @p control the background colour @p colour, as a control's BackColor does: the colour
/// of the palette role the control fills its background with (Window for windows, frames and
/// labels, Button for check boxes and option buttons), with the background filled.
void setBackColor(QWidget* control, const QColor& colour);

/// The background colour of @p control, as set by setBackColor().
QColor backColor(const QWidget* control);
