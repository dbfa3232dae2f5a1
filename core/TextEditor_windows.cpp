#include "core/TextEditor.h"

#include "core/Failure.h"
#include "core/WindowsError.h"

#include <QDir>
#include <string>
#include <windows.h>

// Notepad itself, not whatever handles .txt files: the command line "notepad" and the quoted
// path. The program is taken from the system folder, never from the program's or the current
// folder, where the search for a bare name would look first.
void OpenInTextEditor(const QString& path)
{
    const QString nativePath = QDir::toNativeSeparators(path);
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        throw Failure(QStringLiteral("Notepad could not be found: %1")
                          .arg(windowsErrorText(long(GetLastError()))));
    const std::wstring notepad = std::wstring(folder, length) + L"\\notepad.exe";
    std::wstring commandLine = L"notepad \"" + nativePath.toStdWString() + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(notepad.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started))
        throw Failure(QStringLiteral("Notepad could not be started to open %1: %2")
                          .arg(nativePath, windowsErrorText(long(GetLastError()))));
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
}
