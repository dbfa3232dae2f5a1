// The tray icon control against a recording notification area: what it sends, in which
// order, and how it answers the desktop's notices.

#include "RecordingTrayShell.h"
#include "TestFiles.h"

#include "core/Failure.h"
#include "desktop/cSysTray.h"
#include "resources/ProgramIcon.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using TrayRecord::Command;
using TrayRecord::Flag;

namespace {

QIcon someIcon(Qt::GlobalColor color = Qt::red)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

QImage pictureOf(const QIcon& icon)
{
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_RGB32);
}

// A text of n characters outside the Basic Multilingual Plane (two UTF-16 units each).
QString bells(int n)
{
    QString text;
    for (int i = 0; i < n; ++i)
        text += QString::fromUcs4(U"\U0001F514");
    return text;
}

} // namespace

class tst_cSysTray : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void inTrayAddsOnceAndDeletesOnlyWhatWasAdded();
    void mainWindowStartUpSequence();
    void freshControlAndMissingProperties();
    void valuesWrittenOutsideTheTrayAreUsedByTheNextAdd();
    void nullIconIsIgnored();
    void textsAreCutOnCharacterBoundaries();
    void showOnceShowsOnlyTheFirstBalloon();
    void balloonWaitEndsOnTheDesktopsNotice_data();
    void balloonWaitEndsOnTheDesktopsNotice();
    void balloonWaitEndsAfterShowTimerAndTakesTheBalloonDown();
    void showTimerZeroOrLessReturnsAtOnce();
    void showTimerTooLargeOverflowsBeforeSending();
    void noticesBecomeMouseEvents_data();
    void noticesBecomeMouseEvents();
    void noticesOutsideTheTrayAreIgnored();
    void trayEventsRunInsideTheBalloonWait();
    void controlDeletedDuringTheBalloonWait();
    void notificationAreaAvailabilityComesFromTheShell();
};

void tst_cSysTray::inTrayAddsOnceAndDeletesOnlyWhatWasAdded()
{
    RecordingTrayShell shell;
    {
        cSysTray tray(shell);
        QSignalSpy changed(&tray, &cSysTray::PropertyChanged);

        tray.setInTray(false); // no change at all
        QVERIFY(shell.calls.isEmpty());
        QCOMPARE(changed.count(), 0);

        tray.setInTray(true);
        tray.setInTray(true);
        QCOMPARE(shell.calls.size(), 1);
        QCOMPARE(shell.calls[0].command, Command::Add);
        QVERIFY(tray.iconAdded());
        QCOMPARE(changed.count(), 1);

        tray.setInTray(false);
        QCOMPARE(shell.calls.size(), 2);
        QCOMPARE(shell.calls[1].command, Command::Delete);
        QCOMPARE(shell.calls[1].record.id, 0);
        QCOMPARE(shell.calls[1].record.flags, 0);
        QVERIFY(!tray.iconAdded());
        QVERIFY(!tray.inTray());

        tray.setInTray(true);
    }
    // Ending the control takes its icon out of the tray.
    QCOMPARE(shell.calls.size(), 4);
    QCOMPARE(shell.calls[3].command, Command::Delete);
}

