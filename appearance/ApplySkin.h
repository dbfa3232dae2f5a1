#pragma once

#include <QString>

class QWidget;
class SkinEngine;

/// Where the skin file lies: the program folder followed by this.
inline const QString kSkinFileInProgramFolder = QStringLiteral("/x/o.cjs");

/// Gives @p window the skin found in @p programFolder, if any. It runs once, as the first step
/// of start-up, before the window is shown.
///
/// The skin file counts only if it is a regular, non-hidden file, or a link to one (a folder,
/// FIFO, device or a link to a folder does not count). Without it nothing changes and @p engine is
/// not called. With it, first the window and every option button, check box, frame and label on it
/// (at any depth) get the button-face colour as background (see setBackColor()), then
/// @p engine receives, in this order: LoadSkin(path, ""), the option mask with bit value 1
/// added, setFlagA(true), setFlagB(true) and ApplyWindow(window).
///
/// @throws Failure from any step, at once; the colours set before it stay.
void ApplySkin(QWidget* window, SkinEngine& engine, const QString& programFolder);
