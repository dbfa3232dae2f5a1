// The balloon client against a notification service on a private session bus: the Notify
// call, the service's signals filtered down to our own balloon, taking a balloon down, and
// silence without a service.

#include "FakeNotifications.h"

#include "desktop/BalloonService.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

namespace {

// A balloon shown through the service, and spies on what it reports.
struct ShownBalloon
{
    BalloonService balloons;
    QSignalSpy shown{&balloons, &BalloonService::shown};
    QSignalSpy closed{&balloons, &BalloonService::closed};
    QSignalSpy clicked{&balloons, &BalloonService::clicked};
    ShownBalloon() { balloons.show(QStringLiteral("t"), QStringLiteral("b"), 0); }
};

} // namespace

class tst_BalloonService : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void notifyCarriesTheBalloon();
    void bodyIsEscapedOnlyForAServiceThatReadsMarkup();
    void onlyNoticesAboutOurBalloonComeBack_data();
    void onlyNoticesAboutOurBalloonComeBack();
    void clickIsReportedOnce();
    void closeTakesTheBalloonDown();
    void closeBeforeTheServiceAnswers();
    void balloonReplacedBeforeTheServiceAnswers();
    void noServiceIsSilentAndQuick();
    void hungServiceDoesNotHoldUpTheCaller();

  private:
    std::unique_ptr<FakeNotifications> m_service;
};

void tst_BalloonService::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("no session bus: run under dbus-run-session");
}

void tst_BalloonService::init()
{
    m_service = std::make_unique<FakeNotifications>();
    QVERIFY(m_service->start());
}

void tst_BalloonService::cleanup()
{
    m_service.reset();
}

void tst_BalloonService::notifyCarriesTheBalloon()
{
    BalloonService balloons;
    QSignalSpy shown(&balloons, &BalloonService::shown);
    balloons.show(QStringLiteral("Pingora"), QStringLiteral("first line\r\nsecond 'line'"), 5000);

    QTRY_COMPARE(m_service->notifications.size(), 1);
    const FakeNotifications::Notification first = m_service->notifications[0];
    QCOMPARE(first.appName, QStringLiteral("Pingora"));
    QCOMPARE(first.replacesId, 0u);
    QCOMPARE(first.appIcon, QStringLiteral("com.example.pingora"));
    QCOMPARE(first.summary, QStringLiteral("Pingora"));
    QCOMPARE(first.body, QStringLiteral("first line\nsecond 'line'"));
    QVERIFY(first.actions.size() == 2 && first.actions[0] == QStringLiteral("default"));
    QCOMPARE(first.expireTimeout, 5000);
    QTRY_COMPARE(shown.count(), 1);

    // The next balloon replaces the one that is up; no time-out leaves it to the service.
    balloons.show(QStringLiteral("title"), QStringLiteral("text"), 0);
    QTRY_COMPARE(m_service->notifications.size(), 2);
    QCOMPARE(m_service->notifications[1].replacesId, first.id);
    QCOMPARE(m_service->notifications[1].expireTimeout, -1);
    QTRY_COMPARE(shown.count(), 2);
}

void tst_BalloonService::bodyIsEscapedOnlyForAServiceThatReadsMarkup()
{
    const QString text = QStringLiteral("a & b <c>");
    {
        BalloonService plain;
        plain.show(QStringLiteral("t"), text, 0);
        QTRY_COMPARE(m_service->notifications.size(), 1);
        QCOMPARE(m_service->notifications[0].body, text);
    }
    m_service->capabilities.append(QStringLiteral("body-markup"));
    BalloonService markup;
    markup.show(QStringLiteral("t & t"), text, 0);
    QTRY_COMPARE(m_service->notifications.size(), 2);
    QCOMPARE(m_service->notifications[1].body, QStringLiteral("a &amp; b &lt;c&gt;"));
    QCOMPARE(m_service->notifications[1].summary, QStringLiteral("t & t")); // never markup
}

void tst_BalloonService::onlyNoticesAboutOurBalloonComeBack_data()
{
    QTest::addColumn<uint>("reason");
    QTest::addColumn<BalloonService::CloseReason>("expected");
    QTest::newRow("expired") << 1u << BalloonService::CloseReason::Expired;
    QTest::newRow("dismissed") << 2u << BalloonService::CloseReason::Dismissed;
    QTest::newRow("closed") << 3u << BalloonService::CloseReason::Closed;
    QTest::newRow("undefined") << 4u << BalloonService::CloseReason::Other;
    QTest::newRow("unknown") << 9u << BalloonService::CloseReason::Other;
}

void tst_BalloonService::onlyNoticesAboutOurBalloonComeBack()
{
    QFETCH(uint, reason);
    QFETCH(BalloonService::CloseReason, expected);

    ShownBalloon balloon;
    QTRY_COMPARE(balloon.shown.count(), 1);
    const uint ours = m_service->notifications[0].id;
    QSignalSpy& closed = balloon.closed;
    QSignalSpy& clicked = balloon.clicked;

    // Another program's notification, and a stranger on the bus using the service's words.
    m_service->close(ours + 1, reason);
    m_service->invoke(ours + 1, QStringLiteral("default"));
    FakeNotifications stranger(QStringLiteral("stranger"));
    QDBusMessage forged = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("NotificationClosed"));
    forged << ours << reason;
    QDBusConnection(QStringLiteral("stranger")).send(forged);
    QTest::qWait(200);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(clicked.count(), 0);

    m_service->close(ours, reason);
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(closed[0][0].value<BalloonService::CloseReason>(), expected);

    // Gone is gone: a second report about the same balloon is not passed on.
    m_service->close(ours, reason);
    QTest::qWait(100);
    QCOMPARE(closed.count(), 1);
}

