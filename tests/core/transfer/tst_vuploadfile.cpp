// Upload worker against the stand-in service: block layout, fresh uploads at
// block boundaries, instant upload, stop and resume (also after the process
// was killed), the service's retry and restart codes, and stalls. Every path
// ends with the stored file's SHA-256 compared to the local file's.

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "Api/api.h"
#include "context/vglobalparameter.h"
#include "records/metatypes.h"
#include "testhome.h"
#include "testserver.h"
#include "transfer/vtransferthrottle.h"
#include "transfer/vtransfertimings.h"
#include "transfer/vuploadfile.h"
#include "transferharness.h"

namespace {
constexpr qint64 MiB5 = 5242880;
const QString kUpload = QStringLiteral("/v1/wp/file/Upload");
#ifdef ORVEL_TRANSFER_BIN
const char *const kTool = ORVEL_TRANSFER_BIN;
#else
const char *const kTool = nullptr;
#endif
}

class TestUpload : public QObject
{
    Q_OBJECT

    struct Run : WorkerRun<VUploadFile>
    {
        explicit Run(VUploadFile *w) : WorkerRun(w)
        {
            QObject::connect(w, &VUploadFile::signalReplyFinished, &context, [this](int b) {
                if (b < 0)
                    complete = true;
                else
                    blocks << b;
            });
            QObject::connect(w, &VUploadFile::signalUploadProcess, &context, [this](qint64 d, qint64 t) {
                if (d < lastDone)
                    backwards = true;
                lastDone = d;
                lastTotal = t;
                ++progressCount;
            });
        }
        bool complete = false;
        bool backwards = false;
        QList<int> blocks;
        qint64 lastDone = 0, lastTotal = 0;
        int progressCount = 0;
    };

    struct Event
    {
        QString evtid, upserver;
    };

    TestHome m_home;
    TestServer m_server;
    QTemporaryDir m_dir;
    QString m_token;
    int m_seed = 100;

    Event registerUpload(const QString &name, qint64 size)
    {
        const QJsonObject r = m_server.call(QStringLiteral("api/v1/wp/act/GetUploadLink"),
                                            {{QStringLiteral("filepath"), QStringLiteral("/")},
                                             {QStringLiteral("filename"), name},
                                             {QStringLiteral("filesize"), QString::number(size)},
                                             {QStringLiteral("uptype"), QStringLiteral("1")}},
                                            m_token);
        const QJsonObject d = r.value(QStringLiteral("data")).toObject();
        return {d.value(QStringLiteral("evtid")).toString(), d.value(QStringLiteral("upserver")).toString()};
    }

    VUploadFile *newWorker(const Event &ev, const QString &path, int startBlock, QString *prepError = nullptr)
    {
        auto *w = new VUploadFile;
        const QJsonObject status{{QStringLiteral("url"), Api::instance()->url(Api::act_GetActStatus)},
                                 {QStringLiteral("type"), Api::isPost(Api::act_GetActStatus) ? 1 : 0}};
        const QString err = w->setUploadInfo(ev.evtid, QString::fromLatin1(fileSha256(path)), path, startBlock,
                                             m_token, ev.upserver, status);
        if (prepError)
            *prepError = err;
        return w;
    }

    QString makeLocal(const QString &name, qint64 size)
    {
        const QString path = m_dir.filePath(name);
        makeFile(path, size, quint32(++m_seed));
        return path;
    }

    QByteArray storedSha(const QString &name)
    {
        return m_server.stat(QStringLiteral("/1001/sharedisk/") + name).value(QStringLiteral("sha256")).toString().toLatin1();
    }

    // The block posts counted since `from`, once they are `expected` (or in
    // the end). The stand-in counts a post after its answer is written, so
    // the client can have read an answer that is not counted yet.
    int postsSince(int from, int expected)
    {
        int n = 0;
        // Not reaching the count is for the caller's comparison to report.
        (void)QTest::qWaitFor(
            [&] {
                n = m_server.requestCount(kUpload) - from;
                return n == expected;
            },
            20000);
        return n;
    }

    // Stops a run on the worker's own thread once the given block is next:
    // the worker posts nothing after it, so every post of the run is
    // answered (a stop queued from here may abort a post on the wire, which
    // the stand-in counts or not depending on what it had received).
    static void stopAtBlock(Run &run, int block)
    {
        VUploadFile *w = run.worker;
        QObject::connect(
            run.worker, &VUploadFile::signalReplyFinished, run.worker,
            [w, block](int b) {
                if (b == block)
                    w->requestStop();
            },
            Qt::DirectConnection);
        QObject::connect(run.worker, &VUploadFile::signalReplyFinished, &run.context, [&run, block](int b) {
            if (b == block)
                QMetaObject::invokeMethod(run.worker, "slotStopWork", Qt::QueuedConnection);
        });
    }

private slots:
    void initTestCase()
    {
        registerMetaTypes();
        QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
        VGlobalParameter::instance()->setServerRoot(m_server.rootUrl());
        QString err;
        m_token = m_server.signIn(QStringLiteral("demo"), QStringLiteral("demo123"), 0, &err);
        QVERIFY2(!m_token.isEmpty(), qPrintable(err));
        VTransferThrottle::upload()->setLimit(0);
    }
    void init()
    {
        VTransferTimings::reset();
        VTransferTimings::retrySleepMs = 50;
        m_server.clearFaults();
    }

