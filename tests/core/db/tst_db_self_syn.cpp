// The backup log and history in syn.db: bound values (an owner with a quote),
// status updates of thousands of ids in one go, history written with the
// status, a record finished twice, and history paging.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "DB/db_self.h"
#include "context/orvelcore.h"
#include "context/vconfigs.h"

namespace {

M_db_syn syn(const QString &id, const QString &owner, qint64 dotime, int status = 0)
{
    M_db_syn r;
    r.id = id;
    r.owner = owner;
    r.dotime = QDateTime::fromMSecsSinceEpoch(dotime);
    r.fullpath = QStringLiteral("/1001/sharedisk/") + id;
    r.fileid = QStringLiteral("f") + id;
    r.domsg = QStringLiteral("{\"x\":1}");
    r.dotype = 8;
    r.status = status;
    return r;
}

M_info_file info(const QString &name, qint64 size)
{
    M_info_file f;
    f.id = QStringLiteral("i") + name;
    f.filename = name;
    f.fileext = QStringLiteral("txt");
    f.filesize = size;
    f.md5 = QStringLiteral("ab");
    f.fullpath = QStringLiteral("/1001/sharedisk/") + name;
    return f;
}

} // namespace

class TstDbSelfSyn : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<db_self> store;
    int m_n = 0;

