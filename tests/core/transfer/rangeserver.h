#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP server over one local file for the download tests: correct
// range answers by default, and the misbehaviours a real server may show
// (range ignored, another range, dropped or stalled connections, errors).
class RangeServer : public QObject
{
    Q_OBJECT
public:
    enum Mode {
        Normal,
        IgnoreRange,   // 200 with the whole file
        WrongRange,    // 206 starting one byte after the asked start
        DropAfter,     // close the connection after `value` body bytes
        StallAfter,    // send `value` body bytes, then nothing
        NotFound,      // 404
        ProbeStall,    // never answer a request for bytes 0-1
        ZeroSize,      // 206 with a size of 0
        NoContentRange, // 206 without Content-Range
        ShortRange     // 206 with at most `value` bytes of the asked range
    };

    explicit RangeServer(QObject *parent = nullptr);
    bool start();
    QString url() const;

    void setFile(const QString &path) { m_path = path; }
    // Applies to requests with a non-probe range once `afterRequests`
    // segment requests have been served normally (-1: to every request).
    void setMode(Mode mode, qint64 value = 0, int times = -1);
    void setDisposition(const QByteArray &value) { m_disposition = value; }

    QStringList ranges() const;        // Range headers in arrival order
    QStringList segmentRanges() const; // the same without the probes

private:
    void onConnection();
    void handle(QTcpSocket *s, const QByteArray &request);

    QTcpServer m_server;
    QString m_path;
    Mode m_mode = Normal;
    qint64 m_value = 0;
    int m_times = -1;
    QByteArray m_disposition;
    mutable QMutex m_mutex;
    QStringList m_ranges;
};
