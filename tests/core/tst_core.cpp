// The settings store, the name rules, the shared utilities and the error report.
#include "ModalAnswerer.h"
#include "SmallDisk.h"
#include "TestFiles.h"
#include "app/Locations.h"
#include "beep/HistoryWriter.h"
#include "core/ErrorTrap.h"
#include "core/Failure.h"
#include "core/Main.h"
#include "core/MainLoop.h"
#include "core/NameRules.h"
#include "core/SettingsStore.h"
#include "core/WindowSystem.h"
#include "desktop/AutostartEntry.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
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

namespace {

QStringList filesUnder(const QString& folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next();
    names.sort();
    return names;
}

} // namespace

class tst_Core : public QObject
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
        QTest::addColumn<bool>("logOnEntry"); // else the settings file
        QTest::addColumn<QByteArray>("old");  // empty: there is no file yet
        QTest::addColumn<int>("error");       // what the disk says
        const QByteArray settings = "[Other]\nx=1\n\n[Pingora]\nBeep=a\n";
        QTest::newRow("settings file") << false << settings << ENOSPC;
        QTest::newRow("settings file, first write") << false << QByteArray() << ENOSPC;
        QTest::newRow("log-on entry")
            << true << QByteArray("[Desktop Entry]\nExec=/old\n") << ENOSPC;
        QTest::newRow("log-on entry, first write") << true << QByteArray() << ENOSPC;
        QTest::newRow("settings file, the sync fails") << false << settings << EIO;
    }

    void aFullDiskKeepsTheOldFile()
    {
        // A write that finds no room fails with the reason and leaves the old file as it was,
        // or no file at all, and no new file beside it.
        QFETCH(bool, logOnEntry);
        QFETCH(QByteArray, old);
        QFETCH(int, error);
        SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable("a small disk cannot be mounted here: " + disk.error()));
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", configHome); });
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(disk.path()));
        const QString path = logOnEntry ? AutostartEntry::autostartEntryPath()
                                        : disk.path() + QStringLiteral("/Wrenfield.ini");
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile oldFile(path);
        QVERIFY(old.isEmpty() || (oldFile.open(QIODevice::WriteOnly) && oldFile.write(old) > 0));
        oldFile.close();
        if (error == ENOSPC)
            disk.fill();
        const QStringList before = filesUnder(disk.path());
        const QScopedValueRollback syncFails(g_syncError, error == ENOSPC ? 0 : error);

        try {
            if (logOnEntry)
                AutostartEntry::SetRunEntry("/usr/bin/pingora");
            else
                SettingsStore(path, "Pingora").write("Beep", "new");
            QFAIL("a write that found no room was not reported");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().contains(path) &&
                         failure.description().endsWith(": " + qt_error_string(error)),
                     qPrintable(failure.description()));
        }
        QCOMPARE(filesUnder(disk.path()), before);
        QCOMPARE(QFile::exists(path), !old.isEmpty());
        if (!old.isEmpty())
            QCOMPARE(readTestFile(path), old);
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

    void appTitleDropsWordsToFortyCharacters()
    {
        QCOMPARE(NameRules::AppTitleFor("Pingora"), QString("Pingora"));
        QCOMPARE(NameRules::AppTitleFor("Pingora Beep"), QString("Pingora")); // always one drop
        const QString longName = "Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota";
        const QString title = NameRules::AppTitleFor(longName);
        QCOMPARE(title, QString("Alpha Beta Gamma Delta Epsilon Zeta Eta"));
        QVERIFY(title.size() <= 40);
    }

    void dropLastWordAndCleanFileName()
    {
        QCOMPARE(NameRules::DropLastWord("Pingora", "Software"), QString("Pingora"));
        QCOMPARE(NameRules::DropLastWord("Acme Software", "Software"), QString("Acme"));
        QCOMPARE(NameRules::DropLastWord("Acme  Software ", "Software"),
                 QString("Acme  Software "));
        QCOMPARE(NameRules::DropLastWord("Acme Tools", "Software"), QString("Acme Tools"));
        QCOMPARE(NameRules::DropLastWord(" Acme Tools ", ""), QString("Acme Tools"));
        QCOMPARE(NameRules::DropLastWord("Acme software", "Software"), QString("Acme software"));
        // Only spaces are trimmed: a tab or a line break belongs to the word or the rest.
        QCOMPARE(NameRules::DropLastWord("Acme Software\t", "Software"),
                 QString("Acme Software\t"));
        QCOMPARE(NameRules::DropLastWord("\nAcme Software", "Software"), QString("\nAcme"));

        const QString removed = QString("$/\\*:?<>|#' .,\"()-+=%;{}\t");
        QCOMPARE(removed.size(), 25);
        QCOMPARE(NameRules::CleanFileName(removed), QString());
        QCOMPARE(NameRules::CleanFileName("a_b[1]é!~" + removed + "Z"), QString("a_b[1]é!~Z"));
    }

    void historyLogPathFollowsTempOrStateFolder()
    {
        qputenv("TEMP", "/some/temp");
        QCOMPARE(NameRules::HistoryLogPathFor("Pingora"), QString("/some/temp/Pingora.txt"));
        QCOMPARE(NameRules::HistoryLogPathFor("Big Pingora Software"),
                 QString("/some/temp/BigPingora.txt"));
        qputenv("TEMP", "");
        qputenv("XDG_STATE_HOME", "/state");
        QCOMPARE(NameRules::HistoryLogPathFor("Pingora"), QString("/state/Pingora.txt"));
        qunsetenv("TEMP");
        // The state folder is made on the first beep, also when named with a final slash.
        QTemporaryDir dir;
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath("state/")));
        IntervalSave::AppendHistoryLine(NameRules::HistoryLogPathFor("Pingora"), "Beeped at 1");
        QVERIFY(QFile::exists(dir.filePath("state/Pingora.txt")));
        qputenv("XDG_STATE_HOME", "relative/ignored");
        QCOMPARE(NameRules::HistoryLogPathFor("Pingora"),
                 QDir::homePath() + "/.local/state/Pingora.txt");
        qunsetenv("XDG_STATE_HOME");
    }

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

    void platformChoiceForTheSession_data()
    {
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<QByteArray>("qpaPlatform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("xServerThere");
        QTest::addColumn<QByteArray>("chosen");
        const auto row = [](const char* name, const char* waylandDisplay, const char* sessionType,
                            const char* qpaPlatform, const char* display, QStringList arguments,
                            bool xServerThere, const char* chosen) {
            QTest::newRow(name) << QByteArray(waylandDisplay) << QByteArray(sessionType)
                                << QByteArray(qpaPlatform) << QByteArray(display) << arguments
                                << xServerThere << QByteArray(chosen);
        };
        const char* x11 = "xcb;wayland";
        row("Wayland session with Xwayland", "wayland-0", "wayland", "", ":1", {}, true, x11);
        row("Wayland display alone", "wayland-1", "", "", ":1", {}, true, x11);
        row("session type alone", "", "wayland", "", ":1", {}, true, x11);
        row("X11 session: Qt's choice is X11 already", "", "x11", "", ":0", {}, true, "");
        row("no X server answers", "wayland-0", "wayland", "", ":1", {}, false, "");
        row("no DISPLAY", "wayland-0", "wayland", "", "", {}, true, "");
        row("QT_QPA_PLATFORM kept", "wayland-0", "wayland", "wayland", ":1", {}, true, "");
        row("-platform kept", "wayland-0", "", "", ":1", {"-platform", "wayland"}, true, "");
        row("--platform kept", "wayland-0", "", "", ":1", {"--platform", "wayland-egl"}, true, "");
        row("-platform without a value names none", "wayland-0", "", "", ":1", {"-platform"}, true,
            x11);
        row("other arguments", "wayland-0", "", "", ":1", {"-platformtheme", "gtk3", "wayland"},
            true, x11);
    }
    void platformChoiceForTheSession()
    {
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, sessionType);
        QFETCH(QByteArray, qpaPlatform);
        QFETCH(QByteArray, display);
        QFETCH(QStringList, arguments);
        QFETCH(bool, xServerThere);
        QFETCH(QByteArray, chosen);
        QList<QByteArray> storage{"pingora"};
        for (const QString& argument : arguments)
            storage << argument.toUtf8();
        std::vector<const char*> argv;
        for (const QByteArray& argument : storage)
            argv.push_back(argument.constData());
        QByteArrayList asked;
        const auto probe = [&](const QByteArray& name) {
            asked << name;
            return xServerThere;
        };
        QCOMPARE(
            WindowSystem::preferredPlatform({waylandDisplay, sessionType, qpaPlatform, display},
                                            int(argv.size()), argv.data(), probe),
            chosen);
        // The X server is asked only when its answer decides, and then for the session's display.
        if (!chosen.isEmpty())
            QCOMPARE(asked, QByteArrayList{display});
    }

    void xServerReachableAsXClientsConnect_data()
    {
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QString>("socket");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("abstract socket") << QByteArray(":7") << "abstract" << true;
        QTest::newRow("socket file") << QByteArray(":7") << "file" << true;
        QTest::newRow("server with its queue full") << QByteArray(":7") << "busy" << true;
        QTest::newRow("screen number") << QByteArray(":7.0") << "abstract" << true;
        QTest::newRow("unix host") << QByteArray("unix:7") << "file" << true;
        QTest::newRow("socket file of a server gone") << QByteArray(":7") << "stale file" << false;
        QTest::newRow("no socket") << QByteArray(":7") << "" << false;
        QTest::newRow("another display") << QByteArray(":70") << "abstract" << false;
        QTest::newRow("another host is not asked")
            << QByteArray("otherhost:7") << "abstract" << false;
        QTest::newRow("no number") << QByteArray(":") << "abstract" << false;
        QTest::newRow("no display") << QByteArray() << "abstract" << false;
    }
    void xServerReachableAsXClientsConnect()
    {
        QFETCH(QByteArray, display);
        QFETCH(QString, socket);
        QFETCH(bool, reachable);
        QTemporaryDir folder(QStringLiteral("/tmp/pingora-x-XXXXXX"));
        const QByteArray name = QFile::encodeName(folder.filePath(QStringLiteral("X7")));
        const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(server >= 0);
        QList<int> waiting;
        if (!socket.isEmpty()) {
            // Bound as X servers bind: an abstract name without a terminating zero.
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const bool abstract = socket == u"abstract" || socket == u"busy";
            std::memcpy(address.sun_path + (abstract ? 1 : 0), name.constData(),
                        std::size_t(name.size()));
            const auto length =
                socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(name.size()));
            QVERIFY(::bind(server, reinterpret_cast<sockaddr*>(&address), length) == 0);
            if (socket != u"stale file")
                QVERIFY(::listen(server, 0) == 0);
            // A server too busy to take connections: its queue filled by clients it has not
            // taken yet.
            for (int client = -1; socket == u"busy";) {
                client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
                waiting << client;
                if (::connect(client, reinterpret_cast<sockaddr*>(&address), length) != 0)
                    break;
            }
        }
        QCOMPARE(WindowSystem::xServerReachable(display, folder.path()), reachable);
        ::close(server);
        for (int client : std::as_const(waiting))
            ::close(client);
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

    // Closing the window ends the program the ordinary way only while no handler is suspended
    // in a yield or a wait, where it would go on after the end.
    void mainLoopRunsAloneOnlyWithoutSuspendedHandlers()
    {
        QList<bool> alone;
        const auto seeNext = [&] {
            QTimer::singleShot(0, this, [&] { alone << MainLoop::runsAlone(); });
        };
        seeNext();
        Main::WaitSeconds(0.05); // before the main loop, as a report during start-up waits
        QTimer::singleShot(0, this, [&] {
            alone << MainLoop::runsAlone();
            seeNext();
            MainLoop::DoEvents();
            seeNext();
            Main::WaitSeconds(0.05); // a nested event loop, as a message box runs
            // A failure of a handler run by DoEvents passes through it to the statement.
            QTimer::singleShot(0, this, [] { throw Failure("passes through"); });
            QVERIFY_THROWS_EXCEPTION(Failure, MainLoop::DoEvents());
            seeNext();
            QTimer::singleShot(0, this, [] { QCoreApplication::exit(3); });
        });
        QCOMPARE(MainLoop::exec(), 3);
        alone << MainLoop::runsAlone(); // after it
        QCOMPARE(alone, QList<bool>({false, true, false, false, true, false}));
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

    void reportMessageLayout()
    {
        QCOMPARE(ErrorReport::message("Disk full.\nReally.", Locations::kPushButton3, 104),
                 QString("Disk full.\nReally.\r\nin Belvane2021/08/31.Form1.PushButton3_Click at "
                         "line 104\r\rPlease email screenshot of this message to "
                         "support@example.com"));
    }

    void trapReportsEachFailureAndGoesOn()
    {
        ModalAnswerer answerer;
        QStringList ran;
        auto failingProcedure = [&] {
            ran << "procedure start";
            throw Failure("deep failure");
            ran << "procedure end"; // never runs
        };
        ErrorTrap trap(Locations::kPushButton5);
        trap.run(100, [&] { ran << "100"; });
        trap.run(102, [&] { failingProcedure(); });
        if (trap.test(104, [&]() -> bool { throw std::runtime_error("test failed"); }))
            trap.run(106, [&] { ran << "branch body"; });
        if (trap.test(108, [&] { return false; }))
            ran << "not run";
        trap.run(110, [&] { throw 42; });
        trap.run(112, [&] { ran << "112"; });

        QCOMPARE(ran, QStringList({"100", "procedure start", "branch body", "112"}));
        QCOMPARE(answerer.reportedLines(), QList<int>({102, 104, 110}));
        const auto& boxes = answerer.seen();
        QCOMPARE(boxes[0].title, QString("Application Error"));
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(boxes[0].text,
                 QString("deep failure\nin Belvane2021/08/31.Form1.PushButton5_Click "
                         "at line 102\n\nPlease email screenshot of this message "
                         "to support@example.com"));
        QCOMPARE(boxes[1].text.section('\n', 0, 0), QString("test failed"));
    }

    void untrappedHandlerFailureBelongsToTheStatementThatRaisedIt()
    {
        ModalAnswerer answerer;
        ErrorTrap trap(Locations::kFormLoad);
        trap.run(196,
                 [&] { ErrorTrap::runUntrappedHandler([] { throw Failure("cannot store"); }); });
        QCOMPARE(answerer.reportedLines(), QList<int>({196}));

        // Raised by itself (no statement running): a plain message, nothing escapes.
        ErrorTrap::runUntrappedHandler([] { throw Failure("alone"); });
        QTRY_COMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().last().text, QString("alone"));

        // Raised by an event handled while a statement waits in its own event loop: the user
        // did that, not the statement, which goes on unreported.
        trap.run(198, [&] {
            QTimer::singleShot(
                0, [] { ErrorTrap::runUntrappedHandler([] { throw Failure("while waiting"); }); });
            QEventLoop wait;
            QTimer::singleShot(200, &wait, &QEventLoop::quit);
            wait.exec();
        });
        QCOMPARE(answerer.seen().size(), 3);
        QCOMPARE(answerer.seen().last().text, QString("while waiting"));
        QCOMPARE(answerer.reportedLines(), QList<int>({196}));
    }
};

QTEST_MAIN(tst_Core)
#include "tst_core.moc"
