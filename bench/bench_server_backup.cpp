// Backup engine benchmark against a local orvel-server: a first full backup
// of FILES small files (1-64 KiB) in FILES/10 folders plus one large file,
// then a pass without change and a second full run over the complete copy.
// Prints files/s, the large file's speed beside curl's on the same server,
// the longest stall of the event loop, and the growth of resident memory.
// Usage: bench_server_backup [FILES (default 2000)] [LARGE_MIB (default 64)]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "Api/api.h"
#include "DB/db_self.h"
#include "backup/vbackuptask.h"
#include "context/orvelcore.h"
#include "context/userinfo.h"
#include "context/vconfigs.h"
#include "context/vglobalparameter.h"
#include "utils/vutils.h"

#include "benchutil.h"
#include "testhome.h"
#include "testserver.h"

namespace {

bool runPass(VBackupTask *task, double *seconds)
{
    QSignalSpy done(task, &VBackupTask::signalPassFinished);
    QElapsedTimer t;
    t.start();
    if (!task->startFetch())
        return false;
    if (!done.wait(3600000))
        return false;
    *seconds = t.elapsed() / 1000.0;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    const int largeMib = argc > 2 ? QByteArray(argv[2]).toInt() : 64;
    TestHome home;
    initOrvelCore();
    loadCryptoScript();
    TestServer::Options opt;
    opt.actDelayMs = 0;
    TestServer server(opt);
    if (!server.start()) {
        std::printf("server: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    VGlobalParameter::instance()->setServerRoot(server.rootUrl());
    const QString token = server.signIn(QStringLiteral("admin"), QStringLiteral("admin123"));
    Api::instance()->setToken(token);
    UserInfo::instance()->schoolid = 1001;

    // seed the tree
    const QString base = QStringLiteral("/1001/sharedisk/bench");
    const int folders = qMax(1, files / 10);
    QElapsedTimer seedClock;
    seedClock.start();
    // ten files a folder, straight into the service's store; each folder's
    // files have one size between 1 and 64 KiB
    qint64 smallBytes = 0;
    for (int d = 0; d < folders; ++d) {
        const int size = 1024 * (1 + (d * 37) % 64);
        QByteArray text(size, 'a' + char(d % 26));
        const int n = qMin(10, files - d * 10);
        if (n <= 0)
            break;
        const QJsonObject body{{"path", base + QStringLiteral("/d%1").arg(d)}, {"files", n}, {"dirs", 0},
                               {"prefix", "f"}, {"content", QString::fromLatin1(text)}};
        server.request(QStringLiteral("POST"), server.rootUrl() + QStringLiteral("__control/tree"),
                       QJsonDocument(body).toJson(QJsonDocument::Compact),
                       {{"Content-Type", "application/json"}});
        smallBytes += qint64(size) * n;
    }
    QByteArray large(largeMib * 1048576, 'L');
    for (int k = 0; k < large.size(); k += 4096)
        large[k] = char(k / 4096);
    const QString largeId = server.uploadFile(token, base, QStringLiteral("large.bin"), large);
    std::printf("seeded %d files (%.1f MiB) in %d folders and a %d MiB file in %.1f s\n", files,
                smallBytes / 1048576.0, folders, largeMib, seedClock.elapsed() / 1000.0);

    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/copy");
    QDir().mkpath(root);
    db_self store(tmp.path() + QStringLiteral("/user"));
    VBackupTask task(1, &store);
    task.setSchool(QStringLiteral("1001"));
    task.applyConfig(root, 60);
    task.switchOn(false);
    LagMeter meter;

    const qint64 rss0 = rssKib();
    meter.start();
    double first = 0;
    if (!runPass(&task, &first)) {
        std::printf("first pass failed: %s\n", qPrintable(task.lastError()));
        return 1;
    }
    const qint64 rss1 = rssKib();
    std::printf("first full backup: %d downloads in %.2f s = %.0f files/s, stall %lld ms, RSS +%lld MiB\n",
                task.passDownloads(), first, task.passDownloads() / first, meter.max(), (rss1 - rss0) / 1024);
    const bool exact = VUtils::fileSha256(root + QStringLiteral("/bench/large.bin")) == TestServer::sha256Hex(large);
    std::printf("large file byte-exact: %s\n", exact ? "yes" : "NO");

    meter.start();
    double nochange = 0;
    runPass(&task, &nochange);
    std::printf("pass without change: %d request(s), %d downloads, %.3f s, stall %lld ms\n", task.passRequests(),
                task.passDownloads(), nochange, meter.max());

    task.resetAnswer(true);
    task.switchOn(false);
    meter.start();
    double again = 0;
    runPass(&task, &again);
    std::printf("second full run over the copy: %d downloads, %d skipped in %.2f s, stall %lld ms\n",
                task.passDownloads(), task.passSkipped(), again, meter.max());

    // a new large file alone: a change pass (change log, one look-up, the
    // download) against curl fetching the same file from the same server
    QByteArray large2 = large;
    large2[0] = 'M';
    const QString large2Id = server.uploadFile(token, base, QStringLiteral("large2.bin"), large2);
    meter.start();
    double largeRun = 0;
    runPass(&task, &largeRun);
    const double engineMibs = largeMib / largeRun;
    QElapsedTimer lt;
    lt.start();
    {
        QProcess curl;
        const QString url = VUtils::downloadUrl(server.rootUrl().chopped(1), large2Id, token);
        curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), tmp.path() + QStringLiteral("/curl.bin"), url});
        curl.waitForFinished(-1);
    }
    const double curlSeconds = lt.elapsed() / 1000.0;
    std::printf("new large file: change pass %.2f s (%d requests, %d download) = %.1f MiB/s, stall %lld ms; curl %.1f MiB/s (%.0f %%)\n",
                largeRun, task.passRequests(), task.passDownloads(), engineMibs, meter.max(), largeMib / curlSeconds,
                100.0 * engineMibs / (largeMib / curlSeconds));
    task.shutdown();
    return exact ? 0 : 1;
}
