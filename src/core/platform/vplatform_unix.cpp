#include "platform/vplatform.h"
#include "platform/vupdaterplatform.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace VPlatform {

bool hideFolder(const QString &path)
{
    // Linux has no hidden attribute; the folders already live under a dot
    // folder (~/.config), so there is nothing to do.
    return QFileInfo(path).isDir();
}

quint32 ownRegistryId(quintptr)
{
    return static_cast<quint32>(::getpid());
}

static bool processExists(qint64 pid)
{
    // A killed child that nobody reaped yet is not running any more.
    return VUpdaterPlatform::isProcessRunning(pid);
}

bool isRegistryIdAlive(quint32 id)
{
    return processExists(static_cast<qint64>(id));
}

QString appVersion()
{
    return QStringLiteral(ORVEL_VERSION);
}

QString autoRunLocation(const QString &name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
}

// Quoting of an Exec argument, as the desktop-entry format asks.
static QString quoteExecArg(const QString &arg)
{
    QString out;
    for (const QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('%')) {
            out += QLatin1String("%%");
            continue;
        }
        out += c;
    }
    // The value itself is a string in which a backslash must be doubled again.
    out.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

bool setAutoRun(const QString &name, const QString &path, bool on)
{
    const QString file = autoRunLocation(name);
    if (!on)
        return !QFileInfo::exists(file) || QFile::remove(file);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=") + name + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + quoteExecArg(path) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    out.write(text.toUtf8());
    return out.commit();
}

QString dropCandidateFolder()
{
    // No portable way to ask a file manager where a drop went.
    return QString();
}

QStringList dropSearchFolders()
{
    QStringList out;
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString home = QDir::homePath();
    if (!desktop.isEmpty())
        out << desktop;
    if (!out.contains(home))
        out << home;
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady())
            continue;
        const QString root = v.rootPath();
        if (!out.contains(root))
            out << root;
    }
    return out;
}

bool killProcess(qint64 pid)
{
    if (pid <= 0 || pid == ::getpid())
        return false;
    if (::kill(static_cast<pid_t>(pid), SIGKILL) != 0)
        return false;
    // Wait (briefly) until it is gone, as the caller expects it ended.
    QDeadlineTimer deadline(2000);
    while (processExists(pid) && !deadline.hasExpired())
        QThread::msleep(10);
    return true;
}

bool raiseWindow(quintptr)
{
    return false;
}

} // namespace VPlatform
