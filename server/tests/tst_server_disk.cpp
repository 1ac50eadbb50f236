// The demo disk: listings, search, permissions by user and role, details,
// favourites, visits, templates, and a hundred concurrent requests.
#include "testserver.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include <memory>

class TstServerDisk : public QObject
{
    Q_OBJECT
    TestServer server{options()};
    QString demo, admin, student, teacher;

    static TestServer::Options options()
    {
        TestServer::Options o;
        o.seedDemo = true;
        o.actDelayMs = 20;
        return o;
    }
    QJsonObject listing(const QString &token, const QString &path, const QString &key = QString(), int filetype = 0)
    {
        return server.call("api/v1/wp/file/getlist",
                           {{"filepath", path}, {"searchkey", key}, {"visitlog", "0"}, {"filetype", QString::number(filetype)}}, token);
    }
    QJsonObject item(const QString &token, const QString &folder, const QString &name)
    {
        for (const QJsonValue &v : listing(token, folder).value("data").toObject().value("list").toArray()) {
            if (v.toObject().value("filename").toString() == name)
                return v.toObject();
        }
        return QJsonObject();
    }
    int actItemCode(const QString &token, const QVariantMap &p)
    {
        const QString id = server.call("api/v1/wp/act/add", p, token).value("data").toObject().value("evtid").toString();
        const QJsonObject act = server.waitAct(token, id);
        const QJsonObject d = QJsonDocument::fromJson(act.value("data").toString().toUtf8()).object();
        return d.value("filelist").toArray().first().toObject().value("code").toInt(-99);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        demo = server.signIn("demo", "demo123");
        admin = server.signIn("admin", "admin123");
        student = server.signIn("student", "student123");
        teacher = server.signIn("teacher", "teacher123", 1001);
        QVERIFY(!demo.isEmpty() && !admin.isEmpty() && !student.isEmpty() && !teacher.isEmpty());
    }

    void rootListing()
    {
        const QJsonObject r = listing(demo, "/");
        QCOMPARE(r.value("Code").toInt(), 0);
        const QJsonObject d = r.value("data").toObject();
        QCOMPARE(d.value("dirinfo").toObject().value("fullpath").toString(), QStringLiteral("/1001/sharedisk"));
        QStringList names;
        bool foldersFirst = true, seenFile = false;
        for (const QJsonValue &v : d.value("list").toArray()) {
            const QJsonObject o = v.toObject();
            names << o.value("filename").toString();
            foldersFirst = foldersFirst && !(seenFile && o.value("isdir").toBool());
            seenFile = seenFile || !o.value("isdir").toBool();
            for (const char *key : {"id", "filename", "fileext", "fullpath", "bankuai", "filesize", "isdir", "createtime",
                                    "createuserid", "createusername", "filetype", "isadmin", "permissioncode", "updatetime",
                                    "updateuserid", "updateusername", "filecategory", "md5", "dirnum", "filenum", "islast"})
                QVERIFY2(o.contains(QLatin1String(key)), key);
        }
        QVERIFY(foldersFirst);
        for (const char *n : {"教学资源", "图片素材", "教务处", "共享文档", "音视频", "常用软件", "学生作品"})
            QVERIFY2(names.contains(QString::fromUtf8(n)), n);
        QVERIFY(!names.contains("行政办公")); // teachers do not see the administration folder
        QVERIFY(item(admin, "/", "行政办公").value("isadmin").toBool());
        // The same folder through the client's normalised (lower-case, trailing slash) path.
        QCOMPARE(listing(demo, "/1001/sharedisk/图片素材/").value("data").toObject().value("list").toArray().size(), 2);
    }

