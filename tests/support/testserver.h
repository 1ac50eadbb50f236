#pragma once
// TestServer: runs orvel-server for one test, on free loopback ports (chosen
// below the system's range for outgoing connections, so that restart() can
// take the same ports again) with a temporary data folder, and stops it
// (SIGTERM) when destroyed.
//
// Typical use in a QtTest (the test needs a QCoreApplication, which
// QTEST_MAIN / QTEST_GUILESS_MAIN provide):
//
//     TestHome home;                       // isolated HOME (testhome.h)
//     TestServer server;                   // --control, 2 upload servers
//     QVERIFY2(server.start(), qPrintable(server.errorString()));
//     VGlobalParameter::instance()->setServerRoot(server.rootUrl());
//     const QString token = server.signIn("demo", "demo123");
//
// The server starts with four accounts on every fresh data folder:
//   demo / demo123       teacher (shenfen 2), school 1001
//   teacher / teacher123 teacher, schools 1001 and 1002 (school page shown)
//   admin / admin123     shenfen 99 (administrator), school 1001
//   student / student123 shenfen 1, may preview, download and copy only
// Options::seedDemo adds the demo tree of school 1001 (a few hundred files,
// recycle-bin entries, favourites, visits, two folder templates). Without it
// the disk of each school is an empty root "/<schoolid>/sharedisk".
//
// Addresses: rootUrl() is "http://127.0.0.1:PORT/"; the client derives
// root + "api/", "sso/", "client/", "docs/" and "" from it.
// uploadServers() are the upload servers exactly as "v1/wp/act/GetUploadLink"
// hands them out in "upserver" (no trailing slash), numbered in start order.
//
// Faults (needs Options::control, on by default): addFault(path, kind, value,
// times) makes the requests whose normalised path starts with `path`
// (e.g. "/api/v1/wp/file/getlist", "/v1/wp/file/Upload", "/web/download/file")
// misbehave, on any server unless extra {"port": P} names one:
//   "delay"   value ms before the request is handled (the body is read after)
//   "status"  answer HTTP status `value` with an HTML body
//   "drop"    send the headers and `value` body bytes, then close the connection
//   "stall"   send the headers (and extra {"after": N} body bytes), then nothing
//             for `value` ms, then the rest
//   "slow"    send the body in pieces of extra {"after": N} bytes (at least 1),
//             `value` ms apart: a slow link that keeps delivering
//   "garbage" answer 200 with a body that is not JSON
//   "code"    answer the envelope with "Code" `value` (Msg defaults: 1
//             "未获取到队列信息", 800003, 800004, -1, -2; extra {"msg": ...})
// `times` is the number of requests it applies to; 0 keeps it until
// clearFaults(). Faults are checked in the order they were added.
//
// stat("/1001/sharedisk/a/b.txt") answers {"size", "sha256", "id", ...} of a
// stored file, or an empty object when there is none. requestCount(prefix,
// port) counts the requests served whose path starts with prefix (port 0:
// all servers), so a test can prove which upload server was used.
//
// Set ORVEL_SERVER_VERBOSE=1 to have the server log every request and the
// log printed when the server stops.
//
// HTTP helpers run synchronously (a nested event loop): call() posts form
// parameters the way the client encodes them and parses the envelope;
// signIn() runs the whole sign-in sequence and answers the bearer token with
// a school chosen; uploadFile() uploads content through the block protocol
// and answers the new file id.
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <memory>

class TestServer
{
public:
    struct Options {
        bool control = true;      // --control
        bool seedDemo = false;    // --seed demo
        int uploadServers = 2;    // --upload-ports N
        int actDelayMs = 100;     // --act-delay-ms (the server's own default is 500)
        QString tlsCert, tlsKey;  // --tls-cert / --tls-key: https on every server
        QString dataDir;          // empty: a fresh temporary folder, removed afterwards
        QStringList extraArgs;
        bool quiet = true;        // --quiet (the request log is kept in serverLog() otherwise)
    };

