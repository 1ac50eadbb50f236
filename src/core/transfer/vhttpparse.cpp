#include "transfer/vhttpparse.h"

#include "utils/vfilename.h"

#include <QList>
#include <QRegularExpression>

bool parseHttpResponse(QByteArray &buffer, bool atEof, HttpResponse &out)
{
    for (;;) {
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
        out.status = status.value(1).toInt();
        out.keepAlive = status.value(0) == "HTTP/1.1";
        if (out.status == 100) { // an interim answer: drop it and wait for the real one
            buffer.remove(0, end + 4);
            continue;
        }
        qint64 length = -1;
        bool chunked = false;
        for (int i = 1; i < lines.size(); ++i) {
            const QByteArray l = lines.at(i).trimmed();
            const int colon = l.indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = l.left(colon).trimmed().toLower();
            const QByteArray value = l.mid(colon + 1).trimmed();
            if (name == "content-length")
                length = value.toLongLong();
            else if (name == "connection")
                out.keepAlive = !value.toLower().contains("close");
            else if (name == "transfer-encoding" && value.toLower().contains("chunked"))
                chunked = true;
        }
        const QByteArray rest = buffer.mid(end + 4);
        if (chunked) {
            QByteArray body;
            int pos = 0;
            for (;;) {
                const int nl = rest.indexOf("\r\n", pos);
                if (nl < 0)
                    return false;
                bool ok = false;
                const qint64 size = rest.mid(pos, nl - pos).split(';').value(0).trimmed().toLongLong(&ok, 16);
                if (!ok || size < 0)
                    return atEof;
                if (size == 0) {
                    out.body = body;
                    return true;
                }
                // compared before any sum, so that a huge size cannot overflow
                if (size > rest.size() - (nl + 2) - 2)
                    return false;
                body += rest.mid(nl + 2, int(size));
                pos = nl + 2 + int(size) + 2;
            }
        }
        if (length >= 0) {
            if (rest.size() < length)
                return false;
            out.body = rest.left(int(length));
            return true;
        }
        out.body = rest;
        return atEof;
    }
}

ContentRange parseContentRange(const QByteArray &raw)
{
    ContentRange r;
    static const QRegularExpression full(QStringLiteral("^\\s*bytes\\s+(\\d+)\\s*-\\s*(\\d+)\\s*/\\s*(\\d+)\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression star(QStringLiteral("^\\s*bytes\\s+\\*\\s*/\\s*(\\d+)\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString text = QString::fromLatin1(raw);
    auto m = full.match(text);
    if (m.hasMatch()) {
        bool a, b, c;
        r.first = m.captured(1).toLongLong(&a);
        r.last = m.captured(2).toLongLong(&b);
        r.total = m.captured(3).toLongLong(&c);
        r.ok = a && b && c && r.first <= r.last && r.last < r.total;
        return r;
    }
    m = star.match(text);
    if (m.hasMatch()) {
        bool c;
        r.total = m.captured(1).toLongLong(&c);
        r.ok = c;
        r.unsatisfied = true;
    }
    return r;
}

QString fileNameFromDisposition(const QByteArray &value)
{
    // RFC 6266 extended form first: filename*=UTF-8''percent-encoded
    static const QRegularExpression ext(QStringLiteral("filename\\*\\s*=\\s*([^';]*)'[^']*'([^;]*)"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression plain(QStringLiteral("filename\\s*=\\s*(\"[^\"]*\"|[^;]*)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QString text = QString::fromUtf8(value);
    auto m = ext.match(text);
    if (m.hasMatch()) {
        const QString charset = m.captured(1).trimmed();
        const QByteArray bytes = QByteArray::fromPercentEncoding(m.captured(2).trimmed().toLatin1());
        const QString name = charset.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0
                                 ? QString::fromUtf8(bytes)
                                 : QString::fromLatin1(bytes);
        const QString clean = cleanFileName(name);
        if (!clean.isEmpty())
            return clean;
    }
    m = plain.match(text);
    if (m.hasMatch())
        return cleanFileName(m.captured(1));
    return QString();
}
