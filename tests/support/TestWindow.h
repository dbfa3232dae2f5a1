#pragma once

#include "app/Form1.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdlib>
#include <memory>

/// Sets the environment variable @p name to @p value, which may hold any letters: Windows keeps
/// the environment in wide characters, which the program reads.
inline void putEnvironment(const char* name, const QString& value)
{
#ifdef _WIN32
    _wputenv_s(reinterpret_cast<const wchar_t*>(QString::fromLatin1(name).utf16()),
               reinterpret_cast<const wchar_t*>(value.utf16()));
#else
    qputenv(name, value.toLocal8Bit());
#endif
}

/// A main window under test: private settings, program and temporary folders, a fixed clock,
/// a chosen random draw, and the desktop's programs, dialogs and the program's end recorded.
struct TestWindow
{
    QTemporaryDir root;
    QString programFolder = root.filePath(QStringLiteral("program"));
    QString settingsFile = root.filePath(QStringLiteral("config/Wrenfield.ini"));
    QString tempFolder = root.filePath(QStringLiteral("temp"));
    QList<QUrl> openedUrls;
    QStringList openedTextFiles; ///< files opened in the text editor
    int endings = 0;
    double randomFraction = 0.5;
    QString nextFileName; ///< answer of the open-file dialog
    QStringList fileDialogTitles;
    QStringList fileDialogFilters;
    QDateTime now = QDateTime(QDate(2021, 8, 31), QTime(15, 4, 5));
    std::unique_ptr<Form1> form;

    TestWindow()
    {
        QDir().mkpath(programFolder);
        QDir().mkpath(tempFolder);
        putEnvironment("TEMP", tempFolder);
        // The autostart entry and any other per-user file stay inside the test's folder.
        qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
    }

    SettingsStore settings() const
    {
        return SettingsStore(settingsFile, QStringLiteral("Pingora"));
    }

    Platform platform()
    {
        Platform platform = Platform::real();
        platform.now = [this] { return now; };
        platform.randomFraction = [this] { return randomFraction; };
        platform.openUrl = [this](const QUrl& url) { openedUrls << url; };
        platform.openTextFile = [this](const QString& path) { openedTextFiles << path; };
        platform.openFileName = [this](QWidget*, const QString& title, const QString& filter) {
            fileDialogTitles << title;
            fileDialogFilters << filter;
            return nextFileName;
        };
        platform.endProgram = [this] { ++endings; };
        platform.programFolder = programFolder;
        return platform;
    }

    /// Creates the window (not loaded).
    Form1& create()
    {
        form = std::make_unique<Form1>(platform(), settings());
        return *form;
    }

    /// Creates the window and runs its start-up.
    Form1& load()
    {
        create().Form_Load();
        return *form;
    }
};
