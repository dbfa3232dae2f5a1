#include "AtSpiClient.h"

#include "XDesktop.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QUuid>

namespace {

const QString kAccessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString kComponentInterface = QStringLiteral("org.a11y.atspi.Component");
const QString kValueInterface = QStringLiteral("org.a11y.atspi.Value");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kRootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
// A program that is busy (inside a beep, say) answers late, not never.
constexpr int kCallTimeoutMs = 10000;
constexpr uint kScreenCoordinates = 0;

QVariant unwrap(QVariant value)
{
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

AtSpiClient::AtSpiClient() = default;

AtSpiClient::~AtSpiClient()
{
    if (m_bus)
        QDBusConnection::disconnectFromBus(m_connectionName);
}

bool AtSpiClient::connect(QString* error)
{
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    // The first call starts the accessibility bus, which can take a while on a busy machine.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 60000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        *error = QStringLiteral("no accessibility bus: ") + reply.errorMessage();
        return false;
    }
    const QString address = reply.arguments().constFirst().toString();
    m_connectionName = QStringLiteral("a11y-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!bus.isConnected()) {
        *error = QStringLiteral("cannot connect to the accessibility bus at ") + address + u' ' +
                 bus.lastError().message();
        QDBusConnection::disconnectFromBus(m_connectionName);
        return false;
    }
    m_bus = bus;
    return true;
}

std::optional<Accessible> AtSpiClient::waitForApplication(qint64 pid,
                                                          std::chrono::milliseconds timeout) const
{
    std::optional<Accessible> found;
    XDesktop::waitUntil([&] { return (found = application(pid)).has_value(); }, timeout);
    return found;
}

std::optional<Accessible> AtSpiClient::application(qint64 pid) const
{
    const QDBusMessage list = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    const QDBusMessage names = m_bus->call(list, QDBus::Block, kCallTimeoutMs);
    if (names.arguments().isEmpty())
        return std::nullopt;
    for (const QString& name : names.arguments().constFirst().toStringList()) {
        if (!name.startsWith(u':'))
            continue;
        QDBusMessage askPid = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
        askPid << name;
        const QDBusMessage answer = m_bus->call(askPid, QDBus::Block, kCallTimeoutMs);
        if (answer.arguments().isEmpty() || answer.arguments().constFirst().toLongLong() != pid)
            continue;
        const Accessible root{name, kRootPath};
        // The bridge owns its bus name a moment before it serves the tree.
        if (roleName(root).isEmpty())
            return std::nullopt;
        return root;
    }
    return std::nullopt;
}

QList<Accessible> AtSpiClient::children(const Accessible& object) const
{
    const QDBusMessage call = QDBusMessage::createMethodCall(
        object.service, object.path, kAccessibleInterface, QStringLiteral("GetChildren"));
    const QDBusMessage reply = m_bus->call(call, QDBus::Block, kCallTimeoutMs);
    QList<Accessible> result;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return result;
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        Accessible child;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> child.service >> path;
        argument.endStructure();
        child.path = path.path();
        result.append(child);
    }
    argument.endArray();
    return result;
}

std::optional<QVariant> AtSpiClient::property(const Accessible& object, const QString& interface,
                                              const QString& name) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(object.service, object.path,
                                                       kPropertiesInterface, QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = m_bus->call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return unwrap(reply.arguments().constFirst());
}

QString AtSpiClient::name(const Accessible& object) const
{
    return property(object, kAccessibleInterface, QStringLiteral("Name"))
        .value_or(QVariant())
        .toString();
}

QString AtSpiClient::description(const Accessible& object) const
{
    return property(object, kAccessibleInterface, QStringLiteral("Description"))
        .value_or(QVariant())
        .toString();
}

QString AtSpiClient::roleName(const Accessible& object) const
{
    const QDBusMessage call = QDBusMessage::createMethodCall(
        object.service, object.path, kAccessibleInterface, QStringLiteral("GetRoleName"));
    const QDBusMessage reply = m_bus->call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QString();
    return reply.arguments().constFirst().toString();
}

bool AtSpiClient::hasState(const Accessible& object, State state) const
{
    const QDBusMessage call = QDBusMessage::createMethodCall(
        object.service, object.path, kAccessibleInterface, QStringLiteral("GetState"));
    const QDBusMessage reply = m_bus->call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    // Two 32-bit words, the first holding states 0 to 31.
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    QList<uint> words;
    argument >> words;
    const int bit = static_cast<int>(state);
    return words.size() > bit / 32 && (words.at(bit / 32) >> (bit % 32)) & 1u;
}

QRect AtSpiClient::extents(const Accessible& object) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        object.service, object.path, kComponentInterface, QStringLiteral("GetExtents"));
    call << kScreenCoordinates;
    const QDBusMessage reply = m_bus->call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QRect();
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    int x = 0, y = 0, width = 0, height = 0;
    argument.beginStructure();
    argument >> x >> y >> width >> height;
    argument.endStructure();
    return QRect(x, y, width, height);
}

std::optional<double> AtSpiClient::currentValue(const Accessible& object) const
{
    const auto value = property(object, kValueInterface, QStringLiteral("CurrentValue"));
    if (!value)
        return std::nullopt;
    return value->toDouble();
}

std::optional<double> AtSpiClient::maximumValue(const Accessible& object) const
{
    const auto value = property(object, kValueInterface, QStringLiteral("MaximumValue"));
    if (!value)
        return std::nullopt;
    return value->toDouble();
}

std::optional<Accessible>
AtSpiClient::find(const Accessible& root, const std::function<bool(const Accessible&)>& match) const
{
    for (const Accessible& child : children(root)) {
        if (match(child))
            return child;
        if (auto found = find(child, match))
            return found;
    }
    return std::nullopt;
}

std::optional<Accessible> AtSpiClient::findByRoleAndName(const Accessible& root,
                                                         const QString& role,
                                                         const QString& name) const
{
    return find(root, [&](const Accessible& object) {
        return roleName(object) == role && this->name(object) == name;
    });
}
