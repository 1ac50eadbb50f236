#include "backup/vbackupjob.h"

#include "transfer/vdownloadfile.h"

VBackupJob::VBackupJob(const QString &id, QObject *parent) : QObject(parent), m_id(id)
{
    m_thread.setObjectName(QStringLiteral("backup-download"));
}

VBackupJob::~VBackupJob()
{
    stopAndWait();
}

void VBackupJob::start(const QString &url, const QString &target, const QString &suffix)
{
    m_worker = new VDownloadFile;
    m_worker->setUrl(url);
    m_worker->setLocalPath(target);
    m_worker->setSuffixId(suffix);
    m_worker->setAutoRename(false);
    m_worker->setKeepName(true);
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &VDownloadFile::signalDownloadProcess, this, [this](qint64 done, qint64 total) {
        // rows only need whole percents
        const int percent = total > 0 ? int(done * 100 / total) : 0;
        if (percent != m_lastPercent) {
            m_lastPercent = percent;
            emit progress(m_id, done, total);
        }
    });
    connect(m_worker, &VDownloadFile::signalReplyError, this, [this](const QString &m) {
        if (m_error.isEmpty())
            m_error = m;
    });
    connect(m_worker, &VDownloadFile::signalReplyFinished, this, [this](const QString &) { m_ok = true; });
    // The worker's thread ends as soon as the worker has stopped, so that
    // joining it never depends on this thread's event loop.
    QThread *thread = &m_thread;
    connect(m_worker, &VDownloadFile::signalIsStop, m_worker, [thread] { thread->quit(); }, Qt::DirectConnection);
    connect(m_worker, &VDownloadFile::signalIsStop, this, &VBackupJob::onStopped);
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, "run", Qt::QueuedConnection);
}

void VBackupJob::stop(bool dropPartial)
{
    if (!m_worker || m_ended)
        return;
    m_stopped = true;
    if (dropPartial)
        m_worker->setDeletePartial(true);
    QMetaObject::invokeMethod(m_worker, "stopWorkByThread", Qt::QueuedConnection);
}

void VBackupJob::stopAndWait()
{
    if (!m_worker)
        return;
    if (!m_ended)
        stop(false);
    if (m_worker->isFinished())
        m_thread.quit();
    m_thread.wait();
    m_ended = true;
    delete m_worker;
    m_worker = nullptr;
}

void VBackupJob::onStopped()
{
    if (m_ended)
        return;
    m_ended = true;
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
    m_worker = nullptr;
    const bool ok = m_ok && !m_stopped;
    emit ended(m_id, ok, ok ? QString() : (m_error.isEmpty() && !m_stopped ? QStringLiteral("下载失败") : m_error));
}
