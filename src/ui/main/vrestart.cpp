#include "main/vrestart.h"

#include <QCoreApplication>
#include <QProcess>

QStringList VRestart::arguments(const QStringList &commandLine)
{
    QStringList out;
    for (int i = 1; i < commandLine.size(); ++i) {
        const QString &a = commandLine.at(i);
        if (a == QLatin1String("--server") && i + 1 < commandLine.size()) {
            out = QStringList{a, commandLine.at(i + 1)};
            ++i;
        } else if (a.startsWith(QLatin1String("--server="))) {
            out = QStringList{QStringLiteral("--server"), a.mid(9)};
        }
    }
    return out;
}

bool VRestart::start()
{
    // ORVEL_SERVER_ROOT, when that named the server, is inherited anyway.
    return QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                   arguments(QCoreApplication::arguments()));
}
