#include "transfer/vuploadrequest.h"

#include <QLoggingCategory>
#include <QSslSocket>
#include <QTimer>

#include "request/vnetworkpolicy.h"
#include "transfer/vhttpparse.h"
#include "transfer/vtransferthrottle.h"
#include "utils/vutils.h"

Q_LOGGING_CATEGORY(lcUploadRequest, "orvel.transfer.uploadrequest")

namespace {
constexpr qint64 kChunk = 1024 * 1024;
constexpr qint64 kSocketFill = 4 * 1024 * 1024; // keep this much queued at most
} // namespace

VUploadRequest::VUploadRequest(VTransferThrottle *throttle, QObject *parent) : QObject(parent), m_throttle(throttle)
{
    m_pace = new QTimer(this);
    m_pace->setSingleShot(true);
    connect(m_pace, &QTimer::timeout, this, &VUploadRequest::pumpBody);
}

VUploadRequest::~VUploadRequest()
{
    abort();
}

void VUploadRequest::post(const QUrl &url, const QByteArray &token, const QByteArray &fileHeader,
                          const QByteArray &block, const Fields &fields)
{
    const QByteArray boundary = "----orvel" + VUtils::uuid().toLatin1();
    QByteArray formHead = "--" + boundary + "\r\nContent-Disposition: " + fileHeader + "\r\n\r\n";
    m_tail = "\r\n";
    for (const auto &f : fields) {
        m_tail += "--" + boundary + "\r\nContent-Type: text/plain\r\nContent-Disposition: form-data; name=\"" + f.first
                  + "\";\r\n\r\n" + f.second + "\r\n";
    }
    m_tail += "--" + boundary + "--\r\n";
    m_block = block;
    m_formSize = formHead.size() + m_block.size() + m_tail.size();

    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    const bool tls = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const int port = url.port(tls ? 443 : 80);
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() > 0)
        host += ':' + QByteArray::number(port);
    m_head = "POST " + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    if (!token.isEmpty())
        m_head += "Authorization: Bearer " + token + "\r\n";
    m_head += "Content-Type: multipart/form-data; boundary=" + boundary + "\r\nContent-Length: "
              + QByteArray::number(m_formSize) + "\r\nUser-Agent: OrvelNetdisk\r\n\r\n";
    m_headerSize = m_head.size();
    m_head += formHead;

    m_queued = m_blockQueued = 0;
    m_tailQueued = false;
    m_lastProgress = 0;
    m_response.clear();
    m_body.clear();
    m_status = 0;
    m_error = QNetworkReply::NoError;
    m_done = false;
    m_keep = false;
    m_running = true;
    m_url = url;

    const QString origin = url.scheme().toLower() + QLatin1Char('|') + url.host() + QLatin1Char('|') + QString::number(port);
    if (m_socket && m_origin == origin && m_socket->state() == QAbstractSocket::ConnectedState
        && m_socket->bytesAvailable() == 0 && pending() == 0) {
        m_reused = true;
        onConnected();
        return;
    }
    dropSocket();
    m_origin = origin;
    connectSocket();
}

