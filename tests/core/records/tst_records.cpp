#include "context/userinfo.h"
#include "records/m_config.h"
#include "records/metatypes.h"

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QtTest>

// Readers of the records: numbers as text and as JSON numbers, missing keys,
// rows of the stores, and the record types crossing threads.
class Emitter : public QObject
{
    Q_OBJECT
signals:
    void files(QList<M_db_file>);
    void info(M_fileinfo);
};

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerMetaTypes(); }

    void numbersAsTextOrNumber_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("number") << QByteArray(R"({"filesize": 5368709120, "filecategory": 4, "isdir": 1,
                                             "adduserid": 17, "dirnum": 3})");
        QTest::newRow("text") << QByteArray(R"({"filesize": "5368709120", "filecategory": "4", "isdir": "1",
                                           "adduserid": "17", "dirnum": "3"})");
        QTest::newRow("bool") << QByteArray(R"({"filesize": 5368709120, "filecategory": 4, "isdir": true,
                                           "adduserid": 17.0, "dirnum": "3 "})");
    }

    void numbersAsTextOrNumber()
    {
        QFETCH(QByteArray, json);
        const QJsonObject o = QJsonDocument::fromJson(json).object();
        QVERIFY(!o.isEmpty());
        const M_info_file f(o);
        QCOMPARE(f.filesize, Q_INT64_C(5368709120)); // above 32 bits
        QCOMPARE(f.filecategory, 4);
        QCOMPARE(f.isdir, true);
        QCOMPARE(f.adduserid, 17);
        QCOMPARE(f.dirnum, 3);
        const M_fileinfo l(o);
        QCOMPARE(l.filesize, Q_INT64_C(5368709120));
        QCOMPARE(l.isdir, true);
        QCOMPARE(M_fileinfo::fromDiskList(o).filesize, Q_INT64_C(5368709120));
    }

    void missingKeysGiveEmptyValues()
    {
        const M_info_file f{QJsonObject()};
        QVERIFY(f.id.isEmpty());
        QCOMPARE(f.filesize, Q_INT64_C(0));
        QCOMPARE(f.isdir, false);
        const M_fileinfo l{QJsonObject{{"filesize", "not a number"}, {"id", QJsonValue::Null}}};
        QCOMPARE(l.filesize, Q_INT64_C(0));
        QVERIFY(l.id.isEmpty());
    }

    void idsAsNumbersReadAsText()
    {
        // The plain disk listing sends ids and the type as numbers.
        const QJsonObject o{{"id", 1234567}, {"createuserid", 42}, {"filetype", 4}, {"isadmin", 0},
                            {"filename", "a.docx"}, {"deltime", "x"}};
        const M_fileinfo disk = M_fileinfo::fromDiskList(o);
        QCOMPARE(disk.id, QString("1234567"));
        QCOMPARE(disk.createuserid, QString("42"));
        QCOMPARE(disk.filetype, QString("4"));
        QVERIFY(disk.deltime.isEmpty()); // not one of the listing's keys
        QCOMPARE(M_fileinfo(o).deltime, QString("x"));
    }

    void actClientText_data()
    {
        QTest::addColumn<QJsonValue>("client");
        QTest::addColumn<QString>("text");
        QTest::newRow("web") << QJsonValue(1) << QStringLiteral("网页");
        QTest::newRow("app") << QJsonValue(2) << QStringLiteral("app");
        QTest::newRow("wechat") << QJsonValue(3) << QStringLiteral("微信");
        QTest::newRow("client") << QJsonValue(4) << QStringLiteral("客户端");
        QTest::newRow("client-text") << QJsonValue("4") << QStringLiteral("客户端");
        QTest::newRow("zero") << QJsonValue(0) << QString();
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << QString();
        QTest::newRow("other") << QJsonValue(9) << QString();
    }

    void actClientText()
    {
        QFETCH(QJsonValue, client);
        QFETCH(QString, text);
        QJsonObject o{{"id", "e1"}};
        if (!client.isUndefined())
            o.insert("client", client);
        QCOMPARE(M_api_act(o).clientText(), text);
    }

    void actDataIsParsedText()
    {
        const QJsonObject o{{"id", 77}, {"act", 5}, {"status", "2"},
                            {"data", R"({"code":1,"msg":"x","filelist":[{"code":3,"msg":"重名"}]})"}};
        const M_api_act a(o);
        QCOMPARE(a.id, QString("77"));
        QCOMPARE(a.act, 5);
        QCOMPARE(a.status, 2);
        QCOMPARE(a.data.value("filelist").toArray().at(0).toObject().value("msg").toString(), QStringLiteral("重名"));
        QVERIFY(M_api_act(QJsonObject{{"data", "not json"}}).data.isEmpty());
        QCOMPARE(M_api_act(QJsonObject{{"data", QJsonObject{{"code", 0}}}}).data.value("code").toInt(), 0);
    }

    void configDefaultsAndRoundTrip()
    {
        M_config *c = M_config::instance();
        c->reset();
        const QJsonObject d = c->toJson();
        QCOMPARE(d.size(), 13);
        QCOMPARE(d.value("Normal_isAlertUndone"), QJsonValue(true));
        QCOMPARE(d.value("Normal_isAutoUpdate"), QJsonValue(true));
        QCOMPARE(d.value("Transfer_threadcount_upload"), QJsonValue(2));
        QCOMPARE(d.value("Transfer_threadcount_download"), QJsonValue(2));
        QCOMPARE(d.value("Transfer_default_path"), QJsonValue(QString()));
        QVERIFY(d.value("Transfer_speed_upload").isDouble());

        c->Transfer_threadcount_download = 5;
        c->Transfer_default_path = QStringLiteral("/home/张三/下载");
        c->Normal_isAutoRun = true;
        const QJsonObject changed = c->toJson();
        c->reset();
        c->fromJson(changed);
        QCOMPARE(c->Transfer_threadcount_download, 5);
        QCOMPARE(c->Transfer_default_path, QStringLiteral("/home/张三/下载"));
        QCOMPARE(c->Normal_isAutoRun, true);
        QCOMPARE(c->toJson(), changed);
        c->reset();
    }

    void transferRowFromDatabase()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "records");
        db.setDatabaseName(":memory:");
        QVERIFY(db.open());
        {
            QSqlQuery q(db);
            QVERIFY(q.exec("create table log(id integer primary key, fileid text, filename text, type int, "
                           "status int, localpath text, serverpath text, error text, md5 text, filesize text, "
                           "addtime int, donetime int, evtid text, block int, upserver text, ismc int, isedit int)"));
            QVERIFY(q.prepare("insert into log values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
            const QVariantList values{7, "f9", "大文件.iso", 2, 99, "/tmp/a", "/12/sharedisk/", "", "abc",
                                      "6442450944", Q_INT64_C(1700000000123), Q_INT64_C(1700000009999), "ev1",
                                      12, "http://up:81", 1, 1};
            for (const QVariant &v : values)
                q.addBindValue(v);
            QVERIFY(q.exec());
            QVERIFY(q.exec("select * from log"));
            QVERIFY(q.next());
            const M_db_file f(q.record());
            QCOMPARE(f.id, 7);
            QCOMPARE(f.filename, QStringLiteral("大文件.iso"));
            QCOMPARE(f.type, 2);
            QCOMPARE(f.status, 99);
            QCOMPARE(f.filesize, Q_INT64_C(6442450944));
            QCOMPARE(f.addtime, Q_INT64_C(1700000000123));
            QCOMPARE(f.block, 12);
            QCOMPARE(f.upserver, QString("http://up:81"));
            QCOMPARE(f.ismc, 1);
            QCOMPARE(f.isedit, true);
            QCOMPARE(f.donesize, Q_INT64_C(0));

            QVERIFY(q.exec("create table syn(id text, dotime text, addusername text, fullpath text, fileid text,"
                           " domsg text, dotype int, status int, errmsg text, owner text)"));
            QVERIFY(q.exec("insert into syn values('s1','1700000000123','u','/p','f','下载',1,99,'','1')"));
            QVERIFY(q.exec("select * from syn"));
            QVERIFY(q.next());
            const M_db_syn s(q.record());
            QCOMPARE(s.dotime.toMSecsSinceEpoch(), Q_INT64_C(1700000000123));
            QCOMPARE(s.status, 99);
            QCOMPARE(s.fileid, QStringLiteral("f")); // leftovers re-queued after a restart need it
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("records");
    }

    void userInfoFromLoginData()
    {
        UserInfo *u = UserInfo::instance();
        u->clear();
        u->username = "zs";
        u->fromJson(QJsonObject{{"id", "1001"}, {"truename", QStringLiteral("张三")}, {"sex", 1}, {"shenfen", 99},
                                {"schoolid", 12}, {"logintime", "2024-03-05 07:08:09"}, {"loginname", "zs"},
                                {"birthday", "19900101"}});
        QCOMPARE(u->username, QString("zs")); // not from the reply
        QCOMPARE(u->id, 1001);
        QCOMPARE(u->sex, true);
        QCOMPARE(u->shenfen, 99);
        QCOMPARE(u->schoolid, 12);
        QCOMPARE(u->logintime, QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
        QCOMPARE(u->birthday, 19900101);
        u->clear();
    }

    void recordsCrossThreads()
    {
        // A queued connection from a worker thread delivers a copy intact.
        QThread worker;
        Emitter e;
        e.moveToThread(&worker);
        worker.start();
        QList<M_db_file> got;
        QObject receiver;
        connect(&e, &Emitter::files, &receiver, [&](const QList<M_db_file> &l) { got = l; }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(&e, [&e] {
            M_db_file f;
            f.filename = QStringLiteral("报告.docx");
            f.filesize = Q_INT64_C(1) << 40;
            emit e.files({f, f});
        });
        QTRY_COMPARE(got.size(), 2);
        QCOMPARE(got.at(1).filesize, Q_INT64_C(1) << 40);
        QCOMPARE(got.at(0).filename, QStringLiteral("报告.docx"));
        worker.quit();
        worker.wait();
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
