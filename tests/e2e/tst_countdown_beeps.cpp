// Automatic beeping from end to end, as a person sees and hears it: with "Beep every 5
// seconds" chosen and auto beep on, the countdown reads 00:00:04 ... 00:00:00 a second apart
// while the bar fills, each beep comes out of the sound server, and each one leaves a
// "Beeped at " line in the history log. Captions and the bar are read through the program's
// accessibility tree; the sound is recorded from the null sink's monitor.

#include "AtSpiClient.h"
#include "MonitorRecorder.h"
#include "ProgramRun.h"
#include "ToneOnsets.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <chrono>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kIntervalSeconds = 5; // the row "Beep every 5 seconds"
constexpr int kBeeps = 4;
const QString kNextBeepPrefix = QStringLiteral("Next beep will occur in ");
const QString kBeepRunning = QStringLiteral("Beep is running in background...");
const QString kBeepCompletePrefix = QStringLiteral("Auto Beep Complete at ");

// One caption of the countdown frame as first seen, with the bar beside it.
struct Seen
{
    QString caption;
    Clock::time_point at;
    QDateTime wallClock;
    std::optional<double> barValue;
    std::optional<double> barMaximum;
};

// The seconds left that a countdown caption shows, or -1 for any other caption.
int secondsLeft(const QString& caption)
{
    static const QRegularExpression pattern(
        QStringLiteral("^Next beep will occur in 00:00:0(\\d)$"));
    const auto match = pattern.match(caption);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

QString describe(const QList<Seen>& seen, Clock::time_point start)
{
    QString text;
    for (const Seen& s : seen)
        text += QStringLiteral("\n  %1 s  %2  bar %3/%4")
                    .arg(secondsBetween(start, s.at), 6, 'f', 2)
                    .arg(s.caption)
                    .arg(s.barValue.value_or(-1))
                    .arg(s.barMaximum.value_or(-1));
    return text;
}

// One second of the countdown: the seconds left, and when the caption showing them was seen.
struct Step
{
    int left;
    Seen seen;
};

// The countdown as a person follows it from the first 00:00:04 on: 4, 3, 2, 1, 0 and again.
// At 0 the beep's own captions may flash by, after which the 0 caption returns; a caption
// that lasts only while the beep starts may show in place of the 0. Anything else is an
// error, described in \a error.
QList<Step> countdownSteps(const QList<Seen>& seen, QString* error)
{
    QList<Step> steps;
    int expected = kIntervalSeconds - 1;
    for (const Seen& s : seen) {
        const int left = secondsLeft(s.caption);
        if (steps.isEmpty() && left != expected)
            continue; // before the first tick
        const bool beepCaption =
            s.caption == kBeepRunning || s.caption.startsWith(kBeepCompletePrefix);
        const bool atZero = !steps.isEmpty() && steps.last().left == 0;
        if (beepCaption && expected == 0) {
            steps.append({0, s}); // the 0 caption came and went between two looks
            expected = kIntervalSeconds - 1;
        } else if ((beepCaption || left == 0) && atZero) {
            continue; // still the beep at 0
        } else if (left == expected) {
            steps.append({left, s});
            expected = left == 0 ? kIntervalSeconds - 1 : left - 1;
        } else {
            *error = QStringLiteral("\"%1\" shown where %2 s left were due")
                         .arg(s.caption)
                         .arg(expected);
            break;
        }
    }
    return steps;
}

} // namespace

class tst_CountdownBeeps : public QObject
{
    Q_OBJECT

