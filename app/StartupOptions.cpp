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
    // After a failure the box shows what is stored, and the caller makes the entry agree.
    const auto showStored = [this] {
        const bool on = m_settings.read(SettingKeys::kWindowsStartup) == SettingValues::kOn;
        const QSignalBlocker quiet(Check4); // not through this handler again
        Check4->setChecked(on);
        Check8->setVisible(on);
        return on;
    };
    if (Check4->isChecked()) {
        Check8->show();
        // An entry that was there before (one that a failed removal left) is never taken away
        // by a tick that failed.
        const bool entryWasThere = mStartUp::IsInStartup();
        // "On" is stored only once the entry is there: a box that stays ticked over an entry
        // that could not be written would promise a start at log-on that never comes.
        try {
            mStartUp::AddToStartup();
        } catch (const Failure&) {
            showStored();
            throw;
        }
        // And an entry this tick made goes again when "On" cannot be stored: an entry the box
        // does not show would start the program at every log-on with no way to stop it here.
        try {
            m_settings.write(SettingKeys::kWindowsStartup, SettingValues::kOn);
        } catch (const Failure&) {
            if (!showStored() && !entryWasThere)
                mStartUp::RemoveFromStartup();
            throw;
        }
    } else {
        // "Off" is stored before the entry goes: on a full disk "On" stays stored, and so
        // the entry and the ticked box stay too, rather than a start with the box ticked and
        // no entry.
        try {
            m_settings.write(SettingKeys::kWindowsStartup, SettingValues::kOff);
        } catch (const Failure&) {
            if (!showStored())
                mStartUp::RemoveFromStartup();
            throw;
        }
        Check8->setChecked(false);
        Check8->hide();
        mStartUp::RemoveFromStartup();
    }
}
