// The main loop: whether it runs alone, and failures passing through DoEvents.
#include "core/Failure.h"
#include "core/Main.h"
#include "core/MainLoop.h"

#include <QTest>
#include <QTimer>

class tst_MainLoop : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    // Closing the window ends the program the ordinary way only while no handler is suspended
    // in a yield or a wait, where it would go on after the end.
    void mainLoopRunsAloneOnlyWithoutSuspendedHandlers()
    {
        QList<bool> alone;
        const auto seeNext = [&] {
            QTimer::singleShot(0, this, [&] { alone << MainLoop::runsAlone(); });
        };
        seeNext();
        Main::WaitSeconds(0.05); // before the main loop, as a report during start-up waits
        QTimer::singleShot(0, this, [&] {
            alone << MainLoop::runsAlone();
            seeNext();
            MainLoop::DoEvents();
            seeNext();
            Main::WaitSeconds(0.05); // a nested event loop, as a message box runs
            // A failure of a handler run by DoEvents passes through it to the statement.
            QTimer::singleShot(0, this, [] { throw Failure("passes through"); });
            QVERIFY_THROWS_EXCEPTION(Failure, MainLoop::DoEvents());
            seeNext();
            QTimer::singleShot(0, this, [] { QCoreApplication::exit(3); });
        });
        QCOMPARE(MainLoop::exec(), 3);
        alone << MainLoop::runsAlone(); // after it
        QCOMPARE(alone, QList<bool>({false, true, false, false, true, false}));
    }
};

QTEST_MAIN(tst_MainLoop)
#include "tst_main_loop.moc"
