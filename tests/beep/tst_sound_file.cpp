// Decoding sound files for the media player: WAV samples arrive with their values intact,
// compressed formats decode in full, odd and broken files are read as far as they go, and
// special files are refused without waiting. Short sounds are held whole in memory with the
// same samples; long ones are left to be read piece by piece.

#include "EncodedTones.h"
#include "SpecialFiles.h"
#include "TestFiles.h"
#include "ToneWav.h"
#include "WavBytes.h"
#include "beep/engine/SoundFile.h"
#include "beep/engine/WholeSound.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <optional>

using namespace WavBytes;

namespace {

std::vector<float> readAll(SoundFile& file)
{
    std::vector<float> all;
    std::vector<float> block(7 *
                             file.channels()); // a few frames at a time, as the server takes them
    while (const qint64 frames = file.read(block.data(), 7))
        all.insert(all.end(), block.begin(), block.begin() + frames * file.channels());
    return all;
}

template <typename T> QByteArray bytesOf(std::initializer_list<T> values)
{
    QByteArray out;
    for (T v : values)
        out.append(reinterpret_cast<const char*>(&v), sizeof v);
    return out;
}

// The sound at \a path, held whole.
std::unique_ptr<WholeSound> wholeSound(const QString& path)
{
    QString whyNot;
    auto file = SoundFile::open(path, &whyNot);
    return file ? WholeSound::decode(*file) : nullptr;
}

} // namespace

