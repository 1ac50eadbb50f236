// A client process for restart tests: the transfer list's tasks over a
// per-user log, restored at start the way the client restores them. The
// test kills it with SIGKILL mid-transfer and starts it again.
//   transferclient --root URL --token T --userdir DIR --continue 0|1
//                  [--upload FILE --to FOLDER] [--download FILEID --out PATH --size N]
//                  [--limit-kib N]
// Prints "row <id> <status> <state>" for every restored row, "first <id>
// <bytes>" for the first progress report of each row, and "done" when no
// row is left. "start" on stdin starts every row.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <unistd.h>

#include "Api/api.h"
#include "DB/db_self.h"
#include "context/orvelcore.h"
#include "context/vglobalparameter.h"
#include "records/m_config.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vtransfertask.h"
#include "transfer/vtransfertasklist.h"
#include "transfer/vtransferthrottle.h"

static void say(const QString &s)
{
    QTextStream o(stdout);
    o << s << '\n';
    o.flush();
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    initOrvelCore();
    QCommandLineParser p;
    for (const char *o : {"root", "token", "userdir", "continue", "upload", "to", "download", "out", "size", "limit-kib"})
        p.addOption({QString::fromLatin1(o), QString(), QStringLiteral("v")});
    p.process(app);
    VGlobalParameter::instance()->setServerRoot(p.value(QStringLiteral("root")));
    Api::instance()->setToken(p.value(QStringLiteral("token")));
    M_config::instance()->Normal_isContinue = p.value(QStringLiteral("continue")) == QLatin1String("1");
    M_config::instance()->Transfer_threadcount_upload = 2;
    M_config::instance()->Transfer_threadcount_download = 2;
    const qint64 limit = p.value(QStringLiteral("limit-kib")).toLongLong() * 1024;
    VTransferThrottle::followConfig(); // once, so the workers leave this limit alone
    VTransferThrottle::upload()->setLimit(limit);
    VTransferThrottle::download()->setLimit(limit);

    db_self store(p.value(QStringLiteral("userdir")));
    if (!store.isReady())
        return 3;
    store.connectHub();
    VTransferTaskList up(VTransferTaskList::Upload, &store);
    VTransferTaskList down(VTransferTaskList::Download, &store);
    QSet<int> reported;
    auto watch = [&](VTransferTaskList &list, int first, int n) {
        for (int i = first; i < first + n; ++i) {
            VTransferTask *t = list.at(i);
            QObject::connect(t, &VTransferTask::signalStatusChanged, &app, [t](int s) {
                if (s == VTransferTask::Failed)
                    say(QStringLiteral("failed %1 %2").arg(t->id()).arg(t->record().error));
            });
            QObject::connect(t, &VTransferTask::signalProgress, &app, [&reported, t](qint64 done, qint64) {
                if (!reported.contains(t->id())) {
                    reported.insert(t->id());
                    say(QStringLiteral("first %1 %2").arg(t->id()).arg(done));
                }
            });
        }
    };
    QObject::connect(&up, &VTransferTaskList::signalInserted, &app, [&](int f, int n) { watch(up, f, n); });
    QObject::connect(&down, &VTransferTaskList::signalInserted, &app, [&](int f, int n) { watch(down, f, n); });
    auto checkDone = [&] {
        if (up.count() == 0 && down.count() == 0) {
            say(QStringLiteral("done"));
            QCoreApplication::exit(0);
        }
    };
    QObject::connect(&up, &VTransferTaskList::signalCountChanged, &app, checkDone);
    QObject::connect(&down, &VTransferTaskList::signalCountChanged, &app, checkDone);

    up.restore();
    down.restore();
    for (VTransferTaskList *l : {&up, &down})
        for (VTransferTask *t : l->tasks())
            say(QStringLiteral("row %1 %2 %3").arg(t->id()).arg(t->status()).arg(t->stateText()));

    QList<M_db_file> add;
    if (p.isSet(QStringLiteral("upload"))) {
        M_db_file r;
        r.type = 2;
        r.localpath = p.value(QStringLiteral("upload"));
        r.filename = QFileInfo(r.localpath).fileName();
        r.serverpath = p.value(QStringLiteral("to"));
        r.filesize = QFileInfo(r.localpath).size();
        add << r;
    }
    if (p.isSet(QStringLiteral("download"))) {
        M_db_file r;
        r.type = 1;
        r.fileid = p.value(QStringLiteral("download"));
        r.localpath = p.value(QStringLiteral("out"));
        r.filename = QFileInfo(r.localpath).fileName();
        r.filesize = p.value(QStringLiteral("size")).toLongLong();
        add << r;
    }
    for (const M_db_file &r : add)
        emit VGlobalConnect::instance()->signalDbselfAddFiles({r}, 0, true);

    QSocketNotifier in(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&in, &QSocketNotifier::activated, &app, [&] {
        char buf[64];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n > 0 && QByteArray(buf, int(n)).contains("start")) {
            up.startAll();
            down.startAll();
        }
    });
    say(QStringLiteral("ready"));
    if (up.count() == 0 && down.count() == 0) {
        say(QStringLiteral("done"));
        return 0;
    }
    return app.exec();
}
