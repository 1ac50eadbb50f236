#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <functional>

#include "Api/api.h"
#include "request/vurlrequest.h"

#include "records/m_db_file.h"
#include "transfer/vtransferprogress.h"

class QThread;
class db_self;

// One transfer of the transfer list, without widgets: the record, its status,
// the run generation, whether it holds a queue slot, and the worker with the
// thread it runs on. A row widget drives it and mirrors its state; tests,
// orvel-transfer and the benchmarks drive it directly.
//
// Status values (the record's status): -1 failed, 0 stopped, 1 downloading,
// 2 uploading, 66 stop requested, 77 preparing, 88 waiting for a slot,
// 99 done. 99 is final.
class VTransferTask : public QObject
{
    Q_OBJECT
public:
    enum Status {
        Failed = -1,
        Stopped = 0,
        Downloading = 1,
        Uploading = 2,
        Stopping = 66,
        Preparing = 77,
        Waiting = 88,
        Done = 99,
    };

    VTransferTask(const M_db_file &record, db_self *store, QObject *parent = nullptr);
    ~VTransferTask() override;

    int id() const { return m_file.id; }
    int status() const { return m_file.status; }
    const M_db_file &record() const { return m_file; }
    // Changes the run generation: replies of earlier runs are ignored.
    int generation() const { return m_generation; }
    bool holdsSlot() const { return m_inQueue; }
    bool isCancelled() const { return m_cancel; }
    bool hasWorker() const { return m_thread != nullptr; }
    const VTransferProgress &progress() const { return m_progress; }
    // Once a second while running: a progress sample for speed and time left.
    void sampleProgress() { m_progress.sample(); }

    bool isActive() const;
    bool isFinished() const { return status() == Done; }

    // The commands of a row: start (into the queue), admission by the queue,
    // stop, cancel. keepLog keeps the log row (cancel-all clears the log at
    // once itself).
    void start();
    void admit();
    void stop();
    void cancel(bool keepLog);
    // Stop, then back into the queue once the stop has ended.
    void stopAndRequeue();

    // The row's state label ("上传中", "下载出错<font …>message</font>", …);
    // the message is escaped, it may come from the server.
    virtual QString stateText() const = 0;
    static QString stateText(bool upload, int status, const QString &error);
    // The local file a finished row opens.
    QString localPath() const { return m_file.localpath; }

    // Worker threads still running, process-wide (GUI thread).
    static int liveWorkerThreads();
    // Waits at most ms for every worker thread to end (only at exit, after the
    // event loop: the one place a bounded blocking wait is right).
    static bool waitWorkerThreads(int ms);

signals:
    void signalStatusChanged(int status);
    void signalProgress(qint64 done, qint64 total);
    // The task is finished (99) or cancelled: its row leaves the list.
    void signalDone(VTransferTask *task);
    // The worker thread of a run has ended and is being released.
    void signalWorkerEnded();

protected:
    void setStatus(int status);
    void setError(const QString &message);
    // Takes or gives back the queue slot (the kind decides which queue).
    void enterQueue();
    void leaveQueue();
    // Moves worker to a new thread and runs body() there. The thread quits
    // when body returns; then, on the GUI thread, the thread is joined (it has
    // already ended), worker and thread are deleted and workerEnded() runs
    // with the generation of the run that started it. This is the only place
    // either is deleted, also when the task is gone by then.
    void runWorker(QObject *worker, std::function<void()> body);
    void workerEnded(int generation);
    // Follows a worker of the current run: its progress while the run is
    // running, its error as the run's failure (one reported after a stop
    // request is the stop's own doing and ignored).
    template <typename Worker, typename ProgressSignal, typename ErrorSignal>
    void followWorker(Worker *worker, ProgressSignal progress, ErrorSignal error);
    // Sends one dispatcher request whose reply reaches fn on this task's
    // thread (upserver: to that upload server instead of the service).
    template <typename Fn>
    void ask(Api::apis api, const QJsonObject &params, Fn fn, const QString &upserver = QString());
    // The progress of the run, as a row shows it.
    void reportProgress(qint64 done, qint64 total);
    int nextGeneration() { return ++m_generation; }
    void saveRecord();
    db_self *store() const { return m_store; }

    // The kind's own steps.
    virtual void begin() = 0;            // admitted: status 77, first request
    virtual void stopWorker() = 0;       // tell the running worker to stop (non-blocking)
    virtual void cancelPreparation() {}  // a stop before the worker exists
    virtual void prepareCancel() {}      // a cancel is coming (before the stop)
    virtual void beforeRemoval() {}      // last step of a cancel
    virtual void workerFinished(QObject *worker) { Q_UNUSED(worker) } // its thread has ended
    int runningStatus() const;           // 1 or 2

    // A reply or report of the current run, in a state that still wants it.
    bool current(int generation, int wantStatus) const;
    void fail(const QString &message);
    // The stop has ended (worker gone or never started): slot back, status 0,
    // or removal for a cancel, or back into the queue.
    void endStop();
    // Done: status 99, slot back, the row leaves the list.
    void markDone();
    void finishRemoval(bool keepLog);

    M_db_file m_file;
    db_self *m_store;
    int m_generation = 0;
    bool m_inQueue = false;
    bool m_cancel = false;
    bool m_keepLog = false;
    bool m_removed = false;
    bool m_requeue = false;
    bool m_fromFailed = false; // this run was started from a failed state
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr; // lives until its thread has ended
    VTransferProgress m_progress;
};

template <typename Worker, typename ProgressSignal, typename ErrorSignal>
void VTransferTask::followWorker(Worker *worker, ProgressSignal progress, ErrorSignal error)
{
    const int gen = m_generation;
    connect(worker, progress, this, [this, gen](qint64 done, qint64 total) {
        if (current(gen, runningStatus())) {
            reportProgress(done, total);
            emit signalProgress(done, total);
        }
    });
    connect(worker, error, this, [this, gen](const QString &message) {
        if (current(gen, runningStatus()))
            fail(message);
    });
}

template <typename Fn>
void VTransferTask::ask(Api::apis api, const QJsonObject &params, Fn fn, const QString &upserver)
{
    auto *req = new VUrlRequest;
    QObject::connect(req, QOverload<const QJsonObject &>::of(&VUrlRequest::signalResult), this, fn,
                     Qt::QueuedConnection);
    if (upserver.isEmpty())
        Api::instance()->startApi(req, api, params, false);
    else
        Api::instance()->startApi(req, api, upserver, params, false);
}
