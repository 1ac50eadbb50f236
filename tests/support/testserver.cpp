#include "testserver.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <openssl/evp.h>

TestServer::TestServer() : TestServer(Options()) {}

TestServer::TestServer(const Options &options) : m_opt(options) {}

TestServer::~TestServer() { stop(); }

QString TestServer::serverBinary()
{
    const QByteArray env = qgetenv("ORVEL_SERVER_BIN");
    if (!env.isEmpty())
        return QFile::decodeName(env);
    return QStringLiteral(ORVEL_SERVER_BINARY);
}

bool TestServer::start(int timeoutMs)
{
    if (isRunning())
        return true;
    if (m_dataDir.isEmpty()) {
        if (m_opt.dataDir.isEmpty()) {
            m_tmp.reset(new QTemporaryDir);
            if (!m_tmp->isValid()) {
                m_error = QStringLiteral("cannot create a temporary data folder");
                return false;
            }
            m_dataDir = m_tmp->path() + QStringLiteral("/data");
        } else {
            m_dataDir = m_opt.dataDir;
        }
    }
    // Ports come from below the range the system hands out for outgoing
    // connections: a port freed by stop() cannot then be taken by some test's
    // client socket before restart() binds it again. A port another test
    // server holds just means another try.
    const bool fresh = m_uploads.isEmpty();
    QElapsedTimer clock;
    clock.start();
    for (int attempt = 0;; ++attempt) {
        QList<quint16> ports;
        if (fresh) {
            for (int i = 0; i <= m_opt.uploadServers; ++i)
                ports.append(quint16(20000 + QRandomGenerator::global()->bounded(12000)));
        } else {
            ports.append(m_port);
            ports.append(uploadPorts());
        }
        if (launch(argsFor(ports), timeoutMs))
            return true;
        if (!serverLog().contains(QLatin1String("cannot listen")) || attempt >= 40 || clock.elapsed() > timeoutMs)
            return false;
        if (!fresh)
            QThread::msleep(250);
    }
}

QStringList TestServer::argsFor(const QList<quint16> &ports) const
{
    QStringList upl;
    for (int i = 1; i < ports.size(); ++i)
        upl << QString::number(ports.at(i));
    QStringList args{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(ports.value(0)), QStringLiteral("--data"),
                     m_dataDir, QStringLiteral("--act-delay-ms"), QString::number(m_opt.actDelayMs),
                     QStringLiteral("--upload-port-list"), upl.join(QLatin1Char(','))};
    if (m_opt.control)
        args << QStringLiteral("--control");
    if (m_opt.seedDemo)
        args << QStringLiteral("--seed") << QStringLiteral("demo");
    if (!m_opt.tlsCert.isEmpty())
        args << QStringLiteral("--tls-cert") << m_opt.tlsCert << QStringLiteral("--tls-key") << m_opt.tlsKey;
    if (m_opt.quiet && !qEnvironmentVariableIsSet("ORVEL_SERVER_VERBOSE"))
        args << QStringLiteral("--quiet");
    args << QStringLiteral("--exit-with-parent") << m_opt.extraArgs;
    return args;
}

