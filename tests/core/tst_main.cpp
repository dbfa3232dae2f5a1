// The shared utilities: FileExists, FormatSeconds, WaitSeconds and the file removal.
#include "TestFiles.h"
#include "core/Failure.h"
#include "core/Main.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <grp.h>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class tst_Main : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void fileExistsOnlyForFiles()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("a file.wav"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(Main::FileExists(dir.filePath("a file.wav")));
        QVERIFY(!Main::FileExists(""));
        QVERIFY(!Main::FileExists(dir.filePath("missing.wav")));
        QVERIFY(!Main::FileExists(dir.filePath("no/such/folder/a.wav")));
        QVERIFY(!Main::FileExists(dir.path()));
        QVERIFY(!Main::FileExists(dir.filePath("a file.wav/")));
    }

    void formatSecondsIsATimeOfDay_data()
    {
        QTest::addColumn<qint32>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "00:00:00";
        QTest::newRow("59") << 59 << "00:00:59";
        QTest::newRow("hour") << 3600 << "01:00:00";
        QTest::newRow("day less one") << 86399 << "23:59:59";
        QTest::newRow("day") << 86400 << "00:00:00";
        QTest::newRow("day and hour") << 90000 << "01:00:00";
        QTest::newRow("negative") << -5 << "00:00:05";
        QTest::newRow("max") << std::numeric_limits<qint32>::max() << "03:14:07";
        QTest::newRow("min") << std::numeric_limits<qint32>::min() << "03:14:08";
    }

    void formatSecondsIsATimeOfDay()
    {
        QFETCH(qint32, seconds);
        QFETCH(QString, text);
        QCOMPARE(Main::FormatSeconds(seconds), text);
    }

    void waitSecondsKeepsEventsRunningWithoutSpinning()
    {
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(100);
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start();

        // A wait of 0 or less handles no event at all.
        QTimer::singleShot(0, this, [&] { ++ticks; });
        Main::WaitSeconds(0);
        Main::WaitSeconds(-3);
        QCOMPARE(ticks, 0);

        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = cpuSeconds();
        Main::WaitSeconds(1.5);
        const double cpuUsed = cpuSeconds() - cpuBefore;
        QVERIFY2(clock.elapsed() >= 1500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(ticks >= 8, qPrintable(QString::number(ticks)));
        QVERIFY2(cpuUsed < 0.3,
                 qPrintable(QString::number(cpuUsed))); // a spinning wait uses ~1.5 s
    }

    void waitSecondsOutlastsANestedWait()
    {
        // A second wait started inside the first (a second press of the same button) ends
        // first; the outer one returns once both are over.
        QElapsedTimer clock;
        clock.start();
        qint64 innerEnded = 0;
        QTimer::singleShot(200, this, [&] {
            Main::WaitSeconds(1.0);
            innerEnded = clock.elapsed();
        });
        Main::WaitSeconds(0.5);
        QVERIFY(innerEnded >= 1200);
        QVERIFY(clock.elapsed() >= innerEnded);
    }

    void removeFileDeletesReadOnlyAndIgnoresMissing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        Main::RemoveFile(path);
        QVERIFY(!QFile::exists(path));
        Main::RemoveFile(path);       // missing: nothing happens
        Main::RemoveFile(dir.path()); // a folder is not deleted
        QVERIFY(QFile::exists(dir.path()));
        QVERIFY_THROWS_EXCEPTION(Failure, Main::ForceDeleteFile(path));
    }

    void failedDeleteChangesNoPermissions()
    {
        // The log is a link, in a folder where it may not be deleted, to a private file: the
        // failed delete leaves both as they were.
        QTemporaryDir dir;
        const QString target = writeTestFile(dir, "private.txt", {});
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(QDir(dir.path()).mkdir("locked"));
        const QString link = dir.filePath("locked/Pingora.txt");
        QVERIFY(QFile::link(target, link));
        QVERIFY(QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner |
                                                                  QFile::ReadOther |
                                                                  QFile::ExeOther));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ExeOther));
        const auto tryToDelete = [&] {
            try {
                Main::ForceDeleteFile(link);
                return false;
            } catch (const Failure&) {
                return true; // not deleted, as it may not be
            }
        };
        if (::geteuid() != 0) {
            QVERIFY(tryToDelete());
        } else {
            // The superuser may delete anything: the delete is tried by a child process that
            // has given up the superuser's rights, as the owner of the private file.
            constexpr uid_t kNobody = 65534;
            QVERIFY(::chown(QFile::encodeName(target).constData(), kNobody, kNobody) == 0);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 ||
                    ::setuid(kNobody) != 0)
                    ::_exit(77);
                ::_exit(tryToDelete() ? 0 : 1);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        QVERIFY(QFileInfo(link).isSymLink());
        struct stat info
        {
        };
        QVERIFY(::stat(QFile::encodeName(target).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0600));
        QVERIFY(QFile::setPermissions(dir.filePath("locked"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
};

QTEST_MAIN(tst_Main)
#include "tst_main.moc"
