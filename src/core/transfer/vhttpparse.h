#pragma once
// The transfer workers' readers of what a server sends: an HTTP response read
// straight off a socket, the Content-Range of a segment and the file name of
// a Content-Disposition. Pure functions of their input, so that they can be
// tried with any bytes.
#include <QByteArray>
#include <QString>

struct HttpResponse
{
    int status = 0;
    bool keepAlive = false; // the server lets the connection stay open
    QByteArray body;
};

// Reads one response from the front of buffer. True once the whole response
// is there (status line, headers and body; with atEof, whatever body came
// before the connection closed). Interim "100 Continue" answers are removed
// from buffer as they are read.
bool parseHttpResponse(QByteArray &buffer, bool atEof, HttpResponse &out);

struct ContentRange
{
    bool ok = false;
    bool unsatisfied = false; // "bytes */N"
    qint64 first = 0, last = 0, total = 0;
};

// "bytes a-b/N" (ok only when a <= b < N) or "bytes */N".
ContentRange parseContentRange(const QByteArray &raw);

// The plain file name a Content-Disposition value names (the extended
// filename* form first), reduced to one safe path element; empty when there
// is none or nothing safe is left.
QString fileNameFromDisposition(const QByteArray &value);
