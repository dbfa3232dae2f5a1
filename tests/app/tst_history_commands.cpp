// The history log commands of the main window, clicked as a user would: view, copy to the
// clipboard and clear, with the boxes they show and the statement numbers of their reports.
#include "Form1Probe.h"
#include "ModalAnswerer.h"
#include "SpecialFiles.h"
#include "TestFiles.h"
#include "TestWindow.h"
#include "core/Failure.h"
#include "history/ClipboardStaging.h"
#include "history/HistoryCommands.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <optional>

namespace {

const QByteArray kThreeLines =
    "Beeped at 8/31/2021 3:04:05 PM\r\n"
    "Beep file not found. Fail to beeped at 8/31/2021 3:09:05 PM\r\n"
    "No beep file specified. Fail to beeped at 31.08.2021 15:14:05 Uhr \xc3\xbc\r\n";
const QByteArray kThreeLinesOnClipboard =
    "Beeped at 8/31/2021 3:04:05 PM\n"
    "Beep file not found. Fail to beeped at 8/31/2021 3:09:05 PM\n"
    "No beep file specified. Fail to beeped at 31.08.2021 15:14:05 Uhr \xc3\xbc\n";
const QString kBefore = QStringLiteral("on the clipboard before");

QClipboard* clipboard()
{
    return QGuiApplication::clipboard();
}

void checkPlainBox(const ModalAnswerer::Seen& box, const QString& text,
                   QMessageBox::StandardButtons buttons)
{
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, QString("Pingora")); // the application title set at start-up
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, buttons);
}

// A window whose platform opens text files with @p openTextFile.
Form1& loadWithViewer(TestWindow& window, std::function<void(const QString&)> openTextFile)
{
    Platform platform = window.platform();
    platform.openTextFile = std::move(openTextFile);
    window.form = std::make_unique<Form1>(platform, window.settings());
    window.form->Form_Load();
    return *window.form;
}

} // namespace

