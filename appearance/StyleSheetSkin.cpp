#include "appearance/StyleSheetSkin.h"

#include "appearance/SkinFile.h"
#include "appearance/StyleSheetCheck.h"
#include "core/Failure.h"

#include <QWidget>

void StyleSheetSkin::LoadSkin(const QString& path, const QString& /*iniName*/)
{
    QString styleSheet = readSkinFile(path);
    if (!styleSheetParses(styleSheet))
        throw Failure(
            QStringLiteral("Cannot use the skin file %1: Qt cannot parse it as a style sheet")
                .arg(path));
    m_styleSheet = std::move(styleSheet);
}

void StyleSheetSkin::ApplyWindow(QWidget* window)
{
    if (m_styleSheet.isEmpty())
        throw Failure(QStringLiteral("No skin has been loaded"));
    if (!window)
        throw Failure(QStringLiteral("There is no window to apply the skin to"));
    window->setStyleSheet(m_styleSheet);
}
