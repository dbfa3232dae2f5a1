// The main window with its tray icon: start-up records, minimise to the tray and back,
// closing, and the start-up options with their autostart entry.
#include "Form1Probe.h"
#include "ModalAnswerer.h"
#include "RecordingTrayShell.h"
#include "SmallDisk.h"
#include "TestFiles.h"
#include "TestWindow.h"
#include "desktop/AutostartEntry.h"
#include "desktop/cSysTray.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

namespace {

using TrayRecord::Command;

struct TrayWindow : TestWindow
{
    std::shared_ptr<RecordingTrayShell> shell = std::make_shared<RecordingTrayShell>();

    Form1& start()
    {
        Platform withTray = platform();
        withTray.trayShell = shell;
        form = std::make_unique<Form1>(withTray, settings());
        form->Form_Load();
        return *form;
    }

    QList<RecordingTrayShell::Call> balloons() const
    {
        QList<RecordingTrayShell::Call> shown;
        for (const auto& call : shell->calls)
            if (call.record.has(TrayRecord::Info) && !call.record.info.isEmpty())
                shown << call;
        return shown;
    }

    QString autostartEntry() const
    {
        return root.filePath(QStringLiteral("config/autostart/com.example.pingora.desktop"));
    }
};

const QString kBalloonText = "has been minimized to the system tray.\r\nClick on the blue 'W' "
                             "icon (W for Wrenfield) to bring the software back.";

void minimise(Form1& form)
{
    form.setWindowState(form.windowState() | Qt::WindowMinimized);
}

// A start at log-on that asks for the tray, with no notification area yet.
Form1& startBeforeTheTray(TrayWindow& window)
{
    window.settings().write("Windows Startup", "On");
    window.settings().write("Minimized", "On");
    window.shell->available = false;
    Form1& form = window.start();
    form.showAsLoaded();
    return form;
}

// Shows the window and minimises it for the first time, which sends it to the tray; the
// desktop takes the balloon down after \a balloonMs. True once the window is hidden.
bool hideInTray(TrayWindow& window, Form1& form, int balloonMs)
{
    form.showAsLoaded();
    if (!QTest::qWaitForWindowExposed(&form))
        return false;
    QTimer::singleShot(balloonMs, window.shell.get(),
                       [&] { window.shell->send(TrayNotice::BalloonHidden); });
    minimise(form);
    return QTest::qWaitFor([&] { return form.isHidden(); });
}

} // namespace

