// What the media player really sends to the sound server, recorded from the default sink's
// monitor: every sound heard, on time, once, in every WAV variant, cut off by close(), whole
// on a busy machine. Runs inside desktop-session.sh (a private PulseAudio server with a null
// sink, or PipeWire with pipewire-pulse).

#include "BeepCount.h"
#include "BusyLoops.h"
#include "EncodedTones.h"
#include "MonitorRecorder.h"
#include "RetryTimed.h"
#include "ToneOnsets.h"
#include "ToneWav.h"
#include "beep/MediaPlayer.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <optional>

using namespace std::chrono_literals;
using Clock = MonitorRecorder::Clock;

namespace {

// The onset target, from the call that starts a sound to its first sample at the server.
constexpr double kMedianOnsetTargetMs = 25.0;
// A single late onset is tolerated (a busy machine), a lost or very late sound is not.
constexpr double kWorstOnsetMs = 500.0;
// The recorder's time base may put an onset slightly before the call (by up to the monitor's
// block size); anything earlier belongs to a previous sound.
constexpr auto kEarlyAllowance = 5ms;
constexpr double kEarlyAllowanceMs =
    std::chrono::duration<double, std::milli>(kEarlyAllowance).count();
// A busy machine: more programs at work than it has cores, several times over.
constexpr int kBusyLoops = 6;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct HeardTone
{
    Clock::time_point onset;
    double durationMs = 0;
};

// What went wrong in one attempt of a check; empty if nothing did.
using Verdict = QString;

Verdict expectTones(const std::vector<HeardTone>& heard, std::size_t count)
{
    if (heard.size() == count)
        return {};
    return QStringLiteral("heard %1 sounds, expected %2").arg(heard.size()).arg(count);
}

Verdict expectBetween(const char* what, double value, double low, double high)
{
    if (value > low && value < high)
        return {};
    return QStringLiteral("%1 %2 ms, expected %3 to %4 ms").arg(what).arg(value).arg(low).arg(high);
}

// Stops the session's sound server, as a suspend or a hung server does, until resumed.
class ServerStall
{
  public:
    ServerStall()
    {
        // desktop-session.sh lists the daemons it started.
        QFile started(qEnvironmentVariable("PINGORA_SESSION_DIR") +
                      QStringLiteral("/started.pids"));
        const QByteArrayList servers = {"pulseaudio", "pipewire-pulse"};
        if (!started.open(QIODevice::ReadOnly))
            return;
        for (const QByteArray& line : started.readAll().split('\n')) {
            QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(line.trimmed())));
            if (!line.trimmed().isEmpty() && comm.open(QIODevice::ReadOnly) &&
                servers.contains(comm.readAll().trimmed()))
                m_pid = line.trimmed().toInt();
        }
        if (m_pid > 0 && ::kill(m_pid, SIGSTOP) != 0)
            m_pid = -1;
    }
    ~ServerStall() { resume(); }
    ServerStall(const ServerStall&) = delete;
    ServerStall& operator=(const ServerStall&) = delete;

    bool stopped() const { return m_pid > 0; }
    void resume()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGCONT);
        m_pid = -1;
    }

  private:
    pid_t m_pid = -1;
};

// This process's playback streams on the sound server; -1 if it cannot be asked.
int streamsOfOurs()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
        return -1;
    const QByteArray ours = "application.process.id = \"" +
                            QByteArray::number(QCoreApplication::applicationPid()) + '"';
    return static_cast<int>(pactl.readAllStandardOutput().count(ours));
}

} // namespace

class tst_SoundOutput : public QObject
{
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    MonitorRecorder m_recorder;
    MediaPlayer m_player;

