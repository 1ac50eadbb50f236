// Uploads and downloads over HTTPS against the stand-in service, whose
// certificate comes from an authority made for this run. Every path runs
// three times: trusting no extra authority and trusting an unrelated one
// must both be refused at the handshake, trusting the right one must give
// the exact bytes (SHA-256 of the stored or the downloaded file).

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "Api/api.h"
#include "context/orvelcore.h"
#include "context/vglobalparameter.h"
#include "records/metatypes.h"
#include "request/vnetworkpolicy.h"
#include "request/vurlrequest.h"
#include "testcerts.h"
#include "testhome.h"
#include "apirunner.h"
#include "testserver.h"
#include "transfer/vdownloadfile.h"
#include "transfer/vtransferthrottle.h"
#include "transfer/vtransfertimings.h"
#include "transfer/vuploadfile.h"
#include "transfer/vuploadrequest.h"
#include "transferharness.h"
#include "utils/vutils.h"

namespace {
constexpr qint64 kBlock = 5242880;
// Three blocks and two download segments, small enough to stay quick.
constexpr qint64 kSeveral = 2 * kBlock + 500000;
const QString kHandshake = QStringLiteral("握手失败，无法建立加密通道");
const QString kUpload = QStringLiteral("/v1/wp/file/Upload");

enum Trust { NoCa, OtherCa, RightCa };
}
Q_DECLARE_METATYPE(Trust)

class TestTransferTls : public QObject
{
    Q_OBJECT

    struct Upload : WorkerRun<VUploadFile>
    {
        explicit Upload(VUploadFile *w) : WorkerRun(w)
        {
            QObject::connect(w, &VUploadFile::signalReplyFinished, &context, [this](int b) {
                if (b < 0)
                    complete = true;
            });
        }
        bool complete = false;
    };

    struct Download : WorkerRun<VDownloadFile>
    {
        explicit Download(VDownloadFile *w) : WorkerRun(w)
        {
            QObject::connect(w, &VDownloadFile::signalReplyFinished, &context,
                             [this](const QString &p) { finalPath = p; complete = true; });
        }
        bool complete = false;
        QString finalPath;
    };

    TestHome m_home;
    TestCertificates m_right{QStringLiteral("Orvel Test CA right")};
    TestCertificates m_other{QStringLiteral("Orvel Test CA other")};
    std::unique_ptr<TestServer> m_server;
    QTemporaryDir m_dir;
    QString m_token;
    int m_seed = 500;

    void trust(Trust t)
    {
        qunsetenv(VNetworkPolicy::insecureVariable);
        if (t == NoCa)
            qunsetenv(VNetworkPolicy::caBundleVariable);
        else
            qputenv(VNetworkPolicy::caBundleVariable, (t == RightCa ? m_right : m_other).caFile().toLocal8Bit());
    }

    static void addTrustRows()
    {
        QTest::addColumn<Trust>("trust");
        QTest::newRow("no CA") << NoCa;
        QTest::newRow("another CA") << OtherCa;
        QTest::newRow("the right CA") << RightCa;
    }

    QString makeLocal(const QString &name, qint64 size)
    {
        const QString path = m_dir.filePath(name);
        makeFile(path, size, quint32(++m_seed));
        return path;
    }

    QByteArray storedSha(const QString &name) const
    {
        return m_server->stat(QStringLiteral("/1001/sharedisk/") + name).value(QStringLiteral("sha256")).toString().toLatin1();
    }

    // Registration through the fixture, which does not check certificates:
    // what is under test is the worker's own traffic.
    QJsonObject registerUpload(const QString &name, qint64 size)
    {
        const QJsonObject r = m_server->call(QStringLiteral("api/v1/wp/act/GetUploadLink"),
                                             {{QStringLiteral("filepath"), QStringLiteral("/")},
                                              {QStringLiteral("filename"), name},
                                              {QStringLiteral("filesize"), QString::number(size)},
                                              {QStringLiteral("uptype"), QStringLiteral("1")}},
                                             m_token);
        return r.value(QStringLiteral("data")).toObject();
    }

    // Runs the upload worker from startBlock; answers its error messages.
    QStringList runUpload(const QJsonObject &ev, const QString &path, int startBlock, bool *complete)
    {
        auto *w = new VUploadFile;
        const QJsonObject status{{QStringLiteral("url"), Api::instance()->url(Api::act_GetActStatus)},
                                 {QStringLiteral("type"), 1}};
        const QString prep = w->setUploadInfo(ev.value(QStringLiteral("evtid")).toString(),
                                              QString::fromLatin1(fileSha256(path)), path, startBlock, m_token,
                                              ev.value(QStringLiteral("upserver")).toString(), status);
        if (!prep.isEmpty()) {
            delete w;
            return {prep};
        }
        Upload run(w);
        run.start();
        // An instant upload ends with the completion alone, without a stop.
        if (!QTest::qWaitFor([&] { return run.stopped || run.complete; }, 60000))
            return {QStringLiteral("the worker did not end")};
        *complete = run.complete;
        return run.errors;
    }

