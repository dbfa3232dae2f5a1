#include "app/Platform.h"

#include "app/Failure.h"
#include "app/ProgramFile.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QRandomGenerator>
#include <QTime>
#include <cstdio>
#include <cstdlib>

Platform Platform::real()
{
    Platform platform;
    platform.now = [] { return QDateTime::currentDateTime(); };
    platform.randomFraction = [] {
        // Seeded from the time of day, so every start draws afresh.
        QRandomGenerator generator(quint32(QTime::currentTime().msecsSinceStartOfDay()));
        return generator.generateDouble();
    };
    platform.openUrl = [](const QUrl& url) {
        if (!QDesktopServices::openUrl(url))
            throw Failure(QStringLiteral("No program could be started to open %1.")
                              .arg(url.toDisplayString()));
    };
    platform.openFileName = [](QWidget* parent, const QString& title, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, title, QString(), filter);
    };
    platform.endProgram = [] {
        // Every setting and every history line is already on disk when it returns, so
        // nothing is lost by ending without unwinding (handlers may be suspended in waits).
        std::fflush(nullptr);
        std::_Exit(0);
    };
    platform.programFolder = ProgramFile::folderForOpening();
    return platform;
}
