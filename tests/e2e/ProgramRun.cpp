#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

using namespace std::chrono_literals;

namespace {
const QString kSection = QStringLiteral("[Pingora]");
const QString kMainWindowTitle = QStringLiteral("Pingora");
const QString kErrorReportTitle = QStringLiteral("Application Error");
// Tray icons are at most this wide; the main window is far wider.
constexpr int kLargestTrayIcon = 128;
} // namespace

ProgramRun::ProgramRun(QString programFolder) : m_folder(std::move(programFolder))
{
    // Its messages belong in the test's log.
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
}

ProgramRun::~ProgramRun()
{
    stop();
}

QString ProgramRun::builtProgramFolder()
{
    return qEnvironmentVariable("PINGORA_PROGRAM_DIR");
}

QString ProgramRun::settingsPath()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Wrenfield.ini");
}

QString ProgramRun::historyLogPath()
{
    return qEnvironmentVariable("TEMP") + QStringLiteral("/Pingora.txt");
}

bool ProgramRun::writeSettings(const QMap<QString, QString>& values)
{
    QDir().mkpath(qEnvironmentVariable("XDG_CONFIG_HOME"));
    QFile file(settingsPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QString text = kSection + u'\n';
    for (auto it = values.begin(); it != values.end(); ++it)
        text += it.key() + u'=' + it.value() + u'\n';
    return file.write(text.toUtf8()) > 0;
}

QString ProgramRun::readSetting(const QString& key)
{
    QFile file(settingsPath());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    bool inSection = false;
    QString value;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(u'['))
            inSection = line.trimmed() == kSection;
        else if (inSection && line.section(u'=', 0, 0) == key)
            value = line.section(u'=', 1);
    }
    return value;
}

bool ProgramRun::start(QString* error, std::chrono::milliseconds timeout)
{
    const QString program = m_folder + QStringLiteral("/pingora");
    if (!QFile::exists(program)) {
        *error = program + QStringLiteral(" does not exist");
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    // Dates in the history log in a known form: 8/31/2021 3:04:05 PM.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    // The one start in a hundred that opens the home page must not start a browser here.
    environment.insert(QStringLiteral("BROWSER"), QStringLiteral("true"));
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(qEnvironmentVariable("HOME"));
    m_process.start(program, {});
    if (!m_process.waitForStarted(int(timeout.count()))) {
        *error = QStringLiteral("cannot start ") + program + u' ' + m_process.errorString();
        return false;
    }

    m_pid = m_process.processId();
    return waitForMainWindow(error, timeout);
}

bool ProgramRun::waitForMainWindow(QString* error, std::chrono::milliseconds timeout)
{
    const QString pid = QString::number(m_pid);
    QString report;
    const bool shown = XDesktop::waitUntil(
        [&] {
            if (!isRunning())
                return true;
            // Titles compared exactly (xdotool's name search ignores case), and the tray
            // icon's window, which may bear the program's name too, told apart by its size.
            for (XDesktop::WindowId window : XDesktop::search({"--onlyvisible", "--pid", pid})) {
                const QString title = XDesktop::windowName(window);
                if (title.startsWith(kErrorReportTitle)) {
                    report = title;
                } else if (title == kMainWindowTitle) {
                    const auto info = XDesktop::windowInfo(window);
                    if (info && info->geometry.width() > kLargestTrayIcon)
                        m_mainWindow = window;
                }
            }
            return m_mainWindow != 0 || !report.isEmpty();
        },
        timeout, 200ms);
    if (!report.isEmpty()) {
        *error = QStringLiteral("start-up showed an error report: ") + report;
        return false;
    }
    if (!isRunning()) {
        *error = QStringLiteral("the program ended at start-up, exit code ") +
                 QString::number(m_process.exitCode());
        return false;
    }
    if (!shown) {
        *error = QStringLiteral("no main window on the screen");
        return false;
    }
    return true;
}

bool ProgramRun::waitForExit(std::chrono::milliseconds timeout, QString* how)
{
    if (isRunning() && !m_process.waitForFinished(int(timeout.count()))) {
        *how = QStringLiteral("still running");
        return false;
    }
    if (m_process.exitStatus() != QProcess::NormalExit) {
        *how = QStringLiteral("crashed");
        return false;
    }
    *how = QStringLiteral("exit code ") + QString::number(m_process.exitCode());
    return m_process.exitCode() == 0;
}

void ProgramRun::stop()
{
    if (!isRunning())
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

QMap<QString, qint64> ProgramRun::wakeUpsByThread() const
{
    QMap<QString, qint64> wakeUps;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(m_pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks + '/' + task + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue; // the thread has ended
        QString name;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Name:"))
                name = QString::fromUtf8(line.mid(5).trimmed());
            else if (line.startsWith("voluntary_ctxt_switches:"))
                wakeUps[name] += line.mid(24).trimmed().toLongLong();
        }
    }
    return wakeUps;
}

bool ProgramRun::hasLoaded(const QByteArray& name) const
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(m_pid));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}