bool TestServer::launch(const QStringList &args, int timeoutMs)
{
    const QString bin = serverBinary();
    if (bin.isEmpty() || !QFileInfo(bin).isExecutable()) {
        m_error = QStringLiteral("orvel-server not found at \"%1\" (set ORVEL_SERVER_BIN)").arg(bin);
        return false;
    }
    m_proc.reset(new QProcess);
    m_proc->setProcessChannelMode(QProcess::SeparateChannels);
    // stderr goes to a file so that a chatty server never blocks on a full pipe.
    QFileInfo(m_dataDir).dir().mkpath(QStringLiteral("."));
    m_proc->setStandardErrorFile(m_dataDir + QStringLiteral(".log"), QIODevice::Truncate);
    m_proc->start(bin, args);
    if (!m_proc->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(bin, m_proc->errorString());
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    QByteArray out;
    QString root, uploads;
    while (!deadline.hasExpired() && (root.isEmpty() || uploads.isEmpty())) {
        if (!m_proc->canReadLine() && !m_proc->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (m_proc->state() != QProcess::Running)
                break;
            continue;
        }
        while (m_proc->canReadLine()) {
            const QString line = QString::fromUtf8(m_proc->readLine()).trimmed();
            if (line.startsWith(QLatin1String("listening on ")))
                root = line.mid(13);
            else if (line.startsWith(QLatin1String("upload servers:")))
                uploads = line.mid(15).trimmed();
        }
    }
    if (root.isEmpty() || uploads.isEmpty()) {
        m_error = QStringLiteral("orvel-server did not report its addresses: %1").arg(QString::fromUtf8(serverLog().toUtf8().right(2000)));
        stop();
        return false;
    }
    m_root = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    m_port = quint16(QUrl(m_root).port());
    m_uploads = uploads.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return true;
}

void TestServer::stop()
{
    if (!m_proc)
        return;
    if (m_proc->state() != QProcess::NotRunning) {
        m_proc->terminate();
        if (!m_proc->waitForFinished(5000)) {
            m_proc->kill();
            m_proc->waitForFinished(2000);
        }
    }
    if (qEnvironmentVariableIsSet("ORVEL_SERVER_VERBOSE"))
        qInfo().noquote() << "orvel-server log:\n" << serverLog().right(20000);
    m_proc.reset();
}

bool TestServer::restart(int timeoutMs)
{
    stop();
    return start(timeoutMs);
}

bool TestServer::isRunning() const { return m_proc && m_proc->state() == QProcess::Running; }

QString TestServer::serverLog() const
{
    QFile f(m_dataDir + QStringLiteral(".log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QList<quint16> TestServer::uploadPorts() const
{
    QList<quint16> ports;
    for (const QString &u : m_uploads)
        ports.append(quint16(QUrl(u).port()));
    return ports;
}

TestServer::Reply TestServer::request(const QString &method, const QString &url, const QByteArray &body,
                                      const QList<QPair<QByteArray, QByteArray>> &headers, int timeoutMs) const
{
    Reply r;
    QNetworkAccessManager nam;
    QNetworkRequest req{QUrl(url)};
    for (const auto &h : headers)
        req.setRawHeader(h.first, h.second);
    if (!body.isNull() && !req.hasRawHeader("Content-Type"))
        req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    QNetworkReply *reply = nam.sendCustomRequest(req, method.toLatin1(), body);
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply] { reply->ignoreSslErrors(); });
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    if (!reply->isFinished())
        reply->abort();
    r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r.networkError = int(reply->error());
    r.body = reply->readAll();
    for (const auto &pair : reply->rawHeaderPairs())
        r.headers.insert(pair.first, pair.second);
    r.json = QJsonDocument::fromJson(r.body).object();
    delete reply;
    return r;
}

QByteArray TestServer::formEncode(const QVariantMap &params)
{
    QByteArray q;
    for (auto it = params.begin(); it != params.end(); ++it) {
        QString v;
        const QVariant &val = it.value();
        if (val.userType() == QMetaType::QJsonArray)
            v = QString::fromUtf8(QJsonDocument(val.toJsonArray()).toJson());
        else if (val.userType() == QMetaType::QJsonObject)
            v = QString::fromUtf8(QJsonDocument(val.toJsonObject()).toJson());
        else if (val.userType() == QMetaType::QVariantList)
            v = QString::fromUtf8(QJsonDocument(QJsonArray::fromVariantList(val.toList())).toJson());
        else
            v = val.toString();
        q += it.key().toUtf8() + '=' + QUrl::toPercentEncoding(v) + '&';
    }
    return q;
}

QJsonObject TestServer::call(const QString &path, const QVariantMap &params, const QString &token, bool post) const
{
    QList<QPair<QByteArray, QByteArray>> headers;
    if (!token.isEmpty())
        headers.append({"Authorization", "Bearer " + token.toUtf8()});
    const QByteArray q = formEncode(params);
    const QString url = path.startsWith(QLatin1String("http")) ? path : m_root + path;
    const Reply r = post ? request(QStringLiteral("POST"), url, q, headers)
                         : request(QStringLiteral("GET"), q.isEmpty() ? url : url + QLatin1Char('?') + QString::fromLatin1(q), QByteArray(), headers);
    // Only a 200 with an envelope is the service's answer; anything else (an
    // error page, no connection, a server that died) must not read as a refusal.
    if (r.status == 200 && r.json.contains(QLatin1String("Code")))
        return r.json;
    if (r.json.contains(QLatin1String("Code")) && r.status >= 400 && r.status < 500)
        return r.json; // the service's own refusal (an unknown path answers 404 with an envelope)
    return transportFailure(r);
}

QJsonObject TestServer::transportFailure(const Reply &r)
{
    QString what = r.status ? QStringLiteral("HTTP %1").arg(r.status)
                            : QStringLiteral("no answer (network error %1)").arg(r.networkError);
    return QJsonObject{{"Code", kTransportFailure},
                       {"Msg", QStringLiteral("%1: %2").arg(what, QString::fromUtf8(r.body.left(200)))}};
}

bool TestServer::isTransportFailure(const QJsonObject &reply)
{
    return reply.value(QLatin1String("Code")).toInt() == kTransportFailure;
}

QJsonObject TestServer::waitAct(const QString &token, const QString &actId, int timeoutMs) const
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        const QJsonObject r = call(QStringLiteral("api/v1/wp/act/GetActStatus"), {{"ids", actId}}, token);
        const QJsonArray acts = r.value("Msg").toArray();
        if (!acts.isEmpty() && acts.first().toObject().value("status").toInt() == 99)
            return acts.first().toObject();
        QTest::qWait(20); // the act runs on the server: nothing to wait on but its status
    }
    return QJsonObject();
}

