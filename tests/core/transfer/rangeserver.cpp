#include "rangeserver.h"

#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>

RangeServer::RangeServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &RangeServer::onConnection);
}

bool RangeServer::start()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString RangeServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/file").arg(m_server.serverPort());
}

void RangeServer::setMode(Mode mode, qint64 value, int times)
{
    m_mode = mode;
    m_value = value;
    m_times = times;
}

QStringList RangeServer::ranges() const
{
    QMutexLocker l(&m_mutex);
    return m_ranges;
}

QStringList RangeServer::segmentRanges() const
{
    QStringList out;
    for (const QString &r : ranges())
        if (r != QLatin1String("bytes=0-1"))
            out << r;
    return out;
}

void RangeServer::onConnection()
{
    while (QTcpSocket *s = m_server.nextPendingConnection()) {
        auto *buf = new QByteArray;
        connect(s, &QTcpSocket::readyRead, s, [this, s, buf] {
            buf->append(s->readAll());
            const int end = buf->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray req = buf->left(end);
            buf->clear();
            handle(s, req);
        });
        connect(s, &QTcpSocket::disconnected, s, [s, buf] {
            delete buf;
            s->deleteLater();
        });
    }
}

void RangeServer::handle(QTcpSocket *s, const QByteArray &request)
{
    QByteArray range;
    for (const QByteArray &line : request.split('\n')) {
        if (line.toLower().startsWith("range:"))
            range = line.mid(6).trimmed();
    }
    {
        QMutexLocker l(&m_mutex);
        m_ranges << QString::fromLatin1(range);
    }
    const bool probe = range == "bytes=0-1";
    Mode mode = Normal;
    if (m_mode == ProbeStall || m_mode == ZeroSize || m_mode == NoContentRange || m_mode == NotFound) {
        mode = probe || m_mode == NotFound ? m_mode : Normal;
    } else if (!probe && m_times != 0) {
        mode = m_mode;
        if (m_times > 0)
            --m_times;
    }
    if (mode == ProbeStall)
        return; // keep the connection open and silent
    if (mode == NotFound) {
        s->write("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found");
        s->disconnectFromHost();
        return;
    }

    QFile f(m_path);
    f.open(QIODevice::ReadOnly);
    const qint64 size = f.size();
    qint64 first = 0, last = size - 1;
    bool ranged = false;
    static const QRegularExpression re(QStringLiteral("bytes=(\\d+)-(\\d*)"));
    const auto m = re.match(QString::fromLatin1(range));
    if (m.hasMatch()) {
        ranged = true;
        first = m.captured(1).toLongLong();
        if (!m.captured(2).isEmpty())
            last = qMin(size - 1, m.captured(2).toLongLong());
    }
    QByteArray head;
    if (mode == ZeroSize) {
        head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-1/0\r\nContent-Length: 0\r\n";
        first = 0;
        last = -1;
    } else if (mode == NoContentRange) {
        head = "HTTP/1.1 206 Partial Content\r\n";
        last = qMin<qint64>(last, 1);
    } else if (mode == IgnoreRange || !ranged) {
        first = 0;
        last = size - 1;
        head = "HTTP/1.1 200 OK\r\n";
    } else if (first >= size) {
        head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + QByteArray::number(size)
               + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        s->write(head);
        s->disconnectFromHost();
        return;
    } else {
        if (mode == WrongRange)
            first = qMin(first + 1, last);
        if (mode == ShortRange)
            last = qMin(last, first + m_value - 1);
        head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(first) + '-'
               + QByteArray::number(last) + '/' + QByteArray::number(size) + "\r\n";
    }
    const qint64 len = qMax<qint64>(0, last - first + 1);
    head += "Content-Length: " + QByteArray::number(len) + "\r\nConnection: close\r\n";
    if (!m_disposition.isEmpty())
        head += "Content-Disposition: " + m_disposition + "\r\n";
    head += "\r\n";
    s->write(head);
    qint64 send = len;
    if (mode == DropAfter || mode == StallAfter)
        send = qMin(len, m_value);
    f.seek(first);
    qint64 left = send;
    while (left > 0) {
        const QByteArray chunk = f.read(qMin<qint64>(left, 1 << 20));
        if (chunk.isEmpty())
            break;
        s->write(chunk);
        left -= chunk.size();
    }
    if (mode == StallAfter)
        return;
    s->disconnectFromHost();
}
