// Start-up takes the hand pointer from HAND-M.CUR in the program folder and gives the window
// the program icon.
#include "ModalAnswerer.h"
#include "TestWindow.h"
#include "appearance/CursorFile.h"
#include "appearance/PointerFeedback.h"

#include <QFile>
#include <QPushButton>
#include <QTest>

class StartupPointerTest : public QObject
{
    Q_OBJECT

    static QString shippedPointer()
    {
        return qEnvironmentVariable("PINGORA_PROGRAM_DIR") + QStringLiteral("/HAND-M.CUR");
    }

  private Q_SLOTS:
    void shippedHandIsTheButtonsPointer()
    {
        TestWindow window;
        const QString pointerFile = window.programFolder + QStringLiteral("/HAND-M.CUR");
        QVERIFY(QFile::copy(shippedPointer(), pointerFile));
        ModalAnswerer answerer;
        Form1& form = window.load();
        QCOMPARE(answerer.reportedLines(), QList<int>());

        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseMove(form.windowHandle(), form.PushButton5->geometry().center());
        QCOMPARE(form.Pointer->value(), int(PointerFeedback::Custom));
        QCOMPARE(form.PushButton5->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(form.PushButton5->cursor().hotSpot(), readCursorFile(pointerFile).hotSpot());
    }

    void brokenPointerFileIsReportedAndStartUpGoesOn()
    {
        TestWindow window;
        QFile file(window.programFolder + QStringLiteral("/HAND-M.CUR"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a cursor");
        file.close();
        ModalAnswerer answerer;
        Form1& form = window.load();
        QCOMPARE(answerer.reportedLines(), QList<int>{128});
        QVERIFY(!form.Loading);
        QCOMPARE(form.windowTitle(), QStringLiteral("Pingora"));
    }

    void windowWearsTheProgramIcon()
    {
        TestWindow window;
        Form1& form = window.load();
        QVERIFY(!form.windowIcon().isNull());
        QVERIFY(!form.windowIcon().pixmap(16).isNull());
    }
};

QTEST_MAIN(StartupPointerTest)
#include "StartupPointerTest.moc"