QString TestServer::signIn(const QString &user, const QString &password, qint64 schoolId, QString *error) const
{
    auto fail = [&](const QJsonObject &r) {
        if (error)
            *error = r.value("Msg").toString();
        return QString();
    };
    const QJsonObject app = call(QStringLiteral("api/v1/user/info/SsoAppID"), {}, {}, false);
    if (app.value("Code").toInt() != 0)
        return fail(app);
    const QJsonObject lt = call(QStringLiteral("sso/api/v1/sso/User/GetLoginToken"),
                                {{"accout", user}, {"pwd", encryptPassword(password)}, {"client", "pcclient"},
                                 {"appid", app.value("Msg").toString()}, {"response_type", "a1"}, {"state", "123"},
                                 {"scope", "baseinfo"}});
    if (lt.value("Code").toInt() != 0)
        return fail(lt);
    const QJsonObject tk = call(QStringLiteral("api/v1/user/info/LoginByToken"),
                                {{"logintoken", lt.value("data").toObject().value("token").toString()}});
    if (tk.value("Code").toInt() != 0)
        return fail(tk);
    const QString token = tk.value("Msg").toString();
    if (schoolId == 0) {
        const QJsonObject schools = call(QStringLiteral("api/v1/user/info/GetMySchool"), {}, token, false);
        schoolId = qint64(schools.value("data").toArray().first().toObject().value("id").toDouble());
    }
    const QJsonObject chg = call(QStringLiteral("api/v1/user/info/ChgSchool"), {{"schoolid", QString::number(schoolId)}}, token);
    if (chg.value("Code").toInt() != 0)
        return fail(chg);
    return token;
}

QString TestServer::uploadFile(const QString &token, const QString &folder, const QString &name, const QByteArray &content,
                               int uptype, QString *error) const
{
    auto fail = [&](const QString &msg) {
        if (error)
            *error = msg;
        return QString();
    };
    const QJsonObject link = call(QStringLiteral("api/v1/wp/act/GetUploadLink"),
                                  {{"filepath", folder}, {"filename", name}, {"filesize", QString::number(content.size())},
                                   {"uptype", QString::number(uptype)}},
                                  token);
    if (link.value("Code").toInt() != 0)
        return fail(link.value("Msg").toString());
    const QJsonObject d = link.value("data").toObject();
    const QString up = d.value("upserver").toString();
    const QString evtid = d.value("evtid").toString();
    const QString sha = sha256Hex(content);
    const QJsonObject md5 = call(up + QStringLiteral("/v1/wp/file/ChkMD5"), {{"evtid", evtid}, {"filemd5", sha}}, token);
    if (md5.value("Code").toInt() != 0)
        return fail(md5.value("Msg").toString());
    if (md5.value("Msg").toInt() != 1) {
        const qint64 bs = qint64(d.value("blocksize").toDouble());
        const qint64 total = qint64(d.value("totalblocknum").toDouble());
        for (qint64 b = 0; b < qMax<qint64>(total, 1); ++b) {
            const Reply r = postBlock(up, token, evtid, sha, total, b, bs, content.mid(int(b * bs), int(bs)));
            if (r.json.value("Code").toInt() != 0)
                return fail(r.json.isEmpty() ? QStringLiteral("HTTP %1").arg(r.status) : r.json.value("Msg").toString());
        }
    }
    const QJsonObject act = waitAct(token, evtid);
    const QJsonObject result = QJsonDocument::fromJson(act.value("result").toString().toUtf8()).object();
    if (result.value("code").toInt() != 0 || act.isEmpty())
        return fail(act.isEmpty() ? QStringLiteral("upload event did not finish") : result.value("msg").toString());
    return result.value("fileid").toString();
}

