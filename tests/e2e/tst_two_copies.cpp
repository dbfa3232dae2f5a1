// Two copies of the program running at once share one settings file: when both store a
// setting at the same moment, neither loses the other's. The other copy's log-on box is
// clicked and this copy's interval row moved by its keyboard in one breath, round after round,
// the second a little later each time, with the file read after each round.

#include "AtSpiClient.h"
#include "ProgramRun.h"
#include "XDesktop.h"

#include <QTest>

using namespace std::chrono_literals;

class tst_TwoCopies : public QObject
{
    Q_OBJECT

    AtSpiClient m_atspi;
    ProgramRun m_first;
    ProgramRun m_second;

    // Starts \a run, puts its window at \a x and gives the centre of each control named.
    void startAt(ProgramRun& run, int x, const QStringList& names, QList<QPoint>* centres)
    {
        QString error;
        QVERIFY2(run.start(&error), qPrintable(error));
        QVERIFY(XDesktop::run(QStringLiteral("xdotool"),
                              {QStringLiteral("windowmove"), XDesktop::hex(run.mainWindow()),
                               QString::number(x), QStringLiteral("40")})
                    .ok());
        const std::optional<Accessible> app = m_atspi.waitForApplication(run.pid(), 60s);
        QVERIFY2(app, "the program never joined the accessibility bus");
        for (const QString& name : names) {
            QPoint centre;
            // The window may still be on its way to where it was moved.
            XDesktop::waitUntil(
                [&] {
                    const auto found = m_atspi.find(*app, [&](const Accessible& object) {
                        const QRect box = m_atspi.extents(object);
                        return m_atspi.name(object) == name && box.height() > 0 &&
                               box.height() < 60 && box.left() >= x;
                    });
                    centre = found ? m_atspi.extents(*found).center() : QPoint();
                    return !centre.isNull();
                },
                10s);
            QVERIFY2(!centre.isNull(), qPrintable(name));
            centres->append(centre);
        }
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(ProgramRun::writeSettings({{"OftenIndex", "6"}, {"StartStopState", "Off"}}));
        QString error;
        QVERIFY2(m_atspi.connect(&error), qPrintable(error));
    }

    void simultaneousChangesOfDifferentSettingsAreAllKept()
    {
        QList<QPoint> none; // the list has the keyboard focus when the window opens
        startAt(m_first, 0, {}, &none);
        QList<QPoint> box;
        startAt(m_second, 800, {"Load this software on Windows startup"}, &box);
        QCOMPARE(box.size(), 1);
        const auto at = [](QPoint point) {
            return QStringList{QString::number(point.x()), QString::number(point.y())};
        };

        int lost = 0;
        QStringList losses;
        const int rounds = 60;
        for (int round = 0; round < rounds; ++round) {
            // The box clicked with the pointer, the list told by its keyboard, in one command.
            const bool even = round % 2 == 0;
            const QString delay = QString::number(round * 0.0002, 'f', 4);
            QVERIFY(XDesktop::run(QStringLiteral("xdotool"),
                                  QStringList{"mousemove"} + at(box[0]) +
                                      QStringList{"mousedown", "1", "mouseup", "1", "sleep", delay,
                                                  "key", "--window",
                                                  XDesktop::hex(m_first.mainWindow()),
                                                  even ? "Down" : "Up"})
                        .ok());
            const QString index = even ? QStringLiteral("7") : QStringLiteral("6");
            const QString startup = even ? QStringLiteral("On") : QStringLiteral("Off");
            const auto stored = [&] {
                return ProgramRun::readSetting(QStringLiteral("OftenIndex")) == index &&
                       ProgramRun::readSetting(QStringLiteral("Windows Startup")) == startup;
            };
            if (!XDesktop::waitUntil(stored, 3s, 20ms)) {
                ++lost;
                losses << QStringLiteral("round %1: OftenIndex %2 (wanted %3), Windows Startup "
                                         "%4 (wanted %5)")
                              .arg(round)
                              .arg(ProgramRun::readSetting(QStringLiteral("OftenIndex")), index,
                                   ProgramRun::readSetting(QStringLiteral("Windows Startup")),
                                   startup);
                // The next round writes both settings afresh.
            }
        }
        QVERIFY2(
            lost == 0,
            qPrintable(QStringLiteral("%1 of %2 rounds lost a change:\n").arg(lost).arg(rounds) +
                       losses.join(u'\n')));
    }

    void cleanupTestCase()
    {
        m_first.stop();
        m_second.stop();
    }
};

QTEST_GUILESS_MAIN(tst_TwoCopies)
#include "tst_two_copies.moc"
