#include "transfer/vdigestjob.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QThreadPool>

VDigestJob::VDigestJob(const QString &path, int generation, CancelFlag cancel)
    : m_path(path), m_generation(generation), m_cancel(std::move(cancel))
{
}

VDigestJob::~VDigestJob()
{
    // The job is deleted on its own thread after the pool thread's
    // deleteLater(); Qt orders the two under locks of its own that a thread
    // checker cannot see. This pair shows it that the pool thread is done
    // with the object (its reports read it) before it is freed.
    m_reported.load(std::memory_order_acquire);
}

VDigestJob *VDigestJob::create(const QString &path, int generation, CancelFlag cancel)
{
    return new VDigestJob(path, generation, std::move(cancel));
}

QString VDigestJob::digest(const QString &path, const std::atomic<bool> *cancel, QString *error,
                           const std::function<void(int)> &progress)
{
    QFile f(path);
    if (!f.exists()) {
        if (error)
            *error = QStringLiteral("文件不存在");
        return QString();
    }
    // Read-only: computing a digest must not need (or take) write access.
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("文件读取失败");
        return QString();
    }
    constexpr qint64 kPiece = 10485760;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer;
    const qint64 size = f.size();
    qint64 read = 0;
    while (!f.atEnd()) {
        if (cancel && cancel->load())
            return QString();
        buffer = f.read(kPiece);
        if (buffer.isEmpty() && f.error() != QFileDevice::NoError) {
            if (error)
                *error = QStringLiteral("文件读取失败");
            return QString();
        }
        if (buffer.isEmpty())
            break;
        hash.addData(buffer);
        read += buffer.size();
        if (progress && size > 0)
            progress(int(qMin<qint64>(100, read * 100 / size)));
    }
    if (cancel && cancel->load())
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

namespace {
// Orders a job's set-up on its own thread before its run on the pool thread
// for a thread checker: Qt hands a job to a pool thread under locks of its
// own that such a checker cannot see.
std::atomic<unsigned> g_handOver{0};
} // namespace

void VDigestJob::run()
{
    g_handOver.fetch_add(1, std::memory_order_release);
    // The call carries the job's address only (stored inside Qt's own task):
    // QtConcurrent's task object, built here and read there, would be one
    // more hand-over that checker cannot follow.
    QThreadPool::globalInstance()->start([this] {
        g_handOver.load(std::memory_order_acquire);
        qint64 lastMs = 0;
        int lastPercent = -1;
        QString error;
        const QString d = digest(m_path, m_cancel.get(), &error, [&](int percent) {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (percent != lastPercent && now - lastMs > 1000) {
                lastPercent = percent;
                lastMs = now;
                emit signalProgress(m_generation, percent);
            }
        });
        emit signalFinished(m_generation, d, error, d.isEmpty() && error.isEmpty());
        m_reported.store(true, std::memory_order_release);
        deleteLater();
    });
}
