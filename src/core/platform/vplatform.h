#pragma once

#include <QString>
#include <QStringList>

// The few calls that differ between Windows and Linux. One implementation per
// system: vplatform_win.cpp (Win32) and vplatform_unix.cpp.
namespace VPlatform {

// Marks a folder hidden (a file attribute on Windows; Linux has none to set).
bool hideFolder(const QString &path);

// The identifier a login window registers its account with: the window handle
// on Windows, the process id on Linux (windowHandle is then unused).
quint32 ownRegistryId(quintptr windowHandle = 0);
// Whether the window (Windows) or process (Linux) behind a registered id exists.
bool isRegistryIdAlive(quint32 id);

// The program's own version: the executable's version resource on Windows,
// the compiled-in project version elsewhere.
QString appVersion();

// Start with the session: the per-user Run key on Windows, an XDG autostart
// entry on Linux. Returns false when the entry could not be written/removed.
bool setAutoRun(const QString &name, const QString &path, bool on);
// Linux: the autostart entry's file; Windows: the registry value's path.
QString autoRunLocation(const QString &name);

// The folder shown by the window a drop landed in, when the system can tell
// (Windows: the Explorer address bar of the foreground window); else empty.
QString dropCandidateFolder();
// Folders searched, in order, for the marker of a drag out of the program.
QStringList dropSearchFolders();

// Ends a process by id or by executable name; true when it was ended.
bool killProcess(qint64 pid);

// Brings a native window to the front above others (Windows); false elsewhere,
// where the window system decides and Qt's raise/activate is all there is.
bool raiseWindow(quintptr windowHandle);

} // namespace VPlatform
