// Pingora on a desktop with a tray (icewm) and a notification daemon (dunst), driven as a
// person drives it: the icon sits in the tray with its tooltip, the first minimise sends the
// window into the tray with a balloon, a click on the icon brings it back, the start-up box
// writes and removes the autostart entry, and closing the window ends the program and takes
// the icon away. The steps run in order on one run of the program.

#include "AtSpiClient.h"
#include "NotificationMonitor.h"
#include "ProgramRun.h"
#include "XDesktop.h"

#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using XDesktop::WindowId;

namespace {

const QString kProductName = QStringLiteral("Pingora");
const QString kBalloonText =
    QStringLiteral("has been minimized to the system tray.\nClick on the blue 'W' icon (W for "
                   "Wrenfield) to bring the software back.");
const QString kStartupBoxCaption = QStringLiteral("Load this software on Windows startup");
const QString kTrayBoxCaption = QStringLiteral("Minimized to system tray");
// Generous: a busy machine may take seconds to let a program answer.
constexpr auto kPatience = 30s;

QString autostartEntryPath()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") +
           QStringLiteral("/autostart/com.example.pingora.desktop");
}

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}

// The program an Exec value starts: its first argument, unquoted as desktop entries quote.
QString execProgram(const QString& exec)
{
    QString value = exec;
    value.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    if (!value.startsWith(u'"'))
        return value.section(u' ', 0, 0);
    QString program;
    for (qsizetype i = 1; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size())
            program += value[++i];
        else if (value[i] == u'"')
            break;
        else
            program += value[i];
    }
    return program;
}

} // namespace

class tst_TrayDesktop : public QObject
{
    Q_OBJECT

  private:
    QTemporaryDir m_pictures;
    NotificationMonitor m_notifications;
    AtSpiClient m_atspi;
    ProgramRun m_program;
    Accessible m_app;
    WindowId m_trayOwner = 0;
    WindowId m_icon = 0;

    std::optional<Accessible> control(const QString& role, const QString& name)
    {
        return m_atspi.findByRoleAndName(m_app, role, name);
    }

    // Docked: embedded in the window that owns the tray selection, or, as icewm does it,
    // in its tray window beside the proxy that owns the selection.
    bool isInTheTray(WindowId window)
    {
        for (auto parent = XDesktop::parentOf(window); parent && *parent != 0;
             parent = XDesktop::parentOf(*parent)) {
            if (*parent == m_trayOwner || XDesktop::windowName(*parent) == u"SystemTray")
                return true;
        }
        return false;
    }

    bool mainWindowShownNormally()
    {
        const auto info = XDesktop::windowInfo(m_program.mainWindow());
        return info && info->viewable && XDesktop::wmState(m_program.mainWindow()) == u"Normal" &&
               !XDesktop::netWmState(m_program.mainWindow())
                    .contains(QStringLiteral("_NET_WM_STATE_HIDDEN")) &&
               XDesktop::clientList().contains(m_program.mainWindow());
    }