void tst_BalloonService::clickIsReportedOnce()
{
    ShownBalloon balloon;
    QTRY_COMPARE(balloon.shown.count(), 1);
    const uint ours = m_service->notifications[0].id;
    QSignalSpy& closed = balloon.closed;
    QSignalSpy& clicked = balloon.clicked;

    // Services report the balloon dismissed right after the click.
    m_service->invoke(ours, QStringLiteral("default"));
    m_service->close(ours, 2);
    QTRY_COMPARE(clicked.count(), 1);
    QTest::qWait(100);
    QCOMPARE(closed.count(), 0);
}

void tst_BalloonService::closeTakesTheBalloonDown()
{
    BalloonService balloons;
    QSignalSpy shown(&balloons, &BalloonService::shown);
    balloons.close(); // nothing up: nothing to say
    balloons.show(QStringLiteral("t"), QStringLiteral("b"), 0);
    QTRY_COMPARE(shown.count(), 1);

    balloons.close();
    QTRY_COMPARE(m_service->closeCalls, QList<uint>{m_service->notifications[0].id});
    balloons.close();
    QTest::qWait(100);
    QCOMPARE(m_service->closeCalls.size(), 1);
}

void tst_BalloonService::closeBeforeTheServiceAnswers()
{
    m_service->holdReplies = true;
    BalloonService balloons;
    QSignalSpy shown(&balloons, &BalloonService::shown);
    balloons.show(QStringLiteral("t"), QStringLiteral("b"), 0);
    QTRY_COMPARE(m_service->notifications.size(), 1);
    balloons.close();
    m_service->releaseReplies();

    QTRY_COMPARE(m_service->closeCalls, QList<uint>{m_service->notifications[0].id});
    QCOMPARE(shown.count(), 0);
}

void tst_BalloonService::balloonReplacedBeforeTheServiceAnswers()
{
    BalloonService balloons;
    QSignalSpy shown(&balloons, &BalloonService::shown);
    QSignalSpy closed(&balloons, &BalloonService::closed);
    balloons.show(QStringLiteral("earlier"), QStringLiteral("b"), 0);
    QTRY_COMPARE(shown.count(), 1);
    balloons.close();
    QTRY_COMPARE(m_service->closeCalls.size(), 1);
    m_service->closeCalls.clear();
    shown.clear();

    m_service->holdReplies = true;
    balloons.show(QStringLiteral("first"), QStringLiteral("b"), 0);
    balloons.show(QStringLiteral("second"), QStringLiteral("b"), 0);
    QTRY_COMPARE(m_service->notifications.size(), 3);
    m_service->releaseReplies();

    // The first one, whose id came too late to be replaced, is taken down.
    const uint first = m_service->notifications[1].id;
    const uint second = m_service->notifications[2].id;
    QTRY_COMPARE(m_service->closeCalls, QList<uint>{first});
    QTRY_COMPARE(shown.count(), 1);
    QTest::qWait(100);
    QCOMPARE(closed.count(), 0); // the close of the first is not about the second

    m_service->close(second, 1);
    QTRY_COMPARE(closed.count(), 1);
}

void tst_BalloonService::noServiceIsSilentAndQuick()
{
    m_service.reset();

    QElapsedTimer clock;
    clock.start();
    BalloonService balloons;
    QSignalSpy shown(&balloons, &BalloonService::shown);
    QSignalSpy closed(&balloons, &BalloonService::closed);
    balloons.show(QStringLiteral("t"), QStringLiteral("b"), 5000);
    balloons.close();
    balloons.show(QStringLiteral("t"), QStringLiteral("b"), 5000);

    // A client on no bus at all is just as quiet. (A call left waiting would take the D-Bus
    // time-out of 25 seconds; the bound only has to tell the two apart on a busy machine.)
    BalloonService nowhere(QDBusConnection(QStringLiteral("no such connection")));
    nowhere.show(QStringLiteral("t"), QStringLiteral("b"), 5000);
    nowhere.close();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));

    QTest::qWait(500);
    QCOMPARE(shown.count(), 0);
    QCOMPARE(closed.count(), 0);
}

void tst_BalloonService::hungServiceDoesNotHoldUpTheCaller()
{
    m_service->holdReplies = true; // and never answers
    BalloonService balloons;
    QElapsedTimer clock;
    clock.start();
    balloons.show(QStringLiteral("t"), QStringLiteral("b"), 5000);
    balloons.show(QStringLiteral("t"), QStringLiteral("b"), 5000);
    balloons.close();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(tst_BalloonService)
#include "tst_balloon_service.moc"
