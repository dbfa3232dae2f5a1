// The beep action, the history log, the countdown and the beep commands, driven through the
// real main window with a player that records what it was asked to do.
#include "Form1Probe.h"
#include "ModalAnswerer.h"
#include "SmallDisk.h"
#include "TestFiles.h"
#include "TestWindow.h"
#include "app/CaptionFrame.h"
#include "appearance/PointerFeedback.h"
#include "beep/BeepAction.h"
#include "beep/HistoryWriter.h"
#include "beep/MediaPlayer.h"
#include "beep/SoundFileDialog.h"
#include "core/Failure.h"
#include "core/FileSizeLimit.h"
#include "core/WindowTimer.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTreeWidget>
#include <array>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// While on, each cut of a file records whether another copy could have locked it just then.
bool g_probeLockAtCut = false;
std::optional<bool> g_lockFreeAtCut;

} // namespace

// Stand-in for the C library's call: the take-back of a part-written line must happen while
// the log is still locked, or another copy's line could land before it is cut.
extern "C" int ftruncate(int fd, off_t length)
{
    if (g_probeLockAtCut) {
        const int other =
            ::open(qPrintable(QStringLiteral("/proc/self/fd/%1").arg(fd)), O_WRONLY | O_CLOEXEC);
        g_lockFreeAtCut = other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) == 0;
        ::close(other);
    }
    return int(::syscall(SYS_ftruncate, fd, length));
}

namespace {

class RecordingPlayer : public MediaPlayer
{
  public:
    using MediaPlayer::MediaPlayer;
    QStringList calls;
    int prepares = 0;
    void prepare() override { ++prepares; }
    void setLoop(bool on) override { calls << QStringLiteral("loop %1").arg(on); }
    void close() override { calls << QStringLiteral("close"); }
    void setUrl(const QString& path) override
    {
        calls << QStringLiteral("url ") + path;
        // As the real player: a name with wildcards opens nothing.
        if (!QFileInfo(path).isFile())
            throw Failure(path + QStringLiteral(" cannot be played"));
    }
};

QStringList logLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (!bytes.endsWith("\r\n"))
        return {QStringLiteral("<not CR LF terminated>")};
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// Calls back at every paint event of a widget.
class PaintWatch : public QObject
{
  public:
    PaintWatch(QWidget* widget, std::function<void()> painted) : m_painted(std::move(painted))
    {
        widget->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted();
        return false;
    }

  private:
    std::function<void()> m_painted;
};

struct BeepWindow : TestWindow
{
    RecordingPlayer* player = nullptr;

    Form1& start(const QString& row, bool autoBeepOn)
    {
        writeTestFile(programFolder + "/beep.wav", {});
        settings().write("StartStopState", autoBeepOn ? "On" : "Off");
        Platform recording = platform();
        recording.makeMediaPlayer = [this](QObject* parent) {
            return player = new RecordingPlayer(parent);
        };
        this->form = std::make_unique<Form1>(recording, settings());
        Form1& form = *this->form;
        form.Form_Load();
        const auto rows = Form1Probe(form).ListView1()->findItems(row, Qt::MatchExactly);
        Form1Probe(form).ListView1()->setCurrentItem(rows.value(0));
        form.ListView1_Click();
        return form;
    }
};

} // namespace

