#include "request/vurlrequest.h"

#include "request/vnetworkpolicy.h"
#include "utils/vnetworkerror.h"
#include "utils/vutils.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

#include <atomic>
#include <memory>

Q_LOGGING_CATEGORY(lcRequest, "orvel.request")

namespace {
std::atomic<int> defaultTick{VUrlRequest::kDefaultTickInterval};

bool isSecretKey(const QString &key)
{
    // Plain text with nothing to destroy at exit: a request still ending on a
    // pool thread while the program's statics go may log its parameters.
    static const char *const keys[] = {"pwd",   "opwd",       "npwd1", "npwd2", "password",
                                       "logintoken", "token", "tk",    "authorization"};
    const QString lower = key.toLower();
    for (const char *k : keys) {
        if (lower == QLatin1String(k))
            return true;
    }
    return false;
}

const QString kMask = QStringLiteral("***");

QJsonValue redactValue(const QJsonValue &v);

QJsonArray redactArray(const QJsonArray &a)
{
    QJsonArray out;
    for (const QJsonValue &v : a)
        out.append(redactValue(v));
    return out;
}

QJsonValue redactValue(const QJsonValue &v)
{
    if (v.isObject())
        return VUrlRequest::redactObject(v.toObject());
    if (v.isArray())
        return redactArray(v.toArray());
    return v;
}
}

VUrlRequest::VUrlRequest(QObject *parent)
    : QObject(parent)
    , m_tickInterval(defaultTick.load())
{
    setAutoDelete(true);
}

VUrlRequest::~VUrlRequest() = default;

void VUrlRequest::setRequest(int method, const QUrl &url, const QString &token, const QString &query)
{
    m_method = method;
    m_url = url;
    m_token = token;
    m_query = query;
}

void VUrlRequest::setRequest(int method, const QUrl &url)
{
    m_method = method;
    m_url = url;
}

void VUrlRequest::setCustomData(int type, int wptype, const QString &msg, const QString &path)
{
    m_customdata.insert(QStringLiteral("type"), type);
    m_customdata.insert(QStringLiteral("wptype"), wptype);
    m_customdata.insert(QStringLiteral("msg"), msg);
    m_customdata.insert(QStringLiteral("path"), path);
}

void VUrlRequest::addCustomData(const QJsonObject &object)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!m_customdata.contains(it.key()))
            m_customdata.insert(it.key(), it.value());
    }
}

void VUrlRequest::setUserData(const QVariant &value)
{
    m_userData = value;
}

void VUrlRequest::setDefaultTickInterval(int ms)
{
    defaultTick.store(ms > 0 ? ms : kDefaultTickInterval);
}

int VUrlRequest::defaultTickInterval()
{
    return defaultTick.load();
}

QString VUrlRequest::failureText(const QString &message)
{
    // Built as JSON rather than pasted into a template, so a message holding a
    // quote still yields a valid object.
    QJsonObject o;
    o.insert(QStringLiteral("Code"), 99);
    o.insert(QStringLiteral("Msg"), message);
    o.insert(QStringLiteral("transport"), true);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool VUrlRequest::isTransportFailure(const QJsonObject &reply)
{
    return reply.value(QLatin1String("transport")).toBool();
}

void VUrlRequest::setTimeOut()
{
    if (!m_progressed) {
        m_timedOut = true;
        emit signalTimeOut();
    } else {
        m_progressed = false;
    }
}

void VUrlRequest::onUploadProgress(qint64 done, qint64 total)
{
    Q_UNUSED(done)
    Q_UNUSED(total)
    m_progressed = true;
}

// An answer that is still arriving is progress as much as a body going out:
// a large listing on a slow link must not be cut off and asked for again.
void VUrlRequest::onDownloadProgress(qint64 done, qint64 total)
{
    Q_UNUSED(total)
    if (done > 0)
        m_progressed = true;
}

bool VUrlRequest::neverSent(int networkError)
{
    switch (networkError) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
        return true;
    default:
        return false;
    }
}

