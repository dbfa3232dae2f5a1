// The autostart entry: what it says, that a launcher reading its Exec line starts the exact
// program path (any bytes), that it passes the desktop-entry validator, that a failed write is
// reported and a failed removal is silent.

#include "FullDiskWrite.h"
#include "SmallDisk.h"
#include "core/Failure.h"
#include "core/ProductInfo.h"
#include "core/ProgramFile.h"
#include "desktop/AutostartEntry.h"
#include "desktop/mStartUp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Reads a desktop entry's key as the desktop-entry rules define a string value.
QString unescapeStringValue(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case u's':
            out += u' ';
            break;
        case u'n':
            out += u'\n';
            break;
        case u't':
            out += u'\t';
            break;
        case u'r':
            out += u'\r';
            break;
        case u'\\':
            out += u'\\';
            break;
        default: // not an escape of the string level: left for the quoting level
            out += u'\\';
            out += next;
        }
    }
    return out;
}

// Splits an Exec value into arguments as the desktop-entry rules define it: string escapes
// first, then quoting, then the %% field code. Anything the rules call malformed (a reserved
// character outside quotes, an unescaped one inside) gives a single marker argument instead.
QStringList execArguments(const QString& execValue)
{
    const QString line = unescapeStringValue(execValue);
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < line.size() &&
                QStringLiteral("\"`$\\").contains(line[i + 1])) {
                current += line[++i];
            } else if (c == u'"') {
                quoted = false;
            } else if (c == u'`' || c == u'$' || c == u'\\') {
                return {QStringLiteral("<unescaped %1 in quotes>").arg(c)};
            } else {
                current += c;
            }
        } else if (c == u' ') {
            if (inArgument)
                arguments.append(current);
            current.clear();
            inArgument = false;
        } else if (c == u'"') {
            quoted = true;
            inArgument = true;
        } else if (QStringLiteral("\t\n\"'\\><~|&;$*?#()`").contains(c)) {
            return {QStringLiteral("<reserved %1 outside quotes>").arg(c)};
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (quoted)
        return {QStringLiteral("<unterminated quote>")};
    if (inArgument)
        arguments.append(current);
    for (QString& argument : arguments)
        argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return arguments;
}

bool writeBytes(const QByteArray& path, const QByteArray& content, mode_t mode)
{
    const int file = open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (file < 0)
        return false;
    const bool written = write(file, content.constData(), size_t(content.size())) == content.size();
    return close(file) == 0 && written;
}

QMap<QString, QString> entryKeys(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QMap<QString, QString> keys;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            keys.insert(line.left(equals), line.mid(equals + 1));
    }
    return keys;
}

QString validatorOutput(const QString& path, bool* passed)
{
    QProcess validator;
    validator.start(QStringLiteral("desktop-file-validate"), {path});
    validator.waitForFinished(30000);
    *passed = validator.exitStatus() == QProcess::NormalExit && validator.exitCode() == 0;
    return QString::fromUtf8(validator.readAllStandardOutput() + validator.readAllStandardError());
}

} // namespace

class tst_Autostart : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();
    void entryNamesTheRunningProgram();
    void execLineStartsTheRightProgram_data();
    void execLineStartsTheRightProgram();
    void removalDeletesTheEntryAndIsSilentWhenThereIsNone();
    void handWrittenEntryIsReplacedWhole();
    void configHomeDefaultsToDotConfig();
    void autostartFolderIsAFile();
    void readOnlyAutostartFolder();
    void aFullDiskKeepsTheOldEntry_data();
    void aFullDiskKeepsTheOldEntry();
    void programFileAsTheSystemNamesIt();

  private:
    std::unique_ptr<QTemporaryDir> m_home;
    QString entryPath() const
    {
        return m_home->path() + QStringLiteral("/config/autostart/") + ProductInfo::kAppId +
               QStringLiteral(".desktop");
    }
};

void tst_Autostart::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", QFile::encodeName(m_home->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path() + QStringLiteral("/config")));
}

void tst_Autostart::cleanup()
{
    // Names that are not UTF-8 are beyond QTemporaryDir's own removal.
    QProcess::execute(QStringLiteral("chmod"),
                      {QStringLiteral("-R"), QStringLiteral("u+rwx"), m_home->path()});
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), m_home->path()});
    QFile(m_home->path() + QStringLiteral("/config/autostart"))
        .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_home.reset();
}