void tst_cSysTray::mainWindowStartUpSequence()
{
    RecordingTrayShell shell;
    auto tray = std::make_unique<cSysTray>(shell);
    tray->ReadProperties(cSysTray::mainWindowProperties());

    // Added without image or tooltip, then the image, then the empty tooltip.
    QCOMPARE(shell.calls.size(), 3);
    const auto& add = shell.calls[0];
    QCOMPARE(add.command, Command::Add);
    QCOMPARE(add.record.flags, int(Flag::Message));
    QCOMPARE(add.record.callbackMessage, TrayRecord::kCallbackMessage);
    QCOMPARE(add.record.id, 0);
    QVERIFY(add.record.icon.isNull());

    const auto& image = shell.calls[1];
    QCOMPARE(image.command, Command::Modify);
    QCOMPARE(image.record.flags, int(Flag::Icon));
    QCOMPARE(image.record.callbackMessage, 0);
    QCOMPARE(pictureOf(image.record.icon),
             drawProgramIcon(16).convertToFormat(QImage::Format_RGB32));

    const auto& tip = shell.calls[2];
    QCOMPARE(tip.command, Command::Modify);
    QCOMPARE(tip.record.flags, int(Flag::Tip));
    QCOMPARE(tip.record.tip, QString());

    // Start-up then names the tooltip and asks for the icon that is already there.
    tray->setTrayTip(QStringLiteral("Pingora"));
    tray->setInTray(true);
    QCOMPARE(shell.calls.size(), 4);
    QCOMPARE(shell.calls[3].record.flags, int(Flag::Tip));
    QCOMPARE(shell.calls[3].record.tip, QStringLiteral("Pingora"));

    // A later empty tooltip is sent: it clears the shown one.
    tray->setTrayTip(QString());
    QCOMPARE(shell.calls.size(), 5);
    QCOMPARE(shell.calls[4].record.flags, int(Flag::Tip));
    QCOMPARE(shell.calls[4].record.tip, QString());

    const cSysTray::Properties saved = tray->WriteProperties();
    QCOMPARE(saved.InTray, std::optional<bool>(true));
    QCOMPARE(saved.TrayTip, std::optional<QString>(QString()));
    QCOMPARE(pictureOf(*saved.TrayIcon), drawProgramIcon(16).convertToFormat(QImage::Format_RGB32));

    tray.reset();
    QCOMPARE(shell.calls.last().command, Command::Delete);
}

void tst_cSysTray::freshControlAndMissingProperties()
{
    RecordingTrayShell shell;
    cSysTray placed(shell);
    placed.InitProperties();
    QVERIFY(!placed.inTray());
    QCOMPARE(placed.trayTip(), QStringLiteral("Telnet Server"));
    QVERIFY(placed.trayIcon().isNull());

    cSysTray read(shell);
    read.ReadProperties({});
    QVERIFY(!read.inTray());
    QCOMPARE(read.trayTip(), QStringLiteral("Telnet Server"));
    QVERIFY(shell.calls.isEmpty());

    // A missing icon reads as the picture the control already shows.
    cSysTray shown(shell);
    shown.setTrayIcon(someIcon(Qt::green));
    shown.ReadProperties({true, std::nullopt, QStringLiteral("tip")});
    QCOMPARE(pictureOf(shown.trayIcon()), pictureOf(someIcon(Qt::green)));
    QCOMPARE(shell.calls.first().record.flags, Flag::Message | Flag::Icon);
}

void tst_cSysTray::valuesWrittenOutsideTheTrayAreUsedByTheNextAdd()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setTrayIcon(someIcon());
    tray.setTrayTip(QStringLiteral("Pingora"));
    QVERIFY(shell.calls.isEmpty());

    tray.setInTray(true);
    QCOMPARE(shell.calls.size(), 1);
    const auto& add = shell.calls[0].record;
    QCOMPARE(add.flags, Flag::Message | Flag::Icon | Flag::Tip);
    QCOMPARE(add.tip, QStringLiteral("Pingora"));
    QCOMPARE(pictureOf(add.icon), pictureOf(someIcon()));

    // A long tip written outside the tray is cut when the icon is added, too.
    tray.setInTray(false);
    tray.setTrayTip(QString(200, u'x'));
    tray.setInTray(true);
    QCOMPARE(shell.calls.last().record.tip, QString(127, u'x'));
}

void tst_cSysTray::nullIconIsIgnored()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setTrayIcon(someIcon());
    tray.setInTray(true);
    shell.calls.clear();
    QSignalSpy changed(&tray, &cSysTray::PropertyChanged);

    tray.setTrayIcon(QIcon());
    QVERIFY(shell.calls.isEmpty());
    QCOMPARE(changed.count(), 0);
    QCOMPARE(pictureOf(tray.trayIcon()), pictureOf(someIcon()));

    tray.setTrayIcon(someIcon(Qt::blue));
    QCOMPARE(shell.calls.size(), 1);
    QCOMPARE(shell.calls[0].record.flags, int(Flag::Icon));
}

