#pragma once

#include <QByteArray>
#include <QIODevice>
#include <atomic>

class VTransferThrottle;

// The body of one upload block: a read-only view of the block buffer that
// hands out bytes only as fast as the shared upload budget allows. The
// multipart writer cannot cope with a part that returns no bytes, so a read
// waits (in short steps) for the budget instead; a stop request ends the
// wait at once with a read error.
class VThrottledDevice : public QIODevice
{
    Q_OBJECT
public:
    VThrottledDevice(const QByteArray &data, VTransferThrottle *throttle,
                     const std::atomic<bool> *stopFlag, QObject *parent = nullptr);

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_data.size(); }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxlen) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    VTransferThrottle *m_throttle;
    const std::atomic<bool> *m_stop;
};
