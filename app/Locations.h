#pragma once

#include <QString>

/// Location texts of the main window's reporting handlers, written once: the error report
/// names the handler where a statement failed (see ErrorTrap).
namespace Locations {
inline const QString kFormLoad = QStringLiteral("in Belvane2021/08/31.Form1.Form_Load ");
inline const QString kFormQueryUnload =
    QStringLiteral("in Belvane2021/08/31.Form1.Form_QueryUnload ");
inline const QString kTimer1 = QStringLiteral("in Belvane2021/08/31.Form1.Timer1 ");
inline const QString kPushButton1 = QStringLiteral("in Belvane2021/08/31.Form1.PushButton1_Click ");
inline const QString kPushButton3 = QStringLiteral("in Belvane2021/08/31.Form1.PushButton3_Click ");
inline const QString kPushButton4 = QStringLiteral("in Belvane2021/08/31.Form1.PushButton4_Click ");
inline const QString kPushButton5 = QStringLiteral("in Belvane2021/08/31.Form1.PushButton5_Click ");
inline const QString kPushButton6 = QStringLiteral("in Belvane2021/08/31.Form1.PushButton6_Click ");
inline const QString kPushButton8 = QStringLiteral("in Belvane2021/08/31.Form1.PushButton8_Click ");
inline const QString kPushButton11 =
    QStringLiteral("in Belvane2021/08/31.Form1.PushButton11_Click ");
inline const QString kPushButton12 =
    QStringLiteral("in Belvane2021/08/31.Form1.PushButton12_Click ");
} // namespace Locations
