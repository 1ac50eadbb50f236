// Benchmarks of the transfer list, with its real page and rows (offscreen):
//   records [N]            N (10 000) records arriving at once: first row shown,
//                          all listed, event-loop lag p99, RSS growth, admission
//                          cost at 10 and at N rows, start-all over N rows
//   files N KIB TOOL PAR...  N files of KIB KiB up and back down through the
//                          rows, for each parallel count; files/s and SHA-256
//                          checks, beside orvel-transfer's many-files mode (TOOL)
//                          on other files of the same sizes in the same run;
//                          ORVEL_BENCH_DELAY_MS=D delays every request to the
//                          stand-in by D ms, as a distant server would
//   big MIB TOOL           one MIB MiB file up and down through a row, and the
//                          same with orvel-transfer (TOOL) in the same run
//   stopall                stop-all of 5 + 5 running transfers, GUI stalls, and
//                          the time to close the page with 10 running
// Runs its own orvel-server (tests/support). Never part of pass/fail.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <unistd.h>

#include "Api/api.h"
#include "DB/db_self.h"
#include "chuanshuliebiao/vchuanshuliebiao.h"
#include "chuanshuliebiao/vchuanshuliebiao_down.h"
#include "chuanshuliebiao/vchuanshuliebiao_up.h"
#include "context/orvelcore.h"
#include "context/vconfigs.h"
#include "context/vglobalparameter.h"
#include "records/m_config.h"
#include "benchutil.h"
#include "testhome.h"
#include "testserver.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "transfer/vtransfertask.h"
#include "transfer/vtransferthrottle.h"
#include "utils/vutils.h"

namespace {

const QString kFolder = QStringLiteral("/1001/sharedisk/");

void out(const QString &s) { QTextStream(stdout) << s << Qt::endl; }

// Sleeps between events, with a 2 ms tick to look again: a spinning wait
// would take a core (of two) from the transfers it measures.
bool waitFor(const std::function<bool()> &cond, int ms)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(2);
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QByteArray randomBytes(qint64 n, quint32 seed)
{
    QByteArray b(int(n), Qt::Uninitialized);
    QRandomGenerator g(seed);
    g.fillRange(reinterpret_cast<quint32 *>(b.data()), int(n / 4));
    return b;
}

bool writeRandomFile(const QString &path, qint64 size, quint32 seed)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator g(seed);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 left = size; left > 0;) {
        g.fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
        const qint64 n = qMin<qint64>(left, chunk.size());
        f.write(chunk.constData(), n);
        left -= n;
    }
    return true;
}

M_db_file uploadRecord(const QString &path, const QString &folder = kFolder)
{
    M_db_file r;
    r.type = 2;
    r.filename = QFileInfo(path).fileName();
    r.localpath = path;
    r.serverpath = folder;
    r.filesize = QFileInfo(path).size();
    return r;
}

struct Env
{
    TestHome home;
    QTemporaryDir dir;
    std::unique_ptr<TestServer> server;
    db_self *store = nullptr;
    QString token;

    bool up(bool withServer)
    {
        VGlobalParameter::instance();
        if (withServer) {
            TestServer::Options o;
            o.actDelayMs = 20;
            server = std::make_unique<TestServer>(o);
            if (!server->start()) {
                out(QStringLiteral("server: %1").arg(server->errorString()));
                return false;
            }
            VGlobalParameter::instance()->setServerRoot(server->rootUrl());
            token = server->signIn(QStringLiteral("demo"), QStringLiteral("demo123"));
            Api::instance()->setToken(token);
        }
        store = new db_self(dir.filePath(QStringLiteral("user")));
        store->connectHub();
        return store->isReady();
    }
};

