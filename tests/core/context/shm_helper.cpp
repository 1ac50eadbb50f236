// A second process for the account-registry tests. The registry key comes
// from ORVEL_SHM_KEY, so tests never touch a real instance's registry.
//   register ACCOUNT      register with our pid, print "registered PID", then
//                         block until killed or stdin closes
//   check ACCOUNT         print "held" or "free"
//   reuse ACCOUNT         print the entries found, then "free"/"held" for the
//                         account, register it, print "registered PID"
//   many PREFIX N         register PREFIX0..PREFIX(N-1), then exit
#include "context/vsharedmemory.h"
#include "platform/vplatform.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString cmd = args.at(1), account = args.at(2);
    VSharedMemory *shm = VSharedMemory::instance();
    const quint32 self = VPlatform::ownRegistryId();
    if (!shm->usable()) {
        out << "unusable\n";
        return 3;
    }
    if (cmd == "register") {
        shm->registerAccount(account, self);
        out << "registered " << self << '\n';
        out.flush();
        char buf[64];
        while (std::fgets(buf, sizeof buf, stdin)) {
        }
        return 0;
    }
    if (cmd == "check") {
        out << (shm->check(account, self) ? "held" : "free") << '\n';
        return 0;
    }
    if (cmd == "reuse") {
        const auto entries = shm->entries();
        for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
            out << "entry " << it.key() << ' ' << it.value() << '\n';
        out << (shm->check(account, self) ? "held" : "free") << '\n';
        shm->registerAccount(account, self);
        out << "registered " << self << '\n';
        return 0;
    }
    if (cmd == "many" && args.size() > 3) {
        const int n = args.at(3).toInt();
        for (int i = 0; i < n; ++i)
            shm->registerAccount(account + QString::number(i), self);
        out << "done\n";
        return 0;
    }
    return 2;
}
