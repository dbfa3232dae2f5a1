#pragma once

#include <QDBusConnection>
#include <QList>
#include <QRect>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

/// One object of a program's accessibility tree: the bus name that serves it and its path.
struct Accessible
{
    QString service;
    QString path;
};

/// Reads what a running program shows through its accessibility tree (AT-SPI), as a screen
/// reader does: captions, roles, states, positions and values of its controls.
///
/// The program must have its accessibility bridge on (Qt: QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1);
/// the session bus starts the accessibility bus on the first request.
class AtSpiClient
{
  public:
    /// Bits of an object's state set, numbered as AT-SPI numbers them.
    enum class State : int {
        Checked = 4,
        Enabled = 8,
        Focused = 12,
        Showing = 25,
        Visible = 30,
    };

    AtSpiClient();
    ~AtSpiClient();
    AtSpiClient(const AtSpiClient&) = delete;
    AtSpiClient& operator=(const AtSpiClient&) = delete;

    /// Connects to the accessibility bus of the session. Returns false with \a error set.
    bool connect(QString* error);

    /// The root of the program run by process \a pid, once it has joined the accessibility
    /// bus; nothing if it has not.
    std::optional<Accessible> application(qint64 pid) const;
    /// application(), waited for up to \a timeout: a program joins the bus after its start.
    std::optional<Accessible> waitForApplication(qint64 pid,
                                                 std::chrono::milliseconds timeout) const;

    QList<Accessible> children(const Accessible& object) const;
    QString name(const Accessible& object) const;
    QString description(const Accessible& object) const;
    /// The role as AT-SPI names it: "check box", "push button", "tool tip", ...
    QString roleName(const Accessible& object) const;
    bool hasState(const Accessible& object, State state) const;
    /// The object's rectangle in screen coordinates; empty when it cannot be read.
    QRect extents(const Accessible& object) const;
    /// Current and maximum value of a value object (a progress bar); nothing if not readable.
    std::optional<double> currentValue(const Accessible& object) const;
    std::optional<double> maximumValue(const Accessible& object) const;

    /// The first object below \a root, depth first, for which \a match holds.
    std::optional<Accessible> find(const Accessible& root,
                                   const std::function<bool(const Accessible&)>& match) const;
    /// The first object below \a root with that role and name.
    std::optional<Accessible> findByRoleAndName(const Accessible& root, const QString& role,
                                                const QString& name) const;

  private:
    std::optional<QVariant> property(const Accessible& object, const QString& interface,
                                     const QString& name) const;

    QString m_connectionName;
    std::optional<QDBusConnection> m_bus;
};
