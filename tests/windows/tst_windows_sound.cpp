// The media player on Windows: the files it cannot play are reported or left silent as on
// Linux, and every sound that sound-heard.sh lists is played while the window's thread is
// busy; that script records the audio output and checks that each was heard whole.
#include "TestFiles.h"
#include "WavBytes.h"
#include "beep/MediaPlayer.h"
#include "core/Failure.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace WavBytes;

namespace {

// Whether the sound thread started the sound at \a path.
bool played(MediaPlayer& player, const QString& path)
{
    QSignalSpy applied(&player, &MediaPlayer::requestApplied);
    player.setUrl(path);
    return applied.wait(15000) && applied.last().at(0).toBool();
}

} // namespace

class WindowsSoundTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

  private Q_SLOTS:
    // What cannot be opened is reported as on Linux; what opens but cannot be decoded stays
    // silent, and the player goes on playing what it can.
    void filesThatCannotPlay_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason"); // reported; empty: silent
        QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.wav")) << QByteArray()
                                 << "No such file or directory";
        QTest::newRow("folder") << m_dir.path() << QByteArray() << "Is a directory";
        const QString broken = m_dir.filePath(QStringLiteral("broken.wav"));
        // Which contents cannot be decoded is tst_sound_file's, run under Wine as well.
        QTest::newRow("text") << broken << QByteArray("some notes\n") << QString();
    }

    void filesThatCannotPlay()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        MediaPlayer player;
        if (!reason.isEmpty()) {
            try {
                player.setUrl(path);
                QFAIL("no failure");
            } catch (const Failure& failure) {
                QCOMPARE(
                    failure.description(),
                    QStringLiteral("The sound file %1 cannot be played: %2").arg(path, reason));
            }
            return;
        }
        QVERIFY(!played(player, writeTestFile(m_dir, QStringLiteral("broken.wav"), content)));
        const QByteArray good = riff(fmt(1, 1, 8000, 16, 2) + chunk("data", QByteArray(800, 0)));
        QVERIFY(played(player, writeTestFile(m_dir, QStringLiteral("good.wav"), good)));
        player.close();
    }

    // Each line of the list names a sound and how many seconds it lasts, or after how many
    // seconds to close the player ("|close", "|loop" played over and over until then).
    void playsEachListedSound()
    {
        QFile list(qEnvironmentVariable("PINGORA_SOUND_LIST"));
        if (!list.open(QIODevice::ReadOnly | QIODevice::Text))
            QSKIP("no sound list: run through sound-heard.sh");
        MediaPlayer player;
        player.prepare();
        QTest::qWait(1000);
        while (!list.atEnd()) {
            const QStringList line = QString::fromUtf8(list.readLine()).trimmed().split(u'|');
            player.setLoop(line.value(2) == u"loop");
            QVERIFY2(played(player, line[0]), qPrintable(line[0]));
            // The window's thread does not answer until the sound is over: the sound must not
            // depend on it.
            QThread::msleep(static_cast<unsigned long>(line[1].toDouble() * 1000));
            if (line.size() > 2) {
                QSignalSpy closed(&player, &MediaPlayer::requestApplied);
                player.close();
                QVERIFY(closed.wait(15000));
            }
            QThread::msleep(400);
        }
    }
};

QTEST_GUILESS_MAIN(WindowsSoundTest)

#include "tst_windows_sound.moc"
