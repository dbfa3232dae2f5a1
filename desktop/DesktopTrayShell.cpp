#include "desktop/DesktopTrayShell.h"

#include "desktop/BalloonService.h"
#include "desktop/StatusNotifierHostWatch.h"
#include "desktop/StatusNotifierItem.h"
#include "desktop/TrayClicks.h"

#include <QGuiApplication>

using TrayRecord::Command;
using TrayRecord::Flag;

namespace {
// A host lists an item it is offered within milliseconds; this bounds the wait at the start.
constexpr int kItemListedTimeoutMs = 1000;
} // namespace

DesktopTrayShell::DesktopTrayShell(QObject* parent)
    : TrayShell(parent), m_hostWatch(new StatusNotifierHostWatch(this)),
      // Qt asks the same question as its first QSystemTrayIcon is made, right here.
      m_qtUsesStatusNotifier(m_hostWatch->hostRegistered()), m_qtIcon(new QSystemTrayIcon(this)),
      m_balloons(new BalloonService(this)),
      m_x11(QGuiApplication::platformName() == QStringLiteral("xcb"))
{
    connect(m_qtIcon, &QSystemTrayIcon::activated, this, &DesktopTrayShell::onQtActivated);
    connect(m_hostWatch, &StatusNotifierHostWatch::hostRegisteredChanged, this, [this] {
        updateIcon();
        checkAvailability();
    });
    connect(m_hostWatch, &StatusNotifierHostWatch::itemListedChanged, this,
            &DesktopTrayShell::checkAvailability);

    connect(m_balloons, &BalloonService::shown, this,
            [this] { sendNotices({TrayNotice::BalloonShown}); });
    connect(m_balloons, &BalloonService::clicked, this,
            [this] { sendNotices({TrayNotice::BalloonClicked}); });
    connect(m_balloons, &BalloonService::closed, this, [this](BalloonService::CloseReason why) {
        const bool timedOut = why == BalloonService::CloseReason::Expired ||
                              why == BalloonService::CloseReason::Dismissed;
        sendNotices({timedOut ? TrayNotice::BalloonTimedOut : TrayNotice::BalloonHidden});
    });

    m_lastAvailable = notificationAreaAvailable();
    if (m_x11 && !m_qtUsesStatusNotifier) {
        // Qt's X11 platform tells when a system tray comes or goes through a signal of its
        // native interface, the one QSystemTrayIcon itself listens to; there is no typed API
        // for it. Listening, rather than asking every few seconds, lets the program sleep.
        // The interface is a QObject (its only base), which the public headers do not show.
        auto* native =
            static_cast<QObject*>(static_cast<void*>(QGuiApplication::platformNativeInterface()));
        connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), this, SLOT(checkAvailability()));
    }
}

DesktopTrayShell::~DesktopTrayShell() = default;

void DesktopTrayShell::notifyIcon(Command command, const TrayRecord::Record& record)
{
    switch (command) {
    case Command::Add:
        if (m_added)
            return;
        m_added = true;
        m_id = record.id;
        if (record.has(Flag::Icon))
            m_icon = record.icon;
        if (record.has(Flag::Tip))
            m_tip = record.tip;
        updateIcon();
        // A start hidden in the tray asks next whether the icon is shown: give the host the
        // moment it takes to list the item just offered.
        if (route() == Route::QtStatusNotifier || route() == Route::OwnStatusNotifier)
            m_hostWatch->waitForItem(kItemListedTimeoutMs);
        break;
    case Command::Modify:
        // As in any tray, an icon that is not there cannot be changed, nor can it show a
        // balloon.
        if (!m_added || record.id != m_id)
            return;
        if (record.has(Flag::Icon))
            m_icon = record.icon;
        if (record.has(Flag::Tip))
            m_tip = record.tip;
        if (record.has(Flag::Icon) || record.has(Flag::Tip))
            updateIcon();
        if (record.has(Flag::Info)) {
            if (record.info.isEmpty())
                m_balloons->close();
            else
                m_balloons->show(record.infoTitle, record.info, record.timeoutMs);
        }
        break;
    case Command::Delete:
        if (!m_added || record.id != m_id)
            return;
        m_added = false;
        m_balloons->close();
        updateIcon();
        break;
    }
}

