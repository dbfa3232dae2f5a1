#include "app/CaptionFrame.h"
#include "app/Form1.h"
#include "app/Locations.h"
#include "appearance/PointerFeedback.h"
#include "beep/BeepAction.h"
#include "beep/Captions.h"
#include "beep/MediaPlayer.h"
#include "beep/SoundFileDialog.h"
#include "core/ErrorTrap.h"
#include "core/Main.h"
#include "core/WindowTimer.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

void Form1::wireBeepCommands()
{
    connect(Timer1, &WindowTimer::Timer, this, &Form1::Timer1_Timer);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
}

void Form1::PushButton5_Click()
{
    ErrorTrap trap(Locations::kPushButton5);
    if (trap.test(100, [&] { return m_autoBeep != AutoBeep::On; })) {
        trap.run(102, [&] { showAutoBeep(AutoBeep::On); });
        trap.run(104, [&] { ElapsedSeconds = 0; });
        trap.run(106, [&] { Timer1->setInterval(1000); });
        trap.run(108, [&] { m_settings.write(SettingKeys::kStartStopState, SettingValues::kOn); });
    } else if (trap.test(110, [&] { return m_autoBeep == AutoBeep::On; })) {
        trap.run(112, [&] { showAutoBeep(AutoBeep::Off); });
        trap.run(114, [&] { Timer1->setInterval(0); });
        trap.run(116, [&] { m_settings.write(SettingKeys::kStartStopState, SettingValues::kOff); });
    }
    prepareSoundIfNear(); // counting again: its beep may be a second away
}

void Form1::showAutoBeep(AutoBeep state)
{
    m_autoBeep = state;
    PushButton5->setText(state == AutoBeep::On ? Captions::kTurnOffAutoBeep
                                               : Captions::kTurnOnAutoBeep);
}

void Form1::PushButton6_Click()
{
    ErrorTrap trap(Locations::kPushButton6);
    QString keptCaption;
    trap.run(100, [&] { keptCaption = Frame1->title(); });
    trap.run(102, [&] { Frame1->setTitle(Captions::kBeeping); });
    trap.run(104, [&] { Pointer->setBusy(); });
    trap.run(106, [&] { beepNow(IntervalSave::Beep::Requested); });
    trap.run(108, [&] { Pointer->setDefault(); });
    trap.run(110, [&] {
        ProgressBar1->setValue(0);
        ProgressBar1->setFormat(Captions::kProgressBarText);
    });
    trap.run(112, [&] { Main::WaitSeconds(5); });
    trap.run(114, [&] { Frame1->setTitle(keptCaption); });
}

void Form1::beepNow(IntervalSave::Beep kind)
{
    IntervalSave::BeepNow({.soundPath = [this] { return Text2->text(); },
                           .player = *WindowsMediaPlayer1,
                           .logPath = HistoryLogPath,
                           .now = m_platform.now,
                           .playerFailureReported = PlayerFailureReported},
                          kind);
}

void Form1::PushButton4_Click()
{
    ErrorTrap trap(Locations::kPushButton4);
    if (trap.test(100, [&] { return !Main::trimSpaces(Text2->text()).isEmpty(); })) {
        if (trap.test(102, [&] { return IntervalSave::FindsBeepFile(Text2->text()); })) {
            trap.run(104, [&] { WindowsMediaPlayer1->setLoop(false); });
            trap.run(106, [&] { WindowsMediaPlayer1->close(); });
            trap.run(108, [&] { WindowsMediaPlayer1->setUrl(Text2->text()); });
        }
    }
}

void Form1::PushButton1_Click()
{
    ErrorTrap trap(Locations::kPushButton1);
    SoundFileDialog dialog; // the window's open-file dialog, CommonDialog1
    trap.run(100, [&] { dialog.FileName.clear(); });
    trap.run(102, [&] { dialog.DialogTitle = SoundFileDialog::kTitle; });
    trap.run(104, [&] { dialog.Filter = SoundFileDialog::kFilter; });
    trap.run(106, [&] { dialog.ShowOpen(this, m_platform); });
    if (trap.test(108, [&] { return !dialog.FileName.isEmpty(); }))
        trap.run(110, [&] { Text2->setText(dialog.FileName); });
}
