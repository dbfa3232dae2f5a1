#include "app/Failure.h"
#include "app/Form1.h"

// Not built yet: the skin, the custom pointer and the program icon.
void Form1::ApplySkin()
{
}
void Form1::loadCustomPointer(const QString&)
{
    throw Failure(QStringLiteral("Custom pointers are not supported yet."));
}
void Form1::setProgramIcon()
{
}
