// Large folders seeded through the control interface, the name lookups they
// rely on, GetAllChild of a missing folder, and copies and replaces that
// would clash with or swallow their own source.
#include "testserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

class TstServerTree : public QObject
{
    Q_OBJECT
    TestServer server;
    QString token;

    QJsonObject seed(const QString &path, int files, int dirs, const QString &content = QStringLiteral("orvel\n"))
    {
        const QJsonObject body{{"path", path}, {"files", files}, {"dirs", dirs}, {"content", content}};
        const TestServer::Reply r = server.request("POST", server.rootUrl() + "__control/tree",
                                                   QJsonDocument(body).toJson(QJsonDocument::Compact),
                                                   {{"Content-Type", "application/json"}});
        return r.json;
    }
    QJsonObject run(const QVariantMap &p)
    {
        const QString id = server.call("api/v1/wp/act/add", p, token).value("data").toObject().value("evtid").toString();
        if (id.isEmpty())
            return QJsonObject();
        const QJsonObject act = server.waitAct(token, id);
        return QJsonDocument::fromJson(act.value("data").toString().toUtf8()).object();
    }
    static QJsonObject item(const QJsonObject &data, int i = 0)
    {
        return data.value("filelist").toArray().at(i).toObject();
    }
    QJsonArray list(const QString &path, QJsonObject *reply = nullptr)
    {
        const QJsonObject r = server.call("api/v1/wp/file/getlist", {{"filepath", path}}, token);
        if (reply)
            *reply = r;
        return r.value("data").toObject().value("list").toArray();
    }
    QStringList names(const QString &path)
    {
        QStringList n;
        for (const QJsonValue &v : list(path))
            n << v.toObject().value("filename").toString();
        return n;
    }
    QVariantMap copyParams(const QString &type, const QString &from, const QString &to, int totype)
    {
        const QJsonArray filelist{QJsonObject{{"filepath", from}, {"to", to}, {"toname", ""},
                                              {"totype", type == "Copy" ? QJsonValue(QString::number(totype))
                                                                        : QJsonValue(totype)}}};
        return {{"acttype", type}, {"filelist", QString::fromUtf8(QJsonDocument(filelist).toJson())}};
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        token = server.signIn("demo", "demo123");
        QVERIFY(!token.isEmpty());
    }

    void seedsALargeFolderInOneRequest()
    {
        const QJsonObject r = seed("/1001/sharedisk/大目录/二级", 2500, 12, "seeded content");
        QVERIFY2(r.value("ok").toBool(), QJsonDocument(r).toJson().constData());
        QCOMPARE(r.value("fullpath").toString(), QStringLiteral("/1001/sharedisk/大目录/二级"));
        QJsonObject reply;
        const QJsonArray items = list("/大目录/二级", &reply);
        QCOMPARE(reply.value("Code").toInt(), 0);
        QCOMPARE(items.size(), 2512);
        int dirs = 0;
        for (const QJsonValue &v : items)
            dirs += v.toObject().value("isdir").toBool() ? 1 : 0;
        QCOMPARE(dirs, 12);
        // every seeded file carries the content it was given
        const QJsonObject st = server.stat("/1001/sharedisk/大目录/二级/file0007.txt");
        QCOMPARE(st.value("sha256").toString(), TestServer::sha256Hex("seeded content"));
        QCOMPARE(qint64(st.value("size").toDouble()), qint64(14));
        // a second seed into the same folder adds beside what is there
        QVERIFY(seed("/1001/sharedisk/大目录/二级", 0, 0).value("ok").toBool());
        QCOMPARE(list("/大目录/二级").size(), 2512);
        // a path outside the school's disk is refused
        QVERIFY(!seed("/9999/other", 1, 0).value("ok").toBool());
    }