// Start then stop one row, rounds times over the first ten rows (on screen,
// so their widgets follow every change): microseconds a round.
double admissionCost(VTransferTaskList *list)
{
    QElapsedTimer t;
    t.start();
    const int rounds = 2000;
    for (int i = 0; i < rounds; ++i) {
        VTransferTask *task = list->at(i % 10);
        task->start();
        task->stop();
    }
    const double us = t.nsecsElapsed() / 1000.0 / rounds;
    QCoreApplication::processEvents(); // the digest jobs' reports
    return us;
}

int benchRecords(int n)
{
    Env env;
    if (!env.up(false))
        return 1;
    M_config::instance()->Normal_isContinue = false;
    M_config::instance()->Transfer_threadcount_upload = 2;
    auto *page = new VChuanshuliebiao(nullptr, env.store);
    page->resize(1000, 640);
    page->show();
    emit VGlobalConnect::instance()->signalStopUpload(); // the rows wait for the user
    QCoreApplication::processEvents();
    VTransferTaskList *l = page->upTab()->list();
    auto records = [&](int count, const QString &prefix) {
        QList<M_db_file> list;
        for (int i = 0; i < count; ++i)
            list << uploadRecord(env.dir.filePath(QStringLiteral("absent/%1-%2.docx").arg(prefix).arg(i)));
        return list;
    };

    // Admission at 10 rows: the same page, rows and widgets as below.
    emit VGlobalConnect::instance()->signalDbselfAddFiles(records(10, QStringLiteral("few")), 0, true);
    waitFor([&] { return page->upTab()->rowCount() == 10; }, 60000);
    const double atTen = admissionCost(l);
    l->cancelAll();
    waitFor([&] { return page->upTab()->totalCount() == 0 && page->upTab()->rowCount() == 0; }, 60000);

    const QList<M_db_file> list = records(n, QStringLiteral("file"));
    const qint64 rss0 = rssKib();
    LagMeter lag;
    lag.start();
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, [&] { emit VGlobalConnect::instance()->signalDbselfAddFiles(list, 0, true); });
    waitFor([&] { return page->upTab()->rowCount() > 0 && page->upTab()->rows().first()->isVisible(); }, 60000);
    QCoreApplication::processEvents();
    const qint64 first = clock.elapsed();
    waitFor([&] { return page->upTab()->totalCount() == n; }, 60000);
    const qint64 all = clock.elapsed();
    // A second more of normal running for the lag figures.
    waitFor([&] { return clock.elapsed() > all + 1000; }, 5000);
    lag.stop();
    const qint64 rss1 = rssKib();
    out(QStringLiteral("records %1: first row shown %2 ms (ref <= 300), all listed %3 ms (ref <= 3000)")
            .arg(n).arg(first).arg(all));
    out(QStringLiteral("event-loop lag p99 %1 ms (ref <= 30), max %2 ms over %3 samples; row widgets alive %4")
            .arg(lag.p99()).arg(lag.max()).arg(lag.samples()).arg(page->upTab()->rowCount()));
    out(QStringLiteral("RSS growth %1 MiB (ref <= 100)").arg((rss1 - rss0) / 1024.0, 0, 'f', 1));

    const double atMany = admissionCost(l);
    out(QStringLiteral("admit + stop one row: %1 us at %2 rows, %3 us at 10 rows (ref: the same)")
            .arg(atMany, 0, 'f', 1).arg(n).arg(atTen, 0, 'f', 1));

    // Admission with every row queued: the queue's own bookkeeping.
    l->startAll();
    const double queued = admissionCost(l);
    l->stopAll();
    waitFor([&] { return l->countActive() == 0; }, 30000);
    out(QStringLiteral("admit + stop one row with %1 rows waiting: %2 us").arg(n).arg(queued, 0, 'f', 1));

    QElapsedTimer s;
    s.start();
    l->startAll();
    const qint64 startAll = s.elapsed();
    out(QStringLiteral("start-all over %1 rows: %2 ms (ref <= 200)").arg(n).arg(startAll));
    l->stopAll();
    waitFor([&] { return l->countActive() == 0; }, 30000);
    delete page;
    return 0;
}

