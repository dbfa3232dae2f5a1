// The tone detector that the sound tests count beeps with: tones are found where they start
// and end, a tone's own zero crossings never split it, quiet noise is not a tone; the
// tone-onsets tool reports the same from a recording file or a raw stream.

#include "ToneOnsets.h"
#include "ToneWav.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <numbers>

namespace {

constexpr int kRate = 48000;

// Appends \a seconds of a sine at \a amplitude (or silence) to \a out.
void append(std::vector<std::int16_t>& out, double seconds, double amplitude, double hz = 440)
{
    const auto n = static_cast<std::size_t>(seconds * kRate);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(static_cast<std::int16_t>(
            std::lround(amplitude * 32767 * std::sin(2 * std::numbers::pi * hz * i / kRate))));
}

} // namespace

class tst_ToneOnsets : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void findsEachToneWithItsBounds()
    {
        std::vector<std::int16_t> signal;
        append(signal, 0.5, 0);
        append(signal, 0.2, 0.5);
        append(signal, 0.3, 0);
        append(signal, 0.1, 0.05, 100); // quiet and low: zero crossings 5 ms apart
        append(signal, 0.2, 0);
        const auto tones = ToneOnsets::find(signal.data(), signal.size(), kRate);
        QCOMPARE(tones.size(), 2u);
        // The first sample above -40 dBFS comes within a millisecond of the start.
        QVERIFY(tones[0].start >= 24000 && tones[0].start < 24048);
        QVERIFY(tones[0].end > 33550 && tones[0].end <= 33600);
        QVERIFY(tones[1].start >= 48000 && tones[1].start < 48048);
        QVERIFY(tones[1].end > 52750 && tones[1].end <= 52800);
    }

    void shortGapsDoNotSplitATone()
    {
        std::vector<std::int16_t> signal;
        append(signal, 0.1, 0.5);
        append(signal, 0.01, 0); // shorter than the 30 ms that separates tones
        append(signal, 0.1, 0.5);
        append(signal, 0.05, 0); // longer
        append(signal, 0.1, 0.5);
        QCOMPARE(ToneOnsets::find(signal.data(), signal.size(), kRate).size(), 2u);
    }

    void quietNoiseIsNoTone()
    {
        std::vector<std::int16_t> signal;
        append(signal, 0.5, 0.005); // -46 dBFS hum
        QCOMPARE(ToneOnsets::find(signal.data(), signal.size(), kRate).size(), 0u);
        ToneOnsets::Options sensitive;
        sensitive.threshold = 0.001;
        QCOMPARE(ToneOnsets::find(signal.data(), signal.size(), kRate, sensitive).size(), 1u);
    }

    void toolReadsRecordings()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // A parecord-style WAV: stereo, 44.1 kHz, a tone of 250 ms after 100 ms of silence.
        QByteArray wav = ToneWav::make({44100, 2, ToneWav::Sample::Int16}, 440, 0.35);
        const int header = 46;
        std::fill(wav.begin() + header, wav.begin() + header + 4 * 4410, '\0');
        const QString path = dir.filePath(QStringLiteral("recording.wav"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(wav);
        file.close();

        QProcess fromFile;
        fromFile.start(QStringLiteral(TONE_ONSETS_TOOL), {path});
        QVERIFY(fromFile.waitForFinished());
        QCOMPARE(fromFile.exitCode(), 0);
        const QByteArray listed = fromFile.readAllStandardOutput();
        const QList<QByteArray> fields = listed.trimmed().split(' ');
        QCOMPARE(fields.size(), 2);
        QVERIFY(std::abs(fields[0].toDouble() - 100) < 1);
        QVERIFY(std::abs(fields[1].toDouble() - 250) < 6); // minus the fade at the end

        // The same samples, raw on stdin, as parec --raw gives them.
        QProcess fromPipe;
        fromPipe.start(QStringLiteral(TONE_ONSETS_TOOL), {"--rate", "44100", "--channels", "2"});
        QVERIFY(fromPipe.waitForStarted());
        fromPipe.write(wav.mid(header));
        fromPipe.closeWriteChannel();
        QVERIFY(fromPipe.waitForFinished());
        QCOMPARE(fromPipe.readAllStandardOutput(), listed);
    }
};

QTEST_GUILESS_MAIN(tst_ToneOnsets)
#include "tst_tone_onsets.moc"
