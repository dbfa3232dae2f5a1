#include "app/Form1.h"

#include <QLineEdit>

void Form1::Text2_Change()
{
    m_settings.write(SettingKeys::kBeep, Text2->text());
}
