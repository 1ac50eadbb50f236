#ifndef VURLREQUEST_H
#define VURLREQUEST_H

#include <QJsonObject>
#include <QObject>
#include <QRunnable>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <atomic>

class QNetworkAccessManager;

// One HTTP exchange with the servers. Every answer, failures included, comes
// back as a JSON object in the common envelope: transport failures become
// {"Code":99,"Msg":"..."}. The caller's context always returns under
// "customdata".
//
// Asynchronous use: create with new and no parent, connect one signalResult
// overload, hand it to Api::startApi (the pool runs and deletes it).
// Synchronous use: a local object, call send() once.
class VUrlRequest : public QObject, public QRunnable
{
    Q_OBJECT
public:
    explicit VUrlRequest(QObject *parent = nullptr);
    ~VUrlRequest() override;

    void setRequest(int method, const QUrl &url, const QString &token, const QString &query);
    void setRequest(int method, const QUrl &url);
    void setCustomData(int type, int wptype, const QString &msg, const QString &path);
    void addCustomData(const QJsonObject &object);
    void setUserData(const QVariant &value);

    int method() const { return m_method; }
    QUrl url() const { return m_url; }
    QString query() const { return m_query; }
    bool hasToken() const { return !m_token.isEmpty(); }
    QJsonObject customData() const { return m_customdata; }
    QVariant userData() const { return m_userData; }

    // Replies whose payload is itself a secret (the sign-in token) are logged
    // with their code only.
    void setSensitiveReply(bool sensitive) { m_sensitiveReply = sensitive; }

    // The progress tick: a request times out when one tick passes with no
    // progress: no answer, and nothing sent or received. 3000 ms unless changed; tests shorten it
    // process-wide with setDefaultTickInterval.
    void setTickInterval(int ms) { m_tickInterval = ms; }
    int tickInterval() const { return m_tickInterval; }
    static void setDefaultTickInterval(int ms);
    static int defaultTickInterval();
    static constexpr int kDefaultTickInterval = 3000;
    static constexpr int kRetryDelay = 200;
    static constexpr int kRetries = 2;

    // Sends the first attempt through the caller's manager (made by
    // VNetworkPolicy::createManager on the calling thread and outliving the
    // request), so a worker that polls in a loop keeps its manager
    // instead of setting up a manager each pass; such requests ask the
    // server to close the connection after answering. Retries still use a
    // fresh manager. Null (the default): every attempt gets its own.
    void setManager(QNetworkAccessManager *manager) { m_manager = manager; }

    // Attempts made by the last send().
    int attempts() const { return m_attempts; }

    // A request that changes state on the server (an act, a registration, a
    // password change) must not be carried out twice: once it may have
    // reached the server (a time-out, a closed connection, an error answer)
    // it is not sent again and the caller gets the failure. It is retried
    // only when the exchange failed before anything was sent (refused
    // connection, unknown host, failed handshake). Reads keep their retries.
    void setRetryable(bool on) { m_retryable = on; }
    bool isRetryable() const { return m_retryable; }
    // True when the failure shows the request never left the client.
    static bool neverSent(int networkError);

    QJsonObject send();
    void run() override;
    // Called by the thread that set the request up, right before a pool
    // takes it: everything set so far is published to the thread that runs
    // it. The pool orders this too, but under locks inside Qt that the
    // thread checker cannot see; this pair it can.
    void handOver() { m_handedOver.store(true, std::memory_order_release); }

    // The reply text of a transport failure.
    static QString failureText(const QString &message);
    // True for the replies made here because no answer came (network error,
    // time-out, HTTP error status): they carry "Code" 99 like a refusal, and
    // a mark the servers never send.
    static bool isTransportFailure(const QJsonObject &reply);

    // Log forms with secrets masked: password fields, tokens, "tk=".
    static QString redactQuery(const QString &query);
    static QString redactUrl(const QUrl &url);
    static QJsonObject redactObject(const QJsonObject &object);

signals:
    void signalResult(const QJsonObject &result);
    void signalResult(const QJsonObject &result, const QVariant &userData);
    void signalTimeOut();

public slots:
    void setTimeOut();
    void onUploadProgress(qint64 done, qint64 total);
    void onDownloadProgress(qint64 done, qint64 total);

private:
    int m_method = 0;
    QUrl m_url;
    QString m_token;
    QString m_query;
    bool m_timedOut = false;
    bool m_progressed = false;
    QJsonObject m_customdata;
    QVariant m_userData;
    bool m_sensitiveReply = false;
    int m_tickInterval;
    int m_attempts = 0;
    bool m_retryable = true;
    QNetworkAccessManager *m_manager = nullptr;
    std::atomic<bool> m_handedOver{false};
};

#endif // VURLREQUEST_H