void VUploadRequest::connectSocket()
{
    m_reused = false;
    m_ready = false;
    const QUrl &url = m_url;
    const bool tls = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const int port = url.port(tls ? 443 : 80);
    if (tls) {
        auto *ssl = new QSslSocket(this);
        ssl->setSslConfiguration(VNetworkPolicy::sslConfiguration(VNetworkPolicy::insecure(),
                                                                  VNetworkPolicy::caBundlePath()));
        ssl->setPeerVerifyName(url.host());
        m_socket = ssl;
        connect(ssl, &QSslSocket::encrypted, this, &VUploadRequest::onConnected);
        connect(ssl, QOverload<const QList<QSslError> &>::of(&QSslSocket::sslErrors), this,
                [this](const QList<QSslError> &errors) {
                    qCWarning(lcUploadRequest) << "TLS" << errors;
                    finish(QNetworkReply::SslHandshakeFailedError);
                });
        // The handshake's own writes report as encryptedBytesWritten before
        // the channel is up; plain bytes handed on count as bytesWritten.
        connect(ssl, &QSslSocket::encryptedBytesWritten, this, &VUploadRequest::onBytesWritten);
        connect(ssl, &QSslSocket::bytesWritten, this, &VUploadRequest::onBytesWritten);
    } else {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::connected, this, &VUploadRequest::onConnected);
        connect(m_socket, &QTcpSocket::bytesWritten, this, &VUploadRequest::onBytesWritten);
    }
    connect(m_socket, &QTcpSocket::readyRead, this, &VUploadRequest::onReadyRead);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &VUploadRequest::onSocketError);
    connect(m_socket, &QTcpSocket::disconnected, this, &VUploadRequest::onDisconnected);
    if (tls)
        static_cast<QSslSocket *>(m_socket)->connectToHostEncrypted(url.host(), quint16(port));
    else
        m_socket->connectToHost(url.host(), quint16(port));
}

void VUploadRequest::abort()
{
    m_pace->stop();
    dropSocket();
    m_running = false;
}

void VUploadRequest::dropSocket()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

// A kept-alive connection the server closed before it answered anything:
// the post goes again on a new connection, once.
bool VUploadRequest::retryFresh()
{
    if (!m_reused || !m_response.isEmpty() || !m_socket || m_socket->bytesAvailable() > 0)
        return false;
    qCDebug(lcUploadRequest) << "kept connection closed, posting again on a new one";
    dropSocket();
    m_queued = m_blockQueued = 0;
    m_tailQueued = false;
    m_lastProgress = 0;
    connectSocket();
    return true;
}

void VUploadRequest::onConnected()
{
    m_ready = true;
    if (!m_reused)
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->write(m_head);
    m_queued += m_head.size();
    pumpBody();
}

// Bytes handed to the socket that have not left it yet. A TLS socket holds
// plain bytes waiting for encryption and encrypted bytes waiting for the
// wire (those include the records' overhead, so the figure errs high).
qint64 VUploadRequest::pending() const
{
    if (!m_socket)
        return 0;
    qint64 n = m_socket->bytesToWrite();
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket))
        n += ssl->encryptedBytesToWrite();
    return n;
}

void VUploadRequest::pumpBody()
{
    // Nothing goes out before the head: a TLS socket reports the handshake's
    // writes before it is encrypted, and what is written then would be sent
    // ahead of the request line.
    if (!m_socket || !m_running || !m_ready)
        return;
    while (m_blockQueued < m_block.size() && pending() < kSocketFill) {
        qint64 want = qMin(kChunk, m_block.size() - m_blockQueued);
        want = m_throttle ? m_throttle->tryAcquire(want) : want;
        if (want <= 0) {
            m_pace->start(qMax(1, m_throttle->msUntilAvailable()));
            return;
        }
        m_socket->write(m_block.constData() + m_blockQueued, want);
        m_blockQueued += want;
        m_queued += want;
    }
    if (m_blockQueued >= m_block.size() && !m_tailQueued) {
        m_socket->write(m_tail);
        m_queued += m_tail.size();
        m_tailQueued = true;
    }
}

void VUploadRequest::onBytesWritten(qint64)
{
    if (!m_ready)
        return;
    const qint64 sent = qBound<qint64>(0, m_queued - pending() - m_headerSize, m_formSize);
    if (sent > m_lastProgress) {
        m_lastProgress = sent;
        emit uploadProgress(sent, m_formSize);
    }
    pumpBody();
}

void VUploadRequest::onReadyRead()
{
    if (!m_running) {
        // Bytes on an idle connection: it is not fit to carry another post.
        m_socket->readAll();
        m_origin.clear();
        return;
    }
    m_response += m_socket->readAll();
    if (parseResponse(false))
        finish(errorForStatus(m_status));
}

