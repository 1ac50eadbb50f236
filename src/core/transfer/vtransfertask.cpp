#include "transfer/vtransfertask.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <atomic>
#include <memory>

#include "DB/db_self.h"
#include "transfer/vglobalconnect.h"
#include "transfer/vglobalqueue.h"

Q_LOGGING_CATEGORY(lcTask, "orvel.transfer.task")

namespace {

// Joins and deletes ended worker threads on the GUI thread, also for tasks
// that were deleted while their worker still ran.
QObject *reaper()
{
    static QObject *r = new QObject;
    return r;
}

QSet<QThread *> &liveThreads()
{
    static QSet<QThread *> set;
    return set;
}

} // namespace

VTransferTask::VTransferTask(const M_db_file &record, db_self *store, QObject *parent)
    : QObject(parent), m_file(record), m_store(store)
{
}

VTransferTask::~VTransferTask()
{
    // The worker is told to stop; the reaper deletes it with its thread when
    // the thread has ended.
    m_worker = nullptr;
    m_thread = nullptr;
}

bool VTransferTask::isActive() const
{
    const int s = status();
    return s == Downloading || s == Uploading || s == Stopping || s == Preparing || s == Waiting;
}

int VTransferTask::liveWorkerThreads() { return liveThreads().size(); }

bool VTransferTask::waitWorkerThreads(int ms)
{
    QDeadlineTimer deadline(ms);
    const QSet<QThread *> threads = liveThreads();
    for (QThread *t : threads) {
        if (!t->wait(deadline))
            return false;
    }
    // Let the reaper run for the threads that ended.
    QCoreApplication::sendPostedEvents(reaper());
    return true;
}

void VTransferTask::setStatus(int status)
{
    if (m_file.status == status)
        return;
    m_file.status = status;
    emit signalStatusChanged(status);
}

void VTransferTask::setError(const QString &message)
{
    m_file.error = message;
}

QString VTransferTask::stateText(bool upload, int status, const QString &error)
{
    const QString verb = upload ? QStringLiteral("上传") : QStringLiteral("下载");
    switch (status) {
    case Stopped:
        return QStringLiteral("暂停");
    case Waiting:
        return QStringLiteral("等待") + verb;
    case Preparing:
        return verb + QStringLiteral("请求中");
    case Uploading:
    case Downloading:
        return verb + QStringLiteral("中");
    case Stopping:
        return QStringLiteral("暂停中");
    case Done:
        return verb + QStringLiteral("完成");
    case Failed:
        return verb + QStringLiteral("出错 <font color=red>%1</font>").arg(error.toHtmlEscaped());
    default:
        return QString();
    }
}

void VTransferTask::reportProgress(qint64 done, qint64 total)
{
    m_progress.report(done, total, QDateTime::currentMSecsSinceEpoch());
    m_file.donesize = done;
}

void VTransferTask::enterQueue()
{
    m_inQueue = true;
    if (m_file.type == 1)
        VGlobalQueue::instance()->addDownload(m_file.id);
    else
        VGlobalQueue::instance()->addUpload(m_file.id);
}

void VTransferTask::leaveQueue()
{
    // Every end of a run gives the slot back, also a stop or a failure that
    // comes while a reply is still awaited.
    if (!m_inQueue)
        return;
    m_inQueue = false;
    if (m_file.type == 1)
        VGlobalQueue::instance()->removeDownload(m_file.id);
    else
        VGlobalQueue::instance()->removeUpload(m_file.id);
}

void VTransferTask::runWorker(QObject *worker, std::function<void()> body)
{
    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("transfer-%1").arg(m_file.id));
    worker->moveToThread(thread);
    m_thread = thread;
    m_worker = worker;
    liveThreads().insert(thread);
    const int gen = m_generation;
    QPointer<VTransferTask> self(this);
    // Said by the thread as it ends, read after the join below: Qt joins
    // under locks of its own that a thread checker cannot see, and this pair
    // shows it that the worker is the reaper's from then on.
    auto ended = std::make_shared<std::atomic<bool>>(false);
    QObject::connect(
        thread, &QThread::finished, thread, [ended] { ended->store(true, std::memory_order_release); },
        Qt::DirectConnection);
    QObject::connect(thread, &QThread::finished, reaper(), [thread, worker, self, gen, ended] {
        thread->wait();
        ended->load(std::memory_order_acquire);
        liveThreads().remove(thread);
        if (self && self->m_thread == thread) {
            self->workerFinished(worker);
            self->m_thread = nullptr;
            self->m_worker = nullptr;
        }
        delete worker;
        delete thread;
        if (self) {
            emit self->signalWorkerEnded();
            self->workerEnded(gen);
        }
    }, Qt::QueuedConnection);
    // Posted before the thread starts (its loop takes it up once running):
    // the start then orders the call, built here, before its run there in a
    // way a thread checker sees. Posted to a running thread, the two are
    // ordered only by Qt's own event-queue lock, which it cannot see.
    QMetaObject::invokeMethod(worker, [body = std::move(body)] {
        body();
        QThread::currentThread()->quit();
    }, Qt::QueuedConnection);
    thread->start();
}

