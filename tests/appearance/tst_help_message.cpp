#include "appearance/HelpMessage.h"
#include "core/ProductInfo.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

/// What the test saw of the box while it was open.
struct SeenBox
{
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    qsizetype buttonCount = 0;
    QMessageBox::StandardButtons standardButtons;
    QWidget* parent = nullptr;
};

class tst_HelpMessage : public QObject
{
    Q_OBJECT

    /// Answers the box once it is open, as a user would, by pressing its only button.
    static void answerWhenOpen(SeenBox* seen)
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, [seen] { answerWhenOpen(seen); });
            return;
        }
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->parent = box->parentWidget();
        seen->buttonCount = box->buttons().size();
        seen->standardButtons = box->standardButtons();
        if (!box->buttons().isEmpty())
            QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
    }

  private Q_SLOTS:
    void showsContactMessageWithOkOnly()
    {
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SeenBox seen;
        QTimer::singleShot(0, [&seen] { answerWhenOpen(&seen); });
        QTimer failsafe;
        failsafe.callOnTimeout([] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        failsafe.start(10000);

        ShowHelpMessage(&window, QStringLiteral("Pingora Title"));

        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QStringLiteral("Questions? Please contact Team Wrenfield at ") +
                                ProductInfo::kContactPage);
        QCOMPARE(seen.title, QStringLiteral("Pingora Title"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttonCount, 1);
        QCOMPARE(seen.standardButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.parent, &window);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(tst_HelpMessage)
#include "tst_help_message.moc"
