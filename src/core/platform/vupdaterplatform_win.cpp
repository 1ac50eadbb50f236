#include "platform/vupdaterplatform.h"

#include <QDir>

#include <windows.h>

namespace VUpdaterPlatform {

bool isProcessRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h)
        return GetLastError() == ERROR_ACCESS_DENIED;
    const DWORD r = WaitForSingleObject(h, 0);
    CloseHandle(h);
    return r == WAIT_TIMEOUT;
}

bool replaceFile(const QString &from, const QString &to)
{
    const QString f = QDir::toNativeSeparators(from);
    const QString t = QDir::toNativeSeparators(to);
    return MoveFileExW(reinterpret_cast<const wchar_t *>(f.utf16()), reinterpret_cast<const wchar_t *>(t.utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace VUpdaterPlatform
