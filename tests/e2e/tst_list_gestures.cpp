// Every way a person chooses an interval row is a click: a press on one row and a release on
// another, a right click, a middle click and the keyboard each store the row and restart the
// countdown on the real window, driven through the X server as a person does it. The sound
// stack stays unloaded while the chosen beep is minutes away, and is loaded at once for a
// beep seconds away.

#include "AtSpiClient.h"
#include "ProgramRun.h"
#include "XDesktop.h"

#include <QRegularExpression>
#include <QTest>

using namespace std::chrono_literals;

class tst_ListGestures : public QObject
{
    Q_OBJECT

    AtSpiClient m_atspi;
    ProgramRun m_program;
    Accessible m_app;
    Accessible m_frame; // the countdown frame

    QPoint rowCentre(const QString& text)
    {
        const auto row = m_atspi.find(m_app, [&](const Accessible& object) {
            return m_atspi.name(object) == text && m_atspi.extents(object).height() > 0 &&
                   m_atspi.extents(object).height() < 60;
        });
        return row ? m_atspi.extents(*row).center() : QPoint();
    }

    // Seconds left as the countdown caption shows them; -1 for another caption.
    int secondsLeft()
    {
        static const QRegularExpression time(
            QStringLiteral("^Next beep will occur in (\\d\\d):(\\d\\d):(\\d\\d)$"));
        const auto match = time.match(m_atspi.name(m_frame));
        if (!match.hasMatch())
            return -1;
        return match.captured(1).toInt() * 3600 + match.captured(2).toInt() * 60 +
               match.captured(3).toInt();
    }

    // After some seconds of counting, \a gesture chooses the row of \a position and \a seconds:
    // it is stored, and the countdown starts again from that row's whole interval.
    void expectChosen(const std::function<void()>& gesture, int position, int seconds)
    {
        QTest::qWait(3500); // let the count grow, so that a countdown not restarted shows
        gesture();
        QVERIFY2(XDesktop::waitUntil(
                     [&] {
                         return ProgramRun::readSetting(QStringLiteral("OftenIndex")) ==
                                QString::number(position);
                     },
                     10s),
                 qPrintable(QStringLiteral("row %1 not stored; stored: %2")
                                .arg(position)
                                .arg(ProgramRun::readSetting(QStringLiteral("OftenIndex")))));
        // The caption follows at the countdown's next tick.
        int left = -1;
        QVERIFY2(XDesktop::waitUntil(
                     [&] {
                         left = secondsLeft();
                         return left >= seconds - 3 && left <= seconds;
                     },
                     3s),
                 qPrintable(QStringLiteral("%1 s left of %2").arg(left).arg(seconds)));
    }

    bool soundModuleLoaded() const { return m_program.hasLoaded("libpingora-sound.so"); }

    static void xdotool(const QStringList& arguments)
    {
        QVERIFY(XDesktop::run(QStringLiteral("xdotool"), arguments).ok());
    }

    static QStringList at(QPoint point)
    {
        return {QString::number(point.x()), QString::number(point.y())};
    }

  private Q_SLOTS:
    void initTestCase()
    {
        // "Beep every 5 minutes", counting.
        QVERIFY(ProgramRun::writeSettings({{"OftenIndex", "6"}, {"StartStopState", "On"}}));
        QString error;
        QVERIFY2(m_atspi.connect(&error), qPrintable(error));
        QVERIFY2(m_program.start(&error), qPrintable(error));
        const std::optional<Accessible> app = m_atspi.waitForApplication(m_program.pid(), 60s);
        QVERIFY2(app, "the program never joined the accessibility bus");
        m_app = *app;
        const auto frame = m_atspi.find(m_app, [&](const Accessible& object) {
            for (const Accessible& child : m_atspi.children(object))
                if (m_atspi.roleName(child) == u"progress bar")
                    return true;
            return false;
        });
        QVERIFY(frame);
        m_frame = *frame;
    }

    // Counting to a far beep: the sound stack waits for the beep, and a tick's drawing waits
    // for no reply from the X server, so Qt's X reader thread has nothing to wake for.
    void quietWhileABeepIsMinutesAway()
    {
        QTest::qWait(3000);
        const auto before = m_program.wakeUpsByThread();
        QTest::qWait(10000);
        const auto after = m_program.wakeUpsByThread();
        const QString reader = QStringLiteral("QXcbEventQueue");
        QVERIFY2(after.contains(reader), "no X reader thread");
        const qint64 readerWakeUps = after[reader] - before.value(reader);
        QVERIFY2(readerWakeUps <= 3, qPrintable(QStringLiteral("the X reader woke %1 times in "
                                                               "10 ticks")
                                                    .arg(readerWakeUps)));
        QVERIFY(!soundModuleLoaded());
    }

    void pressOnOneRowReleaseOnAnother()
    {
        const QPoint from = rowCentre(QStringLiteral("Beep every 5 minutes"));
        const QPoint to = rowCentre(QStringLiteral("Beep every 1 minute"));
        QVERIFY(!from.isNull() && !to.isNull());
        expectChosen(
            [&] {
                xdotool(QStringList{"mousemove"} + at(from) + QStringList{"mousedown", "1"});
                xdotool(QStringList{"mousemove"} + at((from + to) / 2));
                xdotool(QStringList{"mousemove"} + at(to) + QStringList{"mouseup", "1"});
            },
            5, 60);
    }

    void rightAndMiddleClicks()
    {
        const QPoint thirty = rowCentre(QStringLiteral("Beep every 30 seconds"));
        const QPoint ten = rowCentre(QStringLiteral("Beep every 10 minutes"));
        QVERIFY(!thirty.isNull() && !ten.isNull());
        expectChosen(
            [&] {
                xdotool(QStringList{"mousemove"} + at(thirty) + QStringList{"click", "3"});
            },
            4, 30);
        QVERIFY2(XDesktop::waitUntil([&] { return soundModuleLoaded(); }, 10s),
                 "a beep 30 s away and the sound stack still not loaded");
        xdotool({"key", "Escape"}); // a context menu, if any
        expectChosen(
            [&] {
                xdotool(QStringList{"mousemove"} + at(ten) + QStringList{"click", "2"});
            },
            7, 600);
    }

    void keyboard()
    {
        expectChosen([&] { xdotool({"key", "Down"}); }, 8, 900);
    }

    void cleanupTestCase() { m_program.stop(); }
};

QTEST_GUILESS_MAIN(tst_ListGestures)
#include "tst_list_gestures.moc"