TestServer::Reply TestServer::postBlock(const QString &upserver, const QString &token, const QString &evtid,
                                        const QString &md5, qint64 totalblocknum, qint64 block, qint64 blocksize,
                                        const QByteArray &data) const
{
    const QByteArray boundary = "orveltestboundary7MA4YWxkTrZu0gW";
    QByteArray body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\";filename=\"block.bin\";\r\n\r\n"
        + data + "\r\n";
    const QList<QPair<QByteArray, QByteArray>> fields{{"evtid", evtid.toUtf8()},
                                                      {"md5", md5.toUtf8()},
                                                      {"totalblocknum", QByteArray::number(totalblocknum)},
                                                      {"block", QByteArray::number(block)},
                                                      {"blocksize", QByteArray::number(blocksize)}};
    for (const auto &f : fields)
        body += "--" + boundary + "\r\nContent-Type: text/plain\r\nContent-Disposition: form-data; name=\"" + f.first
            + "\";\r\n\r\n" + f.second + "\r\n";
    body += "--" + boundary + "--\r\n";
    return request(QStringLiteral("POST"), upserver + QStringLiteral("/v1/wp/file/Upload"), body,
                   {{"Authorization", "Bearer " + token.toUtf8()}, {"Content-Type", "multipart/form-data; boundary=" + boundary}});
}

bool TestServer::addFault(const QString &path, const QString &kind, qint64 value, int times, const QJsonObject &extra) const
{
    QJsonObject o = extra;
    o["path"] = path;
    o["kind"] = kind;
    o["value"] = double(value);
    o["times"] = times;
    const Reply r = request(QStringLiteral("POST"), m_root + QStringLiteral("__control/fault"),
                            QJsonDocument(o).toJson(QJsonDocument::Compact), {{"Content-Type", "application/json"}});
    return r.status == 200;
}

bool TestServer::clearFaults() const
{
    return request(QStringLiteral("DELETE"), m_root + QStringLiteral("__control/fault")).status == 200;
}

QJsonObject TestServer::stat(const QString &serverPath) const
{
    const Reply r = request(QStringLiteral("GET"), m_root + QStringLiteral("__control/stat?path=")
                                                   + QString::fromLatin1(QUrl::toPercentEncoding(serverPath)));
    return r.status == 200 ? r.json : QJsonObject();
}

int TestServer::requestCount(const QString &pathPrefix, quint16 port) const
{
    const Reply r = request(QStringLiteral("GET"), m_root + QStringLiteral("__control/requests?path=")
                                                   + QString::fromUtf8(QUrl::toPercentEncoding(pathPrefix)));
    if (port == 0)
        return r.json.value("count").toInt();
    return r.json.value("byport").toObject().value(QString::number(port)).toInt();
}

QStringList TestServer::requestRanges(const QString &pathPrefix) const
{
    const Reply r = request(QStringLiteral("GET"), m_root + QStringLiteral("__control/requests?path=")
                                                   + QString::fromUtf8(QUrl::toPercentEncoding(pathPrefix)));
    QStringList out;
    for (const QJsonValue &v : r.json.value("recent").toArray())
        out << v.toObject().value("range").toString();
    return out;
}

QString TestServer::encryptPassword(const QString &plain)
{
    static const unsigned char key[] = "q7#mz2&kw9!rx4$t";
    static const unsigned char iv[] = "b3&hp8*nd5%vy1^c";
    const QByteArray in = plain.toUtf8();
    QByteArray out(in.size() + 32, Qt::Uninitialized);
    int n1 = 0, n2 = 0;
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr, key, iv);
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char *>(out.data()), &n1,
                      reinterpret_cast<const unsigned char *>(in.constData()), in.size());
    EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char *>(out.data()) + n1, &n2);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(n1 + n2);
    return QString::fromLatin1(out.toBase64());
}

QString TestServer::sha256Hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}
