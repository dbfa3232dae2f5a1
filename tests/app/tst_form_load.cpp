// Start-up of the main window: the layout, restoring every setting, the reports of bad
// settings, the interval list and the end of the program.
#include "Form1Probe.h"
#include "ModalAnswerer.h"
#include "TestFiles.h"
#include "TestWindow.h"
#include "app/Form1Layout.h"
#include "appearance/PointerFeedback.h"
#include "beep/IntervalCatalogue.h"
#include "beep/RowChoiceWatch.h"
#include "core/NameRules.h"
#include "core/WindowTimer.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int kRowCount = int(IntervalCatalogue::kRows.size());

QString selectedRow(Form1& form)
{
    const auto selected = Form1Probe(form).ListView1()->selectedItems();
    return selected.size() == 1 ? selected.first()->text(0) : QString();
}

} // namespace

class tst_FormLoad : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void layoutAsDesigned()
    {
        TestWindow window;
        Form1& form = window.create();
        QCOMPARE(form.size(), QSize(536, 530));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form.windowTitle(), QString("Form1"));

        struct Expected
        {
            const char* name;
            const char* parent;
            QRect geometry;
            const char* text;
        };
        const Expected controls[] = {
            {"PushButton5", "Form1", {8, 8, 520, 27}, "Turn On Auto Beep"},
            {"Frame3", "Form1", {8, 196, 520, 49}, "Startup Option"},
            {"Check4", "Frame3", {16, 20, 262, 19}, "Load this software on Windows startup"},
            {"Check8", "Frame3", {288, 20, 172, 19}, "Minimized to system tray"},
            {"Frame2", "Form1", {8, 102, 520, 89}, "Beep Sound File"},
            {"Text2", "Frame2", {16, 20, 489, 23}, ""},
            {"PushButton1", "Frame2", {16, 50, 240, 27}, "Change Beep Sound File"},
            {"PushButton4", "Frame2", {264, 50, 240, 27}, "Test Beep Sound"},
            {"Frame1", "Form1", {8, 40, 520, 57}, "Next beep will occur in 00:00:00"},
            {"ProgressBar1", "Frame1", {16, 20, 487, 27}, ""},
            {"ListView1", "Form1", {8, 253, 520, 169}, ""},
            {"PushButton6", "Form1", {8, 428, 520, 27}, "Beep Now (Test)"},
            {"PushButton3", "Form1", {8, 462, 256, 27}, "View History Log"},
            {"PushButton8", "Form1", {272, 462, 256, 27}, "Copy History To Clipboard"},
            {"PushButton11", "Form1", {8, 496, 256, 27}, "Help"},
            {"PushButton12", "Form1", {272, 496, 256, 27}, "Clear History Log"},
        };
        for (const Expected& expected : controls) {
            auto* widget = form.findChild<QWidget*>(expected.name);
            QVERIFY2(widget, expected.name);
            QCOMPARE(widget->parentWidget()->objectName(), QString(expected.parent));
            QCOMPARE(widget->geometry(), expected.geometry);
            QString text;
            if (auto* button = qobject_cast<QAbstractButton*>(widget))
                text = button->text();
            else if (auto* box = qobject_cast<QGroupBox*>(widget))
                text = box->title();
            else if (auto* edit = qobject_cast<QLineEdit*>(widget))
                text = edit->text();
            QCOMPARE(text, QString(expected.text));
        }
        QVERIFY(!Form1Probe(form).Check8()->isVisibleTo(&form));
        QCOMPARE(Form1Probe(form).Timer1()->Interval(), 0);

        // The e2e tests and the benchmarks click each button in its middle.
        using namespace Form1Layout;
        const std::pair<const char*, Point> clicks[] = {
            {"PushButton5", centre(kPushButton5)},   {"PushButton1", centre(kPushButton1, kFrame2)},
            {"PushButton6", centre(kPushButton6)},   {"PushButton4", centre(kPushButton4, kFrame2)},
            {"PushButton3", centre(kPushButton3)},   {"PushButton8", centre(kPushButton8)},
            {"PushButton11", centre(kPushButton11)}, {"PushButton12", centre(kPushButton12)}};
        for (const auto& [name, at] : clicks) {
            const auto* button = form.findChild<QWidget*>(name);
            const QPoint middle = button->mapTo(&form, button->rect().center());
            QVERIFY2((QPoint(at.x, at.y) - middle).manhattanLength() <= 1, name);
        }

        // White window, frames and check boxes; bold Arial captions.
        for (QWidget* white :
             {static_cast<QWidget*>(&form), static_cast<QWidget*>(Form1Probe(form).Frame1()),
              static_cast<QWidget*>(Form1Probe(form).Frame2()),
              static_cast<QWidget*>(Form1Probe(form).Frame3()),
              static_cast<QWidget*>(Form1Probe(form).Check4()),
              static_cast<QWidget*>(Form1Probe(form).Check8())})
            QCOMPARE(white->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(Form1Probe(form).PushButton5()->font().pointSizeF(), 11.25);
        QVERIFY(Form1Probe(form).PushButton5()->font().bold());
        QCOMPARE(Form1Probe(form).Text2()->font().pointSizeF(), 9.0);
    }

    void tabOrderSkipsWhatCannotBeSeen()
    {
        TestWindow window;
        Form1& form = window.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        Form1Probe(form).ListView1()->setFocus();
        Form1Probe(form).Check4()->setChecked(true); // Check8 visible, so it is in the order too
        QStringList order;
        for (int i = 0; i < 12; ++i) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, QStringList({"ListView1", "PushButton5", "PushButton6", "PushButton3",
                                     "PushButton8", "PushButton11", "PushButton12", "Text2",
                                     "PushButton1", "PushButton4", "Check8", "Check4"}));
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("ListView1"));
    }

    void firstRunWithEmptyStore()
    {
        TestWindow window;
        ModalAnswerer answerer;
        Form1& form = window.load();
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(form.windowTitle(), QString("Pingora"));
        QCOMPARE(NameRules::AppTitle(), QString("Pingora"));
        // Qt's display name left alone: Qt would append it to every window's title.
        QCOMPARE(QApplication::applicationDisplayName(), QApplication::applicationName());
        const QString defaultSound = QDir::toNativeSeparators(window.programFolder + "/beep.wav");
        QCOMPARE(Form1Probe(form).Text2()->text(), defaultSound);
        QCOMPARE(Form1Probe(form).ListView1()->headerItem()->text(0),
                 QString("How often would you like to beep?"));
        QCOMPARE(Form1Probe(form).ListView1()->topLevelItemCount(), kRowCount);
        QCOMPARE(Form1Probe(form).ListView1()->topLevelItem(0)->text(0),
                 QString("Beep every 1 second"));
        QCOMPARE(Form1Probe(form).ListView1()->topLevelItem(15)->text(0),
                 QString("Beep every 24 hours"));
        QCOMPARE(Form1Probe(form).ListView1()->columnWidth(0), 467);
        QCOMPARE(selectedRow(form), QString("Beep every 5 minutes"));
        QCOMPARE(form.IntervalSeconds(), 300);
        QCOMPARE(Form1Probe(form).PushButton5()->text(), QString("Turn Off Auto Beep"));
        QCOMPARE(Form1Probe(form).Timer1()->Interval(), 1000);
        QCOMPARE(Form1Probe(form).Frame1()->title(), QString("Next beep will occur in 00:00:00"));
        QVERIFY(!Form1Probe(form).Check4()->isChecked());
        QVERIFY(!Form1Probe(form).Check8()->isVisibleTo(&form));
        QVERIFY(!Form1Probe(form).Loading());
        QCOMPARE(Form1Probe(form).HistoryLogPath(),
                 QDir::toNativeSeparators(window.tempFolder + "/Pingora.txt"));
        QVERIFY(!QFile::exists(Form1Probe(form).HistoryLogPath()));

        // Only the restored sound path was written.
        SettingsStore store = window.settings();
        QCOMPARE(store.read("Beep", "x"), defaultSound);
        for (const char* key : {"OftenIndex", "StartStopState", "Windows Startup", "Minimized"})
            QCOMPARE(store.read(key, "absent"), QString("absent"));
    }

    void restoresStoredChoices()
    {
        TestWindow window;
        const QString sound = window.root.filePath("my sound.wav");
        writeTestFile(sound, {});
        SettingsStore store = window.settings();
        store.write("Beep", sound);
        store.write("OftenIndex", "11");
        store.write("StartStopState", "Off");
        Form1& form = window.load();
        QCOMPARE(Form1Probe(form).Text2()->text(), sound);
        QCOMPARE(selectedRow(form), QString("Beep every 1 hour"));
        QCOMPARE(Form1Probe(form).PushButton5()->text(), QString("Turn On Auto Beep"));
        QCOMPARE(Form1Probe(form).Frame1()->title(), QString("Auto Beep is Turned Off."));
        QCOMPARE(Form1Probe(form).Timer1()->Interval(), 0);
    }

    void missingOrEmptySoundFallsBackToDefault_data()
    {
        QTest::addColumn<QString>("stored");      // {handle}: a handle of this process to a folder
        QTest::addColumn<bool>("folderByHandle"); // the program folder known by that handle
        QTest::newRow("empty") << "" << false;
        QTest::newRow("missing") << "/no/such/file.wav" << false;
        QTest::newRow("a handle of an earlier run") << "{handle}/beep.wav" << false;
        QTest::newRow("program folder by a handle") << "{handle}/beep.wav" << true;
    }
    void missingOrEmptySoundFallsBackToDefault()
    {
        QFETCH(QString, stored);
        QFETCH(bool, folderByHandle);
        TestWindow window;
        writeTestFile(window.programFolder + "/beep.wav", {});
#ifdef Q_OS_LINUX
        const int fd =
            ::open(QFile::encodeName(window.programFolder).constData(), O_PATH | O_DIRECTORY);
        QVERIFY(fd >= 0);
        const QString handle = QStringLiteral("/proc/self/fd/%1").arg(fd);
#else
        if (stored.contains(QStringLiteral("{handle}")))
            QSKIP("a folder named by a handle of the process is a Linux path");
        const int fd = -1;
        const QString handle;
#endif
        if (folderByHandle)
            window.programFolder = handle;
        window.settings().write("Beep", stored.replace("{handle}", handle));
        Form1& form = window.load();
        if (fd >= 0)
            ::close(fd);
        QCOMPARE(Form1Probe(form).Text2()->text(),
                 QDir::toNativeSeparators(window.programFolder + "/beep.wav"));
        // A handle's path names nothing at the next start: the empty text means the default.
        QCOMPARE(window.settings().read("Beep", "x"),
                 folderByHandle ? QString()
                                : QDir::toNativeSeparators(window.programFolder + "/beep.wav"));
    }

    void unknownOnOffTextKeepsTheDesignState()
    {
        for (const QString& stored : {QString("on"), QString("OFF"), QString(""), QString("Yes")}) {
            TestWindow window;
            window.settings().write("StartStopState", stored);
            Form1& form = window.load();
            QCOMPARE(Form1Probe(form).PushButton5()->text(), QString("Turn On Auto Beep"));
            QCOMPARE(Form1Probe(form).Timer1()->Interval(), 0);
            QCOMPARE(Form1Probe(form).Frame1()->title(),
                     QString("Next beep will occur in 00:00:00"));
            // A click then turns auto beep on.
            Form1Probe(form).PushButton5()->click();
            QCOMPARE(Form1Probe(form).PushButton5()->text(), QString("Turn Off Auto Beep"));
            QCOMPARE(Form1Probe(form).Timer1()->Interval(), 1000);
            QCOMPARE(window.settings().read("StartStopState", ""), QString("On"));
        }
    }

    void badIntervalIsReportedAndDefaultRowChosen_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QList<int>>("reports");
        QTest::addColumn<QString>("row");
        QTest::newRow("abc") << "abc" << QList<int>{172, 174} << "Beep every 5 minutes";
        QTest::newRow("past the end")
            << QString::number(kRowCount + 1) << QList<int>{174} << "Beep every 5 minutes";
        QTest::newRow("0") << "0" << QList<int>{174} << "Beep every 5 minutes";
        QTest::newRow("-1") << "-1" << QList<int>{174} << "Beep every 5 minutes";
        QTest::newRow("99999") << "99999" << QList<int>{172, 174} << "Beep every 5 minutes";
        QTest::newRow("6.5") << "6.5" << QList<int>{172, 174} << "Beep every 5 minutes";
        QTest::newRow("empty") << "" << QList<int>{172, 174} << "Beep every 5 minutes";
        QTest::newRow("spaced 7") << " 7 " << QList<int>{} << "Beep every 10 minutes";
        // Positions users have stored name the same rows for ever: rows are only appended.
        QTest::newRow("1") << "1" << QList<int>{} << "Beep every 1 second";
        QTest::newRow("11") << "11" << QList<int>{} << "Beep every 1 hour";
        QTest::newRow("16") << "16" << QList<int>{} << "Beep every 24 hours";
        QTest::newRow("huge") << QString(100000, '9') << QList<int>{172, 174}
                              << "Beep every 5 minutes";
    }
    void badIntervalIsReportedAndDefaultRowChosen()
    {
        QFETCH(QString, stored);
        QFETCH(QList<int>, reports);
        QFETCH(QString, row);
        TestWindow window;
        window.settings().write("OftenIndex", stored);
        ModalAnswerer answerer;
        Form1& form = window.load();
        QCOMPARE(answerer.reportedLines(), reports);
        for (const auto& box : answerer.seen()) {
            QVERIFY(box.text.contains("in Belvane2021/08/31.Form1.Form_Load at line"));
            QVERIFY2(box.text.size() < 400, "a long value is quoted by its start only");
        }
        QCOMPARE(selectedRow(form), row);
        QCOMPARE(Form1Probe(form).PushButton5()->text(),
                 QString("Turn Off Auto Beep")); // start-up went on
    }

    void startupOptions()
    {
        {
            TestWindow window;
            window.settings().write("Windows Startup", "On");
            window.settings().write("Minimized", "On");
            Form1& form = window.load();
            QVERIFY(Form1Probe(form).Check4()->isChecked());
            QVERIFY(Form1Probe(form).Check8()->isChecked());
            QVERIFY(Form1Probe(form).Check8()->isVisibleTo(&form));
            QVERIFY(form.windowState() & Qt::WindowMinimized);
            QCOMPARE(window.settings().read("Minimized", ""), QString("On"));
        }
        {
            TestWindow window;
            window.settings().write("Windows Startup", "Off");
            window.settings().write("Minimized", "On");
            Form1& form = window.load();
            QVERIFY(!Form1Probe(form).Check4()->isChecked());
            QVERIFY(Form1Probe(form).Check8()->isChecked());
            QVERIFY(!Form1Probe(form).Check8()->isVisibleTo(&form));
            QVERIFY(!(form.windowState() & Qt::WindowMinimized));
        }
        {
            TestWindow window;
            window.settings().write("Windows Startup", "on");
            window.settings().write("Minimized", "ON");
            Form1& form = window.load();
            QVERIFY(!Form1Probe(form).Check4()->isChecked());
            QVERIFY(!Form1Probe(form).Check8()->isChecked());
        }
    }

    // The program folder ships the hand pointer: start-up reads it without a report, the
    // buttons show it, and the window wears the program icon.
    void shippedHandPointerAndProgramIcon()
    {
        const QString shipped = qEnvironmentVariable("PINGORA_PROGRAM_DIR") + "/HAND-M.CUR";
        QVERIFY2(QFile::exists(shipped), qPrintable(shipped));
        TestWindow window;
        QVERIFY(QFile::copy(shipped, window.programFolder + "/HAND-M.CUR"));
        ModalAnswerer answerer;
        Form1& form = window.load();
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(form.windowIcon().availableSizes().contains(QSize(32, 32)));
        QVERIFY(!form.windowIcon().pixmap(16).isNull());
        QVERIFY(Form1Probe(form).Pointer()->customCursor().has_value());
        QCOMPARE(Form1Probe(form).Pointer()->customCursor()->hotSpot(), QPoint(11, 2));

        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseMove(form.windowHandle(),
                         Form1Probe(form).PushButton6()->mapTo(
                             &form, Form1Probe(form).PushButton6()->rect().center()));
#ifdef Q_OS_WIN
        if (!Form1Probe(form).PushButton6()->underMouse())
            QSKIP("the test's pointer does not reach a window of Qt's minimal display under Wine");
#endif
        QTRY_COMPARE(Form1Probe(form).PushButton6()->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(Form1Probe(form).Pointer()->value(), int(PointerFeedback::Custom));
        QCOMPARE(Form1Probe(form).PushButton6()->cursor().hotSpot(), QPoint(11, 2));
    }

    // An unusable pointer file is reported with its name, and start-up goes on without it.
    void badHandPointerIsReportedAndStartupGoesOn()
    {
        for (const QByteArray& content : {QByteArray(), QByteArray("not a cursor at all")}) {
            TestWindow window;
            QFile file(window.programFolder + "/HAND-M.CUR");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
            file.close();
            ModalAnswerer answerer;
            Form1& form = window.load();
            QCOMPARE(answerer.reportedLines(), QList<int>{128});
            QVERIFY(answerer.seen().constFirst().text.contains("HAND-M.CUR"));
            QVERIFY(!Form1Probe(form).Pointer()->customCursor().has_value());
            QVERIFY(!Form1Probe(form).Loading());
            QCOMPARE(form.windowTitle(), QStringLiteral("Pingora"));
            QCOMPARE(Form1Probe(form).Timer1()->Interval(), 1000);
        }
    }

    void check8StoresItsState()
    {
        TestWindow window;
        Form1& form = window.load();
        Form1Probe(form).Check4()->setChecked(true);
        Form1Probe(form).Check8()->click();
        QCOMPARE(window.settings().read("Minimized", ""), QString("On"));
        Form1Probe(form).Check8()->click();
        QCOMPARE(window.settings().read("Minimized", ""), QString("Off"));
    }

    void unwritableStoreIsReportedAndStartupGoesOn()
    {
#ifdef Q_OS_WIN
        QSKIP("the settings are in the registry, where a folder cannot stand in their way");
#endif
        TestWindow window;
        QDir().mkpath(window.settingsFile); // the store's file is a folder: nothing can be written
        ModalAnswerer answerer;
        Form1& form = window.load();
        // The unreadable store gives the default path at 130, whose storing fails; 134 sets
        // the same text again, which is no change and stores nothing.
        QCOMPARE(answerer.reportedLines(), QList<int>({130}));
        QCOMPARE(Form1Probe(form).Text2()->text(), window.programFolder + "/beep.wav");
        QCOMPARE(Form1Probe(form).Timer1()->Interval(), 1000);
    }

    void homePageOnceInAHundred()
    {
        for (double fraction : {0.0, 0.05, 0.059, 0.07, 0.99}) {
            TestWindow window;
            window.randomFraction = fraction;
            window.load();
            QVERIFY(window.openedUrls.isEmpty());
        }
        for (double fraction : {0.06, 0.065, 0.0699}) {
            TestWindow window;
            window.randomFraction = fraction;
            window.load();
            QCOMPARE(window.openedUrls, QList<QUrl>{QUrl("https://www.example.com/pingora")});
        }
    }

    void everyRowBeepsAtTheIntervalItNames()
    {
        // Each row says its interval in words ("Beep every 2 hours"); its seconds must agree.
        TestWindow window;
        Form1& form = window.load();
        static const QRegularExpression words(
            QStringLiteral("^Beep every (\\d+) (second|minute|hour)s?$"));
        const QHash<QString, int> unit{{"second", 1}, {"minute", 60}, {"hour", 3600}};
        QCOMPARE(Form1Probe(form).ListView1()->topLevelItemCount(), kRowCount);
        for (int i = 0; i < kRowCount; ++i) {
            Form1Probe(form).ListView1()->setCurrentItem(
                Form1Probe(form).ListView1()->topLevelItem(i));
            const auto match = words.match(selectedRow(form));
            QVERIFY2(match.hasMatch(), qPrintable(selectedRow(form)));
            QCOMPARE(form.IntervalSeconds(), match.captured(1).toInt() * unit[match.captured(2)]);
        }
    }

    void listClickStoresRowAndRestartsCountdown()
    {
        TestWindow window;
        Form1& form = window.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Form1Probe(form).ElapsedSeconds() = 42;
        QTreeWidgetItem* row = Form1Probe(form).ListView1()->topLevelItem(14);
        Form1Probe(form).ListView1()->scrollToItem(row);
        QSignalSpy chosen(Form1Probe(form).ListView1()->findChild<RowChoiceWatch*>(),
                          &RowChoiceWatch::rowChosen);
        QTest::mouseClick(Form1Probe(form).ListView1()->viewport(), Qt::LeftButton, {},
                          Form1Probe(form).ListView1()->visualItemRect(row).center());
        QTest::qWait(50); // a second handling would come from the event queue
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(selectedRow(form), QString("Beep every 16 hours"));
        QCOMPARE(window.settings().read("OftenIndex", ""), QString("15"));
        QCOMPARE(Form1Probe(form).IntervalTarget(), 57600);
        QCOMPARE(Form1Probe(form).ElapsedSeconds(), 0);

        // The row already selected: stored and restarted again.
        window.settings().write("OftenIndex", "1");
        Form1Probe(form).ElapsedSeconds() = 7;
        QTest::mouseClick(Form1Probe(form).ListView1()->viewport(), Qt::LeftButton, {},
                          Form1Probe(form).ListView1()->visualItemRect(row).center());
        QCOMPARE(window.settings().read("OftenIndex", ""), QString("15"));
        QCOMPARE(Form1Probe(form).ElapsedSeconds(), 0);

        // The keyboard chooses rows too, and the list never loses its selection.
        QTest::keyClick(Form1Probe(form).ListView1(), Qt::Key_Down);
        QCOMPARE(selectedRow(form), QString("Beep every 24 hours"));
        QCOMPARE(form.IntervalSeconds(), 86400);
        QCOMPARE(window.settings().read("OftenIndex", ""), QString("16"));
        QTest::mouseClick(Form1Probe(form).ListView1()->viewport(), Qt::LeftButton,
                          Qt::ControlModifier,
                          Form1Probe(form)
                              .ListView1()
                              ->visualItemRect(Form1Probe(form).ListView1()->topLevelItem(15))
                              .center());
        QCOMPARE(Form1Probe(form).ListView1()->selectedItems().size(), 1);
    }

    void closingStopsTheCountdownAndEndsTheProgram()
    {
        TestWindow window;
        Form1& form = window.load();
        form.show();
        QCOMPARE(Form1Probe(form).Timer1()->Interval(), 1000);
        form.close();
        QCOMPARE(Form1Probe(form).Timer1()->Interval(), 0);
        QCOMPARE(window.endings, 1);
        QCOMPARE(window.settings().read("StartStopState", "absent"), QString("absent"));
    }
};

QTEST_MAIN(tst_FormLoad)
#include "tst_form_load.moc"