private slots:
    void initTestCase()
    {
        initOrvelCore();
        loadCryptoScript();
    }
    void init()
    {
        store.reset(new db_self(dir.path() + QStringLiteral("/u") + QString::number(++m_n)));
        QVERIFY(store->isReady());
    }

    void boundValuesWithQuotes_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::newRow("plain") << QStringLiteral("1");
        QTest::newRow("quote") << QStringLiteral("o'neil");
        QTest::newRow("injection") << QStringLiteral("1') or ('1'='1");
    }
    void boundValuesWithQuotes()
    {
        QFETCH(QString, owner);
        QVERIFY(store->addLogs({syn(QStringLiteral("a'1"), owner, 2), syn(QStringLiteral("b"), owner, 1),
                                syn(QStringLiteral("c"), QStringLiteral("other"), 3)}));
        QCOMPARE(store->countPending(owner), 2);
        const QList<M_db_syn> logs = store->getLogs(owner);
        QCOMPARE(logs.size(), 2);
        QCOMPARE(logs.at(0).id, QStringLiteral("b")); // oldest first
        QCOMPARE(logs.at(1).id, QStringLiteral("a'1"));
        QCOMPARE(logs.at(1).fileid, QStringLiteral("fa'1"));
        QVERIFY(store->setStatus({QStringLiteral("a'1")}, 99));
        QCOMPARE(store->countPending(owner), 1);
        QVERIFY(store->deleteLogs(owner, 0));
        QCOMPARE(store->getLogs(owner).size(), 0);
        QCOMPARE(store->countPending(QStringLiteral("other")), 1);
        // history filtered by the same owner
        QVERIFY(store->insertHistory({syn(QStringLiteral("h"), owner, 1)}, {info(QStringLiteral("h"), 3)}));
        QVERIFY(store->insertHistory({syn(QStringLiteral("k"), QStringLiteral("other"), 1)}, {info(QStringLiteral("k"), 3)}));
        QCOMPARE(store->getHistory(M_page(), {owner}).total, 1);
        QVERIFY(store->clearHistory({owner}));
        QCOMPARE(store->getHistory(M_page()).total, 1);
    }

    void thousandsOfIdsInOneGo()
    {
        QList<M_db_syn> logs;
        QStringList ids;
        for (int i = 0; i < 5000; ++i) {
            logs << syn(QString::number(i), QStringLiteral("1"), i);
            ids << QString::number(i);
        }
        QVERIFY(store->addLogs(logs));
        QCOMPARE(store->countPending(QStringLiteral("1")), 5000);
        QVERIFY(store->setStatus(ids.mid(0, 4000), 99));
        QCOMPARE(store->countPending(QStringLiteral("1")), 1000);
        // finished with history in one transaction, twice: the second time
        // replaces, it does not fail the batch
        QList<M_info_file> infos;
        for (int i = 4000; i < 5000; ++i)
            infos << info(QString::number(i), i);
        QVERIFY(store->finishLogs(logs.mid(4000), infos, QStringList()));
        QVERIFY(store->finishLogs(logs.mid(4000), infos, QStringList()));
        QCOMPARE(store->countPending(QStringLiteral("1")), 0);
        QCOMPARE(store->getHistory(M_page()).total, 1000);
        // queued again: the same id replaces the old row
        QVERIFY(store->addLogs(logs.mid(0, 10)));
        QCOMPARE(store->countPending(QStringLiteral("1")), 10);
    }

    void failedRecordsKeepMessageAndTries()
    {
        M_db_syn r = syn(QStringLiteral("x"), QStringLiteral("1"), 5);
        QVERIFY(store->addLogs({r}));
        r.status = -1;
        r.errmsg = QStringLiteral("网络请求超时");
        r.domsg = QStringLiteral("{\"tries\":2}");
        QVERIFY(store->updateLogs({r}));
        const QList<M_db_syn> logs = store->getLogs(QStringLiteral("1"));
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.at(0).status, -1);
        QCOMPARE(logs.at(0).errmsg, r.errmsg);
        QCOMPARE(logs.at(0).domsg, r.domsg);
        QCOMPARE(store->countPending(QStringLiteral("1")), 0); // failed is not "to do"
    }

    void historyPaging_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pageindex");
        QTest::addColumn<int>("expectIndex");
        QTest::addColumn<int>("expectCount");
        QTest::addColumn<int>("expectRows");
        QTest::newRow("250 page 3") << 250 << 3 << 3 << 3 << 50;
        QTest::newRow("150 page 2 shows rows 101-150") << 150 << 2 << 2 << 2 << 50;
        QTest::newRow("150 page 5 back to 1") << 150 << 5 << 1 << 2 << 100;
        QTest::newRow("empty") << 0 << 1 << 1 << 1 << 0;
        QTest::newRow("exactly 100") << 100 << 2 << 1 << 1 << 100;
    }
    void historyPaging()
    {
        QFETCH(int, rows);
        QFETCH(int, pageindex);
        QFETCH(int, expectIndex);
        QFETCH(int, expectCount);
        QFETCH(int, expectRows);
        QList<M_db_syn> logs;
        QList<M_info_file> infos;
        for (int i = 0; i < rows; ++i) {
            logs << syn(QString::number(i), QStringLiteral("1"), i);
            infos << info(QString::number(i), i);
        }
        QVERIFY(store->insertHistory(logs, infos));
        M_page page;
        page.pageindex = pageindex;
        const M_page got = store->getHistory(page, {QStringLiteral("1")});
        QCOMPARE(got.total, rows);
        QCOMPARE(got.pageindex, expectIndex);
        QCOMPARE(got.pagecount, expectCount);
        QCOMPARE(got.list.size(), expectRows);
        // pages do not overlap and together hold every row
        if (rows == 150 && pageindex == 2) {
            QSet<QString> seen;
            for (int p = 1; p <= 2; ++p) {
                M_page q;
                q.pageindex = p;
                for (const M_db_synhistory &h : store->getHistory(q, {QStringLiteral("1")}).list)
                    seen.insert(h.id);
            }
            QCOMPARE(seen.size(), 150);
        }
    }

    void secondStartKeepsTables()
    {
        QVERIFY(store->addLogs({syn(QStringLiteral("keep"), QStringLiteral("1"), 1)}));
        const QString path = store->synPath();
        const QString userDir = QFileInfo(path).absolutePath();
        store.reset(new db_self(userDir));
        QVERIFY(store->isReady());
        QCOMPARE(store->countPending(QStringLiteral("1")), 1);
    }
};

QTEST_GUILESS_MAIN(TstDbSelfSyn)
#include "tst_db_self_syn.moc"