class tst_SoundFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QByteArray& content, const QString& name = QStringLiteral("sound.wav"))
    {
        return writeTestFile(m_dir, name, content);
    }

  private Q_SLOTS:
    void samplesArriveIntact_data()
    {
        QTest::addColumn<QByteArray>("wav");
        QTest::addColumn<std::vector<float>>("expected");

        QTest::newRow("8-bit unsigned")
            << riff(fmt(1, 1, 8000, 8, 1) + chunk("data", QByteArray("\x00\x80\xc0", 3)))
            << std::vector<float>{-1.0f, 0.0f, 0.5f};
        QTest::newRow("16-bit stereo")
            << riff(fmt(1, 2, 44100, 16, 4) + chunk("data", bytesOf<qint16>({16384, -32768})))
            << std::vector<float>{0.5f, -1.0f};
        QTest::newRow("24-bit") << riff(fmt(1, 1, 48000, 24, 3) +
                                        chunk("data", QByteArray("\x00\x00\x40", 3)))
                                << std::vector<float>{0.5f};
        QTest::newRow("32-bit") << riff(fmt(1, 1, 96000, 32, 4) +
                                        chunk("data", bytesOf<qint32>({-0x40000000})))
                                << std::vector<float>{-0.5f};
        QTest::newRow("32-bit float")
            << riff(fmt(3, 2, 22050, 32, 8) + chunk("data", bytesOf<float>({0.25f, -1.0f})))
            << std::vector<float>{0.25f, -1.0f};
        QTest::newRow("64-bit float")
            << riff(fmt(3, 1, 8000, 64, 8) + chunk("data", bytesOf<double>({0.5, -0.125})))
            << std::vector<float>{0.5f, -0.125f};
        QTest::newRow("extensible 24-bit") << riff(fmtExtensible(1, 1, 48000, 24, 3) +
                                                   chunk("data", QByteArray("\x00\x00\x40", 3)))
                                           << std::vector<float>{0.5f};
        QTest::newRow("chunks around the samples")
            << riff(chunk("LIST", "INFOodd") + fmt(1, 1, 8000, 16, 2) +
                    chunk("fact", QByteArray(4, 0)) + chunk("data", bytesOf<qint16>({8192})) +
                    chunk("LIST", "tail"))
            << std::vector<float>{0.25f};
        constexpr int most = SoundFile::kMaxChannels; // as many as a stream can have
        QTest::newRow("most channels")
            << riff(fmt(1, most, 8000, 16, 2 * most) +
                    chunk("data", bytesOf<qint16>({8192}).repeated(most)))
            << std::vector<float>(most, 0.25f);
    }

    void samplesArriveIntact()
    {
        QFETCH(QByteArray, wav);
        QFETCH(std::vector<float>, expected);
        QString whyNot;
        const QString path = writeFile(wav);
        auto file = SoundFile::open(path, &whyNot);
        QVERIFY2(file, qPrintable(whyNot));
        QCOMPARE(readAll(*file), expected);
        auto whole = wholeSound(path);
        QVERIFY(whole);
        QCOMPARE(whole->frames() * whole->channels(), qint64(expected.size()));
        QCOMPARE(readAll(*whole), expected);
    }

    void truncatedFilePlaysWhatIsThere()
    {
        // The header promises 1000 frames; 10 and a half are there.
        QByteArray samples;
        for (qint16 i = 1; i <= 10; ++i)
            samples += bytesOf<qint16>({qint16(i * 1024)});
        QByteArray wav = riff(fmt(1, 1, 8000, 16, 2) + chunk("data", samples + "\x01", 2000));
        wav.chop(1);
        QString whyNot;
        auto file = SoundFile::open(writeFile(wav), &whyNot);
        QVERIFY2(file, qPrintable(whyNot));
        const auto all = readAll(*file);
        QCOMPARE(all.size(), 10u);
        QCOMPARE(all.back(), 10 * 1024 / 32768.0f);
        QVERIFY(file->rewind());
        auto whole = WholeSound::decode(*file);
        QVERIFY(whole);
        QCOMPARE(whole->frames(), 10);
    }

    void rewindStartsAgain()
    {
        const auto wav = riff(fmt(1, 1, 8000, 16, 2) + chunk("data", bytesOf<qint16>({1, 2, 3})));
        QString whyNot;
        auto file = SoundFile::open(writeFile(wav), &whyNot);
        QVERIFY(file);
        const auto first = readAll(*file);
        QCOMPARE(first.size(), 3u);
        QVERIFY(file->rewind());
        QCOMPARE(readAll(*file), first);
        // A sound held whole, and each copy of it, starts again too.
        QVERIFY(file->rewind());
        auto whole = WholeSound::decode(*file);
        QVERIFY(whole);
        QCOMPARE(readAll(*whole), first);
        QVERIFY(whole->rewind());
        QCOMPARE(readAll(*whole), first);
        QCOMPARE(readAll(*whole->copy()), first);
    }

    // Up to what the sound server holds for one stream, a sound is held whole; a longer one
    // is left at its start, to be read piece by piece.
    void onlyShortSoundsAreHeldWhole_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<qint64>("frames");
        QTest::addColumn<bool>("whole");
        const qint64 most = WholeSound::kMaxBytes / 4;
        QTest::newRow("longest mono") << 1 << most << true;
        QTest::newRow("longer mono") << 1 << most + 1 << false;
        QTest::newRow("longest stereo") << 2 << most / 2 << true;
        QTest::newRow("longer stereo") << 2 << most / 2 + 1 << false;
    }

    void onlyShortSoundsAreHeldWhole()
    {
        QFETCH(int, channels);
        QFETCH(qint64, frames);
        QFETCH(bool, whole);
        QByteArray samples(frames * channels * 2, 0);
        samples[0] = 0x40; // the first sample differs from the rest
        const auto wav = riff(fmt(1, channels, 8000, 16, 2 * channels) + chunk("data", samples));
        QString whyNot;
        auto file = SoundFile::open(writeFile(wav), &whyNot);
        QVERIFY2(file, qPrintable(whyNot));
        auto held = WholeSound::decode(*file);
        QCOMPARE(bool(held), whole);
        std::vector<float> first(channels);
        QCOMPARE((held ? *held : *file).read(first.data(), 1), 1);
        QCOMPARE(first[0], 64 / 32768.0f);
    }

    // The same file unchanged has the same identity; a changed, replaced or missing one not.
    void identityTellsAChangedFile()
    {
        const QString path = writeFile(riff(fmt(1, 1, 8000, 16, 2) + chunk("data", "abcd")));
        QString whyNot;
        auto file = SoundFile::open(path, &whyNot);
        QVERIFY(file);
        const FileIdentity opened = file->identity();
        QCOMPARE(SoundFile::identify(path), opened);
        writeFile(riff(fmt(1, 1, 8000, 16, 2) + chunk("data", "abcdef")));
        QVERIFY(SoundFile::identify(path) != opened);
        // Let go of first: under Wine a file removed while open keeps its name until it is
        // closed, as older Windows did; the current one removes the name at once, as Linux does.
        file.reset();
        QVERIFY(QFile::remove(path));
        QCOMPARE(SoundFile::identify(path), FileIdentity{});
        QCOMPARE(SoundFile::identify(m_dir.path()), FileIdentity{});
    }

    // Each file is made from a WAV tone by an encoder; it must decode to the whole tone.
    void compressedFormatsDecodeInFull_data() { EncodedTones::addRows(); }

    void compressedFormatsDecodeInFull()
    {
        QFETCH(QString, fileName);
        QFETCH(QStringList, command);
        const QString in = m_dir.filePath(QStringLiteral("source.wav"));
        QVERIFY(ToneWav::write(in, {48000, 1}, 660, 0.3));
        const QString out = m_dir.filePath(fileName);
        if (!EncodedTones::encode(command, in, out))
            QSKIP("the encoder for this format is not installed");

        QString whyNot;
        auto file = SoundFile::open(out, &whyNot);
        QVERIFY2(file, qPrintable(whyNot));
        const auto samples = readAll(*file);
        // A beep in any format is held whole, with all of its samples.
        auto whole = wholeSound(out);
        QVERIFY(whole);
        QCOMPARE(readAll(*whole), samples);
        const double seconds = double(samples.size()) / file->channels() / file->sampleRate();
        // Encoders may pad with a little silence (MP3, Opus), never cut.
        QVERIFY2(seconds >= 0.29 && seconds <= 0.36, qPrintable(QString::number(seconds)));
        double energy = 0;
        for (float s : samples)
            energy += double(s) * s;
        // A sine at half of full scale: 0.35 root mean square, whatever the codec made of it.
        const double rms = std::sqrt(energy / samples.size());
        QVERIFY2(rms > 0.25 && rms < 0.42, qPrintable(QString::number(rms)));
    }

    void refusesWhatIsNotASound_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason"); // %1 stands for the path
        QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.wav"))
                                 << missingFileText();
        QTest::newRow("folder") << m_dir.path() << "%1 is not a regular file";
        QTest::newRow("device") << endlessDevice() << "%1 is not a regular file";
        QTest::newRow("pipe") << QString() << "%1 is not a regular file"; // made by the test
        QTest::newRow("text") << writeFile("some notes\n", "notes.wav")
                              << "%1 holds no sound that can be played";
        QTest::newRow("zeros") << writeFile(QByteArray(4096, 0), "zeros.wav")
                               << "%1 holds no sound that can be played";
        QTest::newRow("empty") << writeFile({}, "empty.wav")
                               << "%1 holds no sound that can be played";
        QTest::newRow("header only")
            << writeFile(riff(fmt(1, 1, 8000, 16, 2) + chunk("data", {})), "head.wav")
            << "%1 holds no sound that can be played";
        QTest::newRow("no channels")
            << writeFile(riff(fmt(1, 0, 8000, 16, 2) + chunk("data", QByteArray(8, 0))), "c.wav")
            << "%1 holds no sound that can be played";
        constexpr int tooMany = SoundFile::kMaxChannels + 1;
        QTest::newRow("too many channels")
            << writeFile(riff(fmt(1, tooMany, 8000, 16, 2 * tooMany) +
                              chunk("data", QByteArray(2 * tooMany, 0))),
                         "many.wav")
            << "%1 holds no sound that can be played";
        QTest::newRow("not really wavpack") << writeFile("wvpk and nothing else", "fake.wv")
                                            << "%1 holds no sound that can be played";
    }

    void refusesWhatIsNotASound()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        std::optional<IdlePipe> pipe;
        if (path.isEmpty()) {
            pipe.emplace(QDir(m_dir.path()), QStringLiteral("pipe"));
            path = pipe->path();
        }
        const int files = openFiles();
        QElapsedTimer clock;
        clock.start();
        QString whyNot;
        QVERIFY(!SoundFile::open(path, &whyNot));
        QCOMPARE(whyNot, reason.contains(QLatin1String("%1")) ? reason.arg(path) : reason);
        QVERIFY(clock.elapsed() < 50); // a pipe without a writer must not hold it up
        QCOMPARE(openFiles(), files);
    }
};

QTEST_GUILESS_MAIN(tst_SoundFile)

#include "tst_sound_file.moc"
