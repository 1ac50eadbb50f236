// Upload and download tasks of the transfer list against the stand-in
// service: records arrive through the hub and the store, run through the
// queue and end in the state their label claims. Content is compared by
// SHA-256 on the server (uploads) or on disk (downloads).

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "Api/api.h"
#include "apirunner.h"
#include "DB/db_self.h"
#include "context/vglobalparameter.h"
#include "records/m_config.h"
#include "records/metatypes.h"
#include "testhome.h"
#include "testserver.h"
#include "transfer/vdownloadtask.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"
#include "transfer/vtransfertasklist.h"
#include "transfer/vtransfertimings.h"
#include "transfer/vtransferthrottle.h"
#include "transfer/vuploadtask.h"
#include "transferharness.h"
#include "transferlists.h"

namespace {
const QString kFolder = QStringLiteral("/1001/sharedisk/");
const QString kUpload = QStringLiteral("/v1/wp/file/Upload");
const QString kDownload = QStringLiteral("/web/download/file");
constexpr qint64 MiB = 1048576;
}

class TestTransferTasks : public QObject, TransferClient
{
    Q_OBJECT

    int m_seed = 1;

    QString makeLocal(const QString &name, qint64 size)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        makeFile(path, size, quint32(++m_seed));
        return path;
    }

    QByteArray storedSha(const QString &name) const
    {
        return m_server.stat(kFolder + name).value(QStringLiteral("sha256")).toString().toLatin1();
    }

    // Records go the way the disk view sends them: through the hub to the store.
    QList<VTransferTask *> queueUploads(const QStringList &paths, const QString &folder = kFolder)
    {
        QList<M_db_file> list;
        for (const QString &p : paths) {
            M_db_file f;
            f.type = 2;
            f.filename = QFileInfo(p).fileName();
            f.localpath = p;
            f.serverpath = folder;
            f.filesize = QFileInfo(p).size();
            list << f;
        }
        const int before = m_up->count();
        emit VGlobalConnect::instance()->signalDbselfAddFiles(list, 0, true);
        QList<VTransferTask *> out;
        for (int i = before; i < m_up->count(); ++i)
            out << m_up->at(i);
        return out;
    }

    VTransferTask *queueDownload(const QString &fileid, const QString &target, qint64 size)
    {
        M_db_file f;
        f.type = 1;
        f.fileid = fileid;
        f.filename = QFileInfo(target).fileName();
        f.localpath = target;
        f.filesize = size;
        const int before = m_down->count();
        emit VGlobalConnect::instance()->signalDbselfAddFiles({f}, 0, true);
        return m_down->count() > before ? m_down->at(before) : nullptr;
    }

    QString serverFile(const QString &name, const QByteArray &content)
    {
        QString err;
        const QString id = m_server.uploadFile(m_token, kFolder, name, content, 1, &err);
        if (id.isEmpty())
            qWarning() << "uploadFile" << err;
        return id;
    }

    M_db_file doneRow(int id)
    {
        const M_db_file f = m_store->getFile(id);
        return f.status == 99 ? f : M_db_file();
    }

