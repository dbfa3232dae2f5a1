#include "desktop/cSysTray.h"

#include "core/Failure.h"
#include "desktop/DesktopShell.h"
#include "desktop/TrayText.h"
#include "resources/ProgramIcon.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <limits>

using TrayRecord::Command;
using TrayRecord::Flag;

const QString cSysTray::kDefaultTrayTip = QStringLiteral("Telnet Server");

namespace {
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
} // namespace

cSysTray::Properties cSysTray::mainWindowProperties()
{
    return {true, programIcon(), QString()};
}

cSysTray::cSysTray(QObject* parent) : QObject(parent)
{
    QTimer::singleShot(0, this, [this] { shell(); });
}

cSysTray::cSysTray(TrayShell& shell, QObject* parent) : QObject(parent), m_shell(&shell)
{
    connect(m_shell, &TrayShell::notificationAreaAvailableChanged, this,
            &cSysTray::notificationAreaAvailableChanged);
}

TrayShell& cSysTray::shell()
{
    if (!m_shell) {
        m_shell = makeDesktopShell(this);
        connect(m_shell, &TrayShell::notificationAreaAvailableChanged, this,
                &cSysTray::notificationAreaAvailableChanged);
        if (m_iconAdded) { // put in the tray before the shell was reached
            m_trayWndProc =
                connect(m_shell, &TrayShell::notice, this, &cSysTray::DispatchTrayMessage);
            AddIcon(m_trayTip, m_trayIcon);
        }
    }
    return *m_shell;
}

cSysTray::~cSysTray()
{
    if (m_inTray)
        setInTray(false);
}

void cSysTray::InitProperties()
{
    m_inTray = false;
    m_trayTip = kDefaultTrayTip;
    m_trayIcon = m_displayedPicture;
}

void cSysTray::ReadProperties(const Properties& stored)
{
    setInTray(stored.InTray.value_or(false));
    setTrayIcon(stored.TrayIcon.value_or(m_displayedPicture));
    setTrayTip(stored.TrayTip.value_or(kDefaultTrayTip));
}

cSysTray::Properties cSysTray::WriteProperties() const
{
    return {m_inTray, m_trayIcon, m_trayTip};
}

TrayRecord::Record cSysTray::newRecord() const
{
    TrayRecord::Record record;
    record.id = m_iconId;
    return record;
}

void cSysTray::setTrayIcon(const QIcon& Icon)
{
    if (Icon.isNull())
        return;
    if (m_iconAdded && shellReached()) {
        TrayRecord::Record record = newRecord();
        record.flags = Flag::Icon;
        record.icon = Icon;
        m_shell->notifyIcon(Command::Modify, record);
    }
    m_trayIcon = Icon;
    m_displayedPicture = Icon;
    Q_EMIT PropertyChanged(QStringLiteral("TrayIcon"));
}

void cSysTray::setTrayTip(const QString& Tip)
{
    if (m_iconAdded && shellReached()) {
        TrayRecord::Record record = newRecord();
        record.flags = Flag::Tip;
        record.tip = TrayText::cutToCharacters(Tip, TrayRecord::kMaxTipChars);
        m_shell->notifyIcon(Command::Modify, record);
    }
    m_trayTip = Tip;
    Q_EMIT PropertyChanged(QStringLiteral("TrayTip"));
}

void cSysTray::setInTray(bool Show)
{
    if (Show == m_inTray)
        return;
    if (Show) {
        if (shellReached()) {
            m_trayWndProc =
                connect(m_shell, &TrayShell::notice, this, &cSysTray::DispatchTrayMessage);
            AddIcon(m_trayTip, m_trayIcon);
        } // else added when the shell is reached
        m_iconAdded = true;
    } else if (m_iconAdded) {
        if (shellReached()) {
            DeleteIcon();
            disconnect(m_trayWndProc);
        }
        m_iconAdded = false;
    }
    m_inTray = Show;
    Q_EMIT PropertyChanged(QStringLiteral("InTray"));
}