    QString writeTone(const QString& name, const ToneWav::Format& format, double seconds,
                      double frequency = 880)
    {
        const QString path = m_dir.filePath(name);
        if (!ToneWav::write(path, format, frequency, seconds))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Starts a sound the way a beep does: loop off, close, open.
    Clock::time_point beep(const QString& path)
    {
        const auto at = Clock::now();
        m_player.setLoop(false);
        m_player.close();
        m_player.setUrl(path);
        return at;
    }

    std::vector<HeardTone> tonesSince(Clock::time_point since, bool completeOnly = true)
    {
        const auto samples = m_recorder.samples();
        std::vector<HeardTone> heard;
        const ToneOnsets::Options options;
        const auto tail =
            static_cast<std::size_t>(options.minSilenceSeconds * MonitorRecorder::kRate);
        for (const auto& tone :
             ToneOnsets::find(samples.data(), samples.size(), MonitorRecorder::kRate)) {
            const auto onset = m_recorder.timeOf(tone.start);
            if (onset < since - kEarlyAllowance)
                continue;
            // A tone still sounding at the end of the recording is not finished yet.
            if (completeOnly && tone.end + tail > samples.size())
                continue;
            heard.push_back({onset, 1000.0 * (tone.end - tone.start) / MonitorRecorder::kRate});
        }
        return heard;
    }

    // Waits, running the event loop, until \a count complete tones have been recorded since
    // \a since, or \a timeout has passed.
    std::vector<HeardTone> waitForTones(Clock::time_point since, std::size_t count,
                                        std::chrono::milliseconds timeout = 5s)
    {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            auto heard = tonesSince(since);
            if (heard.size() >= count || Clock::now() > deadline)
                return heard;
            QTest::qWait(20);
        }
    }

    // Plays \a count sounds \a interval apart; each must be heard once, on time.
    Verdict everyBeepHeard(const QString& path, int count, std::chrono::milliseconds interval)
    {
        std::vector<Clock::time_point> calls;
        const auto start = Clock::now() + 50ms;
        for (int i = 0; i < count; ++i) {
            const auto due = start + i * interval;
            while (Clock::now() < due)
                QTest::qWait(1);
            calls.push_back(beep(path));
        }
        const auto heard = waitForTones(calls.front(), calls.size());
        if (auto verdict = expectTones(heard, calls.size()); !verdict.isEmpty())
            return verdict;

        std::vector<double> onsets;
        for (std::size_t i = 0; i < calls.size(); ++i)
            onsets.push_back(msBetween(calls[i], heard[i].onset));
        for (std::size_t i = 0; i < onsets.size(); ++i)
            if (auto verdict = expectBetween("onset", onsets[i], -kEarlyAllowanceMs, kWorstOnsetMs);
                !verdict.isEmpty())
                return QStringLiteral("sound %1: %2").arg(i + 1).arg(verdict);
        std::sort(onsets.begin(), onsets.end());
        const double median = onsets[onsets.size() / 2];
        qInfo("%d sounds heard, onset median %.1f ms, max %.1f ms", count, median, onsets.back());
        if (median > kMedianOnsetTargetMs)
            return QStringLiteral("median onset %1 ms").arg(median);
        return {};
    }

    // Plays \a path once; it must be heard once, lasting about \a seconds.
    Verdict playsOnce(const QString& path, double seconds, double toleranceMs = 40)
    {
        const auto at = beep(path);
        const auto heard = waitForTones(at, 1);
        if (auto verdict = expectTones(heard, 1); !verdict.isEmpty())
            return verdict;
        if (msBetween(at, heard[0].onset) > kWorstOnsetMs)
            return QStringLiteral("began %1 ms late").arg(msBetween(at, heard[0].onset));
        return expectBetween("lasted", heard[0].durationMs, 1000 * seconds - toleranceMs,
                             1000 * seconds + toleranceMs);
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(qEnvironmentVariableIsSet("PULSE_SERVER"),
                 "run this test inside desktop-session.sh");
        std::string error;
        QVERIFY2(m_recorder.start(&error), error.c_str());
        // Connect to the server ahead, as the program does once its window is up, so that
        // the first sound is timed like the others.
        m_player.prepare();
        const QString warm = writeTone(QStringLiteral("warm.wav"), {}, 0.05);
        QSignalSpy applied(&m_player, &MediaPlayer::requestApplied);
        beep(warm);
        QVERIFY(applied.wait(30000));
        QCOMPARE(waitForTones(Clock::now() - 1s, 1).size(), 1u);
    }