QJsonObject VUrlRequest::send()
{
    // The pool runs send() on a thread that is not this object's; every
    // connection below is direct so the waits happen on the running thread.
    QTimer timer;
    timer.setInterval(m_tickInterval > 0 ? m_tickInterval : kDefaultTickInterval);
    timer.setSingleShot(false);
    connect(&timer, &QTimer::timeout, this, &VUrlRequest::setTimeOut, Qt::DirectConnection);

    int attemptsLeft = kRetries;
    m_attempts = 0;
    std::unique_ptr<QNetworkAccessManager> manager;
    QNetworkReply *reply = nullptr;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;

    for (;;) {
        m_timedOut = false;
        m_progressed = false;
        ++m_attempts;
        QNetworkAccessManager *through = nullptr;
        if (m_manager && m_attempts == 1) {
            through = m_manager;
        } else {
            manager.reset(VNetworkPolicy::createManager());
            through = manager.get();
        }

        QNetworkRequest request(m_url);
        VNetworkPolicy::apply(request, through);
        request.setAttribute(QNetworkRequest::HttpPipeliningAllowedAttribute, true);
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QStringLiteral("application/x-www-form-urlencoded"));
        if (!m_token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + m_token.toUtf8());
        // The manager sends a post's body in a write of its own; on a
        // kept-alive connection that write waits for the peer's delayed
        // acknowledgement (some 40 ms) every time. A caller's manager is kept
        // for its thread and set-up, not for the connection.
        if (through == m_manager)
            request.setRawHeader("Connection", "close");

        if (m_method == 0) {
            if (!m_query.isEmpty())
                request.setUrl(QUrl(m_url.toString() + QLatin1Char('?') + m_query));
            reply = through->get(request);
        } else {
            reply = through->post(request, m_query.toUtf8());
        }

        QEventLoop loop;
        // finished() always follows errorOccurred(); waiting for it leaves
        // the reply complete, so it is never aborted after its error.
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit, Qt::DirectConnection);
        connect(this, &VUrlRequest::signalTimeOut, &loop, &QEventLoop::quit, Qt::DirectConnection);
        connect(reply, &QNetworkReply::uploadProgress, this, &VUrlRequest::onUploadProgress,
                Qt::DirectConnection);
        connect(reply, &QNetworkReply::downloadProgress, this, &VUrlRequest::onDownloadProgress,
                Qt::DirectConnection);
        // a long reply still arriving is progress too (a whole-disk listing)
        connect(reply, &QNetworkReply::downloadProgress, this, &VUrlRequest::onUploadProgress,
                Qt::DirectConnection);
        timer.start();
        if (!reply->isFinished())
            loop.exec();
        timer.stop();
        disconnect(this, &VUrlRequest::signalTimeOut, &loop, &QEventLoop::quit);

        error = reply->error();
        const bool failed = (error != QNetworkReply::NoError) || m_timedOut;
        const bool mayRetry = m_retryable || (!m_timedOut && neverSent(int(error)));
        if (failed && mayRetry && attemptsLeft-- > 0) {
            reply->disconnect();
            if (reply->isRunning())
                reply->abort();
            QThread::msleep(kRetryDelay);
            delete reply;
            reply = nullptr;
            manager.reset();
            continue;
        }
        if (!failed)
            body = reply->readAll();
        break;
    }

    QString text;
    if (error != QNetworkReply::NoError)
        text = failureText(networkErrorText(int(error)));
    else if (m_timedOut)
        text = failureText(QStringLiteral("请求超时，请稍后重试"));
    else
        text = QString::fromUtf8(body);
    if (text.isEmpty())
        text = failureText(QStringLiteral("未知异常"));

    QJsonObject object = VUtils::toJsonObject(text);

    qCDebug(lcRequest).noquote() << "请求" << redactUrl(m_url);
    qCDebug(lcRequest).noquote() << "参数" << redactQuery(m_query);
    if (m_sensitiveReply)
        qCDebug(lcRequest).noquote() << "返回" << "Code" << object.value(QStringLiteral("Code")).toInt();
    else
        qCDebug(lcRequest).noquote()
            << "返回" << QString::fromUtf8(QJsonDocument(redactObject(object)).toJson(QJsonDocument::Compact));

    object.insert(QStringLiteral("customdata"), m_customdata);

    if (m_userData.isNull())
        emit signalResult(object);
    else
        emit signalResult(object, m_userData);

    if (reply) {
        reply->disconnect();
        if (reply->isRunning())
            reply->abort();
        // Deleted now: nothing would run a deferred delete on a pool thread,
        // and a caller's manager would collect replies until it goes.
        delete reply;
    }
    manager.reset();
    return object;
}

void VUrlRequest::run()
{
    // Api detaches the object from the GUI thread before handing it over, so
    // the pool thread can adopt it and own everything made in send().
    m_handedOver.load(std::memory_order_acquire);
    if (!thread())
        moveToThread(QThread::currentThread());
    send();
}

QString VUrlRequest::redactQuery(const QString &query)
{
    if (query.isEmpty())
        return query;
    QStringList pairs = query.split(QLatin1Char('&'));
    for (QString &pair : pairs) {
        const int eq = pair.indexOf(QLatin1Char('='));
        if (eq > 0 && isSecretKey(pair.left(eq)))
            pair = pair.left(eq + 1) + kMask;
    }
    return pairs.join(QLatin1Char('&'));
}

QString VUrlRequest::redactUrl(const QUrl &url)
{
    if (!url.hasQuery())
        return url.toString();
    QUrl copy(url);
    copy.setQuery(redactQuery(url.query(QUrl::FullyEncoded)), QUrl::StrictMode);
    return copy.toString();
}

QJsonObject VUrlRequest::redactObject(const QJsonObject &object)
{
    QJsonObject out;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (isSecretKey(it.key()) && !it.value().isNull() && !it.value().isUndefined())
            out.insert(it.key(), kMask);
        else
            out.insert(it.key(), redactValue(it.value()));
    }
    return out;
}
