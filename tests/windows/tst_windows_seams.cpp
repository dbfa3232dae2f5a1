// The Windows side of the platform seams: settings in the registry, the log-on value, the
// program's own path, and files replaced whole in binary.
#include "TestFiles.h"
#include "core/AtomicFile.h"
#include "core/Failure.h"
#include "core/Main.h"
#include "core/NameRules.h"
#include "core/ProgramFile.h"
#include "core/SettingsStore.h"
#include "desktop/AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <windows.h>

namespace {

const wchar_t* wide(const QString& text)
{
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

/// The type and text of the value @p name of HKEY_CURRENT_USER\@p key, read past the store.
std::pair<DWORD, QString> registryValue(const QString& key, const QString& name)
{
    wchar_t text[512] = {};
    DWORD size = sizeof text;
    DWORD type = REG_NONE;
    if (RegGetValueW(HKEY_CURRENT_USER, wide(key), wide(name), RRF_RT_ANY, &type, text, &size) !=
        ERROR_SUCCESS)
        return {REG_NONE, QString()};
    return {type, QString::fromWCharArray(text)};
}

} // namespace

class WindowsSeamsTest : public QObject
{
    Q_OBJECT

    // A key of its own for each run, removed at the end.
    const QString m_application = QStringLiteral("Software\\PingoraTest-") +
                                  QUuid::createUuid().toString(QUuid::WithoutBraces);

  private Q_SLOTS:
    void cleanupTestCase() { RegDeleteTreeW(HKEY_CURRENT_USER, wide(m_application)); }

    void settingsAreTextValuesOfOneKey()
    {
        SettingsStore store(m_application, QStringLiteral("Pingora"));
        QCOMPARE(store.read(QStringLiteral("Beep"), QStringLiteral("default")),
                 QStringLiteral("default"));
        const QString path = QStringLiteral("C:\\Users\\Zoë\\Sounds\\ding \"1\".wav");
        store.write(QStringLiteral("Beep"), path);
        store.write(QStringLiteral("Windows Startup"), QStringLiteral("Off"));
        store.write(QStringLiteral("Windows Startup"), QStringLiteral("On"));
        store.write(QStringLiteral("Minimized"), QString());

        // Read back by the next start, and by anyone looking into the registry.
        const SettingsStore again(m_application, QStringLiteral("Pingora"));
        QCOMPARE(again.read(QStringLiteral("Beep"), QString()), path);
        QCOMPARE(again.read(QStringLiteral("Windows Startup"), QString()), QStringLiteral("On"));
        QCOMPARE(again.read(QStringLiteral("Minimized"), QStringLiteral("default")), QString());
        const QString key = m_application + QStringLiteral("\\Pingora");
        QCOMPARE(registryValue(key, QStringLiteral("Windows Startup")),
                 std::make_pair(DWORD(REG_SZ), QStringLiteral("On")));
        // Another section is another key.
        QCOMPARE(SettingsStore(m_application, QStringLiteral("Other"))
                     .read(QStringLiteral("Beep"), QStringLiteral("none")),
                 QStringLiteral("none"));

        // A value of another kind, put there by hand, reads as missing.
        const DWORD number = 7;
        RegSetKeyValueW(HKEY_CURRENT_USER, wide(key), L"OftenIndex", REG_DWORD, &number,
                        sizeof number);
        QCOMPARE(again.read(QStringLiteral("OftenIndex"), QStringLiteral("4")),
                 QStringLiteral("4"));
    }

    void logOnValueNamesTheQuotedProgram()
    {
        const QString runKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        const QByteArray program = "C:/Program Files/Pingora Zoë/pingora.exe";
        AutostartEntry::SetRunEntry(program);
        QCOMPARE(registryValue(runKey, QStringLiteral("Pingora")),
                 std::make_pair(DWORD(REG_SZ),
                                QStringLiteral("\"C:\\Program Files\\Pingora Zoë\\pingora.exe\"")));
        AutostartEntry::DeleteRunEntry();
        QCOMPARE(registryValue(runKey, QStringLiteral("Pingora")).first, DWORD(REG_NONE));
        AutostartEntry::DeleteRunEntry(); // nothing there: silent
    }

    void programFileIsTheRunningExecutable()
    {
        const QString running = QCoreApplication::applicationFilePath();
        QCOMPARE(QString::fromUtf8(ProgramFile::path()), running);
        QCOMPARE(ProgramFile::folderForOpening(), QCoreApplication::applicationDirPath());
        QVERIFY(!ProgramFile::namesOnlyInThisProcess(ProgramFile::folderForOpening()));
    }

    void replacedFilesKeepEveryByte()
    {
        QTemporaryDir dir;
        const QString path = writeTestFile(dir, QStringLiteral("Wrenfield.ini"), "old\n");
        // Text mode would turn "\n" into "\r\n" and stop reading at Ctrl+Z.
        const QByteArray bytes("[Pingora]\nBeep=a\r\n\x1a tail\n", 25);
        AtomicFile::replace(path, bytes);
        QCOMPARE(readTestFile(path), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Wrenfield.ini"});
        QVERIFY_THROWS_EXCEPTION(Failure, AtomicFile::replace(dir.path(), "x"));

        // A name outside the ANSI code page: written, found and deleted under that name.
        const QString unicode = dir.filePath(QStringLiteral("Grüße 日本.ini"));
        AtomicFile::replace(unicode, bytes);
        QCOMPARE(readTestFile(unicode), bytes);
        QVERIFY(Main::FileExists(unicode));
        Main::RemoveFile(unicode);
        QVERIFY(!QFile::exists(unicode));
    }

    void historyLogPathHasTheSystemsSeparators()
    {
        qputenv("TEMP", QStringLiteral("C:/Users/Zoë/AppData/Local/Temp").toLocal8Bit());
        QCOMPARE(NameRules::HistoryLogPathFor(QStringLiteral("Pingora")),
                 QStringLiteral("C:\\Users\\Zoë\\AppData\\Local\\Temp\\Pingora.txt"));
    }
};

QTEST_GUILESS_MAIN(WindowsSeamsTest)
#include "tst_windows_seams.moc"
