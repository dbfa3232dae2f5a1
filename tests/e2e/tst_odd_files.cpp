// Something other than a file at a path the program opens on its window's thread (a pipe, an
// endless device): each is reported at once as "… is not a regular file", nothing waits on it
// or reads it without end, and the window goes on working. Checked on the real program: the
// history log (Copy, View, Beep Now), the sound file (no sound file, so the beep fails as for a
// missing one), and at start-up the settings file, the
// hand pointer and the skin beside the program. And a log that has reached the limit on the
// size of the files the program may write.

#include "AtSpiClient.h"
#include "MainWindowPlaces.h"
#include "ProgramRun.h"
#include "XDesktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace MainWindowPlaces;
using XDesktop::WindowId;

namespace {

bool makePipe(const QString& path)
{
    QFile::remove(path);
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool makeDeviceLink(const QString& path)
{
    QFile::remove(path);
    return QFile::link(QStringLiteral("/dev/zero"), path);
}

} // namespace

class tst_OddFiles : public QObject
{
    Q_OBJECT

    AtSpiClient m_atspi;

    static std::optional<WindowId> errorReport(const ProgramRun& run)
    {
        for (WindowId window :
             XDesktop::search({"--onlyvisible", "--pid", QString::number(run.pid())}))
            if (XDesktop::windowName(window) == QStringLiteral("Application Error"))
                return window;
        return std::nullopt;
    }

    // Waits for an error report of \a run, returns its text and closes it with Enter.
    QString answerReport(const ProgramRun& run, std::chrono::milliseconds timeout = 20s)
    {
        std::optional<WindowId> report;
        XDesktop::waitUntil([&] { return (report = errorReport(run)).has_value(); }, timeout);
        if (!report)
            return QStringLiteral("(no report)");
        QString text = QStringLiteral("(report text unreadable)");
        if (const auto app = m_atspi.waitForApplication(run.pid(), 30s)) {
            XDesktop::waitUntil(
                [&] {
                    const auto label = m_atspi.find(*app, [&](const Accessible& object) {
                        return m_atspi.roleName(object) == u"label" &&
                               m_atspi.name(object).contains(u" at line ");
                    });
                    if (label)
                        text = m_atspi.name(*label);
                    return label.has_value();
                },
                10s);
        }
        XDesktop::run(QStringLiteral("xdotool"),
                      {"windowactivate", "--sync", XDesktop::hex(*report), "key", "Return"});
        XDesktop::waitUntil([&] { return !errorReport(run); }, 10s);
        return text;
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_atspi.connect(&error), qPrintable(error));
    }

    void historyLogAndSoundFile()
    {
        const QString pipe = QDir(qEnvironmentVariable("TEMP")).filePath("sound pipe.wav");
        QVERIFY(makePipe(pipe));
        QVERIFY(ProgramRun::writeSettings({{"StartStopState", "Off"}, {"Beep", pipe}}));
        const QString log = ProgramRun::historyLogPath();
        ProgramRun run;
        QString error;
        QVERIFY2(run.start(&error), qPrintable(error));

        // Each click, and the paths its reports name in turn.
        struct Case
        {
            const char* what;
            std::function<bool()> prepare;
            QPoint button;
            QStringList reported;
        };
        const QList<Case> cases{
            {"Copy, log a pipe", [&] { return makePipe(log); }, kCopyHistory, {log}},
            {"View, log a pipe", [&] { return makePipe(log); }, kViewHistory, {log}},
            {"Beep Now, sound and log pipes", [&] { return makePipe(log); }, kBeepNow, {log}},
            {"Copy, log /dev/zero", [&] { return makeDeviceLink(log); }, kCopyHistory, {log}},
            {"View, log /dev/zero", [&] { return makeDeviceLink(log); }, kViewHistory, {log}},
        };
        for (const Case& check : cases) {
            QVERIFY2(check.prepare(), check.what);
            QElapsedTimer clock;
            clock.start();
            QVERIFY(XDesktop::clickAt(run.onScreen(check.button)));
            for (const QString& path : check.reported) {
                const QString text = answerReport(run);
                QVERIFY2(text.contains(path + QStringLiteral(" is not a regular file")),
                         qPrintable(QStringLiteral("%1: %2").arg(check.what, text)));
            }
            QVERIFY2(clock.elapsed() < 10000, check.what);
            QVERIFY2(!errorReport(run), check.what);
        }

        // A pipe for a sound is no sound file: the beep is logged as failed, nothing waits.
        QFile::remove(log);
        QVERIFY(XDesktop::clickAt(run.onScreen(kBeepNow)));
        QVERIFY(XDesktop::waitUntil(
            [&] {
                QFile written(log);
                return written.open(QIODevice::ReadOnly) &&
                       written.readAll().startsWith("Beep file not found. Fail to beeped at ");
            },
            15s));
        QVERIFY(!errorReport(run));
        QFile::remove(log);
        QVERIFY(run.isRunning());
    }

