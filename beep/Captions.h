#pragma once

#include <QString>

/// Captions that the beep engine shows on the on/off button, the countdown frame and the bar.
namespace Captions {
inline const QString kTurnOnAutoBeep = QStringLiteral("Turn On Auto Beep");
inline const QString kTurnOffAutoBeep = QStringLiteral("Turn Off Auto Beep");
inline const QString kAutoBeepTurnedOff = QStringLiteral("Auto Beep is Turned Off.");
inline const QString kAutoBeepOff = QStringLiteral("Auto Beep is Off.");
inline const QString kNextBeepPrefix = QStringLiteral("Next beep will occur in ");
inline const QString kNextBeepAtZero = QStringLiteral("Next beep will occur in 00:00:00");
inline const QString kBeepRunning = QStringLiteral("Beep is running in background...");
inline const QString kAutoBeepCompletePrefix = QStringLiteral("Auto Beep Complete at ");
inline const QString kBeeping = QStringLiteral("Beeping...");
inline const QString kProgressBarText = QStringLiteral("Progress Bar");
} // namespace Captions
