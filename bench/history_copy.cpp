// Benchmark of "Copy History To Clipboard" and "View History Log" on large history logs.
//
// For logs of 1 MiB, 100 MiB and 1 GiB (or the sizes in MiB given as arguments) it prints:
// the time to read the log once, the time of the copy command and its ratio to that (target:
// at most 2), the longest gap between ticks of a 10 ms timer during the copy (the window's
// responsiveness), and the time the view command takes. On an X server (run it inside
// tests/support/desktop-session.sh) it also times another program pasting the copied log (xclip)
// and, in that private session only, the start of a viewer of its own for the view command.
// It never fails: it measures.
#include "Form1Probe.h"
#include "core/SettingsStore.h"
#include "history/HistoryCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

const QByteArray kLine = "Beeped at 8/31/2021 3:04:05 PM\r\n";
// Small logs take well under a millisecond, where a loaded machine's noise dominates: they
// get more rounds.
int roundsFor(qint64 bytes)
{
    return bytes < (64 << 20) ? 50 : 3;
}

// Longest gap between ticks of a 10 ms timer while it runs: how long the window could not
// react.
class TickGap
{
  public:
    TickGap()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_sinceTick.restart()); });
    }
    void start()
    {
        m_longest = 0;
        m_sinceTick.start();
        m_timer.start();
    }
    qint64 stop()
    {
        m_timer.stop();
        return std::max(m_longest, m_sinceTick.elapsed());
    }

  private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

// Closes any message box, so that a failure is printed instead of waiting for a person.
class BoxCloser
{
  public:
    BoxCloser()
    {
        m_poll.setInterval(20);
        QObject::connect(&m_poll, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                std::printf("  message box: %s\n", qPrintable(box->text()));
                box->done(QMessageBox::No);
            }
        });
        m_poll.start();
    }

  private:
    QTimer m_poll;
};

qint64 writeLog(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    QByteArray block;
    while (block.size() + kLine.size() <= (1 << 20))
        block += kLine;
    qint64 written = 0;
    while (written + block.size() <= bytes)
        written += file.write(block);
    while (written + kLine.size() <= bytes)
        written += file.write(kLine);
    return written;
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double readOnceMs(const QString& path, qint64* bytesRead)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    *bytesRead = file.readAll().size();
    return msSince(timer);
}

template <typename Measure> double best(int rounds, Measure measure)
{
    double fastest = -1;
    for (int round = 0; round < rounds; ++round) {
        const double ms = measure();
        if (fastest < 0 || ms < fastest)
            fastest = ms;
    }
    return fastest;
}

// Another program pastes the clipboard: xclip reads it through the X server.
void timePaste(qint64 expectedBytes)
{
    if (QStandardPaths::findExecutable("xclip").isEmpty()) {
        std::printf("  paste by xclip: not measured (no xclip)\n");
        return;
    }
    QProcess xclip;
    qint64 received = 0;
    QObject::connect(&xclip, &QProcess::readyReadStandardOutput,
                     [&] { received += xclip.readAllStandardOutput().size(); });
    TickGap gap;
    QElapsedTimer timer;
    timer.start();
    gap.start();
    xclip.start("xclip", {"-o", "-selection", "clipboard"});
    // The X server and this program's event loop move the text, so the loop must run.
    while (xclip.state() != QProcess::NotRunning || xclip.bytesAvailable() > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        received += xclip.readAllStandardOutput().size();
        if (timer.elapsed() > 300000) {
            xclip.kill();
            break;
        }
    }
    const qint64 ms = timer.elapsed();
    std::printf("  paste by xclip: %lld ms for %lld of %lld bytes, longest tick gap %lld ms\n", ms,
                received, expectedBytes, gap.stop());
}

// In a private desktop session only: a viewer of the bench's own for plain text, so that the
// view command's time includes the start of a real program.
QString installViewer(const QString& folder)
{
    if (qEnvironmentVariableIsEmpty("PINGORA_SESSION_DIR") ||
        QGuiApplication::platformName() != "xcb")
        return QString();
    const QString record = folder + "/viewer.args";
    const QString script = folder + "/viewer.sh";
    QFile scriptFile(script);
    scriptFile.open(QIODevice::WriteOnly);
    scriptFile.write(
        QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1.part' && mv '%1.part' '%1'\n")
            .arg(record)
            .toLocal8Bit());
    scriptFile.close();
    scriptFile.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + "/applications";
    QDir().mkpath(applications);
    QFile entry(applications + "/pingora-bench-viewer.desktop");
    entry.open(QIODevice::WriteOnly);
    entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Bench viewer\nExec=%1 "
                               "%f\nMimeType=text/plain;\n")
                    .arg(script)
                    .toLocal8Bit());
    QFile mimeapps(qEnvironmentVariable("XDG_CONFIG_HOME") + "/mimeapps.list");
    mimeapps.open(QIODevice::WriteOnly);
    mimeapps.write("[Default Applications]\ntext/plain=pingora-bench-viewer.desktop\n");
    qunsetenv("XDG_CURRENT_DESKTOP");
    return record;
}