    void layout_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("blocksize");
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << qint64(0) << int(MiB5) << 0;
        QTest::newRow("12 MiB") << qint64(12 * 1048576) << int(MiB5) << 3;
        QTest::newRow("5 MiB x 10000") << qint64(52428800000) << int(MiB5) << 10000;
        QTest::newRow("one byte more") << qint64(52428800001) << int(MiB5 + 1) << 10000;
        QTest::newRow("60 GB") << qint64(60000000000) << 6000000 << 10000;
    }
    void layout()
    {
        QFETCH(qint64, size);
        QFETCH(int, blocksize);
        QFETCH(int, count);
        int bs = 0, n = 0;
        VUploadFile::blockLayout(size, bs, n);
        QCOMPARE(bs, blocksize);
        QCOMPARE(n, count);
    }

    void sizes_data()
    {
        QTest::addColumn<qint64>("size");
        for (qint64 s : {qint64(0), qint64(1), MiB5 - 1, MiB5, MiB5 + 1, qint64(12 * 1048576)})
            QTest::addRow("%lld", s) << s;
    }
    void sizes()
    {
        QFETCH(qint64, size);
        const QString name = QStringLiteral("size-%1.bin").arg(size);
        const QString path = makeLocal(name, size);
        const Event ev = registerUpload(name, size);
        QVERIFY(!ev.evtid.isEmpty());
        QString err;
        Run run(newWorker(ev, path, 0, &err));
        QCOMPARE(err, QString());
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
        QCOMPARE(run.errors, QStringList());
        QVERIFY(run.complete);
        QVERIFY(!run.backwards);
        if (size > 0) {
            QCOMPARE(run.lastDone, size);
            QCOMPARE(run.lastTotal, size);
        }
        const int n = int((size + MiB5 - 1) / MiB5);
        QList<int> expect;
        for (int b = 1; b < n; ++b)
            expect << b;
        QCOMPARE(run.blocks, expect);
        QCOMPARE(storedSha(name), fileSha256(path));
    }

    void preparation()
    {
        QString err;
        Event ev{QStringLiteral("x"), m_server.uploadServers().value(0)};
        delete newWorker(ev, m_dir.filePath(QStringLiteral("missing.bin")), 0, &err);
        QCOMPARE(err, QStringLiteral("本地文件丢失"));
        QDir(m_dir.path()).mkpath(QStringLiteral("adir"));
        delete newWorker(ev, m_dir.filePath(QStringLiteral("adir")), 0, &err);
        QCOMPARE(err, QStringLiteral("本地文件被占用，请关闭后重试"));
        // Reading is enough: a file without write permission still uploads.
        const QString ro = makeLocal(QStringLiteral("readonly.bin"), 1000);
        QFile::setPermissions(ro, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        ev = registerUpload(QStringLiteral("readonly.bin"), 1000);
        Run run(newWorker(ev, ro, 0, &err));
        QCOMPARE(err, QString());
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 10000);
        QVERIFY(run.complete);
        QCOMPARE(storedSha(QStringLiteral("readonly.bin")), fileSha256(ro));
    }

    // The same content again is complete without a byte sent.
    void instantUpload()
    {
        const QString path = makeLocal(QStringLiteral("first.bin"), 3 * 1048576);
        QVERIFY(!m_server.uploadFile(m_token, QStringLiteral("/"), QStringLiteral("first.bin"),
                                     [&] {
                                         QFile f(path);
                                         f.open(QIODevice::ReadOnly);
                                         return f.readAll();
                                     }())
                     .isEmpty());
        const int posts = m_server.requestCount(kUpload);
        const Event ev = registerUpload(QStringLiteral("second.bin"), 3 * 1048576);
        Run run(newWorker(ev, path, 0));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped || run.complete, 10000);
        QVERIFY(run.complete);
        QCOMPARE(run.errors, QStringList());
        QCOMPARE(run.progressCount, 0);
        QCOMPARE(m_server.requestCount(kUpload), posts);
        QCOMPARE(storedSha(QStringLiteral("second.bin")), fileSha256(path));
    }

    // Stopped after block 2, resumed at the stored block; a resume one block
    // early finds that block held and skips it.
    void stopAndResume()
    {
        const qint64 size = 5 * MiB5 + 17;
        const QString name = QStringLiteral("resume.bin");
        const QString path = makeLocal(name, size);
        const Event ev = registerUpload(name, size);
        const int before = m_server.requestCount(kUpload);
        const int stored = 3;
        {
            Run run(newWorker(ev, path, 0));
            stopAtBlock(run, stored);
            run.start();
            QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 20000);
            QCOMPARE(run.errors, QStringList());
            QVERIFY(!run.complete);
            QCOMPARE(run.blocks, (QList<int>{1, 2, 3}));
        }
        QVERIFY(storedSha(name).isEmpty());
        QCOMPARE(postsSince(before, stored), stored);
        const int posts = before + stored;
        // Block stored-1 is on the server: the block check skips it.
        Run run(newWorker(ev, path, stored - 1));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 20000);
        QCOMPARE(run.errors, QStringList());
        QVERIFY(run.complete);
        QCOMPARE(postsSince(posts, 6 - stored), 6 - stored);
        QCOMPARE(storedSha(name), fileSha256(path));
    }

    // The service's answers: 800003 starts over at block 0, 800004 and
    // "未获取到队列信息" retry the same block with the same bytes.
    void serviceCodes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("startBlock");
        QTest::addColumn<int>("extraPosts");
        QTest::newRow("block 800003") << kUpload << 800003 << 0 << -1;
        QTest::newRow("block 800004") << kUpload << 800004 << 0 << 1;
        QTest::newRow("block queue info") << kUpload << 1 << 0 << 1;
        QTest::newRow("check 800003") << QStringLiteral("/v1/wp/file/ChkBlock") << 800003 << 2 << 2;
        QTest::newRow("check 800004") << QStringLiteral("/v1/wp/file/ChkBlock") << 800004 << 2 << 0;
    }
    void serviceCodes()
    {
        QFETCH(QString, path);
        QFETCH(int, code);
        QFETCH(int, startBlock);
        QFETCH(int, extraPosts);
        const qint64 size = 4 * MiB5 + 3;
        const QString name = QStringLiteral("codes-%1-%2.bin").arg(code).arg(startBlock);
        const QString local = makeLocal(name, size);
        const Event ev = registerUpload(name, size);
        int posts = m_server.requestCount(kUpload);
        if (startBlock > 0) {
            // The first blocks went up in an earlier run.
            Run first(newWorker(ev, local, 0));
            stopAtBlock(first, startBlock);
            first.start();
            QTRY_VERIFY_WITH_TIMEOUT(first.stopped, 20000);
            QCOMPARE(postsSince(posts, startBlock), startBlock);
            posts += startBlock;
        }
        Run run(newWorker(ev, local, startBlock));
        bool faulted = false;
        if (startBlock > 0) {
            QVERIFY(m_server.addFault(path, QStringLiteral("code"), code, 1));
            faulted = true;
        } else {
            // Hit the second block, so a restart has something to undo.
            QObject::connect(run.worker, &VUploadFile::signalReplyFinished, &run.context, [&](int b) {
                if (b == 1 && !faulted)
                    faulted = m_server.addFault(path, QStringLiteral("code"), code, 1);
            });
        }
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 30000);
        QVERIFY(faulted);
        QCOMPARE(run.errors, QStringList());
        QVERIFY(run.complete);
        QVERIFY(run.blocks.contains(1) || startBlock > 0);
        if (extraPosts >= 0)
            QCOMPARE(postsSince(posts, 5 - startBlock + extraPosts), 5 - startBlock + extraPosts);
        else // started over: the first blocks went twice
            QTRY_VERIFY_WITH_TIMEOUT(m_server.requestCount(kUpload) - posts > 5, 20000);
        QCOMPARE(storedSha(name), fileSha256(local));
    }

    // Stop while a block is on the wire: the worker ends without finishing the
    // block (at 256 KB/s it would take 20 s), and without an error.
    void stopDuringBlock()
    {
        const QString name = QStringLiteral("slow.bin");
        const QString local = makeLocal(name, 2 * MiB5);
        const Event ev = registerUpload(name, 2 * MiB5);
        VTransferThrottle::upload()->setLimit(256 * 1024);
        Run run(newWorker(ev, local, 0));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.progressCount > 0, 10000);
        QMetaObject::invokeMethod(run.worker, "slotStopWork", Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 60000);
        VTransferThrottle::upload()->setLimit(0);
        QCOMPARE(run.errors, QStringList());
        QVERIFY(!run.complete);
        QVERIFY(run.lastDone < MiB5);
    }

    void stall()
    {
        VTransferTimings::stallMs = 500;
        const QString name = QStringLiteral("stall.bin");
        const QString local = makeLocal(name, MiB5 + 10);
        const Event ev = registerUpload(name, MiB5 + 10);
        QVERIFY(m_server.addFault(kUpload, QStringLiteral("stall"), 4000, 1));
        Run run(newWorker(ev, local, 0));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 10000);
        QCOMPARE(run.errors, QStringList{QStringLiteral("网络超时")});
        QVERIFY(!run.complete);
        // The service kept what it had: a new worker finishes the file.
        m_server.clearFaults();
        Run again(newWorker(ev, local, run.blocks.value(0, 0)));
        again.start();
        QTRY_VERIFY_WITH_TIMEOUT(again.stopped, 20000);
        QVERIFY(again.complete);
        QCOMPARE(storedSha(name), fileSha256(local));
    }

    // The driver is killed after a stored block; a new worker resumes there.
    void resumeAfterKill();
    // Many files into a folder that has their names: without an answer
    // given beforehand they fail (nobody is there to be asked) instead of
    // waiting for ever; with --uptype 2 both copies are kept.
    void manyUploadNameClash();
};

