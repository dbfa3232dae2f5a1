#include "XDesktop.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace XDesktop {

namespace {

std::optional<WindowId> parseWindow(const QString& text)
{
    bool ok = false;
    const WindowId window =
        text.startsWith(QStringLiteral("0x")) ? text.mid(2).toUInt(&ok, 16) : text.toUInt(&ok, 10);
    return ok ? std::optional<WindowId>(window) : std::nullopt;
}

QString captured(const QString& text, const QString& pattern)
{
    const auto match = QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

} // namespace

CommandResult run(const QString& program, const QStringList& arguments,
                  std::chrono::milliseconds timeout)
{
    QProcess process;
    process.start(program, arguments);
    CommandResult result;
    if (!process.waitForStarted(int(timeout.count()))) {
        result.errors = process.errorString().toUtf8();
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(int(timeout.count()))) {
        process.kill();
        process.waitForFinished();
        result.errors = "timed out: " + process.readAllStandardError();
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QTest::qWait(int(step.count()));
    }
}

QList<WindowId> search(const QStringList& options)
{
    const CommandResult result = run(QStringLiteral("xdotool"), QStringList{"search"} + options);
    QList<WindowId> windows;
    for (const QByteArray& line : result.output.split('\n')) {
        if (const auto window = parseWindow(QString::fromLatin1(line.trimmed())))
            windows.append(*window);
    }
    return windows;
}

QString windowName(WindowId window)
{
    const CommandResult result = run(QStringLiteral("xdotool"), {"getwindowname", hex(window)});
    QString name = QString::fromUtf8(result.output);
    if (name.endsWith(u'\n'))
        name.chop(1);
    return name;
}

std::optional<WindowInfo> windowInfo(WindowId window)
{
    const CommandResult result = run(QStringLiteral("xwininfo"), {"-id", hex(window)});
    if (!result.ok())
        return std::nullopt;
    const QString text = QString::fromUtf8(result.output);
    WindowInfo info;
    info.geometry = QRect(captured(text, QStringLiteral("Absolute upper-left X:(.*)$")).toInt(),
                          captured(text, QStringLiteral("Absolute upper-left Y:(.*)$")).toInt(),
                          captured(text, QStringLiteral("^\\s*Width:(.*)$")).toInt(),
                          captured(text, QStringLiteral("^\\s*Height:(.*)$")).toInt());
    info.viewable = captured(text, QStringLiteral("Map State:(.*)$")) == u"IsViewable";
    return info;
}

std::optional<WindowId> parentOf(WindowId window)
{
    const CommandResult result = run(QStringLiteral("xwininfo"), {"-children", "-id", hex(window)});
    if (!result.ok())
        return std::nullopt;
    return parseWindow(captured(QString::fromUtf8(result.output),
                                QStringLiteral("Parent window id:\\s*(0x[0-9a-fA-F]+)")));
}

QString wmState(WindowId window)
{
    const CommandResult result = run(QStringLiteral("xprop"), {"-id", hex(window), "WM_STATE"});
    return captured(QString::fromUtf8(result.output), QStringLiteral("window state:(.*)$"));
}

QStringList netWmState(WindowId window)
{
    const CommandResult result =
        run(QStringLiteral("xprop"), {"-id", hex(window), "-notype", "_NET_WM_STATE"});
    const QString value =
        captured(QString::fromUtf8(result.output), QStringLiteral("^_NET_WM_STATE\\s*=(.*)$"));
    QStringList atoms;
    for (const QString& atom : value.split(u',', Qt::SkipEmptyParts))
        atoms.append(atom.trimmed());
    return atoms;
}

QList<WindowId> clientList()
{
    const CommandResult result =
        run(QStringLiteral("xprop"), {"-root", "-notype", "_NET_CLIENT_LIST"});
    QList<WindowId> windows;
    const QString value = captured(QString::fromUtf8(result.output),
                                   QStringLiteral("^_NET_CLIENT_LIST:\\s*window id #(.*)$"));
    for (const QString& item : value.split(u',', Qt::SkipEmptyParts)) {
        if (const auto window = parseWindow(item.trimmed()))
            windows.append(*window);
    }
    return windows;
}

std::optional<WindowId> systemTrayOwner()
{
    const CommandResult result = run(QStringLiteral("python3"), {PINGORA_TRAY_OWNER_SCRIPT});
    const auto owner = parseWindow(QString::fromLatin1(result.output.trimmed()));
    if (!result.ok() || !owner || *owner == 0)
        return std::nullopt;
    return owner;
}

bool moveMouseTo(QPoint at)
{
    return run(QStringLiteral("xdotool"),
               {"mousemove", QString::number(at.x()), QString::number(at.y())})
        .ok();
}

bool clickAt(QPoint at, int button)
{
    // One xdotool call: the server delivers the motion before the press and release.
    return run(QStringLiteral("xdotool"),
               {"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
                QString::number(button)})
        .ok();
}

bool screenshot(WindowId window, const QString& pngPath)
{
    return run(QStringLiteral("import"), {"-window", hex(window), QStringLiteral("png:") + pngPath})
        .ok();
}

QString hex(WindowId window)
{
    return QStringLiteral("0x") + QString::number(window, 16);
}

} // namespace XDesktop
