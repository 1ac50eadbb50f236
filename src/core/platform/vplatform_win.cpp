// Windows implementation, built only on Windows.
#include "platform/vplatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <windows.h>

namespace VPlatform {

bool hideFolder(const QString &path)
{
    const std::wstring p = QDir::toNativeSeparators(path).toStdWString();
    return SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_HIDDEN) != 0;
}

quint32 ownRegistryId(quintptr windowHandle)
{
    return static_cast<quint32>(windowHandle);
}

bool isRegistryIdAlive(quint32 id)
{
    return id != 0 && IsWindow(reinterpret_cast<HWND>(static_cast<quintptr>(id))) != 0;
}

QString appVersion()
{
    const std::wstring exe = QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdWString();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
    if (size == 0)
        return QStringLiteral(ORVEL_VERSION);
    QByteArray info(static_cast<int>(size), '\0');
    if (!GetFileVersionInfoW(exe.c_str(), 0, size, info.data()))
        return QStringLiteral(ORVEL_VERSION);
    struct LangCodePage { WORD language; WORD codePage; } *translate = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<LPVOID *>(&translate), &len) ||
        len < sizeof(LangCodePage))
        return QStringLiteral(ORVEL_VERSION);
    const QString sub = QStringLiteral("\\StringFileInfo\\%1%2\\ProductVersion")
                            .arg(translate[0].language, 4, 16, QLatin1Char('0'))
                            .arg(translate[0].codePage, 4, 16, QLatin1Char('0'));
    wchar_t *value = nullptr;
    UINT vlen = 0;
    if (!VerQueryValueW(info.data(), reinterpret_cast<LPCWSTR>(sub.utf16()), reinterpret_cast<LPVOID *>(&value), &vlen) ||
        vlen == 0)
        return QStringLiteral(ORVEL_VERSION);
    return QString::fromWCharArray(value, static_cast<int>(vlen)).trimmed().remove(QChar(0));
}

static const char kRunKey[] = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

QString autoRunLocation(const QString &name)
{
    return QString::fromLatin1(kRunKey) + QLatin1Char('\\') + name;
}

bool setAutoRun(const QString &name, const QString &path, bool on)
{
    QSettings reg(QString::fromLatin1(kRunKey), QSettings::NativeFormat);
    if (on) {
        QString value = path;
        value.replace(QLatin1Char('/'), QLatin1Char('\\'));
        reg.setValue(name, value);
    } else {
        reg.remove(name);
    }
    reg.sync();
    return reg.status() == QSettings::NoError;
}

static QString windowText(HWND w)
{
    wchar_t buf[1024];
    const int n = GetWindowTextW(w, buf, 1024);
    return n > 0 ? QString::fromWCharArray(buf, n) : QString();
}

QString dropCandidateFolder()
{
    HWND w = GetForegroundWindow();
    if (!w)
        return QString();
    // The address bar of an Explorer window, one child class inside the other.
    static const wchar_t *const classes[] = {L"WorkerW", L"ReBarWindow32", L"Address Band Root",
                                             L"msctls_progress32", L"Breadcrumb Parent", L"ToolbarWindow32"};
    for (const wchar_t *c : classes) {
        w = FindWindowExW(w, nullptr, c, nullptr);
        if (!w)
            return QString();
    }
    const QStringList parts = windowText(w).split(QLatin1Char(' '));
    if (parts.size() != 2)
        return QString();
    QString folder = parts.at(1);
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return folder;
}

QStringList dropSearchFolders()
{
    QStringList out;
    out << QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    for (const QFileInfo &d : QDir::drives())
        out << d.absolutePath();
    return out;
}

bool killProcess(qint64 pid)
{
    if (pid <= 0)
        return false;
    return QProcess::execute(QStringLiteral("taskkill"),
                             {QStringLiteral("/f"), QStringLiteral("/pid"), QString::number(pid)}) == 0;
}

bool raiseWindow(quintptr windowHandle)
{
    HWND w = reinterpret_cast<HWND>(windowHandle);
    if (!IsWindow(w))
        return false;
    ShowWindow(w, SW_SHOWNORMAL);
    SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return SetForegroundWindow(w) != 0;
}

} // namespace VPlatform