    void permissions_data()
    {
        QTest::addColumn<QString>("who");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("code");
        QTest::newRow("teacher in resources") << "demo" << "/" << "教学资源" << "111111111";
        QTest::newRow("teacher in notices") << "demo" << "/教务处" << "通知公告" << "100100001";
        QTest::newRow("student in resources") << "student" << "/" << "教学资源" << "100100001";
        QTest::newRow("student hands work in") << "student" << "/" << "学生作品" << "100110011";
        QTest::newRow("admin everywhere") << "admin" << "/教务处" << "通知公告" << "111111111";
        QTest::newRow("file inherits folder") << "demo" << "/教务处/通知公告" << "2026年第1号通知.docx" << "100100001";
    }
    void permissions()
    {
        QFETCH(QString, who);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, code);
        const QString token = who == "demo" ? demo : who == "admin" ? admin : student;
        QCOMPARE(item(token, folder, name).value("permissioncode").toString(), code);
    }

    void permissionsAreEnforced()
    {
        // Student: no upload, no delete, no rename, no move; copy and upload where allowed.
        auto link = [&](const QString &token, const QString &folder) {
            return server.call("api/v1/wp/act/GetUploadLink",
                               {{"filepath", folder}, {"filename", "hw.txt"}, {"filesize", "3"}, {"uptype", "0"}}, token)
                .value("Code").toInt();
        };
        QCOMPARE(link(student, "/教学资源"), 1);
        QCOMPARE(link(student, "/学生作品"), 0);
        QCOMPARE(actItemCode(student, {{"acttype", "Remove"}, {"filelist", QJsonArray{"/1001/sharedisk/共享文档/教研记录01.txt"}}}), 3);
        QCOMPARE(actItemCode(student, {{"acttype", "ReName"}, {"filelist", QJsonArray{QJsonObject{{"filepath", "/1001/sharedisk/共享文档/教研记录01.txt"}, {"newname", "x.txt"}}}}}), 3);
        QCOMPARE(actItemCode(student, {{"acttype", "Move"}, {"filelist", QJsonArray{QJsonObject{{"filepath", "/1001/sharedisk/共享文档/教研记录01.txt"}, {"to", "/1001/sharedisk/学生作品"}, {"totype", "0"}}}}}), 3);
        QCOMPARE(actItemCode(student, {{"acttype", "Copy"}, {"filelist", QJsonArray{QJsonObject{{"filepath", "/1001/sharedisk/共享文档/教研记录01.txt"}, {"to", "/1001/sharedisk/学生作品"}, {"totype", "0"}}}}}), 0);
        // Teacher: the notices folder is read-only, the hidden folder does not exist for them.
        QCOMPARE(actItemCode(demo, {{"acttype", "Remove"}, {"filelist", QJsonArray{"/1001/sharedisk/教务处/通知公告/2026年第2号通知.docx"}}}), 3);
        QCOMPARE(listing(demo, "/行政办公").value("Code").toInt(), 1);
        QCOMPARE(actItemCode(admin, {{"acttype", "Remove"}, {"filelist", QJsonArray{"/1001/sharedisk/教务处/通知公告/2026年第2号通知.docx"}}}), 0);
        // Another school's disk is out of reach.
        QCOMPARE(listing(demo, "/1002/sharedisk").value("Code").toInt(), 1);
        QCOMPARE(listing(teacher, "/1002/sharedisk").value("Code").toInt(), 1);
    }

    void rightsHolders()
    {
        const QString id = item(demo, "/教务处", "通知公告").value("id").toString();
        const QJsonArray holders = server.call("api/v1/wp/qx/GetDirQx", {{"fileid", id}}, demo).value("data").toArray();
        QVERIFY(!holders.isEmpty());
        const QJsonObject h = holders.first().toObject();
        QCOMPARE(h.value("qxuname").toString(), QStringLiteral("教师"));
        QCOMPARE(h.value("qxutype").toInt(), 2);
        QCOMPARE(h.value("permissioncode").toString(), QStringLiteral("100100001"));
    }

    void searchAndFilter()
    {
        const QJsonArray hits = listing(demo, "/", "教案").value("data").toObject().value("list").toArray();
        QVERIFY(hits.size() >= 40);
        for (const QJsonValue &v : hits)
            QVERIFY(v.toObject().value("filename").toString().contains("教案"));
        const QJsonArray images = listing(demo, "/图片素材/校园风光", QString(), 3).value("data").toObject().value("list").toArray();
        QCOMPARE(images.size(), 24);
        for (const QJsonValue &v : images)
            QCOMPARE(v.toObject().value("filecategory").toInt(), 3);
        QVERIFY(listing(demo, "/图片素材/校园风光", QString(), 4).value("data").toObject().value("list").toArray().isEmpty());
    }

    void details()
    {
        const QJsonObject f = item(demo, "/共享文档", "名单.csv");
        QVERIFY(!f.isEmpty());
        const QJsonObject byId = server.call("api/v1/wp/file/info", {{"fileid", f.value("id").toString()}}, demo).value("data").toObject();
        const QJsonObject byPath = server.call("api/v1/wp/file/infobypath", {{"filepath", "/1001/sharedisk/共享文档/名单.csv"}}, demo).value("data").toObject();
        QCOMPARE(byId.value("id").toString(), f.value("id").toString());
        QCOMPARE(byPath.value("id").toString(), f.value("id").toString());
        QCOMPARE(byId.value("md5").toString(), server.stat("/1001/sharedisk/共享文档/名单.csv").value("sha256").toString());
        QCOMPARE(byId.value("updateusename").toString(), byId.value("updateusername").toString());
        QCOMPARE(server.call("api/v1/wp/file/info", {{"fileid", "abc"}}, demo).value("Msg").toString(), QStringLiteral("文件编号无效"));
        QCOMPARE(server.call("api/v1/wp/file/info", {{"fileid", "99999999"}}, demo).value("Msg").toString(), QStringLiteral("文件不存在"));

        const QJsonArray all = server.call("api/v1/wp/file/GetAllChild", {{"filepath", "/1001/sharedisk/图片素材"}, {"filetype", "0"}}, demo)
                                   .value("data").toObject().value("list").toArray();
        QCOMPARE(all.size(), 40);
        for (const QJsonValue &v : all)
            QVERIFY(!v.toObject().value("isdir").toBool());
        const QJsonArray everything = server.call("api/v1/wp/file/GetAllChild", {{"filepath", "1001/sharedisk"}, {"filetype", "0"}}, demo)
                                          .value("data").toObject().value("list").toArray();
        QVERIFY(everything.size() >= 200);
    }

    void favouritesVisitsBin()
    {
        QJsonArray favs = server.call("api/v1/wp/favourite/list", {}, demo, false).value("data").toArray();
        QVERIFY(favs.size() >= 3);
        const QString fileId = item(demo, "/共享文档", "README.md").value("id").toString();
        QCOMPARE(server.call("api/v1/wp/favourite/add", {{"filelist", QJsonArray{fileId}}}, demo).value("Code").toInt(), 0);
        favs = server.call("api/v1/wp/favourite/list", {}, demo, false).value("data").toArray();
        bool found = false;
        for (const QJsonValue &v : favs)
            found = found || v.toObject().value("fileid").toString() == fileId;
        QVERIFY(found);
        QCOMPARE(server.call("api/v1/wp/favourite/del", {{"filelist", QJsonArray{fileId}}}, demo).value("Code").toInt(), 0);
        QCOMPARE(server.call("api/v1/wp/favourite/list", {}, demo, false).value("data").toArray().size(), favs.size() - 1);
        QVERIFY(server.call("api/v1/wp/favourite/list", {}, student, false).value("data").toArray().isEmpty());

        QVERIFY(!server.call("api/v1/wp/visit/list", {}, demo).value("data").toObject().value("list").toArray().isEmpty());
        const QJsonArray bin = server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", ""}}, demo).value("data").toArray();
        QVERIFY(bin.size() >= 6);
        QVERIFY(server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", ""}}, student).value("data").toArray().isEmpty());
    }

    void templates()
    {
        const QJsonArray list = server.call("api/v1/wp/tmpdir/GetList", {{"pagesize", "9999"}, {"pageindex", "1"}}, demo)
                                    .value("data").toObject().value("list").toArray();
        QCOMPARE(list.size(), 2);
        const QString id = list.first().toObject().value("id").toString();
        const QJsonObject info = server.call("api/v1/wp/tmpdir/getinfo", {{"id", id}}, demo).value("data").toObject();
        QVERIFY(info.value("dirs").isString()); // a JSON text, not an array
        const QJsonArray tree = QJsonDocument::fromJson(info.value("dirs").toString().toUtf8()).array();
        QCOMPARE(tree.first().toObject().value("Name").toString(), QStringLiteral("教案"));
        QCOMPARE(actItemCode(demo, {{"acttype", "AddTmpDir"}, {"filepath", "/1001/sharedisk/共享文档"}, {"dirname", "2027春季学期"}, {"fileid", id}}), 0);
        QVERIFY(!item(demo, "/共享文档/2027春季学期/教案", "第二单元").isEmpty());
        QVERIFY(!item(demo, "/共享文档/2027春季学期/作业与试卷", "单元测试").isEmpty());
    }

    void hundredConcurrentRequests()
    {
        std::vector<std::unique_ptr<QNetworkAccessManager>> nams;
        QList<QNetworkReply *> replies;
        int done = 0;
        // Six connections per manager and host: 17 managers keep 100 requests in flight at once.
        for (int i = 0; i < 17; ++i)
            nams.emplace_back(new QNetworkAccessManager);
        for (int i = 0; i < 100; ++i) {
            QNetworkRequest req(QUrl(server.apiUrl() + "v1/wp/file/getlist"));
            req.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
            req.setRawHeader("Authorization", "Bearer " + demo.toUtf8());
            QNetworkReply *r = nams[size_t(i % 17)]->post(req, "filepath=%2F1001%2Fsharedisk%2F%E5%9B%BE%E7%89%87%E7%B4%A0%E6%9D%90%2F%E6%A0%A1%E5%9B%AD%E9%A3%8E%E5%85%89&");
            connect(r, &QNetworkReply::finished, this, [&done] { ++done; });
            replies.append(r);
        }
        QTRY_COMPARE_WITH_TIMEOUT(done, 100, 30000);
        for (QNetworkReply *r : replies) {
            const QJsonObject o = QJsonDocument::fromJson(r->readAll()).object();
            QCOMPARE(o.value("Code").toInt(), 0);
            QCOMPARE(o.value("data").toObject().value("list").toArray().size(), 24);
            delete r;
        }
    }
};

QTEST_GUILESS_MAIN(TstServerDisk)
#include "tst_server_disk.moc"
