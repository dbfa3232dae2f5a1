#include "app/Form1.h"

#include "app/Failure.h"
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
        // "On" is stored only once the entry is there: a box that stays ticked over an entry
        // that could not be written would promise a start at log-on that never comes.
        try {
            mStartUp::AddToStartup();
        } catch (const Failure&) {
            Check4->setChecked(false); // its own run of this handler stores "Off"
            throw;
        }
        m_settings.write(SettingKeys::kWindowsStartup, SettingValues::kOn);
    } else {
        Check8->setChecked(false);
        Check8->hide();
        m_settings.write(SettingKeys::kWindowsStartup, SettingValues::kOff);
        mStartUp::RemoveFromStartup();
    }
}