bool DesktopTrayShell::systemTrayPresent() const
{
    // Only asked on the X11 route: with a StatusNotifier route this question would make Qt
    // open a bus connection each time.
    return m_x11 && !m_qtUsesStatusNotifier && QSystemTrayIcon::isSystemTrayAvailable();
}

bool DesktopTrayShell::notificationAreaAvailable() const
{
    // The tray that shows the icon counts, not any tray: GNOME's AppIndicator extension brings
    // an X11 tray beside its host, where our own item's icon is not. A StatusNotifier host
    // counts once its watcher lists the item: a host may drop an item it could not read, and
    // a window hidden in a tray that shows no icon for it is lost.
    if (m_ownItem || m_qtUsesStatusNotifier)
        return m_hostWatch->hostRegistered() && m_hostWatch->itemListed();
    return systemTrayPresent();
}

DesktopTrayShell::Route DesktopTrayShell::route() const
{
    if (m_ownItem)
        return Route::OwnStatusNotifier;
    if (!m_qtIcon->isVisible())
        return Route::None;
    if (m_qtUsesStatusNotifier)
        return m_hostWatch->hostRegistered() ? Route::QtStatusNotifier : Route::None;
    return systemTrayPresent() ? Route::QtSystemTray : Route::None;
}

void DesktopTrayShell::updateIcon()
{
    const bool wanted = m_added && !m_icon.isNull();

    // Keep our own item while its host lives, even when an X11 tray turns up beside it;
    // start one only for a host that Qt's choice at start-up cannot serve.
    if (m_ownItem && (!wanted || !m_hostWatch->hostRegistered())) {
        delete m_ownItem;
        m_ownItem = nullptr;
    }
    if (!m_ownItem && wanted && !m_qtUsesStatusNotifier && m_hostWatch->hostRegistered() &&
        !systemTrayPresent()) {
        m_ownItem = new StatusNotifierItem(this);
        connect(m_ownItem, &StatusNotifierItem::activated, this,
                [this](StatusNotifierItem::Activation how) {
                    switch (how) {
                    case StatusNotifierItem::Activation::Primary:
                        onQtActivated(QSystemTrayIcon::Trigger);
                        break;
                    case StatusNotifierItem::Activation::Secondary:
                        onQtActivated(QSystemTrayIcon::MiddleClick);
                        break;
                    case StatusNotifierItem::Activation::Context:
                        onQtActivated(QSystemTrayIcon::Context);
                        break;
                    }
                });
    }

    if (m_ownItem) {
        m_ownItem->setIcon(m_icon);
        m_ownItem->setToolTip(m_tip);
        m_qtIcon->hide();
        return;
    }
    m_qtIcon->setIcon(m_icon);
    m_qtIcon->setToolTip(m_tip);
    // Shown even with no tray yet: Qt docks it in an X11 system tray as soon as one appears.
    // Other platforms (Wayland, offscreen) have no such tray to wait for.
    m_qtIcon->setVisible(wanted && (m_qtUsesStatusNotifier || m_x11));
}

void DesktopTrayShell::onQtActivated(QSystemTrayIcon::ActivationReason reason)
{
    sendNotices(noticesForClick(reason));
}

void DesktopTrayShell::sendNotices(const std::vector<TrayNotice>& notices)
{
    for (TrayNotice notice : notices)
        Q_EMIT TrayShell::notice(static_cast<int>(notice), m_id);
}

void DesktopTrayShell::checkAvailability()
{
    const bool available = notificationAreaAvailable();
    if (available == m_lastAvailable)
        return;
    m_lastAvailable = available;
    Q_EMIT notificationAreaAvailableChanged(available);
}
