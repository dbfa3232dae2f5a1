// The media player never holds up the window: bad files, and no sound server at all, give
// prompt calls and a free-running event loop; what can be known at once is reported at once.
//
// Built twice: as tst_media_player with no sound server (a socket path where nothing listens),
// and with PINGORA_DEAD_SOUND_SERVER as tst_media_player_dead_server, against a server that
// accepts connections and never answers (libpulse then waits 30 s before giving up).

#include "EventLoopWatch.h"
#include "RetryTimed.h"
#include "TestFiles.h"
#include "ToneWav.h"
#include "beep/MediaPlayer.h"
#include "beep/SoundPlayback.h"
#include "beep/SoundRequest.h"
#include "core/Failure.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest the window may wait for the player, in a call or between two events.
constexpr qint64 kMaxHoldUpMs = 50;

QString heldUp(const char* what, qint64 ms)
{
    return ms < kMaxHoldUpMs ? QString()
                             : QStringLiteral("%1 held up the window %2 ms").arg(what).arg(ms);
}

// Which of the sound engine and the libraries it plays with are mapped into this process.
QStringList soundLibrariesLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/self/maps");
    const QByteArray mapped = maps.readAll();
    QStringList loaded;
    for (const char* name : {"libpingora-sound", "libpulse", "libsndfile", "libwavpack"})
        if (mapped.contains(QByteArray("/") + name))
            loaded << QString::fromLatin1(name);
    return loaded;
}

int threadCount()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task"))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                .size());
}

} // namespace

