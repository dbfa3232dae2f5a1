#include "beep/SoundFileDialog.h"

#include "core/Platform.h"

#include <QDir>
#include <QStringList>

QString SoundFileDialog::nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        patterns.replace(u';', u' ');
        if (description.endsWith(u'(' + patterns + u')'))
            filters << description;
        else
            filters << description + QStringLiteral(" (") + patterns + u')';
    }
    return filters.join(QStringLiteral(";;"));
}

void SoundFileDialog::ShowOpen(QWidget* parent, Platform& platform)
{
    // The path as the user reads it in the sound file box: with the system's separators.
    FileName =
        QDir::toNativeSeparators(platform.openFileName(parent, DialogTitle, nameFilters(Filter)));
}