void TestUpload::manyUploadNameClash()
{
    if (!kTool)
        QSKIP("orvel-transfer is not built");
    QTemporaryDir dir;
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        names << QStringLiteral("clash-%1.txt").arg(i);
        QFile f(dir.filePath(names.last()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1000 + i, char('a' + i)));
    }
    auto run = [&](const QStringList &extra, QByteArray *out) {
        QProcess proc;
        proc.setProcessChannelMode(QProcess::SeparateChannels);
        proc.start(QString::fromLocal8Bit(kTool),
                   QStringList{QStringLiteral("many-upload"), QStringLiteral("--server"), m_server.rootUrl(),
                               QStringLiteral("--user"), QStringLiteral("demo"), QStringLiteral("--password"),
                               QStringLiteral("demo123"), QStringLiteral("--dir"), dir.path(), QStringLiteral("--to"),
                               QStringLiteral("/"), QStringLiteral("--parallel"), QStringLiteral("2")}
                       + extra);
        // Bounded only so that a hang fails the test rather than the suite.
        if (!proc.waitForFinished(120000))
            proc.kill();
        *out = proc.readAllStandardOutput();
        return proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
    };
    QByteArray out;
    QCOMPARE(run({}, &out), 0);
    QVERIFY2(out.contains("done 3 of 3, failed 0"), out.constData());
    QCOMPARE(run({}, &out), 1);
    for (const QString &n : names)
        QVERIFY2(out.contains((n + QStringLiteral(": 文件已存在")).toUtf8()), out.constData());
    QCOMPARE(run({QStringLiteral("--uptype"), QStringLiteral("2")}, &out), 0);
    for (const QString &n : names) {
        const QString copy = QFileInfo(n).completeBaseName() + QStringLiteral("(1).txt");
        QCOMPARE(storedSha(copy), storedSha(n));
        QCOMPARE(storedSha(n), fileSha256(dir.filePath(n)));
    }
}

