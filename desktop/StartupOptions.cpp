#include "app/Form1.h"

#include <QCheckBox>

void Form1::Check8_Click()
{
    m_settings.write(SettingKeys::kMinimized,
                     Check8->isChecked() ? SettingValues::kOn : SettingValues::kOff);
}

void Form1::Check4_Click()
{
    if (Loading)
        return;
    if (Check4->isChecked()) {
        Check8->show();
        m_settings.write(SettingKeys::kWindowsStartup, SettingValues::kOn);
        // The log-on entry is written here once the desktop room provides it.
    } else {
        Check8->setChecked(false);
        Check8->hide();
        m_settings.write(SettingKeys::kWindowsStartup, SettingValues::kOff);
        // The log-on entry is removed here once the desktop room provides it.
    }
}

// Not built yet: the tray icon control. Start-up's statements reach it through these.
void Form1::setTrayTip(const QString&)
{
}
void Form1::setInTray(bool)
{
}
