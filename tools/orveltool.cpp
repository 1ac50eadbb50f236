// OrvelTool: the updater. The client puts it into "<program folder>/AutoUpdate"
// and starts it there after writing "addr.txt" and the install list; it waits
// for the client to end, installs the verified files and starts the client again.
#include "updater/vupdateinstaller.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("OrvelTool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVEL_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QString dir = QCoreApplication::applicationDirPath();
    int waitMs = 120000;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out << "Usage: OrvelTool [--dir FOLDER] [--wait-ms N]\n"
                   "Installs an update the client prepared in its AutoUpdate folder.\n"
                   "  --dir FOLDER   the update folder (default: the folder of this program)\n"
                   "  --wait-ms N    how long to wait for the client to end (default 120000)\n"
                   "Exit codes: 0 installed, 1 failed and restored, 2 refused, 3 another\n"
                   "updater runs, 4 the client did not end.\n";
            return 0;
        }
        if (a == QLatin1String("--version")) {
            out << "OrvelTool " << ORVEL_VERSION << '\n';
            return 0;
        }
        if (a == QLatin1String("--dir") && i + 1 < args.size()) {
            dir = args.at(++i);
        } else if (a == QLatin1String("--wait-ms") && i + 1 < args.size()) {
            waitMs = args.at(++i).toInt();
        } else {
            err << "OrvelTool: unknown argument " << a << '\n';
            return 2;
        }
    }

    VUpdateInstaller installer(dir);
    installer.setWaitTimeoutMs(waitMs);
    const VUpdateInstaller::Result r = installer.run();
    if (r != VUpdateInstaller::Done)
        err << "OrvelTool: " << installer.lastError() << '\n';
    return int(r);
}
