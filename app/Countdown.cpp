#include "app/CaptionFrame.h"
#include "app/Form1.h"
#include "app/Locations.h"
#include "beep/Captions.h"
#include "beep/HistoryWriter.h"
#include "beep/MediaPlayer.h"
#include "core/ErrorTrap.h"
#include "core/Failure.h"
#include "core/Main.h"
#include "core/MainLoop.h"
#include "core/WindowTimer.h"

#include <QGroupBox>
#include <QProgressBar>

namespace {

// QProgressBar paints itself at once when it reaches its maximum. On the tick that beeps,
// that paint is left to the tick's yield, where the caption is painted too, so that the beep
// waits for one paint less. Other values keep the bar's own choice of when to paint.
void setBarValue(QProgressBar* bar, int value)
{
    if (value == bar->value() || value != bar->maximum()) {
        bar->setValue(value);
        return;
    }
    bar->setUpdatesEnabled(false);
    bar->setValue(value);
    bar->setUpdatesEnabled(true);
}

// Loading the sound engine and connecting to the sound server takes well under a second on
// an idle machine and a few seconds on a very busy one; starting this far ahead of a beep
// keeps it on time with room to spare. Rows up to 30 seconds load at once.
constexpr qint64 kSoundLoadLeadSeconds = 30;

qint32 checkedAdd(qint32 a, qint64 b)
{
    const qint64 sum = qint64(a) + b;
    if (sum > std::numeric_limits<qint32>::max() || sum < std::numeric_limits<qint32>::min())
        throw Failure(QStringLiteral("Overflow"));
    return qint32(sum);
}

} // namespace

void Form1::Timer1_Timer()
{
    ErrorTrap trap(Locations::kTimer1);
    if (trap.test(100, [&] { return Timer1->Interval() == 0; })) {
        trap.run(102, [&] { Frame1->setTitle(Captions::kAutoBeepOff); });
        return;
    }
    trap.run(104, [&] { IntervalTarget = IntervalSeconds(); });
    trap.run(106, [&] { ElapsedSeconds = checkedAdd(ElapsedSeconds, 1); });
    trap.run(108, [&] { ProgressBar1->setMaximum(IntervalTarget); });
    if (trap.test(110, [&] { return ElapsedSeconds <= IntervalTarget; }))
        trap.run(112, [&] { setBarValue(ProgressBar1, ElapsedSeconds); });
    trap.run(114, [&] {
        Frame1->setTitle(Captions::kNextBeepPrefix +
                         Main::FormatSeconds(checkedAdd(IntervalTarget, -qint64(ElapsedSeconds))));
    });
    trap.run(116, [&] { MainLoop::DoEvents(); });
    if (trap.test(118, [&] { return IntervalTarget == ElapsedSeconds; })) {
        trap.run(120, [&] { SavedCaption = Frame1->title(); });
        trap.run(122, [&] { Frame1->setTitle(Captions::kBeepRunning); });
        trap.run(124, [&] { MainLoop::DoEvents(); });
        trap.run(126, [&] { beepNow(IntervalSave::Beep::Timed); });
        trap.run(128, [&] {
            Frame1->setTitle(Captions::kAutoBeepCompletePrefix +
                             IntervalSave::DateTimeText(m_platform.now()));
        });
        trap.run(130, [&] { MainLoop::DoEvents(); });
        trap.run(132, [&] { Frame1->setTitle(SavedCaption); });
        trap.run(134, [&] { ElapsedSeconds = 0; });
    }
    // The tick has just read the interval: no need to look it up again.
    prepareSoundIfWithin(qint64(IntervalTarget) - ElapsedSeconds);
}

void Form1::prepareSoundIfNear()
{
    try {
        prepareSoundIfWithin(qint64(IntervalSeconds()) - ElapsedSeconds);
    } catch (const Failure&) {
        // No interval chosen: no beep to come.
    }
}

void Form1::prepareSoundIfWithin(qint64 secondsLeft)
{
    if (Timer1->Interval() != 0 && secondsLeft <= kSoundLoadLeadSeconds)
        WindowsMediaPlayer1->prepare();
}