void tst_Autostart::entryNamesTheRunningProgram()
{
    QCOMPARE(AutostartEntry::autostartEntryPath(), entryPath());
    mStartUp::AddToStartup();

    const QMap<QString, QString> keys = entryKeys(entryPath());
    QCOMPARE(keys.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(keys.value(QStringLiteral("Name")), QStringLiteral("Pingora"));
    QCOMPARE(keys.value(QStringLiteral("Icon")), QStringLiteral("com.example.pingora"));
    QCOMPARE(keys.value(QStringLiteral("X-GNOME-Autostart-enabled")), QStringLiteral("true"));

    // The file that runs, with links resolved, as the kernel names it.
    const QString running = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    QVERIFY(!running.isEmpty());
    QCOMPARE(mStartUp::executablePath(), QFile::encodeName(running));
    QCOMPARE(execArguments(keys.value(QStringLiteral("Exec"))), QStringList{running});

    QFile entry(entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QVERIFY(entry.readAll().startsWith("[Desktop Entry]\n"));
}

void tst_Autostart::execLineStartsTheRightProgram_data()
{
    // Folders under a temporary home, each holding the program.
    QTest::addColumn<QByteArray>("folder");
    QTest::newRow("plain") << QByteArray("bin");
    QTest::newRow("spaces") << QByteArray("My Programs/pin gora");
    QTest::newRow("double quote") << QByteArray("say \"hi\"");
    QTest::newRow("single quote") << QByteArray("ann's");
    QTest::newRow("backslashes") << QByteArray("a\\b\\\\c\\");
    QTest::newRow("dollar and backtick") << QByteArray("$HOME/`id`/$(id)");
    QTest::newRow("percent codes") << QByteArray("100%/%f %U %%");
    QTest::newRow("percent and equals") << QByteArray("a=b%c");
    QTest::newRow("shell characters") << QByteArray("a;b&c|d<e>f*g?h#i~j(k)l=m");
    QTest::newRow("non-ASCII") << QStringLiteral("jos\u00e9/\u65e5\u672c/\U0001F514").toUtf8();
    QTest::newRow("tab and newline") << QByteArray("a\tb\nc\rd");
    QTest::newRow("leading space") << QByteArray(" lead");
    QTest::newRow("not UTF-8") << QByteArray("caf\xe9/\xff\xfe");
    QTest::newRow("not UTF-8, with shell characters") << QByteArray("\xe9%b \\0101 $(id)\"\n/x\n");
    QTest::newRow("control characters") << QByteArray("a\001b\037c\177d");
}

void tst_Autostart::execLineStartsTheRightProgram()
{
    QFETCH(QByteArray, folder);
    const QByteArray program =
        QFile::encodeName(m_home->path()) + '/' + folder + QByteArrayLiteral("/pingora");
    const QString marker = m_home->path() + QStringLiteral("/started");
    const QByteArray programFolder = program.left(program.lastIndexOf('/'));
    for (qsizetype slash = 1; slash >= 0; slash = programFolder.indexOf('/', slash + 1))
        mkdir(programFolder.left(slash).constData(), 0700);
    mkdir(programFolder.constData(), 0700);
    QVERIFY(writeBytes(program,
                       // Whole or not at all: the test reads it as soon as it is there.
                       "#!/bin/sh\nprintf '%s' \"$0\" > \"$PINGORA_TEST_MARKER.part\" &&\n"
                       "mv \"$PINGORA_TEST_MARKER.part\" \"$PINGORA_TEST_MARKER\"\n",
                       0700));
    qputenv("PINGORA_TEST_MARKER", QFile::encodeName(marker));

    mStartUp::AddToStartup(program);
    const QMap<QString, QString> keys = entryKeys(entryPath());
    const QString exec = keys.value(QStringLiteral("Exec"));
    // A desktop entry's values hold no control characters (DEL is one).
    for (const QChar c : exec)
        QVERIFY2(c >= u' ' && c != u'\x7f', qPrintable(exec));
    const QStringList command = execArguments(exec);
    QVERIFY(!command.isEmpty());
    const bool plainText =
        QString::fromUtf8(program).toUtf8() == program && !program.contains('%') &&
        std::none_of(program.cbegin(), program.cend(), [](char c) {
            return (uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == '\x7f';
        });
    if (plainText)
        QCOMPARE(command, QStringList{QString::fromUtf8(program)});
    else // a shell that is sure to be there starts it
        QCOMPARE(command.first(), QStringLiteral("/bin/sh"));

    // The command as the desktop-entry rules read it starts this very program.
    const auto startedAs = [&] {
        QFile started(marker);
        for (int i = 0; i < 500 && !started.exists(); ++i)
            QTest::qWait(10);
        const QByteArray name = started.open(QIODevice::ReadOnly) ? started.readAll() : "";
        started.remove();
        return name;
    };
    QVERIFY(QProcess::execute(command.first(), command.mid(1)) == 0);
    QCOMPARE(startedAs(), program);

    // And so does GLib's launcher, which GNOME's session uses for autostart entries.
    if (!QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty()) {
        QProcess gio;
        gio.start(QStringLiteral("gio"), {QStringLiteral("launch"), entryPath()});
        QVERIFY(gio.waitForFinished(10000));
        QVERIFY2(gio.exitCode() == 0, gio.readAllStandardError().constData());
        QCOMPARE(startedAs(), program);
    }

    if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
        QSKIP("desktop-file-validate is not installed");
    bool passed = false;
    const QString output = validatorOutput(entryPath(), &passed);
    QVERIFY2(passed, qPrintable(output));
    QVERIFY2(!output.contains(QStringLiteral("error")), qPrintable(output));
}

void tst_Autostart::removalDeletesTheEntryAndIsSilentWhenThereIsNone()
{
    mStartUp::RemoveFromStartup(); // nothing there yet
    mStartUp::AddToStartup(QByteArrayLiteral("/usr/bin/pingora"));
    QVERIFY(QFile::exists(entryPath()));

    // Another program's entry beside ours is left alone.
    const QString other = m_home->path() + QStringLiteral("/config/autostart/other.desktop");
    QFile otherFile(other);
    QVERIFY(otherFile.open(QIODevice::WriteOnly));
    otherFile.close();

    mStartUp::RemoveFromStartup();
    QVERIFY(!QFile::exists(entryPath()));
    QVERIFY(QFile::exists(other));
    mStartUp::RemoveFromStartup();
    QVERIFY(!QFile::exists(entryPath()));
}

void tst_Autostart::handWrittenEntryIsReplacedWhole()
{
    QVERIFY(QDir().mkpath(QFileInfo(entryPath()).absolutePath()));
    QFile entry(entryPath());
    QVERIFY(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Mine\nExec=/bin/false\nHidden=true\n"
                "Comment=a long hand-written comment that is longer than the new entry\n");
    entry.close();

    mStartUp::AddToStartup(QByteArrayLiteral("/opt/pingora/pingora"));
    const QMap<QString, QString> keys = entryKeys(entryPath());
    QCOMPARE(keys.value(QStringLiteral("Name")), QStringLiteral("Pingora"));
    QVERIFY(!keys.contains(QStringLiteral("Hidden")));
    QVERIFY(!keys.contains(QStringLiteral("Comment")));
    QCOMPARE(execArguments(keys.value(QStringLiteral("Exec"))),
             QStringList{QStringLiteral("/opt/pingora/pingora")});
}

void tst_Autostart::configHomeDefaultsToDotConfig()
{
    qunsetenv("XDG_CONFIG_HOME");
    const QString expected = m_home->path() + QStringLiteral("/.config/autostart/") +
                             ProductInfo::kAppId + QStringLiteral(".desktop");
    QCOMPARE(AutostartEntry::autostartEntryPath(), expected);
    mStartUp::AddToStartup(QByteArrayLiteral("/usr/bin/pingora"));
    QVERIFY(QFile::exists(expected));
    mStartUp::RemoveFromStartup();
    QVERIFY(!QFile::exists(expected));
}

void tst_Autostart::autostartFolderIsAFile()
{
    QVERIFY(QDir().mkpath(m_home->path() + QStringLiteral("/config")));
    QFile blocker(m_home->path() + QStringLiteral("/config/autostart"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a folder");
    blocker.close();

    try {
        mStartUp::AddToStartup(QByteArrayLiteral("/usr/bin/pingora"));
        QFAIL("a log-on entry that could not be written was not reported");
    } catch (const Failure& failure) {
        QVERIFY2(failure.description().contains(entryPath()), qPrintable(failure.description()));
    }
    mStartUp::RemoveFromStartup();

    QVERIFY(QFileInfo(blocker.fileName()).isFile());
    QVERIFY(blocker.open(QIODevice::ReadOnly));
    QCOMPARE(blocker.readAll(), QByteArray("not a folder"));
}

void tst_Autostart::readOnlyAutostartFolder()
{
    if (geteuid() == 0)
        QSKIP("permissions do not hold the superuser back");
    const QString folder = m_home->path() + QStringLiteral("/config/autostart");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile(folder).setPermissions(QFile::ReadOwner | QFile::ExeOwner));

    QVERIFY_THROWS_EXCEPTION(Failure,
                             mStartUp::AddToStartup(QByteArrayLiteral("/usr/bin/pingora")));
    QVERIFY(!QFile::exists(entryPath()));

    // An entry that is there stays when the folder does not let it go.
    QVERIFY(QFile(folder).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    mStartUp::AddToStartup(QByteArrayLiteral("/usr/bin/pingora"));
    QVERIFY(QFile(folder).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    mStartUp::RemoveFromStartup();
    QVERIFY(QFile::exists(entryPath()));
    QVERIFY(QDir(folder).entryList(QDir::Files | QDir::Hidden).size() == 1);
}

void tst_Autostart::programFileAsTheSystemNamesIt()
{
    // Run as a copy of this test in such a folder: report what it finds beside itself, then
    // its own path once its file has been replaced, as a package upgrade replaces it.
    if (const QByteArray report = qgetenv("PINGORA_TEST_REPORT"); !report.isEmpty()) {
        QFile beside(ProgramFile::folderForOpening() + QStringLiteral("/beep.wav"));
        QFile out(QFile::decodeName(report));
        QVERIFY(beside.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
        const QByteArray own = ProgramFile::path();
        QVERIFY(unlink(own.constData()) == 0 && writeBytes(own, "the new version", 0700));
        out.write(ProgramFile::folder() + '\n' + beside.readAll() + '\n' + ProgramFile::path());
        return;
    }

    // A copy of this test and a sound beside it, in a folder whose name is not UTF-8.
    const QByteArray folder = QFile::encodeName(m_home->path()) + "/caf\xe9 \xff";
    QVERIFY(mkdir(folder.constData(), 0700) == 0);
    QVERIFY(!ProgramFile::spelledExactly(folder));
    QFile self(QStringLiteral("/proc/self/exe"));
    QVERIFY(self.open(QIODevice::ReadOnly));
    const QByteArray copy = folder + "/tst_autostart";
    QVERIFY(writeBytes(copy, self.readAll(), 0700));
    QVERIFY(writeBytes(folder + "/beep.wav", "RIFF of the test", 0600));

    const QString report = m_home->path() + QStringLiteral("/report");
    const pid_t child = fork();
    if (child == 0) {
        setenv("PINGORA_TEST_REPORT", QFile::encodeName(report).constData(), 1);
        execl(copy.constData(), copy.constData(), "programFileAsTheSystemNamesIt", nullptr);
        _exit(127);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the copy's own check failed");
    QFile seen(report);
    QVERIFY(seen.open(QIODevice::ReadOnly));
    QCOMPARE(seen.readAll(), folder + "\nRIFF of the test\n" + copy);
}

void tst_Autostart::aFullDiskKeepsTheOldEntry_data()
{
    QTest::addColumn<QByteArray>("old"); // empty: there is no entry yet
    QTest::newRow("log-on entry") << QByteArray("[Desktop Entry]\nExec=/old\n");
    QTest::newRow("log-on entry, first write") << QByteArray();
}

void tst_Autostart::aFullDiskKeepsTheOldEntry()
{
    QFETCH(QByteArray, old);
    SmallDisk disk;
    if (!disk.isMounted())
        QSKIP(qPrintable("a small disk cannot be mounted here: " + disk.error()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(disk.path()));
    expectWriteToKeepTheOldFile(disk, AutostartEntry::autostartEntryPath(), old, ENOSPC,
                                [] { AutostartEntry::SetRunEntry("/usr/bin/pingora"); });
}

QTEST_GUILESS_MAIN(tst_Autostart)
#include "tst_autostart.moc"