  private:
    MonitorRecorder m_recorder;
    AtSpiClient m_atspi;
    ProgramRun m_program;
    Clock::time_point m_start;
    QList<Seen> m_seen;         // every change of caption, in order
    QList<Step> m_countdown;    // from the first 00:00:04 on
    QList<Seen> m_beepCaptions; // the first caption seen at each beep
    /// When the sound module was first seen loaded.
    std::optional<Clock::time_point> m_soundModuleSeen;

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PINGORA_SESSION_DIR"),
                 "run this test inside desktop-session.sh");
        std::string recorderError;
        QVERIFY2(m_recorder.start(&recorderError), recorderError.c_str());
        QString error;
        QVERIFY2(m_atspi.connect(&error), qPrintable(error));
        QFile::remove(ProgramRun::historyLogPath());
        QVERIFY(ProgramRun::writeSettings(
            {{"OftenIndex", QString::number(2)}, {"StartStopState", "On"}}));

        m_start = Clock::now();
        QVERIFY2(m_program.start(&error), qPrintable(error));
    }

    // Follows the countdown through four beeps and into the fifth interval.
    void countdownCountsDownEverySecond()
    {
        const std::optional<Accessible> app = m_atspi.waitForApplication(m_program.pid(), 60s);
        QVERIFY2(app, "the program never joined the accessibility bus");
        // The countdown frame is the one that holds the progress bar.
        std::optional<Accessible> bar;
        const auto frame = m_atspi.find(*app, [&](const Accessible& object) {
            for (const Accessible& child : m_atspi.children(object)) {
                if (m_atspi.roleName(child) == u"progress bar") {
                    bar = child;
                    return true;
                }
            }
            return false;
        });
        QVERIFY2(frame && bar, "no frame with a progress bar in the window");

        const auto deadline = Clock::now() + std::chrono::seconds(kBeeps * kIntervalSeconds + 60);
        // Four whole intervals and the first second of the fifth.
        const qsizetype wanted = kBeeps * kIntervalSeconds + 1;
        QString error;
        while (Clock::now() < deadline && m_countdown.size() < wanted && error.isEmpty()) {
            // Bar and caption change in one step of the program: a sample is kept only when
            // the bar read the same before and after the caption.
            const auto valueBefore = m_atspi.currentValue(*bar);
            const QString caption = m_atspi.name(*frame);
            const auto valueAfter = m_atspi.currentValue(*bar);
            const auto now = Clock::now();
            if (!m_soundModuleSeen && m_program.hasLoaded("libpingora-sound.so"))
                m_soundModuleSeen = now;
            if (!caption.isEmpty() && (m_seen.isEmpty() || m_seen.last().caption != caption)) {
                Seen seen{caption, now, QDateTime::currentDateTime(), std::nullopt, std::nullopt};
                if (valueBefore == valueAfter) {
                    seen.barValue = valueAfter;
                    seen.barMaximum = m_atspi.maximumValue(*bar);
                }
                m_seen.append(seen);
                m_countdown = countdownSteps(m_seen, &error);
            }
            QTest::qWait(40);
        }
        const QString seenText = describe(m_seen, m_start);
        qInfo("captions seen:%s", qPrintable(seenText));
        QVERIFY2(error.isEmpty(), qPrintable(error + seenText));
        QCOMPARE(m_countdown.size(), wanted);

        // Before the first tick the frame shows the caption of a count at zero.
        for (const Seen& s : std::as_const(m_seen)) {
            if (s.at >= m_countdown.first().seen.at)
                break;
            QVERIFY2(s.caption == kNextBeepPrefix + QStringLiteral("00:00:00"),
                     qPrintable(seenText));
        }
        for (const Step& step : std::as_const(m_countdown)) {
            if (step.left == 0)
                m_beepCaptions.append(step.seen);
        }
        QCOMPARE(m_beepCaptions.size(), kBeeps);
        // A beep seconds away: the sound stack is loaded at start, not by the beep itself.
        QVERIFY2(m_soundModuleSeen && *m_soundModuleSeen < m_beepCaptions.first().at,
                 "the sound module was not loaded ahead of the first beep");

        // One tick a second: the steps are a second apart and do not drift.
        QList<double> steps;
        for (qsizetype i = 1; i < m_countdown.size(); ++i)
            steps.append(secondsBetween(m_countdown[i - 1].seen.at, m_countdown[i].seen.at));
        std::sort(steps.begin(), steps.end());
        const double median = steps[steps.size() / 2];
        const double span = secondsBetween(m_countdown.first().seen.at, m_countdown.last().seen.at);
        qInfo("tick steps: median %.3f s, min %.3f s, max %.3f s; %d ticks took %.2f s", median,
              steps.first(), steps.last(), int(steps.size()), span);
        QVERIFY2(median > 0.85 && median < 1.15, qPrintable(QString::number(median)));
        QVERIFY2(std::abs(span - steps.size()) < 1.5, qPrintable(QString::number(span)));
    }

    void barFillsWithTheCount()
    {
        QVERIFY(!m_countdown.isEmpty());
        int checked = 0;
        for (const Step& step : std::as_const(m_countdown)) {
            if (!step.seen.barValue || !step.seen.barMaximum)
                continue; // read while a tick ran
            QCOMPARE(*step.seen.barMaximum, double(kIntervalSeconds));
            QCOMPARE(*step.seen.barValue, double(kIntervalSeconds - step.left));
            ++checked;
        }
        QVERIFY2(checked >= m_countdown.size() / 2,
                 qPrintable(QStringLiteral("only %1 consistent readings").arg(checked)));
    }

    void everyBeepLogged()
    {
        QCOMPARE(m_beepCaptions.size(), kBeeps);
        // The fifth beep is four seconds away: the log holds exactly the four seen.
        QFile log(ProgramRun::historyLogPath());
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.errorString()));
        const QString content = QString::fromLatin1(log.readAll());
        // Each line ends with CR LF, the last one too.
        QVERIFY2(content.endsWith(QStringLiteral("\r\n")), qPrintable(content));
        const QStringList lines = content.chopped(2).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), kBeeps);

        static const QRegularExpression pattern(
            QStringLiteral("^Beeped at (\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M)$"));
        for (int i = 0; i < kBeeps; ++i) {
            const QString& line = lines[i];
            const auto match = pattern.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            const QDateTime when =
                QLocale::c().toDateTime(match.captured(1), QStringLiteral("M/d/yyyy h:mm:ss AP"));
            QVERIFY2(when.isValid(), qPrintable(line));
            // The line is written in the second the count reached zero.
            const qint64 offsetMs = when.msecsTo(m_beepCaptions[i].wallClock);
            QVERIFY2(offsetMs > -1500 && offsetMs < 2500,
                     qPrintable(
                         QStringLiteral("%1 logged, zero seen at %2")
                             .arg(line, m_beepCaptions[i].wallClock.toString(Qt::ISODateWithMs))));
        }
    }

    void everyBeepHeard()
    {
        QCOMPARE(m_beepCaptions.size(), kBeeps);
        m_program.stop();
        // Let the last sound end, then count every sound since the program started.
        const ToneOnsets::Options options;
        std::vector<ToneOnsets::Tone> tones;
        std::vector<std::int16_t> samples;
        XDesktop::waitUntil(
            [&] {
                samples = m_recorder.samples();
                tones = ToneOnsets::find(samples.data(), samples.size(), MonitorRecorder::kRate);
                const auto tail = std::size_t(options.minSilenceSeconds * MonitorRecorder::kRate);
                return std::count_if(tones.begin(), tones.end(), [&](const ToneOnsets::Tone& t) {
                           return t.end + tail <= samples.size();
                       }) >= kBeeps;
            },
            10s);
        std::vector<Clock::time_point> onsets;
        for (const auto& tone : tones) {
            const auto onset = m_recorder.timeOf(tone.start);
            if (onset >= m_start)
                onsets.push_back(onset);
        }
        QString heard;
        for (const auto& onset : onsets)
            heard += QStringLiteral(" %1 s").arg(secondsBetween(m_start, onset), 0, 'f', 3);
        qInfo("sounds heard at:%s", qPrintable(heard));
        QCOMPARE(int(onsets.size()), kBeeps);
        for (int i = 0; i < kBeeps; ++i) {
            const double offset = secondsBetween(m_beepCaptions[i].at, onsets[i]);
            QVERIFY2(std::abs(offset) < 0.75,
                     qPrintable(QStringLiteral("beep %1 heard %2 s from its zero caption")
                                    .arg(i + 1)
                                    .arg(offset)));
            if (i > 0) {
                const double gap = secondsBetween(onsets[i - 1], onsets[i]);
                QVERIFY2(std::abs(gap - kIntervalSeconds) < 0.5,
                         qPrintable(QStringLiteral("beeps %1 s apart").arg(gap)));
            }
        }
    }

    void cleanupTestCase() { m_program.stop(); }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    tst_CountdownBeeps test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_countdown_beeps.moc"
