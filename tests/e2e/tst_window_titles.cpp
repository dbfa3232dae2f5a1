// The title bar reads exactly what the program names each window: the error report, the help
// box, the "no log" box, the clear question and the sound file dialog, as the window manager
// sees them (_NET_WM_NAME), with nothing added.

#include "MainWindowPlaces.h"
#include "ProgramRun.h"
#include "XDesktop.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace std::chrono_literals;
using XDesktop::WindowId;

using namespace MainWindowPlaces;

class tst_WindowTitles : public QObject
{
    Q_OBJECT

    ProgramRun m_program;

    // Clicks at a place of the main window and returns the title of the window that opens;
    // closes that window again.
    QString titleOfWindowOpenedBy(QPoint place)
    {
        const QString pid = QString::number(m_program.pid());
        const QList<WindowId> before = XDesktop::search({"--onlyvisible", "--pid", pid});
        if (!XDesktop::clickAt(m_program.onScreen(place)))
            return QStringLiteral("(the click failed)");
        WindowId opened = 0;
        XDesktop::waitUntil(
            [&] {
                for (WindowId window : XDesktop::search({"--onlyvisible", "--pid", pid}))
                    if (const auto info = XDesktop::windowInfo(window);
                        !before.contains(window) && info && info->geometry.width() > 128)
                        opened = window;
                return opened != 0;
            },
            20s);
        if (!opened)
            return QStringLiteral("(no window opened)");
        const QString title = XDesktop::windowName(opened);
        XDesktop::run(QStringLiteral("xdotool"),
                      {"windowactivate", "--sync", XDesktop::hex(opened), "key", "Escape"});
        XDesktop::waitUntil(
            [&] {
                // Asked once: the window may go between two questions.
                const std::optional<XDesktop::WindowInfo> info = XDesktop::windowInfo(opened);
                return !info || !info->viewable;
            },
            10s);
        return title;
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(ProgramRun::writeSettings({{"StartStopState", "Off"}}));
        QFile::remove(ProgramRun::historyLogPath());
        QString error;
        QVERIFY2(m_program.start(&error), qPrintable(error));
    }

    void boxesAndDialogsBearTheirOwnTitles_data()
    {
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<QString>("title");
        QTest::newRow("help") << kHelp << "Pingora";
        QTest::newRow("no log to view") << kViewHistory << "Pingora";
        QTest::newRow("clear question") << kClearHistory << "Pingora";
        QTest::newRow("file dialog")
            << kChangeSound << "Add File(s) - Hold Ctrl to select multiple files";
    }

    void boxesAndDialogsBearTheirOwnTitles()
    {
        QFETCH(QPoint, place);
        QFETCH(QString, title);
        QCOMPARE(titleOfWindowOpenedBy(place), title);
    }

    void errorReportBearsItsOwnTitle()
    {
        // A folder where the history log belongs: the beep's line cannot be written, and the
        // statement's failure is reported.
        const QString log = ProgramRun::historyLogPath();
        QVERIFY(QDir().mkpath(log));
        const QString title = titleOfWindowOpenedBy(kBeepNow);
        QDir(log).removeRecursively();
        QCOMPARE(title, QStringLiteral("Application Error"));
    }

    void cleanupTestCase() { m_program.stop(); }
};

QTEST_GUILESS_MAIN(tst_WindowTitles)
#include "tst_window_titles.moc"