void timeView(Form1& form, const QString& record, const char* when)
{
    QFile::remove(record);
    QElapsedTimer timer;
    timer.start();
    Form1Probe(form).PushButton3()->click();
    const double clickMs = msSince(timer);
    if (record.isEmpty()) {
        std::printf("  view %s: command %.2f ms\n", when, clickMs);
        return;
    }
    while (!QFile::exists(record) && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QFile received(record);
    received.open(QIODevice::ReadOnly);
    const bool right = received.readAll() == QFile::encodeName(Form1Probe(form).HistoryLogPath());
    std::printf("  view %s: command %.2f ms, viewer started with the log's path after %lld "
                "ms%s\n",
                when, clickMs, timer.elapsed(), right ? "" : " (WRONG PATH)");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<qint64> sizesMiB;
    for (const QString& argument : app.arguments().mid(1))
        sizesMiB << argument.toLongLong();
    if (sizesMiB.isEmpty())
        sizesMiB = {1, 100, 1024};

    QTemporaryDir folder;
    qputenv("TEMP", folder.path().toLocal8Bit());
    const QString viewerRecord = installViewer(folder.path());
    Platform platform = Platform::real();
    platform.randomFraction = [] { return 0.5; }; // no home page at start-up
    platform.endProgram = [] {};
    if (QGuiApplication::platformName() != "xcb")
        platform.openTextFile = [](const QString&) {}; // no desktop to start a viewer on
    Form1 form(platform, SettingsStore(folder.filePath("settings.ini"), "Pingora"));
    form.Form_Load();
    form.show();
    BoxCloser closer;

    std::printf("History log commands on %s; the clipboard takes logs up to %lld MiB; best of "
                "%d rounds (%d below 64 MiB)\n",
                qPrintable(QGuiApplication::platformName()),
                HistoryCommands::kClipboardLimitBytes >> 20, roundsFor(qint64(1) << 30),
                roundsFor(0));
    for (const qint64 mib : sizesMiB) {
        const qint64 size = writeLog(Form1Probe(form).HistoryLogPath(), mib << 20);
        std::printf("log of %lld MiB (%lld bytes):\n", mib, size);
        qint64 bytesRead = 0;
        readOnceMs(Form1Probe(form).HistoryLogPath(),
                   &bytesRead); // the file in the page cache, as after a beep
        const double readMs = best(roundsFor(size), [&] {
            return readOnceMs(Form1Probe(form).HistoryLogPath(), &bytesRead);
        });
        std::printf("  read once: %.2f ms\n", readMs);
        timeView(form, viewerRecord, "before copying");

        qint64 longestGap = 0;
        const double copyMs = best(roundsFor(size), [&] {
            // The clipboard still holds the previous round's copy, as when a user copies twice.
            TickGap gap;
            QElapsedTimer timer;
            timer.start();
            gap.start();
            Form1Probe(form).PushButton8()->click();
            const double ms = msSince(timer);
            longestGap = std::max(longestGap, gap.stop());
            return ms;
        });
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        const qint64 copiedBytes = copied ? copied->data("text/plain").size() : 0;
        const qint64 expectedBytes = size - size / kLine.size();
        const double ratio = copyMs / readMs;
        std::printf("  copy: %.2f ms = %.2f x read (target <= 2: %s), longest tick gap %lld ms, "
                    "%lld bytes on the clipboard%s\n",
                    copyMs, ratio, ratio <= 2 ? "met" : "MISSED", longestGap, copiedBytes,
                    copiedBytes == expectedBytes ? "" : " (NOT THE WHOLE LOG)");
        if (QGuiApplication::platformName() == "xcb" && copiedBytes > 0)
            timePaste(copiedBytes);
        // Starting a program forks this one, which then holds the copied log.
        timeView(form, viewerRecord, "with the log on the clipboard");
        QGuiApplication::clipboard()->clear();
    }
    const qint64 over = writeLog(Form1Probe(form).HistoryLogPath(),
                                 HistoryCommands::kClipboardLimitBytes + (1 << 20));
    QElapsedTimer timer;
    timer.start();
    Form1Probe(form).PushButton8()->click();
    std::printf("log of %lld bytes, over the limit: told in %lld ms (box closed by the bench)\n",
                over, timer.elapsed());
    QFile::remove(Form1Probe(form).HistoryLogPath());
    std::fflush(stdout);
    return 0;
}
