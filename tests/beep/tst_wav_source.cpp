// Reading sound files for the media player: WAV samples arrive in a format the sound output
// takes, with their values intact; odd and broken files are read as far as they go or handed
// to the decoder; special files are refused without waiting.

#include "WavBytes.h"
#include "beep/DecodedSource.h"
#include "beep/MediaPlayer.h"
#include "beep/PcmSource.h"
#include "beep/WavSource.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <sys/stat.h>

using namespace WavBytes;

namespace {

std::unique_ptr<QFile> fileWith(const QTemporaryDir& dir, const QByteArray& content,
                                const QString& name = QStringLiteral("sound.wav"))
{
    const QString path = dir.filePath(name);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    out.close();
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(path));
    return file;
}

QByteArray readAll(PcmSource& source)
{
    QByteArray all;
    char block[7 * 8]; // a few frames at a time, as the output takes them
    while (const qint64 n = source.read(block, sizeof block))
        all.append(block, n);
    return all;
}

template <typename T> QByteArray bytesOf(std::initializer_list<T> values)
{
    QByteArray out;
    for (T v : values)
        out.append(reinterpret_cast<const char*>(&v), sizeof v);
    return out;
}

} // namespace

class TestWavSource : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

  private Q_SLOTS:
    void samplesArriveIntact_data()
    {
        QTest::addColumn<QByteArray>("wav");
        QTest::addColumn<int>("sampleFormat");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("8-bit unsigned")
            << riff(fmt(1, 1, 8000, 8, 1) + chunk("data", QByteArray("\x00\x80\xff\x7f", 4)))
            << int(QAudioFormat::UInt8) << QByteArray("\x00\x80\xff\x7f", 4);
        QTest::newRow("16-bit") << riff(fmt(1, 2, 44100, 16, 4) +
                                        chunk("data", bytesOf<qint16>({1, -1, 32767, -32768})))
                                << int(QAudioFormat::Int16)
                                << bytesOf<qint16>({1, -1, 32767, -32768});
        QTest::newRow("24-bit widened to 32")
            << riff(fmt(1, 1, 48000, 24, 3) +
                    chunk("data", QByteArray("\xff\xff\x7f\x00\x00\x80\x01\x00\x00", 9)))
            << int(QAudioFormat::Int32) << bytesOf<qint32>({0x7fffff00, qint32(0x80000000), 0x100});
        QTest::newRow("32-bit") << riff(fmt(1, 1, 96000, 32, 4) +
                                        chunk("data", bytesOf<qint32>({123456789, -5})))
                                << int(QAudioFormat::Int32) << bytesOf<qint32>({123456789, -5});
        QTest::newRow("32-bit float")
            << riff(fmt(3, 2, 22050, 32, 8) + chunk("data", bytesOf<float>({0.25f, -1.0f})))
            << int(QAudioFormat::Float) << bytesOf<float>({0.25f, -1.0f});
        QTest::newRow("64-bit float narrowed to 32")
            << riff(fmt(3, 1, 8000, 64, 8) + chunk("data", bytesOf<double>({0.5, -0.125, 1.0})))
            << int(QAudioFormat::Float) << bytesOf<float>({0.5f, -0.125f, 1.0f});
        QTest::newRow("extensible 24-bit")
            << riff(fmtExtensible(1, 1, 48000, 24, 3) +
                    chunk("data", QByteArray("\x00\x00\x40", 3)))
            << int(QAudioFormat::Int32) << bytesOf<qint32>({0x40000000});
        QTest::newRow("extensible float")
            << riff(fmtExtensible(3, 1, 48000, 32, 4) + chunk("data", bytesOf<float>({0.75f})))
            << int(QAudioFormat::Float) << bytesOf<float>({0.75f});
        QTest::newRow("chunks around the samples")
            << riff(chunk("LIST", "INFOodd") + fmt(1, 1, 8000, 16, 2) +
                    chunk("fact", QByteArray(4, 0)) + chunk("data", bytesOf<qint16>({7, 8})) +
                    chunk("LIST", "tail"))
            << int(QAudioFormat::Int16) << bytesOf<qint16>({7, 8});
    }

    void samplesArriveIntact()
    {
        QFETCH(QByteArray, wav);
        QFETCH(int, sampleFormat);
        QFETCH(QByteArray, expected);
        auto file = fileWith(m_dir, wav);
        auto source = WavSource::create(file);
        QVERIFY(source);
        QVERIFY(source->isReady());
        QCOMPARE(int(source->format().sampleFormat()), sampleFormat);
        QCOMPARE(readAll(*source), expected);
        QVERIFY(source->atEnd());
    }

    void formatFollowsTheHeader()
    {
        auto file =
            fileWith(m_dir, riff(fmt(1, 2, 11025, 16, 4) + chunk("data", QByteArray(8, 0))));
        auto source = WavSource::create(file);
        QVERIFY(source);
        QCOMPARE(source->format().sampleRate(), 11025);
        QCOMPARE(source->format().channelCount(), 2);
    }

    void truncatedFilePlaysWhatIsThere()
    {
        // The header promises 1000 frames; 10 and a half are there.
        const QByteArray samples = bytesOf<qint16>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) + "\x01";
        QByteArray wav = riff(fmt(1, 1, 8000, 16, 2) + chunk("data", samples, 2000));
        wav.chop(1); // no pad byte in a cut-off file
        auto file = fileWith(m_dir, wav);
        auto source = WavSource::create(file);
        QVERIFY(source);
        QCOMPARE(readAll(*source), bytesOf<qint16>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        QVERIFY(source->atEnd());
    }

    void rewindStartsAgain()
    {
        auto file = fileWith(
            m_dir, riff(fmt(1, 1, 8000, 16, 2) + chunk("data", bytesOf<qint16>({11, 22, 33}))));
        auto source = WavSource::create(file);
        QVERIFY(source);
        QCOMPARE(readAll(*source), bytesOf<qint16>({11, 22, 33}));
        QVERIFY(source->rewind());
        QVERIFY(!source->atEnd());
        QCOMPARE(readAll(*source), bytesOf<qint16>({11, 22, 33}));
    }

    void readsWholeFramesOnly()
    {
        auto file =
            fileWith(m_dir, riff(fmt(1, 2, 8000, 24, 6) + chunk("data", QByteArray(60, 1))));
        auto source = WavSource::create(file);
        QVERIFY(source);
        char out[64];
        QCOMPARE(source->read(out, 12), 8); // one 8-byte frame of two widened samples
        QCOMPARE(source->read(out, 7), 0);
    }

    void leftToTheDecoder_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not RIFF") << QByteArray("ID3\x04 an mp3 file, say");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header only") << riff(QByteArray()).left(12);
        QTest::newRow("ADPCM") << riff(fmt(2, 1, 8000, 4, 256) + chunk("data", QByteArray(256, 0)));
        QTest::newRow("mu-law") << riff(fmt(7, 1, 8000, 8, 1) + chunk("data", QByteArray(8, 0)));
        QTest::newRow("data before fmt")
            << riff(chunk("data", QByteArray(8, 0)) + fmt(1, 1, 8000, 16, 2));
        QTest::newRow("no channels")
            << riff(fmt(1, 0, 8000, 16, 2) + chunk("data", QByteArray(8, 0)));
        QTest::newRow("block size not a multiple of channels")
            << riff(fmt(1, 2, 8000, 16, 3) + chunk("data", QByteArray(9, 0)));
        QTest::newRow("no data chunk") << riff(fmt(1, 1, 8000, 16, 2));
        QTest::newRow("chunk size past the end")
            << riff(fmt(1, 1, 8000, 16, 2) + chunk("LIST", "x", 0x7ffffff0));
    }

    void leftToTheDecoder()
    {
        QFETCH(QByteArray, content);
        auto file = fileWith(m_dir, content);
        QVERIFY(!WavSource::create(file));
        QVERIFY(file); // still there for the decoder
    }

    void openPicksTheReader()
    {
        const auto wav =
            fileWith(m_dir, riff(fmt(1, 1, 8000, 16, 2) + chunk("data", QByteArray(2, 0))),
                     QStringLiteral("plain.wav"));
        const auto other = fileWith(m_dir, "OggS, not really", QStringLiteral("other.ogg"));
        QString whyNot;
        auto plain = PcmSource::open(wav->fileName(), &whyNot);
        QVERIFY(dynamic_cast<WavSource*>(plain.get()));
        auto decoded = PcmSource::open(other->fileName(), &whyNot);
        QVERIFY(dynamic_cast<DecodedSource*>(decoded.get()));
    }

    void openRefusesWhatIsNotAFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.wav"))
                                 << "No such file or directory";
        QTest::newRow("folder") << m_dir.path() << "Not a regular file";
        QTest::newRow("device") << "/dev/zero"
                                << "Not a regular file";
        QTest::newRow("fifo") << m_dir.filePath(QStringLiteral("fifo")) << "Not a regular file";
        QTest::newRow("text") << fileWith(m_dir, "some notes\n", "notes.wav")->fileName()
                              << "Not a sound file";
        QTest::newRow("zeros") << fileWith(m_dir, QByteArray(4096, 0), "zeros.wav")->fileName()
                               << "Not a sound file";
        QTest::newRow("empty") << fileWith(m_dir, {}, "empty.wav")->fileName()
                               << "Not a sound file";
    }

    void openRefusesWhatIsNotAFile()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        if (path.endsWith(QLatin1String("fifo")))
            QVERIFY(QFile::exists(path) || mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        QElapsedTimer clock;
        clock.start();
        QString whyNot;
        QVERIFY(!PcmSource::open(path, &whyNot));
        QCOMPARE(whyNot, reason);
        QVERIFY(clock.elapsed() < 50); // a FIFO without a writer must not hold it up
    }
};

int main(int argc, char** argv)
{
    MediaPlayer::chooseBackend();
    QCoreApplication app(argc, argv);
    TestWavSource test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_wav_source.moc"
