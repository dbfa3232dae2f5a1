#include "desktop/WindowsTrayShell.h"

#include "desktop/TrayClicks.h"

using TrayRecord::Command;
using TrayRecord::Flag;

WindowsTrayShell::WindowsTrayShell(QObject* parent)
    : TrayShell(parent), m_icon(new QSystemTrayIcon(this))
{
    connect(m_icon, &QSystemTrayIcon::activated, this, &WindowsTrayShell::onActivated);
    connect(m_icon, &QSystemTrayIcon::messageClicked, this,
            [this] { sendNotices({TrayNotice::BalloonClicked}); });
}

void WindowsTrayShell::takeFields(const TrayRecord::Record& record)
{
    if (record.has(Flag::Icon))
        m_icon->setIcon(record.icon);
    if (record.has(Flag::Tip))
        m_icon->setToolTip(record.tip);
}

void WindowsTrayShell::notifyIcon(Command command, const TrayRecord::Record& record)
{
    switch (command) {
    case Command::Add:
        if (m_added)
            return;
        m_added = true;
        m_id = record.id;
        takeFields(record);
        m_icon->setVisible(!m_icon->icon().isNull());
        break;
    case Command::Modify:
        // An icon that is not there cannot be changed, nor can it show a balloon.
        if (!m_added || record.id != m_id)
            return;
        takeFields(record);
        m_icon->setVisible(!m_icon->icon().isNull());
        if (record.has(Flag::Info) && m_icon->isVisible()) {
            // An empty text takes a balloon that is up down again, as Windows does.
            m_icon->showMessage(record.info.isEmpty() ? QString() : record.infoTitle, record.info,
                                QSystemTrayIcon::NoIcon, record.timeoutMs);
            if (!record.info.isEmpty())
                sendNotices({TrayNotice::BalloonShown});
        }
        break;
    case Command::Delete:
        if (!m_added || record.id != m_id)
            return;
        m_added = false;
        m_icon->hide();
        break;
    }
}

bool WindowsTrayShell::notificationAreaAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void WindowsTrayShell::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    sendNotices(noticesForClick(reason));
}

void WindowsTrayShell::sendNotices(const std::vector<TrayNotice>& notices)
{
    for (TrayNotice notice : notices)
        Q_EMIT TrayShell::notice(static_cast<int>(notice), m_id);
}