void tst_cSysTray::textsAreCutOnCharacterBoundaries()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setInTray(true);

    const QString longTip = QString(200, u'x');
    tray.setTrayTip(longTip);
    QCOMPARE(shell.calls.last().record.tip, QString(127, u'x'));
    QCOMPARE(tray.trayTip(), longTip); // the control keeps the whole text

    tray.setTrayTip(bells(200));
    QCOMPARE(shell.calls.last().record.tip, bells(127));

    // A letter with its combining accent is one character: it is left out whole.
    const QString accented = QString(126, u'a') + QStringLiteral("e\u0301") + QStringLiteral("zz");
    tray.setTrayTip(accented);
    QCOMPARE(shell.calls.last().record.tip, QString(126, u'a'));

    // An odd cut through two-unit characters must not leave half of one behind.
    tray.setTrayTip(QStringLiteral("a") + bells(200));
    const QString cut = shell.calls.last().record.tip;
    QCOMPARE(cut, QStringLiteral("a") + bells(126));
    QVERIFY(!cut.back().isHighSurrogate());

    tray.ShowBalloon(bells(300), QString(100, u't'), 0, false);
    QCOMPARE(shell.calls.last().record.info, bells(255));
    QCOMPARE(shell.calls.last().record.infoTitle, QString(63, u't'));

    tray.ShowBalloon(QStringLiteral("short"), QStringLiteral("title"), 0, false);
    QCOMPARE(shell.calls.last().record.info, QStringLiteral("short"));
    QCOMPARE(shell.calls.last().record.infoTitle, QStringLiteral("title"));
}

void tst_cSysTray::showOnceShowsOnlyTheFirstBalloon()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setInTray(true);
    shell.calls.clear();

    tray.ShowBalloon(QStringLiteral("first"), QStringLiteral("Pingora"), 0, true);
    tray.ShowBalloon(QStringLiteral("second"), QStringLiteral("Pingora"), 0, true);
    QCOMPARE(shell.calls.size(), 1);
    QCOMPARE(shell.calls[0].command, Command::Modify);
    QCOMPARE(shell.calls[0].record.flags, int(Flag::Info));
    QCOMPARE(shell.calls[0].record.info, QStringLiteral("first"));
    QCOMPARE(tray.balloonCount(), 1);
    QVERIFY(tray.balloonShowing());

    // Balloons not limited to once always show and are not counted.
    tray.ShowBalloon(QStringLiteral("always"), QStringLiteral("Pingora"), 0, false);
    tray.ShowBalloon(QStringLiteral("always"), QStringLiteral("Pingora"), 0, false);
    QCOMPARE(shell.calls.size(), 3);
    QCOMPARE(tray.balloonCount(), 1);

    // The limit belongs to the control, not to the icon being in the tray.
    tray.setInTray(false);
    tray.setInTray(true);
    const auto before = shell.calls.size();
    tray.ShowBalloon(QStringLiteral("again"), QStringLiteral("Pingora"), 0, true);
    QCOMPARE(shell.calls.size(), before);
}

void tst_cSysTray::balloonWaitEndsOnTheDesktopsNotice_data()
{
    QTest::addColumn<TrayNotice>("notice");
    QTest::newRow("hidden") << TrayNotice::BalloonHidden;
    QTest::newRow("timed out") << TrayNotice::BalloonTimedOut;
    QTest::newRow("clicked") << TrayNotice::BalloonClicked;
}

