#include "core/Platform.h"

#include "core/Failure.h"
#include "core/MainLoop.h"
#include "core/ProgramFile.h"
#include "core/TextEditor.h"

#include <QCoreApplication>
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
    platform.openTextFile = OpenInTextEditor;
    platform.openFileName = [](QWidget* parent, const QString& title, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, title, QString(), filter);
    };
    platform.endProgram = [] {
        if (MainLoop::runsAlone()) {
            // Only the main loop runs: it ends, and the program with it, the ordinary way. Qt
            // then hands what the program put on the clipboard over to the desktop's
            // clipboard manager, so that it can still be pasted after the end.
            QCoreApplication::exit(0);
            return;
        }
        // A handler suspended in a wait would go on after it; the program ends at once
        // instead. Every setting and every history line is already on disk, so nothing is
        // lost by ending without unwinding.
        std::fflush(nullptr);
        std::_Exit(0);
    };
    platform.programFolder = ProgramFile::folderForOpening();
    return platform;
}