// True once the whole response is here (status, headers and body).
bool VUploadRequest::parseResponse(bool atEof)
{
    HttpResponse r{m_status, m_keep, m_body};
    const bool done = parseHttpResponse(m_response, atEof, r);
    m_status = r.status;
    m_keep = r.keepAlive;
    m_body = r.body;
    return done;
}

void VUploadRequest::onSocketError()
{
    if (!m_running || m_inError)
        return;
    const QAbstractSocket::SocketError e = m_socket->error();
    if (e == QAbstractSocket::RemoteHostClosedError && retryFresh())
        return;
    if (e == QAbstractSocket::RemoteHostClosedError) {
        // A server may answer before it has read the whole body and then
        // close; a write can then fail while its answer still waits in the
        // socket. When the socket is still open here, take that answer first.
        if (!m_inError && m_socket->socketDescriptor() != -1
            && m_socket->state() == QAbstractSocket::ConnectedState) {
            m_inError = true;
            m_socket->waitForReadyRead(0);
            m_inError = false;
        }
        onDisconnected();
        return;
    }
    QNetworkReply::NetworkError err = QNetworkReply::UnknownNetworkError;
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError: err = QNetworkReply::ConnectionRefusedError; break;
    case QAbstractSocket::HostNotFoundError: err = QNetworkReply::HostNotFoundError; break;
    case QAbstractSocket::SocketTimeoutError: err = QNetworkReply::TimeoutError; break;
    case QAbstractSocket::SslHandshakeFailedError: err = QNetworkReply::SslHandshakeFailedError; break;
    case QAbstractSocket::NetworkError: err = QNetworkReply::NetworkSessionFailedError; break;
    default: break;
    }
    qCDebug(lcUploadRequest) << "socket error" << e << m_socket->errorString();
    finish(err);
}

void VUploadRequest::onDisconnected()
{
    if (!m_running)
        return;
    if (m_socket)
        m_response += m_socket->readAll();
    if (parseResponse(true)) {
        m_keep = false;
        finish(errorForStatus(m_status));
    } else if (!retryFresh()) {
        finish(QNetworkReply::RemoteHostClosedError);
    }
}

void VUploadRequest::finish(QNetworkReply::NetworkError err)
{
    if (!m_running)
        return;
    m_running = false;
    m_done = true;
    m_error = err;
    m_pace->stop();
    // A whole answer on a connection the server keeps open: the next post
    // may go out on it. Anything else closes it.
    const bool keep = err == QNetworkReply::NoError && m_keep && m_socket
        && m_socket->state() == QAbstractSocket::ConnectedState && m_tailQueued;
    if (!keep)
        dropSocket();
    if (err != QNetworkReply::NoError)
        emit errorOccurred(err);
    emit finished();
}

QNetworkReply::NetworkError VUploadRequest::errorForStatus(int status)
{
    // The same mapping the network access manager applies.
    if (status < 400)
        return QNetworkReply::NoError;
    switch (status) {
    case 401: return QNetworkReply::AuthenticationRequiredError;
    case 403: return QNetworkReply::ContentAccessDenied;
    case 404: return QNetworkReply::ContentNotFoundError;
    case 405: return QNetworkReply::ContentOperationNotPermittedError;
    case 407: return QNetworkReply::ProxyAuthenticationRequiredError;
    case 409: return QNetworkReply::ContentConflictError;
    case 410: return QNetworkReply::ContentGoneError;
    case 418: return QNetworkReply::ProtocolInvalidOperationError;
    case 500: return QNetworkReply::InternalServerError;
    case 501: return QNetworkReply::OperationNotImplementedError;
    case 503: return QNetworkReply::ServiceUnavailableError;
    default: return status < 500 ? QNetworkReply::UnknownContentError : QNetworkReply::UnknownServerError;
    }
}
