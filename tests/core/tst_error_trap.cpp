// The error trap and its report: the message, going on after a failure, and failures of
// handlers that run without a trap.
#include "ModalAnswerer.h"
#include "app/Locations.h"
#include "core/ErrorTrap.h"
#include "core/Failure.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

class tst_ErrorTrap : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void reportMessageLayout()
    {
        QCOMPARE(ErrorReport::message("Disk full.\nReally.", Locations::kPushButton3, 104),
                 QString("Disk full.\nReally.\r\nin Belvane2021/08/31.Form1.PushButton3_Click at "
                         "line 104\r\rPlease email screenshot of this message to "
                         "support@example.com"));
    }

    void trapReportsEachFailureAndGoesOn()
    {
        ModalAnswerer answerer;
        QStringList ran;
        auto failingProcedure = [&] {
            ran << "procedure start";
            throw Failure("deep failure");
            ran << "procedure end"; // never runs
        };
        ErrorTrap trap(Locations::kPushButton5);
        trap.run(100, [&] { ran << "100"; });
        trap.run(102, [&] { failingProcedure(); });
        if (trap.test(104, [&]() -> bool { throw std::runtime_error("test failed"); }))
            trap.run(106, [&] { ran << "branch body"; });
        if (trap.test(108, [&] { return false; }))
            ran << "not run";
        trap.run(110, [&] { throw 42; });
        trap.run(112, [&] { ran << "112"; });

        QCOMPARE(ran, QStringList({"100", "procedure start", "branch body", "112"}));
        QCOMPARE(answerer.reportedLines(), QList<int>({102, 104, 110}));
        const auto& boxes = answerer.seen();
        QCOMPARE(boxes[0].title, QString("Application Error"));
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(boxes[0].text,
                 QString("deep failure\nin Belvane2021/08/31.Form1.PushButton5_Click "
                         "at line 102\n\nPlease email screenshot of this message "
                         "to support@example.com"));
        QCOMPARE(boxes[1].text.section('\n', 0, 0), QString("test failed"));
    }

    void untrappedHandlerFailureBelongsToTheStatementThatRaisedIt()
    {
        ModalAnswerer answerer;
        ErrorTrap trap(Locations::kFormLoad);
        trap.run(196,
                 [&] { ErrorTrap::runUntrappedHandler([] { throw Failure("cannot store"); }); });
        QCOMPARE(answerer.reportedLines(), QList<int>({196}));

        // Raised by itself (no statement running): a plain message, nothing escapes.
        ErrorTrap::runUntrappedHandler([] { throw Failure("alone"); });
        QTRY_COMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().last().text, QString("alone"));

        // Raised by an event handled while a statement waits in its own event loop: the user
        // did that, not the statement, which goes on unreported.
        trap.run(198, [&] {
            QTimer::singleShot(
                0, [] { ErrorTrap::runUntrappedHandler([] { throw Failure("while waiting"); }); });
            QEventLoop wait;
            QTimer::singleShot(200, &wait, &QEventLoop::quit);
            wait.exec();
        });
        QCOMPARE(answerer.seen().size(), 3);
        QCOMPARE(answerer.seen().last().text, QString("while waiting"));
        QCOMPARE(answerer.reportedLines(), QList<int>({196}));
    }
};

QTEST_MAIN(tst_ErrorTrap)
#include "tst_error_trap.moc"