    // Listings are written straight into text (folder codes and counts read
    // in groups): every entry must be the record file/info gives for the
    // same item, for each role, in plain and search listings, and the order
    // folders first, then names regardless of case.
    void listingEntriesAreTheItemsRecords_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("search");
        for (const auto &u : {qMakePair(QStringLiteral("demo"), QStringLiteral("demo123")),
                              qMakePair(QStringLiteral("student"), QStringLiteral("student123")),
                              qMakePair(QStringLiteral("admin"), QStringLiteral("admin123"))}) {
            QTest::newRow(qPrintable(u.first + " root")) << u.first << u.second << "/" << "";
            QTest::newRow(qPrintable(u.first + " read-only folder")) << u.first << u.second << "/教务处" << "";
            QTest::newRow(qPrintable(u.first + " search")) << u.first << u.second << "/" << "通知";
        }
    }
    void listingEntriesAreTheItemsRecords()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, path);
        QFETCH(QString, search);
        static TestServer demo{[] {
            TestServer::Options o;
            o.seedDemo = true;
            return o;
        }()};
        if (!demo.isRunning())
            QVERIFY2(demo.start(), qPrintable(demo.errorString()));
        const QString tk = demo.signIn(user, password);
        QVERIFY(!tk.isEmpty());
        const QJsonObject r = demo.call("api/v1/wp/file/getlist", {{"filepath", path}, {"searchkey", search}}, tk);
        QCOMPARE(r.value("Code").toInt(), 0);
        const QJsonObject data = r.value("data").toObject();
        const QJsonArray items = data.value("list").toArray();
        QVERIFY(items.size() >= 3);
        QCOMPARE(data.value("total").toInt(), items.size());
        QCOMPARE(data.value("pagesize").toInt(), items.size());
        QCOMPARE(data.value("pageindex").toInt(), 1);
        const QJsonObject dirinfo = demo.call("api/v1/wp/file/info", {{"fileid", data.value("dirinfo").toObject().value("id").toString()}}, tk)
                                        .value("data").toObject();
        QCOMPARE(data.value("dirinfo").toObject(), dirinfo);
        bool sawDir = false, sawFile = false;
        for (int i = 0; i < items.size(); ++i) {
            const QJsonObject o = items.at(i).toObject();
            const QJsonObject info =
                demo.call("api/v1/wp/file/info", {{"fileid", o.value("id").toString()}}, tk).value("data").toObject();
            QCOMPARE(o, info);
            sawDir = sawDir || o.value("isdir").toBool();
            sawFile = sawFile || !o.value("isdir").toBool();
            if (!search.isEmpty())
                QVERIFY(o.value("filename").toString().contains(search, Qt::CaseInsensitive));
            if (i == 0)
                continue;
            const QJsonObject prev = items.at(i - 1).toObject();
            if (prev.value("isdir").toBool() == o.value("isdir").toBool())
                QVERIFY2(prev.value("filename").toString().compare(o.value("filename").toString(), Qt::CaseInsensitive) <= 0,
                         qPrintable(o.value("filename").toString()));
            else
                QVERIFY(prev.value("isdir").toBool());
        }
        // folders with their counts and files with their codes, everywhere
        QVERIFY(sawDir);
        QVERIFY(sawFile || path == "/");
    }

    void nameLookupsIgnoreCaseInLargeFolders()
    {
        QVERIFY(seed("/1001/sharedisk/查找", 3000, 0).value("ok").toBool());
        // a folder named like an existing file (in other case) clashes
        QJsonObject d = run({{"acttype", "AddDir"}, {"filepath", "/1001/sharedisk/查找"}, {"dirname", "FILE2999.TXT"}});
        QCOMPARE(item(d).value("code").toInt(), 5);
        // folders below are created once, then found
        const QString dirs = QString::fromUtf8(QJsonDocument(QJsonArray{"新建/a", "新建/A/b", "新建/a/B"}).toJson());
        d = run({{"acttype", "AddDirs"}, {"filepath", "/1001/sharedisk/查找"}, {"dirs", dirs}});
        for (int i = 0; i < 3; ++i)
            QCOMPARE(item(d, i).value("code").toInt(), 0);
        QCOMPARE(names("/查找/新建"), QStringList{"a"});
        QCOMPARE(names("/查找/新建/a"), QStringList{"b"});
        // keep both finds the first free name among thousands
        d = run(copyParams("Copy", "/1001/sharedisk/查找/file0001.txt", "/1001/sharedisk/查找", 2));
        QCOMPARE(item(d).value("code").toInt(), 0);
        QCOMPARE(item(d).value("toname").toString(), QStringLiteral("file0001(1).txt"));
    }

    void getAllChildOfMissingFolderIsAnError()
    {
        QVERIFY(seed("/1001/sharedisk/全部/子", 3, 0).value("ok").toBool());
        QJsonObject r = server.call("api/v1/wp/file/GetAllChild", {{"filepath", "/1001/sharedisk/全部/不存在"}, {"filetype", "0"}}, token);
        QVERIFY(r.value("Code").toInt() != 0);
        QVERIFY(r.value("data").toObject().value("list").toArray().isEmpty());
        r = server.call("api/v1/wp/file/GetAllChild", {{"filepath", "/1001/sharedisk/全部"}, {"filetype", "0"}}, token);
        QCOMPARE(r.value("Code").toInt(), 0);
        QCOMPARE(r.value("data").toObject().value("list").toArray().size(), 3);
        // an empty path still means the whole disk
        r = server.call("api/v1/wp/file/GetAllChild", {{"filepath", ""}, {"filetype", "0"}}, token);
        QCOMPARE(r.value("Code").toInt(), 0);
        QVERIFY(r.value("data").toObject().value("list").toArray().size() >= 3);
    }

    void copyOntoItself_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("totype");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("copy, report clash") << "Copy" << 0 << 5 << QStringList{"a.txt"};
        QTest::newRow("copy, replace itself") << "Copy" << 1 << 5 << QStringList{"a.txt"};
        QTest::newRow("copy, keep both") << "Copy" << 2 << 0 << QStringList{"a(1).txt", "a.txt"};
        QTest::newRow("move onto itself") << "Move" << 0 << 0 << QStringList{"a.txt"};
    }
    void copyOntoItself()
    {
        QFETCH(QString, type);
        QFETCH(int, totype);
        QFETCH(int, code);
        QFETCH(QStringList, after);
        const QString folder = QStringLiteral("/1001/sharedisk/自身%1%2").arg(type).arg(totype);
        run({{"acttype", "AddDir"}, {"filepath", "/1001/sharedisk"}, {"dirname", folder.section('/', -1)}});
        QVERIFY(!server.uploadFile(token, folder, "a.txt", "alpha").isEmpty());
        const QJsonObject d = run(copyParams(type, folder + "/a.txt", folder, totype));
        QCOMPARE(item(d).value("code").toInt(), code);
        QStringList n = names(folder);
        n.sort();
        QCOMPARE(n, after);
        // nothing went to the recycle bin
        const QJsonArray bin = server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", "a.txt"}}, token)
                                   .value("data").toArray();
        for (const QJsonValue &v : bin)
            QVERIFY(!v.toObject().value("fullpath").toString().startsWith(folder));
        if (after.contains("a(1).txt"))
            QCOMPARE(server.stat(folder + "/a(1).txt").value("sha256").toString(), TestServer::sha256Hex("alpha"));
    }

    void replaceByFolderHoldingTheSourceIsRefused_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("move") << "Move";
        QTest::newRow("copy") << "Copy";
    }
    void replaceByFolderHoldingTheSourceIsRefused()
    {
        QFETCH(QString, type);
        // /包含T/x/x: moving or copying the inner x up with replace would put
        // the outer x (and with it the source) into the recycle bin
        const QString base = "/1001/sharedisk/包含" + type;
        const QString dirs = QString::fromUtf8(QJsonDocument(QJsonArray{base.section('/', -1) + "/x/x"}).toJson());
        QJsonObject d = run({{"acttype", "AddDirs"}, {"filepath", "/1001/sharedisk"}, {"dirs", dirs}});
        QCOMPARE(item(d).value("code").toInt(), 0);
        QVERIFY(!server.uploadFile(token, base + "/x/x", "keep.txt", "kept").isEmpty());
        d = run(copyParams(type, base + "/x/x", base, 1));
        QCOMPARE(item(d).value("code").toInt(), 6);
        QCOMPARE(names(base), QStringList{"x"});
        QCOMPARE(names(base + "/x"), QStringList{"x"});
        QCOMPARE(server.stat(base + "/x/x/keep.txt").value("sha256").toString(), TestServer::sha256Hex("kept"));
    }
};

QTEST_GUILESS_MAIN(TstServerTree)
#include "tst_server_tree.moc"