// Before each timed big transfer: the gigabyte the previous one wrote goes
// to disk now, not during the next one (whichever ran second paid for it).
void settle()
{
    ::sync();
}

QString field(const QByteArray &text, const QString &name)
{
    for (const QByteArray &line : text.split('\n'))
        if (line.startsWith(name.toLatin1() + ' '))
            return QString::fromUtf8(line.mid(name.size() + 1)).trimmed();
    return QString();
}

// N files of KIB KiB up through the rows, then down again, per parallel count.
int benchFiles(int n, int kib, const QString &tool, const QList<int> &parallels)
{
    Env env;
    if (!env.up(true))
        return 1;
    const int delayMs = qEnvironmentVariableIntValue("ORVEL_BENCH_DELAY_MS");
    if (delayMs > 0) {
        // On loopback each request costs CPU only, which two cores run out of
        // before five transfers overlap; a server some milliseconds away shows
        // what running them side by side gains.
        env.server->addFault(QStringLiteral("/"), QStringLiteral("delay"), delayMs);
        out(QStringLiteral("every request delayed by %1 ms").arg(delayMs));
    }
    M_config::instance()->Normal_isContinue = true;
    VTransferThrottle::upload()->setLimit(0);
    VTransferThrottle::download()->setLimit(0);
    auto *page = new VChuanshuliebiao(nullptr, env.store);
    page->resize(1000, 640);
    page->show();
    int round = 0;
    double rate1up = 0, rate1down = 0;
    for (int par : parallels) {
        ++round;
        const QString dir = env.dir.filePath(QStringLiteral("files-%1").arg(round));
        const QString folder = QStringLiteral("files%1").arg(round);
        QDir().mkpath(dir);
        // The rows' folder and the reference tool's, both made before the clock starts.
        for (const QString &name : {folder, folder + QStringLiteral("-tool")}) {
            const QJsonObject act = env.server->call(QStringLiteral("api/v1/wp/act/add"),
                                                     {{QStringLiteral("acttype"), QStringLiteral("AddDir")},
                                                      {QStringLiteral("filepath"), kFolder},
                                                      {QStringLiteral("dirname"), name}},
                                                     env.token);
            env.server->waitAct(
                env.token, act.value(QStringLiteral("data")).toObject().value(QStringLiteral("evtid")).toVariant().toString());
        }
        QHash<QString, QByteArray> contents;
        QList<M_db_file> ups;
        for (int i = 0; i < n; ++i) {
            const QString name = QStringLiteral("f%1.bin").arg(i);
            const QByteArray c = randomBytes(qint64(kib) * 1024, quint32(round * 100000 + i));
            QFile f(dir + QLatin1Char('/') + name);
            f.open(QIODevice::WriteOnly);
            f.write(c);
            contents.insert(name, c);
            ups << uploadRecord(f.fileName(), kFolder + folder + QLatin1Char('/'));
        }
        M_config::instance()->Transfer_threadcount_upload = par;
        M_config::instance()->Transfer_threadcount_download = par;
        LagMeter lag;
        lag.start();
        QElapsedTimer t;
        t.start();
        emit VGlobalConnect::instance()->signalDbselfAddFiles(ups, 0, true);
        waitFor([&] { return page->upTab()->list()->countActive() == 0; }, 600000);
        const double upSec = t.elapsed() / 1000.0;
        lag.stop();
        const int upFailed = page->upTab()->totalCount();
        int bad = 0;
        QList<M_db_file> downs;
        const QString back = env.dir.filePath(QStringLiteral("back-%1").arg(round));
        for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
            const QJsonObject st = env.server->stat(kFolder + folder + QLatin1Char('/') + it.key());
            if (st.value(QStringLiteral("sha256")).toString() != TestServer::sha256Hex(it.value()))
                ++bad;
            M_db_file d;
            d.type = 1;
            d.fileid = st.value(QStringLiteral("id")).toVariant().toString();
            d.filename = it.key();
            d.localpath = back + QLatin1Char('/') + it.key();
            d.filesize = it.value().size();
            downs << d;
        }
        const double upRate = n / upSec;
        out(QStringLiteral("upload %1 x %2 KiB, %3 parallel: %4 s, %5 files/s, failed %6, sha256 mismatches %7, "
                           "GUI lag p99 %8 ms")
                .arg(n).arg(kib).arg(par).arg(upSec, 0, 'f', 2).arg(upRate, 0, 'f', 1).arg(upFailed).arg(bad)
                .arg(lag.p99()));
        page->upTab()->list()->cancelAll();

        t.restart();
        emit VGlobalConnect::instance()->signalDbselfAddFiles(downs, 0, true);
        waitFor([&] { return page->downTab()->list()->countActive() == 0; }, 600000);
        const double downSec = t.elapsed() / 1000.0;
        int badDown = 0;
        for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
            QFile f(back + QLatin1Char('/') + it.key());
            if (!f.open(QIODevice::ReadOnly) || f.readAll() != it.value())
                ++badDown;
        }
        const double downRate = n / downSec;
        out(QStringLiteral("download %1 x %2 KiB, %3 parallel: %4 s, %5 files/s, failed %6, content mismatches %7")
                .arg(n).arg(kib).arg(par).arg(downSec, 0, 'f', 2).arg(downRate, 0, 'f', 1)
                .arg(page->downTab()->totalCount()).arg(badDown));
        page->downTab()->list()->cancelAll();

        // The reference: the same number and sizes of other files (no instant
        // upload) through orvel-transfer's many-files mode, rows without widgets.
        const QString toolDir = env.dir.filePath(QStringLiteral("tool-%1").arg(round));
        QDir().mkpath(toolDir);
        for (int i = 0; i < n; ++i) {
            QFile f(toolDir + QStringLiteral("/t%1.bin").arg(i));
            f.open(QIODevice::WriteOnly);
            f.write(randomBytes(qint64(kib) * 1024, quint32(round * 100000 + 50000 + i)));
        }
        const QString toolFolder = kFolder + folder + QStringLiteral("-tool/");
        const QStringList common{QStringLiteral("--server"), env.server->rootUrl(), QStringLiteral("--user"),
                                 QStringLiteral("demo"), QStringLiteral("--password"), QStringLiteral("demo123"),
                                 QStringLiteral("--parallel"), QString::number(par)};
        auto runTool = [&](const QStringList &args) {
            QProcess p;
            p.start(tool, args + common);
            p.waitForFinished(-1);
            const QByteArray o = p.readAllStandardOutput();
            // A reference that did not finish says why.
            if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
                out(QStringLiteral("  orvel-transfer %1: exit %2%3").arg(args.value(0)).arg(p.exitCode())
                        .arg(p.exitStatus() == QProcess::NormalExit ? QString() : QStringLiteral(" (crashed)")));
                int shown = 0;
                for (const QByteArray &line : o.split('\n'))
                    if (line.startsWith("error") && shown++ < 5)
                        out(QStringLiteral("    ") + QString::fromUtf8(line));
            }
            return qMakePair(field(o, QStringLiteral("files_per_s")).toDouble(), field(o, QStringLiteral("done")));
        };
        const auto toolUp = runTool({QStringLiteral("many-upload"), QStringLiteral("--dir"), toolDir,
                                     QStringLiteral("--to"), toolFolder});
        const auto toolDown = runTool({QStringLiteral("many-download"), QStringLiteral("--from"), toolFolder,
                                       QStringLiteral("--out"), env.dir.filePath(QStringLiteral("tool-back-%1").arg(round))});
        out(QStringLiteral("  orvel-transfer many-files, %1 parallel: upload %2 files/s (done %3), download %4 files/s "
                           "(done %5); rows at %6 % and %7 %")
                .arg(par).arg(toolUp.first, 0, 'f', 1).arg(toolUp.second).arg(toolDown.first, 0, 'f', 1)
                .arg(toolDown.second).arg(toolUp.first > 0 ? 100.0 * upRate / toolUp.first : 0.0, 0, 'f', 0)
                .arg(toolDown.first > 0 ? 100.0 * downRate / toolDown.first : 0.0, 0, 'f', 0));
        if (par == 1) {
            rate1up = upRate;
            rate1down = downRate;
        } else if (rate1up > 0) {
            out(QStringLiteral("  %1 parallel vs 1: uploads x%2, downloads x%3 (ref >= 3, >= 50 files/s)")
                    .arg(par).arg(upRate / rate1up, 0, 'f', 2).arg(downRate / rate1down, 0, 'f', 2));
        }
    }
    delete page;
    return 0;
}

