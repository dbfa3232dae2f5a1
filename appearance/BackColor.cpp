#include "appearance/BackColor.h"

#include <QPalette>
#include <QWidget>

void setBackColor(QWidget* control, const QColor& colour)
{
    QPalette palette = control->palette();
    palette.setColor(control->backgroundRole(), colour);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

QColor backColor(const QWidget* control)
{
    return control->palette().color(control->backgroundRole());
}
