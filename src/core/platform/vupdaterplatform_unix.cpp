#include "platform/vupdaterplatform.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <signal.h>

namespace VUpdaterPlatform {

bool isProcessRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        const int close = line.lastIndexOf(')');
        if (close > 0 && close + 2 < line.size()) {
            const char state = line.at(close + 2);
            if (state == 'Z' || state == 'X')
                return false;
        }
    }
    return true;
}

bool replaceFile(const QString &from, const QString &to)
{
    // rename(2) swaps the name over in one step: a reader sees the old file
    // or the new one, never a missing or half-written one.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace VUpdaterPlatform