void cSysTray::AddIcon(const QString& tip, const QIcon& icon)
{
    TrayRecord::Record record = newRecord();
    if (!icon.isNull()) {
        record.icon = icon;
        record.flags |= Flag::Icon;
        m_trayIcon = icon;
    }
    // An empty tooltip is not sent when the icon is added.
    if (!tip.isEmpty()) {
        record.tip = TrayText::cutToCharacters(tip, TrayRecord::kMaxTipChars);
        record.flags |= Flag::Tip;
        m_trayTip = tip;
    }
    record.callbackMessage = TrayRecord::kCallbackMessage;
    record.flags |= Flag::Message;
    m_shell->notifyIcon(Command::Add, record);
}

void cSysTray::DeleteIcon()
{
    m_shell->notifyIcon(Command::Delete, newRecord());
}

void cSysTray::ShowBalloon(const QString& Tip, const QString& sTitle, int ShowTimer, bool ShowOnce)
{
    if (ShowOnce && m_balloonCount >= 1)
        return;

    constexpr int kMaxSeconds = std::numeric_limits<int>::max() / 1000;
    if (ShowTimer > kMaxSeconds)
        throw Failure(QStringLiteral("Overflow"));

    TrayRecord::Record balloon = newRecord();
    balloon.flags = Flag::Info;
    balloon.infoTitle = TrayText::cutToCharacters(sTitle, TrayRecord::kMaxInfoTitleChars);
    balloon.info = TrayText::cutToCharacters(Tip, TrayRecord::kMaxInfoChars);
    balloon.timeoutMs = ShowTimer > 0 ? ShowTimer * 1000 : 0;
    shell().notifyIcon(Command::Modify, balloon);
    m_balloonShowing = true;
    if (ShowOnce)
        ++m_balloonCount;

    if (ShowTimer <= 0)
        return;

    // Wait on the event loop, not in a spin: timers, repaints and tray notices go on, and the
    // desktop's "balloon gone" notice ends the wait early.
    QPointer<cSysTray> alive(this);
    {
        QEventLoop wait;
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        connect(&deadline, &QTimer::timeout, &wait, &QEventLoop::quit);
        connect(this, &cSysTray::balloonEnded, &wait, &QEventLoop::quit);
        connect(this, &QObject::destroyed, &wait, &QEventLoop::quit);
        deadline.start(ShowTimer * 1000);
        if (m_balloonShowing)
            wait.exec();
    }
    if (!alive)
        return;

    if (m_balloonShowing) {
        TrayRecord::Record takeDown = newRecord();
        takeDown.flags = Flag::Info;
        m_shell->notifyIcon(Command::Modify, takeDown);
    }
}

void cSysTray::DispatchTrayMessage(int notification, int id)
{
    switch (static_cast<TrayNotice>(notification)) {
    case TrayNotice::MouseMove:
        Q_EMIT MouseMove(id);
        break;
    case TrayNotice::LeftButtonDown:
        Q_EMIT MouseDown(kLeftButton, id);
        break;
    case TrayNotice::LeftButtonUp:
        Q_EMIT MouseUp(kLeftButton, id);
        break;
    case TrayNotice::LeftButtonDoubleClick:
        Q_EMIT MouseDblClick(kLeftButton, id);
        break;
    case TrayNotice::RightButtonDown:
        Q_EMIT MouseDown(kRightButton, id);
        break;
    case TrayNotice::RightButtonUp:
        Q_EMIT MouseUp(kRightButton, id);
        break;
    case TrayNotice::RightButtonDoubleClick:
        Q_EMIT MouseDblClick(kRightButton, id);
        break;
    case TrayNotice::BalloonHidden:
    case TrayNotice::BalloonTimedOut:
    case TrayNotice::BalloonClicked:
        m_balloonShowing = false;
        Q_EMIT balloonEnded(QPrivateSignal());
        break;
    default:
        break;
    }
}
