#include "app/Form1.h"

#include "core/Failure.h"
#include "desktop/mStartUp.h"

#include <QCheckBox>
#include <QSignalBlocker>

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
        // And the entry goes again when "On" cannot be stored: an entry the box does not
        // show would start the program at every log-on with no way to stop it here.
        try {
            m_settings.write(SettingKeys::kWindowsStartup, SettingValues::kOn);
        } catch (const Failure&) {
            mStartUp::RemoveFromStartup();
            // Not through this handler again: its store of "Off" would fail and report the
            // same failure a second time.
            const QSignalBlocker quiet(Check4);
            Check4->setChecked(false);
            Check8->hide();
            throw;
        }
    } else {
        Check8->setChecked(false);
        Check8->hide();
        // The entry goes first, so that a store that cannot be written never keeps it.
        mStartUp::RemoveFromStartup();
        m_settings.write(SettingKeys::kWindowsStartup, SettingValues::kOff);
    }
}