    struct Reply {
        int status = 0;                           // HTTP status, 0 when none arrived
        int networkError = 0;                     // QNetworkReply::NetworkError
        QByteArray body;
        QJsonObject json;                         // body parsed as an object (empty if not JSON)
        QMap<QByteArray, QByteArray> headers;     // raw headers, names as sent
    };

    TestServer();
    explicit TestServer(const Options &options);
    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    // Starts the server and waits for its listening line.
    bool start(int timeoutMs = 20000);
    // SIGTERM, then waits; kills after 5 s.
    void stop();
    // Stops and starts again on the same ports and data folder (uploads resume).
    bool restart(int timeoutMs = 20000);
    bool isRunning() const;
    QString errorString() const { return m_error; }
    QString serverLog() const; // what the server wrote to stderr so far

    QString rootUrl() const { return m_root; }
    QString apiUrl() const { return m_root + QStringLiteral("api/"); }
    QString ssoUrl() const { return m_root + QStringLiteral("sso/"); }
    QString clientUrl() const { return m_root + QStringLiteral("client/"); }
    QString docsUrl() const { return m_root + QStringLiteral("docs/"); }
    quint16 port() const { return m_port; }
    QStringList uploadServers() const { return m_uploads; }
    QList<quint16> uploadPorts() const;
    QString dataDir() const { return m_dataDir; }
    static QString serverBinary();

    // Test control.
    bool addFault(const QString &path, const QString &kind, qint64 value, int times = 0,
                  const QJsonObject &extra = QJsonObject()) const;
    bool clearFaults() const;
    QJsonObject stat(const QString &serverPath) const;
    int requestCount(const QString &pathPrefix, quint16 port = 0) const;
    // The Range headers of the latest requests under the prefix, oldest first
    // (an empty string for a request without one).
    QStringList requestRanges(const QString &pathPrefix) const;

    // HTTP helpers.
    Reply request(const QString &method, const QString &url, const QByteArray &body = QByteArray(),
                  const QList<QPair<QByteArray, QByteArray>> &headers = {}, int timeoutMs = 30000) const;
    // path is relative to the root, e.g. "api/v1/wp/file/getlist"; values are
    // sent as strings, arrays and objects as their JSON text. Answers the
    // service's envelope; when none came back (no connection, a server that
    // died, a 5xx or an HTML page) an object with Code kTransportFailure and a
    // Msg naming the HTTP status, which no test of a refusal can mistake for one.
    QJsonObject call(const QString &path, const QVariantMap &params = QVariantMap(), const QString &token = QString(),
                     bool post = true) const;
    // Polls "v1/wp/act/GetActStatus" until the act reports status 99; answers the act record.
    QJsonObject waitAct(const QString &token, const QString &actId, int timeoutMs = 10000) const;
    // One numbered block to an upload server, in the client's multipart form
    // ("file" first, then evtid, md5, totalblocknum, block, blocksize).
    Reply postBlock(const QString &upserver, const QString &token, const QString &evtid, const QString &md5,
                    qint64 totalblocknum, qint64 block, qint64 blocksize, const QByteArray &data) const;
    QString signIn(const QString &user, const QString &password, qint64 schoolId = 0, QString *error = nullptr) const;
    QString uploadFile(const QString &token, const QString &folder, const QString &name, const QByteArray &content,
                       int uptype = 0, QString *error = nullptr) const;

    static constexpr int kTransportFailure = -99999;
    static bool isTransportFailure(const QJsonObject &reply);
    static QJsonObject transportFailure(const Reply &r);

    static QString encryptPassword(const QString &plain); // the client's toEncrypt
    static QString sha256Hex(const QByteArray &data);
    static QByteArray formEncode(const QVariantMap &params);

private:
    bool launch(const QStringList &args, int timeoutMs);
    QStringList argsFor(const QList<quint16> &ports) const;

    Options m_opt;
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<QProcess> m_proc;
    QString m_dataDir;
    QString m_root;
    quint16 m_port = 0;
    QStringList m_uploads;
    QString m_error;
    mutable QByteArray m_log;
};
