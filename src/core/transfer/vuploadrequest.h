#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QUrl>

class QTcpSocket;
class QTimer;
class VTransferThrottle;

// One block post: a multipart form (the file part, then text fields) sent
// straight over a socket. The network access manager moves request bodies
// between threads in 16 KiB steps, which caps an upload far below what the
// link and the upload server manage; here the block goes out in large
// writes, paced by the shared upload budget without blocking the thread,
// and a stop closes the socket at once. Successive posts through one object
// to the same server share a kept-alive connection; a post on a connection
// the server closed meanwhile goes again on a new one.
class VUploadRequest : public QObject
{
    Q_OBJECT
public:
    using Fields = QList<QPair<QByteArray, QByteArray>>;

    explicit VUploadRequest(VTransferThrottle *throttle, QObject *parent = nullptr);
    ~VUploadRequest() override;

    // Starts the post. fileHeader is the file part's Content-Disposition value.
    void post(const QUrl &url, const QByteArray &token, const QByteArray &fileHeader, const QByteArray &block,
              const Fields &fields);
    // Closes the connection; no signal follows.
    void abort();

    bool isRunning() const { return m_running; }
    bool isFinished() const { return m_done; }
    QNetworkReply::NetworkError error() const { return m_error; }
    int httpStatus() const { return m_status; }
    QByteArray readAll() const { return m_body; }
    // The whole request body (form) size, as upload progress reports it.
    qint64 formSize() const { return m_formSize; }

signals:
    void uploadProgress(qint64 sent, qint64 total);
    void finished();
    void errorOccurred(QNetworkReply::NetworkError code);

private:
    void onConnected();
    void pumpBody();
    void onBytesWritten(qint64 n);
    qint64 pending() const;
    void onReadyRead();
    void onSocketError();
    void onDisconnected();
    bool parseResponse(bool atEof);
    void connectSocket();
    void dropSocket();
    bool retryFresh();
    void finish(QNetworkReply::NetworkError err);
    static QNetworkReply::NetworkError errorForStatus(int status);

    VTransferThrottle *m_throttle;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_pace = nullptr;
    QUrl m_url;
    QString m_origin;       // scheme, host and port the socket is connected to
    bool m_reused = false;  // this post went out on a kept-alive connection
    bool m_keep = false;    // the server lets the connection stay open
    QByteArray m_head;  // request line, headers and the file part's header
    QByteArray m_block; // the file bytes
    QByteArray m_tail;  // end of the file part, the text fields, the closing boundary
    qint64 m_formSize = 0;
    qint64 m_headerSize = 0; // request line and headers before the form
    qint64 m_queued = 0;     // bytes handed to the socket
    qint64 m_lastProgress = 0; // form bytes last reported as sent
    bool m_ready = false;      // connected (and encrypted): the head may go
    qint64 m_blockQueued = 0;
    bool m_tailQueued = false;
    QByteArray m_response;
    QByteArray m_body;
    int m_status = 0;
    bool m_running = false;
    bool m_done = false;
    bool m_inError = false;
    QNetworkReply::NetworkError m_error = QNetworkReply::NoError;
};