    void everyOneSecondBeepHeard()
    {
        const QString path = writeTone(QStringLiteral("beep.wav"), {}, 0.15);
        retryTimed([&] { return everyBeepHeard(path, 24, 1000ms); });
    }

    void quickRetriggersAllHeard()
    {
        const QString path = writeTone(QStringLiteral("short.wav"), {}, 0.08);
        retryTimed([&] { return everyBeepHeard(path, 30, 250ms); });
    }

    void veryShortSoundHeard()
    {
        // Shorter than the output's buffer: it must still start, and start at once.
        const QString path = writeTone(QStringLiteral("click.wav"), {}, 0.01);
        retryTimed([&] { return everyBeepHeard(path, 5, 300ms); });
    }

    void soundPlaysOnceAtFullLength()
    {
        const QString path = writeTone(QStringLiteral("half.wav"), {}, 0.5);
        retryTimed([&]() -> Verdict {
            const auto at = Clock::now();
            if (auto verdict = playsOnce(path, 0.5); !verdict.isEmpty())
                return verdict;
            QTest::qWait(1000); // and never again
            return expectTones(tonesSince(at, false), 1);
        });
    }

    void closeCutsOffTheSound()
    {
        const QString path = writeTone(QStringLiteral("long.wav"), {}, 3.0);
        retryTimed([&]() -> Verdict {
            const auto at = beep(path);
            QTest::qWait(400);
            m_player.close();
            const auto heard = waitForTones(at, 1);
            if (auto verdict = expectTones(heard, 1); !verdict.isEmpty())
                return verdict;
            return expectBetween("lasted", heard[0].durationMs, 300, 900);
        });
    }

    void setUrlWhilePlayingRestartsFromTheStart()
    {
        const QString path = writeTone(QStringLiteral("second.wav"), {}, 1.0);
        retryTimed([&]() -> Verdict {
            const auto at = beep(path);
            QTest::qWait(400);
            m_player.setUrl(path);
            QTest::qWait(1800);
            const auto heard = tonesSince(at);
            if (heard.empty())
                return QStringLiteral("nothing heard");
            // The restart may leave a short gap; the sound lasts 0.4 s plus a whole second.
            const auto& last = heard.back();
            return expectBetween("sounded for",
                                 msBetween(heard.front().onset, last.onset) + last.durationMs, 1300,
                                 1600);
        });
    }

    // A file changed between two beeps plays as it is now, though the last one is kept.
    void changedFilePlaysAsItIsNow()
    {
        const QString path = writeTone(QStringLiteral("changing.wav"), {}, 0.2);
        retryTimed([&] { return playsOnce(path, 0.2); });
        writeTone(QStringLiteral("changing.wav"), {}, 0.6);
        retryTimed([&] { return playsOnce(path, 0.6); });
    }