private slots:
    void initTestCase()
    {
        registerMetaTypes();
        QVERIFY(m_dir.isValid());
        QString err;
        m_token = startSignedIn(m_server, &err);
        QVERIFY2(!m_token.isEmpty(), qPrintable(err));
        VTransferThrottle::followConfig(); // once: later workers leave the limits to the test
        m_store = openTransferStore(m_dir.filePath(QStringLiteral("user")));
        QVERIFY(m_store);
    }
    void init()
    {
        VTransferTimings::reset();
        VTransferTimings::retrySleepMs = 50;
        m_server.clearFaults();
        M_config::instance()->Transfer_threadcount_upload = 2;
        M_config::instance()->Transfer_threadcount_download = 2;
        M_config::instance()->Normal_isContinue = true;
        VGlobalQueue::instance()->clearUploads();
        VGlobalQueue::instance()->clearDownloads();
        m_up = new VTransferTaskList(VTransferTaskList::Upload, m_store);
        m_down = new VTransferTaskList(VTransferTaskList::Download, m_store);
    }
    void cleanup()
    {
        stopTransferLists(m_up, m_down);
        m_store->clearUploadRows();
        m_store->clearDownloadRows();
        m_server.clearFaults();
    }
    void cleanupTestCase()
    {
        delete m_store;
    }

    // Byte-exact uploads of every size class, the finished row in the log.
    void upload_data()
    {
        QTest::addColumn<qint64>("size");
        for (qint64 s : {qint64(0), qint64(1), 5 * MiB + 1, 12 * MiB})
            QTest::addRow("%lld", s) << s;
    }
    void upload()
    {
        QFETCH(qint64, size);
        const QString name = QStringLiteral("up-%1.bin").arg(size);
        const QString path = makeLocal(name, size);
        const QList<VTransferTask *> tasks = queueUploads({path});
        QCOMPARE(tasks.size(), 1);
        const int id = tasks.first()->id();
        QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 60000);
        const M_db_file done = doneRow(id);
        QCOMPARE(done.status, 99);
        QCOMPARE(done.error, QString());
        QCOMPARE(storedSha(name), fileSha256(path));
        QCOMPARE(done.md5.toLatin1(), fileSha256(path));
        QCOMPARE(VGlobalQueue::instance()->uploadWorking(), QList<int>());
    }

    // The same content again completes through the digest check: not one
    // block is posted, and the row is marked as an instant upload.
    void instantUpload()
    {
        const QString a = makeLocal(QStringLiteral("inst-a.bin"), 3 * MiB);
        queueUploads({a});
        QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 60000);
        const QString b = m_dir.filePath(QStringLiteral("inst-b.bin"));
        QVERIFY(QFile::copy(a, b));
        const int posts = m_server.requestCount(kUpload);
        const QList<VTransferTask *> t = queueUploads({b});
        const int id = t.first()->id();
        QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 60000);
        QCOMPARE(m_server.requestCount(kUpload), posts);
        QCOMPARE(doneRow(id).ismc, 1);
        QCOMPARE(storedSha(QStringLiteral("inst-b.bin")), fileSha256(a));
    }

    // A stopped upload resumes at the block stored in the log; the blocks
    // posted after the restart are the remaining ones.
    void stopAndResume()
    {
        const QString name = QStringLiteral("resume.bin");
        const QString path = makeLocal(name, 4 * 5242880 + 1000);
        m_server.addFault(kUpload, QStringLiteral("delay"), 300);
        VTransferTask *t = queueUploads({path}).first();
        const int id = t->id();
        QTRY_VERIFY_WITH_TIMEOUT(m_store->getFile(id).block >= 2, 60000);
        t->stop();
        QTRY_COMPARE_WITH_TIMEOUT(t->status(), 0, 30000);
        QCOMPARE(VGlobalQueue::instance()->uploadWorking(), QList<int>());
        const int stored = m_store->getFile(id).block;
        QVERIFY(stored >= 2 && stored < 5);
        m_server.clearFaults();
        const int posts = m_server.requestCount(kUpload);
        t->start();
        QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 60000);
        const int after = m_server.requestCount(kUpload) - posts;
        QVERIFY2(qAbs(after - (5 - stored)) <= 1, qPrintable(QStringLiteral("%1 posts after block %2").arg(after).arg(stored)));
        QCOMPARE(storedSha(name), fileSha256(path));
    }

    // A file changed after its registration registers again from block 0
    // (the old event is given up), and the server gets the new content.
    void changedFileRegistersAgain()
    {
        const QString name = QStringLiteral("changed.bin");
        const QString path = makeLocal(name, 3 * 5242880);
        m_server.addFault(kUpload, QStringLiteral("delay"), 300);
        VTransferTask *t = queueUploads({path}).first();
        const int id = t->id();
        QTRY_VERIFY_WITH_TIMEOUT(m_store->getFile(id).block >= 1, 60000);
        t->stop();
        QTRY_COMPARE_WITH_TIMEOUT(t->status(), 0, 30000);
        const QString oldEvent = m_store->getFile(id).evtid;
        QVERIFY(!oldEvent.isEmpty());
        m_server.clearFaults();
        makeFile(path, 3 * 5242880 - 7, 4242);
        t->start();
        QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 60000);
        QCOMPARE(storedSha(name), fileSha256(path));
        QVERIFY(m_store->getFile(id).evtid != oldEvent);
    }

    // Stopping during the digest goes back to 0 without a request.
    void stopDuringDigest()
    {
        const QString path = makeLocal(QStringLiteral("digest-stop.bin"), 64 * MiB);
        const int links = m_server.requestCount(QStringLiteral("/api/v1/wp/act/GetUploadLink"));
        VTransferTask *t = queueUploads({path}).first();
        QCOMPARE(t->status(), 77);
        t->stop();
        QCOMPARE(t->status(), 0);
        QVERIFY(!t->holdsSlot());
        // A digest that still reports must not move the row.
        QTRY_VERIFY_WITH_TIMEOUT(QThreadPool::globalInstance()->activeThreadCount() == 0, 30000);
        QCoreApplication::processEvents();
        QCOMPARE(t->status(), 0);
        QCOMPARE(m_server.requestCount(QStringLiteral("/api/v1/wp/act/GetUploadLink")), links);
    }

    // Faults: every row ends in the state its label claims, and a failure
    // never reads as done.
    void faults_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("times");
        QTest::addColumn<bool>("completes");
        QTest::newRow("800003 restarts") << kUpload << "code" << qint64(800003) << 1 << true;
        QTest::newRow("800004 retries") << kUpload << "code" << qint64(800004) << 2 << true;
        QTest::newRow("queue busy retries") << kUpload << "code" << qint64(1) << 2 << true;
        QTest::newRow("500 on link") << "/api/v1/wp/act/GetUploadLink" << "status" << qint64(500) << 0 << false;
        QTest::newRow("refused link") << "/api/v1/wp/act/GetUploadLink" << "code" << qint64(5) << 0 << false;
        QTest::newRow("stalled block") << kUpload << "stall" << qint64(3000) << 0 << false;
        QTest::newRow("dropped block") << kUpload << "drop" << qint64(0) << 0 << false;
    }
    void faults()
    {
        QFETCH(QString, path);
        QFETCH(QString, kind);
        QFETCH(qint64, value);
        QFETCH(int, times);
        QFETCH(bool, completes);
        VTransferTimings::stallMs = 1000;
        const QString name = QStringLiteral("fault-%1.bin").arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
        const QString local = makeLocal(name, 6 * MiB);
        QVERIFY(m_server.addFault(path, kind, value, times));
        VTransferTask *t = queueUploads({local}).first();
        const int id = t->id();
        if (completes) {
            QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 60000);
            QCOMPARE(doneRow(id).status, 99);
            QCOMPARE(storedSha(name), fileSha256(local));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(t->status(), -1, 60000);
            QVERIFY(!t->record().error.isEmpty());
            QVERIFY(t->stateText().startsWith(QStringLiteral("上传出错")));
            QVERIFY(!t->holdsSlot());
            QCOMPARE(VGlobalQueue::instance()->uploadWorking(), QList<int>());
            QVERIFY(storedSha(name).isEmpty());
            // Started again without the fault, it completes.
            m_server.clearFaults();
            t->start();
            QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 60000);
            QCOMPARE(storedSha(name), fileSha256(local));
        }
    }

    // A name taken on the server asks once per row; "keep both" for all gives
    // new names, and the slots go on to the next rows.
    void nameClash()
    {
        QStringList paths;
        for (int i = 0; i < 3; ++i) {
            const QString p = makeLocal(QStringLiteral("clash/c%1.txt").arg(i), 1000 + i);
            QVERIFY(!serverFile(QStringLiteral("c%1.txt").arg(i), "old").isEmpty());
            paths << p;
        }
        QSignalSpy asked(m_up, &VTransferTaskList::signalClashesChanged);
        queueUploads(paths);
        QTRY_COMPARE_WITH_TIMEOUT(m_up->clashes().size(), 2, 30000);
        QCOMPARE(m_up->at(2)->status(), 88); // limit 2: the third waits
        m_up->answerClash(2, true);
        QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 60000);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(storedSha(QStringLiteral("c%1(1).txt").arg(i)), fileSha256(paths.at(i)));
            QCOMPARE(storedSha(QStringLiteral("c%1.txt").arg(i)), TestServer::sha256Hex("old").toLatin1());
        }
    }

    // Closing the question without an answer stops the asking rows and
    // gives their slots to the waiting ones; a cancel answer removes the row.
    void clashDismissAndCancel()
    {
        QStringList paths;
        for (int i = 0; i < 3; ++i) {
            const QString n = QStringLiteral("d%1.txt").arg(i);
            paths << makeLocal(QStringLiteral("dismiss/") + n, 500 + i);
            if (i < 2)
                QVERIFY(!serverFile(n, "old").isEmpty());
        }
        const QList<VTransferTask *> t = queueUploads(paths);
        QTRY_COMPARE_WITH_TIMEOUT(m_up->clashes().size(), 2, 30000);
        const int third = t.at(2)->id();
        m_up->dismissClashes();
        QCOMPARE(t.at(0)->status(), 0);
        QCOMPARE(t.at(1)->status(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(doneRow(third).status == 99, 30000);
        // Again, answered one by one: cancel the first to ask, replace the other.
        t.at(0)->start();
        t.at(1)->start();
        QTRY_COMPARE_WITH_TIMEOUT(m_up->clashes().size(), 2, 30000);
        VUploadTask *front = m_up->frontClash();
        const int frontId = front->id();
        const QString frontName = front->record().filename;
        const QString otherName = m_up->clashes().at(1)->record().filename;
        const QString otherPath = m_up->clashes().at(1)->record().localpath;
        m_up->answerClash(-1, false);
        QCOMPARE(m_up->clashes().size(), 1);
        QCOMPARE(m_store->getFile(frontId).id, 0); // its log row is gone
        m_up->answerClash(1, false);
        QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 30000);
        QCOMPARE(storedSha(otherName), fileSha256(otherPath));
        QCOMPARE(storedSha(frontName), TestServer::sha256Hex("old").toLatin1());
    }

    // Cancel-all mid-transfer: no unfinished rows stay in the log and every
    // registered event gets its CancelUpload.
    void cancelAll()
    {
        QStringList paths;
        for (int i = 0; i < 4; ++i)
            paths << makeLocal(QStringLiteral("cancel%1.bin").arg(i), 11 * MiB);
        m_server.addFault(kUpload, QStringLiteral("delay"), 400);
        const int cancels = m_server.requestCount(QStringLiteral("/v1/wp/file/CancelUpload"));
        const QList<VTransferTask *> t = queueUploads(paths);
        QTRY_VERIFY_WITH_TIMEOUT(t.at(0)->status() == 2 && t.at(1)->status() == 2, 30000);
        m_up->cancelAll();
        QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 30000);
        QCOMPARE(m_store->getUploads().size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount(QStringLiteral("/v1/wp/file/CancelUpload")) - cancels, 2, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(Api::instance()->cancelList().size(), 0, 30000);
        QCOMPARE(VGlobalQueue::instance()->uploadWorking(), QList<int>());
        QCOMPARE(VGlobalQueue::instance()->uploadWaiting(), QList<int>());
    }

    // Downloads: byte-exact, a free name when the target exists, 0 bytes,
    // and the finished row names the file where it really went.
    void download_data()
    {
        QTest::addColumn<qint64>("size");
        for (qint64 s : {qint64(0), qint64(1), 10 * MiB + 1, 25 * MiB})
            QTest::addRow("%lld", s) << s;
    }
    void download()
    {
        QFETCH(qint64, size);
        const QString src = makeLocal(QStringLiteral("src/dl-%1.bin").arg(size), size);
        QFile f(src);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        const QString name = QStringLiteral("dl-%1.bin").arg(size);
        const QString fileid = serverFile(name, content);
        QVERIFY(!fileid.isEmpty());
        const QString target = m_dir.filePath(QStringLiteral("down/") + name);
        for (int round = 0; round < 2; ++round) {
            VTransferTask *t = queueDownload(fileid, target, size);
            QVERIFY(t);
            const int id = t->id();
            QTRY_COMPARE_WITH_TIMEOUT(m_down->count(), 0, 60000);
            const M_db_file done = doneRow(id);
            QCOMPARE(done.status, 99);
            const QString expect = round == 0 ? target : m_dir.filePath(QStringLiteral("down/dl-%1(1).bin").arg(size));
            QCOMPARE(done.localpath, expect);
            QCOMPARE(fileSha256(done.localpath), TestServer::sha256Hex(content).toLatin1());
            QVERIFY(!QFile::exists(target + QStringLiteral(".orvelnetdisk.%1.download").arg(fileid)));
        }
    }

    // A stopped download resumes from its temporary file; a dropped
    // connection fails the row and a new start completes it; cancel removes
    // the partial file and the log row.
    void downloadStopFailCancel()
    {
        const QString src = makeLocal(QStringLiteral("src/big.bin"), 30 * MiB);
        QFile f(src);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        const QString fileid = serverFile(QStringLiteral("big.bin"), content);
        const QString target = m_dir.filePath(QStringLiteral("down2/big.bin"));
        const QString temp = target + QStringLiteral(".orvelnetdisk.%1.download").arg(fileid);
        VTransferThrottle::download()->setLimit(8 * MiB);

        VTransferTask *t = queueDownload(fileid, target, content.size());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(temp).size() > 2 * MiB, 30000);
        t->stop();
        QTRY_COMPARE_WITH_TIMEOUT(t->status(), 0, 30000);
        QVERIFY(!t->holdsSlot());
        const qint64 partial = QFileInfo(temp).size();
        QVERIFY(partial > 0);

        // Dropped connection: fails, keeps the partial file.
        VTransferThrottle::download()->setLimit(0);
        QVERIFY(m_server.addFault(kDownload, QStringLiteral("drop"), 1000, 0));
        t->start();
        QTRY_COMPARE_WITH_TIMEOUT(t->status(), -1, 30000);
        QVERIFY(t->stateText().startsWith(QStringLiteral("下载出错")));
        QVERIFY(QFileInfo(temp).size() >= partial);
        m_server.clearFaults();
        const int id = t->id();
        t->start();
        QTRY_COMPARE_WITH_TIMEOUT(m_down->count(), 0, 60000);
        QCOMPARE(fileSha256(doneRow(id).localpath), TestServer::sha256Hex(content).toLatin1());

        // Cancel mid-way: partial file and log row gone.
        VTransferThrottle::download()->setLimit(4 * MiB);
        const QString target2 = m_dir.filePath(QStringLiteral("down3/big.bin"));
        const QString temp2 = target2 + QStringLiteral(".orvelnetdisk.%1.download").arg(fileid);
        VTransferTask *c = queueDownload(fileid, target2, content.size());
        const int cid = c->id();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(temp2).size() > 0, 30000);
        c->cancel(false);
        QTRY_COMPARE_WITH_TIMEOUT(m_down->count(), 0, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(temp2), 30000);
        QCOMPARE(m_store->getFile(cid).id, 0);
        VTransferThrottle::download()->setLimit(0);
    }

    // A link that arrives after stop (or stop then start) starts nothing
    // of the old run.
    void staleLink()
    {
        const QString fileid = serverFile(QStringLiteral("stale.bin"), QByteArray(1000, 'x'));
        QVERIFY(m_server.addFault(QStringLiteral("/api/v1/wp/act/GetDownLoadLink"), QStringLiteral("delay"), 500, 1));
        const QString target = m_dir.filePath(QStringLiteral("stale/stale.bin"));
        VTransferTask *t = queueDownload(fileid, target, 1000);
        QCOMPARE(t->status(), 77);
        t->stop();
        QCOMPARE(t->status(), 0);
        QVERIFY(!t->holdsSlot());
        const int downloads = m_server.requestCount(kDownload);
        // The late link must not start a worker: wait until the request has
        // answered and its reply has been delivered.
        QTRY_COMPARE_WITH_TIMEOUT(Api::instance()->threadPool()->activeThreadCount(), 0, 30000);
        QCoreApplication::processEvents();
        QCOMPARE(t->status(), 0);
        QVERIFY(!t->hasWorker());
        QCOMPARE(m_server.requestCount(kDownload), downloads);
    }

    // 99 is final: a late stop or cancel does not touch a finished row.
    void doneIsFinal()
    {
        const QString path = makeLocal(QStringLiteral("final.bin"), 100);
        VTransferTask *t = queueUploads({path}).first();
        const int id = t->id();
        QSignalSpy done(t, &VTransferTask::signalDone);
        QVERIFY(done.wait(30000));
        t->stop();
        t->cancel(false);
        QCOMPARE(t->status(), 99);
        QCOMPARE(doneRow(id).status, 99);
    }

    // The queue under random start, stop, cancel and failing blocks on 20
    // rows with a limit of 2: never more than 2 rows past admission, and the
    // waiting rows admitted first come, first served.
    void queueInvariant()
    {
        QStringList paths;
        for (int i = 0; i < 20; ++i)
            paths << makeLocal(QStringLiteral("q/q%1.bin").arg(i), 200 * 1024 + i);
        m_server.addFault(kUpload, QStringLiteral("delay"), 40);
        M_config::instance()->Normal_isContinue = false;
        m_up->stopAll(); // new rows wait for the user
        const QList<VTransferTask *> tasks = queueUploads(paths);
        QCOMPARE(tasks.size(), 20);
        QList<int> waitOrder;
        auto ids = [](const QList<int> &l) {
            QStringList o;
            for (int i : l)
                o << QString::number(i);
            return o.join(QLatin1Char(','));
        };
        int maxRunning = 0;
        QStringList violations;
        int changes = 0;
        auto check = [&] {
            int running = 0;
            for (VTransferTask *t : m_up->tasks())
                running += (t->status() == 77 || t->status() == 2 || t->status() == 66) ? 1 : 0;
            maxRunning = qMax(maxRunning, running);
            if (VGlobalQueue::instance()->uploadWorking().size() > 2)
                violations << QStringLiteral("working list %1").arg(VGlobalQueue::instance()->uploadWorking().size());
        };
        for (VTransferTask *t : tasks) {
            connect(t, &VTransferTask::signalStatusChanged, this, [&, t](int s) {
                ++changes;
                const int id = t->id();
                if (s == 88) {
                    waitOrder << id;
                } else if (s == 77) {
                    if (waitOrder.value(0) != id)
                        violations << QStringLiteral("admitted %1 before %2 (wait %3 work %4)")
                                          .arg(id)
                                          .arg(waitOrder.value(0))
                                          .arg(ids(VGlobalQueue::instance()->uploadWaiting()))
                                          .arg(ids(VGlobalQueue::instance()->uploadWorking()));
                    waitOrder.removeAll(id);
                } else {
                    waitOrder.removeAll(id);
                }
                check();
            });
            // A cancelled row leaves the list, and the queue, as it stands.
            connect(t, &VTransferTask::signalDone, this, [&](VTransferTask *gone) { waitOrder.removeAll(gone->id()); });
        }
        QRandomGenerator rng(20261207);
        for (int step = 0; step < 120; ++step) {
            const QList<VTransferTask *> live = m_up->tasks();
            if (live.isEmpty())
                break;
            VTransferTask *t = live.at(int(rng.bounded(live.size())));
            const int op = int(rng.bounded(10));
            const int before = changes;
            if (op < 5)
                t->start();
            else if (op < 8)
                t->stop();
            else if (op < 9)
                t->cancel(false);
            else
                m_server.addFault(kUpload, QStringLiteral("status"), 500, 1);
            QTRY_VERIFY_WITH_TIMEOUT(changes > before || m_up->countActive() == 0 || op == 9 || step % 3, 5000);
            QCoreApplication::processEvents();
        }
        m_server.clearFaults();
        m_up->startAll();
        QTRY_COMPARE_WITH_TIMEOUT(m_up->count(), 0, 120000);
        QVERIFY2(violations.isEmpty(), qPrintable(violations.join(QStringLiteral("; "))));
        QVERIFY(maxRunning <= 2);
        QVERIFY(maxRunning >= 1);
    }
};

QTEST_GUILESS_MAIN(TestTransferTasks)
#include "tst_transfertasks.moc"
