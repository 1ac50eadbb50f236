// The backup engine against the stand-in service, signed in as the
// administrator: a full pass mirrors every file byte for byte, a change pass
// asks the change log once and fetches only what changed, a pass without
// change makes one request, failures end the pass instead of stalling it,
// a stopped download resumes after a restart, and nothing is written outside
// the backup folder.

#include <QDirIterator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "Api/api.h"
#include "DB/db_self.h"
#include "backup/vbackuptask.h"
#include "context/orvelcore.h"
#include "context/userinfo.h"
#include "context/vconfigs.h"
#include "context/vglobalparameter.h"
#include "request/vurlrequest.h"
#include "transfer/vglobalqueue.h"
#include "utils/vutils.h"

#include "testhome.h"
#include "testserver.h"

namespace {

const QString kRoot = QStringLiteral("/1001/sharedisk");

QByteArray content(int n, int size)
{
    QByteArray b;
    b.reserve(size);
    while (b.size() < size)
        b += QByteArray::number(n) + ':' + QByteArray::number(b.size()) + '\n';
    b.truncate(size);
    return b;
}

} // namespace

class TstBackupTask : public QObject
{
    Q_OBJECT
    TestHome home;
    TestServer server;
    QString token;
    QTemporaryDir tmp;
    std::unique_ptr<db_self> store;
    std::unique_ptr<VBackupTask> task;
    QString root;
    QString sibling;

    QJsonObject act(const QVariantMap &params)
    {
        const QJsonObject r = server.call(QStringLiteral("api/v1/wp/act/add"), params, token);
        const QString id = r.value(QStringLiteral("data")).toObject().value(QStringLiteral("id")).toString();
        if (id.isEmpty())
            return r;
        return server.waitAct(token, id);
    }

    void upload(const QString &folder, const QString &name, const QByteArray &data, int uptype = 0)
    {
        QString err;
        QVERIFY2(!server.uploadFile(token, folder, name, data, uptype, &err).isEmpty(), qPrintable(err));
    }

    // Every file on the server below the backup's section, by path.
    QMap<QString, QString> serverFiles()
    {
        QMap<QString, QString> out;
        const QJsonArray list = server.call(QStringLiteral("api/v1/wp/file/GetAllChild"),
                                            {{"filepath", kRoot}, {"filetype", "0"}}, token)
                                    .value(QStringLiteral("data"))
                                    .toObject()
                                    .value(QStringLiteral("list"))
                                    .toArray();
        for (const QJsonValue &v : list)
            out.insert(v.toObject().value(QStringLiteral("fullpath")).toString(),
                       v.toObject().value(QStringLiteral("md5")).toString());
        return out;
    }

    QString localOf(const QString &serverPath) const { return root + serverPath.mid(kRoot.size()); }

    QStringList leftovers() const
    {
        QStringList out;
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            if (p.endsWith(QStringLiteral(".download")))
                out << p;
        }
        return out;
    }

    void newTask()
    {
        task.reset(new VBackupTask(1, store.get()));
        task->setSchool(QStringLiteral("1001"));
        task->setRetryBaseMs(50);
        task->setRestartDelayMs(0);
        task->setStoreFlushMs(50);
    }

    bool runPass()
    {
        QSignalSpy done(task.get(), &VBackupTask::signalPassFinished);
        if (!task->startFetch())
            return false;
        return done.wait(120000);
    }

