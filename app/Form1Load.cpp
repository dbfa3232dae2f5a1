#include "app/CaptionFrame.h"
#include "app/Form1.h"
#include "app/Locations.h"
#include "beep/Captions.h"
#include "beep/MediaPlayer.h"
#include "core/ErrorTrap.h"
#include "core/Main.h"
#include "core/MainLoop.h"
#include "core/NameRules.h"
#include "core/ProductInfo.h"
#include "core/ProgramFile.h"
#include "core/WindowTimer.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kPointerFileName = QStringLiteral("/HAND-M.CUR");
constexpr int kHomePageDraw = 7;

} // namespace

void Form1::Form_Load()
{
    using namespace SettingKeys;
    using SettingValues::kOff;
    using SettingValues::kOn;
    ErrorTrap trap(Locations::kFormLoad);

    trap.run(100, [&] { ApplySkin(); });
    trap.run(104, [&] { Loading = true; });
    trap.run(106, [&] {
        setWindowTitle(ProductInfo::kProductName);
        setProgramIcon();
        NameRules::SetAppTitle();
    });
    trap.run(108, [&] { VisitHomePage(); });

    const QString pointerFile = m_platform.programFolder + kPointerFileName;
    if (trap.test(126, [&] { return Main::FileExists(pointerFile); }))
        trap.run(128, [&] { loadCustomPointer(pointerFile); });

    const QString defaultSound = kBeep.defaultIn(m_platform.programFolder);
    trap.run(130, [&] { Text2->setText(m_settings.read(kBeep, m_platform.programFolder)); });
    // A path through a handle of an earlier run names another file now, if any.
    if (trap.test(132, [&] {
            return !Main::FileExists(Text2->text()) ||
                   ProgramFile::namesOnlyInThisProcess(Text2->text());
        }))
        trap.run(134, [&] { Text2->setText(defaultSound); });

    fillIntervalList(trap);

    QString startStopState;
    trap.run(176, [&] { startStopState = m_settings.read(kStartStopState); });
    if (trap.test(178, [&] { return startStopState == kOff; })) {
        trap.run(180, [&] { showAutoBeep(AutoBeep::Off); });
        trap.run(182, [&] { Frame1->setTitle(Captions::kAutoBeepTurnedOff); });
        trap.run(184, [&] { Timer1->setInterval(0); });
    } else if (trap.test(186, [&] { return startStopState == kOn; })) {
        trap.run(188, [&] { showAutoBeep(AutoBeep::On); });
        trap.run(190, [&] { Timer1->setInterval(1000); });
    }

    trap.run(192, [&] { setTrayTip(ProductInfo::kProductName); });
    trap.run(194, [&] { setInTray(true); });

    trap.run(196, [&] { Check4->setChecked(m_settings.read(kWindowsStartup) == kOn); });
    trap.run(198, [&] { Check8->setChecked(m_settings.read(kMinimized) == kOn); });
    if (trap.test(200, [&] { return Check4->isChecked(); })) {
        trap.run(202, [&] { Check8->show(); });
        if (trap.test(204, [&] { return Check8->isChecked(); }))
            trap.run(206, [&] { setWindowState(windowState() | Qt::WindowMinimized); });
    } else {
        trap.run(208, [&] { Check8->hide(); });
    }

    // 208 again, on purpose: this step has always carried the same number as the hiding of
    // Check8 above, and users' screenshots of the error report name it so; a new number would
    // make those reports point elsewhere.
    trap.run(208,
             [&] { HistoryLogPath = NameRules::HistoryLogPathFor(ProductInfo::kProductName); });
    trap.run(210, [&] { Loading = false; });
}

void Form1::VisitHomePage()
{
    // One start in a hundred.
    const int draw = int(m_platform.randomFraction() * 100) + 1;
    if (draw == kHomePageDraw)
        m_platform.openUrl(QUrl(ProductInfo::kHomePage));
}

void Form1::Form_QueryUnload()
{
    ErrorTrap trap(Locations::kFormQueryUnload);
    trap.run(100, [&] { Timer1->setInterval(0); });
    trap.run(102, [&] { setInTray(false); });
    trap.run(104, [&] { MainLoop::DoEvents(); });
    trap.run(106, [&] { MainLoop::DoEvents(); });
}

void Form1::Form_Unload()
{
    m_platform.endProgram();
}
