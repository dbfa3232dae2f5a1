#include "FormLikeWindow.h"

#include "appearance/PointerFeedback.h"

#include <QDialog>
#include <QPainter>
#include <QTest>

namespace {

/// A hand-like cursor image with its hot spot at the finger tip.
QCursor handCursor()
{
    QPixmap image(32, 32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setBrush(Qt::white);
    painter.drawRect(5, 0, 6, 20);
    painter.drawRect(5, 14, 16, 14);
    painter.end();
    return QCursor(image, 7, 0);
}

} // namespace

class tst_PointerFeedback : public QObject
{
    Q_OBJECT

    std::unique_ptr<FormLikeWindow> form;
    PointerFeedback* pointer = nullptr;

    QList<QWidget*> defaultWidgets() const
    {
        return {&form->window, form->Frame1,    form->Frame2,
                form->Frame3,  form->ListView1, form->ListView1->viewport()};
    }

    /// Moves the mouse over @p target, at @p local or at its centre, as the window system would.
    void moveTo(QWidget* target, QPoint local = {})
    {
        if (local.isNull())
            local = target->rect().center();
        QTest::mouseMove(form->window.windowHandle(), target->mapTo(&form->window, local));
    }
    /// Moves the mouse over the background of a frame or the window, clear of its controls.
    void moveToBackground(QWidget* frameOrWindow)
    {
        moveTo(frameOrWindow, {3, frameOrWindow->height() - 4});
    }

    static bool showsCustom(const QWidget* widget)
    {
        return widget->cursor().shape() == Qt::BitmapCursor &&
               widget->cursor().hotSpot() == QPoint(7, 0);
    }

  private Q_SLOTS:
    void init()
    {
        form = std::make_unique<FormLikeWindow>();
        pointer = new PointerFeedback(&form->window, form->pushButtons(), defaultWidgets());
        pointer->setCustomCursor(handCursor());
        form->window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form->window));
    }
    void cleanup() { form.reset(); }

    void eachButtonShowsHandAndBackgroundsShowOrdinaryPointer_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("background");
        const QStringList backgrounds = {"Form1", "Frame1", "Frame2", "Frame3", "ListView1"};
        const QStringList buttons = {"PushButton5", "PushButton1", "PushButton4",  "PushButton6",
                                     "PushButton3", "PushButton8", "PushButton11", "PushButton12"};
        for (int i = 0; i < buttons.size(); ++i) {
            const QString& background = backgrounds[i % backgrounds.size()];
            QTest::addRow("%s then %s", qPrintable(buttons[i]), qPrintable(background))
                << buttons[i] << background;
        }
    }
    void eachButtonShowsHandAndBackgroundsShowOrdinaryPointer()
    {
        QFETCH(QString, button);
        QFETCH(QString, background);
        auto* pushButton = form->window.findChild<QPushButton*>(button);
        QWidget* backgroundWidget = background == QLatin1String("Form1")
                                        ? &form->window
                                        : form->window.findChild<QWidget*>(background);

        moveTo(pushButton);
        QCOMPARE(pointer->value(), int(PointerFeedback::Custom));
        QVERIFY(showsCustom(pushButton));
        // One setting for the whole window: the hand shows over every control.
        QVERIFY(showsCustom(form->Text2));
        QVERIFY(showsCustom(form->ListView1->viewport()));

        if (backgroundWidget == form->ListView1)
            moveTo(form->ListView1->viewport());
        else
            moveToBackground(backgroundWidget);
        QCOMPARE(pointer->value(), int(PointerFeedback::Default));
        QCOMPARE(pushButton->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(form->window.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(form->Text2->cursor().shape(), Qt::IBeamCursor);
    }

    void controlsWithoutHandlerLeaveSetting()
    {
        moveTo(form->PushButton4);
        for (QWidget* control : QList<QWidget*>{form->Text2, form->ProgressBar1, form->Check4}) {
            moveTo(control);
            QCOMPARE(pointer->value(), int(PointerFeedback::Custom));
            QVERIFY(showsCustom(control));
        }
        moveToBackground(form->Frame1);
        moveTo(form->ProgressBar1);
        QCOMPARE(pointer->value(), int(PointerFeedback::Default));
    }

    void pathFromButtonAcrossFrameResetsBeforeTextBox()
    {
        moveTo(form->PushButton1);
        QVERIFY(showsCustom(form->Text2));
        moveTo(form->Frame2, form->PushButton1->geometry().topLeft() - QPoint(0, 3));
        moveTo(form->Text2);
        QCOMPARE(pointer->value(), int(PointerFeedback::Default));
        QCOMPARE(form->Text2->cursor().shape(), Qt::IBeamCursor);
    }

    void busyPointerStaysUntilDefaultIsRestored()
    {
        auto* ownedDialog = new QDialog(&form->window);
        auto* closedWhileBusy = new QLineEdit(form->Frame2); // has a pointer of its own
        moveTo(form->PushButton6);

        pointer->setBusy();

        QCOMPARE(pointer->value(), int(PointerFeedback::Busy));
        const QList<QWidget*> everywhere = {&form->window,
                                            form->PushButton6,
                                            form->Text2,
                                            form->Check4,
                                            form->ProgressBar1,
                                            form->Frame2,
                                            form->ListView1->viewport()};
        for (QWidget* widget : everywhere)
            QCOMPARE(widget->cursor().shape(), Qt::WaitCursor);
        QCOMPARE(ownedDialog->cursor().shape(), Qt::ArrowCursor);

        for (QWidget* widget :
             QList<QWidget*>{form->PushButton3, form->Frame3, form->ListView1->viewport()}) {
            moveTo(widget);
            QCOMPARE(pointer->value(), int(PointerFeedback::Busy));
            QCOMPARE(widget->cursor().shape(), Qt::WaitCursor);
        }
        moveToBackground(&form->window);
        QCOMPARE(pointer->value(), int(PointerFeedback::Busy));
        QCOMPARE(closedWhileBusy->cursor().shape(), Qt::WaitCursor);
        delete closedWhileBusy;

        pointer->setDefault();

        QCOMPARE(pointer->value(), int(PointerFeedback::Default));
        QCOMPARE(form->PushButton6->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(form->Text2->cursor().shape(), Qt::IBeamCursor);
        moveTo(form->PushButton8);
        QCOMPARE(pointer->value(), int(PointerFeedback::Custom));
        QVERIFY(showsCustom(form->PushButton8));
    }

    void withoutCustomCursorButtonsKeepOrdinaryPointer()
    {
        cleanup();
        form = std::make_unique<FormLikeWindow>();
        pointer = new PointerFeedback(&form->window, form->pushButtons(), defaultWidgets());
        form->window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form->window));

        moveTo(form->PushButton11);

        QCOMPARE(pointer->value(), int(PointerFeedback::Custom));
        QCOMPARE(form->PushButton11->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(form->Text2->cursor().shape(), Qt::IBeamCursor);
        // A cursor given later shows at once.
        pointer->setCustomCursor(handCursor());
        QVERIFY(showsCustom(form->PushButton11));
    }
};

QTEST_MAIN(tst_PointerFeedback)
#include "tst_pointer_feedback.moc"