    // Beeps one after another on a busy machine: each is heard whole, without a quiet stretch
    // inside it, whatever the format's decoding costs.
    void beepsStayWholeOnABusyMachine_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("wav") << "busy.wav";
        QTest::newRow("flac") << "busy.flac";
        QTest::newRow("ogg vorbis") << "busy.ogg";
    }

    void beepsStayWholeOnABusyMachine()
    {
        QFETCH(QString, fileName);
        QString path = writeTone(QStringLiteral("busy.wav"), {44100, 2}, 0.3);
        if (!fileName.endsWith(QLatin1String(".wav"))) {
            const QString encoded = m_dir.filePath(fileName);
            if (!EncodedTones::encode({"sox", "{in}", "{out}"}, path, encoded))
                QSKIP("sox is needed to write this format");
            path = encoded;
        }
        std::vector<Clock::time_point> calls;
        {
            BusyLoops busy(kBusyLoops);
            const auto start = Clock::now();
            for (int i = 0; i < 10; ++i) {
                while (Clock::now() < start + i * 1s)
                    QTest::qWait(1);
                calls.push_back(beep(path));
            }
            QTest::qWait(1000);
        }
        const auto figures = BeepCount::count(m_recorder, calls);
        qInfo("%d of %d heard, %d with a dropout, lateness median %.0f ms, max %.0f ms",
              figures.heard, figures.played, figures.withDropout, figures.lateness(0.5),
              figures.lateness(1));
        QCOMPARE(figures.withDropout, 0);
        // Lost sounds are counted without the load; here one may come later than the next.
        QVERIFY(figures.heard >= figures.played - 1);
    }

    void loopModeRepeatsUntilClosed_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("wav") << "loop.wav";
        QTest::newRow("flac") << "loop.flac"; // rewound through the decoder
    }

    void loopModeRepeatsUntilClosed()
    {
        QFETCH(QString, fileName);
        QString path = writeTone(QStringLiteral("loop.wav"), {}, 0.3);
        if (fileName.endsWith(QLatin1String(".flac"))) {
            if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty())
                QSKIP("sox is needed to write FLAC");
            const QString flac = m_dir.filePath(fileName);
            QCOMPARE(QProcess::execute(QStringLiteral("sox"), {path, flac}), 0);
            path = flac;
        }
        retryTimed([&]() -> Verdict {
            const auto at = Clock::now();
            m_player.setLoop(true);
            m_player.setUrl(path);
            QTest::qWait(1600);
            m_player.close();
            m_player.setLoop(false);
            QTest::qWait(600);
            const auto heard = tonesSince(at);
            if (heard.empty())
                return QStringLiteral("nothing heard");
            const double spanMs =
                msBetween(heard.front().onset, heard.back().onset) + heard.back().durationMs;
            if (auto verdict = expectBetween("sounded for", spanMs, 1300, 2000); !verdict.isEmpty())
                return verdict;
            QTest::qWait(500);
            if (tonesSince(at, false).size() != heard.size())
                return QStringLiteral("still sounding after close");
            return {};
        });
    }

    void everyWavVariantPlays_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("sample");
        const ToneWav::Sample samples[] = {ToneWav::Sample::UInt8,   ToneWav::Sample::Int16,
                                           ToneWav::Sample::Int24,   ToneWav::Sample::Int32,
                                           ToneWav::Sample::Float32, ToneWav::Sample::Float64};
        for (int rate : {8000, 11025, 22050, 44100, 48000, 96000})
            for (int channels : {1, 2})
                for (auto sample : samples) {
                    const ToneWav::Format format{rate, channels, sample};
                    QTest::newRow(qPrintable(ToneWav::describe(format)))
                        << rate << channels << static_cast<int>(sample);
                }
    }

    void everyWavVariantPlays()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, sample);
        const ToneWav::Format format{rate, channels, static_cast<ToneWav::Sample>(sample)};
        const QString path = writeTone(QStringLiteral("variant.wav"), format, 0.2, 660);
        retryTimed([&] { return playsOnce(path, 0.2); });
    }

    void otherFormatsPlay_data() { EncodedTones::addRows(); }

    void otherFormatsPlay()
    {
        QFETCH(QString, fileName);
        QFETCH(QStringList, command);
        const QString in = writeTone(QStringLiteral("source.wav"), {48000, 1}, 0.3, 660);
        const QString out = m_dir.filePath(fileName);
        if (!EncodedTones::encode(command, in, out))
            QSKIP("the encoder for this format is not installed");
        // MP3 and Opus encoders pad the sound with a little silence, hence the margin.
        retryTimed([&] { return playsOnce(out, 0.3, 50); });
    }

    void awkwardFileNamesPlay_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("spaces") << "my beep sound.wav";
        QTest::newRow("quotes") << "it's \"loud\".wav";
        QTest::newRow("wildcards") << "beep*?[1].wav";
        QTest::newRow("non-ascii") << QStringLiteral("bīp ☎ звонок.wav");
        QTest::newRow("no extension") << "beep";
        QTest::newRow("wrong extension") << "beep.mp3";
    }

    void awkwardFileNamesPlay()
    {
        QFETCH(QString, fileName);
        const QString path = writeTone(fileName, {}, 0.15);
        retryTimed([&] { return playsOnce(path, 0.15); });
    }

    void brokenFilesStaySilent_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray wav = ToneWav::make({}, 880, 0.2);
        QTest::newRow("text") << QByteArray("this is not a sound\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header only") << wav.left(30);
        QTest::newRow("random bytes") << QByteArray(64 * 1024, '\x5a');
    }

    void brokenFilesStaySilent()
    {
        QFETCH(QByteArray, content);
        const QString path = m_dir.filePath(QStringLiteral("broken.wav"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        const auto at = beep(path);
        QTest::qWait(700);
        QCOMPARE(tonesSince(at, false).size(), 0u);
        // ...and the player still works afterwards.
        const QString after = writeTone(QStringLiteral("after.wav"), {}, 0.1);
        retryTimed([&] { return playsOnce(after, 0.1); });
    }

    void truncatedWavPlaysWhatIsThere()
    {
        QByteArray wav = ToneWav::make({}, 880, 1.0);
        wav.truncate(wav.size() * 3 / 10);
        const QString path = m_dir.filePath(QStringLiteral("truncated.wav"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wav);
        file.close();
        retryTimed([&] { return playsOnce(path, 0.3); });
    }

    // Sounds asked for while the sound server stalls (a suspend, a hung server): once it
    // wakes, only the last request counts, and no stream of ours stays on the server.
    void stalledServerKeepsNoStream_data()
    {
        QTest::addColumn<bool>("connected"); // before the stall; else the sounds wait for it
        QTest::addColumn<QString>("last");   // the last request after the sounds
        QTest::addColumn<bool>("heard");
        QTest::newRow("streams being made") << true << "" << true;
        QTest::newRow("player gone while streams are being made") << true << "end" << false;
        QTest::newRow("close wins over a waiting sound") << false << "close" << false;
        QTest::newRow("a failed sound wins over a waiting one") << false << "text.wav" << false;
    }

    void stalledServerKeepsNoStream()
    {
        QFETCH(bool, connected);
        QFETCH(QString, last);
        QFETCH(bool, heard);
        const QString tone = writeTone(QStringLiteral("stall.wav"), {}, 0.15);
        QFile text(m_dir.filePath(QStringLiteral("text.wav")));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a sound\n") > 0);
        text.close();

        auto player = std::make_unique<MediaPlayer>();
        if (connected) {
            const auto at = Clock::now();
            player->setUrl(tone);
            QCOMPARE(waitForTones(at, 1).size(), 1u);
            QTest::qWait(300); // all of it, on a slow machine too
        }
        const auto at = Clock::now();
        ServerStall stall;
        QVERIFY2(stall.stopped(), "cannot find or stop the session's sound server");
        for (int i = 0; i < 5; ++i) {
            player->close();
            player->setUrl(tone);
            QTest::qWait(100);
        }
        if (last == QLatin1String("close"))
            player->close();
        else if (last == QLatin1String("end"))
            player.reset();
        else if (!last.isEmpty())
            player->setUrl(m_dir.filePath(last));
        QTest::qWait(300);
        stall.resume();

        QTest::qWait(1500); // for a sound that should not be there, too
        // A loaded machine may break a sound up; heard or not is what counts here.
        QCOMPARE(!tonesSince(at, false).empty(), heard);
        QTRY_COMPARE_WITH_TIMEOUT(streamsOfOurs(), 0, 5000);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    tst_SoundOutput test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sound_output.moc"