void tst_cSysTray::balloonWaitEndsOnTheDesktopsNotice()
{
    QFETCH(TrayNotice, notice);
    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setInTray(true);
    shell.calls.clear();

    QTimer::singleShot(150, &shell, [&] { shell.send(notice); });
    QElapsedTimer clock;
    clock.start();
    tray.ShowBalloon(QStringLiteral("text"), QStringLiteral("Pingora"), 5, true);
    const qint64 waited = clock.elapsed();

    QVERIFY2(waited >= 100 && waited < 2000, qPrintable(QString::number(waited)));
    QVERIFY(!tray.balloonShowing());
    QCOMPARE(shell.calls.size(), 1); // shown, not taken down by the control
    QCOMPARE(shell.calls[0].record.timeoutMs, 5000);
}

void tst_cSysTray::balloonWaitEndsAfterShowTimerAndTakesTheBalloonDown()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setInTray(true);
    shell.calls.clear();

    // Notices that do not end a balloon leave the wait running.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        shell.send(TrayNotice::BalloonShown);
        shell.send(TrayNotice::MouseMove);
    });
    ticker.start(100);

    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    tray.ShowBalloon(QStringLiteral("text"), QStringLiteral("Pingora"), 1, false);
    const double cpuUsed = cpuSeconds() - cpuBefore;
    const qint64 waited = clock.elapsed();

    QVERIFY2(waited >= 990 && waited < 3000, qPrintable(QString::number(waited)));
    // The event loop ran during the wait, and the wait did not keep a core busy.
    QVERIFY(ticks >= 5);
    QVERIFY2(cpuUsed < 0.3, qPrintable(QString::number(cpuUsed)));

    QCOMPARE(shell.calls.size(), 2);
    const auto& takeDown = shell.calls[1];
    QCOMPARE(takeDown.command, Command::Modify);
    QCOMPARE(takeDown.record.flags, int(Flag::Info));
    QCOMPARE(takeDown.record.info, QString());
    QCOMPARE(takeDown.record.infoTitle, QString());
    QVERIFY(tray.balloonShowing()); // only the desktop's notice clears it
}

void tst_cSysTray::showTimerZeroOrLessReturnsAtOnce()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setInTray(true);
    shell.calls.clear();

    for (int showTimer : {0, -3}) {
        QElapsedTimer clock;
        clock.start();
        tray.ShowBalloon(QStringLiteral("text"), QStringLiteral("Pingora"), showTimer, false);
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(shell.calls.last().record.timeoutMs, 0);
        QCOMPARE(shell.calls.last().record.info, QStringLiteral("text"));
    }
    QCOMPARE(shell.calls.size(), 2); // neither was taken down
}

void tst_cSysTray::showTimerTooLargeOverflowsBeforeSending()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setInTray(true);
    shell.calls.clear();

    try {
        tray.ShowBalloon(QStringLiteral("text"), QStringLiteral("Pingora"), 2147484, true);
        QFAIL("no failure");
    } catch (const Failure& failure) {
        QCOMPARE(failure.description(), QStringLiteral("Overflow"));
    }
    QVERIFY(shell.calls.isEmpty());
    QVERIFY(!tray.balloonShowing());
    QCOMPARE(tray.balloonCount(), 0);
}

void tst_cSysTray::noticesBecomeMouseEvents_data()
{
    QTest::addColumn<int>("notification");
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("button");

    QTest::newRow("move") << 512 << "MouseMove" << 0;
    QTest::newRow("left down") << 513 << "MouseDown" << 1;
    QTest::newRow("left up") << 514 << "MouseUp" << 1;
    QTest::newRow("left double") << 515 << "MouseDblClick" << 1;
    QTest::newRow("right down") << 516 << "MouseDown" << 2;
    QTest::newRow("right up") << 517 << "MouseUp" << 2;
    QTest::newRow("right double") << 518 << "MouseDblClick" << 2;
    QTest::newRow("middle down") << 519 << "" << 0;
    QTest::newRow("middle up") << 520 << "" << 0;
    QTest::newRow("middle double") << 521 << "" << 0;
    QTest::newRow("balloon shown") << 1026 << "" << 0;
    QTest::newRow("balloon hidden") << 1027 << "" << 0;
    QTest::newRow("balloon timed out") << 1028 << "" << 0;
    QTest::newRow("balloon clicked") << 1029 << "" << 0;
    QTest::newRow("unknown") << 99 << "" << 0;
}