class tst_MediaPlayer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& content)
    {
        return writeTestFile(m_dir, name, content);
    }

    QString sparseFile(const QString& name, const QByteArray& head, qint64 size)
    {
        const QString path = writeFile(name, head);
        if (truncate(QFile::encodeName(path).constData(), size) != 0)
            qFatal("cannot grow %s", qPrintable(path));
        return path;
    }

  private Q_SLOTS:
    void nothingStartsBeforeTheFirstSound()
    {
        // Runs first: no sound thread exists yet in this process, and no sound library.
        const int before = threadCount();
        QCOMPARE(soundLibrariesLoaded(), QStringList());
        {
            MediaPlayer player;
            player.setLoop(false);
            player.close();
            QCoreApplication::processEvents();
            QCOMPARE(threadCount(), before);
        }
        MediaPlayer player;
        QSignalSpy applied(&player, &MediaPlayer::requestApplied);
        player.setUrl(writeFile(QStringLiteral("first.wav"), ToneWav::make({}, 880, 0.1)));
        QVERIFY(threadCount() > before);
        QVERIFY(applied.wait(60000));
        QCOMPARE(soundLibrariesLoaded(),
                 QStringList({"libpingora-sound", "libpulse", "libsndfile", "libwavpack"}));
    }

    void loopModeIsKept()
    {
        MediaPlayer player;
        QVERIFY(!player.loop());
        player.setLoop(true);
        QVERIFY(player.loop());
        player.setLoop(false);
        QVERIFY(!player.loop());
    }

    void unopenableFilesFailAtOnce_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        // %1 stands for the file's path.
        const QString cannotPlay = QStringLiteral("The sound file %1 cannot be played: ");
        QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.wav"))
                                 << cannotPlay + "No such file or directory";
        QTest::newRow("missing folder") << m_dir.filePath(QStringLiteral("none/beep.wav"))
                                        << cannotPlay + "No such file or directory";
        QTest::newRow("folder") << m_dir.path() << cannotPlay + "Is a directory";
        QTest::newRow("device") << "/dev/zero"
                                << "%1 is not a regular file";
        QTest::newRow("fifo") << m_dir.filePath(QStringLiteral("fifo"))
                              << "%1 is not a regular file";
        QTest::newRow("unreadable")
            << m_dir.filePath(QStringLiteral("locked.wav")) << cannotPlay + "Permission denied";
    }

    void unopenableFilesFailAtOnce()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        if (QTest::currentDataTag() == QLatin1String("fifo"))
            QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        if (QTest::currentDataTag() == QLatin1String("unreadable")) {
            writeFile(QStringLiteral("locked.wav"), ToneWav::make({}, 880, 0.1));
            QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
            if (access(QFile::encodeName(path).constData(), R_OK) == 0)
                QSKIP("this user can read any file");
        }
        MediaPlayer player;
        retryTimed([&]() -> QString {
            QElapsedTimer clock;
            clock.start();
            try {
                player.setUrl(path);
                return QStringLiteral("no failure reported");
            } catch (const Failure& failure) {
                if (failure.description() != reason.arg(path))
                    return QStringLiteral("reported \"%1\"").arg(failure.description());
            }
            return heldUp("failing", clock.elapsed());
        });
    }

    void emptyPathStops()
    {
        MediaPlayer player;
        player.setUrl(QString()); // no failure, nothing to play
    }

    void eachRequestIsActedOnOnce()
    {
        // Every request is posted to the sound thread, which may find a newer one already
        // acted on: acting again would start the sound again.
        auto request = std::make_shared<SoundRequest>();
        SoundPlayback playback(request);
        QSignalSpy applied(&playback, &SoundPlayback::applied);
        playback.apply();  // nothing asked for yet
        ++request->serial; // a close
        playback.apply();
        playback.apply();
        QCOMPARE(applied.count(), 1);
    }

    void badFilesNeverHoldUpTheWindow_data()
    {
        QTest::addColumn<QString>("path");
        const QByteArray wav = ToneWav::make({}, 880, 1.0);
        QTest::newRow("text") << writeFile(QStringLiteral("notes.wav"), "not a sound\n");
        QTest::newRow("empty") << writeFile(QStringLiteral("empty.wav"), {});
        QTest::newRow("truncated wav") << writeFile(QStringLiteral("cut.wav"), wav.left(5000));
        QTest::newRow("header only") << writeFile(QStringLiteral("head.wav"), wav.left(44));
        QTest::newRow("random bytes")
            << writeFile(QStringLiteral("noise.bin"), QByteArray(1 << 20, '\x5a'));
        QTest::newRow("1 GiB non-audio")
            << sparseFile(QStringLiteral("huge.dat"), "not audio", qint64(1) << 30);
        QTest::newRow("1 GiB of WAV silence")
            << sparseFile(QStringLiteral("huge.wav"), wav.left(46), qint64(1) << 30);
        QTest::newRow("hidden") << writeFile(QStringLiteral(".hidden.wav"), wav);
        QTest::newRow("odd name") << writeFile(QStringLiteral("it's a \"*?\" bīp.wav"), wav);
        QTest::newRow("good wav") << writeFile(QStringLiteral("good.wav"), wav);
    }

    void badFilesNeverHoldUpTheWindow()
    {
        QFETCH(QString, path);
        MediaPlayer player;
        QSignalSpy applied(&player, &MediaPlayer::requestApplied);
        retryTimed([&]() -> QString {
            EventLoopWatch watch;
            QElapsedTimer clock;
            qint64 slowestCall = 0;
            for (int i = 0; i < 3; ++i) {
                applied.clear();
                clock.start();
                player.setLoop(false);
                player.close();
                player.setUrl(path);
                slowestCall = std::max(slowestCall, clock.elapsed());
                QTest::qWait(100);
            }
#ifdef PINGORA_DEAD_SOUND_SERVER
            // The sound thread may be stuck on the server; that must not matter to the window.
            QTest::qWait(300);
#else
            if (!QTest::qWaitFor([&] { return !applied.isEmpty(); }, 5000))
                return QStringLiteral("the sound thread never acted on the request");
#endif
            clock.start();
            player.close();
            slowestCall = std::max(slowestCall, clock.elapsed());
            if (auto verdict = heldUp("a call", slowestCall); !verdict.isEmpty())
                return verdict;
            return heldUp("the player", watch.longestGapMs());
        });
    }

    void manyQuickRequestsStayPrompt()
    {
        const QString path = writeFile(QStringLiteral("quick.wav"), ToneWav::make({}, 880, 0.2));
        MediaPlayer player;
        retryTimed([&]() -> QString {
            EventLoopWatch watch;
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < 200; ++i) {
                player.close();
                player.setUrl(path);
                if (i % 20 == 0)
                    QCoreApplication::processEvents();
            }
            if (clock.elapsed() > 4 * kMaxHoldUpMs)
                return QStringLiteral("200 requests took %1 ms").arg(clock.elapsed());
            QTest::qWait(200);
            return heldUp("the player", watch.longestGapMs());
        });
    }

    void destroyingAPlayingPlayerIsPrompt()
    {
        const QString path = writeFile(QStringLiteral("long.wav"), ToneWav::make({}, 440, 3.0));
        retryTimed([&]() -> QString {
            QElapsedTimer clock;
            auto player = std::make_unique<MediaPlayer>();
            player->setUrl(path);
            QTest::qWait(100);
            clock.start();
            player.reset();
            return heldUp("destroying the player", clock.elapsed());
        });
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir serverDir;
    if (!serverDir.isValid())
        return 2;
    // Never let libpulse start a real server for this test.
    const QString clientConfig = serverDir.filePath(QStringLiteral("client.conf"));
    QFile config(clientConfig);
    if (!config.open(QIODevice::WriteOnly) || config.write("autospawn = no\n") < 0)
        return 2;
    config.close();
    qputenv("PULSE_CLIENTCONFIG", QFile::encodeName(clientConfig));
    const QString socketPath = serverDir.filePath(QStringLiteral("native"));
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socketPath));

    auto app = std::make_unique<QGuiApplication>(argc, argv);
    int failures = 0;
    {
#ifdef PINGORA_DEAD_SOUND_SERVER
        // Accepts every connection and never says a word.
        QLocalServer deadServer;
        if (!deadServer.listen(socketPath))
            return 2;
        QObject::connect(&deadServer, &QLocalServer::newConnection, &deadServer, [&deadServer] {
            while (QLocalSocket* socket = deadServer.nextPendingConnection())
                socket->setParent(&deadServer);
        });
#endif
        tst_MediaPlayer test;
        failures = QTest::qExec(&test, argc, argv);
    }
    // The program must end promptly too, even with the sound thread stuck on the server.
    QElapsedTimer ending;
    ending.start();
    app.reset();
    if (ending.elapsed() > 1000) {
        qWarning("ending the application took %lld ms", ending.elapsed());
        ++failures;
    }
    return failures;
}

#include "tst_media_player.moc"
