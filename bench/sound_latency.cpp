// sound_latency: how soon a beep reaches the sound server, measured from the call that
// starts it to its first sample above -40 dBFS at the default sink's monitor.
// Target: every beep heard, median onset at most 25 ms. Prints figures; never fails.
//
// Run it inside the test desktop session (a PulseAudio null sink):
//   tests/support/desktop-session.sh build/bench/sound_latency [--count N] [--interval MS]
// The program's media player is measured against paplay, the sound server's own client.

#include "MonitorRecorder.h"
#include "ToneOnsets.h"
#include "ToneWav.h"
#include "beep/MediaPlayer.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace std::chrono_literals;
using Clock = MonitorRecorder::Clock;

namespace {

constexpr double kTargetMedianMs = 25.0;

struct Figures
{
    int heard = 0;
    int played = 0;
    std::vector<double> onsetsMs;
    double slowestCallMs = 0;
};

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Pairs each call with the first tone that begins after it and before the next call.
Figures match(const MonitorRecorder& recorder, const std::vector<Clock::time_point>& calls)
{
    const auto samples = recorder.samples();
    const auto tones = ToneOnsets::find(samples.data(), samples.size(), MonitorRecorder::kRate);
    Figures figures;
    figures.played = static_cast<int>(calls.size());
    std::size_t t = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto next = i + 1 < calls.size() ? calls[i + 1] : Clock::time_point::max();
        while (t < tones.size() && recorder.timeOf(tones[t].start) < calls[i] - 5ms)
            ++t;
        if (t < tones.size() && recorder.timeOf(tones[t].start) < next) {
            figures.onsetsMs.push_back(ms(recorder.timeOf(tones[t].start) - calls[i]));
            ++figures.heard;
            ++t;
        }
    }
    std::sort(figures.onsetsMs.begin(), figures.onsetsMs.end());
    return figures;
}

void print(const char* what, const Figures& f, bool withTarget)
{
    std::printf("%-34s heard %2d/%-2d", what, f.heard, f.played);
    if (!f.onsetsMs.empty()) {
        const double median = f.onsetsMs[f.onsetsMs.size() / 2];
        std::printf("  onset median %6.1f ms  max %6.1f ms  min %6.1f ms", median,
                    f.onsetsMs.back(), f.onsetsMs.front());
        if (withTarget)
            std::printf("  [target: all heard, median <= %.0f ms: %s]", kTargetMedianMs,
                        f.heard == f.played && median <= kTargetMedianMs ? "met" : "MISSED");
    }
    if (f.slowestCallMs > 0)
        std::printf("  slowest call %.2f ms", f.slowestCallMs);
    std::printf("\n");
}

// Runs \a beep \a count times, \a interval apart, on a precise timer, and measures.
Figures run(MonitorRecorder& recorder, int count, std::chrono::milliseconds interval,
            const std::function<void()>& beep)
{
    std::vector<Clock::time_point> calls;
    double slowest = 0;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(interval);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (static_cast<int>(calls.size()) == count) {
            timer.stop();
            QTimer::singleShot(1500, &loop, &QEventLoop::quit);
            return;
        }
        calls.push_back(Clock::now());
        beep();
        slowest = std::max(slowest, ms(Clock::now() - calls.back()));
    });
    timer.start();
    loop.exec();
    Figures figures = match(recorder, calls);
    figures.slowestCallMs = slowest;
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({"count", "Beeps per run.", "n", "24"});
    options.addOption({"interval", "Milliseconds between beeps.", "ms", "1000"});
    options.process(app);
    const int count = options.value("count").toInt();
    const auto interval = std::chrono::milliseconds(options.value("interval").toInt());

    if (!qEnvironmentVariableIsSet("PULSE_SERVER"))
        std::printf(
            "note: PULSE_SERVER is not set; run this inside tests/support/desktop-session.sh\n");
    QTemporaryDir dir;
    const QString beepPath = dir.filePath("beep.wav");
    ToneWav::write(beepPath, {}, 880, 0.15);

    MonitorRecorder recorder;
    std::string error;
    if (!recorder.start(&error)) {
        std::printf("cannot record the sound server: %s\n", error.c_str());
        return 0;
    }
    std::printf("sound onset from the call to the first sample at the server, %d beeps %lld ms "
                "apart\n",
                count, static_cast<long long>(interval.count()));

    {
        MediaPlayer mediaPlayer;
        const auto beep = [&] {
            mediaPlayer.setLoop(false);
            mediaPlayer.close();
            mediaPlayer.setUrl(beepPath);
        };
        print("MediaPlayer, first beep (cold)", run(recorder, 1, 100ms, beep), false);
        print("MediaPlayer", run(recorder, count, interval, beep), true);
        print("MediaPlayer, re-triggered", run(recorder, count, 250ms, beep), true);
    }

    // The reference: the sound server's own client, timed from its start.
    std::vector<Clock::time_point> calls;
    for (int i = 0; i < 5; ++i) {
        calls.push_back(Clock::now());
        QProcess::startDetached("paplay", {beepPath});
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    print("paplay (reference, incl. its start)", match(recorder, calls), false);
    return 0;
}
