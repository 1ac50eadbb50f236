// Block uploads: layout, resume across a server restart, instant upload,
// name conflicts, cancellation and every kind of bad block.
#include "testserver.h"

#include <QHttpMultiPart>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QtTest>

namespace {
const qint64 MiB = 1024 * 1024;

QByteArray content(qint64 size, quint32 seed)
{
    QByteArray b(int(size), Qt::Uninitialized);
    QRandomGenerator g(seed);
    for (qint64 i = 0; i < size; ++i)
        b[int(i)] = char(g.generate() & 0xff);
    return b;
}
} // namespace

class TstServerUpload : public QObject
{
    Q_OBJECT
    TestServer server;
    QString token;

    struct Link {
        int code = -99;
        QString msg, upserver, evtid, filename;
        qint64 blocksize = 0, total = 0;
    };
    Link link(const QString &folder, const QString &name, qint64 size, int uptype = 0)
    {
        const QJsonObject r = server.call("api/v1/wp/act/GetUploadLink",
                                          {{"filepath", folder}, {"filename", name}, {"filesize", QString::number(size)},
                                           {"uptype", QString::number(uptype)}},
                                          token);
        Link l;
        l.code = r.value("Code").toInt();
        l.msg = r.value("Msg").toString();
        const QJsonObject d = r.value("data").toObject();
        l.upserver = d.value("upserver").toString();
        l.evtid = d.value("evtid").toString();
        l.filename = d.value("filename").toString();
        l.blocksize = qint64(d.value("blocksize").toDouble());
        l.total = qint64(d.value("totalblocknum").toDouble());
        return l;
    }
    QJsonObject upCall(const Link &l, const char *what, const QVariantMap &p)
    {
        return server.call(l.upserver + "/v1/wp/file/" + what, p, token);
    }
    int post(const Link &l, const QByteArray &data, qint64 block, const QString &md5, qint64 bs = -1, qint64 total = -1)
    {
        const TestServer::Reply r = server.postBlock(l.upserver, token, l.evtid, md5, total < 0 ? l.total : total, block,
                                                     bs < 0 ? l.blocksize : bs,
                                                     data.mid(int(block * l.blocksize), int(l.blocksize)));
        return r.json.value("Code").toInt(-99);
    }
    QJsonObject eventResult(const QString &evtid)
    {
        const QJsonArray acts = server.call("api/v1/wp/act/GetActStatus", {{"ids", evtid}}, token).value("Msg").toArray();
        if (acts.isEmpty())
            return QJsonObject();
        QJsonObject a = acts.first().toObject();
        a["parsed"] = QJsonDocument::fromJson(a.value("result").toString().toUtf8()).object();
        return a;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        token = server.signIn("demo", "demo123");
        QVERIFY(!token.isEmpty());
    }

