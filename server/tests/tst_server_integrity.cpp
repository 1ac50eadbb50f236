// Things that must hold whatever the client sends: reply text the client's
// clean-up cannot corrupt, one blob per content, uploads whose folder
// vanished, restores without a place to go, and acts kept per school.
#include "testserver.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TstServerIntegrity : public QObject
{
    Q_OBJECT
    TestServer server{options()};
    QString token;

    static TestServer::Options options()
    {
        TestServer::Options o;
        o.actDelayMs = 20;
        return o;
    }
    QJsonObject runAct(const QVariantMap &p, const QString &tk = QString())
    {
        const QString t = tk.isEmpty() ? token : tk;
        const QString id = server.call("api/v1/wp/act/add", p, t).value("data").toObject().value("evtid").toString();
        return QJsonDocument::fromJson(server.waitAct(t, id).value("data").toString().toUtf8()).object();
    }
    int blobCount() const
    {
        int n = 0;
        QDirIterator it(server.dataDir() + "/blobs", QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++n;
        }
        return n;
    }
    // What the client does to reply text before it parses it.
    static QJsonObject clientParse(QByteArray body)
    {
        QString t = QString::fromUtf8(body);
        t.remove(QStringLiteral("//"));
        t.replace(QStringLiteral("\"["), QStringLiteral("["));
        t.replace(QStringLiteral("]\""), QStringLiteral("]"));
        return QJsonDocument::fromJson(t.toUtf8()).object();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        token = server.signIn("demo", "demo123");
        QVERIFY(!token.isEmpty());
    }

    void replyTextSurvivesClientCleanup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("leading bracket") << QStringLiteral("[通知]期中安排.txt");
        QTest::newRow("trailing bracket") << QStringLiteral("报告[1]");
        QTest::newRow("quotes and backslash") << QStringLiteral("a'b c=d&e#f%g+h.txt");
        QTest::newRow("url-like") << QStringLiteral("http：网址.txt");
        QTest::newRow("emoji") << QStringLiteral("🎉庆典.txt");
    }
    void replyTextSurvivesClientCleanup()
    {
        QFETCH(QString, name);
        QString err;
        const QString id = server.uploadFile(token, "/", name, "x", 2, &err);
        QVERIFY2(!id.isEmpty(), qPrintable(err));
        const TestServer::Reply r = server.request("POST", server.apiUrl() + "v1/wp/file/info",
                                                   "fileid=" + id.toUtf8(), {{"Authorization", "Bearer " + token.toUtf8()}});
        const QJsonObject parsed = clientParse(r.body);
        QCOMPARE(parsed.value("Code").toInt(-99), 0);
        QCOMPARE(parsed.value("data").toObject().value("filename").toString(), name);
        QCOMPARE(parsed.value("data").toObject().value("fullpath").toString(), "/1001/sharedisk/" + name);
        // Act records carry JSON text inside JSON: it must survive too.
        const QJsonObject d = runAct({{"acttype", "ReName"}, {"filelist", QJsonArray{QJsonObject{{"filepath", "/1001/sharedisk/" + name}, {"newname", name + "]"}}}}});
        QCOMPARE(d.value("filelist").toArray().first().toObject().value("code").toInt(), 0);
        const TestServer::Reply log = server.request("POST", server.apiUrl() + "v1/wp/act/ShareDiskTbLogList",
                                                     "starttime=2000-01-01%2000%3A00%3A00", {{"Authorization", "Bearer " + token.toUtf8()}});
        QCOMPARE(clientParse(log.body).value("Code").toInt(), 1); // more than 30 days back
        const QString start = QDateTime::currentDateTime().addSecs(-60).toString("yyyy-MM-dd HH:mm:ss");
        const TestServer::Reply log2 = server.request("POST", server.apiUrl() + "v1/wp/act/ShareDiskTbLogList",
                                                      "starttime=" + QUrl::toPercentEncoding(start),
                                                      {{"Authorization", "Bearer " + token.toUtf8()}});
        const QJsonArray entries = clientParse(log2.body).value("data").toObject().value("list").toArray();
        QVERIFY(!entries.isEmpty());
        const QJsonObject last = QJsonDocument::fromJson(entries.last().toObject().value("doresult").toString().toUtf8()).object();
        QCOMPARE(last.value("filelist").toArray().first().toObject().value("newname").toString(), name + "]");
    }

    void oneBlobPerContent()
    {
        const int before = blobCount();
        QString err;
        const QByteArray content(200000, 'q');
        QVERIFY(!server.uploadFile(token, "/", "dup1.bin", content, 0, &err).isEmpty());
        QVERIFY(!server.uploadFile(token, "/", "dup2.bin", content, 0, &err).isEmpty());
        QCOMPARE(runAct({{"acttype", "Copy"}, {"filelist", QJsonArray{QJsonObject{{"filepath", "/1001/sharedisk/dup1.bin"}, {"to", "/"}, {"toname", "dup3.bin"}, {"totype", "0"}}}}})
                     .value("filelist").toArray().first().toObject().value("code").toInt(), 0);
        QCOMPARE(blobCount(), before + 1);
        QCOMPARE(server.stat("/1001/sharedisk/dup3.bin").value("sha256").toString(), TestServer::sha256Hex(content));
        // The blob stays while any file still uses it.
        for (const char *n : {"dup1.bin", "dup2.bin"}) {
            runAct({{"acttype", "Remove"}, {"filelist", QJsonArray{QStringLiteral("/1001/sharedisk/") + n}}});
        }
        const QJsonArray bin = server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", "dup"}}, token).value("data").toArray();
        QJsonArray ids;
        for (const QJsonValue &v : bin)
            ids.append(v.toObject().value("id").toString());
        runAct({{"acttype", "Del"}, {"filelist", ids}});
        QCOMPARE(blobCount(), before + 1);
        QCOMPARE(server.request("GET", server.rootUrl() + "web/download/file?fileid=" + server.stat("/1001/sharedisk/dup3.bin").value("id").toString() + "&tk=" + token).body, content);
    }

    void folderRemovedDuringUpload()
    {
        runAct({{"acttype", "AddDir"}, {"filepath", "/"}, {"dirname", "将被删除"}});
        const QJsonObject link = server.call("api/v1/wp/act/GetUploadLink",
                                             {{"filepath", "/1001/sharedisk/将被删除"}, {"filename", "late.txt"}, {"filesize", "4"}, {"uptype", "0"}}, token);
        QCOMPARE(link.value("Code").toInt(), 0);
        const QJsonObject d = link.value("data").toObject();
        runAct({{"acttype", "Remove"}, {"filelist", QJsonArray{"/1001/sharedisk/将被删除"}}});
        const TestServer::Reply r = server.postBlock(d.value("upserver").toString(), token, d.value("evtid").toString(),
                                                     TestServer::sha256Hex("late"), 1, 0, 5242880, "late");
        QCOMPARE(r.status, 200);
        QCOMPARE(r.json.value("Code").toInt(), 1);
        QCOMPARE(r.json.value("Msg").toString(), QStringLiteral("目标文件夹已被删除"));
        const QJsonObject act = server.waitAct(token, d.value("evtid").toString());
        const QJsonObject result = QJsonDocument::fromJson(act.value("result").toString().toUtf8()).object();
        QCOMPARE(result.value("code").toInt(), 1);
        QCOMPARE(result.value("msg").toString(), QStringLiteral("目标文件夹已被删除"));
        QVERIFY(server.stat("/1001/sharedisk/将被删除/late.txt").isEmpty());
    }

    void restoreNeedsItsFolder()
    {
        runAct({{"acttype", "AddDirs"}, {"filepath", "/"}, {"dirs", QJsonArray{"外层/内层"}}});
        QString err;
        QVERIFY(!server.uploadFile(token, "/1001/sharedisk/外层/内层", "f.txt", "f", 0, &err).isEmpty());
        runAct({{"acttype", "Remove"}, {"filelist", QJsonArray{"/1001/sharedisk/外层/内层/f.txt"}}});
        runAct({{"acttype", "Remove"}, {"filelist", QJsonArray{"/1001/sharedisk/外层"}}});
        QString fileEntry, dirEntry;
        for (const QJsonValue &v : server.call("api/v1/wp/file/getrecyclelist", {{"searchkey", ""}}, token).value("data").toArray()) {
            if (v.toObject().value("filename").toString() == "f.txt")
                fileEntry = v.toObject().value("id").toString();
            if (v.toObject().value("filename").toString() == "外层")
                dirEntry = v.toObject().value("id").toString();
        }
        QVERIFY(!fileEntry.isEmpty() && !dirEntry.isEmpty());
        QCOMPARE(runAct({{"acttype", "Reduction"}, {"filelist", QJsonArray{QJsonObject{{"id", fileEntry}, {"totype", "0"}}}}})
                     .value("filelist").toArray().first().toObject().value("code").toInt(), 2);
        QCOMPARE(runAct({{"acttype", "Reduction"}, {"filelist", QJsonArray{QJsonObject{{"id", dirEntry}, {"totype", "0"}}}}})
                     .value("filelist").toArray().first().toObject().value("code").toInt(), 0);
        // The file deleted on its own stays in the bin until restored itself.
        QVERIFY(server.stat("/1001/sharedisk/外层/内层/f.txt").isEmpty());
        QCOMPARE(runAct({{"acttype", "Reduction"}, {"filelist", QJsonArray{QJsonObject{{"id", fileEntry}, {"totype", "0"}}}}})
                     .value("filelist").toArray().first().toObject().value("code").toInt(), 0);
        QCOMPARE(server.stat("/1001/sharedisk/外层/内层/f.txt").value("sha256").toString(), TestServer::sha256Hex("f"));
    }

    void actsStayInTheirSchool()
    {
        const QString other = server.signIn("teacher", "teacher123", 1002);
        const QString id = server.call("api/v1/wp/act/add", {{"acttype", "AddDir"}, {"filepath", "/"}, {"dirname", "二中文件夹"}}, other)
                               .value("data").toObject().value("evtid").toString();
        QVERIFY(!id.isEmpty());
        QVERIFY(server.call("api/v1/wp/act/GetActStatus", {{"ids", id}}, token).value("Msg").toArray().isEmpty());
        QCOMPARE(server.waitAct(other, id).value("status").toInt(), 99);
        QCOMPARE(server.call("api/v1/wp/file/getlist", {{"filepath", "/"}}, other).value("data").toObject()
                     .value("list").toArray().first().toObject().value("filename").toString(), QStringLiteral("二中文件夹"));
        // Paths naming the other school are refused, not mapped.
        QCOMPARE(runAct({{"acttype", "Remove"}, {"filelist", QJsonArray{"/1002/sharedisk/二中文件夹"}}})
                     .value("filelist").toArray().first().toObject().value("code").toInt(), 2);
    }

    // A test process that dies (crash, abort, SIGKILL) must not leave its
    // server running: ctest would wait on the server's open output.
    void serverEndsWithItsParent()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess parent;
        const QString out = dir.path() + QStringLiteral("/out.txt");
        parent.start(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("\"$0\" --listen 127.0.0.1:0 --data \"$1\" --quiet --exit-with-parent "
                                     "</dev/null >\"$2\" 2>&1 & echo $!; wait"),
                      TestServer::serverBinary(), dir.path() + QStringLiteral("/data"), out});
        QVERIFY(parent.waitForReadyRead(60000));
        const qint64 pid = parent.readLine().trimmed().toLongLong();
        QVERIFY(pid > 0);
        // Started up to the end (the data folder appears long before): a
        // server still seeding its store would end only after seeding.
        const auto listening = [&out] {
            QFile f(out);
            return f.open(QIODevice::ReadOnly) && f.readAll().contains("listening on");
        };
        QTRY_VERIFY_WITH_TIMEOUT(listening(), 60000);
        const auto alive = [pid] {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                return false;
            const QByteArray text = stat.readAll();
            const int paren = text.lastIndexOf(')');
            return paren > 0 && text.mid(paren + 2, 1) != "Z"; // an unreaped exit counts as gone
        };
        QVERIFY(alive());
        parent.kill();
        QVERIFY(parent.waitForFinished(60000));
        QTRY_VERIFY_WITH_TIMEOUT(!alive(), 60000);
    }
};

QTEST_GUILESS_MAIN(TstServerIntegrity)
#include "tst_server_integrity.moc"
