#pragma once

#include <QDateTime>
#include <QFutureWatcher>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>

#include <functional>

#include "Api/api.h"
#include "records/m_bak_config.h"
#include "records/m_db_syn.h"
#include "records/m_info_file.h"

class db_self;
class VBackupJob;

// One backup task: mirrors the school's public disk into a local folder, one
// way, on a timer. The first run lists everything (GetAllChild), later runs
// ask for the change log since the last server time. Files go through the
// backup log in syn.db, are compared with the local copy (size, then
// SHA-256) on the global thread pool, and are fetched at most five at a time.
// GUI thread only; the pages mirror its state.
class VBackupTask : public QObject
{
    Q_OBJECT
public:
    enum Status { Error = -1, Off = 0, Waiting = 1, Working = 2, Fetching = 3, Idle = 99 };
    // States of one file, as the working page shows them.
    enum ItemState { ItemStopped = -2, ItemFailed = -1, ItemPaused = 0, ItemWaiting = 1, ItemLoading = 2,
                     ItemRequesting = 3, ItemDone = 4 };

    struct Item
    {
        M_db_syn log;
        M_info_file info;
        QString target; // local file, empty until compared
        int state = ItemWaiting;
        qint64 done = 0;
        qint64 total = 0;
        QString error;
        int tries = 0;
        bool again = false; // changed on the server while downloading
        bool leftover = false; // from the store, not from this pass
    };

    static constexpr int kParallel = 5;
    static constexpr int kMaxTries = 3;
    // The change log is asked from a little before the last server time, so
    // an act that committed across a second boundary is not missed.
    static constexpr int kOverlapSeconds = 5;

    VBackupTask(int id, db_self *store, QObject *parent = nullptr);
    ~VBackupTask() override;

    int id() const { return m_id; }
    db_self *store() const { return m_store; }
    QString owner() const { return QString::number(m_id); }
    QString sectionName() const;
    QString sectionCode() const;
    M_bak_config config() const { return m_cfg; }
    int status() const { return m_cfg.status; }
    QString lastError() const { return m_lastError; }

    static QString statusText(int status);
    static QString intervalText(int minutes);
    static qint64 intervalMs(int minutes);
    // "" when the task may run, else the message.
    static QString checkConfig(const M_bak_config &cfg);

    // Reads the stored configuration; a task stored switched on with a valid
    // folder polls again (restartDelayMs after the call).
    void load();
    bool save();

    // Switching on checks the folder and interval first (message returned,
    // task left off when wrong); startNow runs a fetch at once, otherwise the
    // first one comes after one interval.
    QString switchOn(bool startNow);
    void switchOff();
    // The configuration dialog's result. A new folder means a full run again
    // and the task switched off; returns true when the folder changed.
    bool applyConfig(const QString &localpath, int minutes);
    // Answer to the 30-day question (signalAskReset).
    void resetAnswer(bool accepted);
    // Starts a fetch when switched on and not already busy; false otherwise.
    bool startFetch();
    // Stops the downloads and joins their threads (program exit).
    void shutdown();

    // Files of the current work, running first then waiting; at most count.
    QList<Item> items(int offset, int count) const;
    int itemCount() const { return m_items.size(); }
    int runningCount() const { return m_jobs.size(); }
    qint64 nextPollInMs() const;

