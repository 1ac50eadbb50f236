// The transfer log store: schema and upgrades, the duplicate rule of a batch,
// the list queries, the per-user key-value state, and a store that cannot be
// opened.

#include <QDateTime>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "DB/db_self.h"
#include "context/orvelcore.h"
#include "context/vconfigs.h"
#include "records/metatypes.h"
#include "transfer/vglobalconnect.h"
#include "utils/vutils.h"

#include <QJsonDocument>

namespace {

M_db_file rec(int type, const QString &fileid, const QString &local, const QString &server)
{
    M_db_file f;
    f.type = type;
    f.fileid = fileid;
    f.filename = fileid + QStringLiteral(".bin");
    f.localpath = local;
    f.serverpath = server;
    f.filesize = 5000000000LL; // above 32 bits
    return f;
}

// Builds a file.db at version 3, the way an old client left it.
void makeVersion3(const QString &path)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v3"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE [log]([id] INTEGER PRIMARY KEY,[fileid] TEXT,[filename] TEXT,"
                                      "[type] INT,[status] INT,[localpath] TEXT,[serverpath] TEXT,[error] TEXT,"
                                      "[addtime] TEXT,[md5] TEXT, [filesize] TEXT, [donetime] TEXT)")));
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE [version]([version] TEXT NOT NULL UNIQUE)")));
        QVERIFY(q.exec(QStringLiteral("insert into version (version) values('3')")));
        QVERIFY(q.exec(QStringLiteral("insert into log (fileid,filename,type,status,localpath,serverpath,filesize) "
                                      "values ('old','old.txt',1,0,'/l/old.txt','/s/',"
                                      "'12')")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v3"));
}

// The first value a statement gives on a connection of its own.
QString peek(const QString &path, const QString &sql)
{
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peekone"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                value = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peekone"));
    return value;
}

// The "other" rows of a file.db, read behind the store's back.
QMultiMap<QString, QString> otherRows(const QString &path)
{
    QMultiMap<QString, QString> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("select key, value from other")))
                while (q.next())
                    rows.insert(q.value(0).toString(), q.value(1).toString());
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peek"));
    return rows;
}

} // namespace