    void layout_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("blocksize");
        QTest::addColumn<qint64>("total");
        QTest::newRow("empty") << qint64(0) << 5 * MiB << qint64(0);
        QTest::newRow("one byte") << qint64(1) << 5 * MiB << qint64(1);
        QTest::newRow("exactly 5 MiB") << 5 * MiB << 5 * MiB << qint64(1);
        QTest::newRow("12 MiB") << 12 * MiB << 5 * MiB << qint64(3);
        QTest::newRow("at the 10000 limit") << 5 * MiB * 10000 << 5 * MiB << qint64(10000);
        QTest::newRow("60 GB") << qint64(60000000000) << qint64(6000000) << qint64(10000);
    }
    void layout()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, blocksize);
        QFETCH(qint64, total);
        const Link l = link("/", QStringLiteral("layout-%1.bin").arg(size), size);
        QCOMPARE(l.code, 0);
        QCOMPARE(l.blocksize, blocksize);
        QCOMPARE(l.total, total);
        QVERIFY(server.uploadServers().contains(l.upserver));
        // A fresh event is open (status 0).
        QCOMPARE(eventResult(l.evtid).value("status").toInt(), 0);
    }

    void resumeAcrossRestart()
    {
        const QByteArray data = content(12 * MiB + 333, 1);
        const QString sha = TestServer::sha256Hex(data);
        const Link l = link("/", "resume.bin", data.size());
        QCOMPARE(l.code, 0);
        QCOMPARE(upCall(l, "ChkMD5", {{"evtid", l.evtid}, {"filemd5", sha}}).value("Msg").toInt(), 0);
        QCOMPARE(post(l, data, 0, sha), 0);
        QCOMPARE(post(l, data, 1, sha), 0);
        QVERIFY(server.stat("/1001/sharedisk/resume.bin").isEmpty());

        QVERIFY2(server.restart(), qPrintable(server.errorString()));
        QVERIFY(server.uploadServers().contains(l.upserver)); // same addresses after a restart
        QCOMPARE(eventResult(l.evtid).value("status").toInt(), 0);
        QCOMPARE(upCall(l, "ChkBlock", {{"evtid", l.evtid}, {"block", "1"}}).value("Msg").toInt(), 1);
        QCOMPARE(upCall(l, "ChkBlock", {{"evtid", l.evtid}, {"block", "2"}}).value("Msg").toInt(), 0);
        // A resent block is accepted and changes nothing.
        QCOMPARE(post(l, data, 1, sha), 0);
        QCOMPARE(post(l, data, 2, sha), 0);

        const QJsonObject ev = eventResult(l.evtid);
        QCOMPARE(ev.value("status").toInt(), 99);
        QCOMPARE(ev.value("parsed").toObject().value("code").toInt(), 0);
        const QJsonObject st = server.stat("/1001/sharedisk/resume.bin");
        QCOMPARE(st.value("sha256").toString(), sha);
        QCOMPARE(qint64(st.value("size").toDouble()), qint64(data.size()));
        QCOMPARE(ev.value("parsed").toObject().value("fileid").toString(), st.value("id").toString());
    }

    void instantUpload()
    {
        const QByteArray data = content(700000, 2);
        const QString sha = TestServer::sha256Hex(data);
        QString err;
        QVERIFY2(!server.uploadFile(token, "/", "original.bin", data, 0, &err).isEmpty(), qPrintable(err));
        const int blocksBefore = server.requestCount("/v1/wp/file/upload");
        const Link l = link("/", "copy-of-original.bin", data.size());
        const QJsonObject r = upCall(l, "ChkMD5", {{"evtid", l.evtid}, {"filemd5", sha.toUpper()}});
        QCOMPARE(r.value("Code").toInt(), 0);
        QCOMPARE(r.value("Msg").toInt(), 1);
        QCOMPARE(eventResult(l.evtid).value("status").toInt(), 99);
        QCOMPARE(server.stat("/1001/sharedisk/copy-of-original.bin").value("sha256").toString(), sha);
        QCOMPARE(server.requestCount("/v1/wp/file/upload"), blocksBefore);
    }

    void namedUploadServerOnly()
    {
        QVERIFY(server.uploadServers().size() >= 2);
        const Link l = link("/", "where.bin", 10);
        const QString other = server.uploadServers().at((server.uploadServers().indexOf(l.upserver) + 1) % server.uploadServers().size());
        Link wrong = l;
        wrong.upserver = other;
        QCOMPARE(upCall(wrong, "ChkMD5", {{"evtid", l.evtid}, {"filemd5", TestServer::sha256Hex("0123456789")}}).value("Code").toInt(), 800005);
        QCOMPARE(upCall(wrong, "CancelUpload", {{"evtid", l.evtid}}).value("Code").toInt(), 800005);
        const quint16 port = quint16(QUrl(l.upserver).port());
        const int before = server.requestCount("/v1/wp/file/chkmd5", port);
        QCOMPARE(upCall(l, "ChkMD5", {{"evtid", l.evtid}, {"filemd5", TestServer::sha256Hex("0123456789")}}).value("Code").toInt(), 0);
        QCOMPARE(server.requestCount("/v1/wp/file/chkmd5", port), before + 1);
        // Uploads are spread over the servers.
        QSet<QString> used;
        for (int i = 0; i < 4; ++i)
            used.insert(link("/", QStringLiteral("spread%1.bin").arg(i), 1).upserver);
        QCOMPARE(used.size(), server.uploadServers().size());
    }

    void nameConflicts()
    {
        QString err;
        const QString id = server.uploadFile(token, "/", "same.txt", "first", 0, &err);
        QVERIFY2(!id.isEmpty(), qPrintable(err));
        QCOMPARE(link("/", "same.txt", 6).code, 800001);
        QCOMPARE(link("/", "SAME.txt", 6).code, 800001); // names differ by case only: taken
        const Link renamed = link("/", "same.txt", 6, 2);
        QCOMPARE(renamed.code, 0);
        QCOMPARE(renamed.filename, QStringLiteral("same(1).txt"));
        // Replace keeps the file id and takes the new content.
        QCOMPARE(server.uploadFile(token, "/", "same.txt", "second", 1, &err), id);
        QCOMPARE(server.stat("/1001/sharedisk/same.txt").value("sha256").toString(), TestServer::sha256Hex("second"));
    }

    void emptyFile()
    {
        QString err;
        QVERIFY2(!server.uploadFile(token, "/", "empty-upload.txt", QByteArray(), 0, &err).isEmpty(), qPrintable(err));
        QCOMPARE(server.stat("/1001/sharedisk/empty-upload.txt").value("size").toInt(), 0);
    }

    void badBlocks()
    {
        const QByteArray data = content(6 * MiB, 3);
        const QString sha = TestServer::sha256Hex(data);
        const Link l = link("/", "bad-blocks.bin", data.size());
        QCOMPARE(l.total, qint64(2));
        QCOMPARE(post(l, data, 2, sha), 800008);                 // no such block
        QCOMPARE(post(l, data, -1, sha), 800008);
        QCOMPARE(post(l, data, 0, sha, 1024), 800007);          // wrong block size
        QCOMPARE(post(l, data, 0, sha, -1, 5), 800007);         // wrong block count
        // A block longer than announced, and a short middle block.
        TestServer::Reply big = server.postBlock(l.upserver, token, l.evtid, sha, 2, 1, l.blocksize, data.left(int(3 * MiB)));
        QCOMPARE(big.json.value("Code").toInt(), 800009);
        TestServer::Reply shortBlock = server.postBlock(l.upserver, token, l.evtid, sha, 2, 0, l.blocksize, data.left(100));
        QCOMPARE(shortBlock.json.value("Code").toInt(), 800009);
        TestServer::Reply other = server.postBlock(l.upserver, "not-a-token", l.evtid, sha, 2, 0, l.blocksize, data.left(int(l.blocksize)));
        QCOMPARE(other.json.value("Code").toInt(), -1);
        TestServer::Reply unknown = server.postBlock(l.upserver, token, "0123abcd", sha, 2, 0, l.blocksize, data.left(int(l.blocksize)));
        QCOMPARE(unknown.json.value("Code").toInt(), 800002);
        // Resuming at block 1 without block 0 starts over.
        QCOMPARE(upCall(l, "ChkBlock", {{"evtid", l.evtid}, {"block", "1"}}).value("Code").toInt(), 800003);
        QCOMPARE(eventResult(l.evtid).value("status").toInt(), 0);
        QCOMPARE(post(l, data, 0, sha), 0);
        QCOMPARE(post(l, data, 0, TestServer::sha256Hex("other")), 800006); // digest changed mid-way
        QCOMPARE(post(l, data, 1, sha), 0);
        QCOMPARE(server.stat("/1001/sharedisk/bad-blocks.bin").value("sha256").toString(), sha);
    }

    void digestMismatchFailsTheEvent()
    {
        const QByteArray data = content(5 * MiB + 10, 4);
        const QString claimed = TestServer::sha256Hex("something else");
        const Link l = link("/", "lying.bin", data.size());
        QCOMPARE(post(l, data, 0, claimed), 0);
        QCOMPARE(post(l, data, 1, claimed), 800010);
        const QJsonObject ev = eventResult(l.evtid);
        QCOMPARE(ev.value("status").toInt(), 99);
        QVERIFY(ev.value("parsed").toObject().value("code").toInt() != 0);
        QVERIFY(!ev.value("parsed").toObject().value("msg").toString().isEmpty());
        QVERIFY(server.stat("/1001/sharedisk/lying.bin").isEmpty());
        QCOMPARE(post(l, data, 0, claimed), 800002);
    }

    void cancel()
    {
        const QByteArray data = content(6 * MiB, 5);
        const QString sha = TestServer::sha256Hex(data);
        const Link l = link("/", "cancelled.bin", data.size());
        QCOMPARE(post(l, data, 0, sha), 0);
        QCOMPARE(upCall(l, "CancelUpload", {{"evtid", l.evtid}}).value("Code").toInt(), 0);
        const QJsonObject ev = eventResult(l.evtid);
        QCOMPARE(ev.value("status").toInt(), 99);
        QVERIFY(ev.value("parsed").toObject().value("code").toInt() != 0);
        QCOMPARE(post(l, data, 1, sha), 800002);
        QVERIFY(server.stat("/1001/sharedisk/cancelled.bin").isEmpty());
        // Cancelling again, or an unknown event, is acknowledged.
        QCOMPARE(upCall(l, "CancelUpload", {{"evtid", l.evtid}}).value("Code").toInt(), 0);
        QCOMPARE(upCall(l, "CancelUpload", {{"evtid", "feedbeef"}}).value("Code").toInt(), 0);
    }

    void badRegistrations_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("msg");
        const QString badName = QStringLiteral("名称不合法，不能包含 / \\ : * ? \" < > | 或为 . ..");
        const QString noFolder = QStringLiteral("目标文件夹不存在");
        const QString badSize = QStringLiteral("文件大小无效");
        QTest::newRow("slash in name") << "/" << "a/b.txt" << "1" << badName;
        QTest::newRow("dot dot") << "/" << ".." << "1" << badName;
        QTest::newRow("dot dot in folder") << "/1001/sharedisk/../x" << "a.txt" << "1" << noFolder;
        QTest::newRow("other school") << "/1002/sharedisk" << "a.txt" << "1" << noFolder;
        QTest::newRow("missing folder") << "/no/such/folder" << "a.txt" << "1" << noFolder;
        QTest::newRow("negative size") << "/" << "a.txt" << "-5" << badSize;
        QTest::newRow("size not a number") << "/" << "a.txt" << "lots" << badSize;
        QTest::newRow("empty name") << "/" << "" << "1" << QStringLiteral("名称不能为空");
    }
    void badRegistrations()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, size);
        QFETCH(QString, msg);
        const QJsonObject r = server.call("api/v1/wp/act/GetUploadLink",
                                          {{"filepath", folder}, {"filename", name}, {"filesize", size}, {"uptype", "0"}}, token);
        QCOMPARE(r.value("Code").toInt(), 1);
        QCOMPARE(r.value("Msg").toString(), msg);
    }

    // The block form exactly as Qt's QHttpMultiPart builds it for the client.
    void qtMultipartForm()
    {
        const QByteArray data = content(300000, 6);
        const QString sha = TestServer::sha256Hex(data);
        const Link l = link("/", "qt-form.bin", data.size());
        auto *multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
        QHttpPart file;
        file.setHeader(QNetworkRequest::ContentDispositionHeader, QVariant("form-data; name=\"file\";filename=\"qt-form.bin\";"));
        file.setBody(data);
        multi->append(file);
        const QList<QPair<QByteArray, QByteArray>> fields{{"evtid", l.evtid.toUtf8()}, {"md5", sha.toUtf8()},
                                                          {"totalblocknum", "1"}, {"block", "0"},
                                                          {"blocksize", QByteArray::number(l.blocksize)}};
        for (const auto &f : fields) {
            QHttpPart part;
            part.setHeader(QNetworkRequest::ContentTypeHeader, QVariant("text/plain"));
            part.setHeader(QNetworkRequest::ContentDispositionHeader, QVariant("form-data; name=\"" + f.first + "\";"));
            part.setBody(f.second);
            multi->append(part);
        }
        QNetworkAccessManager nam;
        QNetworkRequest req(QUrl(l.upserver + "/v1/wp/file/Upload"));
        req.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        QNetworkReply *reply = nam.post(req, multi);
        multi->setParent(reply);
        QSignalSpy done(reply, &QNetworkReply::finished);
        QVERIFY(done.wait(10000));
        QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value("Code").toInt(), 0);
        delete reply;
        QCOMPARE(server.stat("/1001/sharedisk/qt-form.bin").value("sha256").toString(), sha);
    }

    void studentMayNotUpload()
    {
        const QString st = server.signIn("student", "student123");
        const QJsonObject r = server.call("api/v1/wp/act/GetUploadLink",
                                          {{"filepath", "/"}, {"filename", "x.txt"}, {"filesize", "1"}, {"uptype", "0"}}, st);
        QCOMPARE(r.value("Code").toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(TstServerUpload)
#include "tst_server_upload.moc"