    // The upload worker of each trust: refused at the handshake, or the
    // stored file is the local one.
    void checkUpload(Trust t, const QString &name, const QString &path, int startBlock)
    {
        const QJsonObject ev = registerUpload(name, QFileInfo(path).size());
        QVERIFY(!ev.value(QStringLiteral("evtid")).toString().isEmpty());
        if (startBlock > 0) {
            // Blocks before startBlock arrived earlier (through the fixture).
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            for (int b = 0; b < startBlock; ++b) {
                const TestServer::Reply r = m_server->postBlock(
                    ev.value(QStringLiteral("upserver")).toString(), m_token, ev.value(QStringLiteral("evtid")).toString(),
                    QString::fromLatin1(fileSha256(path)), ev.value(QStringLiteral("totalblocknum")).toInt(), b, kBlock,
                    f.read(kBlock));
                QCOMPARE(r.json.value(QStringLiteral("Code")).toInt(), 0);
            }
        }
        trust(t);
        bool complete = false;
        const QStringList errors = runUpload(ev, path, startBlock, &complete);
        if (t == RightCa) {
            QCOMPARE(errors, QStringList());
            QVERIFY(complete);
            QCOMPARE(storedSha(name), fileSha256(path));
        } else {
            QCOMPARE(errors, QStringList{kHandshake});
            QVERIFY(!complete);
            QCOMPARE(storedSha(name), QByteArray());
        }
    }

private slots:
    void initTestCase()
    {
        initOrvelCore();
        registerMetaTypes();
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_right.make(), qPrintable(m_right.errorString()));
        QVERIFY2(m_other.make(), qPrintable(m_other.errorString()));
        TestServer::Options o;
        o.tlsCert = m_right.serverCert();
        o.tlsKey = m_right.serverKey();
        o.uploadServers = 1;
        m_server.reset(new TestServer(o));
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        QVERIFY2(m_server->rootUrl().startsWith(QLatin1String("https://")), qPrintable(m_server->rootUrl()));
        QVERIFY(m_server->uploadServers().value(0).startsWith(QLatin1String("https://")));
        QString err;
        m_token = signInClient(*m_server, &err);
        QVERIFY2(!m_token.isEmpty(), qPrintable(err));
        VTransferThrottle::upload()->setLimit(0);
        VTransferThrottle::download()->setLimit(0);
    }
    void init()
    {
        VTransferTimings::reset();
        VTransferTimings::retrySleepMs = 50;
    }
    void cleanupTestCase()
    {
        qunsetenv(VNetworkPolicy::caBundleVariable);
    }

    // The small requests: a signed-in listing through the dispatcher's
    // synchronous path, and the digest check on the upload server.
    void smallRequests_data() { addTrustRows(); }
    void smallRequests()
    {
        QFETCH(Trust, trust);
        const QJsonObject ev = registerUpload(QStringLiteral("small.bin"), 10);
        this->trust(trust);
        const QJsonObject list =
            Api::instance()->startApiSync(Api::file_getlist, Api::params_file_getlist(QStringLiteral("/"), QString(), 0, 0));
        VUrlRequest chk;
        Api::instance()->prepare(&chk, Api::file_ChkMD5,
                                 Api::params_file_ChkMD5(ev.value(QStringLiteral("evtid")).toString(),
                                                         TestServer::sha256Hex("nothing like this is stored")),
                                 ev.value(QStringLiteral("upserver")).toString());
        const QJsonObject md5 = chk.send();
        if (trust == RightCa) {
            QCOMPARE(Api::getCode(list), 0);
            QVERIFY(Api::getData(list).toObject().contains(QStringLiteral("list")));
            QCOMPARE(Api::getCode(md5), 0);
            QCOMPARE(Api::getMsg(md5), QStringLiteral("0"));
        } else {
            for (const QJsonObject &r : {list, md5}) {
                QCOMPARE(Api::getCode(r), 99);
                QCOMPARE(Api::getMsg(r), kHandshake);
            }
        }
    }

    // One block post straight through the block request: the request line
    // and headers must go out first on a fresh TLS connection, and again on
    // the kept one for the next post.
    void blockRequest_data() { addTrustRows(); }
    void blockRequest()
    {
        QFETCH(Trust, trust);
        const QString path = makeLocal(QStringLiteral("direct.bin"), kBlock + 1000);
        const QJsonObject ev = registerUpload(QStringLiteral("direct.bin"), kBlock + 1000);
        const QString sha = QString::fromLatin1(fileSha256(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        this->trust(trust);
        VUploadRequest post(nullptr);
        QSignalSpy done(&post, &VUploadRequest::finished);
        for (int b = 0; b < 2; ++b) {
            const VUploadRequest::Fields fields{{"evtid", ev.value(QStringLiteral("evtid")).toString().toUtf8()},
                                                {"md5", sha.toLatin1()},
                                                {"totalblocknum", "2"},
                                                {"block", QByteArray::number(b)},
                                                {"blocksize", QByteArray::number(kBlock)}};
            post.post(QUrl(ev.value(QStringLiteral("upserver")).toString() + kUpload), m_token.toUtf8(),
                      "form-data; name=\"file\";filename=\"direct.bin\";", f.read(kBlock), fields);
            QVERIFY(done.wait(30000));
            if (trust != RightCa) {
                QCOMPARE(post.error(), QNetworkReply::SslHandshakeFailedError);
                QCOMPARE(storedSha(QStringLiteral("direct.bin")), QByteArray());
                return;
            }
            QCOMPARE(post.error(), QNetworkReply::NoError);
            QCOMPARE(post.httpStatus(), 200);
            QCOMPARE(Api::getCode(VUtils::toJsonObject(QString::fromUtf8(post.readAll()))), 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(storedSha(QStringLiteral("direct.bin")), sha.toLatin1(), 10000);
    }

    void oneBlock_data() { addTrustRows(); }
    void oneBlock()
    {
        QFETCH(Trust, trust);
        const QString name = QStringLiteral("one-%1.bin").arg(int(trust));
        checkUpload(trust, name, makeLocal(name, 300001), 0);
    }

    void severalBlocks_data() { addTrustRows(); }
    void severalBlocks()
    {
        QFETCH(Trust, trust);
        const QString name = QStringLiteral("several-%1.bin").arg(int(trust));
        checkUpload(trust, name, makeLocal(name, kSeveral), 0);
    }

    // Two blocks arrived before; the worker checks block 2 and sends the rest.
    void resume_data() { addTrustRows(); }
    void resume()
    {
        QFETCH(Trust, trust);
        const QString name = QStringLiteral("resume-%1.bin").arg(int(trust));
        checkUpload(trust, name, makeLocal(name, kSeveral), 2);
    }

    // Content the server holds already: complete without a block posted.
    void instant_data() { addTrustRows(); }
    void instant()
    {
        QFETCH(Trust, trust);
        const QString held = makeLocal(QStringLiteral("held.bin"), 700000);
        QFile f(held);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString err;
        QVERIFY2(!m_server->uploadFile(m_token, QStringLiteral("/"), QStringLiteral("held.bin"), f.readAll(), 1, &err)
                      .isEmpty(),
                 qPrintable(err));
        const QString name = QStringLiteral("instant-%1.bin").arg(int(trust));
        const QString copy = m_dir.filePath(name);
        QFile::remove(copy);
        QVERIFY(QFile::copy(held, copy));
        const int posts = m_server->requestCount(kUpload);
        checkUpload(trust, name, copy, 0);
        QCOMPARE(m_server->requestCount(kUpload), posts);
    }

    // A fresh download of two segments, and one resumed from a partial
    // temporary file.
    void download_data()
    {
        QTest::addColumn<Trust>("trust");
        QTest::addColumn<qint64>("partial");
        QTest::newRow("no CA") << NoCa << qint64(0);
        QTest::newRow("another CA") << OtherCa << qint64(0);
        QTest::newRow("the right CA") << RightCa << qint64(0);
        QTest::newRow("no CA, resumed") << NoCa << qint64(3000000);
        QTest::newRow("another CA, resumed") << OtherCa << qint64(3000000);
        QTest::newRow("the right CA, resumed") << RightCa << qint64(3000000);
    }
    void download()
    {
        QFETCH(Trust, trust);
        QFETCH(qint64, partial);
        const QString source = makeLocal(QStringLiteral("source.bin"), kSeveral);
        QFile f(source);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        QString err;
        const QString fileid =
            m_server->uploadFile(m_token, QStringLiteral("/"), QStringLiteral("source.bin"), content, 1, &err);
        QVERIFY2(!fileid.isEmpty(), qPrintable(err));

        QTemporaryDir target;
        // The server names the file source.bin, as the local path already does.
        const QString local = target.filePath(QStringLiteral("source.bin"));
        auto *w = new VDownloadFile;
        w->setUrl(VUtils::downloadUrl(m_server->rootUrl(), fileid, m_token));
        w->setLocalPath(local);
        w->setSuffixId(QStringLiteral("7"));
        w->setAutoRename(false);
        if (partial > 0) {
            QFile t(w->tempPath());
            QVERIFY(t.open(QIODevice::WriteOnly));
            t.write(content.left(int(partial)));
        }
        this->trust(trust);
        Download run(w);
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(run.stopped, 60000);
        const QString saved = local;
        if (trust == RightCa) {
            QCOMPARE(run.errors, QStringList());
            QVERIFY(run.complete);
            QCOMPARE(fileSha256(saved), QByteArray(TestServer::sha256Hex(content).toLatin1()));
        } else {
            QCOMPARE(run.errors, QStringList{QStringLiteral("请求失败或文件不存在")});
            QVERIFY(!run.complete);
            QVERIFY(!QFile::exists(saved));
            // A partial file is kept for a later attempt, untouched.
            QCOMPARE(QFileInfo(local + QStringLiteral(".orvelnetdisk.7.download")).size(), partial);
        }
    }
};

QTEST_GUILESS_MAIN(TestTransferTls)
#include "tst_transfer_tls.moc"
