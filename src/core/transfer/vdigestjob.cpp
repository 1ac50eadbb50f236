#include "transfer/vdigestjob.h"

#include <QDateTime>
#include <QFile>
#include <QThreadPool>
#include <memory>
#include <openssl/evp.h>
#include <vector>

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
    // OpenSSL's SHA-256 (the processor's SHA instructions where it has them)
    // into one reused buffer: a big file's digest is part of its upload time.
    constexpr qint64 kPiece = 4194304;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) {
        if (error)
            *error = QStringLiteral("文件读取失败");
        return QString();
    }
    const qint64 size = f.size();
    std::vector<char> buffer(size_t(qBound<qint64>(4096, size, kPiece)));
    qint64 read = 0;
    for (;;) {
        if (cancel && cancel->load())
            return QString();
        const qint64 n = f.read(buffer.data(), qint64(buffer.size()));
        if (n < 0) {
            if (error)
                *error = QStringLiteral("文件读取失败");
            return QString();
        }
        if (n == 0)
            break;
        EVP_DigestUpdate(ctx.get(), buffer.data(), size_t(n));
        read += n;
        if (progress && size > 0)
            progress(int(qMin<qint64>(100, read * 100 / size)));
    }
    if (cancel && cancel->load())
        return QString();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(ctx.get(), out, &len) != 1) {
        if (error)
            *error = QStringLiteral("文件读取失败");
        return QString();
    }
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(out), int(len)).toHex());
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