void tst_cSysTray::noticesBecomeMouseEvents()
{
    QFETCH(int, notification);
    QFETCH(QString, event);
    QFETCH(int, button);

    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setInTray(true);

    QSignalSpy move(&tray, &cSysTray::MouseMove);
    QSignalSpy down(&tray, &cSysTray::MouseDown);
    QSignalSpy up(&tray, &cSysTray::MouseUp);
    QSignalSpy dbl(&tray, &cSysTray::MouseDblClick);
    const std::map<QString, QSignalSpy*> spies{{QStringLiteral("MouseMove"), &move},
                                               {QStringLiteral("MouseDown"), &down},
                                               {QStringLiteral("MouseUp"), &up},
                                               {QStringLiteral("MouseDblClick"), &dbl}};

    Q_EMIT shell.notice(notification, 7);

    for (const auto& [name, spy] : spies) {
        QCOMPARE(spy->count(), name == event ? 1 : 0);
        if (name != event)
            continue;
        const QList<QVariant> arguments = spy->takeFirst();
        if (name == QStringLiteral("MouseMove")) {
            QCOMPARE(arguments, QList<QVariant>{7});
        } else {
            QCOMPARE(arguments, (QList<QVariant>{button, 7}));
        }
    }
}

void tst_cSysTray::noticesOutsideTheTrayAreIgnored()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    QSignalSpy up(&tray, &cSysTray::MouseUp);

    shell.send(TrayNotice::LeftButtonUp);
    tray.setInTray(true);
    shell.send(TrayNotice::LeftButtonUp);
    tray.setInTray(false);
    shell.send(TrayNotice::LeftButtonUp);
    QCOMPARE(up.count(), 1);
}

void tst_cSysTray::trayEventsRunInsideTheBalloonWait()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    tray.setInTray(true);

    // A left click on the icon while the balloon is up is handled at once, inside the wait.
    QElapsedTimer clock;
    qint64 handledAt = -1;
    connect(&tray, &cSysTray::MouseUp, [&](int button, int) {
        if (button == 1)
            handledAt = clock.elapsed();
    });
    QTimer::singleShot(100, &shell, [&] {
        shell.send(TrayNotice::LeftButtonDown);
        shell.send(TrayNotice::LeftButtonUp);
    });
    QTimer::singleShot(300, &shell, [&] { shell.send(TrayNotice::BalloonHidden); });
    clock.start();
    tray.ShowBalloon(QStringLiteral("text"), QStringLiteral("Pingora"), 5, false);

    QVERIFY(handledAt >= 50 && handledAt < 300);
    QVERIFY(clock.elapsed() < 2000);
}

void tst_cSysTray::controlDeletedDuringTheBalloonWait()
{
    RecordingTrayShell shell;
    auto* tray = new cSysTray(shell);
    tray->setInTray(true);
    QTimer::singleShot(100, &shell, [&] { delete tray; });

    QElapsedTimer clock;
    clock.start();
    tray->ShowBalloon(QStringLiteral("text"), QStringLiteral("Pingora"), 5, false);
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(shell.calls.last().command, Command::Delete);
}

void tst_cSysTray::notificationAreaAvailabilityComesFromTheShell()
{
    RecordingTrayShell shell;
    cSysTray tray(shell);
    QSignalSpy changed(&tray, &cSysTray::notificationAreaAvailableChanged);

    shell.available = false;
    QVERIFY(!tray.notificationAreaAvailable());
    shell.available = true;
    Q_EMIT shell.notificationAreaAvailableChanged(true);
    QVERIFY(tray.notificationAreaAvailable());
    QCOMPARE(changed.count(), 1);
}

QTEST_MAIN(tst_cSysTray)
#include "tst_csystray.moc"