class tst_HistoryCommands : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    // --- View History Log ------------------------------------------------------------------

    void viewWithoutLogSaysSo()
    {
        TestWindow window;
        ModalAnswerer answerer;
        Form1& form = window.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(Form1Probe(form).PushButton3(), Qt::LeftButton);
        QCOMPARE(answerer.seen().size(), 1);
        checkPlainBox(answerer.seen()[0],
                      "There isn't a history to view because actions have not been performed "
                      "yet.",
                      QMessageBox::Ok);
        QVERIFY(window.openedTextFiles.isEmpty());
    }

    void viewOpensTheLogWithItsPathIntact_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "temp";
        QTest::newRow("spaces") << "my temp folder";
        QTest::newRow("quotes") << "it's \"quoted\"";
        QTest::newRow("non-ASCII") << "Dateien für 日本";
        QTest::newRow("URL characters") << "100% #1 ?a=b&c";
        QTest::newRow("shell characters") << "$HOME `x` ;|&";
    }
    void viewOpensTheLogWithItsPathIntact()
    {
        QFETCH(QString, folder);
#ifdef Q_OS_WIN
        if (folder.contains(QRegularExpression(QStringLiteral("[\"*:<>?|]"))))
            QSKIP("Windows does not allow these letters in a folder's name");
#endif
        TestWindow window;
        const QString temp = window.root.filePath(folder);
        QVERIFY(QDir().mkpath(temp));
        putEnvironment("TEMP", temp);
        ModalAnswerer answerer;
        Form1& form = window.load();
        QCOMPARE(Form1Probe(form).HistoryLogPath(),
                 QDir::toNativeSeparators(temp + "/Pingora.txt"));
        writeTestFile(Form1Probe(form).HistoryLogPath(), kThreeLines);

        Form1Probe(form).PushButton3()->click();
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(window.openedTextFiles, QStringList{Form1Probe(form).HistoryLogPath()});
        QVERIFY(window.openedUrls.isEmpty());
        QCOMPARE(readTestFile(Form1Probe(form).HistoryLogPath()),
                 kThreeLines); // viewing changes nothing
    }

    void viewerThatCannotStartIsReportedAt102()
    {
        TestWindow window;
        int attempts = 0;
        Form1& form = loadWithViewer(window, [&](const QString&) {
            ++attempts;
            throw Failure("No program could be started to open the log.");
        });
        writeTestFile(Form1Probe(form).HistoryLogPath(), kThreeLines);
        ModalAnswerer answerer;
        Form1Probe(form).PushButton3()->click();
        QCOMPARE(attempts, 1);
        QCOMPARE(answerer.reportedLines(), QList<int>{102});
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY(answerer.seen()[0].text.startsWith(
            "No program could be started to open the log.\n"
            "in Belvane2021/08/31.Form1.PushButton3_Click at line 102"));
    }

    // --- Copy History To Clipboard ---------------------------------------------------------

    void copyPutsTheWholeLogOnTheClipboard()
    {
        TestWindow window;
        ModalAnswerer answerer;
        Form1& form = window.load();
        writeTestFile(Form1Probe(form).HistoryLogPath(), kThreeLines);
        clipboard()->setText(kBefore);

        Form1Probe(form).PushButton8()->click();
        QVERIFY(answerer.seen().isEmpty());
        // Same lines in the same order, with the desktop's line ends, as plain UTF-8 text.
        const QMimeData* copied = clipboard()->mimeData();
        QVERIFY(copied);
        QCOMPARE(copied->data("text/plain"), kThreeLinesOnClipboard);
        QCOMPARE(copied->data("text/plain;charset=utf-8"), kThreeLinesOnClipboard);
        QCOMPARE(clipboard()->text(), QString::fromUtf8(kThreeLinesOnClipboard));
        QCOMPARE(readTestFile(Form1Probe(form).HistoryLogPath()),
                 kThreeLines); // the log itself is unchanged
        // The staging box keeps the text, all of it selected.
        ClipboardStaging& box = HistoryCommands::RichTextBox1(form);
        QCOMPARE(box.text(), kThreeLinesOnClipboard);
        QCOMPARE(box.selStart(), 0);
        QCOMPARE(box.selLength(), kThreeLinesOnClipboard.size());

        // A second copy after the log grew takes the whole new log.
        writeTestFile(Form1Probe(form).HistoryLogPath(),
                      kThreeLines + "Beeped at 8/31/2021 3:19:05 PM\r\n");
        Form1Probe(form).PushButton8()->click();
        QCOMPARE(clipboard()->text(),
                 QString::fromUtf8(kThreeLinesOnClipboard + "Beeped at 8/31/2021 3:19:05 PM\n"));
    }

    void copyWithoutLogLeavesTheClipboard()
    {
        TestWindow window;
        ModalAnswerer answerer;
        Form1& form = window.load();
        clipboard()->setText(kBefore);
        Form1Probe(form).PushButton8()->click();
        QCOMPARE(clipboard()->text(), kBefore);
        QVERIFY(answerer.seen().isEmpty());
    }

    void unreadableLogIsReportedAt102AndNoOldTextIsCopied()
    {
        TestWindow window;
        ModalAnswerer answerer;
        Form1& form = window.load();
        writeTestFile(Form1Probe(form).HistoryLogPath(), kThreeLines);
        Form1Probe(form).PushButton8()->click(); // the box now holds the three lines
        clipboard()->setText(kBefore);

        const UnreadableFile unreadable{QDir(window.tempFolder)};
        Form1Probe(form).HistoryLogPath() = unreadable.path();
        Form1Probe(form).PushButton8()->click();
        // Reported once; the steps after it still ran, on an empty box.
        QCOMPARE(answerer.reportedLines(), QList<int>{102});
        QVERIFY(answerer.seen()[0].text.contains(unreadable.path()));
        QVERIFY(answerer.seen()[0].text.contains(
            "in Belvane2021/08/31.Form1.PushButton8_Click at line 102"));
        QCOMPARE(clipboard()->text(), kBefore);
        QCOMPARE(HistoryCommands::RichTextBox1(form).length(), 0);
    }

    void viewAndCopyRefuseALogThatIsNotAFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("pipe") << "pipe";
        QTest::newRow("endless device") << "device";
        QTest::newRow("folder") << "folder";
    }

    void viewAndCopyRefuseALogThatIsNotAFile()
    {
        QFETCH(QString, kind);
#ifdef Q_OS_WIN
        if (kind != "folder")
            QSKIP("on Windows, pipes and devices are not files in a folder");
#endif
        TestWindow window;
        ModalAnswerer answerer;
        Form1& form = loadWithViewer(window, [](const QString&) { QFAIL("a viewer was started"); });
        std::optional<IdlePipe> pipe;
        if (kind == "pipe") {
            pipe.emplace(QDir(window.tempFolder), QStringLiteral("history-pipe"));
            Form1Probe(form).HistoryLogPath() = pipe->path();
        } else if (kind == "device") {
            Form1Probe(form).HistoryLogPath() = endlessDevice();
        } else {
            QVERIFY(QDir().mkpath(Form1Probe(form).HistoryLogPath()));
        }
        clipboard()->setText(kBefore);

        // Neither waits for a writer nor reads without end: each reports at once.
        QElapsedTimer clock;
        clock.start();
        Form1Probe(form).PushButton3()->click();
        Form1Probe(form).PushButton8()->click();
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(clipboard()->text(), kBefore);
        if (kind == "folder") { // no log at all, as for a missing one
            QCOMPARE(answerer.seen().size(), 1);
            QCOMPARE(answerer.seen()[0].text, HistoryCommands::kNoHistoryToView);
            return;
        }
        QCOMPARE(answerer.reportedLines(), (QList<int>{102, 102}));
        for (const ModalAnswerer::Seen& report : answerer.seen())
            QVERIFY2(
                report.text.contains(Form1Probe(form).HistoryLogPath() + " is not a regular file"),
                qPrintable(report.text));
    }

    void logTooLargeForTheClipboardIsToldNotCopied()
    {
        TestWindow window;
        ModalAnswerer answerer;
        Form1& form = window.load();
        ClipboardStaging& box = HistoryCommands::RichTextBox1(form);
        QCOMPARE(box.maxLength(), qint64(1) << 30); // the clipboard takes up to 1 GiB
        const qint64 megabyte = 1 << 20;
        QByteArray log;
        while (log.size() <= megabyte)
            log += kThreeLines;
        writeTestFile(Form1Probe(form).HistoryLogPath(), log);
        box.setMaxLength(megabyte); // a little less than the log
        clipboard()->setText(kBefore);

        Form1Probe(form).PushButton8()->click();
        QCOMPARE(answerer.seen().size(), 1);
        checkPlainBox(answerer.seen()[0],
                      "The history log is too large to copy to the clipboard: it holds 2 MB, and "
                      "the clipboard takes up to 1 MB.\nUse \"View History Log\" to open it, or "
                      "\"Clear History Log\" to start a new one.",
                      QMessageBox::Ok);
        QCOMPARE(clipboard()->text(), kBefore); // nothing copied, not part of it either

        box.setMaxLength(log.size()); // a log of just the limit is copied
        Form1Probe(form).PushButton8()->click();
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY(clipboard()->text() == QString::fromUtf8(QByteArray(log).replace("\r\n", "\n")));
    }

    void windowStaysResponsiveWhileALargeLogIsCopied()
    {
        TestWindow window;
        ModalAnswerer answerer;
        Form1& form = window.load();
        const QByteArray line = "Beeped at 8/31/2021 3:04:05 PM\r\n";
        QByteArray log;
        log.reserve(64 << 20);
        while (log.size() < (64 << 20))
            log += line;
        writeTestFile(Form1Probe(form).HistoryLogPath(), log);
        const QByteArray expected = QByteArray(log).replace("\r\n", "\n");

        // While the copy runs, the timer keeps ticking and a second click on the button is
        // handled at once; both copies end with the whole log on the clipboard.
        bool copying = false;
        int ticksWhileCopying = 0;
        bool clickedAgain = false;
        QTimer ticker;
        ticker.setInterval(1);
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (!copying)
                return;
            ++ticksWhileCopying;
            if (!clickedAgain) {
                clickedAgain = true;
                Form1Probe(form).PushButton8()->click();
                QCOMPARE(clipboard()->mimeData()->data("text/plain").size(), expected.size());
            }
        });
        ticker.start();
        copying = true;
        Form1Probe(form).PushButton8()->click();
        copying = false;
        QVERIFY(ticksWhileCopying > 0);
        QVERIFY(clickedAgain);
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(clipboard()->mimeData()->data("text/plain") == expected);
    }

    // --- Clear History Log -----------------------------------------------------------------

    void clearAnsweredNoKeepsTheLog()
    {
        TestWindow window;
        ModalAnswerer answerer(QMessageBox::No);
        Form1& form = window.load();
        writeTestFile(Form1Probe(form).HistoryLogPath(), kThreeLines);
        Form1Probe(form).PushButton12()->click();
        QCOMPARE(answerer.seen().size(), 1);
        checkPlainBox(answerer.seen()[0],
                      "Are you sure you want to delete the history log and start over?",
                      QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(readTestFile(Form1Probe(form).HistoryLogPath()), kThreeLines);
    }

    void clearAnsweredYesDeletesTheLogSilently()
    {
        TestWindow window;
        Form1& form = window.load();
        writeTestFile(Form1Probe(form).HistoryLogPath(), kThreeLines);
        {
            ModalAnswerer answerer(QMessageBox::Yes);
            Form1Probe(form).PushButton12()->click();
            QVERIFY(!QFile::exists(Form1Probe(form).HistoryLogPath()));
            QCOMPARE(answerer.seen().size(), 1); // the question only, nothing afterwards

            // Yes with no log at all shows nothing further either.
            Form1Probe(form).PushButton12()->click();
            QCOMPARE(answerer.seen().size(), 2);
            QCOMPARE(answerer.seen()[1].text, HistoryCommands::kConfirmClear);
        }
        // Then the commands find no log: copy leaves the clipboard alone, view says so.
        ModalAnswerer answerer;
        clipboard()->setText(kBefore);
        Form1Probe(form).PushButton8()->click();
        QCOMPARE(clipboard()->text(), kBefore);
        Form1Probe(form).PushButton3()->click();
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].text, HistoryCommands::kNoHistoryToView);
        QVERIFY(window.openedTextFiles.isEmpty());

        // The next beep starts a new log of one line.
        Form1Probe(form).BeepNow();
        QCOMPARE(readTestFile(Form1Probe(form).HistoryLogPath()).count("\r\n"), 1);
    }
};

QTEST_MAIN(tst_HistoryCommands)
#include "tst_history_commands.moc"
