// beeps_under_load: every beep whole on a busy machine. The media player beeps every second
// for two minutes while busy loops load the machine, and paplay plays the same file on a sink
// of its own at the same moments; both sinks' monitors are recorded. For each format (WAV,
// FLAC, Ogg Vorbis) it prints the beeps heard, the beeps with a dropout (a quiet stretch of
// 10 ms or more inside the sound) and the lateness from the call to the first sample at the
// server (median, 95th percentile, max), for the player and for paplay.
// Target: no dropouts, and lateness at the 95th percentile within 20 ms of paplay's.
// Prints figures; never fails.
//
// Run it inside the test desktop session, on PulseAudio or on PipeWire:
//   tests/support/desktop-session.sh [--pipewire] -- build/bench/beeps_under_load
//       [--seconds 120] [--busy 6] [--formats wav,flac,ogg]

#include "BeepCount.h"
#include "BusyLoops.h"
#include "MonitorRecorder.h"
#include "ToneWav.h"
#include "beep/MediaPlayer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>

using Clock = MonitorRecorder::Clock;

namespace {

constexpr double kLatenessMarginMs = 20.0;
constexpr char kReferenceSink[] = "pingora_reference";

QString command(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void print(const char* who, const BeepCount::Figures& f)
{
    std::printf("  %-12s heard %3d/%-3d  with a dropout %3d  lateness median %6.1f  p95 %6.1f  "
                "max %6.1f ms\n",
                who, f.heard, f.played, f.withDropout, f.lateness(0.5), f.lateness(0.95),
                f.lateness(1.0));
}

// The machine's load: runnable tasks, averaged over the last minute.
double loadAverage()
{
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({"seconds", "Beeps per format, one a second.", "n", "120"});
    options.addOption({"busy", "Busy loops that load the machine.", "n", "6"});
    options.addOption({"formats", "Formats to play, of wav, flac, ogg.", "list", "wav,flac,ogg"});
    options.process(app);
    const int count = options.value("seconds").toInt();

    if (!qEnvironmentVariableIsSet("PULSE_SERVER"))
        std::printf("note: PULSE_SERVER is not set; run this inside "
                    "tests/support/desktop-session.sh\n");
    command("pactl", {"load-module", "module-null-sink",
                      QStringLiteral("sink_name=%1").arg(kReferenceSink)});
    MonitorRecorder player("pingora_test.monitor");
    MonitorRecorder reference(std::string(kReferenceSink) + ".monitor");
    std::string error;
    if (!player.start(&error) || !reference.start(&error)) {
        std::printf("cannot record the sound server: %s\n", error.c_str());
        return 0;
    }
    QTemporaryDir dir;
    const QString wav = dir.filePath("beep.wav");
    ToneWav::write(wav, {44100, 2, ToneWav::Sample::Int16}, 880, 0.35);

    std::printf("%s; %d beeps a format, one a second, %s busy loops\n",
                qPrintable(command("sh", {"-c", "pactl info | grep 'Server Name'"})), count,
                qPrintable(options.value("busy")));
    MediaPlayer mediaPlayer;
    mediaPlayer.prepare();
    for (const QString& format : options.value("formats").split(',')) {
        QString path = wav;
        if (format != "wav") {
            path = dir.filePath("beep." + format);
            if (QProcess::execute("sox", {wav, path}) != 0) {
                std::printf("%s: sox cannot write it\n", qPrintable(format));
                continue;
            }
        }
        std::vector<Clock::time_point> calls;
        double load = 0;
        {
            // First, so that the loops hold no end of the launcher's pipe.
            BusyLoops busy(options.value("busy").toInt());
            // paplay is started by a shell of its own, told by a line: a fork of this process
            // every second would stall the player's threads while their memory is copied.
            QProcess launcher;
            launcher.start("sh", {"-c", QStringLiteral("while read -r file; do paplay "
                                                       "--device=%1 \"$file\" & done")
                                            .arg(kReferenceSink)});
            launcher.waitForStarted();
            const QByteArray line = QFile::encodeName(path) + '\n';
            QEventLoop loop;
            QTimer timer;
            timer.setTimerType(Qt::PreciseTimer);
            timer.setInterval(1000);
            QObject::connect(&timer, &QTimer::timeout, [&] {
                if (static_cast<int>(calls.size()) == count) {
                    timer.stop();
                    load = loadAverage();
                    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
                    return;
                }
                calls.push_back(Clock::now());
                mediaPlayer.setLoop(false);
                mediaPlayer.close();
                mediaPlayer.setUrl(path);
                launcher.write(line);
            });
            timer.start();
            loop.exec();
            launcher.closeWriteChannel();
            launcher.waitForFinished(5000);
        }
        const auto mine = BeepCount::count(player, calls);
        const auto theirs = BeepCount::count(reference, calls);
        const bool met = mine.heard == mine.played && mine.withDropout == 0 &&
                         mine.lateness(0.95) <= theirs.lateness(0.95) + kLatenessMarginMs;
        std::printf("%s (load %.1f):\n", qPrintable(format.toUpper()), load);
        print("MediaPlayer", mine);
        print("paplay", theirs);
        std::printf("  [target: all heard, no dropout, p95 at most paplay's + %.0f ms: %s]\n",
                    kLatenessMarginMs, met ? "met" : "MISSED");
        std::fflush(stdout);
    }
    return 0;
}
