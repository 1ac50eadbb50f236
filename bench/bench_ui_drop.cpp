// A drop of 10 000 files in 1 000 folders: the walk on the pool (with a lag
// probe on the GUI thread), the folder list for the one AddDirs request and
// the one store batch of upload records on the store's writer thread (beside
// the same batch in one call on the GUI thread).
// Usage: bench_ui_drop [folders] [files per folder]
#include "DB/db_self.h"
#include "context/orvelcore.h"
#include "disk/vdropwalk.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFutureWatcher>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    initOrvelCore();
    QTextStream out(stdout);
    const int folders = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    const int perFolder = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10;
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/Drop";
    for (int d = 0; d < folders; ++d) {
        const QString dir = QStringLiteral("%1/Class%2/Week%3").arg(root).arg(d / 50).arg(d % 50);
        QDir().mkpath(dir);
        for (int f = 0; f < perFolder; ++f) {
            QFile file(QStringLiteral("%1/Note%2.txt").arg(dir).arg(f));
            file.open(QIODevice::WriteOnly);
            file.write("x");
        }
    }
    // lag probe
    QElapsedTimer clock;
    qint64 last = 0, maxGap = 0;
    QTimer probe;
    probe.setInterval(2);
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last)
            maxGap = std::max(maxGap, now - last);
        last = now;
    });
    clock.start();
    probe.start();
    QElapsedTimer t;
    t.start();
    QFutureWatcher<VDropWalk::Plan> w;
    QEventLoop loop;
    QObject::connect(&w, &QFutureWatcher<VDropWalk::Plan>::finished, &loop, &QEventLoop::quit);
    w.setFuture(QtConcurrent::run(&VDropWalk::walk, QStringList{root}, QStringLiteral("/1001/sharedisk/目标")));
    loop.exec();
    const double walkMs = t.nsecsElapsed() / 1e6;
    const double walkStall = maxGap / 1e6;
    const VDropWalk::Plan plan = w.result();

    // The records go to the transfer log in one batch: as the page hands it
    // over (the store's writer thread), and for reference in one call on the
    // GUI thread.
    db_self store(tmp.path() + "/user");
    int added = 0;
    QObject::connect(&store, &db_self::signalAddCount, [&](int, int result, bool) {
        added = result;
        loop.quit();
    });
    maxGap = 0;
    last = 0;
    t.restart();
    // (started once the probe has ticked, so a stall right at the start counts)
    QTimer::singleShot(20, [&] { store.addFilesInBackground(plan.files, 1, true); });
    loop.exec();
    const double storeMs = t.nsecsElapsed() / 1e6 - 20;
    const double storeStall = maxGap / 1e6;
    const int addedBackground = added;
    db_self direct(tmp.path() + "/user2");
    QObject::disconnect(&store, nullptr, nullptr, nullptr);
    QObject::connect(&direct, &db_self::signalAddCount, [&](int, int result, bool) { added = result; });
    maxGap = 0;
    last = 0;
    t.restart();
    QTimer::singleShot(20, [&] {
        direct.addFiles(plan.files, 1, true);
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
    });
    loop.exec();
    const double directMs = t.nsecsElapsed() / 1e6 - 25;
    const double directStall = maxGap / 1e6;
    out << QStringLiteral("drop of %1 files in %2 folders (+%3 parents)\n")
               .arg(plan.files.size())
               .arg(folders)
               .arg(plan.dirs.size() - folders);
    out << QStringLiteral("walk on the pool     : %1 ms, GUI stall meanwhile %2 ms\n").arg(walkMs, 0, 'f', 1).arg(walkStall, 0, 'f', 1);
    out << QStringLiteral("AddDirs requests     : 1 (%1 folders in it)\n").arg(plan.dirs.size());
    out << QStringLiteral("store batch, writer thread: %1 ms until reported, GUI stall meanwhile %2 ms, %3 rows added\n")
               .arg(storeMs, 0, 'f', 1)
               .arg(storeStall, 0, 'f', 1)
               .arg(addedBackground);
    out << QStringLiteral("  reference, one call on the GUI thread: %1 ms, GUI stall %2 ms, %3 rows added\n")
               .arg(directMs, 0, 'f', 1)
               .arg(directStall, 0, 'f', 1)
               .arg(added);
    out << QStringLiteral("walk + records       : %1 ms\n").arg(walkMs + storeMs, 0, 'f', 1);
    return 0;
}