void VTransferTask::saveRecord()
{
    if (m_store && !m_removed)
        m_store->updateFile(m_file);
}

void VTransferTask::finishRemoval(bool keepLog)
{
    if (m_removed)
        return;
    nextGeneration();
    m_removed = true;
    if (!keepLog && m_store)
        m_store->deleteFile(m_file.id);
    // Out of the list first, then the slot goes to the next row.
    emit signalDone(this);
    leaveQueue();
    if (m_cancel)
        emit VGlobalConnect::instance()->signalTransferCancelled(m_file);
}

int VTransferTask::runningStatus() const { return m_file.type == 1 ? Downloading : Uploading; }

bool VTransferTask::current(int generation, int wantStatus) const
{
    return !m_removed && generation == m_generation && status() == wantStatus;
}

void VTransferTask::start()
{
    // Decided by status alone: rows of a page not on screen start as well.
    if (m_removed || m_cancel)
        return;
    if (status() != Stopped && status() != Failed)
        return;
    m_fromFailed = status() == Failed;
    setStatus(Waiting);
    enterQueue();
}

void VTransferTask::admit()
{
    if (status() != Waiting) {
        // An admission nobody waits for: give the slot straight back.
        if (m_inQueue && !isActive())
            leaveQueue();
        return;
    }
    m_progress.reset();
    nextGeneration();
    setStatus(Preparing);
    begin();
}

void VTransferTask::stop()
{
    switch (status()) {
    case Done:
    case Stopping:
        return;
    case Waiting:
    case Preparing:
        cancelPreparation();
        endStop();
        return;
    case Uploading:
    case Downloading:
        if (m_thread) {
            setStatus(Stopping);
            stopWorker();
        } else {
            endStop();
        }
        return;
    default:
        if (m_cancel)
            endStop();
        return;
    }
}

void VTransferTask::stopAndRequeue()
{
    if (status() == Done || m_removed)
        return;
    m_requeue = true;
    if (status() == Stopped || status() == Failed) {
        m_requeue = false;
        start();
        return;
    }
    stop();
}

void VTransferTask::cancel(bool keepLog)
{
    if (m_removed || status() == Done)
        return;
    m_cancel = true;
    m_keepLog = keepLog;
    prepareCancel();
    if (status() == Stopping)
        return; // the end of the stop removes the row
    if (status() == Stopped || status() == Failed)
        endStop();
    else
        stop();
}

void VTransferTask::workerEnded(int generation)
{
    if (m_removed || generation != m_generation)
        return;
    const int s = status();
    if (s == Stopping || s == runningStatus())
        endStop();
}

void VTransferTask::fail(const QString &message)
{
    if (m_removed || status() == Done)
        return;
    nextGeneration();
    cancelPreparation();
    stopWorker();
    setError(message);
    m_file.status = Failed;
    saveRecord();
    emit signalStatusChanged(Failed);
    leaveQueue();
    qCDebug(lcTask) << "transfer" << m_file.id << "failed:" << message;
    if (m_cancel) {
        beforeRemoval();
        finishRemoval(m_keepLog);
    } else if (m_requeue) {
        m_requeue = false;
    }
}

void VTransferTask::endStop()
{
    if (m_removed)
        return;
    nextGeneration();
    cancelPreparation();
    if (m_cancel) {
        beforeRemoval();
        finishRemoval(m_keepLog);
        return;
    }
    // The status changes before the slot is given back: the row admitted
    // with it never sees this one still running.
    if (status() != Failed)
        setStatus(Stopped);
    leaveQueue();
    if (m_requeue) {
        m_requeue = false;
        start();
    }
}

void VTransferTask::markDone()
{
    if (m_removed || status() == Done)
        return;
    nextGeneration();
    stopWorker();
    m_file.error.clear();
    setStatus(Done);
    finishRemoval(true);
}
