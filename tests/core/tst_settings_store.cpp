// The settings store: reads with defaults, exact round trips, other programs' lines kept
// byte for byte, and writes that lose nothing on a full disk, a failing sync or a second
// writer.
#include "FullDiskWrite.h"
#include "SmallDisk.h"
#include "TestFiles.h"
#include "core/Failure.h"
#include "core/SettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTemporaryDir>
#include <QTest>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int g_syncError = 0;                                   // the error of every fsync, while not 0
std::function<void(const char*)> g_beforeNewFileOpens; // another writer's step

} // namespace

// Stand-ins for the C library's calls, so that a test can fail a sync as a failing disk does
// and let another writer take a new file's name before it is opened.
extern "C" int fsync(int fd)
{
    if (g_syncError != 0) {
        errno = g_syncError;
        return -1;
    }
    return int(::syscall(SYS_fsync, fd));
}

extern "C" int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    if (g_beforeNewFileOpens && (flags & O_CREAT) && std::strstr(path, ".pingora-new-"))
        std::exchange(g_beforeNewFileOpens, nullptr)(path);
    return int(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

class tst_SettingsStore : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void settingsReadDefaultsWithoutCreatingAnything()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("sub/Wrenfield.ini"), "Pingora");
        QCOMPARE(store.read("Beep", "fallback"), QString("fallback"));
        QVERIFY(!QFile::exists(dir.filePath("sub")));
    }

    void settingsRoundTripExactValues()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("Wrenfield.ini"), "Pingora");
        const QStringList values = {
            "",           "On",           "/a b/c,d;e=f.wav", " spaced ",  "back\\slash",
            "two\nlines", "ends in CR\r", "cr\rinside",       "ünïcødé ♪", "[not a section]"};
        for (const QString& value : values) {
            store.write("Beep", value);
            QCOMPARE(store.read("Beep", "default"), value); // empty stays empty
        }
        store.write("Windows Startup", "On");
        QCOMPARE(store.read("Windows Startup", "Off"), QString("On"));
        QCOMPARE(SettingsStore(dir.filePath("Wrenfield.ini"), "Other").read("Beep", "d"),
                 QString("d"));
    }

    void settingsKeepOtherSectionsAndKeys()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Wrenfield.ini");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Other]\nBeep=theirs\n\n[Pingora]\nOftenIndex=11\n# note\n\n[Later]\nx=1\n"
                   "[Last]\ny=2\n");
        file.close();
        SettingsStore store(path, "Pingora");
        store.write("Beep", "mine");
        store.write("OftenIndex", "3");
        const QByteArray text = readTestFile(path);
        QVERIFY2(text.contains("[Other]\nBeep=theirs\n"), text);
        QVERIFY2(text.contains("[Pingora]\nOftenIndex=3\n# note\nBeep=mine\n"), text);
        QVERIFY2(text.endsWith("[Later]\nx=1\n[Last]\ny=2\n"), text);
        QCOMPARE(store.read("Beep", ""), QString("mine"));
        QCOMPARE(SettingsStore(path, "Other").read("Beep", ""), QString("theirs"));
    }

    void settingsWriteFailureIsReportedAndLosesNothing()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        SettingsStore underFile(dir.filePath("file/Wrenfield.ini"), "Pingora");
        QVERIFY_THROWS_EXCEPTION(Failure, underFile.write("Beep", "x"));

        QDir().mkpath(dir.filePath("folder.ini"));
        SettingsStore isFolder(dir.filePath("folder.ini"), "Pingora");
        QVERIFY_THROWS_EXCEPTION(Failure, isFolder.write("Beep", "x"));
        QCOMPARE(isFolder.read("Beep", "d"), QString("d"));
    }

    void aFullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<QByteArray>("old"); // empty: there is no file yet
        QTest::addColumn<int>("error");      // what the disk says
        const QByteArray settings = "[Other]\nx=1\n\n[Pingora]\nBeep=a\n";
        QTest::newRow("settings file") << settings << ENOSPC;
        QTest::newRow("settings file, first write") << QByteArray() << ENOSPC;
        QTest::newRow("settings file, the sync fails") << settings << EIO;
    }

    void aFullDiskKeepsTheOldFile()
    {
        // A write that finds no room fails with the reason and leaves the old file as it was,
        // or no file at all, and no new file beside it.
        QFETCH(QByteArray, old);
        QFETCH(int, error);
        SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable("a small disk cannot be mounted here: " + disk.error()));
        const QString path = disk.path() + QStringLiteral("/Wrenfield.ini");
        const QScopedValueRollback syncFails(g_syncError, 0);
        expectWriteToKeepTheOldFile(disk, path, old, error, [&] {
            g_syncError = error == ENOSPC ? 0 : error;
            SettingsStore(path, "Pingora").write("Beep", "new");
        });
    }

    void settingsFileKeepsItsPermissionsAndLink()
    {
        // A new file gets what the umask allows; a replaced one keeps the user's permissions
        // (always readable and writable by its owner); a link stays a link to the new file.
        QTemporaryDir dir;
        const auto modeOf = [](const QString& path) {
            struct stat info
            {
            };
            return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777
                                                                           : ~0u;
        };
        const QString path = dir.filePath("Wrenfield.ini");
        const mode_t umaskBefore = ::umask(027);
        SettingsStore(path, "Pingora").write("Beep", "a");
        ::umask(umaskBefore);
        QCOMPARE(modeOf(path), 0640u);
        for (const auto& [before, after] : {std::pair{0604u, 0604u}, {0400u, 0600u}}) {
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), before), 0);
            SettingsStore(path, "Pingora").write("Beep", QString::number(before));
            QCOMPARE(modeOf(path), after);
        }

        QVERIFY(QDir(dir.path()).mkdir("kept elsewhere"));
        const QString link = dir.filePath("link.ini");
        QVERIFY(QFile::link("kept elsewhere/Wrenfield.ini", link));
        SettingsStore(link, "Pingora").write("Beep", "through the link");
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(
            SettingsStore(dir.filePath("kept elsewhere/Wrenfield.ini"), "Pingora").read("Beep", ""),
            QString("through the link"));
    }

    void settingsSectionTwiceReadAndWrittenAtTheFirst()
    {
        // A hand-edited file with our section twice: reads and writes agree on the first.
        QTemporaryDir dir;
        const QString path = writeTestFile(
            dir, "Wrenfield.ini", "[Pingora]\nBeep=first\n[Other]\nx=1\n[Pingora]\nBeep=second\n");
        SettingsStore store(path, "Pingora");
        QCOMPARE(store.read("Beep", ""), QString("first"));
        store.write("Beep", "changed");
        QCOMPARE(store.read("Beep", ""), QString("changed"));
    }

    void settingsFileThatIsNoFileIsNeverWaitedOn()
    {
        // A FIFO, a device or a huge file at the settings path: read as empty at once, and
        // a write fails with a report instead of replacing it.
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo.ini");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        // The largest settings file read is 1 MiB: one of exactly that size is read, one a
        // byte larger is not.
        constexpr qint64 kLargest = 1 << 20;
        const QString largest = writeTestFile(dir, "largest.ini", "[Pingora]\nBeep=x\n");
        QVERIFY(QFile::resize(largest, kLargest));
        QCOMPARE(SettingsStore(largest, "Pingora").read("Beep", "default"), QString("x"));
        const QString huge = writeTestFile(dir, "huge.ini", "[Pingora]\nBeep=x\n");
        QVERIFY(QFile::resize(huge, kLargest + 1));
        for (const QString& path : {fifo, QStringLiteral("/dev/zero"), huge}) {
            QElapsedTimer clock;
            clock.start();
            SettingsStore store(path, "Pingora");
            QCOMPARE(store.read("Beep", "default"), QString("default"));
            QVERIFY_THROWS_EXCEPTION(Failure, store.write("Beep", "y"));
            QVERIFY(clock.elapsed() < 1000);
        }
        QCOMPARE(QFileInfo(huge).size(), kLargest + 1);

        // A write whose file would pass that size is refused before anything is replaced: the
        // next start would read none of the settings.
        const auto fileOfSize = [&](qint64 size) {
            const QByteArray start = "[Pingora]\nBeep=x\n";
            return writeTestFile(dir, "cap.ini",
                                 start + QByteArray(size - start.size() - 1, '#') + '\n');
        };
        for (const auto& [size, key, value] :
             {std::tuple{kLargest, "Beep", "xy"}, {kLargest - 1, "Minimized", "On"}}) {
            const QString path = fileOfSize(size);
            const QByteArray before = readTestFile(path);
            QVERIFY_THROWS_EXCEPTION(Failure, SettingsStore(path, "Pingora").write(key, value));
            QCOMPARE(readTestFile(path), before);
        }
        SettingsStore justFits(fileOfSize(kLargest - 13), "Pingora");
        QVERIFY_THROWS_NO_EXCEPTION(justFits.write("Minimized", "On"));
        QCOMPARE(justFits.read("Minimized", ""), QString("On"));
    }

    void settingsKeepOtherLinesByteForByte_data()
    {
        // Another program's Latin-1 value and the file's own line ends stay exactly as they
        // were; lines added end as the file's lines do.
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray theirs = "[Other]\r\nname=caf\xe9\r\n\r\n";
        QTest::newRow("CR LF, key changed and added")
            << theirs + "[Pingora]\r\nBeep=old\r\nOftenIndex=3\r\n"
            << theirs + "[Pingora]\r\nBeep=new\r\nOftenIndex=3\r\nMinimized=On\r\n";
        QTest::newRow("CR LF, section added")
            << theirs << theirs + "[Pingora]\r\nBeep=new\r\nMinimized=On\r\n";
        QTest::newRow("CR LF, last line without its end")
            << QByteArray("[Pingora]\r\nOftenIndex=3")
            << QByteArray("[Pingora]\r\nOftenIndex=3\r\nBeep=new\r\nMinimized=On\r\n");
        QTest::newRow("LF, one line with CR LF keeps its own end")
            << QByteArray("[Pingora]\nOftenIndex=3\nBeep=old\r\n")
            << QByteArray("[Pingora]\nOftenIndex=3\nBeep=new\r\nMinimized=On\n");
    }

    void settingsKeepOtherLinesByteForByte()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = writeTestFile(dir, "Wrenfield.ini", before);
        SettingsStore store(path, "Pingora");
        store.write("Beep", "new");
        store.write("Minimized", "On");
        QCOMPARE(readTestFile(path), after);
        QCOMPARE(store.read("Beep", ""), QString("new"));
    }

    void settingsTwoWritersLoseNothing()
    {
        // Two processes write a key each, as fast as they can: every write of both survives.
        QTemporaryDir dir;
        const QString path = dir.filePath("Wrenfield.ini");
        constexpr int kWrites = 150;
        QList<pid_t> writers;
        for (const char* key : {"First", "Second"}) {
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                SettingsStore store(path, "Pingora");
                for (int i = 1; i <= kWrites; ++i) {
                    try {
                        store.write(key, QString::number(i));
                    } catch (const Failure&) {
                        ::_exit(2);
                    }
                    // Each write must find the other's latest value still there.
                }
                ::_exit(0);
            }
            writers << child;
        }
        for (pid_t writer : writers) {
            int status = 0;
            QCOMPARE(::waitpid(writer, &status, 0), writer);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        SettingsStore store(path, "Pingora");
        QCOMPARE(store.read("First", ""), QString::number(kWrites));
        QCOMPARE(store.read("Second", ""), QString::number(kWrites));
    }

    void aNewFileNeverTakesOverAnotherOfTheSameName()
    {
        // Another writer makes a file under the very name the new file was to get, just before
        // it is opened: that file stays the other writer's, and the store gets only its own.
        QTemporaryDir dir;
        const QString path = writeTestFile(dir, "Wrenfield.ini", "[Pingora]\nBeep=a\n");
        QString taken;
        g_beforeNewFileOpens = [&](const char* name) {
            taken = QFile::decodeName(name);
            writeTestFile(taken, "another writer's much longer contents\n");
        };
        SettingsStore(path, "Pingora").write("Beep", "b");
        QVERIFY(!taken.isEmpty());
        QCOMPARE(readTestFile(taken), QByteArray("another writer's much longer contents\n"));
        QCOMPARE(readTestFile(path), QByteArray("[Pingora]\nBeep=b\n"));
    }

    void staleTemporaryFilesAreSwept_data()
    {
        // Only the store's own new files, left by a write that ended a minute ago or more,
        // are swept; files the user keeps beside the store never are.
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("old");
        QTest::addColumn<bool>("swept");
        QTest::newRow("left by a write") << "Wrenfield.ini.pingora-new-aB3xY9" << true << true;
        QTest::newRow("left by a write, lower case")
            << "Wrenfield.ini.pingora-new-abcdef" << true << true;
        QTest::newRow("being written") << "Wrenfield.ini.pingora-new-Qw12Er" << false << false;
        QTest::newRow("longer ending") << "Wrenfield.ini.pingora-new-abcdefg" << true << false;
        QTest::newRow("another file's") << "Other.ini.pingora-new-abcdef" << true << false;
        QTest::newRow("not our letters") << "Wrenfield.ini.pingora-new-ab.d~f" << true << false;
        QTest::newRow("shorter ending") << "Wrenfield.ini.pingora-new-abcde" << true << false;
        for (const char* ending : {"202412", "Backup", "BACKUP", "copy01", "backup", "aB3xY9"})
            QTest::newRow(ending) << QString("Wrenfield.ini.") + ending << true << false;
    }

    void staleTemporaryFilesAreSwept()
    {
        QFETCH(QString, name);
        QFETCH(bool, old);
        QFETCH(bool, swept);
        QTemporaryDir dir;
        const QString path = writeTestFile(dir, "Wrenfield.ini", "[Pingora]\n");
        const QString file = writeTestFile(dir, name, "contents");
        QFile touched(file);
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(old ? -120 : -30),
                                    QFileDevice::FileModificationTime));
        touched.close();
        // As every start of the program does.
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", configHome); });
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
        QCOMPARE(SettingsStore::forUser().filePath(), path);
        QCOMPARE(QFile::exists(file), !swept);
        QCOMPARE(readTestFile(path), QByteArray("[Pingora]\n"));
    }

    void settingsReadToleratesGarbage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Wrenfield.ini");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(
            "\xff\xfe\x00garbage\r\n[Pingora]\r\nBeep=\xc3\xa9t\xe9\r\n=\r\nnoequals\r\n", 46));
        file.close();
        SettingsStore store(path, "Pingora");
        QCOMPARE(store.read("OftenIndex", "6"), QString("6"));
        QVERIFY(store.read("Beep", "").startsWith(QString::fromUtf8("ét")));
        store.write("OftenIndex", "2");
        QCOMPARE(store.read("OftenIndex", "6"), QString("2"));
    }
};

QTEST_MAIN(tst_SettingsStore)
#include "tst_settings_store.moc"
