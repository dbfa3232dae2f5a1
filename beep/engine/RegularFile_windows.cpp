#include "beep/engine/RegularFile.h"

#include <QDir>
#include <windows.h>

namespace {

HANDLE handleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

qint64 nanoseconds(LARGE_INTEGER time)
{
    return time.QuadPart * 100; // in units of 100 ns
}

} // namespace

std::unique_ptr<RegularFile> RegularFile::open(const QString& path, QString* whyNot)
{
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const auto notRegular = [&] {
        *whyNot = QStringLiteral("%1 is not a regular file").arg(path);
        return nullptr;
    };
    // A folder cannot be opened without a flag that would also open it; ask first, so that it
    // is named for what it is rather than as a file without access.
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return notRegular();
    // Other programs may go on reading, writing and replacing the file meanwhile.
    const HANDLE file = CreateFileW(native.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // On Windows, Qt gives the system's own text for the code.
        *whyNot = qt_error_string(int(GetLastError()));
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    FILE_BASIC_INFO times{};
    // Pipes, consoles and devices such as NUL are not disks' files.
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times)) {
        CloseHandle(file);
        return notRegular();
    }
    const FileIdentity identity{
        information.dwVolumeSerialNumber,
        (quint64(information.nFileIndexHigh) << 32) | information.nFileIndexLow,
        qint64((quint64(information.nFileSizeHigh) << 32) | information.nFileSizeLow),
        nanoseconds(times.LastWriteTime), nanoseconds(times.ChangeTime)};
    return std::unique_ptr<RegularFile>(
        new RegularFile(reinterpret_cast<std::intptr_t>(file), identity));
}

RegularFile::~RegularFile()
{
    CloseHandle(handleOf(m_handle));
}

qint64 RegularFile::read(void* data, qint64 bytes)
{
    DWORD got = 0;
    const DWORD asked = static_cast<DWORD>(qMin<qint64>(bytes, MAXDWORD));
    return ReadFile(handleOf(m_handle), data, asked, &got, nullptr) ? qint64(got) : -1;
}

qint64 RegularFile::seek(qint64 offset, int whence)
{
    const DWORD method = whence == SEEK_SET   ? FILE_BEGIN
                         : whence == SEEK_CUR ? FILE_CURRENT
                                              : FILE_END;
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    return SetFilePointerEx(handleOf(m_handle), distance, &position, method) ? position.QuadPart
                                                                             : -1;
}

qint64 RegularFile::size()
{
    LARGE_INTEGER size{};
    return GetFileSizeEx(handleOf(m_handle), &size) ? size.QuadPart : -1;
}
