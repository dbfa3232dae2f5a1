#include "app/Form1.h"

#include "desktop/mStartUp.h"

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
        mStartUp::AddToStartup();
    } else {
        Check8->setChecked(false);
        Check8->hide();
        m_settings.write(SettingKeys::kWindowsStartup, SettingValues::kOff);
        mStartUp::RemoveFromStartup();
    }
}