void TestUpload::resumeAfterKill()
{
    if (!kTool)
        QSKIP("orvel-transfer is not built");
    const qint64 size = 3 * MiB5 + 99;
    const QString name = QStringLiteral("killed.bin");
    const QString local = makeLocal(name, size);
    QProcess proc;
    proc.setProcessChannelMode(QProcess::MergedChannels);
    proc.start(QString::fromLocal8Bit(kTool),
               {QStringLiteral("upload"), QStringLiteral("--server"), m_server.rootUrl(), QStringLiteral("--user"),
                QStringLiteral("demo"), QStringLiteral("--password"), QStringLiteral("demo123"),
                QStringLiteral("--file"), local, QStringLiteral("--to"), QStringLiteral("/"),
                QStringLiteral("--limit-kbps"), QStringLiteral("4096")});
    QVERIFY(proc.waitForStarted());
    QByteArray output;
    Event ev;
    int block = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            output += proc.readAll();
            const QRegularExpression evRe(QStringLiteral("event (\\S+) on (\\S+)"));
            const auto m = evRe.match(QString::fromUtf8(output));
            if (m.hasMatch()) {
                ev.evtid = m.captured(1);
                ev.upserver = m.captured(2);
            }
            const int at = output.indexOf("block 1 stored");
            if (at >= 0)
                block = 1;
            return block > 0 || proc.state() == QProcess::NotRunning;
        }(),
        20000);
    QCOMPARE(block, 1);
    proc.kill();
    proc.waitForFinished();
    QVERIFY(!ev.evtid.isEmpty());
    QVERIFY(storedSha(name).isEmpty());
    Run run(newWorker(ev, local, block));
    run.start();
    QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 20000);
    QCOMPARE(run.errors, QStringList());
    QVERIFY(run.complete);
    QCOMPARE(storedSha(name), fileSha256(local));
}

QTEST_GUILESS_MAIN(TestUpload)
#include "tst_vuploadfile.moc"