class tst_BeepCommands : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void dateTimeTextFollowsTheUsersFormats()
    {
        const QDateTime afternoon(QDate(2021, 8, 31), QTime(15, 4, 5));
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(IntervalSave::DateTimeText(afternoon, us), QString("8/31/2021 3:04:05 PM"));
        QCOMPARE(IntervalSave::DateTimeText(QDateTime(QDate(2021, 8, 31), QTime(0, 0)), us),
                 QString("8/31/2021"));
        // Midnight to the second, whatever the milliseconds.
        QCOMPARE(IntervalSave::DateTimeText(QDateTime(QDate(2021, 8, 31), QTime(0, 0, 0, 999)), us),
                 QString("8/31/2021"));
        QCOMPARE(IntervalSave::DateTimeText(QDateTime(QDate(2021, 8, 31), QTime(0, 0, 1)), us),
                 QString("8/31/2021 12:00:01 AM"));
        QCOMPARE(IntervalSave::DateTimeText(afternoon, QLocale(QLocale::German, QLocale::Germany)),
                 QString("31.08.2021 15:04:05"));
        const QString british = IntervalSave::DateTimeText(
            afternoon, QLocale(QLocale::English, QLocale::UnitedKingdom));
        QCOMPARE(british, QString("31/08/2021 15:04:05"));
    }

    void appendRefusesWhatIsNotARegularFile()
    {
        // A FIFO (with and without a reader), a device and a folder where the log belongs:
        // refused at once, never waited on.
        QTemporaryDir dir;
        const QString fifo = dir.filePath("Pingora.txt");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        for (const QString& path : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
            for (int round = 0; round < (path == fifo ? 2 : 1); ++round) {
                if (round == 1)
                    ::close(reader); // and now without a reader
                QElapsedTimer clock;
                clock.start();
                try {
                    IntervalSave::AppendHistoryLine(path, "Beeped at 1");
                    QFAIL(qPrintable(path + " was written to"));
                } catch (const Failure& failure) {
                    QCOMPARE(failure.description(),
                             "The history log " + path + " is not a regular file");
                }
                QVERIFY(clock.elapsed() < 1000);
            }
        }
    }

    void appendWritesWholeLinesPrivately()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("Pingora.txt");
        IntervalSave::AppendHistoryLine(log, "Beeped at 1");
        IntervalSave::AppendHistoryLine(log, "Beeped at 2 ♪");
        QCOMPARE(logLines(log), QStringList({"Beeped at 1", "Beeped at 2 ♪"}));
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(log).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);

        // A link planted at the log's path is not followed.
        const QString target = writeTestFile(dir.filePath("victim"), {});
        const QString planted = dir.filePath("planted.txt");
        QVERIFY(QFile::link(target, planted));
        QVERIFY_THROWS_EXCEPTION(Failure, IntervalSave::AppendHistoryLine(planted, "x"));
        QCOMPARE(QFileInfo(target).size(), 0);

        QVERIFY_THROWS_EXCEPTION(Failure, IntervalSave::AppendHistoryLine(dir.path(), "x"));
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 IntervalSave::AppendHistoryLine(dir.filePath("no/such.txt"), "x"));

        // The per-user fallback folder is made when missing.
        qputenv("XDG_STATE_HOME", dir.filePath("state").toLocal8Bit());
        IntervalSave::AppendHistoryLine(dir.filePath("state/Pingora.txt"), "first");
        QCOMPARE(logLines(dir.filePath("state/Pingora.txt")), QStringList{"first"});
        qunsetenv("XDG_STATE_HOME");
    }

    // A line is whole or not there at all: a disk that fills during the write, or a limit on
    // the size of the files the program writes, gets back the bytes that went, and the lines
    // before stay as they were.
    void appendOnAFullDiskLeavesWholeLines_data()
    {
        QTest::addColumn<int>("room");         // bytes left in the log's last block
        QTest::addColumn<bool>("sizeLimited"); // else the disk is full
        const int line = int(QByteArray("Beeped at 8/31/2021 3:04:05 PM\r\n").size());
        QTest::newRow("room for the line's start") << 4 << false;
        QTest::newRow("room for all but the line end") << line - 1 << false;
        QTest::newRow("no room at all") << 0 << false;
        QTest::newRow("file size limit within the line") << 4 << true;
        QTest::newRow("file size limit reached") << 0 << true;
    }
    void appendOnAFullDiskLeavesWholeLines()
    {
        QFETCH(int, room);
        QFETCH(bool, sizeLimited);
        SmallDisk disk;
        if (!disk.isMounted() && !sizeLimited)
            QSKIP(qPrintable("a small disk cannot be mounted here: " + disk.error()));
        const QString log = disk.filePath("Pingora.txt");
        // An earlier line that ends where the disk leaves @p room bytes.
        const QByteArray before = QByteArray(4096 - room - 2, '.') + "\r\n";
        writeTestFile(log, before);
        rlimit unlimited{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
        if (sizeLimited) {
            FileSizeLimit::reportInsteadOfEnding(); // else the write below ends the test
            const rlimit limit{4096, unlimited.rlim_max};
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        } else {
            QVERIFY(disk.fill());
        }

        const QString line = "Beeped at 8/31/2021 3:04:05 PM";
        g_probeLockAtCut = true;
        g_lockFreeAtCut.reset();
        try {
            IntervalSave::AppendHistoryLine(log, line);
            QFAIL("a line was written to a full disk");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().contains(qt_error_string(sizeLimited ? EFBIG : ENOSPC)),
                     qPrintable(failure.description()));
        }
        g_probeLockAtCut = false;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &unlimited), 0);
        // A part written was cut while the log was still locked.
        QCOMPARE(g_lockFreeAtCut, room > 0 ? std::optional(false) : std::nullopt);
        const auto addedToTheLog = [&] {
            const QByteArray now = readTestFile(log);
            return now.startsWith(before) ? now.mid(before.size()) : "<earlier lines changed>";
        };
        QCOMPARE(addedToTheLog(), QByteArray());

        // Room again: the next line follows the earlier ones, whole.
        QFile::remove(disk.fillerPath());
        IntervalSave::AppendHistoryLine(log, line);
        QCOMPARE(addedToTheLog(), line.toLatin1() + "\r\n");
    }

    // Another copy appends while this one fails part way through a line: every line reported
    // as written is in the log, whole, on its own.
    void appendKeepsOtherCopiesLines()
    {
        QTemporaryDir dir;
        const QString log = writeTestFile(dir.filePath("Pingora.txt"), "first\r\n");
        // A writer that does not lock (another program) appends right after our first part.
        // It is the signal of the write past the limit that lets it in.
        static QByteArray s_path;
        static rlimit s_unlimited;
        s_path = QFile::encodeName(log);
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &s_unlimited), 0);
        struct sigaction anotherWriter
        {
        }, before{};
        anotherWriter.sa_handler = [](int) {
            const int error = errno;
            ::setrlimit(RLIMIT_FSIZE, &s_unlimited);
            const int fd = ::open(s_path.constData(), O_WRONLY | O_APPEND);
            [[maybe_unused]] const ssize_t written = ::write(fd, "theirs\r\n", 8);
            ::close(fd);
            errno = error;
        };
        QCOMPARE(::sigaction(SIGXFSZ, &anotherWriter, &before), 0);
        const rlimit limit{rlim_t(QFileInfo(log).size() + 4), s_unlimited.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        QVERIFY_THROWS_EXCEPTION(Failure, IntervalSave::AppendHistoryLine(log, "Beeped at 1"));
        ::setrlimit(RLIMIT_FSIZE, &s_unlimited);
        ::sigaction(SIGXFSZ, &before, nullptr);
        // Their line is not cut; the part of ours before it cannot be taken back.
        QCOMPARE(readTestFile(log), QByteArray("first\r\nBeeptheirs\r\n"));

        // Two copies: one fails part way through every line, the other appends.
        writeTestFile(log, {});
        int stop[2];
        QCOMPARE(::pipe(stop), 0);
        const pid_t failing = ::fork();
        if (failing == 0) {
            ::close(stop[1]);
            FileSizeLimit::reportInsteadOfEnding();
            for (int i = 0; ::poll(std::array{pollfd{stop[0], POLLIN, 0}}.data(), 1, 0) == 0; ++i) {
                const rlimit within{rlim_t(QFileInfo(log).size() + 4), s_unlimited.rlim_max};
                ::setrlimit(RLIMIT_FSIZE, &within);
                try {
                    IntervalSave::AppendHistoryLine(log, QStringLiteral("failing %1").arg(i));
                    ::_exit(1); // a line past the limit was reported as written
                } catch (const Failure&) {
                }
            }
            ::_exit(0);
        }
        ::close(stop[0]);
        constexpr int kLines = 20000;
        QStringList written;
        for (int i = 0; i < kLines; ++i) {
            const QString line = QStringLiteral("Beeped at %1").arg(i);
            try {
                IntervalSave::AppendHistoryLine(log, line);
                written << line;
            } catch (const Failure&) {
            }
        }
        ::close(stop[1]);
        int status = 0;
        QCOMPARE(::waitpid(failing, &status, 0), failing);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const QStringList lines = QString::fromLatin1(readTestFile(log)).split("\r\n");
        const QSet<QString> inLog(lines.cbegin(), lines.cend());
        const qsizetype lost =
            std::count_if(written.cbegin(), written.cend(),
                          [&](const QString& line) { return !inLog.contains(line); });
        const qsizetype glued = lines.size() - 1 - (written.size() - lost);
        qInfo("%lld of %lld lines written: %lld lost, %lld glued", qlonglong(written.size()),
              qlonglong(kLines), qlonglong(lost), qlonglong(glued));
        QCOMPARE(lost, 0);
        QCOMPARE(glued, 0);
        QCOMPARE(lines.last(), QString());
    }

    void directorySearchFindsOnlyVisibleRegularFiles()
    {
        QTemporaryDir dir;
        writeTestFile(dir.filePath("tone.wav"), {});
        writeTestFile(dir.filePath(".hidden.wav"), {});
        QDir().mkpath(dir.filePath("folder.wav"));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe.wav")).constData(), 0600), 0);
        QVERIFY(IntervalSave::FindsBeepFile(dir.filePath("tone.wav")));
        QVERIFY(IntervalSave::FindsBeepFile(dir.filePath("t*.wav")));
        QVERIFY(IntervalSave::FindsBeepFile(dir.filePath("to?e.wav")));
        QVERIFY(!IntervalSave::FindsBeepFile(dir.filePath(".hidden.wav")));
        QVERIFY(!IntervalSave::FindsBeepFile(dir.filePath(".h*")));
        QVERIFY(!IntervalSave::FindsBeepFile(dir.filePath("folder.wav")));
        QVERIFY(!IntervalSave::FindsBeepFile(dir.filePath("pipe.wav")));
        QVERIFY(!IntervalSave::FindsBeepFile(dir.filePath("p*")));
        QVERIFY(!IntervalSave::FindsBeepFile("/dev/zero"));
        QVERIFY(!IntervalSave::FindsBeepFile("   "));
        QVERIFY(!IntervalSave::FindsBeepFile(dir.filePath("missing.wav")));
        QVERIFY_THROWS_EXCEPTION(Failure, IntervalSave::FindsBeepFile("/" + QString(5000, 'a')));
    }

    void beepNowRecordsEachOutcome()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 minutes", false);
        const QString sound = writeTestFile(window.root.filePath("my tone.wav"), {});

        Form1Probe(form).Text2()->setText("");
        Form1Probe(form).BeepNow();
        Form1Probe(form).Text2()->setText("   ");
        Form1Probe(form).BeepNow();
        Form1Probe(form).Text2()->setText(window.root.filePath("missing.wav"));
        Form1Probe(form).BeepNow();
        QVERIFY(window.player->calls.isEmpty());
        Form1Probe(form).Text2()->setText(sound);
        Form1Probe(form).BeepNow();
        Form1Probe(form).BeepNow();
        QCOMPARE(window.player->calls, QStringList({"loop 0", "close", "url " + sound, "loop 0",
                                                    "close", "url " + sound}));
        QCOMPARE(logLines(Form1Probe(form).HistoryLogPath()),
                 QStringList({"No beep file specified. Fail to beeped at 8/31/2021 3:04:05 PM",
                              "Beep file not found. Fail to beeped at 8/31/2021 3:04:05 PM",
                              "Beep file not found. Fail to beeped at 8/31/2021 3:04:05 PM",
                              "Beeped at 8/31/2021 3:04:05 PM", "Beeped at 8/31/2021 3:04:05 PM"}));
    }

    void beepNowReportsAnUnwritableLogAndTriesAgain()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 minutes", false);
        QDir().mkpath(Form1Probe(form).HistoryLogPath()); // the log's path is a folder
        ModalAnswerer answerer;
        Form1Probe(form).BeepNow();
        QCOMPARE(answerer.reportedLines(), QList<int>{110});
        QVERIFY(
            answerer.seen().first().text.contains("in Belvane2021/08/31.IntervalSave.BeepNow "));
        QCOMPARE(window.player->calls.size(), 3); // the sound was still played
        QDir().rmdir(Form1Probe(form).HistoryLogPath());
        Form1Probe(form).BeepNow();
        QCOMPARE(logLines(Form1Probe(form).HistoryLogPath()).size(), 1);
    }

    // A file that the search finds but the player cannot open, on the shortest interval: timed
    // beeps report it once per file, not every second; "Beep Now (Test)" every time.
    void timedBeepsReportAPlayerFailureOncePerFile()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 1 second", true);
        const QSignalBlocker onlyTheTestsTicks(Form1Probe(form).Timer1());
        const QString sound = writeTestFile(window.root.filePath("tone.wav"), {});
        const QString wildcard = window.root.filePath("t*.wav");
        const QString other = window.root.filePath("to?e.wav");
        ModalAnswerer answerer;
        const auto reports = [&](const QString& path, int beeps, bool timed = true) {
            Form1Probe(form).Text2()->setText(path);
            const qsizetype before = answerer.reportedLines().size();
            for (int beep = 0; beep < beeps; ++beep)
                timed ? form.Timer1_Timer() : Form1Probe(form).BeepNow();
            return answerer.reportedLines().size() - before;
        };
        QCOMPARE(reports(wildcard, 3), 1);
        QCOMPARE(reports(wildcard, 2, false), 2);
        QCOMPARE(reports(wildcard, 1), 0);
        QCOMPARE(reports(other, 2), 1);
        QCOMPARE(reports(wildcard, 2), 1); // after another file
        QCOMPARE(reports(window.root.filePath("missing.wav"), 1), 0);
        QCOMPARE(reports(wildcard, 1), 1); // after a file that was not found
        QCOMPARE(reports(sound, 1), 0);
        QCOMPARE(reports(wildcard, 2), 1); // after a beep of another file that played
        const QString named = writeTestFile(wildcard, {}); // a file of that very name plays
        QCOMPARE(reports(wildcard, 1), 0);
        QVERIFY(QFile::remove(named));
        QCOMPARE(reports(wildcard, 1), 1);                      // after it played
        QCOMPARE(answerer.reportedLines(), QList<int>(8, 108)); // all at the player's step
        const QStringList lines = logLines(Form1Probe(form).HistoryLogPath());
        QCOMPARE(lines.size(), 17);
        QCOMPARE(lines.filter(QRegularExpression("^Beeped at ")).size(), 16);
    }

    void countdownOfFiveSeconds()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 seconds", true);
        QStringList captions;
        for (int tick = 1; tick <= 6; ++tick) {
            form.Timer1_Timer();
            captions << Form1Probe(form).Frame1()->title();
            if (tick == 5) {
                QCOMPARE(Form1Probe(form).ProgressBar1()->maximum(), 5);
                QCOMPARE(Form1Probe(form).ProgressBar1()->value(), 5); // full on the beeping tick
                QCOMPARE(logLines(Form1Probe(form).HistoryLogPath()).size(), 1);
            }
        }
        QCOMPARE(
            captions,
            QStringList({"Next beep will occur in 00:00:04", "Next beep will occur in 00:00:03",
                         "Next beep will occur in 00:00:02", "Next beep will occur in 00:00:01",
                         "Next beep will occur in 00:00:00", "Next beep will occur in 00:00:04"}));
        QCOMPARE(Form1Probe(form).ProgressBar1()->value(), 1);
        QCOMPARE(logLines(Form1Probe(form).HistoryLogPath()),
                 QStringList{"Beeped at 8/31/2021 3:04:05 PM"});
    }

    void beepingTickShowsItsCaptionsInOrder()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 1 second", true);
        QStringList shown;
        QTimer spy;
        // Each event-processing step of the tick lets this sampler see the caption.
        spy.setInterval(0);
        connect(&spy, &QTimer::timeout, this, [&] {
            if (shown.isEmpty() || shown.last() != Form1Probe(form).Frame1()->title())
                shown << Form1Probe(form).Frame1()->title();
        });
        spy.start();
        form.Timer1_Timer();
        spy.stop();
        QCOMPARE(shown, QStringList({"Next beep will occur in 00:00:00",
                                     "Beep is running in background...",
                                     "Auto Beep Complete at 8/31/2021 3:04:05 PM"}));
        QCOMPARE(Form1Probe(form).Frame1()->title(), QString("Next beep will occur in 00:00:00"));
        QCOMPARE(Form1Probe(form).ElapsedSeconds(), 0);
        form.Timer1_Timer();
        QCOMPARE(logLines(Form1Probe(form).HistoryLogPath()).size(), 2); // every tick beeps
    }

    // On the beeping tick the bar is painted full together with the tick's caption, not in a
    // paint of its own before it.
    void beepingTickPaintsTheFullBarWithItsCaption()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 seconds", true);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QStringList painted; // the bar's value and the caption, at each paint of the bar
        PaintWatch watch(Form1Probe(form).ProgressBar1(), [&] {
            painted << QStringLiteral("%1 %2")
                           .arg(Form1Probe(form).ProgressBar1()->value())
                           .arg(Form1Probe(form).Frame1()->title());
        });
        for (int tick = 1; tick <= 4; ++tick)
            form.Timer1_Timer();
        painted.clear();
        form.Timer1_Timer();
        QCOMPARE(painted.value(0), QStringLiteral("5 Next beep will occur in 00:00:00"));
        QCOMPARE(logLines(Form1Probe(form).HistoryLogPath()).size(), 1);
    }

    // A tick repaints the caption, and the bar only when the bar's look changes; what the
    // window shows stays what a full repaint would show, through captions of every length.
    void countingTicksRepaintOnlyWhatChanged_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<bool>("barPainted");
        QTest::newRow("a day away") << "Beep every 24 hours" << 3 << false;
        QTest::newRow("through a beep") << "Beep every 5 seconds" << 7 << true;
    }
    void countingTicksRepaintOnlyWhatChanged()
    {
        QFETCH(QString, row);
        QFETCH(int, ticks);
        QFETCH(bool, barPainted);
        BeepWindow window;
        Form1& form = window.start(row, true);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        int barPaints = 0;
        bool counting = false; // the first tick sets the bar's range; the checks' repaints
        PaintWatch watch(Form1Probe(form).ProgressBar1(), [&] { barPaints += counting; });
        for (int tick = 1; tick <= ticks; ++tick) {
            counting = tick > 1;
            form.Timer1_Timer();
            QCoreApplication::processEvents();
            counting = false;
            const QImage shown = form.screen()->grabWindow(form.winId()).toImage();
            const QImage repainted = form.grab().toImage();
            QVERIFY2(shown.convertToFormat(QImage::Format_RGB32) ==
                         repainted.convertToFormat(QImage::Format_RGB32),
                     qPrintable(QStringLiteral("tick %1: %2")
                                    .arg(tick)
                                    .arg(Form1Probe(form).Frame1()->title())));
        }
        QCOMPARE(barPaints > 0, barPainted);
    }

    // The countdown's frame looks exactly as the style draws a frame with that caption, in
    // the style it draws itself for and in one it leaves to the style, after a change of its
    // last letter has repainted only part of it.
    void captionFrameLooksAsTheStyleDrawsIt_data()
    {
        QTest::addColumn<QString>("styleName");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<qreal>("points");
        QTest::addColumn<bool>("enabled");
        const QString countdown = QStringLiteral("Next beep will occur in 23:59:59");
        QTest::newRow("countdown") << "fusion" << countdown << 9.0 << true;
        QTest::newRow("odd size") << "fusion" << countdown << 10.5 << true;
        QTest::newRow("disabled") << "fusion" << countdown << 9.0 << false;
        QTest::newRow("accents") << "fusion"
                                 << "Auto Beep Complete at 8 d\u00e9c. 2026" << 9.0 << true;
        QTest::newRow("wider than the frame") << "fusion" << countdown.repeated(3) << 9.0 << true;
        QTest::newRow("shortcut letter") << "fusion"
                                         << "Beep && &go" << 9.0 << true;
        QTest::newRow("another style") << "windows" << countdown << 9.0 << true;
    }
    void captionFrameLooksAsTheStyleDrawsIt()
    {
        QFETCH(QString, styleName);
        QFETCH(QString, caption);
        QFETCH(qreal, points);
        QFETCH(bool, enabled);
        std::unique_ptr<QStyle> style(QStyleFactory::create(styleName));
        QVERIFY(style);
        const auto drawn = [&](QGroupBox* frame) {
            frame->setStyle(style.get());
            QFont font = frame->font();
            font.setPointSizeF(points);
            frame->setFont(font);
            QPalette palette = frame->palette(); // as a skin colours it
            palette.setColor(QPalette::WindowText, Qt::darkRed);
            palette.setColor(QPalette::Text, Qt::darkBlue);
            frame->setPalette(palette);
            frame->setGeometry(0, 0, 300, 60);
            frame->setEnabled(enabled);
            frame->setTitle(caption.chopped(1) + QLatin1Char('W')); // a wide last letter
            frame->show();
            if (!QTest::qWaitForWindowExposed(frame))
                return QImage();
            frame->setTitle(caption); // as a tick sets it, the window on screen
            QCoreApplication::processEvents();
            return frame->screen()->grabWindow(frame->winId()).toImage();
        };
        CaptionFrame captionFrame;
        QGroupBox groupBox;
        QCOMPARE(drawn(&captionFrame), drawn(&groupBox));
    }

    void tickWhileOffAndResetDuringTick()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 seconds", false);
        Form1Probe(form).ElapsedSeconds() = 3;
        form.Timer1_Timer();
        QCOMPARE(Form1Probe(form).Frame1()->title(), QString("Auto Beep is Off."));
        QCOMPARE(Form1Probe(form).ElapsedSeconds(), 3);

        // A click on the list while the tick processes events resets the count: no beep.
        Form1Probe(form).Timer1()->setInterval(1000);
        Form1Probe(form).ElapsedSeconds() = 4;
        QTimer::singleShot(0, &form, [&] { form.ListView1_Click(); });
        form.Timer1_Timer();
        QCOMPARE(Form1Probe(form).ElapsedSeconds(), 0);
        QVERIFY(!QFile::exists(Form1Probe(form).HistoryLogPath()));
        Form1Probe(form).Timer1()->setInterval(0);
    }

    void countdownPastTheTargetNeverBeeps()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 seconds", true);
        Form1Probe(form).ElapsedSeconds() = 9; // the row changed to a shorter one without a click
        form.Timer1_Timer();
        QCOMPARE(Form1Probe(form).Frame1()->title(), QString("Next beep will occur in 00:00:05"));
        QCOMPARE(Form1Probe(form).ProgressBar1()->value(), 0);
        QVERIFY(!QFile::exists(Form1Probe(form).HistoryLogPath()));

        Form1Probe(form).ElapsedSeconds() = std::numeric_limits<qint32>::max();
        ModalAnswerer answerer;
        form.Timer1_Timer();
        QCOMPARE(answerer.reportedLines().value(0), 106);
        QVERIFY(answerer.seen().first().text.contains("in Belvane2021/08/31.Form1.Timer1 at line"));
    }

    void realTimerBeepsOnTime()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 1 second", true);
        QVERIFY(Form1Probe(form).Timer1()->Interval() == 1000);
        QTest::qWait(3500);
        Form1Probe(form).Timer1()->setInterval(0);
        const int beeps = int(logLines(Form1Probe(form).HistoryLogPath()).size());
        QVERIFY2(beeps >= 2 && beeps <= 4, qPrintable(QString::number(beeps)));
    }

    // The sound engine is loaded ahead of a timed beep only when the beep is near.
    void soundEngineLoadsAheadOfANearBeep_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("autoBeepOn");
        QTest::addColumn<int>("ticksBeforeLoad"); // -1: not within 40 ticks
        QTest::newRow("1 second") << "Beep every 1 second" << true << 0;
        QTest::newRow("30 seconds") << "Beep every 30 seconds" << true << 0;
        QTest::newRow("1 minute") << "Beep every 1 minute" << true << 30;
        QTest::newRow("24 hours") << "Beep every 24 hours" << true << -1;
        QTest::newRow("off") << "Beep every 1 second" << false << -1;
    }
    void soundEngineLoadsAheadOfANearBeep()
    {
        QFETCH(QString, row);
        QFETCH(bool, autoBeepOn);
        QFETCH(int, ticksBeforeLoad);
        BeepWindow window;
        Form1& form = window.start(row, autoBeepOn);
        form.prepareSoundIfNear();
        int ticks = 0;
        for (; ticks < 40 && window.player->prepares == 0; ++ticks)
            form.Timer1_Timer();
        QCOMPARE(window.player->prepares ? ticks : -1, ticksBeforeLoad);
    }

    void soundEngineLoadsWhenTheCountTurnsNear()
    {
        BeepWindow far;
        Form1& form = far.start("Beep every 24 hours", false);
        Form1Probe(form).PushButton5()->click(); // on, a day away
        QCOMPARE(far.player->prepares, 0);
        QTreeWidget* list = Form1Probe(form).ListView1();
        list->setCurrentItem(list->findItems("Beep every 1 second", Qt::MatchExactly).value(0));
        form.ListView1_Click(); // its beep is the next tick
        QVERIFY(far.player->prepares > 0);

        BeepWindow near;
        Form1& later = near.start("Beep every 5 seconds", false);
        Form1Probe(later).PushButton5()->click();
        QCOMPARE(near.player->prepares, 1);
    }

    void onOffButton()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 seconds", false);
        Form1Probe(form).ElapsedSeconds() = 3;
        Form1Probe(form).PushButton5()->click();
        QCOMPARE(Form1Probe(form).PushButton5()->text(), QString("Turn Off Auto Beep"));
        QCOMPARE(Form1Probe(form).Timer1()->Interval(), 1000);
        QCOMPARE(Form1Probe(form).ElapsedSeconds(), 0);
        QCOMPARE(window.settings().read("StartStopState", ""), QString("On"));
        Form1Probe(form).ElapsedSeconds() = 2;
        Form1Probe(form).PushButton5()->click();
        QCOMPARE(Form1Probe(form).PushButton5()->text(), QString("Turn On Auto Beep"));
        QCOMPARE(Form1Probe(form).Timer1()->Interval(), 0);
        QCOMPARE(Form1Probe(form).ElapsedSeconds(), 2);
        QCOMPARE(window.settings().read("StartStopState", ""), QString("Off"));
    }

    void beepNowTestWaitsAndRestores()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 minutes", false);
        Form1Probe(form).Frame1()->setTitle("kept caption");
        Form1Probe(form).ProgressBar1()->setMaximum(10);
        Form1Probe(form).ProgressBar1()->setValue(7);
        int busySeen = 0;
        QTimer::singleShot(0, &form, [&] {
            QCOMPARE(Form1Probe(form).Frame1()->title(), QString("Beeping..."));
            busySeen = Form1Probe(form).Pointer()->value();
            // A second press during the wait runs nested and records its own beep.
            Form1Probe(form).PushButton6()->click();
        });
        QElapsedTimer clock;
        clock.start();
        Form1Probe(form).PushButton6()->click();
        QVERIFY(clock.elapsed() >= 5000);
        QCOMPARE(busySeen, int(PointerFeedback::Default)); // the pointer is back before the wait
        QCOMPARE(Form1Probe(form).Frame1()->title(), QString("kept caption"));
        QCOMPARE(Form1Probe(form).ProgressBar1()->value(), 0);
        QCOMPARE(Form1Probe(form).ProgressBar1()->format(), QString("Progress Bar"));
        QCOMPARE(logLines(Form1Probe(form).HistoryLogPath()).size(), 2);
        QCOMPARE(Form1Probe(form).ElapsedSeconds(), 0);
    }

    void testBeepSoundPlaysWithoutRecording()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 minutes", false);
        Form1Probe(form).Text2()->setText("   ");
        Form1Probe(form).PushButton4()->click();
        Form1Probe(form).Text2()->setText(window.root.filePath("missing.wav"));
        Form1Probe(form).PushButton4()->click();
        QVERIFY(window.player->calls.isEmpty());
        const QString sound = writeTestFile(window.root.filePath("t.wav"), {});
        Form1Probe(form).Text2()->setText(" " + sound); // untrimmed text is searched: not found
        Form1Probe(form).PushButton4()->click();
        QVERIFY(window.player->calls.isEmpty());
        Form1Probe(form).Text2()->setText(sound);
        Form1Probe(form).PushButton4()->click();
        QCOMPARE(window.player->calls, QStringList({"loop 0", "close", "url " + sound}));
        QVERIFY(!QFile::exists(Form1Probe(form).HistoryLogPath()));
    }

    void changeSoundFile()
    {
        BeepWindow window;
        Form1& form = window.start("Beep every 5 minutes", false);
        const QString before = Form1Probe(form).Text2()->text();
        window.settings().write("Beep", "written elsewhere");
        window.nextFileName = QString(); // cancelled
        Form1Probe(form).PushButton1()->click();
        QCOMPARE(Form1Probe(form).Text2()->text(), before);
        QCOMPARE(window.settings().read("Beep", ""), QString("written elsewhere"));
        QCOMPARE(window.fileDialogTitles,
                 QStringList{"Add File(s) - Hold Ctrl to select multiple files"});
        QCOMPARE(window.fileDialogFilters, QStringList{"WAV Files (*.wav)"});

        window.nextFileName = "/music/new tone.wav";
        Form1Probe(form).PushButton1()->click();
        QCOMPARE(Form1Probe(form).Text2()->text(), QString("/music/new tone.wav"));
        QCOMPARE(window.settings().read("Beep", ""), QString("/music/new tone.wav"));

        QCOMPARE(SoundFileDialog::nameFilters("Sounds|*.wav;*.ogg|All|*|"),
                 QString("Sounds (*.wav *.ogg);;All (*)"));
    }
};

QTEST_MAIN(tst_BeepCommands)
#include "tst_beep_commands.moc"