class tst_TrayWindow : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void startupPutsTheIconInTheTrayWithItsTip()
    {
        TrayWindow window;
        window.start();
        const auto& calls = window.shell->calls;
        QCOMPARE(calls.size(), 4);
        QCOMPARE(calls[0].command, Command::Add);
        QCOMPARE(calls[0].record.flags, int(TrayRecord::Message));
        QCOMPARE(calls[1].record.flags, int(TrayRecord::Icon));
        QCOMPARE(calls[2].record.flags, int(TrayRecord::Tip));
        QCOMPARE(calls[2].record.tip, QString());
        QCOMPARE(calls[3].command, Command::Modify);
        QCOMPARE(calls[3].record.tip, QString("Pingora"));
        QVERIFY(Form1Probe(*window.form).cSysTray1()->iconAdded());
    }

    void firstMinimiseGoesToTheTrayLaterOnesToTheTaskbar()
    {
        TrayWindow window;
        Form1& form = window.start();
        // The balloon is taken down by the desktop after a moment: the wait ends early.
        QVERIFY(hideInTray(window, form, 300));
        QTRY_VERIFY(!Form1Probe(form).cSysTray1()->balloonShowing());
        QVERIFY(Form1Probe(form).MinimizedOnce());
        QVERIFY(!(form.windowState() & Qt::WindowMinimized)); // hidden, in the normal state
        QCOMPARE(window.balloons().size(), 1);
        QCOMPARE(window.balloons()[0].record.infoTitle, QString("Pingora"));
        QCOMPARE(window.balloons()[0].record.info, kBalloonText);
        QCOMPARE(window.balloons()[0].record.timeoutMs, 5000);

        // Right button and pointer movement do nothing; a left release brings it back.
        window.shell->send(TrayNotice::RightButtonUp);
        window.shell->send(TrayNotice::MouseMove);
        QVERIFY(form.isHidden());
        window.shell->send(TrayNotice::LeftButtonDown);
        window.shell->send(TrayNotice::LeftButtonUp);
        QVERIFY(form.isVisible());
        QVERIFY(!(form.windowState() & Qt::WindowMinimized));

        // Later minimises stay on the taskbar without a balloon; the icon still restores.
        minimise(form);
        QTest::qWait(50);
        QVERIFY(form.isVisible());
        QVERIFY(form.windowState() & Qt::WindowMinimized);
        QCOMPARE(window.balloons().size(), 1);
        window.shell->send(TrayNotice::LeftButtonUp);
        QVERIFY(!(form.windowState() & Qt::WindowMinimized));

        // A left click while the window is shown changes nothing.
        window.shell->send(TrayNotice::LeftButtonUp);
        QVERIFY(form.isVisible());
    }

    void trayGoingAwayBringsTheHiddenWindowBack()
    {
        TrayWindow window;
        Form1& form = window.start();
        QVERIFY(hideInTray(window, form, 100));

        window.shell->setAvailable(false);
        QVERIFY(form.isVisible()); // on the taskbar, where it can be reached
        QVERIFY(form.windowState() & Qt::WindowMinimized);

        // A window on the screen stays there when the tray goes away again.
        form.setWindowState(Qt::WindowNoState);
        window.shell->setAvailable(true);
        window.shell->setAvailable(false);
        QTest::qWait(50);
        QVERIFY(form.isVisible());
        QVERIFY(!(form.windowState() & Qt::WindowMinimized));
    }

    void withoutANotificationAreaTheWindowStaysReachable()
    {
        TrayWindow window;
        window.shell->available = false;
        Form1& form = window.start();
        form.showAsLoaded();
        minimise(form);
        QTest::qWait(50);
        QVERIFY(form.isVisible());
        QVERIFY(!Form1Probe(form).MinimizedOnce());
        QVERIFY(window.balloons().isEmpty());
    }

    void startsHiddenInTheTrayWhenBothBoxesAreTicked()
    {
        TrayWindow window;
        window.settings().write("Windows Startup", "On");
        window.settings().write("Minimized", "On");
        Form1& form = window.start();
        QTimer::singleShot(100, window.shell.get(),
                           [&] { window.shell->send(TrayNotice::BalloonClicked); });
        form.showAsLoaded();
        QVERIFY(form.isHidden());
        QVERIFY(Form1Probe(form).MinimizedOnce());
        QCOMPARE(window.balloons().size(), 1);
        window.shell->send(TrayNotice::LeftButtonUp);
        QVERIFY(form.isVisible());
        QVERIFY(!(form.windowState() & Qt::WindowMinimized));
    }

    void aTrayThatComesUpLateStillTakesTheHiddenStart()
    {
        // At log-on the panel comes up after the program: the window waits minimised on the
        // taskbar and goes to the tray once the notification area is there.
        TrayWindow window;
        Form1& form = startBeforeTheTray(window);
        QVERIFY(form.isVisible());
        QVERIFY(form.windowState() & Qt::WindowMinimized);
        QVERIFY(!Form1Probe(form).MinimizedOnce());

        QTimer::singleShot(100, window.shell.get(),
                           [&] { window.shell->send(TrayNotice::BalloonClicked); });
        window.shell->setAvailable(true);
        QTRY_VERIFY(form.isHidden());
        QVERIFY(!(form.windowState() & Qt::WindowMinimized));
        QVERIFY(Form1Probe(form).MinimizedOnce());
        QTRY_COMPARE(window.balloons().size(), 1);
        QCOMPARE(window.balloons()[0].record.infoTitle, QString("Pingora"));
    }

    void aTrayThatComesUpLateLeavesARestoredWindowAlone()
    {
        TrayWindow window;
        Form1& form = startBeforeTheTray(window);
        form.setWindowState(Qt::WindowNoState); // the user restored it
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        window.shell->setAvailable(true);
        QTest::qWait(100);
        QVERIFY(form.isVisible());
        QVERIFY(!Form1Probe(form).MinimizedOnce());
        QVERIFY(window.balloons().isEmpty());
    }

    void closingRemovesTheIcon()
    {
        TrayWindow window;
        Form1& form = window.start();
        form.showAsLoaded();
        form.close();
        QCOMPARE(window.shell->calls.last().command, Command::Delete);
        QVERIFY(!Form1Probe(form).cSysTray1()->iconAdded());
        QCOMPARE(window.endings, 1);
    }

    void startupOptionsWriteAndRemoveTheAutostartEntry()
    {
        TrayWindow window;
        Form1& form = window.start();
        Form1Probe(form).Check4()->click();
        QVERIFY(Form1Probe(form).Check8()->isVisibleTo(&form));
        QVERIFY(!Form1Probe(form).Check8()->isChecked());
        QCOMPARE(window.settings().read("Windows Startup", ""), QString("On"));
        QFile entry(window.autostartEntry());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(text.contains("Exec=") &&
                     text.contains(QFileInfo("/proc/self/exe").canonicalFilePath()),
                 qPrintable(text));
        entry.close();

        Form1Probe(form).Check8()->click();
        QCOMPARE(window.settings().read("Minimized", ""), QString("On"));
        Form1Probe(form).Check4()->click();
        QVERIFY(!Form1Probe(form).Check8()->isVisibleTo(&form));
        QVERIFY(!Form1Probe(form).Check8()->isChecked());
        QCOMPARE(window.settings().read("Minimized", ""), QString("Off"));
        QCOMPARE(window.settings().read("Windows Startup", ""), QString("Off"));
        QVERIFY(!QFile::exists(window.autostartEntry()));
    }

    void anEntryThatCannotBeWrittenIsNeverShownAsOn()
    {
        TrayWindow window;
        Form1& form = window.start();
        QVERIFY(QDir(window.root.path()).mkpath("config"));
        QFile blocker(window.autostartEntry().section(u'/', 0, -2)); // "autostart" as a file
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        ModalAnswerer answerer;
        Form1Probe(form).Check4()->click();
        QTRY_COMPARE(answerer.seen().size(), 1);
        QVERIFY2(answerer.seen().first().text.contains(window.autostartEntry()),
                 qPrintable(answerer.seen().first().text));
        QVERIFY(!Form1Probe(form).Check4()->isChecked());
        QVERIFY(!Form1Probe(form).Check8()->isVisibleTo(&form));
        QCOMPARE(window.settings().read("Windows Startup", "Off"), QString("Off"));
    }

    void aStoreThatCannotBeWrittenNeverKeepsAnEntry()
    {
        // The entry and the box agree even when the choice cannot be stored: turning the
        // option off removes the entry, turning it on takes the entry back.
        TrayWindow window;
        Form1& form = window.start();
        Form1Probe(form).Check4()->click();
        QVERIFY(QFile::exists(window.autostartEntry()));
        QVERIFY(QFile::remove(window.settingsFile) && QDir().mkpath(window.settingsFile));

        ModalAnswerer answerer;
        Form1Probe(form).Check4()->click();
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY(!Form1Probe(form).Check4()->isChecked());
        QVERIFY(!QFile::exists(window.autostartEntry()));

        Form1Probe(form).Check4()->click();
        QCOMPARE(answerer.seen().size(), 2);
        QVERIFY2(answerer.seen().last().text.contains(window.settingsFile),
                 qPrintable(answerer.seen().last().text));
        QVERIFY(!Form1Probe(form).Check4()->isChecked());
        QVERIFY(!Form1Probe(form).Check8()->isVisibleTo(&form));
        QVERIFY(!QFile::exists(window.autostartEntry()));
    }

    void aFullDiskLeavesTheBoxTheStoreAndTheEntryAgreed()
    {
        SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable("a small disk cannot be mounted here: " + disk.error()));
        TrayWindow window;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(disk.path()));
        window.settingsFile = disk.filePath("Wrenfield.ini");
        Form1& form = window.start();
        QCheckBox* box = Form1Probe(form).Check4();
        const QString entry = AutostartEntry::autostartEntryPath();
        const auto agreed = [&](bool on) {
            return box->isChecked() == on && QFile::exists(entry) == on &&
                   window.settings().read("Windows Startup", "") == (on ? "On" : "Off");
        };
        box->click();
        QVERIFY(agreed(true));
        ModalAnswerer answerer;

        // Unticked: "Off" cannot be stored, so the entry stays and the box stays ticked.
        QVERIFY(disk.fill());
        box->click();
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY(agreed(true));
        QVERIFY(QFile::remove(disk.fillerPath()));
        box->click();
        QVERIFY(agreed(false));

        // Ticked: the entry cannot be written; one that was left there before stays.
        writeTestFile(entry, "[Desktop Entry]\nExec=/left/behind\n");
        QVERIFY(disk.fill());
        box->click();
        QCOMPARE(answerer.seen().size(), 2);
        QVERIFY(!box->isChecked());
        QCOMPARE(readTestFile(entry), QByteArray("[Desktop Entry]\nExec=/left/behind\n"));
        QVERIFY(QFile::remove(entry));
        box->click();
        QCOMPARE(answerer.seen().size(), 3);
        QVERIFY(agreed(false));
    }

    void restoringTheBoxesAtStartupLeavesTheEntryAlone()
    {
        TrayWindow window;
        window.settings().write("Windows Startup", "On");
        Form1& form = window.start();
        QVERIFY(Form1Probe(form).Check4()->isChecked());
        QVERIFY(!QFile::exists(window.autostartEntry()));
    }
};

QTEST_MAIN(tst_TrayWindow)
#include "tst_tray_window.moc"
