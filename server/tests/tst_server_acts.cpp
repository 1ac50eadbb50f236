// Acts: their life from act/add to GetActStatus 99, per-item results,
// conflicts, the recycle bin, persistence across a restart and the change log.
#include "testserver.h"

#include <QDateTime>
#include <QJsonArray>
#include <QtTest>

class TstServerActs : public QObject
{
    Q_OBJECT
    TestServer server{options()};
    QString token;

    static TestServer::Options options()
    {
        TestServer::Options o;
        o.actDelayMs = 300;
        return o;
    }
    QString add(const QVariantMap &p, QJsonObject *reply = nullptr)
    {
        const QJsonObject r = server.call("api/v1/wp/act/add", p, token);
        if (reply)
            *reply = r;
        return r.value("data").toObject().value("evtid").toString();
    }
    // Runs an act to its end; answers its parsed data.
    QJsonObject run(const QVariantMap &p)
    {
        const QString id = add(p);
        if (id.isEmpty())
            return QJsonObject();
        const QJsonObject act = server.waitAct(token, id);
        return QJsonDocument::fromJson(act.value("data").toString().toUtf8()).object();
    }
    static QJsonArray items(const QJsonObject &data) { return data.value("filelist").toArray(); }
    static int code(const QJsonObject &data, int i = 0) { return items(data).at(i).toObject().value("code").toInt(-99); }
    QJsonArray list(const QString &path)
    {
        return server.call("api/v1/wp/file/getlist", {{"filepath", path}}, token).value("data").toObject().value("list").toArray();
    }
    QStringList names(const QString &path)
    {
        QStringList n;
        for (const QJsonValue &v : list(path))
            n << v.toObject().value("filename").toString();
        return n;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        token = server.signIn("demo", "demo123");
        QVERIFY(!token.isEmpty());
    }

    void life()
    {
        QJsonObject reply;
        const QString id = add({{"acttype", "AddDir"}, {"filepath", "/1001/sharedisk"}, {"dirname", "课程资料"}}, &reply);
        QCOMPARE(reply.value("Code").toInt(), 0);
        QVERIFY(!id.isEmpty());
        QCOMPARE(reply.value("data").toObject().value("msg").toString(), QString());
        // Open while the delay runs, nothing changed yet.
        QJsonArray st = server.call("api/v1/wp/act/GetActStatus", {{"ids", id + ",unknown-id"}}, token).value("Msg").toArray();
        QCOMPARE(st.size(), 1);
        QCOMPARE(st.at(0).toObject().value("status").toInt(), 0);
        QVERIFY(!names("/").contains("课程资料"));
        const QJsonObject act = server.waitAct(token, id);
        QCOMPARE(act.value("status").toInt(), 99);
        QCOMPARE(act.value("act").toInt(), 1);
        QCOMPARE(act.value("client").toInt(), 4);
        QCOMPARE(act.value("username").toString(), QStringLiteral("演示教师"));
        const QJsonObject data = QJsonDocument::fromJson(act.value("data").toString().toUtf8()).object();
        QCOMPARE(data.value("code").toInt(), 0);
        QVERIFY(names("/").contains("课程资料"));
    }

    void addDirFailures_data()
    {
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("code");
        QTest::newRow("exists") << "/" << "课程资料" << 5;
        QTest::newRow("exists other case") << "/" << "课程资料" << 5;
        QTest::newRow("slash") << "/" << "a/b" << 4;
        QTest::newRow("dot dot") << "/" << ".." << 4;
        QTest::newRow("no parent") << "/nowhere" << "x" << 2;
    }
    void addDirFailures()
    {
        QFETCH(QString, parent);
        QFETCH(QString, name);
        QFETCH(int, code);
        const QJsonObject data = run({{"acttype", "AddDir"}, {"filepath", parent}, {"dirname", name}});
        QCOMPARE(data.value("code").toInt(), code);
        QVERIFY(!data.value("msg").toString().isEmpty());
    }

