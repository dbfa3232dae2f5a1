#include "app/CaptionFrame.h"
#include "app/Form1.h"
#include "app/Locations.h"
#include "appearance/ApplySkin.h"
#include "appearance/CursorFile.h"
#include "appearance/HelpMessage.h"
#include "appearance/PointerFeedback.h"
#include "appearance/SkinEngine.h"
#include "core/ErrorTrap.h"
#include "core/NameRules.h"
#include "resources/ProgramIcon.h"

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QTreeWidget>

void Form1::ApplySkin()
{
    ::ApplySkin(this, *SkinFramework1, m_platform.programFolder);
}

void Form1::watchPointer()
{
    Pointer = new PointerFeedback(this,
                                  {PushButton1, PushButton3, PushButton4, PushButton5, PushButton6,
                                   PushButton8, PushButton11, PushButton12},
                                  {this, Frame1, Frame2, Frame3, ListView1, ListView1->viewport()});
    connect(PushButton11, &QPushButton::clicked, this, &Form1::PushButton11_Click);
}

void Form1::PushButton11_Click()
{
    ErrorTrap trap(Locations::kPushButton11);
    trap.run(100, [&] { ShowHelpMessage(this, NameRules::AppTitle()); });
}

void Form1::loadCustomPointer(const QString& path)
{
    Pointer->setCustomCursor(readCursorFile(path));
}

void Form1::setProgramIcon()
{
    // Title bars and taskbars show it at 64 pixels at most (128 on a doubled screen); the
    // 256-pixel picture would only add 256 KB to send to the X server before the window shows.
    constexpr int kLargestWindowIcon = 128;
    setWindowIcon(programIcon(kLargestWindowIcon));
}
