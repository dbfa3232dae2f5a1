#include "NotificationMonitor.h"

#include "XDesktop.h"

#include <QRegularExpression>

using namespace std::chrono_literals;

NotificationMonitor::NotificationMonitor() = default;

NotificationMonitor::~NotificationMonitor()
{
    if (m_monitor.state() != QProcess::NotRunning) {
        m_monitor.terminate();
        if (!m_monitor.waitForFinished(5000)) {
            m_monitor.kill();
            m_monitor.waitForFinished(5000);
        }
    }
}

bool NotificationMonitor::start(QString* error)
{
    m_monitor.start(QStringLiteral("dbus-monitor"),
                    {"--session", "type='method_call',interface='org.freedesktop.Notifications',"
                                  "member='Notify'"});
    if (!m_monitor.waitForStarted(30000)) {
        *error = QStringLiteral("cannot start dbus-monitor: ") + m_monitor.errorString();
        return false;
    }
    // It reports its own NameAcquired signal once it is attached to the bus.
    const bool listening = XDesktop::waitUntil(
        [&] {
            m_output += m_monitor.readAllStandardOutput();
            return m_output.contains("NameAcquired") || m_monitor.state() == QProcess::NotRunning;
        },
        30s, 50ms);
    if (!listening || m_monitor.state() == QProcess::NotRunning) {
        *error = QStringLiteral("dbus-monitor does not listen: ") +
                 QString::fromUtf8(m_monitor.readAllStandardError());
        return false;
    }
    return true;
}

QList<NotificationMonitor::Notify> NotificationMonitor::notifies()
{
    m_output += m_monitor.readAllStandardOutput();
    const QStringList lines = QString::fromUtf8(m_output).split(u'\n');

    // dbus-monitor prints each argument on a line of its own, indented by three spaces,
    // and a string as it is, so that a string with a line break goes on unindented.
    static const QRegularExpression argumentStart(
        QStringLiteral("^   (string|uint32|int32|array|dict|variant|boolean) ?(.*)$"));
    QList<Notify> found;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith(QStringLiteral("method call")) ||
            !lines[i].contains(QStringLiteral("member=Notify")))
            continue;
        QStringList arguments;
        QStringList types;
        for (++i; i < lines.size(); ++i) {
            const auto match = argumentStart.match(lines[i]);
            if (match.hasMatch()) {
                types << match.captured(1);
                arguments << match.captured(2);
                if (match.captured(1) == u"array")
                    break; // the actions: all text arguments have been read
            } else if (!arguments.isEmpty()) {
                arguments.last() += u'\n' + lines[i];
            }
        }
        // app_name, replaces_id, app_icon, summary, body
        if (types.size() < 6 ||
            types.mid(0, 5) != QStringList{"string", "uint32", "string", "string", "string"})
            continue;
        for (QString& argument : arguments) {
            if (argument.size() >= 2 && argument.startsWith(u'"') && argument.endsWith(u'"'))
                argument = argument.mid(1, argument.size() - 2);
        }
        found.append({arguments[0], arguments[3], arguments[4]});
    }
    return found;
}
