#include "appearance/HelpMessage.h"

#include "core/Failure.h"
#include "core/ProductInfo.h"

#include <QApplication>
#include <QMessageBox>

QString helpMessageText()
{
    return QStringLiteral("Questions? Please contact Team Wrenfield at ") +
           ProductInfo::kContactPage;
}

void ShowHelpMessage(QWidget* parent, const QString& applicationTitle)
{
    // Without a QApplication, constructing the box would end the program instead of failing.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw Failure(QStringLiteral("There is no window system to show the help message on"));
    QMessageBox box(QMessageBox::NoIcon, applicationTitle, helpMessageText(), QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