    void rejectedAtOnce_data()
    {
        QTest::addColumn<QVariantMap>("params");
        QTest::addColumn<QString>("msg");
        const QString noList = QStringLiteral("参数错误：filelist应为非空数组");
        QTest::newRow("no acttype") << QVariantMap{{"filepath", "/"}} << QStringLiteral("缺少操作类型acttype");
        QTest::newRow("unknown acttype") << QVariantMap{{"acttype", "Explode"}} << QStringLiteral("不支持的操作类型：Explode");
        QTest::newRow("no filelist") << QVariantMap{{"acttype", "Remove"}} << noList;
        QTest::newRow("filelist not an array") << QVariantMap{{"acttype", "Remove"}, {"filelist", "{\"a\":1"}} << noList;
        QTest::newRow("empty filelist") << QVariantMap{{"acttype", "Copy"}, {"filelist", QJsonArray()}} << noList;
        QTest::newRow("no dirname") << QVariantMap{{"acttype", "AddDir"}, {"filepath", "/"}} << QStringLiteral("参数错误：缺少dirname");
    }
    void rejectedAtOnce()
    {
        QFETCH(QVariantMap, params);
        QFETCH(QString, msg);
        QJsonObject reply;
        QVERIFY(add(params, &reply).isEmpty());
        QCOMPARE(reply.value("Code").toInt(), 1);
        QCOMPARE(reply.value("Msg").toString(), msg);
    }