private slots:
    void initTestCase()
    {
        initOrvelCore();
        QVERIFY(loadCryptoScript());
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        VGlobalParameter::instance()->setServerRoot(server.rootUrl());
        token = server.signIn(QStringLiteral("admin"), QStringLiteral("admin123"));
        QVERIFY(!token.isEmpty());
        Api::instance()->setToken(token);
        UserInfo::instance()->schoolid = 1001;
        root = tmp.path() + QStringLiteral("/backup root %");
        sibling = tmp.path() + QStringLiteral("/backup root %-sibling");
        QVERIFY(QDir().mkpath(root));
        QVERIFY(QDir().mkpath(sibling));
        QFile s(sibling + QStringLiteral("/keep.txt"));
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("untouched");
        s.close();
        store.reset(new db_self(tmp.path() + QStringLiteral("/user")));
        QVERIFY(store->isReady());

        // a small tree with awkward but legal names
        const QJsonObject dirs = act({{"acttype", "AddDirs"},
                                      {"filepath", kRoot},
                                      {"dirs", QJsonArray{"教学/一年级/上册", "教学/二年级", "[2023] 计划", "空文件夹"}}});
        QCOMPARE(dirs.value(QStringLiteral("status")).toInt(), 99);
        upload(kRoot, QStringLiteral("说明.txt"), content(1, 1000));
        upload(kRoot + QStringLiteral("/教学/一年级/上册"), QStringLiteral("第一课.txt"), content(2, 70000));
        upload(kRoot + QStringLiteral("/教学/一年级/上册"), QStringLiteral("empty.bin"), QByteArray());
        upload(kRoot + QStringLiteral("/教学/二年级"), QStringLiteral("a;b.txt"), content(3, 4096));
        upload(kRoot + QStringLiteral("/教学/二年级"), QStringLiteral("a.txt"), content(4, 10));
        upload(kRoot + QStringLiteral("/[2023] 计划"), QStringLiteral("计划 (1).docx"), content(5, 3 * 1024 * 1024 + 7));
        for (int i = 0; i < 30; ++i)
            upload(kRoot + QStringLiteral("/教学/二年级"), QStringLiteral("f%1.dat").arg(i), content(100 + i, 1 + i * 517));
    }

    void cleanupTestCase()
    {
        if (task)
            task->shutdown();
        task.reset();
    }

    void intervalText_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("text");
        QTest::newRow("59") << 59 << QStringLiteral("59分钟");
        QTest::newRow("60") << 60 << QStringLiteral("1小时");
        QTest::newRow("1439") << 1439 << QStringLiteral("23小时");
        QTest::newRow("1440") << 1440 << QStringLiteral("1天");
        QTest::newRow("2000") << 2000 << QStringLiteral("1天");
    }
    void intervalText()
    {
        QFETCH(int, minutes);
        QFETCH(QString, text);
        QCOMPARE(VBackupTask::intervalText(minutes), text);
    }

    void longIntervalIn64Bits()
    {
        newTask();
        QVERIFY(task->applyConfig(root, 43199) == false);
        QCOMPARE(VBackupTask::intervalMs(43199), Q_INT64_C(2591940000));
        QCOMPARE(task->switchOn(false), QString());
        const qint64 next = task->nextPollInMs();
        QVERIFY2(next > Q_INT64_C(2591000000) && next <= Q_INT64_C(2591940000), qPrintable(QString::number(next)));
        QCOMPARE(task->status(), int(VBackupTask::Waiting));
        task->switchOff();
        QCOMPARE(task->nextPollInMs(), qint64(-1));
    }

    void configChecks_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("message");
        QTest::newRow("no folder") << QString() << 60 << QStringLiteral("目录配置有误");
        QTest::newRow("missing folder") << QStringLiteral("/nonexistent/backup") << 60 << QStringLiteral("目录配置有误");
        QTest::newRow("zero interval") << QStringLiteral("@root") << 0 << QStringLiteral("轮询时间配置有误");
    }
    void configChecks()
    {
        QFETCH(QString, path);
        QFETCH(int, minutes);
        QFETCH(QString, message);
        M_bak_config c;
        c.localpath = path == QLatin1String("@root") ? root : path;
        c.time = minutes;
        QCOMPARE(VBackupTask::checkConfig(c), message);
        QVERIFY(!QFileInfo::exists(QStringLiteral("/nonexistent/backup")));
    }

    void fullPassMirrorsEveryFile()
    {
        newTask();
        task->applyConfig(root, 60);
        QCOMPARE(task->switchOn(false), QString());
        QVERIFY(runPass());
        QCOMPARE(task->status(), int(VBackupTask::Idle));
        const QMap<QString, QString> files = serverFiles();
        QCOMPARE(files.size(), 36);
        for (auto it = files.begin(); it != files.end(); ++it)
            QCOMPARE(VUtils::fileSha256(localOf(it.key())), it.value());
        // a ";" in the name does not make it land on "a"'s copy
        QCOMPARE(QFile(localOf(kRoot + QStringLiteral("/教学/二年级/a.txt"))).size(), qint64(10));
        QVERIFY(leftovers().isEmpty());
        QCOMPARE(QDir(root + QStringLiteral("/空文件夹")).exists(), false); // empty folders are ignored
        QCOMPARE(task->passDownloads(), 36);
        QVERIFY(!task->config().isfirst);
        QVERIFY(task->config().lasttime.isValid());
        QTRY_COMPARE(store->getHistory(M_page(), {QStringLiteral("1")}).total, 36);
        QCOMPARE(store->countPending(QStringLiteral("1")), 0);
        QCOMPARE(VGlobalQueue::instance()->hasBakTasks(), false);
        // stored and read back
        const M_bak_config stored = M_bak_config::fromStore(store->getAdminbak(), 1);
        QCOMPARE(stored.localpath, root);
        QVERIFY(stored.isopen);
        QCOMPARE(stored.lasttime, task->config().lasttime);
    }

    void changePassFetchesOnlyChanges()
    {
        const int logBefore = server.requestCount(QStringLiteral("/api/v1/wp/act/ShareDiskTbLogList"));
        const int fullBefore = server.requestCount(QStringLiteral("/api/v1/wp/file/GetAllChild"));
        // new, replaced, renamed file and folder, moved, copied with keep-both,
        // deleted, restored
        upload(kRoot, QStringLiteral("新文件.txt"), content(7, 5000));
        upload(kRoot, QStringLiteral("说明.txt"), content(8, 1200), 1);
        act({{"acttype", "ReName"},
             {"filelist", QJsonArray{QJsonObject{{"filepath", kRoot + "/教学/二年级/f0.dat"}, {"newname", "f0-renamed.dat"}}}}});
        act({{"acttype", "ReName"},
             {"filelist", QJsonArray{QJsonObject{{"filepath", kRoot + "/教学/一年级"}, {"newname", "一年级-新"}}}}});
        act({{"acttype", "Move"},
             {"filelist", QJsonArray{QJsonObject{{"filepath", kRoot + "/教学/二年级/f1.dat"}, {"to", kRoot}, {"toname", ""}, {"totype", 0}}}}});
        act({{"acttype", "Copy"},
             {"filelist", QJsonArray{QJsonObject{{"filepath", kRoot + "/[2023] 计划"}, {"to", kRoot + "/教学"}, {"toname", ""}, {"totype", "0"}}}}});
        act({{"acttype", "Copy"},
             {"filelist", QJsonArray{QJsonObject{{"filepath", kRoot + "/[2023] 计划"}, {"to", kRoot + "/教学"}, {"toname", ""}, {"totype", "2"}}}}});
        act({{"acttype", "Remove"}, {"filelist", QJsonArray{kRoot + "/教学/二年级/f2.dat"}}});
        const QJsonArray bin = server.call(QStringLiteral("api/v1/wp/file/getrecyclelist"), {{"searchkey", ""}}, token)
                                   .value(QStringLiteral("data"))
                                   .toArray();
        QString binId;
        for (const QJsonValue &v : bin)
            if (v.toObject().value(QStringLiteral("filename")).toString() == QLatin1String("f2.dat"))
                binId = v.toObject().value(QStringLiteral("id")).toString();
        QVERIFY(!binId.isEmpty());
        act({{"acttype", "Remove"}, {"filelist", QJsonArray{kRoot + "/教学/二年级/f3.dat"}}});
        act({{"acttype", "Reduction"}, {"filelist", QJsonArray{QJsonObject{{"id", binId}, {"totype", "0"}}}}});

        QVERIFY(runPass());
        QCOMPARE(server.requestCount(QStringLiteral("/api/v1/wp/act/ShareDiskTbLogList")) - logBefore, 1);
        // only the expanded folders were listed, never the whole disk
        QCOMPARE(server.requestCount(QStringLiteral("/api/v1/wp/file/GetAllChild")) - fullBefore, 3);
        const QMap<QString, QString> files = serverFiles();
        for (auto it = files.begin(); it != files.end(); ++it)
            QCOMPARE(VUtils::fileSha256(localOf(it.key())), it.value());
        // new file, replaced file, renamed file, the renamed folder's two
        // files, the moved file, two copies of the folder's file; the
        // restored file is already there with the same content
        QCOMPARE(task->passDownloads(), 8);
        // one way: old copies stay
        QVERIFY(QFile::exists(localOf(kRoot + QStringLiteral("/教学/二年级/f0.dat"))));
        QVERIFY(QFile::exists(localOf(kRoot + QStringLiteral("/教学/一年级/上册/第一课.txt"))));
        QVERIFY(QFile::exists(localOf(kRoot + QStringLiteral("/教学/二年级/f3.dat"))));
        QVERIFY(leftovers().isEmpty());
        QCOMPARE(QFile(sibling + QStringLiteral("/keep.txt")).size(), qint64(9));
        QCOMPARE(QDir(sibling).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 1);
    }

    void passWithoutChangeMakesOneRequest()
    {
        const int all = server.requestCount(QStringLiteral("/"));
        QVERIFY(runPass());
        QCOMPARE(task->passRequests(), 1);
        QCOMPARE(task->passDownloads(), 0);
        QCOMPARE(server.requestCount(QStringLiteral("/")) - all, 1);
        QCOMPARE(task->status(), int(VBackupTask::Idle));
    }

    void secondFullRunOverCompleteCopyDownloadsNothing()
    {
        M_bak_config c = task->config();
        task->resetAnswer(true); // back to a full run, switched off
        QVERIFY(task->config().isfirst);
        QCOMPARE(task->status(), int(VBackupTask::Off));
        QCOMPARE(task->switchOn(false), QString());
        QVERIFY(runPass());
        QCOMPARE(task->passDownloads(), 0);
        QCOMPARE(task->passSkipped(), serverFiles().size());
        Q_UNUSED(c)
    }

    void failingDownloadsEndThePass()
    {
        upload(kRoot, QStringLiteral("坏1.txt"), content(20, 300));
        upload(kRoot, QStringLiteral("坏2.txt"), content(21, 300));
        QVERIFY(server.addFault(QStringLiteral("/web/download/file"), QStringLiteral("status"), 500));
        const int before = server.requestCount(QStringLiteral("/web/download/file"));
        QVERIFY(runPass());
        QVERIFY(server.clearFaults());
        // bounded: each failed file is fetched a small, fixed number of times
        QVERIFY(server.requestCount(QStringLiteral("/web/download/file")) - before <= 2 * 6);
        QCOMPARE(task->status(), int(VBackupTask::Idle));
        QVERIFY(!QFile::exists(localOf(kRoot + QStringLiteral("/坏1.txt"))));
        QTRY_COMPARE(store->getLogs(QStringLiteral("1")).size(), 2);
        for (const M_db_syn &l : store->getLogs(QStringLiteral("1"))) {
            QCOMPARE(l.status, -1);
            QVERIFY(!l.errmsg.isEmpty());
            QVERIFY(l.domsg.contains(QStringLiteral("\"tries\":1")));
        }
        // the next pass takes them again
        QVERIFY(runPass());
        QCOMPARE(task->passDownloads(), 2);
        QCOMPARE(VUtils::fileSha256(localOf(kRoot + QStringLiteral("/坏2.txt"))), TestServer::sha256Hex(content(21, 300)));
        QTRY_COMPARE(store->getLogs(QStringLiteral("1")).size(), 0);
    }

    void fetchFailuresRetryWithDelay()
    {
        QVERIFY(server.addFault(QStringLiteral("/api/v1/wp/act/ShareDiskTbLogList"), QStringLiteral("code"), 7, 2));
        const int before = server.requestCount(QStringLiteral("/api/v1/wp/act/ShareDiskTbLogList"));
        QSignalSpy status(task.get(), &VBackupTask::signalStatusChanged);
        QSignalSpy done(task.get(), &VBackupTask::signalPassFinished);
        QVERIFY(task->startFetch());
        QVERIFY(done.wait(60000));
        QCOMPARE(server.requestCount(QStringLiteral("/api/v1/wp/act/ShareDiskTbLogList")) - before, 3);
        int errors = 0;
        for (const QList<QVariant> &s : status)
            errors += s.at(0).toInt() == VBackupTask::Error;
        QCOMPARE(errors, 2);
        QCOMPARE(task->status(), int(VBackupTask::Idle));
    }

    void garbageReplyFailsTheRun()
    {
        QVERIFY(server.addFault(QStringLiteral("/api/v1/wp/act/ShareDiskTbLogList"), QStringLiteral("garbage"), 0, 1));
        const QDateTime last = task->config().lasttime;
        QSignalSpy status(task.get(), &VBackupTask::signalStatusChanged);
        QVERIFY(task->startFetch());
        QTRY_VERIFY_WITH_TIMEOUT(task->status() == VBackupTask::Error, 30000);
        QCOMPARE(task->config().lasttime, last);
        QSignalSpy done(task.get(), &VBackupTask::signalPassFinished);
        QVERIFY(done.wait(60000)); // the retry goes through
    }

    void thirtyDaysAsksBeforeStartingOver()
    {
        QVERIFY(server.addFault(QStringLiteral("/api/v1/wp/act/ShareDiskTbLogList"), QStringLiteral("code"), 1, 2));
        QSignalSpy ask(task.get(), &VBackupTask::signalAskReset);
        QVERIFY(task->startFetch());
        QVERIFY(ask.wait(30000));
        QCOMPARE(task->status(), int(VBackupTask::Error));
        task->resetAnswer(false);
        QCOMPARE(task->status(), int(VBackupTask::Error)); // refused: error, not "fetching" forever
        QVERIFY(task->config().isopen);
        QVERIFY(task->startFetch());
        QVERIFY(ask.wait(30000));
        task->resetAnswer(true);
        QVERIFY(task->config().isfirst);
        QVERIFY(!task->config().lasttime.isValid());
        QVERIFY(!task->config().isopen);
        QCOMPARE(task->status(), int(VBackupTask::Off));
        QVERIFY(server.clearFaults());
    }

    void stoppedDownloadResumesAfterRestart()
    {
        // a large file whose download is held after 1 MiB
        const QByteArray big = content(30, 6 * 1024 * 1024);
        upload(kRoot, QStringLiteral("大文件.bin"), big);
        QCOMPARE(task->switchOn(false), QString());
        QVERIFY(runPass()); // full run again (the reset above), everything else is equal
        QVERIFY(server.addFault(QStringLiteral("/web/download/file"), QStringLiteral("stall"), 600000, 0,
                                {{"after", 1024 * 1024}}));
        upload(kRoot, QStringLiteral("大文件.bin"), content(31, 6 * 1024 * 1024), 1);
        const QString local = localOf(kRoot + QStringLiteral("/大文件.bin"));
        QVERIFY(task->startFetch());
        QTRY_VERIFY_WITH_TIMEOUT(!leftovers().isEmpty() && QFileInfo(leftovers().at(0)).size() >= 1024 * 1024, 60000);
        // the program ends: shutdown joins the stalled download
        task->shutdown();
        task.reset();
        QCOMPARE(leftovers().size(), 1);
        const qint64 partial = QFileInfo(leftovers().at(0)).size();
        QVERIFY(partial >= 1024 * 1024);
        QVERIFY(server.clearFaults());
        // the next start picks the leftover up and finishes from its size
        newTask();
        QSignalSpy done(task.get(), &VBackupTask::signalPassFinished);
        task->load();
        QVERIFY(task->config().isopen);
        QVERIFY(done.wait(120000));
        QCOMPARE(VUtils::fileSha256(local), TestServer::sha256Hex(content(31, 6 * 1024 * 1024)));
        QVERIFY(leftovers().isEmpty());
    }

    void missingFolderIsNotRecreated()
    {
        const QString moved = root + QStringLiteral("-unplugged");
        QVERIFY(QDir().rename(root, moved));
        QSignalSpy msg(task.get(), &VBackupTask::signalMessage);
        QVERIFY(!task->startFetch());
        QCOMPARE(msg.size(), 1);
        QCOMPARE(msg.at(0).at(0).toString(), QStringLiteral("目录配置有误"));
        QVERIFY(!QFileInfo::exists(root));
        QCOMPARE(task->status(), int(VBackupTask::Off));
        QVERIFY(QDir().rename(moved, root));
    }

    void changedFolderStartsOver()
    {
        const QString other = tmp.path() + QStringLiteral("/other");
        QVERIFY(QDir().mkpath(other));
        QVERIFY(task->applyConfig(other, 30));
        QVERIFY(task->config().isfirst);
        QVERIFY(!task->config().isopen);
        QCOMPARE(task->config().time, 30);
        // same folder, new interval: no full run
        QVERIFY(!task->applyConfig(other + QStringLiteral("/"), 45));
        QCOMPARE(task->config().time, 45);
    }
};

QTEST_GUILESS_MAIN(TstBackupTask)
#include "tst_backuptask.moc"