class TestDbSelf : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        registerMetaTypes();
        initOrvelCore();
        QVERIFY(loadCryptoScript());
        QVERIFY(!VUtils::instance()->toEncrypt(QStringLiteral("x")).isEmpty());
    }

    // Values are kept encrypted under the key's name, survive a new store
    // over the same files, and a second set replaces the first.
    void otherRoundTrip_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("last visit") << int(db_self::other_lastvisit) << "lastvisit"
                                    << R"({"leftmenu":0,"path":"/资料/2026'春/"})"
                                    << R"({"leftmenu":14})";
        QTest::newRow("backup configuration")
            << int(db_self::other_adminbak) << "adminbak" << "[{\"local\":\"/home/a b/备份\"}]"
            << "x'); drop table other; --";
    }
    void otherRoundTrip()
    {
        QFETCH(int, key);
        QFETCH(QString, name);
        QFETCH(QString, first);
        QFETCH(QString, second);
        const auto k = db_self::OtherKey(key);
        QTemporaryDir dir;
        {
            db_self store(dir.path());
            QVERIFY(store.isReady());
            QCOMPARE(store.getOther(k), QString());
            QVERIFY(store.setOther(k, first));
            QCOMPARE(store.getOther(k), first);
            // the other keys are untouched
            QCOMPARE(store.getOther(k == db_self::other_lastvisit ? db_self::other_adminbak
                                                                   : db_self::other_lastvisit),
                     QString());
        }
        QMultiMap<QString, QString> raw = otherRows(dir.filePath(QStringLiteral("file.db")));
        QCOMPARE(raw.keys(), QStringList{name});
        QVERIFY(!raw.value(name).isEmpty());
        QVERIFY(raw.value(name) != first);
        QVERIFY(!raw.value(name).contains(QStringLiteral("leftmenu")));
        QCOMPARE(VUtils::instance()->toDecrypt(raw.value(name)), first);

        db_self again(dir.path());
        QCOMPARE(again.getOther(k), first);
        QVERIFY(again.setOther(k, second));
        QCOMPARE(again.getOther(k), second);
        raw = otherRows(dir.filePath(QStringLiteral("file.db")));
        QCOMPARE(raw.size(), 1); // replaced, not added
        QCOMPARE(VUtils::instance()->toDecrypt(raw.value(name)), second);
    }

    void typedOtherForms()
    {
        QTemporaryDir dir;
        db_self store(dir.path());
        QVERIFY(store.getLastvisit().isEmpty());
        QCOMPARE(store.getAdminbak(), QString());
        const QJsonObject last{{"leftmenu", 0}, {"path", "/资料/"}};
        QVERIFY(store.setLastvisit(last));
        QCOMPARE(store.getLastvisit(), last);
        QVERIFY(store.setLastvisit({{"leftmenu", 9}}));
        QCOMPARE(store.getLastvisit(), (QJsonObject{{"leftmenu", 9}}));
        QVERIFY(store.setAdminbak(QStringLiteral("任务一")));
        QCOMPARE(store.getAdminbak(), QStringLiteral("任务一"));
        QCOMPARE(store.getLastvisit(), (QJsonObject{{"leftmenu", 9}}));

        // a value that does not decrypt (written by another key) reads as none
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("spoil"));
            db.setDatabaseName(store.filePath());
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("update other set value = 'not cipher text' where key = 'lastvisit'")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("spoil"));
        QVERIFY(store.getLastvisit().isEmpty());
        QVERIFY(store.setLastvisit(last));
        QCOMPARE(store.getLastvisit(), last);
    }

    void freshSchemaIsCurrent()
    {
        QTemporaryDir dir;
        db_self store(dir.path());
        QVERIFY(store.isReady());
        QCOMPARE(store.fileDbVersion(), 8);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("syn.db"))));
        // A second start over the same files changes nothing.
        db_self again(dir.path());
        QVERIFY(again.isReady());
        QCOMPARE(again.fileDbVersion(), 8);
    }

    void upgradeFromVersion3()
    {
        QTemporaryDir dir;
        makeVersion3(dir.filePath(QStringLiteral("file.db")));
        db_self store(dir.path());
        QVERIFY(store.isReady());
        QCOMPARE(store.fileDbVersion(), 8);
        const QList<M_db_file> downs = store.getDownloads();
        QCOMPARE(downs.size(), 1);
        QCOMPARE(downs.first().fileid, QStringLiteral("old"));
        QCOMPARE(downs.first().filesize, qint64(12));
        // The new columns exist and round-trip.
        M_db_file f = downs.first();
        f.evtid = QStringLiteral("e1");
        f.block = 7;
        f.upserver = QStringLiteral("http://u");
        f.ismc = 1;
        QVERIFY(store.updateFile(f));
        const M_db_file back = store.getFile(f.id);
        QCOMPARE(back.evtid, QStringLiteral("e1"));
        QCOMPARE(back.block, 7);
        QCOMPARE(back.upserver, QStringLiteral("http://u"));
        // The old rollback-journal file now runs in write-ahead mode, and
        // what the store commits is there for any other connection at once.
        QCOMPARE(peek(dir.filePath(QStringLiteral("file.db")), QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
        QCOMPARE(peek(dir.filePath(QStringLiteral("file.db")), QStringLiteral("select evtid from log")), QStringLiteral("e1"));
    }

    // The store's own writes while its writer thread stores a batch, and a
    // vacuum after both: nothing fails for a busy file, nothing is lost, and
    // the closed store leaves one whole file (no write-ahead log beside it).
    void writesBesideTheWriter()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("file.db"));
        {
            db_self store(dir.path());
            QSignalSpy counts(&store, &db_self::signalAddCount);
            QList<M_db_file> big;
            for (int i = 0; i < 3000; ++i)
                big << rec(1, QStringLiteral("d%1").arg(i), QStringLiteral("/l/%1").arg(i), QStringLiteral("/s/"));
            QCOMPARE(store.addFiles({rec(2, QString(), QStringLiteral("/l/up"), QStringLiteral("/s/"))}, 0, false), 1);
            M_db_file up = store.getUploads().first();
            store.addFilesInBackground(big, 1, true);
            for (int block = 1; block <= 50; ++block) {
                up.block = block;
                QVERIFY(store.updateFile(up));
            }
            QTRY_COMPARE_WITH_TIMEOUT(counts.size(), 2, 60000);
            QCOMPARE(counts.last(), (QVariantList{1, 3000, true}));
            store.vacuum();
            QCOMPARE(store.getDownloads().size(), 3000);
            QCOMPARE(store.getFile(up.id).block, 50);
        }
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
        QCOMPARE(peek(path, QStringLiteral("select count(*) from log")), QStringLiteral("3001"));
        QCOMPARE(peek(path, QStringLiteral("select max(block) from log")), QStringLiteral("50"));
    }

    void duplicateRule()
    {
        QTemporaryDir dir;
        db_self store(dir.path());
        QSignalSpy counts(&store, &db_self::signalAddCount);
        QSignalSpy downs(VGlobalConnect::instance(), &VGlobalConnect::signalNewFileForDownload);
        QSignalSpy ups(VGlobalConnect::instance(), &VGlobalConnect::signalNewFileForUpload);

        const M_db_file d = rec(1, QStringLiteral("f1"), QStringLiteral("/l/a"), QStringLiteral("/s/a"));
        QCOMPARE(store.addFiles({d}, 3, false), 1);
        QCOMPARE(counts.last(), (QVariantList{3, 1, false}));
        QCOMPARE(downs.size(), 1);
        const auto added = downs.last().first().value<QList<M_db_file>>();
        QCOMPARE(added.size(), 1);
        QVERIFY(added.first().id > 0);
        QCOMPARE(store.getFile(added.first().id).filesize, qint64(5000000000LL));

        // The same unfinished download again: nothing added.
        QCOMPARE(store.addFiles({d}, 4, true), 0);
        QCOMPARE(counts.last(), (QVariantList{4, 0, true}));
        QCOMPARE(store.getDownloads().size(), 1);

        // A batch mixing a repeat with a new one keeps only the new one, with
        // the id the store gave it.
        const M_db_file other = rec(1, QStringLiteral("f2"), QStringLiteral("/l/b"), QStringLiteral("/s/b"));
        QCOMPARE(store.addFiles({d, other}, 5, true), 1);
        const auto kept = downs.last().first().value<QList<M_db_file>>();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept.first().fileid, QStringLiteral("f2"));
        QCOMPARE(store.getFile(kept.first().id).fileid, QStringLiteral("f2"));

        // The same paths as an upload are another transfer.
        QCOMPARE(store.addFiles({rec(2, QStringLiteral("f1"), QStringLiteral("/l/a"), QStringLiteral("/s/a"))}, 0, true),
                 1);
        QCOMPARE(ups.size(), 1);
        QCOMPARE(store.getUploads().size(), 1);

        // Uploads carry no file id: the same unfinished upload again is a
        // repeat as well, while another target folder is a new transfer.
        const M_db_file up = rec(2, QString(), QStringLiteral("/l/up.bin"), QStringLiteral("/s"));
        QCOMPARE(store.addFiles({up}, 0, true), 1);
        QCOMPARE(store.addFiles({up}, 0, true), 0);
        QCOMPARE(store.addFiles({rec(2, QString(), QStringLiteral("/l/up.bin"), QStringLiteral("/s/other"))}, 0, true), 1);

        // Once finished, the same download may be added again.
        QVERIFY(store.setDone(added.first().id, QStringLiteral("a"), QStringLiteral("/l/a")));
        QCOMPARE(store.addFiles({d}, 0, true), 1);
        QCOMPARE(store.addFiles({}, 9, true), 0);
        QCOMPARE(counts.last(), (QVariantList{9, 0, true}));
    }

    // Batches written on the store's writer thread: one transaction each, in
    // the order of the calls, reported on the store's thread once stored (a
    // later batch repeating an earlier one is dropped by the duplicate rule,
    // which only holds when the first is stored first).
    void backgroundBatchesKeepTheirOrder()
    {
        QTemporaryDir dir;
        db_self store(dir.path());
        QSignalSpy counts(&store, &db_self::signalAddCount);
        QSignalSpy ups(VGlobalConnect::instance(), &VGlobalConnect::signalNewFileForUpload);
        QThread *gui = QThread::currentThread();
        QList<QThread *> reportedOn;
        connect(&store, &db_self::signalAddCount, this, [&] { reportedOn << QThread::currentThread(); });
        QList<M_db_file> big;
        for (int i = 0; i < 3000; ++i)
            big << rec(2, QStringLiteral("u%1").arg(i), QStringLiteral("/l/%1").arg(i), QStringLiteral("/s/d%1").arg(i % 30));
        store.addFilesInBackground(big, 1, false);
        store.addFilesInBackground({}, 2, false);
        store.addFilesInBackground(big.mid(0, 10) + QList<M_db_file>{rec(2, "u-new", "/l/new", "/s/")}, 3, true);
        // nothing is reported before it is stored
        QCOMPARE(counts.size(), 0);
        QCOMPARE(store.pendingWrites(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(counts.size(), 3, 60000);
        QCOMPARE(counts.at(0), (QVariantList{1, 3000, false}));
        QCOMPARE(counts.at(1), (QVariantList{2, 0, false}));
        QCOMPARE(counts.at(2), (QVariantList{3, 1, true}));
        QCOMPARE(reportedOn, (QList<QThread *>{gui, gui, gui}));
        QCOMPARE(store.pendingWrites(), 0);
        QCOMPARE(ups.size(), 2);
        const auto first = ups.at(0).first().value<QList<M_db_file>>();
        QCOMPARE(first.size(), 3000);
        // the ids the store gave, in the batch's order
        for (int i = 0; i < first.size(); ++i) {
            QCOMPARE(first.at(i).localpath, big.at(i).localpath);
            QCOMPARE(store.getFile(first.at(i).id).localpath, big.at(i).localpath);
        }
        QCOMPARE(ups.at(1).first().value<QList<M_db_file>>().first().localpath, QStringLiteral("/l/new"));
        QCOMPARE(store.getUploads().size(), 3001);
        // a store that goes away waits for its writer
        {
            db_self other(dir.path() + "/other");
            other.addFilesInBackground(big, 4, true);
        }
        QCOMPARE(db_self(dir.path() + "/other").getUploads().size(), 3000);
    }

    void listsAndDeletes()
    {
        QTemporaryDir dir;
        db_self store(dir.path());
        QList<M_db_file> batch;
        for (int i = 0; i < 5; ++i) {
            M_db_file f = rec(1, QStringLiteral("x%1").arg(i), QStringLiteral("/l/%1").arg(i), QStringLiteral("/s/"));
            f.status = 1; // running when the client went down
            batch << f;
        }
        QCOMPARE(store.addFiles(batch, 0, true), 5);
        const QList<M_db_file> downs = store.getDownloads();
        QCOMPARE(downs.size(), 5);
        for (const M_db_file &f : downs)
            QCOMPARE(f.status, 0); // come back as stopped
        QVERIFY(store.deleteFiles({downs[0].id, downs[2].id, downs[4].id}));
        QCOMPARE(store.getDownloads().size(), 2);
        QVERIFY(store.deleteFile(downs[1].id));
        QCOMPARE(store.getDownloads().size(), 1);
        QVERIFY(store.clearDownloadRows());
        QCOMPARE(store.getDownloads().size(), 0);

        // The space of cleared rows is given back with the next batch, and
        // only then: a batch into a file without free pages rewrites nothing.
        auto freePages = [&] {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pages"));
            db.setDatabaseName(store.filePath());
            db.open();
            QSqlQuery q(db);
            const qint64 n = q.exec(QStringLiteral("PRAGMA freelist_count")) && q.next() ? q.value(0).toLongLong() : -1;
            q.finish();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("pages"));
            return n;
        };
        batch.clear();
        for (int i = 0; i < 2000; ++i)
            batch << rec(1, QStringLiteral("y%1").arg(i), QStringLiteral("/l/%1/").arg(i) + QString(200, QLatin1Char('p')),
                         QStringLiteral("/s/"));
        QCOMPARE(store.addFiles(batch, 0, true), 2000);
        QCOMPARE(freePages(), 0);
        QVERIFY(store.clearDownloadRows());
        QVERIFY(freePages() > 50);
        QCOMPARE(store.addFiles({rec(1, QStringLiteral("z"), QStringLiteral("/l/z"), QStringLiteral("/s/"))}, 0, true), 1);
        QCOMPARE(freePages(), 0);
        QCOMPARE(store.getDownloads().size(), 1);
    }

    void doneShowsNewest1000()
    {
        QTemporaryDir dir;
        db_self store(dir.path());
        QList<M_db_file> batch;
        for (int i = 0; i < 1200; ++i)
            batch << rec(2, QStringLiteral("d%1").arg(i), QStringLiteral("/l/%1").arg(i), QStringLiteral("/s/"));
        QCOMPARE(store.addFiles(batch, 0, true), 1200);
        {
            // Finished at distinct times: row i at 1e12 + i.
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("done"));
            db.setDatabaseName(store.filePath());
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("update log set status = 99, donetime = 1000000000000 + id")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("done"));
        const QList<M_db_file> done = store.getDone();
        QCOMPARE(done.size(), 1000);
        QCOMPARE(done.first().fileid, QStringLiteral("d200"));
        QCOMPARE(done.last().fileid, QStringLiteral("d1199"));
        QVERIFY(done.first().donetime < done.last().donetime);
        QVERIFY(store.clearDoneRows());
        QCOMPARE(store.getDone().size(), 0);
    }

    // A store that cannot be set up says so through a signal and keeps
    // working as an empty store, never crashing.
    void unusableStore_data()
    {
        QTest::addColumn<bool>("corrupt");
        QTest::newRow("corrupt file.db") << true;
        QTest::newRow("file.db is not a file") << false;
    }
    void unusableStore()
    {
        QFETCH(bool, corrupt);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("file.db"));
        if (corrupt) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, '\x5a'));
        } else {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("file.db")));
        }
        QSignalSpy layer(VGlobalConnect::instance(), &VGlobalConnect::signalLayer_err);
        db_self store(dir.path());
        QSignalSpy init(&store, &db_self::signalInitError);
        QVERIFY(!store.isReady());
        QVERIFY(init.wait(2000));
        QCOMPARE(init.first().first().toString(), QStringLiteral("数据库更新异常，请重启再试"));
        QCOMPARE(store.getUploads().size(), 0);
        QCOMPARE(store.addFiles({rec(1, QStringLiteral("a"), QStringLiteral("/a"), QStringLiteral("/s"))}, 0, true), 0);
        QVERIFY(layer.size() >= 2);
        QCOMPARE(layer.last().first().toString(), QStringLiteral("加入下载队列失败"));
    }
};

QTEST_GUILESS_MAIN(TestDbSelf)
#include "tst_db_self.moc"
