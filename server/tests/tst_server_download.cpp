// Downloads with byte ranges, the update description and its files, and
// the preview pages.
#include "testserver.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QtTest>

class TstServerDownload : public QObject
{
    Q_OBJECT
    TestServer server;
    QString token;
    QString fileId;
    QByteArray data;
    const QString name = QStringLiteral("期末 试卷(A).pdf");

    QString url(const QString &id, const QString &tk) const
    {
        return server.rootUrl() + "web/download/file?fileid=" + id + "&tk=" + tk;
    }
    TestServer::Reply get(const QByteArray &range)
    {
        QList<QPair<QByteArray, QByteArray>> h;
        if (!range.isEmpty())
            h.append({"Range", range});
        return server.request("GET", url(fileId, token), QByteArray(), h);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        token = server.signIn("demo", "demo123");
        data.resize(25 * 1024 * 1024 + 12345);
        QRandomGenerator g(7);
        for (int i = 0; i < data.size(); i += 4) {
            const quint32 v = g.generate();
            memcpy(data.data() + i, &v, qMin(4, data.size() - i));
        }
        QString err;
        fileId = server.uploadFile(token, "/", name, data, 0, &err);
        QVERIFY2(!fileId.isEmpty(), qPrintable(err));
    }

    void downloadLink()
    {
        const QJsonObject r = server.call("api/v1/wp/act/GetDownLoadLink", {}, token);
        QCOMPARE(r.value("Code").toInt(), 0);
        QCOMPARE(r.value("Msg").toObject().value("upserver").toString() + "/", server.rootUrl());
    }

