#include "transfer/vtransfertask.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QPointer>
#include <QSet>
#include <QThread>

#include "DB/db_self.h"
#include "transfer/vglobalconnect.h"

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

void VTransferTask::enterQueue()
{
    m_inQueue = true;
    queueAdd();
}

void VTransferTask::leaveQueue()
{
    // Every end of a run gives the slot back, also a stop or a failure that
    // comes while a reply is still awaited.
    if (!m_inQueue)
        return;
    m_inQueue = false;
    queueRemove();
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
    QObject::connect(thread, &QThread::finished, reaper(), [thread, worker, self, gen] {
        thread->wait();
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
    thread->start();
    QMetaObject::invokeMethod(worker, [body = std::move(body)] {
        body();
        QThread::currentThread()->quit();
    }, Qt::QueuedConnection);
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
