#pragma once
#include <atomic>

#include <QCryptographicHash>
#include <QFile>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>
#include <QThread>

// Runs one transfer worker on a thread of its own, the way a transfer row
// does, and collects what it reports (queued to the test's thread).
template <typename Worker>
class WorkerRun
{
public:
    explicit WorkerRun(Worker *w) : worker(w)
    {
        worker->moveToThread(&thread);
        QObject::connect(worker, &Worker::signalReplyError, &context,
                         [this](const QString &m) { errors << m; });
        QObject::connect(worker, &Worker::signalIsStop, &context, [this] { stopped = true; });
        // Said by the worker's thread as it ends, read after the join: the
        // thread checker sees the hand-over of the worker that Qt's join
        // makes under locks of its own.
        QObject::connect(
            &thread, &QThread::finished, &context, [this] { ended.store(true, std::memory_order_release); },
            Qt::DirectConnection);
    }
    ~WorkerRun()
    {
        thread.quit();
        thread.wait();
        ended.load(std::memory_order_acquire);
        delete worker;
    }
    // The thread starts here, after everything set up so far (connections
    // included): its start is a hand-over the thread checker sees.
    void start()
    {
        thread.start();
        QMetaObject::invokeMethod(worker, "run", Qt::QueuedConnection);
    }

    Worker *worker;
    QThread thread;
    QObject context;
    QStringList errors;
    bool stopped = false;
    std::atomic<bool> ended{false};
};

inline QByteArray fileSha256(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result().toHex();
}

// A file of `size` pseudo-random bytes (the same for the same seed).
inline bool makeFile(const QString &path, qint64 size, quint32 seed = 1)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QRandomGenerator gen(seed);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    qint64 left = size;
    while (left > 0) {
        const int n = int(qMin<qint64>(left, chunk.size()));
        gen.fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
        if (f.write(chunk.constData(), n) != n)
            return false;
        left -= n;
    }
    return true;
}