int benchBig(int mib, const QString &tool)
{
    Env env;
    if (!env.up(true))
        return 1;
    M_config::instance()->Normal_isContinue = true;
    M_config::instance()->Transfer_threadcount_upload = 1;
    M_config::instance()->Transfer_threadcount_download = 1;
    const qint64 bytes = qint64(mib) * 1048576;
    const QString a = env.dir.filePath(QStringLiteral("row.bin"));
    const QString b = env.dir.filePath(QStringLiteral("tool.bin"));
    writeRandomFile(a, bytes, 1);
    writeRandomFile(b, bytes, 2);
    auto *page = new VChuanshuliebiao(nullptr, env.store);
    page->resize(1000, 640);
    page->show();

    // orvel-transfer first, then the row (different content: no instant upload).
    QProcess p;
    QElapsedTimer t;
    settle();
    p.start(tool, {QStringLiteral("upload"), QStringLiteral("--server"), env.server->rootUrl(), QStringLiteral("--user"),
                   QStringLiteral("demo"), QStringLiteral("--password"), QStringLiteral("demo123"),
                   QStringLiteral("--file"), b, QStringLiteral("--to"), kFolder, QStringLiteral("--uptype"),
                   QStringLiteral("0")});
    p.waitForFinished(-1);
    const QByteArray toolOut = p.readAllStandardOutput();
    // The row's clock covers digest, registration, content check and blocks:
    // the tool's whole upload is the same work ("seconds" is its blocks alone).
    const double toolUp = field(toolOut, QStringLiteral("total_seconds")).toDouble();
    const double toolBlocks = field(toolOut, QStringLiteral("seconds")).toDouble();
    settle();
    t.start();
    emit VGlobalConnect::instance()->signalDbselfAddFiles({uploadRecord(a)}, 0, true);
    waitFor([&] { return page->upTab()->list()->countActive() == 0; }, 3600000);
    const double rowUp = t.elapsed() / 1000.0;
    const QJsonObject st = env.server->stat(kFolder + QStringLiteral("row.bin"));
    out(QStringLiteral("upload %1 MiB: row %2 s (%3 MiB/s), orvel-transfer %4 s (%5 MiB/s; blocks alone %6 s): "
                       "row at %7 % (ref >= 95 %)")
            .arg(mib).arg(rowUp, 0, 'f', 2).arg(mib / rowUp, 0, 'f', 1).arg(toolUp, 0, 'f', 2)
            .arg(mib / toolUp, 0, 'f', 1).arg(toolBlocks, 0, 'f', 2).arg(100.0 * toolUp / rowUp, 0, 'f', 0));

    // Downloads twice, in the order tool, row, row, tool: the better of each
    // pair, so neither gains from running first or second. Each downloaded
    // file is checked and deleted at once, so every run finds the same free
    // memory for its writes.
    const QString url = field(toolOut, QStringLiteral("download_url"));
    const QString local = VUtils::fileSha256(a);
    QStringList back;
    auto checkAndDrop = [&](const QString &path) {
        back << (VUtils::fileSha256(path) == local ? QStringLiteral("equal") : QStringLiteral("DIFFERENT"));
        QFile::remove(path);
    };
    auto toolDownload = [&](int n) {
        settle();
        const QString path = env.dir.filePath(QStringLiteral("dl/tool-down-%1.bin").arg(n));
        p.start(tool, {QStringLiteral("download"), QStringLiteral("--url"), url, QStringLiteral("--out"), path,
                       QStringLiteral("--no-rename")});
        p.waitForFinished(-1);
        const double s = field(p.readAllStandardOutput(), QStringLiteral("seconds")).toDouble();
        QFile::remove(path);
        return s;
    };
    auto rowDownload = [&](int n) {
        M_db_file d;
        d.type = 1;
        d.fileid = st.value(QStringLiteral("id")).toVariant().toString();
        d.filename = QStringLiteral("row-down-%1.bin").arg(n);
        d.localpath = env.dir.filePath(QStringLiteral("dl%1/row.bin").arg(n));
        d.filesize = bytes;
        settle();
        t.restart();
        emit VGlobalConnect::instance()->signalDbselfAddFiles({d}, 0, true);
        waitFor([&] { return page->downTab()->list()->countActive() == 0; }, 3600000);
        const double s = t.elapsed() / 1000.0;
        // Where the row put it (the name the server gives the file).
        for (const M_db_file &f : env.store->getDone())
            if (f.type == 1 && f.localpath.startsWith(env.dir.filePath(QStringLiteral("dl%1/").arg(n))))
                checkAndDrop(f.localpath);
        return s;
    };
    const double tool1 = toolDownload(1);
    const double row1 = rowDownload(1);
    const double row2 = rowDownload(2);
    const double tool2 = toolDownload(2);
    const double toolDown = (tool1 > 0 && tool2 > 0) ? qMin(tool1, tool2) : qMax(tool1, tool2);
    const double rowDown = qMin(row1, row2);
    out(QStringLiteral("download %1 MiB: row %2 s (%3 MiB/s; %4 s and %5 s), orvel-transfer %6 s (%7 MiB/s; %8 s and "
                       "%9 s): row at %10 % (ref >= 95 %)")
            .arg(mib).arg(rowDown, 0, 'f', 2).arg(mib / rowDown, 0, 'f', 1).arg(row1, 0, 'f', 2).arg(row2, 0, 'f', 2)
            .arg(toolDown, 0, 'f', 2).arg(mib / toolDown, 0, 'f', 1).arg(tool1, 0, 'f', 2).arg(tool2, 0, 'f', 2)
            .arg(100.0 * toolDown / rowDown, 0, 'f', 0));
    const QString server = st.value(QStringLiteral("sha256")).toString();
    out(QStringLiteral("sha256 local %1, server %2: %3; the rows' downloads: %4")
            .arg(local, server, local == server ? QStringLiteral("equal") : QStringLiteral("DIFFERENT"),
                 back.join(QStringLiteral(", "))));
    delete page;
    return 0;
}