    // Clicks a check box where a person would: on its box, at the left end.
    void clickCheckBox(const Accessible& box)
    {
        const QRect area = m_atspi.extents(box);
        QVERIFY2(!area.isEmpty(), "the check box has no place on the screen");
        QVERIFY(XDesktop::clickAt(QPoint(area.left() + area.height() / 2, area.center().y())));
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PINGORA_SESSION_DIR"),
                 "run this test inside desktop-session.sh --wm --notifications");
        const auto owner = XDesktop::systemTrayOwner();
        QVERIFY2(owner, "no system tray on this display");
        m_trayOwner = *owner;
        QString error;
        QVERIFY2(m_notifications.start(&error), qPrintable(error));
        QVERIFY2(m_atspi.connect(&error), qPrintable(error));
        QFile::remove(autostartEntryPath());
        // Auto beep off: nothing in this test needs sound.
        QVERIFY(ProgramRun::writeSettings({{"StartStopState", "Off"}}));
        QVERIFY2(m_program.start(&error), qPrintable(error));
        const std::optional<Accessible> app = m_atspi.waitForApplication(m_program.pid(), 60s);
        QVERIFY2(app, "the program never joined the accessibility bus");
        m_app = *app;
    }

    void iconDocksInTheTray()
    {
        const QString pid = QString::number(m_program.pid());
        QVERIFY2(XDesktop::waitUntil(
                     [&] {
                         for (WindowId window : XDesktop::search({"--pid", pid})) {
                             const auto info = XDesktop::windowInfo(window);
                             if (info && info->viewable && isInTheTray(window)) {
                                 m_icon = window;
                                 return true;
                             }
                         }
                         return false;
                     },
                     kPatience),
                 "no window of the program inside the tray");
        const QRect icon = XDesktop::windowInfo(m_icon).value_or(XDesktop::WindowInfo{}).geometry;
        qInfo("tray icon %s at %d,%d size %dx%d", qPrintable(XDesktop::hex(m_icon)), icon.x(),
              icon.y(), icon.width(), icon.height());
        QVERIFY2(icon.width() >= 16 && icon.height() >= 16 && icon.width() <= 64,
                 "the tray icon is not icon-sized");

        // What shows there is the blue W on light cyan.
        const QString picture = m_pictures.filePath(QStringLiteral("tray-icon.png"));
        QVERIFY(XDesktop::screenshot(m_icon, picture));
        const QImage image(picture);
        int letter = 0;
        int ground = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor colour = image.pixelColor(x, y);
                letter += near(colour, QColor(7, 162, 254));
                ground += near(colour, QColor(177, 255, 255));
            }
        }
        QVERIFY2(letter >= 10 && ground >= 30,
                 qPrintable(QStringLiteral("%1 blue and %2 cyan pixels").arg(letter).arg(ground)));
    }

    void hoveringTheIconShowsItsTooltip()
    {
        QVERIFY(m_icon);
        const QPoint centre =
            XDesktop::windowInfo(m_icon).value_or(XDesktop::WindowInfo{}).geometry.center();
        // The tooltip appears after the pointer rests on the icon; it is a window of its own,
        // and its text is readable like any other text of the program.
        std::optional<Accessible> tip;
        bool shown = false;
        for (int attempt = 0; attempt < 3 && !shown; ++attempt) {
            // Come from outside, so that the icon sees the pointer enter.
            XDesktop::moveMouseTo(centre + QPoint(0, -200));
            XDesktop::moveMouseTo(centre);
            shown = XDesktop::waitUntil(
                [&] {
                    tip = m_atspi.find(m_app, [&](const Accessible& object) {
                        return m_atspi.roleName(object) == u"tool tip";
                    });
                    return tip && m_atspi.hasState(*tip, AtSpiClient::State::Showing);
                },
                10s, 200ms);
        }
        QVERIFY2(shown, "no tooltip appeared over the tray icon");
        QCOMPARE(m_atspi.name(*tip), kProductName);
        XDesktop::moveMouseTo(QPoint(5, 5));
    }

    void firstMinimiseHidesTheWindowWithABalloon()
    {
        QVERIFY(mainWindowShownNormally());
        QVERIFY(XDesktop::run(QStringLiteral("xdotool"),
                              {"windowminimize", XDesktop::hex(m_program.mainWindow())})
                    .ok());
        // Gone from the screen and from the taskbar: the window manager no longer manages it.
        QVERIFY2(XDesktop::waitUntil(
                     [&] {
                         const auto info = XDesktop::windowInfo(m_program.mainWindow());
                         return info && !info->viewable &&
                                !XDesktop::clientList().contains(m_program.mainWindow());
                     },
                     kPatience),
                 "the window did not leave the screen and the taskbar");
        QVERIFY2(XDesktop::wmState(m_program.mainWindow()) != u"Iconic",
                 "the window was only minimised, not hidden");

        QList<NotificationMonitor::Notify> notifies;
        QVERIFY2(XDesktop::waitUntil(
                     [&] { return !(notifies = m_notifications.notifies()).isEmpty(); }, kPatience),
                 "no notification reached the daemon");
        QCOMPARE(notifies.size(), 1);
        QCOMPARE(notifies[0].summary, kProductName);
        QCOMPARE(notifies[0].body, kBalloonText);
    }

    void clickOnTheIconBringsTheWindowBack()
    {
        QVERIFY(m_icon);
        const QPoint centre =
            XDesktop::windowInfo(m_icon).value_or(XDesktop::WindowInfo{}).geometry.center();
        QVERIFY(XDesktop::clickAt(centre, 1));
        QVERIFY2(XDesktop::waitUntil([&] { return mainWindowShownNormally(); }, kPatience),
                 "the window did not come back");
        // A second minimise goes to the taskbar, without a balloon; the icon restores it.
        QVERIFY(XDesktop::run(QStringLiteral("xdotool"),
                              {"windowminimize", XDesktop::hex(m_program.mainWindow())})
                    .ok());
        QVERIFY2(
            XDesktop::waitUntil(
                [&] { return XDesktop::wmState(m_program.mainWindow()) == u"Iconic"; }, kPatience),
            "the second minimise did not leave the window on the taskbar");
        QVERIFY(XDesktop::clientList().contains(m_program.mainWindow()));
        QVERIFY(XDesktop::clickAt(centre, 1));
        QVERIFY2(XDesktop::waitUntil([&] { return mainWindowShownNormally(); }, kPatience),
                 "the window did not come back from the taskbar");
        QCOMPARE(m_notifications.notifies().size(), 1);
    }

    void startupBoxWritesTheAutostartEntry()
    {
        const auto startupBox = control(QStringLiteral("check box"), kStartupBoxCaption);
        const auto trayBox = control(QStringLiteral("check box"), kTrayBoxCaption);
        QVERIFY(startupBox && trayBox);
        QVERIFY(!m_atspi.hasState(*trayBox, AtSpiClient::State::Showing));

        clickCheckBox(*startupBox);
        QVERIFY2(
            XDesktop::waitUntil([&] { return QFile::exists(autostartEntryPath()); }, kPatience),
            "no autostart entry written");
        QVERIFY(m_atspi.hasState(*startupBox, AtSpiClient::State::Checked));
        QVERIFY2(
            XDesktop::waitUntil(
                [&] { return m_atspi.hasState(*trayBox, AtSpiClient::State::Showing); }, kPatience),
            "the tray box did not appear");
        QCOMPARE(ProgramRun::readSetting(QStringLiteral("Windows Startup")), QStringLiteral("On"));

        const auto validate =
            XDesktop::run(QStringLiteral("desktop-file-validate"), {autostartEntryPath()});
        QVERIFY2(validate.ok(), validate.output.constData());
        if (!validate.output.isEmpty())
            qInfo("desktop-file-validate: %s", validate.output.constData());

        QFile entry(autostartEntryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        const auto exec =
            QRegularExpression(QStringLiteral("^Exec=(.*)$"), QRegularExpression::MultilineOption)
                .match(text);
        QVERIFY2(exec.hasMatch(), qPrintable(text));
        const QString program =
            QFileInfo(ProgramRun::builtProgramFolder() + QStringLiteral("/pingora"))
                .canonicalFilePath();
        QCOMPARE(execProgram(exec.captured(1)), program);

        // Ticking the tray box is kept as a setting.
        clickCheckBox(*trayBox);
        QVERIFY2(XDesktop::waitUntil(
                     [&] { return ProgramRun::readSetting(QStringLiteral("Minimized")) == u"On"; },
                     kPatience),
                 "Minimized was not stored");
    }

    void clearingTheStartupBoxRemovesTheEntry()
    {
        const auto startupBox = control(QStringLiteral("check box"), kStartupBoxCaption);
        const auto trayBox = control(QStringLiteral("check box"), kTrayBoxCaption);
        QVERIFY(startupBox && trayBox);
        QVERIFY(QFile::exists(autostartEntryPath()));
        clickCheckBox(*startupBox);
        QVERIFY2(
            XDesktop::waitUntil([&] { return !QFile::exists(autostartEntryPath()); }, kPatience),
            "the autostart entry is still there");
        QVERIFY2(XDesktop::waitUntil(
                     [&] { return !m_atspi.hasState(*trayBox, AtSpiClient::State::Showing); },
                     kPatience),
                 "the tray box is still shown");
        QVERIFY(!m_atspi.hasState(*trayBox, AtSpiClient::State::Checked));
        QCOMPARE(ProgramRun::readSetting(QStringLiteral("Windows Startup")), QStringLiteral("Off"));
        QCOMPARE(ProgramRun::readSetting(QStringLiteral("Minimized")), QStringLiteral("Off"));
    }

    void closingEndsTheProgramAndTakesTheIconAway()
    {
        QVERIFY(m_icon);
        // As a person closes a window: the window manager's close key on the active window.
        QVERIFY(XDesktop::run(QStringLiteral("xdotool"),
                              {"windowactivate", "--sync", XDesktop::hex(m_program.mainWindow())})
                    .ok());
        QVERIFY(
            XDesktop::run(QStringLiteral("xdotool"), {"key", "--clearmodifiers", "alt+F4"}).ok());
        QString how;
        QVERIFY2(m_program.waitForExit(kPatience, &how), qPrintable(how));
        QVERIFY2(XDesktop::waitUntil([&] { return !XDesktop::windowInfo(m_icon); }, kPatience),
                 "the tray icon is still there");
        const QString pid = QString::number(m_program.pid());
        QVERIFY(XDesktop::search({"--pid", pid}).isEmpty());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    tst_TrayDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tray_desktop.moc"
