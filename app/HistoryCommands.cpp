#include "history/HistoryCommands.h"
#include "app/Form1.h"
#include "app/Locations.h"
#include "core/ErrorTrap.h"
#include "core/Failure.h"
#include "core/Main.h"
#include "core/NameRules.h"
#include "history/ClipboardStaging.h"
#include "history/DesktopText.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

/// A modal box with @p text, no icon and the application title; returns the button pressed.
QMessageBox::StandardButton showMessage(QWidget* parent, const QString& text,
                                        QMessageBox::StandardButtons buttons)
{
    // Without a QApplication, constructing the box would end the program instead of failing.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw Failure(QStringLiteral("There is no window system to show a message on."));
    QMessageBox box(QMessageBox::NoIcon, NameRules::AppTitle(), text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

void Form1::wireHistoryCommands()
{
    HistoryCommands::RichTextBox1(*this);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
    connect(PushButton12, &QPushButton::clicked, this, &Form1::PushButton12_Click);
}

void Form1::PushButton3_Click()
{
    ErrorTrap trap(Locations::kPushButton3);
    if (trap.test(100, [&] { return Main::FileExists(HistoryLogPath); }))
        // The platform's text editor, not waited for. Only a file: an editor handed a pipe or
        // a device would wait or read without end.
        trap.run(102, [&] {
            if (!QFileInfo(HistoryLogPath).isFile())
                throw Failure(
                    QStringLiteral("The history log %1 is not a regular file").arg(HistoryLogPath));
            m_platform.openTextFile(HistoryLogPath);
        });
    else
        trap.run(104,
                 [&] { showMessage(this, HistoryCommands::kNoHistoryToView, QMessageBox::Ok); });
}

void Form1::PushButton8_Click()
{
    ErrorTrap trap(Locations::kPushButton8);
    ClipboardStaging& box = HistoryCommands::RichTextBox1(*this);
    if (trap.test(100, [&] { return Main::FileExists(HistoryLogPath); })) {
        trap.run(102, [&] {
            try {
                box.loadFile(HistoryLogPath);
            } catch (const DesktopText::TooLarge& tooLarge) {
                // Not a fault to report to support: the user is told, and the empty box
                // leaves the clipboard as it was.
                showMessage(this,
                            HistoryCommands::tooLargeToCopy(tooLarge.size(), tooLarge.limit()),
                            QMessageBox::Ok);
            }
        });
        trap.run(104, [&] { box.setSelStart(0); });
        trap.run(106, [&] { box.setSelLength(box.length()); });
        trap.run(108, [&] { box.copy(); });
    }
}

void Form1::PushButton12_Click()
{
    ErrorTrap trap(Locations::kPushButton12);
    // No unless the user said Yes: a question that fails deletes nothing.
    QMessageBox::StandardButton answer = QMessageBox::No;
    trap.run(100, [&] {
        answer =
            showMessage(this, HistoryCommands::kConfirmClear, QMessageBox::Yes | QMessageBox::No);
    });
    if (answer == QMessageBox::Yes)
        trap.run(102, [&] { Main::RemoveFile(HistoryLogPath); });
}