    void addDirsRenameCopyMove()
    {
        QJsonObject d = run({{"acttype", "AddDirs"}, {"filepath", "/1001/sharedisk/课程资料"},
                             {"dirs", QJsonArray{"一年级/上册", "一年级/下册", "二年级"}}});
        QCOMPARE(items(d).size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(code(d, i), 0);
        QCOMPARE(names("/1001/sharedisk/课程资料/一年级"), (QStringList{"上册", "下册"}));
        // Absurdly deep folder paths are refused, not recursed into.
        d = run({{"acttype", "AddDirs"}, {"filepath", "/"}, {"dirs", QJsonArray{QString("深/").repeated(5000)}}});
        QCOMPARE(code(d), 4);
        QString err;
        QVERIFY(!server.uploadFile(token, "/1001/sharedisk/课程资料/一年级/上册", "第一课.txt", "课文内容", 0, &err).isEmpty());

        d = run({{"acttype", "ReName"}, {"filelist", QJsonArray{QJsonObject{{"filepath", "/1001/sharedisk/课程资料/二年级"}, {"newname", "二年级资料"}},
                                                               QJsonObject{{"filepath", "/1001/sharedisk/课程资料/一年级"}, {"newname", "a/b"}}}}});
        QCOMPARE(code(d, 0), 0);
        QCOMPARE(code(d, 1), 4);

        // Copy a folder with content, then again: clash, keep both, replace.
        const QJsonObject copy{{"filepath", "/1001/sharedisk/课程资料/一年级"}, {"to", "/1001/sharedisk/课程资料/二年级资料"}, {"toname", ""}, {"totype", "0"}};
        QCOMPARE(code(run({{"acttype", "Copy"}, {"filelist", QJsonArray{copy}}})), 0);
        QVERIFY(!server.stat("/1001/sharedisk/课程资料/二年级资料/一年级/上册/第一课.txt").isEmpty());
        QCOMPARE(code(run({{"acttype", "Copy"}, {"filelist", QJsonArray{copy}}})), 5);
        QJsonObject keep = copy;
        keep["totype"] = "2";
        d = run({{"acttype", "Copy"}, {"filelist", QJsonArray{keep}}});
        QCOMPARE(code(d), 0);
        QCOMPARE(items(d).at(0).toObject().value("toname").toString(), QStringLiteral("一年级(1)"));
        QJsonObject replace = copy;
        replace["totype"] = "1";
        QCOMPARE(code(run({{"acttype", "Copy"}, {"filelist", QJsonArray{replace}}})), 0);
        QCOMPARE(names("/1001/sharedisk/课程资料/二年级资料"), (QStringList{"一年级", "一年级(1)"}));

        // Move: into itself is refused, elsewhere keeps content and id.
        const QString fileId = server.stat("/1001/sharedisk/课程资料/一年级/上册/第一课.txt").value("id").toString();
        d = run({{"acttype", "Move"}, {"filelist", QJsonArray{QJsonObject{{"filepath", "/1001/sharedisk/课程资料/一年级"},
                                                                           {"to", "/1001/sharedisk/课程资料/一年级/上册"}, {"toname", ""}, {"totype", 0}}}}});
        QCOMPARE(code(d), 6);
        d = run({{"acttype", "Move"}, {"filelist", QJsonArray{QJsonObject{{"filepath", "/1001/sharedisk/课程资料/一年级/上册/第一课.txt"},
                                                                           {"to", "/1001/sharedisk"}, {"toname", "第一课-移动.txt"}, {"totype", 0}}}}});
        QCOMPARE(code(d), 0);
        const QJsonObject moved = server.stat("/1001/sharedisk/第一课-移动.txt");
        QCOMPARE(moved.value("id").toString(), fileId);
        QCOMPARE(moved.value("sha256").toString(), TestServer::sha256Hex("课文内容"));
        QVERIFY(server.stat("/1001/sharedisk/课程资料/一年级/上册/第一课.txt").isEmpty());
        // Paths are read regardless of case and doubled or trailing slashes.
        d = run({{"acttype", "ReName"}, {"filelist", QJsonArray{QJsonObject{{"filepath", "//1001//SHAREDISK//第一课-移动.txt/"}, {"newname", "第一课.txt"}}}}});
        QCOMPARE(code(d), 0);
    }

    void recycleBin()
    {
        QString err;
        QVERIFY(!server.uploadFile(token, "/", "丢弃.txt", "old", 0, &err).isEmpty());
        QJsonObject d = run({{"acttype", "Remove"}, {"filelist", QJsonArray{"/1001/sharedisk/丢弃.txt", "/1001/sharedisk/课程资料", "/1001/sharedisk/nothing"}}});
        QCOMPARE(code(d, 0), 0);
        QCOMPARE(code(d, 1), 0);
        QCOMPARE(code(d, 2), 2);
        QVERIFY(server.stat("/1001/sharedisk/课程资料/二年级资料/一年级/上册/第一课.txt").isEmpty());
        QJsonArray bin = server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", ""}}, token).value("data").toArray();
        // (The folder replaced by the copy above is in the bin as well.)
        QString fileEntry, dirEntry;
        for (const QJsonValue &v : bin) {
            const QJsonObject o = v.toObject();
            if (o.value("filename").toString() != QStringLiteral("丢弃.txt") && o.value("filename").toString() != QStringLiteral("课程资料"))
                continue;
            QVERIFY(!o.value("deltime").toString().isEmpty());
            QCOMPARE(o.value("delusername").toString(), QStringLiteral("演示教师"));
            (o.value("isdir").toBool() ? dirEntry : fileEntry) = o.value("id").toString();
        }
        // A new file with the same name clashes on restore (code 5) ...
        QVERIFY(!server.uploadFile(token, "/", "丢弃.txt", "new", 0, &err).isEmpty());
        d = run({{"acttype", "Reduction"}, {"filelist", QJsonArray{QJsonObject{{"id", fileEntry}, {"totype", "0"}},
                                                                    QJsonObject{{"id", dirEntry}, {"totype", "0"}}}}});
        QCOMPARE(code(d, 0), 5);
        QCOMPARE(code(d, 1), 0);
        QVERIFY(!server.stat("/1001/sharedisk/课程资料/二年级资料/一年级/上册/第一课.txt").isEmpty());
        // ... and keeping both restores it under a free name.
        d = run({{"acttype", "Reduction"}, {"filelist", QJsonArray{QJsonObject{{"id", fileEntry}, {"totype", "1"}}}}});
        QCOMPARE(code(d), 0);
        QCOMPARE(server.stat("/1001/sharedisk/丢弃(1).txt").value("sha256").toString(), TestServer::sha256Hex("old"));
        QCOMPARE(server.stat("/1001/sharedisk/丢弃.txt").value("sha256").toString(), TestServer::sha256Hex("new"));

        // Deleting for good removes the entry and an unshared blob.
        d = run({{"acttype", "Remove"}, {"filelist", QJsonArray{"/1001/sharedisk/丢弃(1).txt"}}});
        bin = server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", "丢弃"}}, token).value("data").toArray();
        QCOMPARE(bin.size(), 1);
        const QString blob = server.dataDir() + "/blobs/" + TestServer::sha256Hex("old").left(2) + "/" + TestServer::sha256Hex("old");
        QVERIFY(QFile::exists(blob));
        d = run({{"acttype", "Del"}, {"filelist", QJsonArray{bin.first().toObject().value("id").toString(), "424242"}}});
        QCOMPARE(code(d, 0), 0);
        QCOMPARE(code(d, 1), 2);
        QVERIFY(!QFile::exists(blob));
        QVERIFY(server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", "丢弃"}}, token).value("data").toArray().isEmpty());
    }

    void pendingActSurvivesRestart()
    {
        const QString id = add({{"acttype", "AddDir"}, {"filepath", "/"}, {"dirname", "重启后创建"}});
        QVERIFY(!id.isEmpty());
        QVERIFY2(server.restart(), qPrintable(server.errorString()));
        QCOMPARE(server.waitAct(token, id).value("status").toInt(), 99);
        QVERIFY(names("/").contains("重启后创建"));
    }

    void changeLog()
    {
        const QString start = QDateTime::currentDateTime().addSecs(-600).toString("yyyy-MM-dd HH:mm:ss");
        const QJsonObject r = server.call("api/v1/wp/act/ShareDiskTbLogList", {{"starttime", start}}, token);
        QCOMPARE(r.value("Code").toInt(), 0);
        const QJsonObject d = r.value("data").toObject();
        QVERIFY(QDateTime::fromString(d.value("servertime").toString(), "yyyy-MM-dd HH:mm:ss").isValid());
        QSet<int> types;
        for (const QJsonValue &v : d.value("list").toArray()) {
            const QJsonObject e = v.toObject();
            types.insert(e.value("eventtype").toInt());
            QVERIFY(!e.value("dotime").toString().isEmpty());
            const QJsonObject res = QJsonDocument::fromJson(e.value("doresult").toString().toUtf8()).object();
            QVERIFY(!res.isEmpty());
            if (e.value("eventtype").toInt() == 8)
                QVERIFY(res.value("filepath").toString().startsWith("/1001/sharedisk/"));
            else
                QVERIFY(res.value("filelist").isArray());
        }
        QVERIFY2(types == (QSet<int>{3, 4, 7, 8, 9}), qPrintable(QJsonDocument(d).toJson()));
        // Nothing after the server's own time; a start beyond 30 days is code 1.
        QVERIFY(server.call("api/v1/wp/act/ShareDiskTbLogList", {{"starttime", d.value("servertime").toString()}}, token)
                    .value("data").toObject().value("list").toArray().size() <= 1);
        QCOMPARE(server.call("api/v1/wp/act/ShareDiskTbLogList",
                             {{"starttime", QDateTime::currentDateTime().addDays(-31).toString("yyyy-MM-dd HH:mm:ss")}}, token)
                     .value("Code").toInt(), 1);
        const QJsonObject bad = server.call("api/v1/wp/act/ShareDiskTbLogList", {{"starttime", "yesterday"}}, token);
        QCOMPARE(bad.value("Code").toInt(), 2);
        QCOMPARE(bad.value("Msg").toString(), QStringLiteral("开始时间格式错误，应为 yyyy-MM-dd HH:mm:ss"));
    }
};

QTEST_GUILESS_MAIN(TstServerActs)
#include "tst_server_acts.moc"
