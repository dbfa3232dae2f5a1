#include "appearance/ApplySkin.h"

#include "appearance/BackColor.h"
#include "appearance/SkinEngine.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace {

/// The skin file's path if it is there as a normal file, otherwise an empty text.
QString findSkinFile(const QString& path)
{
    const QFileInfo info(path);
    // isFile() follows links and is false for folders, FIFOs, sockets and devices.
    if (!info.isFile() || info.isHidden())
        return {};
    return path;
}

bool isRecolouredKind(const QWidget* control, const QWidget* window)
{
    // Dialogs the window owns are windows of their own, not controls on it.
    if (control->window() != window)
        return false;
    return qobject_cast<const QRadioButton*>(control) || qobject_cast<const QCheckBox*>(control) ||
           qobject_cast<const QGroupBox*>(control) || qobject_cast<const QLabel*>(control);
}

} // namespace

void ApplySkin(QWidget* window, SkinEngine& engine, const QString& programFolder)
{
    const QString skinPath =
        findSkinFile(QDir::toNativeSeparators(programFolder + kSkinFileInProgramFolder));
    if (skinPath.isEmpty())
        return;

    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    setBackColor(window, buttonFace);
    const auto controls = window->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (isRecolouredKind(control, window))
            setBackColor(control, buttonFace);
    }

    engine.LoadSkin(skinPath, QString());
    engine.setOptions(engine.options() | 1);
    engine.setFlagA(true);
    engine.setFlagB(true);
    engine.ApplyWindow(window);
}
