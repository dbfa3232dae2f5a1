#pragma once

#include "XDesktop.h"

#include <QMap>
#include <QProcess>
#include <QString>
#include <chrono>

/// One run of the built program in the desktop session, started as a person starts it: with
/// the settings the test chose, on the real X server, with its accessibility tree readable.
class ProgramRun
{
  public:
    /// \a programFolder holds the program and the files it finds beside itself; by default the
    /// built program folder (PINGORA_PROGRAM_DIR).
    explicit ProgramRun(QString programFolder = builtProgramFolder());
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    static QString builtProgramFolder();
    /// The session's settings file and the history log, where the program keeps them.
    static QString settingsPath();
    static QString historyLogPath();
    /// Replaces the program's settings with \a values (key to value in its section).
    static bool writeSettings(const QMap<QString, QString>& values);
    /// A setting as the program left it on disk; empty when absent.
    static QString readSetting(const QString& key);

    /// Starts the program and waits until its main window is on the screen.
    bool start(QString* error, std::chrono::milliseconds timeout = std::chrono::seconds(90));
    /// Waits until the main window is on the screen; false with \a error set when an error
    /// report comes up first or the program ends.
    bool waitForMainWindow(QString* error, std::chrono::milliseconds timeout);
    /// The process id, kept after the program has ended.
    qint64 pid() const { return m_pid; }
    XDesktop::WindowId mainWindow() const { return m_mainWindow; }
    /// A place of the main window (\a inWindow, within its client area) on the screen.
    QPoint onScreen(QPoint inWindow) const
    {
        return XDesktop::windowInfo(m_mainWindow)
                   .value_or(XDesktop::WindowInfo{})
                   .geometry.topLeft() +
               inWindow;
    }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    /// Whether the running program has a library whose file name contains \a name mapped.
    bool hasLoaded(const QByteArray& name) const;
    /// How often each of the program's threads, by name, has given up the processor to wait:
    /// its wake-ups so far.
    QMap<QString, qint64> wakeUpsByThread() const;
    /// Waits for the program to end by itself; true if it ended with exit code 0.
    bool waitForExit(std::chrono::milliseconds timeout, QString* how);
    /// Ends the program (terminate, then kill) if it still runs.
    void stop();

  private:
    QString m_folder;
    QProcess m_process;
    XDesktop::WindowId m_mainWindow = 0;
    qint64 m_pid = 0;
};