    void whole()
    {
        const TestServer::Reply r = get(QByteArray());
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body.size(), data.size());
        QCOMPARE(TestServer::sha256Hex(r.body), TestServer::sha256Hex(data));
        QCOMPARE(QString::fromUtf8(r.headers.value("Content-Disposition")), "attachment;filename=" + name);
        QCOMPARE(r.headers.value("Accept-Ranges"), QByteArray("bytes"));
    }

    void ranges_data()
    {
        const qint64 size = data.size();
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::newRow("probe 0-1") << QByteArray("bytes=0-1") << qint64(0) << qint64(1);
        QTest::newRow("first segment") << QByteArray("bytes=0-10485760") << qint64(0) << qint64(10485760);
        QTest::newRow("middle segment") << QByteArray("bytes=10485761-20971520") << qint64(10485761) << qint64(20971520);
        QTest::newRow("open last segment") << QByteArray("bytes=20971521-") << qint64(20971521) << size - 1;
        QTest::newRow("resume mid-way") << QByteArray("bytes=15000000-20971520") << qint64(15000000) << qint64(20971520);
        QTest::newRow("single byte") << QByteArray("bytes=12345-12345") << qint64(12345) << qint64(12345);
        QTest::newRow("suffix") << QByteArray("bytes=-100") << size - 100 << size - 1;
        QTest::newRow("end past the file") << QByteArray("bytes=100-999999999") << qint64(100) << size - 1;
        QTest::newRow("last byte") << ("bytes=" + QByteArray::number(size - 1) + "-") << size - 1 << size - 1;
    }
    void ranges()
    {
        QFETCH(QByteArray, range);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        const TestServer::Reply r = get(range);
        QCOMPARE(r.status, 206);
        QCOMPARE(QString::fromLatin1(r.headers.value("Content-Range")),
                 QStringLiteral("bytes %1-%2/%3").arg(from).arg(to).arg(data.size()));
        QCOMPARE(qint64(r.body.size()), to - from + 1);
        QVERIFY(r.body == data.mid(int(from), int(to - from + 1)));
    }

    void unsatisfiable_data()
    {
        QTest::addColumn<QByteArray>("range");
        QTest::newRow("start at size") << ("bytes=" + QByteArray::number(data.size()) + "-");
        QTest::newRow("start past size") << ("bytes=" + QByteArray::number(data.size() + 10) + "-" + QByteArray::number(data.size() + 20));
        QTest::newRow("reversed") << QByteArray("bytes=20-10");
        QTest::newRow("no numbers") << QByteArray("bytes=-");
        QTest::newRow("garbage") << QByteArray("bytes=abc-def");
    }
    void unsatisfiable()
    {
        QFETCH(QByteArray, range);
        const TestServer::Reply r = get(range);
        QCOMPARE(r.status, 416);
        QCOMPARE(r.headers.value("Content-Range"), "bytes */" + QByteArray::number(data.size()));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("goodToken");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("msg");
        QTest::newRow("bad token") << QString() << false << 403 << -1 << QStringLiteral("登录已失效，请重新登录");
        QTest::newRow("unknown file") << QStringLiteral("999999") << true << 404 << 1 << QStringLiteral("文件不存在");
        QTest::newRow("not a number") << QStringLiteral("../../etc/passwd") << true << 404 << 1 << QStringLiteral("文件不存在");
        QTest::newRow("folder") << QStringLiteral("1") << true << 404 << 1 << QStringLiteral("文件不存在");
    }
    void refused()
    {
        QFETCH(QString, id);
        QFETCH(bool, goodToken);
        QFETCH(int, status);
        QFETCH(int, code);
        QFETCH(QString, msg);
        const TestServer::Reply r = server.request("GET", url(id.isEmpty() ? fileId : id, goodToken ? token : "nope"));
        QCOMPARE(r.status, status);
        QCOMPARE(r.json.value("Code").toInt(), code);
        QCOMPARE(r.json.value("Msg").toString(), msg);
    }

    void otherSchoolCannotDownload()
    {
        const QString other = server.signIn("teacher", "teacher123", 1002);
        QCOMPARE(server.request("GET", url(fileId, other)).status, 404);
    }

    void visitsAreRecorded()
    {
        const QJsonArray list = server.call("api/v1/wp/visit/list", {}, token).value("data").toObject().value("list").toArray();
        QVERIFY(!list.isEmpty());
        QCOMPARE(list.first().toObject().value("fileid").toString(), fileId);
        QCOMPARE(list.first().toObject().value("filename").toString(), name);
    }

    void updateDescription()
    {
        // Without a description the running version is published.
        TestServer::Reply r = server.request("GET", server.clientUrl() + "update.json");
        QCOMPARE(r.status, 200);
        QCOMPARE(r.json.value("version").toString(), QStringLiteral(ORVEL_VERSION));
        QVERIFY(r.json.value("files").isArray());

        QDir().mkpath(server.dataDir() + "/client/v2");
        QFile payload(server.dataDir() + "/client/v2/OrvelNetdisk.exe");
        QVERIFY(payload.open(QIODevice::WriteOnly));
        payload.write("new program bytes");
        payload.close();
        QFile desc(server.dataDir() + "/client/update.json");
        QVERIFY(desc.open(QIODevice::WriteOnly));
        desc.write(R"({"version":"9.9.9","low":"1.0.0","memo":"修复若干问题","files":[{"url":"{root}/client/v2","filepath":"OrvelNetdisk.exe","md5":"x","rename":""}],"deleteFiles":[{"path":"old.dll"}]})");
        desc.close();
        r = server.request("GET", server.clientUrl() + "update.json");
        QVERIFY2(!r.body.contains("//"), r.body.constData());
        const QJsonObject f = r.json.value("files").toArray().first().toObject();
        QCOMPARE(f.value("url").toString(), server.rootUrl() + "client/v2");
        QCOMPARE(r.json.value("memo").toString(), QStringLiteral("修复若干问题"));
        const TestServer::Reply file = server.request("GET", f.value("url").toString() + "/" + f.value("filepath").toString());
        QCOMPARE(file.status, 200);
        QCOMPARE(file.body, QByteArray("new program bytes"));
        for (const char *escape : {"../orvel.db", "v2/%2e%2e/%2e%2e/orvel.db", "v2/..%2f..%2forvel.db"}) {
            const TestServer::Reply bad = server.request("GET", server.clientUrl() + escape);
            QVERIFY2(bad.status == 400 || bad.status == 404, escape);
            QVERIFY(!bad.body.startsWith("SQLite"));
        }
    }

    void previewPages()
    {
        QString err;
        const QString txt = server.uploadFile(token, "/", "说明.txt", "第一行 <b>不是标签</b>\n第二行", 0, &err);
        QVERIFY(!txt.isEmpty());
        const QString target = server.rootUrl() + "web/preview/file?fileid=" + txt + "&tk=" + token;
        TestServer::Reply r = server.request("GET", server.rootUrl() + "preview/?url=" + QUrl::toPercentEncoding(target)
                                                        + "&filetype=txt&title=" + QUrl::toPercentEncoding("说明.txt"));
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.contains("第二行"));
        QVERIFY(r.body.contains("&lt;b&gt;")); // text shown, not interpreted
        r = server.request("GET", target);
        QCOMPARE(r.status, 200);
        QVERIFY(r.headers.value("Content-Type").startsWith("text/plain"));
        QVERIFY(!r.headers.value("Content-Disposition").startsWith("attachment"));
        // An address that is not one of ours is not fetched.
        r = server.request("GET", server.rootUrl() + "preview/?url=" + QUrl::toPercentEncoding("http://example.invalid/x") + "&filetype=image");
        QVERIFY(r.body.contains("不支持"));

        const QString src = server.apiUrl() + "/v1/wp/wopi/files/" + txt + "/review";
        r = server.request("GET", server.docsUrl() + "/wv/wordviewerframe.aspx?WOPISrc=" + QUrl::toPercentEncoding(src)
                                      + "&access_token=" + token + "&ui=zh-CN");
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.contains("说明.txt"));
        QVERIFY(r.body.contains("第一行"));
        r = server.request("GET", src + "?access_token=" + token);
        QCOMPARE(r.json.value("BaseFileName").toString(), QStringLiteral("说明.txt"));
        QCOMPARE(r.json.value("Size").toInt(), QByteArray("第一行 <b>不是标签</b>\n第二行").size());
    }
};

QTEST_GUILESS_MAIN(TstServerDownload)
#include "tst_server_download.moc"