    // Test and school seams.
    void setSchool(const QString &school) { m_school = school; }
    void setRetryBaseMs(int ms) { m_retryBaseMs = ms; }
    void setRestartDelayMs(int ms) { m_restartDelayMs = ms; }
    void setStoreFlushMs(int ms);
    // Requests made by the current pass (the change log, listings, links).
    int passRequests() const { return m_passRequests; }
    int passDownloads() const { return m_passDownloads; }
    int passSkipped() const { return m_passSkipped; }

signals:
    void signalStatusChanged(int status);
    void signalConfigChanged();
    void signalItemsChanged();
    void signalItemProgress(QString id, qint64 done, qint64 total);
    void signalItemDone(M_db_syn log, M_info_file info, QString localpath);
    // A message for the user (the page shows it through the error layer).
    void signalMessage(QString text);
    // The change log answered that the last run is more than 30 days back.
    void signalAskReset(QString text);
    // A pass ended (nothing left to compare, queue or download).
    void signalPassFinished();
    // Finished and failed files were written to the store.
    void signalStoreFlushed();

private:
    using Reply = std::function<void(const QJsonObject &)>;
    void call(Api::apis api, const QJsonObject &params, Reply done);
    void setStatus(int status);
    void fail(const QString &message);
    void schedulePoll(qint64 ms);
    void onPollTimer();
    bool rootMissing();
    void folderLost();
    void fullRun();
    void changeRun();
    void onTime(const QJsonObject &re);
    void onAllFiles(const QJsonObject &re, const QDateTime &serverTime);
    void onActs(const QJsonObject &re);
    void resolvePaths(const QMap<QString, QJsonObject> &paths, const QDateTime &serverTime);
    struct StoredBatch
    {
        bool ok = false;
        QList<Item> items;
    };
    struct FlushBatch
    {
        QList<M_db_syn> done;
        QList<M_info_file> infos;
        QStringList paths;
        QList<M_db_syn> failed;
    };
    template <typename T, typename Work, typename Done>
    void inStore(Work work, Done done, bool counted = true);
    void storeRecords(const QJsonArray &list, const QList<M_info_file> &files, const QDateTime &serverTime, bool full);
    void recordsStored(const StoredBatch &b, const QDateTime &serverTime);
    static M_db_syn makeLog(const QString &owner, const M_info_file &info);
    static M_info_file infoOf(const M_db_syn &log, int *tries);
    void enqueue(const QList<Item> &items, bool leftovers);
    void takeIncoming();
    void requeueLeftovers();
    void flushStoreNow();
    void compareNext();
    void onCompared();
    void pump();
    void startJob(const QString &id);
    void onJobProgress(const QString &id, qint64 done, qint64 total);
    void onJobEnded(const QString &id, bool ok, const QString &message);
    void finishItem(const QString &id);
    void failItem(const QString &id, const QString &message, bool forGood);
    void flushStore();
    void checkPassEnd();
    void stopWork();
    void notifyItems();

    int m_id;
    db_self *m_store;
    M_bak_config m_cfg;
    QString m_school;
    QString m_lastError;
    quint64 m_gen = 0; // replies of an older run are ignored
    QTimer m_pollTimer;
    qint64 m_nextDue = 0; // ms since the epoch
    QTimer m_retryTimer;
    int m_retryCount = 0;
    int m_retryBaseMs = 2000;
    int m_restartDelayMs = 2000;
    QTimer m_flushTimer;

    QHash<QString, Item> m_items;      // live items by log id
    QList<Item> m_toCompare;           // handed to the pool in chunks
    bool m_comparing = false;
    QFutureWatcher<QList<Item>> m_compareWatcher;
    QQueue<QString> m_waiting;         // compared, waiting for a slot
    QHash<QString, VBackupJob *> m_jobs;
    QSet<QString> m_admitted;          // in the global queue's working list
    QString m_upserver;                // download server of this pass
    bool m_linkAsked = false;

    QList<M_db_syn> m_doneLogs;
    QList<M_info_file> m_doneInfos;
    QStringList m_donePaths;
    QList<M_db_syn> m_failedLogs;
    bool m_flushing = false;
    QThreadPool m_storePool; // one thread: store work in order
    int m_storeJobs = 0;     // store work the pass waits for
    QList<Item> m_incoming;  // stored, joining the live items
    bool m_lastWasFull = false;

    // Acts of the last change-log reply: the overlap asks for them again.
    QSet<QString> m_seenActs;
    QSet<QString> m_replyActs;
    QDateTime m_askedSince;  // start of the change log asked for now
    QDateTime m_coveredFrom; // what the last completed pass asked from

    int m_passRequests = 0;
    int m_passDownloads = 0;
    int m_passSkipped = 0;
    bool m_fetching = false;
    int m_reportedCount = 0;
    bool m_shutdown = false;
};