int benchStopAll()
{
    Env env;
    if (!env.up(true))
        return 1;
    M_config::instance()->Normal_isContinue = true;
    M_config::instance()->Transfer_threadcount_upload = 5;
    M_config::instance()->Transfer_threadcount_download = 5;
    // Slow enough that every transfer is still running when stopped.
    VTransferThrottle::upload()->setLimit(20 * 1048576);
    VTransferThrottle::download()->setLimit(20 * 1048576);
    const qint64 size = 200 * 1048576;
    QList<M_db_file> ups, downs;
    for (int i = 0; i < 5; ++i) {
        const QString p = env.dir.filePath(QStringLiteral("s%1.bin").arg(i));
        writeRandomFile(p, size, quint32(50 + i));
        ups << uploadRecord(p);
        const QByteArray c = randomBytes(64 * 1048576, quint32(70 + i));
        const QString id = env.server->uploadFile(env.token, kFolder, QStringLiteral("d%1.bin").arg(i), c);
        M_db_file d;
        d.type = 1;
        d.fileid = id;
        d.filename = QStringLiteral("d%1.bin").arg(i);
        d.localpath = env.dir.filePath(QStringLiteral("down/d%1.bin").arg(i));
        d.filesize = c.size();
        downs << d;
    }
    auto *page = new VChuanshuliebiao(nullptr, env.store);
    page->resize(1000, 640);
    page->show();
    emit VGlobalConnect::instance()->signalDbselfAddFiles(ups, 0, true);
    emit VGlobalConnect::instance()->signalDbselfAddFiles(downs, 0, true);
    auto running = [&](VTransferTaskList *l, int s) {
        int n = 0;
        for (VTransferTask *t : l->tasks())
            n += t->status() == s ? 1 : 0;
        return n;
    };
    waitFor([&] { return running(page->upTab()->list(), 2) == 5 && running(page->downTab()->list(), 1) == 5; }, 120000);
    LagMeter lag;
    lag.start();
    QElapsedTimer t;
    t.start();
    emit VGlobalConnect::instance()->signalStopUpload();
    emit VGlobalConnect::instance()->signalStopDownload();
    const bool ok = waitFor([&] { return running(page->upTab()->list(), 0) == 5 && running(page->downTab()->list(), 0) == 5; },
                            60000);
    const qint64 stopMs = t.elapsed();
    // The stalls are watched until the workers have really ended, and a
    // little after.
    waitFor([&] { return !VGlobalQueue::instance()->hasRunningTransfers(); }, 60000);
    const qint64 endedMs = t.elapsed();
    waitFor([&] { return t.elapsed() > endedMs + 300; }, 5000);
    lag.stop();
    out(QStringLiteral("stop-all of 5 + 5 running: every row at 0 after %1 ms%2 (ref <= 2000), workers ended after %3 ms, "
                       "GUI stall max %4 ms over %5 ms (ref <= 100)")
            .arg(stopMs).arg(ok ? QString() : QStringLiteral(" (not all)")).arg(endedMs).arg(lag.max())
            .arg(t.elapsed()));

    emit VGlobalConnect::instance()->signalStartUpload();
    emit VGlobalConnect::instance()->signalStartDownload();
    waitFor([&] { return running(page->upTab()->list(), 2) == 5 && running(page->downTab()->list(), 1) == 5; }, 120000);
    t.restart();
    // What quitting does: stop everything, wait for the workers, page gone.
    emit VGlobalConnect::instance()->signalStopUpload();
    emit VGlobalConnect::instance()->signalStopDownload();
    waitFor([&] { return !VGlobalQueue::instance()->hasRunningTransfers(); }, 60000);
    delete page;
    out(QStringLiteral("quit with 10 running: %1 ms (ref <= 3000), worker threads left %2")
            .arg(t.elapsed()).arg(VTransferTask::liveWorkerThreads()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    initOrvelCore();
    loadCryptoScript();
    const QStringList args = app.arguments().mid(1);
    const QString cmd = args.value(0);
    if (cmd == QLatin1String("records"))
        return benchRecords(args.value(1, QStringLiteral("10000")).toInt());
    if (cmd == QLatin1String("files")) {
        QList<int> par;
        for (const QString &a : args.mid(4))
            par << a.toInt();
        if (par.isEmpty())
            par = {1, 5};
        return benchFiles(args.value(1, QStringLiteral("2000")).toInt(), args.value(2, QStringLiteral("4")).toInt(),
                          args.value(3), par);
    }
    if (cmd == QLatin1String("big"))
        return benchBig(args.value(1, QStringLiteral("1024")).toInt(), args.value(2));
    if (cmd == QLatin1String("stopall"))
        return benchStopAll();
    out(QStringLiteral("usage: bench_ui_transfer_list records [N] | files N KIB ORVEL_TRANSFER PAR... | big MIB ORVEL_TRANSFER | stopall"));
    return 2;
}