    // Started under a limit on the size of the files it writes (ulimit -f), with the log at
    // the limit: a beep reports the line it cannot write and the program goes on, the log as
    // it was.
    void logPastTheFileSizeLimit()
    {
        const QString log = ProgramRun::historyLogPath();
        const QByteArray before = QByteArray(1 << 20, '.') + "\r\n";
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        file.close();
        QVERIFY(ProgramRun::writeSettings({{"StartStopState", "Off"}}));
        rlimit unlimited{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
        const rlimit atTheLog{rlim_t(before.size()), unlimited.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &atTheLog), 0); // inherited by the program alone
        ProgramRun run;
        QString error;
        const bool started = run.start(&error);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &unlimited), 0);
        QVERIFY2(started, qPrintable(error));

        QVERIFY(XDesktop::clickAt(run.onScreen(kBeepNow)));
        const QString text = answerReport(run);
        QVERIFY2(
            text.contains(log + QStringLiteral(" cannot be written: ") + qt_error_string(EFBIG)),
            qPrintable(text));
        QVERIFY(run.isRunning());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QFile::remove(log);
        run.stop();
    }

    void settingsPointerAndSkinAtStartUp()
    {
        // A copy of the program beside a pipe for its hand pointer and one for its skin.
        QTemporaryDir folder;
        const QString built = ProgramRun::builtProgramFolder();
        QVERIFY(XDesktop::run(QStringLiteral("cp"), {"-a", built + "/.", folder.path()}).ok());
        QVERIFY(makePipe(folder.filePath("HAND-M.CUR")));
        QVERIFY(QDir(folder.path()).mkpath("x"));
        QVERIFY(makePipe(folder.filePath("x/o.cjs")));
        QVERIFY(makePipe(ProgramRun::settingsPath()));

        ProgramRun run(folder.path());
        QString error;
        QElapsedTimer clock;
        clock.start();
        QStringList reports;
        bool shown = run.start(&error, 60s);
        while (!shown && run.isRunning() && reports.size() < 20) {
            reports << answerReport(run);
            shown = run.waitForMainWindow(&error, 60s);
        }
        QVERIFY2(shown, qPrintable(error + u'\n' + reports.join(u'\n')));
        QVERIFY2(clock.elapsed() < 60000, "start-up took a minute");
        const auto says = [&](const QString& path) {
            for (const QString& report : reports)
                if (report.contains(path) &&
                    report.contains(QStringLiteral("is not a regular file")))
                    return true;
            return false;
        };
        QVERIFY2(says(folder.filePath("HAND-M.CUR")), qPrintable(reports.join(u'\n')));
        QVERIFY2(says(ProgramRun::settingsPath()), qPrintable(reports.join(u'\n')));
        run.stop();
        QFile::remove(ProgramRun::settingsPath());
    }
};

QTEST_GUILESS_MAIN(tst_OddFiles)
#include "tst_odd_files.moc"
