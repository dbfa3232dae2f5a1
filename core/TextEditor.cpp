#include "core/TextEditor.h"

#include "core/Failure.h"

#include <QDesktopServices>
#include <QUrl>

// A desktop has no program called notepad: its handler for plain text, started without a shell.
void OpenInTextEditor(const QString& path)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        throw Failure(QStringLiteral("No program could be started to open %1.").arg(path));
}
